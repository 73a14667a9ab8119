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
// Between addTrayIcon and removeTrayIcon: the icon is to be shown, and is put back
// when the shell loses it.
static bool TrayIconWanted = false;

// A shell that is not up yet (at log-on) refuses the icon: it is tried again every
// two seconds for two minutes, then the program stops trying.
enum { TRAY_RETRY_TIMER = 3 };
static const UINT TrayRetryInterval = 2000;
static const int TrayRetryLimit = 60;
static int TrayRetriesLeft = 0;

// Registered by Explorer: broadcast to every top-level window when the taskbar is
// created again, as after Explorer restarts; icons must then be added anew.
static UINT TaskbarCreatedMessage = 0;

const TrayIconData &trayIconRecord()
{
    return TrayIcon;
}

static bool notify(DWORD message, TrayIconData *data)
{
    return Shell_NotifyIconA(message, reinterpret_cast<NOTIFYICONDATAA *>(data)) != FALSE;
}

// The icon there, whether added now or still there from before (NIM_ADD fails then).
static bool showTrayIcon()
{
    return notify(NIM_ADD, &TrayIcon) || notify(NIM_MODIFY, &TrayIcon);
}

static void CALLBACK retryTrayIcon(HWND window, UINT, UINT_PTR id, DWORD)
{
    bool shown = TrayIconWanted && showTrayIcon();
    if (!TrayIconWanted || shown || --TrayRetriesLeft <= 0)
        KillTimer(window, id);
    // A start at log-on may come before the shell: the first start's balloon waits
    // for the icon.
    if (shown)
        greetFirstStart();
}

static void keepTrayIcon()
{
    if (showTrayIcon()) {
        KillTimer(TrayIcon.hWnd, TRAY_RETRY_TIMER);
        return;
    }
    TrayRetriesLeft = TrayRetryLimit;
    SetTimer(TrayIcon.hWnd, TRAY_RETRY_TIMER, TrayRetryInterval, retryTrayIcon);
}

// From Windows Vista on, an instance started elevated is not sent Explorer's
// broadcast unless it lets the message in; older systems lack the calls.
static void admitTaskbarCreated(HWND window)
{
    typedef BOOL(WINAPI * FilterForWindow)(HWND, UINT, DWORD, void *);
    typedef BOOL(WINAPI * FilterForProcess)(UINT, DWORD);
    const DWORD Allow = 1; // MSGFLT_ALLOW, and MSGFLT_ADD of the older call
    HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == NULL)
        return;
    // Through a pointer of no type: the real one is known here.
    FilterForWindow forWindow =
        (FilterForWindow)(void *)GetProcAddress(user32, "ChangeWindowMessageFilterEx");
    FilterForProcess forProcess =
        (FilterForProcess)(void *)GetProcAddress(user32, "ChangeWindowMessageFilter");
    if (forWindow != NULL)
        forWindow(window, TaskbarCreatedMessage, Allow, NULL);
    else if (forProcess != NULL)
        forProcess(TaskbarCreatedMessage, Allow);
}

bool addTrayIcon(HWND window, UINT id, HICON icon, const char *tip)
{
    if (TaskbarCreatedMessage == 0)
        TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    admitTaskbarCreated(window);
    TrayIcon.cbSize = sizeof TrayIcon;
    TrayIcon.hWnd = window;
    TrayIcon.uID = id;
    TrayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayIcon.uCallbackMessage = TRAY_CALLBACK_MESSAGE;
    TrayIcon.hIcon = icon;
    CopyText(TrayIcon.szTip, sizeof TrayIcon.szTip, tip != NULL ? tip : "");
    TrayIconWanted = true;
    bool added = notify(NIM_ADD, &TrayIcon);
    if (!added)
        keepTrayIcon();
    return added;
}

bool onTaskbarCreated(UINT msg)
{
    if (msg == 0 || msg != TaskbarCreatedMessage)
        return false;
    if (TrayIconWanted)
        keepTrayIcon();
    return true;
}

bool refreshTrayIcon()
{
    return notify(NIM_MODIFY, &TrayIcon);
}

bool removeTrayIcon(HWND window, UINT id)
{
    if (window == TrayIcon.hWnd && id == TrayIcon.uID) {
        TrayIconWanted = false;
        KillTimer(window, TRAY_RETRY_TIMER);
    }
    TrayIconData gone;
    memset(&gone, 0, sizeof gone);
    gone.cbSize = sizeof gone;
    gone.hWnd = window;
    gone.uID = id;
    return notify(NIM_DELETE, &gone);
}
