// Finding the top-level windows of other programs.
#pragma once
#include <windows.h>

// The first top-level window, in z-order, whose title begins with `prefix`
// (case-sensitive, titles read into a 128-byte buffer), or NULL.
HWND findWindowByTitlePrefix(const char *prefix);

// Pure part of the search: does `title` begin with `prefix`?
bool titleHasPrefix(const char *title, const char *prefix);
