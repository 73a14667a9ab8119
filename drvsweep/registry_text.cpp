// Reading device-class keys: one string value of a subkey, read into a fixed text
// that is always terminated, and the walk of a class key's subkeys.
#include "drvsweep.h"

#include "common/read_registry_text.h"

bool ReadSubkeyText(HKEY parent, const char *subkey, const char *value, char *out, DWORD size)
{
    out[0] = '\0';
    HKEY key;
    if (RegOpenKeyExA(parent, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    // A value that does not fit, or is no text, reads as empty.
    bool read = ReadRegistryText(key, value, out, size, REG_TEXT_STRING_TYPES | REG_TEXT_SPARE_BYTE);
    RegCloseKey(key);
    return read;
}

void ForEachClassSubkey(const char *classPath, REGSAM access, DWORD nameSize, ClassSubkeyAction action,
                        void *context, Remains *remains)
{
    HKEY classKey;
    if (!OpenMachineKey(classPath, access, &classKey, remains))
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
