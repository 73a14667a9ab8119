// The Windows family test, from the system's version record.
#include "common/windows_family.h"

#include <string.h>

OSVERSIONINFOA WindowsVersion()
{
    OSVERSIONINFOA v;
    memset(&v, 0, sizeof v);
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
    return v;
}

bool IsWindows9x()
{
    return WindowsVersion().dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}
