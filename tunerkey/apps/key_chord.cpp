#include "apps/key_chord.h"

#include "apps/apps.h"

static const DWORD PRESS = KEYEVENTF_EXTENDEDKEY;
static const DWORD RELEASE = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;

void typeChord(const BYTE *modifiers, int modifierCount, BYTE key)
{
    for (int i = 0; i < modifierCount; ++i)
        keybd_event(modifiers[i], 0, PRESS, 0);
    keybd_event(key, 0, PRESS, 0);
    keybd_event(key, 0, RELEASE, 0);
    for (int i = modifierCount - 1; i >= 0; --i)
        keybd_event(modifiers[i], 0, RELEASE, 0);
}

void sendControlChord(HWND window, BYTE letterKey)
{
    SetForegroundWindow(window);
    SetActiveWindow(window);
    static const BYTE ctrl[] = {VK_CONTROL};
    typeChord(ctrl, 1, letterKey);
}
