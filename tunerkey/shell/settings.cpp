// The two settings of the program, kept under HKEY_LOCAL_MACHINE.
#include "shell/shell.h"

#include "keys/keys.h"

// DefaultTVAPP itself is held by the keys room, which acts on it.
static bool AlwaysRemoteOff = false;

OpenKeyCall openSettingsKeyCall = RegOpenKeyExA;

bool alwaysRemoteOff()
{
    return AlwaysRemoteOff;
}

// Whatever type is stored, four bytes are taken as the number; a longer value fails.
static bool readNumber(HKEY key, const char *name, DWORD *number)
{
    DWORD size = sizeof *number;
    return RegQueryValueExA(key, name, NULL, NULL, (BYTE *)number, &size) == ERROR_SUCCESS;
}

static void writeNumber(HKEY key, const char *name, DWORD number)
{
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&number, sizeof number);
    RegFlushKey(key);
}

static bool openSettingsKey(REGSAM access, HKEY *key)
{
    return openSettingsKeyCall(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, 0, access, key) == ERROR_SUCCESS;
}

// Takes the stored values; with `writable`, a missing one is stored with its default.
static void loadValues(HKEY key, bool writable)
{
    DWORD number = 0;
    if (readNumber(key, "DefaultTVAPP", &number))
        setDefaultTvApp((int)number);
    else if (writable)
        writeNumber(key, "DefaultTVAPP", (DWORD)defaultTvApp());
    number = 0;
    if (readNumber(key, "AlwaysRemoteOff", &number))
        AlwaysRemoteOff = number == 1;
    else {
        // Missing or unreadable: the default holds, and is stored when it can be.
        AlwaysRemoteOff = false;
        if (writable)
            writeNumber(key, "AlwaysRemoteOff", 0);
    }
}

bool LoadSettings()
{
    HKEY key;
    if (openSettingsKey(KEY_ALL_ACCESS, &key)) {
        loadValues(key, true);
        RegCloseKey(key);
        return true;
    }
    // A standard user, or an administrator not elevated, may read the machine's
    // settings but not change them: what an administrator stored still holds.
    if (openSettingsKey(KEY_READ, &key)) {
        loadValues(key, false);
        RegCloseKey(key);
        return true;
    }
    // No write access to the machine's settings: run with the defaults, silently.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        NULL, &key, NULL) != ERROR_SUCCESS)
        return true;
    writeNumber(key, "DefaultTVAPP", (DWORD)defaultTvApp());
    writeNumber(key, "AlwaysRemoteOff", 0);
    RegCloseKey(key);
    return true;
}

bool SaveDefaultApp()
{
    HKEY key;
    if (!openSettingsKey(KEY_ALL_ACCESS, &key))
        return false;
    // Only an existing value is overwritten: a deleted one stays deleted.
    DWORD stored = 0;
    if (!readNumber(key, "DefaultTVAPP", &stored)) {
        RegCloseKey(key);
        return false;
    }
    writeNumber(key, "DefaultTVAPP", (DWORD)defaultTvApp());
    RegCloseKey(key);
    return true;
}
