// The bounded registry text read: a whole value or nothing.
#include "common/read_registry_text.h"

bool ReadRegistryText(HKEY key, const char *name, char *out, DWORD size, unsigned rules)
{
    out[0] = '\0';
    DWORD type = 0;
    DWORD got = (rules & REG_TEXT_SPARE_BYTE) ? size - 1 : size;
    LONG rc = RegQueryValueExA(key, name, NULL, &type, (BYTE *)out, &got);
    bool text = !(rules & REG_TEXT_STRING_TYPES) || type == REG_SZ || type == REG_EXPAND_SZ;
    // A value that fills the buffer without a terminator of its own leaves no room
    // for one: taken, it would be cut short.
    bool whole = rc == ERROR_SUCCESS && got <= size && !(got == size && out[size - 1] != '\0');
    if (!text || !whole) {
        out[0] = '\0';
        return false;
    }
    out[got < size ? got : size - 1] = '\0';
    return true;
}
