#include "apps/window_search.h"

#include <string.h>

bool titleHasPrefix(const char *title, const char *prefix)
{
    return strncmp(title, prefix, strlen(prefix)) == 0;
}

bool titleEquals(const char *title, const char *text)
{
    return strcmp(title, text) == 0;
}

bool titleContains(const char *title, const char *text)
{
    return strstr(title, text) != NULL;
}

void readWindowTitle(HWND window, char (&title)[128])
{
    title[0] = '\0';
    GetWindowTextA(window, title, sizeof title);
}

// Restarts allowed when the walk loses its place; each one means a window went
// away under it, so a few are plenty.
static const int WALK_RESTARTS = 8;

HWND firstTopLevelWindow(WindowTest test, const void *context)
{
    // A plain walk in z-order rather than EnumWindows: the first match must win,
    // and a top-level window created during the walk must not be missed or repeated.
    int restarts = 0;
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w != NULL;) {
        if (test(w, context))
            return w;
        HWND next = GetWindow(w, GW_HWNDNEXT);
        // Another program destroyed the window just looked at: it has no next any
        // more, and the windows behind it would be missed. Walk again from the top.
        if (next == NULL && !IsWindow(w) && restarts++ < WALK_RESTARTS)
            next = GetWindow(GetDesktopWindow(), GW_CHILD);
        w = next;
    }
    return NULL;
}

struct TitleRule {
    bool (*match)(const char *title, const char *text);
    const char *text;
};

static bool titleMatches(HWND w, const void *context)
{
    const TitleRule *rule = (const TitleRule *)context;
    char title[128];
    readWindowTitle(w, title);
    return rule->match(title, rule->text);
}

HWND findWindowByTitlePrefix(const char *prefix)
{
    TitleRule rule = {titleHasPrefix, prefix};
    return firstTopLevelWindow(titleMatches, &rule);
}

HWND findWindowByExactTitle(const char *title)
{
    TitleRule rule = {titleEquals, title};
    return firstTopLevelWindow(titleMatches, &rule);
}

HWND findWindowByTitleContaining(const char *text)
{
    TitleRule rule = {titleContains, text};
    return firstTopLevelWindow(titleMatches, &rule);
}
