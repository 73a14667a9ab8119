// What a key map's binding does: typed keys, posted commands, the keyboard's
// media keys, a launch, the pointer.
#include "keys/keys.h"

#include "apps/apps.h"
#include "apps/key_chord.h"

#include <stdio.h>

namespace
{

// A failed launch is told once; while its box is up, further presses try nothing.
bool LaunchBoxShowing = false;

void typeKeys(const PressRoute &route, bool raiseFirst)
{
    const KeymapAction &a = route.binding.action;
    if (raiseFirst && route.window != NULL) {
        typeChordInto(route.window, a.modifiers, a.modifierCount, a.key);
        return;
    }
    // Typed keys go to whatever has the focus: once the program the press began
    // with has lost the foreground, the rest of the press types nothing.
    if (route.window != NULL && rootOwner(GetForegroundWindow()) != route.window)
        return;
    typeChord(a.modifiers, a.modifierCount, a.key);
}

// The keyboard's media key, as a keyboard sends it: the system hands it to the
// shell and to the players that follow the media keys, whichever window is in front.
void mediaKey(BYTE virtualKey)
{
    keybd_event(virtualKey, 0, KEYEVENTF_EXTENDEDKEY, 0);
    keybd_event(virtualKey, 0, KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP, 0);
}

void launch(const char *commandLine)
{
    if (LaunchBoxShowing || commandLine[0] == '\0')
        return;
    if (launchSucceeded(WinExec(commandLine, SW_SHOWNORMAL)))
        return;
    char text[KEYMAP_COMMAND_LINE_SIZE + 80];
    snprintf(text, sizeof text, "The key map could not start:\n%s", commandLine);
    LaunchBoxShowing = true;
    MessageBoxA(NULL, text, TK_CAPTION, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    LaunchBoxShowing = false;
}

} // namespace

void performKeymapAction(const PressRoute &route, bool raiseFirst)
{
    const KeymapAction &a = route.binding.action;
    switch (a.kind) {
    case ACTION_NONE:
        break;
    case ACTION_KEYS:
        typeKeys(route, raiseFirst);
        break;
    case ACTION_APPCOMMAND:
        // As the system sends it for a key: the window in wParam, the command with
        // its device (a key) in the high word of lParam.
        if (route.window != NULL)
            PostMessageA(route.window, WM_APPCOMMAND, (WPARAM)route.window,
                         MAKELPARAM(0, (WORD)a.value | FAPPCOMMAND_KEY));
        break;
    case ACTION_COMMAND:
        if (route.window != NULL)
            PostMessageA(route.window, WM_COMMAND, MAKEWPARAM((WORD)a.value, 0), 0);
        break;
    case ACTION_MEDIA:
        mediaKey((BYTE)a.value);
        break;
    case ACTION_LAUNCH:
        launch(route.launch);
        break;
    case ACTION_POINTER:
        mouseKey(a.value);
        break;
    }
}
