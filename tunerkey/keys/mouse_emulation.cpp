// The remote as a mouse: pointer moves with their acceleration, clicks, and the
// primary button held for dragging.
#include "keys/keys.h"

namespace
{

PointerLimits limits;
int MouseStepCounter = 0;
bool ButtonHeld = false;

enum MouseAction { MOUSE_NONE, MOUSE_MOVE, MOUSE_LEFT_CLICK, MOUSE_RIGHT_CLICK, MOUSE_TOGGLE_PRIMARY };

// Keys 0 to 10; every other code does nothing.
const MouseAction kMouseActions[11] = {
    MOUSE_LEFT_CLICK, MOUSE_MOVE, MOUSE_MOVE, MOUSE_MOVE, MOUSE_MOVE,        MOUSE_TOGGLE_PRIMARY,
    MOUSE_MOVE,       MOUSE_MOVE, MOUSE_MOVE, MOUSE_MOVE, MOUSE_RIGHT_CLICK,
};

void buttonEvent(DWORD flags, POINT at)
{
    ULONG_PTR extra = (ULONG_PTR)GetMessageExtraInfo();
    mouse_event(flags, (DWORD)at.x, (DWORD)at.y, 0, extra);
}

void click(DWORD down, DWORD up)
{
    POINT at;
    GetCursorPos(&at);
    buttonEvent(down, at);
    buttonEvent(up, at);
}

// Press or release the primary button, for dragging. The swap setting picks the
// physical button so that the primary one is meant either way.
void togglePrimary()
{
    bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    POINT at;
    GetCursorPos(&at);
    DWORD flags;
    if (ButtonHeld)
        flags = swapped ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    else
        flags = swapped ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    ButtonHeld = !ButtonHeld;
    buttonEvent(flags, at);
}

void move(int key)
{
    POINT from, to;
    GetCursorPos(&from);
    if (pointerStep(limits, key, from, &MouseStepCounter, &to))
        SetCursorPos(to.x, to.y);
}

} // namespace

void initPointerLimits()
{
    int height = startupPointerHeight(GetSystemMetrics(SM_CYFULLSCREEN));
    limits = pointerLimitsFor(GetSystemMetrics(SM_CXFULLSCREEN), height);
}

void onDisplayChange(LPARAM lParam)
{
    limits = pointerLimitsFor(LOWORD(lParam), HIWORD(lParam));
}

const PointerLimits &currentPointerLimits()
{
    return limits;
}

void resetMouseStepCounter()
{
    MouseStepCounter = 0;
}

bool mouseButtonHeld()
{
    return ButtonHeld;
}

void mouseKey(int key)
{
    if (key < 0 || key > 10)
        return;
    switch (kMouseActions[key]) {
    case MOUSE_MOVE:
        move(key);
        break;
    case MOUSE_LEFT_CLICK:
        click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
        break;
    case MOUSE_RIGHT_CLICK:
        click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
        break;
    case MOUSE_TOGGLE_PRIMARY:
        togglePrimary();
        break;
    case MOUSE_NONE:
        break;
    }
}
