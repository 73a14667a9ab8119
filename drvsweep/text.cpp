// Text handling in the system's ANSI code page: the searches and case-insensitive
// comparisons that every rule uses (the bounded copies are in common/). On a double-byte
// code page (932, 936, 949, 950) a lead byte and its trail byte are one character:
// a trail byte is never folded, compared alone or taken for a separator.
#include "drvsweep.h"

#include <string.h>

const char *FindChar(const char *text, char c)
{
    for (const char *p = text; *p; p += CharSize(p))
        if (*p == c && CharSize(p) == 1)
            return p;
    return NULL;
}

// One single-byte character folded to lower case: ASCII directly, others through
// the system's ANSI-aware conversion. A byte the code page cannot convert (a lone
// lead byte, an unassigned byte) stays as it is rather than becoming "?".
static char foldByte(char c)
{
    BYTE b = (BYTE)c;
    if (b < 0x80)
        return b >= 'A' && b <= 'Z' ? (char)(b + ('a' - 'A')) : c;
    if (IsDBCSLeadByte(b))
        return c;
    BYTE lower = (BYTE)(UINT_PTR)CharLowerA((LPSTR)(UINT_PTR)b);
    return lower == '?' ? c : (char)lower;
}

void LowerText(char *text)
{
    for (char *p = text; *p; p += CharSize(p))
        if (CharSize(p) == 1)
            *p = foldByte(*p);
}

bool BeginsWithNoCase(const char *text, const char *prefix, const char **rest)
{
    const char *t = text;
    for (const char *p = prefix; *p;) {
        size_t n = CharSize(p);
        if (CharSize(t) != n)
            return false;
        // A double-byte character has no case here: its bytes must be the same.
        if (n == 2 ? memcmp(t, p, 2) != 0 : foldByte(*t) != foldByte(*p))
            return false;
        t += n;
        p += n;
    }
    if (rest)
        *rest = t;
    return true;
}

bool EqualsNoCase(const char *a, const char *b)
{
    const char *rest;
    return BeginsWithNoCase(a, b, &rest) && *rest == '\0';
}
