// The driver uninstaller: what its steps share. The configuration comes from
// TVQ7Drv.ini in the Windows directory; the steps take it, act on devices, files
// and registry keys, and note what they could not remove.
#pragma once
#include <windows.h>

enum {
    LIST_CAPACITY = 15,    // entries of each configured list
    ENTRY_TEXT = 128,      // each field of a DriverEntry
    NAME_TEXT = 260,       // extra files, services, long texts
    KEY_LIST_CAPACITY = 10 // InfPath values, bus and stream key names
};

struct DriverEntry {
    char hardwareIdPrefix[ENTRY_TEXT];
    char driverDesc[ENTRY_TEXT];
    char sysFile[ENTRY_TEXT];
    char infFile[ENTRY_TEXT];
};

// Counts are kept within 0..LIST_CAPACITY when loaded.
struct UninstallConfig {
    int deviceCount;
    int extDeviceCount;
    DriverEntry devices[LIST_CAPACITY];
    DriverEntry extDevices[LIST_CAPACITY];
    int extCopyFileCount;
    char extCopyFiles[LIST_CAPACITY][NAME_TEXT];
    int possibleDeviceCount;
    DriverEntry possibleDevices[LIST_CAPACITY];
    char section[32];
    char uninstallKeyPath[128];
    char displayName[128];
    char uninstallerFile[128];
    char title[NAME_TEXT];
    char notInstalledMsg[NAME_TEXT];
    char passMsg[NAME_TEXT];
    char passMsg2[NAME_TEXT];
    char runTipMsg[NAME_TEXT];
    char mediaClass[128];
    int serviceCount;
    char services[LIST_CAPACITY][NAME_TEXT];
    char remoteTitle[NAME_TEXT];
    char okText[32];
};

// Enumerator key names found on Windows 9x, deleted by the registry cleanup.
struct EnumKeyLists {
    int busKeyCount;
    char busKeys[KEY_LIST_CAPACITY][ENTRY_TEXT];
    int streamKeyCount;
    char streamKeys[KEY_LIST_CAPACITY][ENTRY_TEXT];
    bool usbSeen;
};

// What was present and could not be removed: a bounded list of names plus the
// total, so that the final message can tell the truth.
enum { REMAINS_SHOWN = 6, REMAINS_TEXT = 160 };
struct Remains {
    int count;
    char names[REMAINS_SHOWN][REMAINS_TEXT];
};
void NoteRemaining(Remains *remains, const char *what);

// The dialog's file line and progress bar; either may be NULL.
struct ProgressView {
    HWND fileLine;
    HWND bar;
};

// ---- text rules (no Win32 effects) -------------------------------------------
// Bounded copy and append; both always terminate and report whether all fitted.
bool CopyText(char *dst, size_t size, const char *src);
bool AppendText(char *dst, size_t size, const char *src);
// Hexadecimal count; stops at the first character that is no hex digit.
int ParseHexCount(const char *text);
// A count from the INI file kept within 0..LIST_CAPACITY.
int BoundCount(int count);
// Country code from "iCountry" text: decimal digits, at most 5 of them.
int CountryCodeFromText(const char *text);
// A name that may reach a delete call: not empty, no path separator, drive or "..".
bool IsPlainName(const char *name);
// Case-insensitive prefix rule of device matching; an empty prefix matches nothing.
bool HardwareIdMatches(const char *hardwareId, const char *prefix);
// Case-insensitive "description begins with desc"; an empty desc matches nothing.
bool DescriptionBeginsWith(const char *description, const char *desc);
// Whole-text case-insensitive equality; an empty desc matches nothing.
bool DescriptionEquals(const char *description, const char *desc);
// Key name cut from `id`: from its first character found in `startSet` (any case)
// up to `stop` (or the end). Empty when no such character exists.
void CutKeyName(const char *id, const char *startSet, char stop, char *out, size_t size);
// Appends a key name to a list of KEY_LIST_CAPACITY; empty or unsafe names and
// names beyond the capacity are dropped. False when dropped.
bool AddKeyName(char (*list)[ENTRY_TEXT], int *count, const char *name);
// Directory text: the Windows directory with a suffix, within a 100-byte text.
// False (and an empty text) when it does not fit.
enum { DIR_TEXT = 100, PATH_TEXT = DIR_TEXT + NAME_TEXT };
bool FormDirectory(const char *windowsDir, const char *suffix, char dir[DIR_TEXT]);
// A full path of a plain name in `dir`; false when the name is unsafe or too long.
bool FormFilePath(const char *dir, const char *name, char path[PATH_TEXT]);
// The ".pnf" companion of an InfPath value: cut at its first "." (NT family).
bool PnfPathFromInfPath(const char *infDir, const char *infPath, char path[PATH_TEXT]);
// Every ".inf" replaced by ".pnf" (Windows 9x); the text is lower-cased first.
void ReplaceInfWithPnf(char *path);
void LowerText(char *text);
// The final message: text and message-box icon flag.
UINT ComposeFinalMessage(const UninstallConfig &cfg, const Remains &remains, char *text, size_t size);

// ---- configuration -------------------------------------------------------------
int ReadCountryCode();
bool IsNt5OrLater();
bool IsWin9x();
void LoadUninstallConfig(UninstallConfig *cfg);

// ---- devices -------------------------------------------------------------------
int CountMatchingDevices(UninstallConfig &cfg);
int RemoveMatchingDevices(const UninstallConfig &cfg, Remains *remains);
int CollectEnumKeys(UninstallConfig &cfg, EnumKeyLists *keys);
extern EnumKeyLists EnumKeys;

// ---- registry ------------------------------------------------------------------
// A string value of `subkey` below `parent`; empty (and false) when unreadable.
bool ReadSubkeyText(HKEY parent, const char *subkey, const char *value, char *out, DWORD size);
// The one walk of a device-class key: `action` sees each subkey's name and
// "DriverDesc" and says whether it deleted the subkey (the next one then takes
// the same index). Names are read into `nameSize` bytes (at most 256).
typedef bool (*ClassSubkeyAction)(HKEY classKey, const char *name, const char *desc, void *context);
void ForEachClassSubkey(const char *classPath, REGSAM access, DWORD nameSize, ClassSubkeyAction action,
                        void *context);
extern char ClassKeyPath[256];
void SelectClassKey(const UninstallConfig &cfg);
int CleanRegistryNt(const UninstallConfig &cfg, Remains *remains);
int CleanRegistry9x(const UninstallConfig &cfg, const EnumKeyLists &keys, Remains *remains);

// ---- files ---------------------------------------------------------------------
struct InfPathList {
    int count;
    char paths[KEY_LIST_CAPACITY][256];
};
extern InfPathList InfPaths;
void CollectInfPaths(const UninstallConfig &cfg, InfPathList *list);
void DeleteListedFile(const char *path, const ProgressView &view, Remains *remains);
void DeleteDriverFilesNt(const UninstallConfig &cfg, const InfPathList &list, const ProgressView &view,
                         Remains *remains);
void DeleteDriverFiles9x(const UninstallConfig &cfg, const ProgressView &view, Remains *remains);

// ---- the run -------------------------------------------------------------------
// False when the present devices do not match the main entries: nothing is done.
bool SweepNt(UninstallConfig &cfg, const ProgressView &view, Remains *remains);
void Sweep9x(UninstallConfig &cfg, const ProgressView &view, Remains *remains);

// ---- progress ------------------------------------------------------------------
enum { STEP_PAUSE_MS = 20 };
// One step of the bar followed by the pause; the pause keeps answering messages
// sent to the dialog (its texts can be read) and keeps it painted.
void Step(const ProgressView &view);
void PauseResponsive(DWORD ms);
// Steps taken since the program started, for the benchmark.
extern int StepsTaken;
