// Chords typed through the keyboard focus, shared by the drivers.
#pragma once
#include <windows.h>

// Modifiers pressed in the order given, the key pressed and released, the
// modifiers released in reverse order. Every event has scan code 0 and the
// extended-key flag. The keys reach whichever window holds the keyboard focus.
void typeChord(const BYTE *modifiers, int modifierCount, BYTE key);
// Raises `window` and types the chord into it once its thread holds the foreground;
// false, with nothing typed, when the window did not come forward.
bool typeChordInto(HWND window, const BYTE *modifiers, int modifierCount, BYTE key);
