// Start-up: configuration, the installed-package test, then the dialog or the
// not-installed warning.
#include "uninstaller.h"

#include <commctrl.h>

UninstallApp theApp;

static const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool IsPackageInstalled(const UninstallConfig &cfg)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (DWORD index = 0; !found; index++) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, index, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        char displayName[256];
        if (ReadSubkeyText(key, name, "DisplayName", displayName, sizeof displayName))
            found = lstrcmpiA(displayName, cfg.displayName) == 0;
    }
    RegCloseKey(key);
    return found;
}

BOOL UninstallApp::InitInstance()
{
    InitCommonControls();
    LoadUninstallConfig(&config);
    if (!IsPackageInstalled(config)) {
        MessageBoxA(NULL, config.notInstalledMsg, config.title, MB_ICONWARNING | MB_OK);
        return FALSE;
    }
    UninstallDialog dialog(config);
    dialog.DoModal(NULL);
    mainWindow = NULL;
    return FALSE;
}
