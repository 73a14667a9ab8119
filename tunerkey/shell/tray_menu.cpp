// The tray icon's popup menu, as a table.
#include "shell/shell.h"

#include "apps/apps.h"
#include "resources/resource.h"

// The menu built for the latest press; destroyed when the next one builds its own.
static HMENU TrayMenu = NULL;

struct TrayMenuItem {
    UINT flags;
    UINT id;
    const char *text;
};

// Everything after the optional Home Theater entry.
static const TrayMenuItem TrayMenuTail[] = {
    {MF_SEPARATOR, 0, NULL},
    {MF_STRING, IDM_ABOUT, "About"},
    {MF_STRING, IDM_SETTING, "Setting..."},
    {MF_STRING, IDM_EDIT_KEYMAPS, "Edit key maps..."},
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

void showTrayMenu(HWND window)
{
    POINT at;
    GetCursorPos(&at);
    destroyTrayMenu();
    bool installed = homeTheaterTarget.installed == 1;
    // Checked when a top-level window's title begins with "Home Theater".
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
