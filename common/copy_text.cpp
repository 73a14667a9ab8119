// Bounded text copy: what does not fit is cut at a character boundary.
#include "common/copy_text.h"

#include <string.h>

#include "common/ansi_chars.h"

bool CopyText(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return false;
    dst[0] = '\0';
    return AppendText(dst, size, src);
}

bool AppendText(char *dst, size_t size, const char *src)
{
    if (size == 0)
        return false;
    size_t used = strnlen(dst, size - 1);
    size_t len = strlen(src);
    size_t room = size - 1 - used;
    size_t n = len < room ? len : room;
    // A cut never leaves half a double-byte character behind.
    if (n < len)
        n = CharBoundaryAtOrBefore(src, n);
    memcpy(dst + used, src, n);
    dst[used + n] = '\0';
    return n == len;
}
