// The driver uninstaller: what its steps share. The configuration comes from
// TVQ7Drv.ini in the Windows directory; the steps take it, act on devices, files
// and registry keys, and note what they could not remove.
#pragma once
#include <windows.h>

#include "common/ansi_chars.h"
#include "common/copy_text.h"
#include "common/windows_family.h"

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
// What the run left alone on purpose or could not look at: entries too broad to
// act on, values it will not touch, items beyond a list's room, keys looked for
// under another bus, a remote-control window that did not answer. The final
// message names them.
extern Remains LeftAlone;
void NoteLeftAlone(const char *what, const char *why);
// Every file, key, device or list entry the run removed is counted: the restart
// line of the final message follows a run that changed something.
void NoteChange();
int ChangesMade();

// The dialog's file line and progress bar; either may be NULL.
struct ProgressView {
    HWND fileLine;
    HWND bar;
};

// ---- text rules (no Win32 effects) -------------------------------------------
// Text is ANSI in the system's code page; on a double-byte code page a lead byte
// and its trail byte form one character (IsDBCSLeadByte).
// The bounded copy and append (CopyText, AppendText) and the character walk
// (CharSize, CharBoundaryAtOrBefore) are the helpers both programs share.
// The first single-byte character `c` in `text` (never a trail byte), or NULL.
const char *FindChar(const char *text, char c);
// Case-insensitive, character by character: "text begins with prefix"; on a
// match `*rest` (when given) points at what follows in `text`.
bool BeginsWithNoCase(const char *text, const char *prefix, const char **rest);
bool EqualsNoCase(const char *a, const char *b);
// Lower-cases single-byte characters in place; double-byte characters stay.
void LowerText(char *text);
// Hexadecimal count; stops at the first character that is no hex digit.
int ParseHexCount(const char *text);
// A count from the INI file kept within 0..LIST_CAPACITY.
int BoundCount(int count);
// Country code from "iCountry" text: decimal digits, at most 5 of them.
int CountryCodeFromText(const char *text);
// A name that may reach a delete call: not empty, no path separator, drive or "..".
bool IsPlainName(const char *name);
// A hardware-ID entry narrow enough to act on: "PCI\VEN_hhhh&DEV_" or
// "USB\VID_hhhh&PID_" followed by at least MIN_DEVICE_DIGITS hex digits of the
// device ("DEV_880" covers a chip's functions 8800-880F); on any other bus, a bus
// name (letters, digits, "_") of 2 or more, a backslash and an identity of at
// least MIN_IDENTITY characters without a further backslash, whose vendor field,
// when it starts with one (VEN_/VID_), is followed by the device's.
enum { MIN_IDENTITY = 6, MIN_DEVICE_DIGITS = 3 };
bool IsSpecificHardwareId(const char *prefix);
// Device matching, case-insensitive; only a specific entry matches. On PCI and
// USB the entry is a prefix of the hardware ID; on any other bus a prefix is no
// proof ("HDAUDIO\FUNC_01" begins every HD Audio codec's ID): the entry must be
// the whole ID, or the ID part before its reference string ("#...").
bool HardwareIdMatches(const char *hardwareId, const char *prefix);
// An entry that takes part in the run: its hardware ID is empty (an entry of files
// and keys only) or specific. A too-broad entry takes part in no step at all.
bool EntryTakesPart(const DriverEntry &entry);
// The description equals desc, or continues it after a word boundary ("Bar
// Capture" covers "Bar Capture (WDM)", not "Bar Captures"); an empty desc covers nothing.
bool DescriptionCovers(const char *description, const char *desc);
// Whole-text case-insensitive equality; an empty desc matches nothing.
bool DescriptionEquals(const char *description, const char *desc);
// What a device shows of the driver it has: its driver key (SPDRP_DRIVER, below
// the class root: "{guid}\0000" on the NT family, "MEDIA\0000" on Windows 9x)
// with that key's "DriverDesc" and "InfPath", and its service (SPDRP_SERVICE).
struct DeviceEvidence {
    char driverKey[ENTRY_TEXT];
    char driverDesc[256];
    char infPath[256];
    char service[ENTRY_TEXT];
    bool serviceRefused; // the service is one that cannot go (ServiceRefused)
};
// The device is the entry's and shows it is the package's: its first hardware ID
// matches the entry, and its driver key's description is the entry's (or goes on
// from it at a word boundary), or its service is one the INI names, that can go,
// and the driver key does not describe another driver.
bool DeviceOfEntry(const char *hardwareId, const DeviceEvidence &device, const DriverEntry &entry,
                   const UninstallConfig &cfg);
// The driver keys of the present devices that are not the package's: a class
// subkey named here, or its "InfPath", is never deleted, whatever its description.
// Only driver keys below the class key the run walks are kept.
enum { FOREIGN_CAPACITY = 64 };
struct ForeignDriver {
    char driverKey[ENTRY_TEXT];
    char infPath[256];
    char hardwareId[ENTRY_TEXT];
};
struct ForeignDrivers {
    int count;
    bool overflow; // more than FOREIGN_CAPACITY: no class subkey can be told apart
    ForeignDriver items[FOREIGN_CAPACITY];
};
// The foreign device whose driver key is `subkey` of the class key at `classPath`,
// or whose driver key's "InfPath" is `infPath` (either may be NULL); NULL if none.
// A driver key ("{guid}\\0000") that lies below the class key at `classPath`.
bool DriverKeyInClass(const char *driverKey, const char *classPath);
const ForeignDriver *ForeignDriverOf(const ForeignDrivers *foreign, const char *classPath, const char *subkey,
                                     const char *infPath);
// "oem<digits>.inf" in any case: the only INF names the NT run ever removes.
bool IsOemInfName(const char *name);
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
// The final message: text and message-box icon flag.
// `atRestart` lists the files in use that Windows deletes when it next starts;
// `changed` says whether the run removed anything.
UINT ComposeFinalMessage(const UninstallConfig &cfg, const Remains &remains, const Remains &leftAlone,
                         const Remains &atRestart, bool changed, char *text, size_t size);
// The message of a run stopped before it changed anything: no main entry, or the
// NT device count (the count found and the count expected); what was left alone.
void ComposeStopMessage(const UninstallConfig &cfg, int found, const Remains &leftAlone, char *text,
                        size_t size);
// The [rename] section of WININIT.INI with "NUL=path" added (Windows 9x deletes
// each such file at its next start; the section may name NUL many times, which
// is why the file is written as text, not through the profile functions). False
// when the result does not fit.
bool AddWininitDeletion(const char *wininit, const char *path, char *out, size_t size);
// Why the program refuses to start, or NULL: the 32-bit program under WOW64, or
// an account without administrator rights on the NT family.
const char *StartRefusal(bool underWow64, bool windows9x, bool administrator);

// ---- Windows' own files -------------------------------------------------------
// sfc.dll's SfcIsFileProtected (Windows 2000 and later), looked up at run time;
// Wine's answers no for every file, so tests put another in its place.
typedef BOOL(WINAPI *FileProtectedFn)(HANDLE rpc, LPCWSTR path);
extern FileProtectedFn FileProtectedCall;
// A version resource's CompanyName that names Microsoft, in any case.
bool CompanyIsMicrosoft(const char *company);
// Why the file at `path` is Windows' own and stays, or NULL: protected by Windows
// File Protection, or made by Microsoft by its version resource.
const char *WindowsFileReason(const char *path);

// ---- services ------------------------------------------------------------------
// The decision on each service the INI names, made before anything is removed:
// a service goes only when no device that stays uses it (as its service or one of
// its filters), no service that stays depends on it ("DependOnService") and its
// image is not one of Windows' own. PlanServices looks at the registry and the
// devices; FinishServicePlan, once the package's devices are gone, looks at the
// devices that stay and at the images of every service that stays.
void PlanServices(const UninstallConfig &cfg);
void FinishServicePlan(const UninstallConfig &cfg);
// A named service that cannot go whatever the devices: its image is Windows' own
// or a service outside the INI's depends on it. It vouches for no device.
bool ServiceRefused(const char *name);
// The service that stays and has the file at `path` as its image, or NULL.
const char *ServiceKeepingImage(const char *path);
// The services that go: each first taken from every class key's filter lists,
// then removed (through the service control manager on the NT family); the
// others are named. Ends the plan.
void RemovePlannedServices(const UninstallConfig &cfg, Remains *remains);
// A filter list (REG_MULTI_SZ of `*size` bytes, in a buffer of at least two bytes
// more) without `name`, in place; false when the name was not in it.
bool RemoveFromNameList(char *list, DWORD *size, const char *name);
// The file name of a service's "ImagePath", without folder, quotes or arguments.
void ImageFileName(const char *imagePath, char *out, size_t size);

// ---- configuration and platform --------------------------------------------------
// A function of a loaded system DLL, looked up at run time so that the program
// still loads on systems whose DLL lacks it; NULL there.
typedef void (*AnyFunction)(void);
AnyFunction FindSystemFunction(const char *module, const char *name);
int ReadCountryCode();
// The NT family from Windows 2000 on; IsWindows9x (common/) tells the 9x family.
bool IsNt5OrLater();
void LoadUninstallConfig(UninstallConfig *cfg);
// Notes each non-empty hardware-ID entry too broad to act on, by its INI key.
void NoteBroadEntries(const UninstallConfig &cfg);
// Whether the user is an administrator (NT family): membership of the
// Administrators group in the process token (CheckTokenMembership, looked up at
// run time: Windows 2000 and later; NT 4.0 lacks it and is taken as one). Tests
// put another in its place: Wine's user is always an administrator.
typedef bool (*AdminQueryFn)();
extern AdminQueryFn AdminQuery;
// The membership call itself (CheckTokenMembership), for tests; a call that fails
// leaves the answer unknown, and an unknown answer is no administrator.
typedef BOOL(WINAPI *MembershipCheckFn)(HANDLE token, PSID sid, PBOOL member);
extern MembershipCheckFn MembershipCheckCall;

// ---- devices -------------------------------------------------------------------
// The device installer's device list: SetupDiGetClassDevsA for all classes, with
// DIGCF_PRESENT or without it (then non-present devices too); an HDEVINFO is a
// PVOID. Wine ignores
// DIGCF_PRESENT; tests put a list that keeps it in its place.
typedef PVOID(WINAPI *DeviceListFn)(const GUID *cls, PCSTR enumerator, HWND parent, DWORD flags);
extern DeviceListFn DeviceListCall;
// The count gate's count; `foreign` (when given) receives the driver keys of the
// present devices that are not the package's.
int CountMatchingDevices(UninstallConfig &cfg, ForeignDrivers *foreign = NULL);
// Removes every device of the package, present or not (the gate has passed); a
// device an entry matches that shows no sign of the package is named instead.
int RemoveMatchingDevices(const UninstallConfig &cfg, Remains *remains);
int CollectEnumKeys(UninstallConfig &cfg, EnumKeyLists *keys, ForeignDrivers *foreign = NULL);
// For each of `names`, the hardware ID of a listed device (present or not) that
// has it as its service or one of its filters, or an empty text.
void FindServiceUsers(const char (*names)[NAME_TEXT], int count, char (*users)[ENTRY_TEXT]);

// ---- registry ------------------------------------------------------------------
// A string value of `subkey` below `parent`; empty (and false) when unreadable.
bool ReadSubkeyText(HKEY parent, const char *subkey, const char *value, char *out, DWORD size);
// The one walk of a device-class key: `action` sees each subkey's name and
// "DriverDesc" and says whether it deleted the subkey (the next one then takes
// the same index). Names are read into `nameSize` bytes (at most 256).
typedef bool (*ClassSubkeyAction)(HKEY classKey, const char *name, const char *desc, void *context);
void ForEachClassSubkey(const char *classPath, REGSAM access, DWORD nameSize, ClassSubkeyAction action,
                        void *context, Remains *remains = NULL);
// The device-class key the INI's media class names (imaging or media, NT family).
const char *SelectClassKey(const UninstallConfig &cfg);
// The registry views that may hold the package's Uninstall entry: its setup may
// have been a 32-bit program, whose entry lies in the 32-bit view on 64-bit
// Windows. The 32-bit build sees only that view anyway (and runs only where
// there is no other), so it looks once, without a view flag.
extern const REGSAM UninstallEntryViews[];
extern const int UninstallEntryViewCount;
// A key that exists but cannot be opened (no rights to it) is named in `remains`.
int CleanRegistryNt(const UninstallConfig &cfg, Remains *remains, const ForeignDrivers *foreign = NULL);
int CleanRegistry9x(const UninstallConfig &cfg, const EnumKeyLists &keys, Remains *remains,
                    const ForeignDrivers *foreign = NULL);
// Opens a key below HKLM; when it exists but cannot be opened, `remains` names it.
bool OpenMachineKey(const char *path, REGSAM access, HKEY *key, Remains *remains);
// Deletes `name` below `parent` (at `parentPath`) with everything below it. Only a
// plain name reaches the call: an empty one would delete the parent itself. True
// when the key is gone; one that stays is named in `remains`.
bool DeleteKeyTree(HKEY parent, const char *parentPath, const char *name, Remains *remains);

// ---- files ---------------------------------------------------------------------
struct InfPathList {
    int count;
    char paths[KEY_LIST_CAPACITY][256];
};
// The "InfPath" values of the class subkeys the entries' descriptions cover; only
// oem<N>.inf names are taken, and what is not taken is noted as left alone.
void CollectInfPaths(const UninstallConfig &cfg, InfPathList *list, const ForeignDrivers *foreign = NULL);
// The files in use that were scheduled for deletion at the next start of Windows.
extern Remains AtRestart;
// Deletes a file; one in use is scheduled for deletion at the next start
// (MoveFileExA with MOVEFILE_DELAY_UNTIL_REBOOT on the NT family, WININIT.INI on
// Windows 9x) and listed in AtRestart; one that cannot even be scheduled is noted.
void DeleteListedFile(const char *path, const ProgressView &view, Remains *remains);
// The system's removal of an OEM INF together with its driver-store package
// (setupapi's SetupUninstallOEMInfA, Windows XP and later); NULL where it is missing.
typedef BOOL(WINAPI *UninstallOemInfFn)(PCSTR infFileName, DWORD flags, PVOID reserved);
UninstallOemInfFn FindUninstallOemInf();
// With `uninstallInf` set the INF files are left to UninstallOemInfs, which runs
// once the devices are gone; without it they are deleted here with their ".pnf".
void DeleteDriverFilesNt(const UninstallConfig &cfg, const InfPathList &list, UninstallOemInfFn uninstallInf,
                         const ProgressView &view, Remains *remains);
// Each INF through the call; an INF or ".pnf" still there afterwards is noted.
void UninstallOemInfs(const InfPathList &list, UninstallOemInfFn uninstallInf, const ProgressView &view,
                      Remains *remains);
void DeleteDriverFiles9x(const UninstallConfig &cfg, const ProgressView &view, Remains *remains);

// ---- the run -------------------------------------------------------------------
// False when there is no main entry, or the present devices do not match the
// main entries: nothing is done (LeftAlone then names any entry too broad to act
// on). `found` (when given) receives the count of the gate.
bool SweepNt(UninstallConfig &cfg, const ProgressView &view, Remains *remains, int *found = NULL);
// False when there is no main entry: nothing is done.
bool Sweep9x(UninstallConfig &cfg, const ProgressView &view, Remains *remains);
// The remote-control window is sent WM_CLOSE and given this long to answer.
enum { REMOTE_CLOSE_MS = 3000 };
// On 64-bit Windows the 32-bit program would see only the 32-bit views of the
// system directory and the registry: it then changes nothing. The query is
// kernel32's IsWow64Process, looked up at run time (Windows 98 and 2000 lack it);
// tests put another in its place.
typedef BOOL(WINAPI *Wow64QueryFn)(HANDLE process, PBOOL wow64);
extern Wow64QueryFn Wow64Query;
bool RunsUnderWow64();

// ---- progress ------------------------------------------------------------------
enum { STEP_PAUSE_MS = 20 };
// One step of the bar followed by the pause; the pause keeps answering messages
// sent to the dialog (its texts can be read) and keeps it painted.
void Step(const ProgressView &view);
void PauseResponsive(DWORD ms);
// Steps taken since the program started, for the benchmark.
int StepsTaken();
