#include "apps/window_search.h"

#include <string.h>

bool titleHasPrefix(const char *title, const char *prefix)
{
    return strncmp(title, prefix, strlen(prefix)) == 0;
}

HWND findWindowByTitlePrefix(const char *prefix)
{
    // A plain walk in z-order rather than EnumWindows: the first match must win,
    // and a top-level window created during the walk must not be missed or repeated.
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w != NULL; w = GetWindow(w, GW_HWNDNEXT)) {
        char title[128];
        title[0] = '\0';
        GetWindowTextA(w, title, sizeof title);
        if (titleHasPrefix(title, prefix))
            return w;
    }
    return NULL;
}
