// The notification area of the bench's virtual desktop: the shell's own calls and
// real mouse input, as a user's click would arrive.
#include "tray_bench.h"

#include <shellapi.h>
#include <string.h>

#include "qxtest.h"

bool trayIconPresent(HWND owner, UINT id)
{
    NOTIFYICONDATAA probe;
    memset(&probe, 0, sizeof probe);
    probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
    probe.hWnd = owner;
    probe.uID = id;
    return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

bool trayIconPoint(POINT *at)
{
    HWND bar = FindWindowA("Shell_TrayWnd", NULL);
    RECT r;
    if (bar == NULL || !GetWindowRect(bar, &r))
        return false;
    at->x = r.right - 11;
    at->y = (r.top + r.bottom) / 2;
    return true;
}

bool clickTrayIcon(bool right)
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

HWND waitForPopupMenu(DWORD ms)
{
    return qxt::waitForWindow("#32768", NULL, ms);
}

void menuKey(HWND menu, WPARAM vk)
{
    PostMessageA(menu, WM_KEYDOWN, vk, 0);
}
