// The notification area of the bench's virtual desktop, seen from a test: is an
// icon there, press it, find and answer the popup menu.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include "qxtest.h"

#include <string.h>

// An icon exists when the shell accepts a change of nothing for it.
inline bool trayIconPresent(HWND owner, UINT id)
{
    NOTIFYICONDATAA probe;
    memset(&probe, 0, sizeof probe);
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = owner;
    probe.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

// Where the newest icon lies: at the right end of the taskbar, vertically centred.
inline bool trayIconPoint(POINT *at)
{
    HWND bar = FindWindowA("Shell_TrayWnd", NULL);
    RECT r;
    if (bar == NULL || !GetWindowRect(bar, &r))
        return false;
    at->x = r.right - 11;
    at->y = (r.top + r.bottom) / 2;
    return true;
}

// A real press and release of the left or right button on the newest tray icon.
inline bool clickTrayIcon(bool right)
{
    POINT at;
    if (!trayIconPoint(&at))
        return false;
    SetCursorPos(at.x, at.y);
    qxt::pumpMessages(50);
    INPUT in[2];
    memset(in, 0, sizeof in);
    in[0].type = in[1].type = INPUT_MOUSE;
    in[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    return SendInput(2, in, sizeof(INPUT)) == 2;
}

// The visible popup menu window, waiting up to `ms`.
inline HWND waitForPopupMenu(DWORD ms = 5000)
{
    return qxt::waitForWindow("#32768", NULL, ms);
}

// Keys for an open popup menu: its tracking loop takes them from the owner's queue.
inline void menuKey(HWND menu, WPARAM vk)
{
    PostMessageA(menu, WM_KEYDOWN, vk, 0);
}
