// The 65 ms key poll: one receiver read through the repeat rule to the dispatcher;
// and the program's timers, stopped at exit.
#include "keys/keys.h"

#include "capture/capture.h"
#include "server/remote_server.h"

namespace
{

TimerSlot PollTimer = {false, 1, NULL, 65, keyPollTimerProc};

const UINT POLL_INTERVAL_MS = 65;

KeyRepeatState repeatState = {0, 0, 0, false};
// When the previous tick ended; none since the timer started.
bool tickedBefore = false;
DWORD previousTickEnd = 0;
// True while a tick is inside the capture room. A tick arriving then comes from the
// message loop of a capture message box: it must neither send a request nor open a
// second box behind the first.
bool inCapture = false;
// The server's line for the read being dispatched, until it is handed over.
struct HeldLine {
    bool waiting;
    int code;
    int repeatCount;
};
HeldLine heldLine = {false, 0, 0};

} // namespace

static void readAndDispatch(HWND mainWindow);

static void serveHeldLine()
{
    if (!heldLine.waiting)
        return;
    heldLine.waiting = false;
    serveRemoteKey(heldLine.code, heldLine.repeatCount);
}

void pollRemote(HWND mainWindow)
{
    if (inCapture)
        return;
    // A tick run inside an earlier key's action (the loop of a box it shows) hands
    // that key's line over first: the clients get the reads in their order.
    serveHeldLine();
    // Between the previous tick and this one the thread may have been held by a wait
    // of the program's own (the launch watch's, for one): a press held through it
    // stays one press.
    if (tickedBefore)
        leaveOutHeldTime(&repeatState, GetTickCount() - previousTickEnd, POLL_INTERVAL_MS);
    readAndDispatch(mainWindow);
    tickedBefore = true;
    previousTickEnd = GetTickCount();
}

static void readAndDispatch(HWND mainWindow)
{
    inCapture = true;
    BYTE code = 0;
    bool fresh = (readChipRegister(CHIP_STATUS_REGISTER) & CHIP_STATUS_NO_KEY) == 0 &&
                 readReceiver(RECEIVER_ADDRESS, &code, 1);
    inCapture = false;
    // A failed read yields no key at all, never the byte of an earlier one.
    if (!fresh)
        return;

    RepeatOutcome r =
        applyRepeatRule(&repeatState, code, GetTickCount(), anyTargetActive(), shutdownPrompt() != NULL);
    if (r.newKey)
        resetMouseStepCounter();
    // Other programs get every read, before the rule thins a held key, but after the
    // key's own action: sending to eight clients takes milliseconds, tens of them on
    // a busy machine, and the key posted to a window would wait for every one.
    heldLine = {true, code, repeatState.repeatCount};
    routeRemoteRead(mainWindow, code, r, repeatState.repeatCount);
    serveHeldLine();
    // A key's action can hold the thread far longer than the repeat window: a
    // launch waits for the program to come up, a dialog for its answer. The next
    // read of the same press is then the first one possible, not a new press: the
    // gap counts from here.
    repeatState.previousTime = GetTickCount();
}

void CALLBACK keyPollTimerProc(HWND window, UINT, UINT_PTR, DWORD)
{
    pollRemote(window);
}

void startPollTimer(HWND mainWindow)
{
    PollTimer.configure(mainWindow, POLL_INTERVAL_MS);
    if (!PollTimer.running)
        tickedBefore = false;
    PollTimer.start();
}

void killRunningTimers()
{
    PollTimer.stop();
    stopWatchTimer();
}
