// What the keystroke drivers share: a key map entry as one action on the main window,
// the close chord and the power toggle.
#include "apps/keystroke_driver.h"

static const BYTE CLOSE_LETTER = 0x58; // Ctrl+X ends both applications

void keystrokeHandleKey(const KeystrokeApp &app, int code)
{
    if (code < 0 || code >= KEY_MAP_SIZE)
        return;
    const KeyAction a = app.keys[code];
    if (a.kind == KA_NONE)
        return;
    HWND w = findRunningApp(app.app);
    if (a.kind == KA_MINIMIZE) {
        // Switches the video window's owner even when the main window is gone.
        toggleMinimized(w);
        return;
    }
    if (w == NULL)
        return;
    switch (a.kind) {
    case KA_KEYDOWN:
        PostMessageA(w, WM_KEYDOWN, a.arg, 0);
        break;
    case KA_DIGIT:
        postDigitKey(w, a.arg);
        break;
    case KA_CHORD:
        sendControlChord(w, a.arg);
        break;
    case KA_ENTER_CHAR:
        PostMessageA(w, WM_CHAR, 0x0D, 0x001C0001);
        break;
    case KA_DISABLE_CAP_DLG:
        disableCaptureDialog();
        PostMessageA(w, WM_KEYDOWN, a.arg, 0);
        break;
    default:
        break;
    }
}

void keystrokeClose(const KeystrokeApp &app)
{
    HWND w = findRunningApp(app.app);
    if (w == NULL)
        return;
    // A refused raise typed nothing: the application runs on and stays the target.
    if (!sendControlChord(w, CLOSE_LETTER))
        return;
    noteClosingWindow(w);
    setTargetActive(*recordOf(app.app), false);
}

bool keystrokeTogglePower(const KeystrokeApp &app, void (*close)())
{
    return togglePowerWith(findRunningApp(app.app), close, *recordOf(app.app));
}
