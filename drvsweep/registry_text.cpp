// Reading device-class keys: one string value of a subkey, read into a fixed text
// that is always terminated, and the walk of a class key's subkeys.
#include "drvsweep.h"

bool ReadSubkeyText(HKEY parent, const char *subkey, const char *value, char *out, DWORD size)
{
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(parent, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, got = size - 1;
    LONG rc = RegQueryValueExA(key, value, NULL, &type, (BYTE *)out, &got);
    RegCloseKey(key);
    // A value that does not fit, or is no text, reads as empty.
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        out[0] = '\0';
        return false;
    }
    out[got < size ? got : size - 1] = '\0';
    return true;
}

void ForEachClassSubkey(const char *classPath, REGSAM access, DWORD nameSize, ClassSubkeyAction action,
                        void *context)
{
    HKEY classKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, classPath, 0, access, &classKey) != ERROR_SUCCESS)
        return;
    char name[256];
    if (nameSize > sizeof name)
        nameSize = sizeof name;
    for (DWORD index = 0;;) {
        DWORD size = nameSize;
        if (RegEnumKeyExA(classKey, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        char desc[256];
        ReadSubkeyText(classKey, name, "DriverDesc", desc, sizeof desc);
        if (!action(classKey, name, desc, context))
            index++;
    }
    RegCloseKey(classKey);
}
