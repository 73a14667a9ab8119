// The character walk of ANSI text (IsDBCSLeadByte decides where a character ends).
#include "common/ansi_chars.h"

#include <windows.h>

size_t CharSize(const char *p)
{
    if (*p == '\0')
        return 0;
    // A lead byte at the very end has no trail: it is a character of its own.
    return IsDBCSLeadByte((BYTE)*p) && p[1] != '\0' ? 2 : 1;
}

size_t CharBoundaryAtOrBefore(const char *text, size_t n)
{
    size_t at = 0;
    for (size_t step; (step = CharSize(text + at)) != 0 && at + step <= n;)
        at += step;
    return at;
}
