// The progress step and its pause. The run blocks the dialog's input, but during
// a pause the dialog still repaints and answers messages sent to it, so its file
// line and bar can be seen and read.
#include "drvsweep.h"

#include <commctrl.h>

static int stepCount = 0;

int StepsTaken()
{
    return stepCount;
}

static LONGLONG nowTicks(LONGLONG *perMs)
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    *perMs = f.QuadPart / 1000;
    return t.QuadPart;
}

void PauseResponsive(DWORD ms)
{
    LONGLONG perMs;
    LONGLONG end = nowTicks(&perMs) + (LONGLONG)ms * perMs;
    for (;;) {
        // PeekMessage answers sent messages; only paint messages are taken from
        // the queue, so no click can start anything in the middle of the run.
        MSG m;
        if (PeekMessageA(&m, NULL, WM_PAINT, WM_PAINT, PM_REMOVE))
            DispatchMessageA(&m);
        LONGLONG now = nowTicks(&perMs);
        if (now >= end)
            break;
        // Whole milliseconds are waited for; the last fraction is yielded away, so
        // the pause does not overshoot by a timer tick.
        DWORD left = (DWORD)((end - now) / perMs);
        if (left > 0)
            MsgWaitForMultipleObjects(0, NULL, FALSE, left, QS_SENDMESSAGE | QS_PAINT);
        else
            Sleep(0); // SwitchToThread is missing from Windows 9x
    }
}

void Step(const ProgressView &view)
{
    if (view.bar)
        SendMessageA(view.bar, PBM_STEPIT, 0, 0);
    stepCount++;
    PauseResponsive(STEP_PAUSE_MS);
}
