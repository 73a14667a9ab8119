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

void applyDialogPlacement(HWND dialog, bool alwaysTopmost)
{
    POINT at;
    // Any other width keeps the template's position, and its z-order unless the
    // dialog must never open behind another window.
    if (dialogPlacementFor(GetSystemMetrics(SM_CXFULLSCREEN), &at))
        SetWindowPos(dialog, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE);
    else if (alwaysTopmost)
        SetWindowPos(dialog, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}
