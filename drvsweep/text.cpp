// Bounded text copies: every write into a fixed-size buffer goes through here.
#include "drvsweep.h"

#include <ctype.h>
#include <string.h>

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
    memcpy(dst + used, src, n);
    dst[used + n] = '\0';
    return n == len;
}

void LowerText(char *text)
{
    for (; *text; text++)
        *text = (char)tolower((unsigned char)*text);
}
