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

int(WINAPI *screenMetricsCall)(int index) = GetSystemMetrics;

// Not the primary screen's work area: a second monitor (a TV on the card's second
// output) and the taskbar's Start button must be reachable. Windows 95 and NT 4.0
// know no virtual screen (its metrics are 0 there): `fallback` then holds.
static PointerLimits virtualScreenOr(const PointerLimits &fallback, int stepWidth)
{
    int width = screenMetricsCall(SM_CXVIRTUALSCREEN);
    int height = screenMetricsCall(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0)
        return fallback;
    return pointerLimitsSpanning(screenMetricsCall(SM_XVIRTUALSCREEN), screenMetricsCall(SM_YVIRTUALSCREEN),
                                 width, height, stepWidth);
}

void initPointerLimits()
{
    int width = screenMetricsCall(SM_CXFULLSCREEN);
    int height = startupPointerHeight(screenMetricsCall(SM_CYFULLSCREEN));
    limits = virtualScreenOr(pointerLimitsFor(width, height), width);
}

void onDisplayChange(LPARAM lParam)
{
    limits = virtualScreenOr(pointerLimitsFor(LOWORD(lParam), HIWORD(lParam)), LOWORD(lParam));
}

const PointerLimits &currentPointerLimits()
{
    return limits;
}

bool isMouseButtonKey(int key)
{
    if (key < 0 || key > 10)
        return false;
    MouseAction a = kMouseActions[key];
    return a == MOUSE_LEFT_CLICK || a == MOUSE_RIGHT_CLICK || a == MOUSE_TOGGLE_PRIMARY;
}

bool isMouseKey(int key)
{
    return key >= 0 && key <= 10 && kMouseActions[key] != MOUSE_NONE;
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
