// Remote key handling: the 65 ms key poll and its dispatcher, the mouse
// emulation, the power key with the default application, the shut-down, and the
// window commands that switch between the supported applications.
#pragma once
#include <windows.h>

#include "keymap/keymap.h"
#include "keys/launch_watch.h"
#include "keys/timer_slot.h"

// Key codes with a meaning of their own to the dispatcher.
const int KEY_SHUTDOWN = 15;
const int KEY_POWER = 18;
// A repeat the repeat rule swallows; never reaches a driver's handleKey.
const int KEY_SUPPRESSED = -1;

// ---- repeat rule (pure) ----------------------------------------------------------
const DWORD REPEAT_WINDOW_MS = 250;
const int REPEAT_PERIOD = 10;

struct KeyRepeatState {
    int previousKey;    // initially 0
    DWORD previousTime; // GetTickCount of the previous read, initially 0
    int repeatCount;    // initially 0
    bool answered;      // this press answered the Shut Down dialog; initially false
};

struct RepeatOutcome {
    int key;     // the code read, or KEY_SUPPRESSED
    bool newKey; // not a repeat: the mouse acceleration starts over
};

// One receiver read through the repeat rule. Every read counts: a held key keeps
// repeating while reads come less than 250 ms apart (unsigned difference, so the
// tick counter's wrap is harmless). How a held key acts on its repeats depends on
// where it goes: see heldKeyPace.
// A press that answered the open Shut Down dialog is spent: its further reads do
// nothing, for the dialog is gone and they would reach the probe or the pointer.
RepeatOutcome applyRepeatRule(KeyRepeatState *state, int code, DWORD now, bool targetActive, bool promptOpen);
// Time in which the thread could not read (a wait of the program's own, such as
// the launch watch's, between two poll ticks) is no gap in a press: when ticks lay
// `sincePreviousTick` ms apart, a repeat window or more, all but one poll interval
// of it is left out of the gap to the previous read (pure).
void leaveOutHeldTime(KeyRepeatState *state, DWORD sincePreviousTick, DWORD pollInterval);

// How often a held key acts (pure).
enum HeldKeyPace {
    PACE_EVERY_READ,  // the pointer: every read moves it, with its acceleration
    PACE_EVERY_TENTH, // a target's own keys: the first read, then every tenth repeat
    PACE_ONCE,        // the first read only
};
// A press of the power key or key 15 lasts several reads, and acting on each would
// undo the first action (close then relaunch, open then cancel): they act once per
// press, with or without a target. So do the pointer's clicks and its button toggle
// with no target (a press of 4 to 6 reads would be a double or triple click, or leave
// the button held by chance); its moves go on every read. The open Shut Down dialog
// is answered by a new key only, never by the repeats of the key that opened it.
HeldKeyPace heldKeyPace(int code, bool targetActive, bool promptOpen);

// ---- key poll and dispatcher ---------------------------------------------------
// The poll timer (id 1, 65 ms, callback keyPollTimerProc), set to the main window
// and started unless it runs.
void startPollTimer(HWND mainWindow);
// At process exit: kills every slot that is still running.
void killRunningTimers();

void CALLBACK keyPollTimerProc(HWND, UINT, UINT_PTR, DWORD);
// One tick: status register, receiver read, repeat rule, then dispatchRemoteKey.
void pollRemote(HWND mainWindow);
// Routing of one key after the repeat rule: the open Shut Down dialog, the target
// application, the power and shut-down keys, a running application found by the
// probe, or the mouse emulation.
void dispatchRemoteKey(HWND mainWindow, int key);
// True while one of the four key-driven applications is the target.
bool anyTargetActive();

// ---- a press's route (dispatcher.cpp, keymap_actions.cpp) --------------------------------
// Where one press went. Decided on the press's first read and kept while the key
// is held, whatever window comes to the front meanwhile.
struct PressRoute {
    RouteStep step;
    KeymapBinding binding;                 // what a key map or the media layer does with the key
    char launch[KEYMAP_COMMAND_LINE_SIZE]; // a launch's command line, kept with the press
    HWND window;                           // the program's window (NULL for none)
    char name[KEYMAP_NAME_SIZE];           // the section or program the key went to
};
// One receiver read after the repeat rule: `r` as the rule gave it, `repeatCount`
// the read's number within its press (0 the first). A key map's route acts at its
// binding's pace; every other route goes through dispatchRemoteKey as before.
void routeRemoteRead(HWND mainWindow, int code, const RepeatOutcome &r, int repeatCount);
// The route of the latest press.
const PressRoute &currentPressRoute();
// Carries out a key map's action on the route's window. `raiseFirst`: the program
// may be in the background, so typed keys wait for a confirmed raise.
void performKeymapAction(const PressRoute &route, bool raiseFirst);
// The media layer ("MediaKeys", on unless the setting says 0); the shell loads it.
bool mediaKeysOn();
void setMediaKeysOn(bool on);
// Whether the server's clients have the remote to themselves: then neither the
// pointer nor the media layer acts (a drag already under way still finishes).
bool clientsHoldTheRemote();

// ---- mouse emulation -------------------------------------------------------------
struct PointerLimits {
    int left, top, right, bottom; // the pointer moves only strictly inside these
    int fineStep, coarseStep;     // width / 160 and width / 80
};

// Limits for a screen of the given size (pure).
PointerLimits pointerLimitsFor(int width, int height);
// Limits over a rectangle of screens (the virtual screen: its left and top can be
// negative), with the steps of a screen `stepWidth` wide (pure).
PointerLimits pointerLimitsSpanning(int left, int top, int width, int height, int stepWidth);
// The height used at start-up: SM_CYFULLSCREEN, made 19 pixels taller when odd (pure).
int startupPointerHeight(int fullScreenHeight);
// One move of a direction key (1 to 4, 6 to 9; up is decreasing y) from `from`
// (pure). Counts the move in *stepCounter and picks the step by it: 1 pixel for
// the first four moves, the fine step up to the ninth, then the coarse step. A move
// that would leave the limits is refused: returns false and restarts the count.
bool pointerStep(const PointerLimits &limits, int key, POINT from, int *stepCounter, POINT *to);

// At main window creation: limits over every monitor (the virtual screen), where
// the system tells it; steps from the primary screen's width.
void initPointerLimits();
// WM_DISPLAYCHANGE: the same over the new layout; the new primary size in lParam
// (width low word, height high word) gives the steps, and the limits where the
// system has no virtual screen.
void onDisplayChange(LPARAM lParam);
// The screen metrics the limits are read with; tests replace it to show several
// monitors (Wine under Xvfb shows one).
extern int(WINAPI *screenMetricsCall)(int index);
const PointerLimits &currentPointerLimits();
// A key for the mouse: 1 to 4 and 6 to 9 move, 5 presses or releases the primary
// button, 0 and 10 click left and right; other codes do nothing.
void mouseKey(int key);
// Keys 0, 5 and 10: a click or the button toggle, not a move (pure).
bool isMouseButtonKey(int key);
// A new key starts the pointer acceleration over.
void resetMouseStepCounter();
// Whether key 5 holds the button down.
bool mouseButtonHeld();

// ---- power key, default application, shut-down ------------------------------------
// The power key's default application in memory (DefaultTVAPP): 1 Home Theater,
// 2 PowerVCR II, 3 TivraTVR, 4 honestechTV; any other number selects nothing. The
// shell loads and saves it; commands 1102 to 1106 change it for the run.
int defaultTvApp();
void setDefaultTvApp(int value);
// The open Shut Down dialog, or NULL. The shell records it while the dialog is up;
// the dispatcher sends it the remote's keys.
HWND shutdownPrompt();
void setShutdownPrompt(HWND dialog);
// What key 15 posts to the main window (as WM_COMMAND) to ask for the Shut Down
// dialog: the shell opens it, the keys never call up into the shell.
const WORD CMD_SHUTDOWN_PROMPT = 1200;
// True when no window of a supported application exists.
bool NoTvAppRunning();
// Power key with no target: closes the other applications and toggles the default one.
void launchDefaultApplication();
// Key 15 with no target: asks the main window for the Shut Down dialog, when no
// supported application runs.
void requestShutDown(HWND mainWindow);
// Switches the computer off; on the NT family after enabling the shut-down privilege.
void ShutDownComputer();
// The NT family's flags for switching off on a system of that major version (pure).
UINT ntPowerOffFlags(DWORD majorVersion);
// The call that ends the session; tests replace it so that the run survives.
extern BOOL(WINAPI *exitWindowsCall)(UINT flags, DWORD reason);
// Window commands 1101 to 1106; other values do nothing.
void switchApplication(int command);
