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

// Deletes a file; one that was there and stays is noted. A folder is left alone.
static void removeFile(const char *path, bool resetAttributes, Remains *remains)
{
    if (!isFile(path))
        return;
    if (resetAttributes)
        SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE); // clears read-only, hidden, system
    DeleteFileA(path);
    if (isFile(path))
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
            if (!DescriptionCovers(desc, lists[l][i].driverDesc))
                continue;
            char infPath[256];
            if (!ReadSubkeyText(classKey, name, "InfPath", infPath, sizeof infPath))
                continue;
            char what[REMAINS_TEXT];
            CopyText(what, sizeof what, "InfPath ");
            AppendText(what, sizeof what, infPath);
            AppendText(what, sizeof what, " of class subkey ");
            AppendText(what, sizeof what, name);
            if (!IsOemInfName(infPath))
                NoteLeftAlone(what, "not an oem<N>.inf");
            else if (list->count >= KEY_LIST_CAPACITY)
                NoteLeftAlone(what, "no room in the list");
            else
                CopyText(list->paths[list->count++], sizeof list->paths[0], infPath);
        }
    }
    return false;
}

void CollectInfPaths(const UninstallConfig &cfg, InfPathList *list)
{
    const char *classPath = SelectClassKey(cfg);
    InfPathScan scan = {&cfg, list};
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
        if (isFile(pnf))
            NoteRemaining(remains, pnf);
    }
}

// Driver files of the main and then the extra entries, one step each.
static void deleteSysFiles(const UninstallConfig &cfg, const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (!windowsSubdir("\\system32\\drivers\\", dir))
        return;
    for (int i = 0; i < cfg.deviceCount; i++) {
        deleteNamed(dir, cfg.devices[i].sysFile, view, remains);
        Step(view);
    }
    for (int i = 0; i < cfg.extDeviceCount; i++) {
        deleteNamed(dir, cfg.extDevices[i].sysFile, view, remains);
        Step(view);
    }
}

static void deleteExtraFiles(const UninstallConfig &cfg, const char *suffix, bool step,
                             const ProgressView &view, Remains *remains)
{
    char dir[DIR_TEXT];
    if (!windowsSubdir(suffix, dir))
        return;
    for (int i = 0; i < cfg.extCopyFileCount; i++) {
        deleteNamed(dir, cfg.extCopyFiles[i], view, remains);
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
    deleteExtraFiles(cfg, "\\system32\\", false, view, remains);
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
        for (int i = 0; i < cfg.deviceCount; i++) {
            deleteInf(dir, cfg.devices[i].infFile, true, view, remains);
            Step(view);
        }
        for (int i = 0; i < cfg.extDeviceCount; i++) {
            deleteInf(dir, cfg.extDevices[i].infFile, true, view, remains);
            Step(view);
        }
        for (int i = 0; i < cfg.possibleDeviceCount; i++) {
            deleteInf(dir, cfg.possibleDevices[i].infFile, false, view, remains);
            Step(view);
        }
    }
    deleteSysFiles(cfg, view, remains);
    deleteExtraFiles(cfg, "\\system\\", true, view, remains);
    deleteUninstaller(cfg, view, remains);
}
