// WinRip's driver: only its close, which the window commands send.
#include "apps/apps.h"

#include "apps/window_search.h"

void WinRipDriver::close()
{
    HWND w = findWindowByTitleContaining("WinRip");
    if (w == NULL)
        return;
    PostMessageA(w, WM_KEYDOWN, 'X', 0x002D0001);
    noteClosingWindow(w);
    setTargetActive(winRipTarget, false);
}
