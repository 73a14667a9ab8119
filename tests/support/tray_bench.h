// The notification area of the bench's virtual desktop, seen from a test: is an
// icon there, press it, find and answer the popup menu.
#pragma once
#include <windows.h>

// An icon exists when the shell accepts a change of nothing for it.
bool trayIconPresent(HWND owner, UINT id);
// Where the newest icon lies: at the right end of the taskbar, vertically centred.
bool trayIconPoint(POINT *at);
// A real press and release of the left or right button on the newest tray icon.
bool clickTrayIcon(bool right);
// The visible popup menu window, waiting up to `ms`.
HWND waitForPopupMenu(DWORD ms = 5000);
// Keys for an open popup menu: its tracking loop takes them from the owner's queue.
void menuKey(HWND menu, WPARAM vk);
