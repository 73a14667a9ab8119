// Switching the computer off: directly on Windows 9x, with the shut-down privilege
// on the NT family.
#include "keys/keys.h"

#include "apps/apps.h"
#include "common/windows_family.h"

BOOL(WINAPI *exitWindowsCall)(UINT flags, DWORD reason) = ExitWindowsEx;

// The NT family switches off only for a process that has enabled the privilege.
static bool enableShutdownPrivilege()
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges;
    ZeroMemory(&privileges, sizeof privileges);
    LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Success with ERROR_NOT_ALL_ASSIGNED means the privilege is not held.
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, 0, NULL, NULL);
    DWORD error = GetLastError();
    CloseHandle(token);
    return error == 0;
}

UINT ntPowerOffFlags(DWORD majorVersion)
{
    // EWX_FORCE ends every application without letting it save. From Windows 2000
    // on, EWX_FORCEIFHUNG ends only those that do not answer; NT 4.0 has no such
    // flag and keeps EWX_FORCE.
    return EWX_POWEROFF | (majorVersion >= 5 ? EWX_FORCEIFHUNG : EWX_FORCE);
}

void ShutDownComputer()
{
    if (IsWindows9x()) {
        exitWindowsCall(EWX_SHUTDOWN, 0);
        return;
    }
    if (!enableShutdownPrivilege())
        return;
    if (!exitWindowsCall(ntPowerOffFlags(WindowsVersion().dwMajorVersion), 0))
        MessageBoxA(NULL, "Can't run ExitWindowsEx.", TK_CAPTION, MB_OK);
}
