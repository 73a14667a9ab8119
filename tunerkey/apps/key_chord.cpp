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
// typed before then are lost or land elsewhere.
static const DWORD FOREGROUND_WAIT_MS = 250;
// How long a closing application may take to go before the next one is raised.
static const DWORD CLOSE_WAIT_MS = 2000;
static const DWORD WAIT_STEP_MS = 5;

// The windows sent their close since the last raise, until they have gone.
static const int MAX_CLOSING = 8;
static HWND closingWindows[MAX_CLOSING];
static int closingCount = 0;

static bool holdsForeground(HWND window)
{
    HWND front = GetForegroundWindow();
    return front != NULL && GetWindowThreadProcessId(front, NULL) == GetWindowThreadProcessId(window, NULL);
}

// Every window sent its close has gone, but `except`.
static bool closedHaveGone(HWND except)
{
    for (int i = 0; i < closingCount; ++i)
        if (closingWindows[i] != except && IsWindow(closingWindows[i]))
            return false;
    return true;
}

// One step of a wait that answers what other threads send to this thread's windows:
// an application that sends to every top-level window while it closes or activates
// would otherwise stall until the wait ends. Posted messages (the timers among them)
// stay queued: PeekMessage with PM_NOREMOVE delivers only the sent ones.
static void waitStep(DWORD ms)
{
    MsgWaitForMultipleObjects(0, NULL, FALSE, ms, QS_SENDMESSAGE);
    MSG m;
    PeekMessageA(&m, NULL, 0, 0, PM_NOREMOVE);
}

void answeringWait(DWORD ms)
{
    DWORD start = GetTickCount();
    for (DWORD waited = 0; waited < ms; waited = GetTickCount() - start)
        waitStep(ms - waited);
}

static bool waitFor(bool (*done)(HWND), HWND window, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!done(window)) {
        if (GetTickCount() - start >= ms)
            return false;
        waitStep(WAIT_STEP_MS);
    }
    return true;
}

void noteClosingWindow(HWND window)
{
    for (int i = 0; i < closingCount; ++i)
        if (closingWindows[i] == window)
            return;
    if (closingCount < MAX_CLOSING)
        closingWindows[closingCount++] = window;
}

// Waits (bounded) for the windows sent their close to go, but `except`, which is
// raised now and stays noted.
static void settleClosingExcept(HWND except)
{
    if (closingCount == 0)
        return;
    waitFor(closedHaveGone, except, CLOSE_WAIT_MS);
    bool kept = false;
    for (int i = 0; i < closingCount; ++i)
        kept = kept || closingWindows[i] == except;
    closingCount = 0;
    if (kept)
        closingWindows[closingCount++] = except;
}

void settleClosingWindow()
{
    settleClosingExcept(NULL);
}

// Windows 98 and 2000 onwards give the foreground only to some processes: among
// them, the one that produced the last input event (SetForegroundWindow's documented
// conditions). tunerkey is the user's input device here, so before a raise it
// produces an input event that changes nothing, a pointer move by 0, 0; no system
// setting is touched. A raise still refused leaves the caller's refusal path.
static void produceInputEvent()
{
    mouse_event(MOUSEEVENTF_MOVE, 0, 0, 0, 0);
}

bool raiseWindow(HWND window)
{
    settleClosingExcept(window);
    produceInputEvent();
    raiseWindowCall(window);
    SetActiveWindow(window);
    return waitFor(holdsForeground, window, FOREGROUND_WAIT_MS);
}

bool typeChordInto(HWND window, const BYTE *modifiers, int modifierCount, BYTE key)
{
    if (!raiseWindow(window))
        return false;
    typeChord(modifiers, modifierCount, key);
    return true;
}

bool sendControlChord(HWND window, BYTE letterKey)
{
    static const BYTE ctrl[] = {VK_CONTROL};
    return typeChordInto(window, ctrl, 1, letterKey);
}
