// The application record: its install path from the registry, the search for its
// window, and its launch and raise.
#include "apps/apps.h"

#include <stdio.h>
#include <string.h>

#include "apps/window_search.h"
#include "common/copy_text.h"
#include "common/read_registry_text.h"

TvAppTarget::TvAppTarget(const char *key, const char *valueName, const char *exe, const char *cls,
                         const char *title)
{
    readInstallPath(key, valueName, exe);
    if (cls != NULL)
        CopyText(windowClass, sizeof windowClass, cls);
    if (title != NULL)
        CopyText(windowTitle, sizeof windowTitle, title);
}

LONG openApplicationKey(const char *path, REGSAM access, HKEY *key)
{
#ifdef _WIN64
    // The 32-bit build is given that view by WOW64; Windows 9x and NT 4.0 have no views.
    access |= KEY_WOW64_32KEY;
#endif
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, access, key);
}

int TvAppTarget::readInstallPath(const char *key, const char *valueName, const char *exe)
{
    installed = 0;
    HKEY h;
    if (openApplicationKey(key, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) {
        installPath[0] = '\0';
        return 0;
    }
    // Whatever its type, the path is taken whole or not at all.
    bool read = ReadRegistryText(h, valueName, installPath, sizeof installPath, REG_TEXT_ANY_TYPE);
    RegCloseKey(h);
    if (!read)
        return 0;
    CopyText(exeName, sizeof exeName, exe);
    installed = 1;
    setTargetActive(*this, false);
    return 1;
}

void setTargetActive(TvAppTarget &record, bool active)
{
    record.active = active ? 1 : 0;
}

HWND TvAppTarget::findByTitle()
{
    return findWindowByTitlePrefix(windowTitle);
}

static HWND findMainWindow(TvAppTarget *t)
{
    if (t->windowClass[0] != '\0')
        return FindWindowA(t->windowClass, NULL);
    return t->findByTitle();
}

// True while a failed launch is reported. The poll goes on inside the box's
// message loop: without this, every further press would stack another box.
static bool launchFailureShowing = false;

bool launchMayBeTried(int installed, bool failureBoxShowing)
{
    return installed != 0 && !failureBoxShowing;
}

bool launchSucceeded(UINT winExecResult)
{
    // Above 31 is success; 0 to 31 (out of memory, file or path not found, ..., 31
    // itself) are failures.
    return winExecResult > 31;
}

HWND TvAppTarget::findOrLaunch()
{
    HWND w = findMainWindow(this);
    if (w != NULL)
        return w;
    if (!launchMayBeTried(installed, launchFailureShowing))
        return NULL;
    // Quoted: unquoted, a directory with blanks ("C:\Program Files\...") would let
    // the system try "C:\Program.exe" first.
    char commandLine[256];
    snprintf(commandLine, sizeof commandLine, "\"%s\\%s\"", installPath, exeName);
    if (launchSucceeded(WinExec(commandLine, SW_SHOW))) {
        setTargetActive(*this, true);
    } else {
        launchFailureShowing = true;
        MessageBoxA(NULL, "Can't run launch TV application what you want.", TK_CAPTION, MB_OK);
        launchFailureShowing = false;
    }
    return findMainWindow(this);
}

HWND TvAppTarget::bringToFront()
{
    if (installed != 1)
        return NULL;
    // Also before a launch: a new window takes the foreground by itself.
    settleClosingWindow();
    HWND w = findByTitle();
    if (w == NULL)
        w = findOrLaunch();
    if (w == NULL)
        return NULL;
    raiseWindow(w);
    return w;
}
