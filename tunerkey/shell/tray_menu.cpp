// A press on the tray icon: the popup menu, or the report of a missing capture filter.
#include "shell/shell.h"

#include "apps/apps.h"
#include "resources/resource.h"

static HMENU TrayMenu = NULL;
// A press while the missing-filter message is up must not stack a second one.
static bool ReportingMissingFilter = false;

struct TrayMenuItem {
    UINT flags;
    UINT id;
    const char *text;
};

// Everything after the optional Home Theater entry.
static const TrayMenuItem TrayMenuTail[] = {
    {MF_SEPARATOR, 0, NULL},
    {MF_STRING, IDM_ABOUT, "About"},
    {MF_SEPARATOR, 0, NULL},
    {MF_STRING, IDM_EXIT, "Exit"},
};

HMENU buildTrayMenu(bool homeTheaterInstalled, bool homeTheaterRunning)
{
    HMENU menu = CreatePopupMenu();
    if (menu == NULL)
        return NULL;
    if (homeTheaterInstalled)
        AppendMenuA(menu, MF_STRING | (homeTheaterRunning ? MF_CHECKED : MF_UNCHECKED), IDM_HOME_THEATER,
                    "Home Theater");
    for (const TrayMenuItem &item : TrayMenuTail)
        AppendMenuA(menu, item.flags, item.id, item.text);
    return menu;
}

void destroyTrayMenu()
{
    if (TrayMenu != NULL)
        DestroyMenu(TrayMenu);
    TrayMenu = NULL;
}

static void reportMissingFilter(HWND window)
{
    if (ReportingMissingFilter)
        return;
    ReportingMissingFilter = true;
    MessageBoxA(NULL, "Can't find the QX770 Video Capture Filter.\n\nPlease check your hardware or drivers. ",
                "QX770 Remote Control", MB_SETFOREGROUND);
    endProgram(window);
}

static void openTrayMenu(HWND window)
{
    POINT at;
    GetCursorPos(&at);
    destroyTrayMenu();
    bool installed = homeTheaterTarget.installed == 1;
    TrayMenu = buildTrayMenu(installed, installed && homeTheaterTarget.findByTitle() != NULL);
    if (TrayMenu == NULL)
        return;
    SetForegroundWindow(window);
    TrackPopupMenu(TrayMenu, 0, at.x, at.y, 0, window, NULL);
    // The platform's known quirk with notification-icon menus: without a message
    // after the menu, it may not close on a click elsewhere, and the next press
    // may not open it again.
    PostMessageA(window, WM_NULL, 0, 0);
}

void onTrayCallback(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        refreshTrayIcon();
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (!CaptureFilterFound)
            reportMissingFilter(window);
        else
            openTrayMenu(window);
        break;
    }
}
