// Searches of the top-level windows, by title or by any test, in one walk.
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

struct WalkState {
    WindowTest test;
    const void *context;
    HWND found;
};

static BOOL CALLBACK testOne(HWND window, LPARAM param)
{
    WalkState *walk = (WalkState *)param;
    if (!walk->test(window, walk->context))
        return TRUE;
    walk->found = window;
    return FALSE;
}

HWND firstTopLevelWindow(WindowTest test, const void *context)
{
    // EnumWindows walks a list of the top-level windows taken at once, in z-order,
    // so the first match wins. A window-by-window walk loses its place when other
    // programs reorder or destroy windows meanwhile (a closing application does
    // both), and then misses windows that are there all along.
    WalkState walk = {test, context, NULL};
    EnumWindows(testOne, (LPARAM)&walk);
    return walk.found;
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
