// The keystroke drivers (PowerVCR II, honestechTV): a key map from remote code to
// one action on the main window, found by its class.
#pragma once
#include <windows.h>

#include "apps/apps.h"

enum KeyActionKind {
    KA_NONE,
    KA_KEYDOWN,         // WM_KEYDOWN, wParam = arg, lParam 0
    KA_DIGIT,           // postDigitKey with digit arg
    KA_CHORD,           // sendControlChord with letter arg (nothing when the raise is refused)
    KA_ENTER_CHAR,      // WM_CHAR 0x0D, lParam 0x001C0001
    KA_DISABLE_CAP_DLG, // "DisableCapDlg" := 1, then WM_KEYDOWN arg
    KA_MINIMIZE,        // toggleMinimized of the main window and the video window's owner
};

struct KeyAction {
    KeyActionKind kind;
    BYTE arg;
};

const int KEY_MAP_SIZE = 32;

struct KeystrokeApp {
    WatchedApp app;        // its record, and its main window found by class as the probe finds it
    const KeyAction *keys; // KEY_MAP_SIZE entries
};

void keystrokeHandleKey(const KeystrokeApp &app, int code);
void keystrokeClose(const KeystrokeApp &app);
// The power key: closes the running application with `close`, or brings it up.
bool keystrokeTogglePower(const KeystrokeApp &app, void (*close)());

// PowerVCR's own setting, written before its record key: HKLM "SOFTWARE\CyberLink",
// "DisableCapDlg" = 1 (REG_DWORD). Nothing is written when the key cannot be opened.
void disableCaptureDialog();
