// Chords typed through the keyboard focus, and the raise of another program's window
// that makes sure they reach it.
#include "apps/key_chord.h"

#include "apps/apps.h"

static const DWORD PRESS = KEYEVENTF_EXTENDEDKEY;
static const DWORD RELEASE = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;

void typeChord(const BYTE *modifiers, int modifierCount, BYTE key)
{
    for (int i = 0; i < modifierCount; ++i)
        keybd_event(modifiers[i], 0, PRESS, 0);
    keybd_event(key, 0, PRESS, 0);
    keybd_event(key, 0, RELEASE, 0);
    for (int i = modifierCount - 1; i >= 0; --i)
        keybd_event(modifiers[i], 0, RELEASE, 0);
}

BOOL(WINAPI *raiseWindowCall)(HWND window) = SetForegroundWindow;

// A raised window's thread takes the foreground when it gets to the switch; keys
// typed before then are lost or land elsewhere. Short: the loop waits without
// answering its own messages.
static const DWORD FOREGROUND_WAIT_MS = 250;
// How long a closing application may take to go before the next one is raised.
static const DWORD CLOSE_WAIT_MS = 2000;
static const DWORD WAIT_STEP_MS = 5;

// The window last sent its close chord, until it has gone or the next raise.
static HWND closingWindow = NULL;

static bool holdsForeground(HWND window)
{
    HWND front = GetForegroundWindow();
    return front != NULL && GetWindowThreadProcessId(front, NULL) == GetWindowThreadProcessId(window, NULL);
}

static bool hasGone(HWND window)
{
    return !IsWindow(window);
}

static bool waitFor(bool (*done)(HWND), HWND window, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!done(window)) {
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(WAIT_STEP_MS);
    }
    return true;
}

void noteClosingWindow(HWND window)
{
    closingWindow = window;
}

void settleClosingWindow()
{
    if (closingWindow != NULL)
        waitFor(hasGone, closingWindow, CLOSE_WAIT_MS);
    closingWindow = NULL;
}

bool raiseWindow(HWND window)
{
    if (window != closingWindow)
        settleClosingWindow();
    raiseWindowCall(window);
    SetActiveWindow(window);
    return waitFor(holdsForeground, window, FOREGROUND_WAIT_MS);
}

bool sendControlChord(HWND window, BYTE letterKey)
{
    if (!raiseWindow(window))
        return false;
    static const BYTE ctrl[] = {VK_CONTROL};
    typeChord(ctrl, 1, letterKey);
    return true;
}
