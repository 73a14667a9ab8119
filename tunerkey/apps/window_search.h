// Finding the top-level windows of other programs.
#pragma once
#include <windows.h>

// The one walk of the top-level windows, in z-order (top first): the first window
// for which `test` holds, or NULL.
typedef bool (*WindowTest)(HWND window, const void *context);
HWND firstTopLevelWindow(WindowTest test, const void *context);

// The first top-level window, in z-order, whose title begins with `prefix`
// (case-sensitive, titles read into a 128-byte buffer), or NULL.
HWND findWindowByTitlePrefix(const char *prefix);
// ... whose whole title equals `title` (case-sensitive).
HWND findWindowByExactTitle(const char *title);
// ... whose title contains `text` (case-sensitive).
HWND findWindowByTitleContaining(const char *text);

// The window's text as the searches see it: at most 127 characters.
void readWindowTitle(HWND window, char (&title)[128]);

// Pure parts of the searches.
bool titleHasPrefix(const char *title, const char *prefix);
bool titleEquals(const char *title, const char *text);
bool titleContains(const char *title, const char *text);
