// What the shell's own files share beyond shell.h, and its tests look at: the
// tray icon record and whether the main window found the capture filter.
#pragma once
#include <windows.h>

// The shell's first notification-icon layout (88 bytes in the 32-bit build):
// the fields every version of the shell understands, and nothing more.
struct TrayIconData {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
};
// The record addTrayIcon filled, which refreshTrayIcon re-sends.
const TrayIconData &trayIconRecord();

// False once the main window's creation found no capture filter: then no timer
// runs and a tray click reports the missing filter.
bool captureFilterFound();
