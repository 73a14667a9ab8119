// Loading TVQ7Drv.ini: the section chosen by country code, every key with its
// default. The file name has no directory, so the Windows directory is used.
#include "drvsweep.h"

#include "common/read_registry_text.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

static const char IniFile[] = "TVQ7Drv.ini";

bool IsNt5OrLater()
{
    OSVERSIONINFOA v = WindowsVersion();
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5;
}

AnyFunction FindSystemFunction(const char *module, const char *name)
{
    HMODULE dll = GetModuleHandleA(module);
    // Through the generic function type: the caller knows the real one.
    return dll ? (AnyFunction)(void *)GetProcAddress(dll, name) : NULL;
}

// kernel32's own query, where it has one (Windows XP SP2 and later).
static BOOL WINAPI queryWow64(HANDLE process, PBOOL wow64)
{
    Wow64QueryFn query = (Wow64QueryFn)FindSystemFunction("kernel32.dll", "IsWow64Process");
    *wow64 = FALSE;
    return query ? query(process, wow64) : TRUE;
}

Wow64QueryFn Wow64Query = queryWow64;

bool RunsUnderWow64()
{
    BOOL wow64 = FALSE;
    return Wow64Query(GetCurrentProcess(), &wow64) && wow64;
}

int ReadCountryCode()
{
    if (IsNt5OrLater()) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return 1;
        char value[30];
        bool read = ReadRegistryText(key, "iCountry", value, sizeof value, REG_TEXT_SPARE_BYTE);
        RegCloseKey(key);
        return read ? CountryCodeFromText(value) : 1;
    }
    // Windows 9x and older NT keep the country in win.ini.
    char path[128 + 16];
    char dir[128];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir)
        return 1;
    CopyText(path, sizeof path, dir);
    AppendText(path, sizeof path, "\\win.ini");
    return (int)GetPrivateProfileIntA("intl", "iCountry", 1, path);
}

static void readText(const UninstallConfig *cfg, const char *key, const char *def, char *out, DWORD size)
{
    GetPrivateProfileStringA(cfg->section, key, def, out, size, IniFile);
}

static int readCount(const UninstallConfig *cfg, const char *key)
{
    char text[32];
    readText(cfg, key, "0", text, sizeof text);
    return BoundCount(ParseHexCount(text));
}

// "DevDrvID" and 3 give the key "DevDrvID3".
static void readNumbered(const UninstallConfig *cfg, const char *base, int n, char *out, DWORD size)
{
    char key[64];
    snprintf(key, sizeof key, "%s%d", base, n);
    readText(cfg, key, "", out, size);
}

struct EntryKeys {
    const char *count, *id, *desc, *sys, *inf;
};

static int readEntries(const UninstallConfig *cfg, const EntryKeys &keys, DriverEntry *list)
{
    int count = readCount(cfg, keys.count);
    for (int n = 0; n < count; n++) {
        readNumbered(cfg, keys.id, n, list[n].hardwareIdPrefix, ENTRY_TEXT);
        readNumbered(cfg, keys.desc, n, list[n].driverDesc, ENTRY_TEXT);
        readNumbered(cfg, keys.sys, n, list[n].sysFile, ENTRY_TEXT);
        readNumbered(cfg, keys.inf, n, list[n].infFile, ENTRY_TEXT);
    }
    return count;
}

static int readNames(const UninstallConfig *cfg, const char *countKey, const char *base,
                     char (*names)[NAME_TEXT])
{
    int count = readCount(cfg, countKey);
    for (int n = 0; n < count; n++)
        readNumbered(cfg, base, n, names[n], NAME_TEXT);
    return count;
}

static const EntryKeys MainKeys = {"DevIDNum", "DevDrvID", "DevDrvName", "DevDrvSYS", "DevDrvINF"};
static const EntryKeys ExtKeys = {"ExtDevIDNum", "ExtDevDrvID", "ExtDevDrvName", "ExtDevDrvSYS",
                                  "ExtDevDrvINF"};
static const EntryKeys PossibleKeys = {"PossibleDevIDNum", "PossibleDevID", "PossibleDevDrvName",
                                       "PossibleDevDrvSYS", "PossibleDevInf"};

// Single texts after the lists, in the order they are read.
struct TextKey {
    const char *key;
    size_t offset;
    DWORD size;
    const char *def;
};

#define FIELD(name) offsetof(UninstallConfig, name), sizeof(((UninstallConfig *)0)->name)
static const TextKey LeadingTexts[] = {
    {"DrvUninstRegKeyPath", FIELD(uninstallKeyPath), ""},
    {"DrvUninstRegKeyName", FIELD(displayName), "Orvane Velto WDM Drivers"},
    {"DrvUninstAppName", FIELD(uninstallerFile), "auxsweep.exe"},
    {"MediaClass", FIELD(mediaClass), "Yes"},
    {"UnInstNoRegKeyMsg", FIELD(notInstalledMsg), "You do not install Orvane Velto WDM Drivers."},
    {"UnInstDrvPassMsg", FIELD(passMsg), "Orvane Velto WDM Drivers have been uninstalled completely."},
    {"UnInstDrvPassMsg2", FIELD(passMsg2), "If you want to re-install drivers, you MUST reboot your system."},
    {"UnInstDrvRunTipMsg", FIELD(runTipMsg), "Press 'OK' to start ..."},
};
static const TextKey TrailingTexts[] = {
    {"OKText", FIELD(okText), "OK"},
    {"UnInstRemoteTitleName", FIELD(remoteTitle), "Remote Control"},
};
#undef FIELD

static void readTexts(UninstallConfig *cfg, const TextKey *keys, size_t n)
{
    for (size_t i = 0; i < n; i++)
        readText(cfg, keys[i].key, keys[i].def, (char *)cfg + keys[i].offset, keys[i].size);
}

void LoadUninstallConfig(UninstallConfig *cfg)
{
    memset(cfg, 0, sizeof *cfg);
    snprintf(cfg->section, sizeof cfg->section, "%d", ReadCountryCode());
    readText(cfg, "UnInstDrvAppTitle", "", cfg->title, sizeof cfg->title);
    if (cfg->title[0] == '\0') {
        // A country section without a title is ignored as a whole.
        CopyText(cfg->section, sizeof cfg->section, "1");
        readText(cfg, "UnInstDrvAppTitle", "Orvane Velto WDM Drivers Uninstallation", cfg->title,
                 sizeof cfg->title);
    }
    cfg->deviceCount = readEntries(cfg, MainKeys, cfg->devices);
    cfg->extDeviceCount = readEntries(cfg, ExtKeys, cfg->extDevices);
    cfg->extCopyFileCount = readNames(cfg, "ExtDllFileNum", "ExtCopyFileName", cfg->extCopyFiles);
    cfg->possibleDeviceCount = readEntries(cfg, PossibleKeys, cfg->possibleDevices);
    readTexts(cfg, LeadingTexts, sizeof LeadingTexts / sizeof LeadingTexts[0]);
    cfg->serviceCount = readNames(cfg, "UnInstServiceNum", "UnInstService", cfg->services);
    readTexts(cfg, TrailingTexts, sizeof TrailingTexts / sizeof TrailingTexts[0]);
}

static void noteBroad(const DriverEntry *list, int count, const char *idKey)
{
    for (int n = 0; n < count; n++) {
        const char *prefix = list[n].hardwareIdPrefix;
        if (prefix[0] == '\0' || IsSpecificHardwareId(prefix))
            continue;
        char what[REMAINS_TEXT];
        snprintf(what, sizeof what, "%s%d=", idKey, n);
        AppendText(what, sizeof what, prefix);
        NoteLeftAlone(what, "too broad to act on");
    }
}

void NoteBroadEntries(const UninstallConfig &cfg)
{
    noteBroad(cfg.devices, cfg.deviceCount, MainKeys.id);
    noteBroad(cfg.extDevices, cfg.extDeviceCount, ExtKeys.id);
    noteBroad(cfg.possibleDevices, cfg.possibleDeviceCount, PossibleKeys.id);
}
