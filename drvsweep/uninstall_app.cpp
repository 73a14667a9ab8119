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
static const char AdminRefusal[] =
    "Removing the drivers needs administrator rights, and this account has none: their files and "
    "registry keys could not be changed. Nothing was changed.\n\nPlease log on as an administrator "
    "and run drvsweep again.";

const char *StartRefusal(bool underWow64, bool windows9x, bool administrator)
{
    if (underWow64)
        return Wow64Refusal;
    // Windows 9x has no accounts with rights of their own.
    if (!windows9x && !administrator)
        return AdminRefusal;
    return NULL;
}

typedef BOOL(WINAPI *AllocateSidFn)(PSID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD a0, DWORD a1,
                                    DWORD a2, DWORD a3, DWORD a4, DWORD a5, DWORD a6, DWORD a7, PSID *sid);
typedef PVOID(WINAPI *FreeSidFn)(PSID sid);

// CheckTokenMembership, looked up at run time. Where it is missing (NT 4.0) the
// account is taken as an administrator: a key it then cannot open is still named
// in the final message.
static BOOL WINAPI checkMembership(HANDLE token, PSID sid, PBOOL member)
{
    MembershipCheckFn check = (MembershipCheckFn)FindSystemFunction("advapi32.dll", "CheckTokenMembership");
    if (!check) {
        *member = TRUE;
        return TRUE;
    }
    return check(token, sid, member);
}

MembershipCheckFn MembershipCheckCall = checkMembership;

// Membership of BUILTIN\Administrators (S-1-5-32-544) in the token of this thread
// or process, as Microsoft documents for CheckTokenMembership. A call that fails
// says nothing about the account, and nothing is no administrator.
static bool isAdministrator()
{
    AllocateSidFn allocate = (AllocateSidFn)FindSystemFunction("advapi32.dll", "AllocateAndInitializeSid");
    FreeSidFn freeSid = (FreeSidFn)FindSystemFunction("advapi32.dll", "FreeSid");
    if (!allocate || !freeSid)
        return false;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = NULL;
    if (!allocate(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
        return false;
    BOOL member = FALSE;
    bool known = MembershipCheckCall(NULL, admins, &member) != FALSE;
    freeSid(admins);
    return known && member;
}

AdminQueryFn AdminQuery = isAdministrator;

BOOL UninstallApp::InitInstance()
{
    InitCommonControls();
    LoadUninstallConfig(&config);
    bool windows9x = IsWindows9x();
    const char *refusal = StartRefusal(RunsUnderWow64(), windows9x, windows9x || AdminQuery());
    if (refusal) {
        MessageBoxA(NULL, refusal, config.title, MB_ICONWARNING | MB_OK);
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
