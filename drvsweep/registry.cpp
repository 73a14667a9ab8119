// Registry cleanup: service keys, class subkeys named by driver description,
// enumerator keys (Windows 9x) and the package's Uninstall entry.
#include "drvsweep.h"

#include <shlwapi.h>
#include <string.h>

static const char MediaClassNt[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
static const char ImageClassNt[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
static const char MediaClass9x[] = "SYSTEM\\CurrentControlSet\\Services\\Class\\MEDIA";
static const char UninstallPath[] = "SoftWare\\MicroSoft\\Windows\\CurrentVersion\\Uninstall";

#ifdef _WIN64
const REGSAM UninstallEntryViews[] = {0, KEY_WOW64_32KEY};
#else
const REGSAM UninstallEntryViews[] = {0};
#endif
const int UninstallEntryViewCount = sizeof UninstallEntryViews / sizeof UninstallEntryViews[0];

const char *SelectClassKey(const UninstallConfig &cfg)
{
    bool imaging = BeginsWithNoCase(cfg.mediaClass, "No", NULL);
    return imaging ? ImageClassNt : MediaClassNt;
}

// A key that is there but that this account may not open answers "access
// denied"; anything else that fails (not found, a name no key can have) means
// there is nothing to remove.
static bool isMissing(LONG err)
{
    return err != ERROR_SUCCESS && err != ERROR_ACCESS_DENIED;
}

static LONG openForRead(HKEY parent, const char *name)
{
    HKEY key;
    LONG err = RegOpenKeyExA(parent, name, 0, KEY_READ, &key);
    if (err == ERROR_SUCCESS)
        RegCloseKey(key);
    return err;
}

static void noteKey(Remains *remains, const char *parentPath, const char *name, LONG err)
{
    char what[REMAINS_TEXT];
    CopyText(what, sizeof what, "HKLM\\");
    AppendText(what, sizeof what, parentPath);
    if (name) {
        AppendText(what, sizeof what, "\\");
        AppendText(what, sizeof what, name);
    }
    if (err == ERROR_ACCESS_DENIED)
        AppendText(what, sizeof what, " (access denied)");
    NoteRemaining(remains, what);
}

bool OpenMachineKey(const char *path, REGSAM access, HKEY *key, Remains *remains)
{
    LONG err = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key);
    if (err == ERROR_SUCCESS)
        return true;
    // A key that is not there is nothing to remove; one that is there but cannot
    // be opened (an account without the rights to it) is not removed either.
    if (!isMissing(err))
        noteKey(remains, path, NULL, err);
    return false;
}

bool DeleteKeyTree(HKEY parent, const char *parentPath, const char *name, Remains *remains)
{
    if (!IsPlainName(name))
        return false;
    LONG err = openForRead(parent, name);
    if (isMissing(err))
        return false;
    if (err == ERROR_SUCCESS) {
        SHDeleteKeyA(parent, name);
        err = openForRead(parent, name);
        if (isMissing(err)) {
            NoteChange();
            return true;
        }
    }
    noteKey(remains, parentPath, name, err);
    return false;
}

static bool deleteByDescription(HKEY classKey, const char *classPath, const char *subkey, const char *desc,
                                const DriverEntry *list, int count, Remains *remains)
{
    for (int i = 0; i < count; i++)
        if (EntryTakesPart(list[i]) && DescriptionEquals(desc, list[i].driverDesc) &&
            DeleteKeyTree(classKey, classPath, subkey, remains))
            return true;
    return false;
}

struct ClassPass {
    const char *classPath;
    const UninstallConfig *cfg;
    Remains *remains;
    const ForeignDrivers *foreign;
};

// A class subkey a present device of another package uses is kept whatever its
// description; it is named once, though Windows 9x walks its class key twice.
static bool keptForeign(const ClassPass &pass, const char *name)
{
    const ForeignDriver *f = ForeignDriverOf(pass.foreign, pass.classPath, name, NULL);
    if (!f && !(pass.foreign && pass.foreign->overflow))
        return false;
    char what[REMAINS_TEXT];
    CopyText(what, sizeof what, "class subkey ");
    AppendText(what, sizeof what, name);
    if (f) {
        char why[REMAINS_TEXT];
        CopyText(why, sizeof why, "the driver key of the present device ");
        AppendText(why, sizeof why, f->hardwareId);
        AppendText(why, sizeof why, ", not the package's");
        NoteLeftAlone(what, why);
    } else {
        NoteLeftAlone("class subkeys", "too many present devices to tell which are the package's");
    }
    return true;
}

// Deletes the subkey when its "DriverDesc" equals an entry's description.
static bool deleteMatching(HKEY classKey, const char *name, const char *desc, void *context)
{
    ClassPass *pass = (ClassPass *)context;
    const UninstallConfig &cfg = *pass->cfg;
    bool described = false;
    for (int i = 0; i < cfg.deviceCount && !described; i++)
        described = EntryTakesPart(cfg.devices[i]) && DescriptionEquals(desc, cfg.devices[i].driverDesc);
    for (int i = 0; i < cfg.extDeviceCount && !described; i++)
        described =
            EntryTakesPart(cfg.extDevices[i]) && DescriptionEquals(desc, cfg.extDevices[i].driverDesc);
    if (!described || keptForeign(*pass, name))
        return false;
    return deleteByDescription(classKey, pass->classPath, name, desc, cfg.devices, cfg.deviceCount,
                               pass->remains) ||
           deleteByDescription(classKey, pass->classPath, name, desc, cfg.extDevices, cfg.extDeviceCount,
                               pass->remains);
}

// Deletes every subkey whose "DriverDesc" equals an entry's description.
static void classSubkeyPass(const char *classPath, const UninstallConfig &cfg, Remains *remains,
                            const ForeignDrivers *foreign)
{
    ClassPass pass = {classPath, &cfg, remains, foreign};
    ForEachClassSubkey(classPath, KEY_ALL_ACCESS, 256, deleteMatching, &pass, remains);
}

// The package's Uninstall entry goes only when it is the one the start-up test
// found: its "DisplayName" is the INI's, in the registry view it is deleted in.
// A key path that names another product's entry (our own setup's, say) keeps it.
static void deleteUninstallEntry(const UninstallConfig &cfg, Remains *remains)
{
    const char *name = cfg.uninstallKeyPath;
    if (!IsPlainName(name))
        return;
    for (int v = 0; v < UninstallEntryViewCount; v++) {
        HKEY key;
        if (!OpenMachineKey(UninstallPath, KEY_ALL_ACCESS | UninstallEntryViews[v], &key, remains))
            continue;
        LONG err = openForRead(key, name);
        char displayName[256];
        if (err == ERROR_SUCCESS &&
            !(ReadSubkeyText(key, name, "DisplayName", displayName, sizeof displayName) &&
              EqualsNoCase(displayName, cfg.displayName))) {
            char what[REMAINS_TEXT];
            CopyText(what, sizeof what, "HKLM\\");
            AppendText(what, sizeof what, UninstallPath);
            AppendText(what, sizeof what, "\\");
            AppendText(what, sizeof what, name);
            char why[REMAINS_TEXT];
            CopyText(why, sizeof why, "its DisplayName is not ");
            AppendText(why, sizeof why, cfg.displayName);
            NoteLeftAlone(what, why);
        } else if (!isMissing(err)) {
            DeleteKeyTree(key, UninstallPath, name, remains);
        }
        RegFlushKey(key);
        RegCloseKey(key);
    }
}

int CleanRegistryNt(const UninstallConfig &cfg, Remains *remains, const ForeignDrivers *foreign)
{
    RemovePlannedServices(cfg, remains);
    classSubkeyPass(SelectClassKey(cfg), cfg, remains, foreign);
    deleteUninstallEntry(cfg, remains);
    return 1;
}

static void deleteKeyNames(const char *path, const char (*names)[ENTRY_TEXT], int count, Remains *remains)
{
    HKEY key;
    if (count == 0 || !OpenMachineKey(path, KEY_ALL_ACCESS, &key, remains))
        return;
    // The whole tree, as Windows 9x's own key deletion does.
    for (int i = 0; i < count; i++)
        DeleteKeyTree(key, path, names[i], remains);
    RegCloseKey(key);
}

// One flag chooses the parent of every bus key. A key cut from a device of the
// other bus ("VEN_" names a PCI device, "VID_" a USB one) would be looked for
// where it is not: it is named instead.
static void deleteBusKeys(const EnumKeyLists &keys, Remains *remains)
{
    const char *parent = keys.usbSeen ? "Enum\\USB" : "Enum\\PCI";
    const char *otherParent = keys.usbSeen ? "Enum\\PCI\\" : "Enum\\USB\\";
    const char *otherTag = keys.usbSeen ? "VEN_" : "VID_";
    char names[KEY_LIST_CAPACITY][ENTRY_TEXT];
    int count = 0;
    for (int i = 0; i < keys.busKeyCount; i++) {
        if (!BeginsWithNoCase(keys.busKeys[i], otherTag, NULL)) {
            CopyText(names[count++], ENTRY_TEXT, keys.busKeys[i]);
            continue;
        }
        char what[REMAINS_TEXT];
        CopyText(what, sizeof what, "HKLM\\");
        AppendText(what, sizeof what, otherParent);
        AppendText(what, sizeof what, keys.busKeys[i]);
        NoteLeftAlone(what, keys.usbSeen ? "keys were looked for under Enum\\USB"
                                         : "keys were looked for under Enum\\PCI");
    }
    deleteKeyNames(parent, names, count, remains);
}

int CleanRegistry9x(const UninstallConfig &cfg, const EnumKeyLists &keys, Remains *remains,
                    const ForeignDrivers *foreign)
{
    classSubkeyPass(MediaClass9x, cfg, remains, foreign);
    classSubkeyPass(MediaClass9x, cfg, remains, foreign);
    deleteBusKeys(keys, remains);
    deleteKeyNames("Enum\\STREAM", keys.streamKeys, keys.streamKeyCount, remains);
    deleteUninstallEntry(cfg, remains);
    return 1;
}
