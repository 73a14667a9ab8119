// File cleanup: INF files with their ".pnf" companions, driver files, extra files
// and the package's own uninstaller, each shown on the file line as it goes.
#include "drvsweep.h"

#include <commctrl.h>
#include <string.h>

InfPathList InfPaths;

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

// Notes the "InfPath" of a subkey whose description begins with an entry's.
static bool noteInfPath(HKEY classKey, const char *name, const char *desc, void *context)
{
    InfPathScan *scan = (InfPathScan *)context;
    const UninstallConfig &cfg = *scan->cfg;
    InfPathList *list = scan->list;
    const DriverEntry *lists[2] = {cfg.devices, cfg.extDevices};
    int counts[2] = {cfg.deviceCount, cfg.extDeviceCount};
    for (int l = 0; l < 2; l++) {
        for (int i = 0; i < counts[l]; i++) {
            if (!DescriptionBeginsWith(desc, lists[l][i].driverDesc) || list->count >= KEY_LIST_CAPACITY)
                continue;
            if (ReadSubkeyText(classKey, name, "InfPath", list->paths[list->count], 256))
                list->count++;
        }
    }
    return false;
}

void CollectInfPaths(const UninstallConfig &cfg, InfPathList *list)
{
    SelectClassKey(cfg);
    InfPathScan scan = {&cfg, list};
    ForEachClassSubkey(ClassKeyPath, KEY_READ, 250, noteInfPath, &scan);
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

void DeleteDriverFilesNt(const UninstallConfig &cfg, const InfPathList &list, const ProgressView &view,
                         Remains *remains)
{
    char dir[DIR_TEXT];
    if (windowsSubdir("\\inf\\", dir)) {
        for (int i = 0; i < list.count; i++) {
            char inf[PATH_TEXT], pnf[PATH_TEXT];
            if (FormFilePath(dir, list.paths[i], inf) && PnfPathFromInfPath(dir, list.paths[i], pnf)) {
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
