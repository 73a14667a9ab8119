// Which family of Windows the program runs on: 95, 98 and ME, or the NT family.
#pragma once
#include <windows.h>

// The running system's version record; zeroed where the system does not answer.
OSVERSIONINFOA WindowsVersion();
// True on Windows 95, 98 and ME.
bool IsWindows9x();
