// A press on the tray icon: the popup menu, or the report of a missing capture filter.
#include "shell/shell.h"

#include "apps/apps.h"
#include "shell/shell_internal.h"

// A press while the missing-filter message is up must not stack a second one.
static bool ReportingMissingFilter = false;

void endProgram(HWND window)
{
    removeTrayIcon(window, TRAY_ICON_ID);
    destroyTrayMenu();
    PostQuitMessage(0);
}

static void reportMissingFilter(HWND window)
{
    if (ReportingMissingFilter)
        return;
    ReportingMissingFilter = true;
    MessageBoxA(NULL, "Can't find the QX770 Video Capture Filter.\n\nPlease check your hardware or drivers. ",
                TK_CAPTION, MB_SETFOREGROUND);
    endProgram(window);
}

void onTrayCallback(HWND window, LPARAM mouseMessage)
{
    switch (mouseMessage) {
    case WM_MOUSEMOVE:
        refreshTrayIcon();
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        if (!captureFilterFound())
            reportMissingFilter(window);
        else
            showTrayMenu(window);
        break;
    }
}
