// WinDVD 4's driver: only its close, which the window commands send.
#include "apps/apps.h"

#include "apps/window_search.h"

// WinDVD takes its keys in the first child of the window titled exactly
// "InterVideo WinDVD 4" (`main`); none when that window has no child.
static HWND findWinDvdVideo(HWND *main)
{
    *main = findWindowByExactTitle("InterVideo WinDVD 4");
    return *main != NULL ? GetWindow(*main, GW_CHILD) : NULL;
}

void WinDvdDriver::close()
{
    HWND main;
    HWND w = findWinDvdVideo(&main);
    if (w == NULL)
        return;
    PostMessageA(w, WM_KEYDOWN, 'X', 0x002D0001);
    noteClosingWindow(main);
    setTargetActive(winDvdTarget, false);
}
