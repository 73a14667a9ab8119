// The three device scans: one walk over the present devices, one reading of the
// first hardware ID, one matching rule.
#include "drvsweep.h"

#include <setupapi.h>
#include <string.h>

// How the hardware-ID buffer is sized: exactly as reported, freed per device; or
// one 256-byte buffer kept across devices, grown by 16 bytes over a report.
enum BufferRule { BUFFER_EXACT, BUFFER_KEPT };

struct HardwareIdBuffer {
    BufferRule rule;
    BYTE *data;
    DWORD size;
};

static bool allocate(HardwareIdBuffer *b, DWORD size)
{
    if (b->data)
        LocalFree(b->data);
    // One spare NUL: the text is always terminated, whatever the property held.
    b->data = (BYTE *)LocalAlloc(LPTR, size + 1);
    b->size = b->data ? size : 0;
    return b->data != NULL;
}

static void release(HardwareIdBuffer *b)
{
    if (b->data)
        LocalFree(b->data);
    b->data = NULL;
    b->size = 0;
}

enum ReadResult { READ_OK, READ_SKIP, READ_STOP };

// The first string of the device's hardware-ID list.
static ReadResult ReadFirstHardwareId(HDEVINFO set, SP_DEVINFO_DATA *dev, HardwareIdBuffer *b)
{
    for (;;) {
        DWORD needed = 0;
        if (SetupDiGetDeviceRegistryPropertyA(set, dev, SPDRP_HARDWAREID, NULL, b->data, b->size, &needed))
            return b->data ? READ_OK : READ_SKIP;
        DWORD err = GetLastError();
        if (err == ERROR_INVALID_DATA)
            return READ_SKIP;
        if (err != ERROR_INSUFFICIENT_BUFFER || needed == 0)
            return READ_STOP;
        DWORD size = b->rule == BUFFER_EXACT ? needed : needed + 16;
        if (!allocate(b, size))
            return READ_STOP;
    }
}

DeviceListFn DeviceListCall = SetupDiGetClassDevsA;

// Where SPDRP_DRIVER's key lies, per family.
static const char ClassRootNt[] = "SYSTEM\\CurrentControlSet\\Control\\Class";
static const char ClassRoot9x[] = "System\\CurrentControlSet\\Services\\Class";

static void readTextProperty(HDEVINFO set, SP_DEVINFO_DATA *dev, DWORD property, char *out, DWORD size)
{
    memset(out, 0, size);
    // One byte kept back: the text is terminated whatever the property held.
    if (!SetupDiGetDeviceRegistryPropertyA(set, dev, property, NULL, (BYTE *)out, size - 1, NULL))
        out[0] = '\0';
}

// The device's driver key, that key's description and INF, and its service. On
// Windows 9x SPDRP_DRIVER reads the "Driver" value of the device's enumerator key.
static void readEvidence(HDEVINFO set, SP_DEVINFO_DATA *dev, DeviceEvidence *e)
{
    readTextProperty(set, dev, SPDRP_DRIVER, e->driverKey, sizeof e->driverKey);
    readTextProperty(set, dev, SPDRP_SERVICE, e->service, sizeof e->service);
    e->serviceRefused = ServiceRefused(e->service);
    e->driverDesc[0] = e->infPath[0] = '\0';
    if (e->driverKey[0] == '\0')
        return;
    HKEY root;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, IsWindows9x() ? ClassRoot9x : ClassRootNt, 0, KEY_READ, &root) !=
        ERROR_SUCCESS)
        return;
    ReadSubkeyText(root, e->driverKey, "DriverDesc", e->driverDesc, sizeof e->driverDesc);
    ReadSubkeyText(root, e->driverKey, "InfPath", e->infPath, sizeof e->infPath);
    RegCloseKey(root);
}

// Called for each listed device with a hardware ID; false ends the walk.
typedef bool (*DeviceVisitor)(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context);

// False when the device set could not be obtained. `flags` add DIGCF_PRESENT or not.
static bool ForEachDevice(BufferRule rule, DWORD flags, DeviceVisitor visit, void *context)
{
    HDEVINFO set = DeviceListCall(NULL, NULL, NULL, flags | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    HardwareIdBuffer b = {rule, NULL, 0};
    if (rule == BUFFER_KEPT)
        allocate(&b, 256);
    SP_DEVINFO_DATA dev;
    for (DWORD index = 0;; index++) {
        memset(&dev, 0, sizeof dev);
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, index, &dev))
            break;
        ReadResult r = ReadFirstHardwareId(set, &dev, &b);
        bool go = r != READ_STOP;
        if (r == READ_OK)
            go = visit(set, &dev, (const char *)b.data, context);
        if (rule == BUFFER_EXACT)
            release(&b);
        if (!go)
            break;
    }
    release(&b);
    DWORD err = GetLastError();
    SetupDiDestroyDeviceInfoList(set);
    SetLastError(err);
    return true;
}

// Adds an enumerator key name to its list; a name it has no room for, or that is
// no plain name, is named as left alone. An empty name (an ID without the
// searched characters) is nothing to name.
static void addKey(char (*list)[ENTRY_TEXT], int *count, const char *name)
{
    if (name[0] == '\0' || AddKeyName(list, count, name))
        return;
    char what[REMAINS_TEXT];
    CopyText(what, sizeof what, "enumerator key ");
    AppendText(what, sizeof what, name);
    NoteLeftAlone(what, *count >= KEY_LIST_CAPACITY ? "no room in the list" : "not a plain key name");
}

// A matched main entry takes the values of every alternative that matches the same
// device, the last one winning. Returns how many matched.
static int applyAlternatives(UninstallConfig &cfg, int i, const char *hardwareId, EnumKeyLists *keys)
{
    int matched = 0;
    for (int j = 0; j < cfg.possibleDeviceCount; j++) {
        if (!HardwareIdMatches(hardwareId, cfg.possibleDevices[j].hardwareIdPrefix))
            continue;
        cfg.devices[i] = cfg.possibleDevices[j];
        matched++;
        if (keys) {
            char name[ENTRY_TEXT];
            CutKeyName(hardwareId, "VEN", '\0', name, sizeof name);
            addKey(keys->busKeys, &keys->busKeyCount, name);
        }
    }
    return matched;
}

// Whether any entry of a list has the device, with the package's evidence.
static bool anyEntryHas(const char *hardwareId, const DeviceEvidence &e, const DriverEntry *list, int count,
                        const UninstallConfig &cfg)
{
    for (int i = 0; i < count; i++)
        if (DeviceOfEntry(hardwareId, e, list[i], cfg))
            return true;
    return false;
}

// A present device that no entry has is another package's: its driver key is
// kept from every class-key step.
static void noteForeign(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId,
                        const UninstallConfig &cfg, const DriverEntry *mains, ForeignDrivers *foreign)
{
    if (!foreign)
        return;
    DeviceEvidence e;
    readEvidence(set, dev, &e);
    const char *classPath = IsWindows9x() ? "MEDIA" : SelectClassKey(cfg);
    if (!DriverKeyInClass(e.driverKey, classPath) ||
        anyEntryHas(hardwareId, e, mains, cfg.deviceCount, cfg) ||
        anyEntryHas(hardwareId, e, cfg.extDevices, cfg.extDeviceCount, cfg) ||
        anyEntryHas(hardwareId, e, cfg.possibleDevices, cfg.possibleDeviceCount, cfg))
        return;
    if (foreign->count >= FOREIGN_CAPACITY) {
        foreign->overflow = true;
        return;
    }
    ForeignDriver &f = foreign->items[foreign->count++];
    CopyText(f.driverKey, sizeof f.driverKey, e.driverKey);
    CopyText(f.infPath, sizeof f.infPath, e.infPath);
    CopyText(f.hardwareId, sizeof f.hardwareId, hardwareId);
}

struct CountScan {
    UninstallConfig *cfg;
    int count;
    DriverEntry mains[LIST_CAPACITY]; // the main entries as the INI has them, before any alternative
    ForeignDrivers *foreign;
};

static bool countDevice(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context)
{
    CountScan *s = (CountScan *)context;
    for (int i = 0; i < s->cfg->deviceCount; i++) {
        // Only an entry the device matches is refined by an alternative: an
        // unrelated entry must keep its own files and keys.
        if (!HardwareIdMatches(hardwareId, s->cfg->devices[i].hardwareIdPrefix))
            continue;
        s->count++;
        applyAlternatives(*s->cfg, i, hardwareId, NULL);
    }
    noteForeign(set, dev, hardwareId, *s->cfg, s->mains, s->foreign);
    return true;
}

// What the count and the collection start from: the main entries as the INI has
// them (an alternative may replace one as the scan goes), and no foreign driver yet.
static void beginScan(const UninstallConfig &cfg, DriverEntry (&mains)[LIST_CAPACITY],
                      ForeignDrivers *foreign)
{
    memcpy(mains, cfg.devices, sizeof mains);
    if (foreign)
        memset(foreign, 0, sizeof *foreign);
}

int CountMatchingDevices(UninstallConfig &cfg, ForeignDrivers *foreign)
{
    static CountScan s; // large: kept off the stack
    s.cfg = &cfg;
    s.count = 0;
    s.foreign = foreign;
    beginScan(cfg, s.mains, foreign);
    ForEachDevice(BUFFER_EXACT, DIGCF_PRESENT, countDevice, &s);
    return s.count;
}

struct RemoveScan {
    const UninstallConfig *cfg;
    Remains *remains;
};

static bool matchesAny(const char *hardwareId, const DriverEntry *list, int count)
{
    for (int i = 0; i < count; i++)
        if (HardwareIdMatches(hardwareId, list[i].hardwareIdPrefix))
            return true;
    return false;
}

static bool removeDevice(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context)
{
    RemoveScan *s = (RemoveScan *)context;
    const UninstallConfig &cfg = *s->cfg;
    if (!matchesAny(hardwareId, cfg.devices, cfg.deviceCount) &&
        !matchesAny(hardwareId, cfg.extDevices, cfg.extDeviceCount))
        return true;
    DeviceEvidence e;
    readEvidence(set, dev, &e);
    // A main entry may hold an alternative's values by now; the device may be of
    // another alternative of the same chip.
    if (!anyEntryHas(hardwareId, e, cfg.devices, cfg.deviceCount, cfg) &&
        !anyEntryHas(hardwareId, e, cfg.extDevices, cfg.extDeviceCount, cfg) &&
        !anyEntryHas(hardwareId, e, cfg.possibleDevices, cfg.possibleDeviceCount, cfg)) {
        char what[REMAINS_TEXT];
        CopyText(what, sizeof what, "device ");
        AppendText(what, sizeof what, hardwareId);
        NoteLeftAlone(what, "neither its driver nor its service is the package's");
        return true;
    }
    if (!SetupDiRemoveDevice(set, dev))
        NoteRemaining(s->remains, hardwareId);
    else
        NoteChange();
    return true;
}

int RemoveMatchingDevices(const UninstallConfig &cfg, Remains *remains)
{
    RemoveScan s = {&cfg, remains};
    // Without DIGCF_PRESENT: a card taken out, a USB variant unplugged, an earlier
    // slot keep their device nodes, which would bring the package back.
    return ForEachDevice(BUFFER_EXACT, 0, removeDevice, &s) ? 1 : 0;
}

struct CollectScan {
    UninstallConfig *cfg;
    EnumKeyLists *keys;
    int count;
    DriverEntry mains[LIST_CAPACITY];
    ForeignDrivers *foreign;
};

static bool collectDevice(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *fullId, void *context)
{
    CollectScan *s = (CollectScan *)context;
    UninstallConfig &cfg = *s->cfg;
    EnumKeyLists *keys = s->keys;
    char id[ENTRY_TEXT]; // working text; a longer ID is cut
    CopyText(id, sizeof id, fullId);
    DeviceEvidence e;
    readEvidence(set, dev, &e);
    char name[ENTRY_TEXT];
    for (int i = 0; i < cfg.deviceCount; i++) {
        if (!HardwareIdMatches(id, cfg.devices[i].hardwareIdPrefix))
            continue;
        s->count++;
        // The enumerator key goes only when the device shows it is the package's,
        // through the entry or an alternative that refines it.
        bool owned = DeviceOfEntry(id, e, cfg.devices[i], cfg) ||
                     anyEntryHas(id, e, cfg.possibleDevices, cfg.possibleDeviceCount, cfg);
        if (!owned) {
            char what[REMAINS_TEXT];
            CopyText(what, sizeof what, "device ");
            AppendText(what, sizeof what, fullId);
            NoteLeftAlone(what, "neither its driver nor its service is the package's");
        }
        if (cfg.possibleDeviceCount > 0) {
            applyAlternatives(cfg, i, id, owned ? keys : NULL);
        } else if (!owned) {
            continue;
        } else if (BeginsWithNoCase(id, "USB\\", NULL)) {
            keys->usbSeen = true;
            CutKeyName(cfg.devices[i].hardwareIdPrefix, "VID", '\0', name, sizeof name);
            addKey(keys->busKeys, &keys->busKeyCount, name);
        } else {
            CutKeyName(id, "VEN", '\0', name, sizeof name);
            addKey(keys->busKeys, &keys->busKeyCount, name);
        }
    }
    for (int i = 0; i < cfg.extDeviceCount; i++) {
        if (!DeviceOfEntry(id, e, cfg.extDevices[i], cfg))
            continue;
        CutKeyName(id, "CX", '#', name, sizeof name);
        addKey(keys->streamKeys, &keys->streamKeyCount, name);
    }
    noteForeign(set, dev, id, cfg, s->mains, s->foreign);
    return true;
}

int CollectEnumKeys(UninstallConfig &cfg, EnumKeyLists *keys, ForeignDrivers *foreign)
{
    static CollectScan s;
    s.cfg = &cfg;
    s.keys = keys;
    s.count = 0;
    s.foreign = foreign;
    beginScan(cfg, s.mains, foreign);
    ForEachDevice(BUFFER_KEPT, DIGCF_PRESENT, collectDevice, &s);
    return s.count;
}

struct UserScan {
    const char (*names)[NAME_TEXT];
    int count;
    char (*users)[ENTRY_TEXT];
};

// Whether a REG_MULTI_SZ property of the device names `name`.
static bool listNames(HDEVINFO set, SP_DEVINFO_DATA *dev, DWORD property, const char *name)
{
    char list[1024];
    memset(list, 0, sizeof list);
    if (!SetupDiGetDeviceRegistryPropertyA(set, dev, property, NULL, (BYTE *)list, sizeof list - 2, NULL))
        return false;
    for (const char *p = list; *p; p += strlen(p) + 1)
        if (EqualsNoCase(p, name))
            return true;
    return false;
}

static bool noteUser(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context)
{
    UserScan *s = (UserScan *)context;
    char service[ENTRY_TEXT];
    readTextProperty(set, dev, SPDRP_SERVICE, service, sizeof service);
    for (int i = 0; i < s->count; i++) {
        const char *name = s->names[i];
        if (s->users[i][0] != '\0' || name[0] == '\0')
            continue;
        if (EqualsNoCase(service, name) || listNames(set, dev, SPDRP_UPPERFILTERS, name) ||
            listNames(set, dev, SPDRP_LOWERFILTERS, name))
            CopyText(s->users[i], ENTRY_TEXT, hardwareId);
    }
    return true;
}

void FindServiceUsers(const char (*names)[NAME_TEXT], int count, char (*users)[ENTRY_TEXT])
{
    for (int i = 0; i < count; i++)
        users[i][0] = '\0';
    UserScan s = {names, count, users};
    // Without DIGCF_PRESENT: a device that is not plugged in starts again with
    // its service and filters when it is.
    ForEachDevice(BUFFER_EXACT, 0, noteUser, &s);
}
