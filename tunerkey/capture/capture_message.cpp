// The capture room's message boxes. A box runs its own message loop, in which
// the poll timer keeps firing; the flag lets the entry points stand aside
// meanwhile, so a persisting failure shows one box at a time, not one per tick.
#include "capture/capture_internal.h"

static bool MessageOpen = false;

void showCaptureMessage(const char *text, const char *caption)
{
    MessageOpen = true;
    MessageBoxA(NULL, text, caption, MB_OK);
    MessageOpen = false;
}

bool captureMessageOpen()
{
    return MessageOpen;
}
