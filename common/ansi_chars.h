// Characters of text in the system's ANSI code page: on a double-byte code page a
// lead byte and its trail byte are one character, never to be cut in two.
#pragma once
#include <stddef.h>

// Bytes of the character at `p`: 2 for a lead byte with its trail, 1, or 0 at the end.
size_t CharSize(const char *p);
// The largest character boundary of `text` at or before byte `n`.
size_t CharBoundaryAtOrBefore(const char *text, size_t n);
