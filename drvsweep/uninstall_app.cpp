// Start-up: configuration, the installed-package test, then the dialog or the
// not-installed warning.
#include "uninstaller.h"

#include <commctrl.h>

UninstallApp theApp;

static const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

static bool entryInView(const UninstallConfig &cfg, REGSAM view)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD index = 0; !found; index++) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        char displayName[256];
        if (ReadSubkeyText(key, name, "DisplayName", displayName, sizeof displayName))
            found = EqualsNoCase(displayName, cfg.displayName);
    }
    RegCloseKey(key);
    return found;
}

bool IsPackageInstalled(const UninstallConfig &cfg)
{
    for (int v = 0; v < UninstallEntryViewCount; v++)
        if (entryInView(cfg, UninstallEntryViews[v]))
            return true;
    return false;
}

static const char Wow64Refusal[] =
    "This is the 32-bit drvsweep, and this Windows is 64-bit: it would not see the 64-bit driver's files "
    "and registry keys. Nothing was changed.\n\nPlease run the 64-bit drvsweep (drvsweep.exe in the "
    "release's x64 folder).";

BOOL UninstallApp::InitInstance()
{
    InitCommonControls();
    LoadUninstallConfig(&config);
    if (RunsUnderWow64()) {
        MessageBoxA(NULL, Wow64Refusal, config.title, MB_ICONWARNING | MB_OK);
        return FALSE;
    }
    if (!IsPackageInstalled(config)) {
        MessageBoxA(NULL, config.notInstalledMsg, config.title, MB_ICONWARNING | MB_OK);
        return FALSE;
    }
    UninstallDialog dialog(config);
    dialog.DoModal(NULL);
    mainWindow = NULL;
    return FALSE;
}
