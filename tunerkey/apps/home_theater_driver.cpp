// Home Theater's driver: remote codes as keys posted to the window of its exact
// title, Ctrl chords typed into it once raised, and its system-wide hot keys.
#include "apps/apps.h"

#include "apps/key_chord.h"
#include "apps/window_search.h"

enum HomeTheaterActionKind { HT_NONE, HT_POST, HT_DIGIT, HT_CHORD };

// Chord modifiers, pressed in this order: Alt, Ctrl, Shift.
enum { MOD_ALT_KEY = 1, MOD_CTRL_KEY = 2, MOD_SHIFT_KEY = 4 };

struct HomeTheaterAction {
    HomeTheaterActionKind kind;
    BYTE key;      // virtual key, or the digit for HT_DIGIT
    DWORD lParam;  // HT_POST: sent exactly as listed, scan code or not
    int modifiers; // HT_CHORD
};

static const HomeTheaterAction homeTheaterKeys[32] = {
    {HT_CHORD, 'B', 0, MOD_CTRL_KEY},                 // 0
    {HT_DIGIT, 1, 0, 0},                              // 1
    {HT_DIGIT, 2, 0, 0},                              // 2
    {HT_DIGIT, 3, 0, 0},                              // 3
    {HT_DIGIT, 4, 0, 0},                              // 4
    {HT_DIGIT, 5, 0, 0},                              // 5
    {HT_DIGIT, 6, 0, 0},                              // 6
    {HT_DIGIT, 7, 0, 0},                              // 7
    {HT_DIGIT, 8, 0, 0},                              // 8
    {HT_DIGIT, 9, 0, 0},                              // 9
    {HT_DIGIT, 0, 0, 0},                              // 10
    {HT_POST, 'Z', 0x002C0001, 0},                    // 11
    {HT_POST, 'A', 0x001E0001, 0},                    // 12
    {HT_CHORD, 'R', 0, MOD_CTRL_KEY},                 // 13
    {HT_CHORD, 'S', 0, MOD_CTRL_KEY},                 // 14
    {HT_NONE, 0, 0, 0},                               // 15: see key15
    {HT_POST, VK_PRIOR, 0x01490001, 0},               // 16
    {HT_CHORD, 'R', 0, MOD_CTRL_KEY | MOD_SHIFT_KEY}, // 17
    {HT_NONE, 0, 0, 0},                               // 18: power, see togglePower
    {HT_POST, VK_F10, 0x002A0001, 0},                 // 19
    {HT_POST, VK_ESCAPE, 0x00260001, 0},              // 20
    {HT_POST, VK_RETURN, 0x001C0001, 0},              // 21
    {HT_POST, VK_SPACE, 0x00140001, 0},               // 22
    {HT_CHORD, 'F', 0, MOD_CTRL_KEY},                 // 23
    {HT_POST, VK_NEXT, 0x01510001, 0},                // 24
    {HT_CHORD, 'F', 0, MOD_CTRL_KEY | MOD_SHIFT_KEY}, // 25
    {HT_POST, VK_UP, 0x01480001, 0},                  // 26
    {HT_POST, VK_RIGHT, 0x014D0001, 0},               // 27
    {HT_POST, VK_F9, 0x002A0001, 0},                  // 28
    {HT_POST, VK_F8, 0x00320001, 0},                  // 29
    {HT_POST, VK_DOWN, 0x01500001, 0},                // 30
    {HT_POST, VK_LEFT, 0x014B0001, 0},                // 31
};

static const int ALL_MODIFIERS = MOD_ALT_KEY | MOD_CTRL_KEY | MOD_SHIFT_KEY;

// The key actions look for the whole title; close and bringToFront take the prefix.
static HWND findHomeTheater()
{
    return findWindowByExactTitle(SupportedApps[APP_HOME_THEATER].runningTitle);
}

// The modifiers' keys in the order they are pressed; their count.
static int modifierKeys(int modifiers, BYTE (&pressed)[3])
{
    static const struct {
        int bit;
        BYTE vk;
    } order[] = {{MOD_ALT_KEY, VK_MENU}, {MOD_CTRL_KEY, VK_CONTROL}, {MOD_SHIFT_KEY, VK_SHIFT}};
    int count = 0;
    for (const auto &m : order)
        if (modifiers & m.bit)
            pressed[count++] = m.vk;
    return count;
}

static void typeWithModifiers(int modifiers, BYTE key)
{
    BYTE pressed[3];
    typeChord(pressed, modifierKeys(modifiers, pressed), key);
}

static void postKey(BYTE key, DWORD lParam)
{
    HWND w = findHomeTheater();
    if (w != NULL)
        PostMessageA(w, WM_KEYDOWN, key, lParam);
}

static void postDigit(int digit)
{
    HWND w = findHomeTheater();
    if (w != NULL)
        postDigitKey(w, digit);
}

// Its Ctrl chords are ordinary keys: typed only once Home Theater holds the
// foreground, or they would reach the user's own window (Ctrl+S saving a document).
static void pressChord(int modifiers, BYTE key)
{
    HWND w = findHomeTheater();
    if (w == NULL)
        return;
    BYTE pressed[3];
    typeChordInto(w, pressed, modifierKeys(modifiers, pressed), key);
}

// Its Alt+Ctrl+Shift chords are the hot keys it registers for the whole system:
// typed through whatever has the focus, while its window exists.
static void pressHotKey(BYTE key)
{
    if (findHomeTheater() != NULL)
        typeWithModifiers(ALL_MODIFIERS, key);
}

void HomeTheaterDriver::handleKey(int code)
{
    if (code < 0 || code >= 32)
        return;
    const HomeTheaterAction &a = homeTheaterKeys[code];
    switch (a.kind) {
    case HT_POST:
        postKey(a.key, a.lParam);
        break;
    case HT_DIGIT:
        postDigit(a.key);
        break;
    case HT_CHORD:
        pressChord(a.modifiers, a.key);
        break;
    default:
        break;
    }
}

void HomeTheaterDriver::key15()
{
    pressHotKey(VK_HOME);
}

void HomeTheaterDriver::close()
{
    HWND w = homeTheaterTarget.findByTitle();
    if (w == NULL)
        return;
    typeWithModifiers(ALL_MODIFIERS, VK_F8);
    noteClosingWindow(w);
    setTargetActive(homeTheaterTarget, false);
}

bool HomeTheaterDriver::togglePower()
{
    return togglePowerWith(findHomeTheater(), close, homeTheaterTarget);
}
