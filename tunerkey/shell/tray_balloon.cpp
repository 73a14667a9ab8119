// The tray icon's balloon, and the one a user is shown at his first start: Windows
// 11 puts a new icon in the overflow, where nothing else tells him the program runs.
#include "shell/shell.h"

#include "apps/apps.h"
#include "shell/shell_internal.h"

#include <shellapi.h>
#include <shlwapi.h>
#include <string.h>

#include "common/copy_text.h"

static const char ReadyText[] =
    "The remote control is ready. Its icon is in the notification area by the clock; "
    "if you do not see it there, click the arrow beside it (Show hidden icons).";

DWORD balloonRecordSize(DWORD shellMajorVersion)
{
    // The balloon's fields came with shell32 5.0 (Windows 2000 and Me); a record of
    // that size is taken by every later shell too.
    return shellMajorVersion >= 5 ? NOTIFYICONDATAA_V2_SIZE : 0;
}

// shell32's major version; 4 when it says none (Windows 95 and NT 4.0 without the
// desktop update have no DllGetVersion).
static DWORD shellMajorVersion()
{
    HMODULE shell32 = GetModuleHandleA("shell32.dll");
    DLLGETVERSIONPROC get =
        shell32 ? (DLLGETVERSIONPROC)(void *)GetProcAddress(shell32, "DllGetVersion") : NULL;
    DLLVERSIONINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    return get != NULL && SUCCEEDED(get(&info)) ? info.dwMajorVersion : 4;
}

bool showTrayBalloon(const char *title, const char *text)
{
    const TrayIconData &icon = trayIconRecord();
    DWORD size = balloonRecordSize(shellMajorVersion());
    if (size == 0 || icon.hWnd == NULL)
        return false;
    NOTIFYICONDATAA data;
    memset(&data, 0, sizeof data);
    data.cbSize = size;
    data.hWnd = icon.hWnd;
    data.uID = icon.uID;
    data.uFlags = NIF_INFO;
    CopyText(data.szInfoTitle, sizeof data.szInfoTitle, title);
    CopyText(data.szInfo, sizeof data.szInfo, text);
    data.uTimeout = 15000; // the shell keeps it between 10 and 30 s
    data.dwInfoFlags = NIIF_INFO;
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

void greetFirstStart()
{
    DWORD shown = 0;
    if (readSetting(TK_GREETED_VALUE, &shown, SETTING_USER_ONLY) && shown == 1)
        return;
    // Remembered once the shell took it: a shell not up yet is asked at the next start.
    if (showTrayBalloon(TK_CAPTION, ReadyText))
        writeSetting(TK_GREETED_VALUE, 1);
}
