// File cleanup: INF files with their ".pnf" companions, driver files, extra files
// and the package's own uninstaller, each shown on the file line as it goes.
#include "drvsweep.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

// The Windows directory with a suffix, fetched anew for each group. False when it
// does not fit its 100-byte text: the group is then skipped.
static bool windowsSubdir(const char *suffix, char dir[DIR_TEXT])
{
    char windows[DIR_TEXT];
    UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    if (n == 0 || n >= sizeof windows) {
        dir[0] = '\0';
        return false;
    }
    return FormDirectory(windows, suffix, dir);
}

static void show(const ProgressView &view, const char *text)
{
    if (view.fileLine)
        SetWindowTextA(view.fileLine, text);
}

static bool isFile(const char *path)
{
    DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

Remains AtRestart;

typedef BOOL(WINAPI *MoveFileExFn)(LPCSTR from, LPCSTR to, DWORD flags);

// The whole of a small text file, or false. WININIT.INI is a few lines.
static bool readSmallFile(const char *path, char *out, DWORD size)
{
    out[0] = '\0';
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    DWORD got = 0;
    BOOL read = ReadFile(h, out, size - 1, &got, NULL);
    // One more byte would mean the file does not fit.
    char extra;
    DWORD more = 0;
    bool whole = read && (got < size - 1 || (ReadFile(h, &extra, 1, &more, NULL) && more == 0));
    CloseHandle(h);
    out[whole ? got : 0] = '\0';
    return whole;
}

static bool writeWholeFile(const char *path, const char *text)
{
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD len = (DWORD)strlen(text), written = 0;
    BOOL ok = WriteFile(h, text, len, &written, NULL) && written == len;
    return CloseHandle(h) && ok;
}

// Windows 9x: "NUL=path" in the [rename] section of WININIT.INI, which Windows
// carries out at its next start (and then keeps the file as WININIT.BAK).
static bool scheduleIn9x(const char *path)
{
    char dir[DIR_TEXT], wininit[PATH_TEXT];
    if (!windowsSubdir("\\", dir) || !FormFilePath(dir, "wininit.ini", wininit))
        return false;
    // WININIT.INI is carried out before long file names exist: the short name.
    char shortPath[PATH_TEXT];
    DWORD n = GetShortPathNameA(path, shortPath, sizeof shortPath);
    if (n == 0 || n >= sizeof shortPath)
        CopyText(shortPath, sizeof shortPath, path);
    static char before[8192], after[8192 + PATH_TEXT];
    return readSmallFile(wininit, before, sizeof before) &&
           AddWininitDeletion(before, shortPath, after, sizeof after) && writeWholeFile(wininit, after);
}

// A file in use is deleted at the next start of Windows, as installers do it.
static bool scheduleAtRestart(const char *path)
{
    if (IsWindows9x())
        return scheduleIn9x(path);
    // The NT family: the Session Manager carries out the pending operation at
    // start, before anything can hold the file (kernel32's MoveFileExA, which
    // Windows 98 exports only as a stub: looked up at run time).
    MoveFileExFn moveFileEx = (MoveFileExFn)FindSystemFunction("kernel32.dll", "MoveFileExA");
    return moveFileEx && moveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// In use means a program holds the file open without letting it be deleted (a
// sharing violation, also when it is opened for deletion alone), or runs from it:
// a mapped program, library or driver may be opened for deletion, yet the delete
// is refused. Denied for any other reason (its access list: every inbox file
// belongs to TrustedInstaller from Vista on; or its read-only attribute), it is
// not in use, and scheduling it would only have Windows delete it at start.
static bool inUse(const char *path, DWORD err)
{
    if (err == ERROR_SHARING_VIOLATION || err == ERROR_LOCK_VIOLATION)
        return true;
    DWORD attributes = GetFileAttributesA(path);
    if (err != ERROR_ACCESS_DENIED ||
        (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)))
        return false;
    // Windows 9x knows neither DELETE access nor FILE_SHARE_DELETE: writing is
    // what a holder there denies.
    bool nine = IsWindows9x();
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | (nine ? 0 : FILE_SHARE_DELETE);
    HANDLE h = CreateFileA(path, nine ? GENERIC_WRITE : DELETE, share, NULL, OPEN_EXISTING, 0, NULL);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return true;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

// Deletes a file; one in use is scheduled for the next start, and one that stays
// even so is noted. A folder is left alone, and so is a file of Windows itself or
// one a service that stays has as its image.
static void removeFile(const char *path, bool resetAttributes, Remains *remains)
{
    if (!isFile(path))
        return;
    const char *windows = WindowsFileReason(path);
    if (windows) {
        NoteLeftAlone(path, windows);
        return;
    }
    const char *service = ServiceKeepingImage(path);
    if (service) {
        char why[REMAINS_TEXT];
        CopyText(why, sizeof why, "the image of the service ");
        AppendText(why, sizeof why, service);
        AppendText(why, sizeof why, ", which stays");
        NoteLeftAlone(path, why);
        return;
    }
    if (resetAttributes)
        SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE); // clears read-only, hidden, system
    if (DeleteFileA(path) || !isFile(path)) {
        NoteChange();
        return;
    }
    DWORD err = GetLastError();
    if (inUse(path, err)) {
        if (scheduleAtRestart(path)) {
            NoteRemaining(&AtRestart, path);
            return;
        }
    } else if (err == ERROR_ACCESS_DENIED) {
        char what[REMAINS_TEXT];
        CopyText(what, sizeof what, path);
        AppendText(what, sizeof what, " not removed (access denied)");
        NoteRemaining(remains, what);
        return;
    }
    NoteRemaining(remains, path);
}

void DeleteListedFile(const char *path, const ProgressView &view, Remains *remains)
{
    char p[PATH_TEXT];
    CopyText(p, sizeof p, path);
    LowerText(p);
    show(view, p);
    removeFile(p, true, remains);
}

// Deletes `name` in `dir` when it is a plain name.
static void deleteNamed(const char *dir, const char *name, const ProgressView &view, Remains *remains)
{
    char path[PATH_TEXT];
    if (FormFilePath(dir, name, path))
        DeleteListedFile(path, view, remains);
}

struct InfPathScan {
    const UninstallConfig *cfg;
    InfPathList *list;
    const char *classPath;
    const ForeignDrivers *foreign;
};

// Takes the "InfPath" of a subkey whose description an entry's covers, once per
// covering entry. An inbox INF (no oem<N>.inf name) is never taken, and neither
// is one beyond the list's room: both are named as left alone.
static bool noteInfPath(HKEY classKey, const char *name, const char *desc, void *context)
{
    InfPathScan *scan = (InfPathScan *)context;
    const UninstallConfig &cfg = *scan->cfg;
    InfPathList *list = scan->list;
    const DriverEntry *lists[2] = {cfg.devices, cfg.extDevices};
    int counts[2] = {cfg.deviceCount, cfg.extDeviceCount};
    for (int l = 0; l < 2; l++) {
        for (int i = 0; i < counts[l]; i++) {
            if (!EntryTakesPart(lists[l][i]) || !DescriptionCovers(desc, lists[l][i].driverDesc))
                continue;
            char infPath[256];
            if (!ReadSubkeyText(classKey, name, "InfPath", infPath, sizeof infPath))
                continue;
            char what[REMAINS_TEXT];
            CopyText(what, sizeof what, "InfPath ");
            AppendText(what, sizeof what, infPath);
            AppendText(what, sizeof what, " of class subkey ");
            AppendText(what, sizeof what, name);
            // The INF of a present device of another package stays, whatever the
            // description says: uninstalling it would take that device's driver.
            const ForeignDriver *f = ForeignDriverOf(scan->foreign, scan->classPath, name, infPath);
            if (f || (scan->foreign && scan->foreign->overflow)) {
                char why[REMAINS_TEXT];
                CopyText(why, sizeof why, "used by the present device ");
                AppendText(why, sizeof why, f ? f->hardwareId : "of another package");
                NoteLeftAlone(what, why);
            } else if (!IsOemInfName(infPath))
                NoteLeftAlone(what, "not an oem<N>.inf");
            else if (list->count >= KEY_LIST_CAPACITY)
                NoteLeftAlone(what, "no room in the list");
            else
                CopyText(list->paths[list->count++], sizeof list->paths[0], infPath);
        }
    }
    return false;
}

void CollectInfPaths(const UninstallConfig &cfg, InfPathList *list, const ForeignDrivers *foreign)
{
    const char *classPath = SelectClassKey(cfg);
    InfPathScan scan = {&cfg, list, classPath, foreign};
    ForEachClassSubkey(classPath, KEY_READ, 250, noteInfPath, &scan);
}

UninstallOemInfFn FindUninstallOemInf()
{
    // setupapi is loaded already: the device scans import from it.
    return (UninstallOemInfFn)FindSystemFunction("setupapi.dll", "SetupUninstallOEMInfA");
}

void UninstallOemInfs(const InfPathList &list, UninstallOemInfFn uninstallInf, const ProgressView &view,
                      Remains *remains)
{
    char dir[DIR_TEXT];
    if (!windowsSubdir("\\inf\\", dir))
        return;
    for (int i = 0; i < list.count; i++) {
        char inf[PATH_TEXT], pnf[PATH_TEXT];
        if (!FormFilePath(dir, list.paths[i], inf) || !PnfPathFromInfPath(dir, list.paths[i], pnf))
            continue;
        LowerText(inf);
        LowerText(pnf);
        show(view, inf);
        // No forced removal: the system refuses a package that a device still
        // uses, and the final message then says what stayed.
        BOOL done = uninstallInf(list.paths[i], 0, NULL);
        DWORD err = GetLastError();
        if (!done && isFile(inf)) {
            char text[REMAINS_TEXT], why[80];
            snprintf(why, sizeof why, " (Windows keeps it with its driver package: error %lu)", err);
            CopyText(text, sizeof text, inf);
            AppendText(text, sizeof text, why);
            NoteRemaining(remains, text);
            continue;
        }
        if (isFile(inf))
            NoteRemaining(remains, inf);
        else
            NoteChange();
        if (isFile(pnf))
            NoteRemaining(remains, pnf);
    }
}

// The system folders the package's files may lie in. On 64-bit Windows a 32-bit
// setup program's copies went to SysWOW64 (the file system redirects its
// "system32"); the 64-bit program sees both folders as they are.
#ifdef _WIN64
static const char *const DriverDirs[] = {"\\system32\\drivers\\", "\\syswow64\\drivers\\"};
static const char *const SystemDirsNt[] = {"\\system32\\", "\\syswow64\\"};
#else
static const char *const DriverDirs[] = {"\\system32\\drivers\\"};
static const char *const SystemDirsNt[] = {"\\system32\\"};
#endif
enum { SYSTEM_DIR_COUNT = sizeof DriverDirs / sizeof DriverDirs[0] };

// `name` in each of the folders.
static void deleteNamedIn(const char *const *suffixes, int count, const char *name, const ProgressView &view,
                          Remains *remains)
{
    for (int d = 0; d < count; d++) {
        char dir[DIR_TEXT];
        if (windowsSubdir(suffixes[d], dir))
            deleteNamed(dir, name, view, remains);
    }
}

// Driver files of the main and then the extra entries, one step each. A too-broad
// entry's file is no more the package's than its devices are.
static void deleteSysFiles(const UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (!windowsSubdir(DriverDirs[0], dir))
        return;
    const DriverEntry *lists[2] = {cfg.devices, cfg.extDevices};
    int counts[2] = {cfg.deviceCount, cfg.extDeviceCount};
    for (int l = 0; l < 2; l++) {
        for (int i = 0; i < counts[l]; i++) {
            if (EntryTakesPart(lists[l][i]))
                deleteNamedIn(DriverDirs, SYSTEM_DIR_COUNT, lists[l][i].sysFile, view, remains);
            Step(view);
        }
    }
}

static void deleteExtraFiles(const UninstallConfig &cfg, const char *const *suffixes, int dirCount, bool step,
                             const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (!windowsSubdir(suffixes[0], dir))
        return;
    for (int i = 0; i < cfg.extCopyFileCount; i++) {
        deleteNamedIn(suffixes, dirCount, cfg.extCopyFiles[i], view, remains);
        if (step)
            Step(view);
    }
}

// The uninstaller keeps its attributes; the bar moves once, without a pause.
static void deleteUninstaller(const UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT], path[PATH_TEXT];
    if (!windowsSubdir("\\", dir) || !FormFilePath(dir, cfg.uninstallerFile, path))
        return;
    LowerText(path);
    show(view, path);
    removeFile(path, false, remains);
    if (view.bar)
        SendMessageA(view.bar, PBM_STEPIT, 0, 0);
}

void DeleteDriverFilesNt(const UninstallConfig &cfg, const InfPathList &list, UninstallOemInfFn uninstallInf,
                         const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (windowsSubdir("\\inf\\", dir)) {
        for (int i = 0; i < list.count; i++) {
            char inf[PATH_TEXT], pnf[PATH_TEXT];
            // Where the system offers to uninstall the package, the INF goes that
            // way, later: a hand-deleted INF would leave its driver-store copy.
            if (!uninstallInf && FormFilePath(dir, list.paths[i], inf) &&
                PnfPathFromInfPath(dir, list.paths[i], pnf)) {
                LowerText(inf);
                LowerText(pnf);
                show(view, pnf);
                show(view, inf);
                removeFile(inf, true, remains);
                removeFile(pnf, true, remains);
            }
            Step(view);
        }
    }
    deleteSysFiles(cfg, view, remains);
    deleteExtraFiles(cfg, SystemDirsNt, SYSTEM_DIR_COUNT, false, view, remains);
    deleteUninstaller(cfg, view, remains);
}

// An INF file named by an entry, and its ".pnf" companion when asked.
static void deleteInf(const char *dir, const char *infFile, bool withPnf, const ProgressView &view,
                      Remains *remains)
{
    char path[PATH_TEXT];
    if (!FormFilePath(dir, infFile, path))
        return;
    DeleteListedFile(path, view, remains);
    if (withPnf) {
        ReplaceInfWithPnf(path);
        DeleteListedFile(path, view, remains);
    }
}

void DeleteDriverFiles9x(const UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (windowsSubdir("\\inf\\", dir)) {
        const DriverEntry *lists[3] = {cfg.devices, cfg.extDevices, cfg.possibleDevices};
        int counts[3] = {cfg.deviceCount, cfg.extDeviceCount, cfg.possibleDeviceCount};
        for (int l = 0; l < 3; l++) {
            for (int i = 0; i < counts[l]; i++) {
                if (EntryTakesPart(lists[l][i]))
                    deleteInf(dir, lists[l][i].infFile, l < 2, view, remains);
                Step(view);
            }
        }
    }
    static const char *const SystemDir9x[] = {"\\system\\"};
    deleteSysFiles(cfg, view, remains);
    deleteExtraFiles(cfg, SystemDir9x, 1, true, view, remains);
    deleteUninstaller(cfg, view, remains);
}
