// The notification-area icon, in the shell's first record layout.
#include "shell/shell.h"

#include "shell/shell_internal.h"

#include <shellapi.h>
#include <stddef.h>
#include <string.h>

#include "common/copy_text.h"

// The record is the leading part of NOTIFYICONDATAA, which every shell accepts.
static_assert(sizeof(TrayIconData) == NOTIFYICONDATAA_V1_SIZE, "first notification-icon layout");
static_assert(offsetof(TrayIconData, szTip) == offsetof(NOTIFYICONDATAA, szTip), "tip offset");
#ifndef _WIN64
static_assert(sizeof(TrayIconData) == 88, "88-byte record in the 32-bit build");
#endif

static TrayIconData TrayIcon;

const TrayIconData &trayIconRecord()
{
    return TrayIcon;
}

static bool notify(DWORD message, TrayIconData *data)
{
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA *>(data)) != FALSE;
}

bool addTrayIcon(HWND window, UINT id, HICON icon, const char *tip)
{
    TrayIcon.cbSize = sizeof TrayIcon;
    TrayIcon.hWnd = window;
    TrayIcon.uID = id;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    TrayIcon.hIcon = icon;
    CopyText(TrayIcon.szTip, sizeof TrayIcon.szTip, tip != NULL ? tip : "");
    return notify(NIM_ADD, &TrayIcon);
}

bool refreshTrayIcon()
{
    return notify(NIM_MODIFY, &TrayIcon);
}

bool removeTrayIcon(HWND window, UINT id)
{
    TrayIconData gone;
    memset(&gone, 0, sizeof gone);
    gone.cbSize = sizeof gone;
    gone.hWnd = window;
    gone.uID = id;
    return notify(NIM_DELETE, &gone);
}
