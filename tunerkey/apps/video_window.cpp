// The owner of the video window, minimised or restored with an application's main window.
#include "apps/apps.h"

#include "apps/window_search.h"

// Only direct children count: the video window sits right under its owner.
static bool hasVideoChild(HWND topLevel, const void *)
{
    for (HWND c = GetWindow(topLevel, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT)) {
        char title[128];
        readWindowTitle(c, title);
        if (titleEquals(title, "VideoWindow2"))
            return true;
    }
    return false;
}

HWND findVideoWindowOwner()
{
    return firstTopLevelWindow(hasVideoChild, NULL);
}

static void flipMinimized(HWND w)
{
    ShowWindow(w, IsIconic(w) ? SW_RESTORE : SW_MINIMIZE);
}

void toggleMinimized(HWND mainWindow)
{
    HWND owner = findVideoWindowOwner();
    if (mainWindow != NULL)
        flipMinimized(mainWindow);
    if (owner != NULL)
        flipMinimized(owner);
}
