// One table of screen positions for the three dialogs, by full-screen width.
#include "shell/shell.h"

struct Placement {
    int width, x, y;
};

static const Placement DialogPlacement[] = {
    {640, 160, 200}, {800, 280, 250}, {1024, 350, 300}, {1152, 420, 300}, {1280, 420, 300}, {1600, 580, 340},
};

bool dialogPlacementFor(int fullScreenWidth, POINT *position)
{
    for (const Placement &p : DialogPlacement) {
        if (p.width == fullScreenWidth) {
            position->x = p.x;
            position->y = p.y;
            return true;
        }
    }
    return false;
}

POINT centredIn(const RECT &area, int width, int height)
{
    POINT at = {area.left + (area.right - area.left - width) / 2,
                area.top + (area.bottom - area.top - height) / 2};
    // A dialog larger than the area keeps its caption on screen.
    if (at.x < area.left)
        at.x = area.left;
    if (at.y < area.top)
        at.y = area.top;
    return at;
}

// The work area (the screen less the taskbar) of the monitor the pointer is on.
// MonitorFromPoint and GetMonitorInfoA came with Windows 98 and 2000; Windows 95 and
// NT 4.0 have one screen, whose work area SPI_GETWORKAREA gives.
static bool pointerWorkArea(RECT *area)
{
    typedef HMONITOR(WINAPI * FromPoint)(POINT, DWORD);
    typedef BOOL(WINAPI * MonitorInfo)(HMONITOR, MONITORINFO *);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    // Through a pointer of no type: the real one is known here.
    FromPoint fromPoint = user32 ? (FromPoint)(void *)GetProcAddress(user32, "MonitorFromPoint") : NULL;
    MonitorInfo monitorInfo = user32 ? (MonitorInfo)(void *)GetProcAddress(user32, "GetMonitorInfoA") : NULL;
    POINT pointer = {0, 0};
    GetCursorPos(&pointer);
    if (fromPoint != NULL && monitorInfo != NULL) {
        MONITORINFO info;
        info.cbSize = sizeof info;
        HMONITOR monitor = fromPoint(pointer, MONITOR_DEFAULTTONEAREST);
        if (monitor != NULL && monitorInfo(monitor, &info)) {
            *area = info.rcWork;
            return true;
        }
    }
    return SystemParametersInfoA(SPI_GETWORKAREA, 0, area, 0) != FALSE;
}

void applyDialogPlacement(HWND dialog, bool alwaysTopmost)
{
    POINT at;
    if (dialogPlacementFor(GetSystemMetrics(SM_CXFULLSCREEN), &at)) {
        SetWindowPos(dialog, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE);
        return;
    }
    // Any other width: centred where the user looks, at whatever size the template
    // has; its z-order kept unless the dialog must never open behind another window.
    RECT area, frame;
    if (!pointerWorkArea(&area) || !GetWindowRect(dialog, &frame))
        return;
    at = centredIn(area, frame.right - frame.left, frame.bottom - frame.top);
    if (alwaysTopmost)
        SetWindowPos(dialog, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE);
    else
        SetWindowPos(dialog, NULL, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
