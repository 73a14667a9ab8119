// The program's settings: each user's own under HKEY_CURRENT_USER, over the
// machine's defaults under HKEY_LOCAL_MACHINE, which an administrator or the setup
// writes. The program runs as the user who starts it and writes only the user's.
#include "shell/shell.h"

#include "keys/keys.h"

// DefaultTVAPP itself is held by the keys room, which acts on it.
static bool AlwaysRemoteOff = false;

OpenKeyCall openSettingsKeyCall = RegOpenKeyExA;

bool alwaysRemoteOff()
{
    return AlwaysRemoteOff;
}

// One hive's value under the rule's type test; `number` is left alone on failure.
static bool readIn(HKEY root, const char *path, const char *name, unsigned rule, DWORD *number)
{
    HKEY key;
    if (openSettingsKeyCall(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0, type = 0, size = sizeof value;
    bool read = RegQueryValueExA(key, name, NULL, &type, (BYTE *)&value, &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    // A longer value fails the read; a shorter one reads as zero in the rest.
    if (!read || (!(rule & SETTING_ANY_TYPE) && (type != REG_DWORD || size != sizeof value)))
        return false;
    *number = value;
    return true;
}

bool readSetting(const char *name, DWORD *number, unsigned rule)
{
    if (!(rule & SETTING_MACHINE_ONLY) && readIn(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, name, rule, number))
        return true;
    return !(rule & SETTING_USER_ONLY) && readIn(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, name, rule, number);
}

bool writeSetting(const char *name, DWORD number)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, 0, NULL, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, NULL, &key, NULL) != ERROR_SUCCESS)
        return false;
    bool written =
        RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE *)&number, sizeof number) == ERROR_SUCCESS;
    RegFlushKey(key);
    RegCloseKey(key);
    return written;
}

bool LoadSettings()
{
    // Whatever type is stored, four bytes are taken as the number. A value missing
    // from both hives is written back to the user's with its default.
    DWORD number = 0;
    if (readSetting("DefaultTVAPP", &number, SETTING_ANY_TYPE))
        setDefaultTvApp((int)number);
    else
        writeSetting("DefaultTVAPP", (DWORD)defaultTvApp());
    // Exactly 1 in either hive stops the program: the user's 0 does not overrule the
    // machine's switch.
    DWORD user = 0, machine = 0;
    bool inUser = readSetting("AlwaysRemoteOff", &user, SETTING_ANY_TYPE | SETTING_USER_ONLY);
    bool inMachine = readSetting("AlwaysRemoteOff", &machine, SETTING_ANY_TYPE | SETTING_MACHINE_ONLY);
    AlwaysRemoteOff = (inUser && user == 1) || (inMachine && machine == 1);
    if (!inUser && !inMachine)
        writeSetting("AlwaysRemoteOff", 0);
    return true;
}

bool SaveDefaultApp()
{
    // Only a value stored in either hive is overwritten: a deleted one stays deleted.
    DWORD stored = 0;
    if (!readSetting("DefaultTVAPP", &stored, SETTING_ANY_TYPE))
        return false;
    return writeSetting("DefaultTVAPP", (DWORD)defaultTvApp());
}
