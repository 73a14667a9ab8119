// Bounded copy and append of text into a fixed-size buffer.
#pragma once
#include <stddef.h>

// Both always terminate (given a size of at least 1), never cut a character of
// the ANSI code page in two, and report whether all of `src` fitted.
bool CopyText(char *dst, size_t size, const char *src);
bool AppendText(char *dst, size_t size, const char *src);
