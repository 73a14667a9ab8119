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

// Called for each present device with a hardware ID; false ends the walk.
typedef bool (*DeviceVisitor)(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context);

// False when the device set could not be obtained.
static bool ForEachDevice(BufferRule rule, DeviceVisitor visit, void *context)
{
    HDEVINFO set = SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_PRESENT | DIGCF_ALLCLASSES);
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

struct CountScan {
    UninstallConfig *cfg;
    int count;
};

static bool countDevice(HDEVINFO, SP_DEVINFO_DATA *, const char *hardwareId, void *context)
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
    return true;
}

int CountMatchingDevices(UninstallConfig &cfg)
{
    CountScan s = {&cfg, 0};
    ForEachDevice(BUFFER_EXACT, countDevice, &s);
    return s.count;
}

struct RemoveScan {
    const UninstallConfig *cfg;
    Remains *remains;
};

static void removeMatches(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, const DriverEntry *list,
                          int count, bool *matched, bool *removed)
{
    for (int i = 0; i < count; i++) {
        if (!HardwareIdMatches(hardwareId, list[i].hardwareIdPrefix))
            continue;
        *matched = true;
        if (SetupDiRemoveDevice(set, dev))
            *removed = true;
    }
}

static bool removeDevice(HDEVINFO set, SP_DEVINFO_DATA *dev, const char *hardwareId, void *context)
{
    RemoveScan *s = (RemoveScan *)context;
    bool matched = false, removed = false;
    removeMatches(set, dev, hardwareId, s->cfg->devices, s->cfg->deviceCount, &matched, &removed);
    removeMatches(set, dev, hardwareId, s->cfg->extDevices, s->cfg->extDeviceCount, &matched, &removed);
    if (matched && !removed)
        NoteRemaining(s->remains, hardwareId);
    return true;
}

int RemoveMatchingDevices(const UninstallConfig &cfg, Remains *remains)
{
    RemoveScan s = {&cfg, remains};
    return ForEachDevice(BUFFER_EXACT, removeDevice, &s) ? 1 : 0;
}

struct CollectScan {
    UninstallConfig *cfg;
    EnumKeyLists *keys;
    int count;
};

static bool collectDevice(HDEVINFO, SP_DEVINFO_DATA *, const char *fullId, void *context)
{
    CollectScan *s = (CollectScan *)context;
    UninstallConfig &cfg = *s->cfg;
    EnumKeyLists *keys = s->keys;
    char id[ENTRY_TEXT]; // working text; a longer ID is cut
    CopyText(id, sizeof id, fullId);
    char name[ENTRY_TEXT];
    for (int i = 0; i < cfg.deviceCount; i++) {
        if (!HardwareIdMatches(id, cfg.devices[i].hardwareIdPrefix))
            continue;
        s->count++;
        if (cfg.possibleDeviceCount > 0) {
            applyAlternatives(cfg, i, id, keys);
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
        if (!HardwareIdMatches(id, cfg.extDevices[i].hardwareIdPrefix))
            continue;
        CutKeyName(id, "CX", '#', name, sizeof name);
        addKey(keys->streamKeys, &keys->streamKeyCount, name);
    }
    return true;
}

int CollectEnumKeys(UninstallConfig &cfg, EnumKeyLists *keys)
{
    CollectScan s = {&cfg, keys, 0};
    ForEachDevice(BUFFER_KEPT, collectDevice, &s);
    return s.count;
}
