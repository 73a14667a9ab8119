// The supported TV and DVD applications: one TvAppTarget record per application,
// the window and keystroke helpers the drivers share, and one driver per
// application that turns remote key codes into messages or keystrokes for it.
// The applications are found by window class or title and started from the
// install directory their own registry entry records; they are never linked.
#pragma once
#include <windows.h>

// The program's name, as its message boxes and its tray icon's tip show it.
const char TK_CAPTION[] = "QX770 Remote Control";

struct TvAppTarget {
    int installed;         // 1 once the install directory was read from the registry
    int active;            // 1 while this application is the target of remote keys
    char installPath[128]; // install directory exactly as the registry holds it
    char exeName[64];      // file name of the executable
    char windowClass[64];  // class of the main window, or empty
    char windowTitle[64];  // prefix of the main window's title

    // Reads the install path (the only registry read for the record), then takes
    // class and title when given. Runs during static initialisation.
    TvAppTarget(const char *key, const char *valueName, const char *exe, const char *cls, const char *title);

    // HKEY_LOCAL_MACHINE\key, value `valueName`: 1 on success, 0 on failure.
    int readInstallPath(const char *key, const char *valueName, const char *exe);
    // The first top-level window whose title begins with windowTitle, or NULL.
    HWND findByTitle();
    // The main window (by class when windowClass is set, else by title prefix);
    // when none is found and the application is installed, starts it with WinExec.
    // The window is looked for once more right after the launch, without waiting.
    // A failed launch is reported in a box; while it is up, no launch is tried.
    HWND findOrLaunch();
    // Looks by title prefix, then as findOrLaunch does; raises the window found.
    // A window still closing from an earlier chord is let go first.
    HWND bringToFront();
};

// The launch's rules (pure): a launch is tried only for an installed application
// and never while a failed one is being reported; WinExec succeeded above 31.
bool launchMayBeTried(int installed, bool failureBoxShowing);
bool launchSucceeded(UINT winExecResult);

// Makes the record's application the target of the remote's keys, or drops it as
// the target: the one writer of `active`, for the drivers, the probe and the watch.
void setTargetActive(TvAppTarget &record, bool active);

// ---- the table of applications (app_table.cpp) -------------------------------------
// The four applications the remote's keys drive come first, in the order the
// probe looks for them, the Setting dialog lists them and the power key closes
// them; then the two DVD programs that only the window commands reach.
enum WatchedApp { WATCH_HOME_THEATER, WATCH_POWERVCR, WATCH_HONESTECH, WATCH_TIVRA };
const int WATCHED_APP_COUNT = 4;
enum AppId {
    APP_HOME_THEATER = WATCH_HOME_THEATER,
    APP_POWERVCR = WATCH_POWERVCR,
    APP_HONESTECH = WATCH_HONESTECH,
    APP_TIVRA = WATCH_TIVRA,
    APP_WINDVD,
    APP_WINRIP,
    APP_COUNT
};

// What the program knows of one application.
struct SupportedApp {
    // Identity: where its install directory is registered, its program, and the
    // class (or else the title prefix) its main window is raised and started by.
    const char *registryKey;
    const char *registryValue;
    const char *exeName;
    const char *windowClass;
    const char *windowTitle;
    TvAppTarget *record;
    // How the probe and the launch watch find it running: by class, or by whole title.
    const char *runningClass;
    const char *runningTitle;
    int defaultTvApp;         // its DefaultTVAPP number; 0 for none
    const char *settingLabel; // its entry in the Setting dialog's list, or NULL
    // Its driver. handleKey and togglePower are NULL where the keys never reach
    // it; key15 is NULL where key 15 does nothing while it is the target.
    void (*handleKey)(int code);
    void (*key15)();
    void (*close)();
    bool (*togglePower)();
};
extern const SupportedApp SupportedApps[APP_COUNT];
// The target is the first key-driven application, in this order, whose record
// is active; the launch watch examines its flags in the same order.
extern const WatchedApp TargetOrder[WATCHED_APP_COUNT];
// With no target, the first running one in this order becomes it.
extern const WatchedApp AdoptionOrder[WATCHED_APP_COUNT];

// The running application's top-level window, by its running class or title.
// NULL when there is none (or for a number that is no key-driven application).
HWND findRunningApp(WatchedApp app);
// The application's name as the user knows it ("PowerVCR II"); NULL for a number
// that is no application.
const char *appName(int app);
// Its record; NULL for a number that is no key-driven application.
TvAppTarget *recordOf(WatchedApp app);
// The key-driven application whose DefaultTVAPP number is `value`; -1 for none.
// Opens an application's key under HKEY_LOCAL_MACHINE. The supported applications
// are 32-bit programs: on 64-bit Windows their installers write the 32-bit view.
LONG openApplicationKey(const char *path, REGSAM access, HKEY *key);

int appOfDefault(int value);
// The power key's toggle shared by the drivers: `running` is the window the
// driver looks for; when there is one, `close` ends it (false), else the record
// raises or starts it (true).
bool togglePowerWith(HWND running, void (*close)(), TvAppTarget &record);

// The six records, constructed during static initialisation in this order.
extern TvAppTarget powerVcrTarget;
extern TvAppTarget honestechTarget;
extern TvAppTarget winDvdTarget;
extern TvAppTarget homeTheaterTarget;
extern TvAppTarget winRipTarget;
extern TvAppTarget tivraTarget;

// Posts WM_KEYDOWN of digit 0 to 9 (no key-up), with the lParam of a real key:
// repeat count 1, scan code of the digit on the main keyboard row. Other digits
// post nothing.
void postDigitKey(HWND window, int digit);
// Raises `window` and types Ctrl plus `letterKey` through the keyboard focus, but
// only once the window's thread holds the foreground: typed keys go to whatever
// has the focus, and a refused raise would put them into the user's own window.
// False, with nothing typed, when the window did not come forward.
bool sendControlChord(HWND window, BYTE letterKey);
// Raises another program's window: first lets the windows sent their close go
// (bounded), so that a closing one can neither take the foreground back as it goes
// nor receive keys meant for this one; then produces an input event (the foreground
// rule) and asks for the foreground, and waits up to 250 ms for the window's thread
// to take it. True when it did.
bool raiseWindow(HWND window);
// `window` was sent its close (a chord, a key or a command): the next raise of
// another window waits until it has gone (at most two seconds for all of them).
void noteClosingWindow(HWND window);
// Waits (bounded) for the windows noted by noteClosingWindow to go, then forgets them.
void settleClosingWindow();
// Waits `ms` milliseconds while answering the messages other threads send to this
// thread's windows (posted ones wait in the queue); the program's waits use it.
void answeringWait(DWORD ms);
// The raise itself; tests replace it to play a Windows that refuses the foreground
// to a background program (Wine grants every request).
extern BOOL(WINAPI *raiseWindowCall)(HWND window);
// The top-level window with a direct child titled "VideoWindow2", or NULL.
HWND findVideoWindowOwner();
// Minimises or restores `mainWindow` (may be NULL) and the video window's owner,
// each on its own.
void toggleMinimized(HWND mainWindow);

// Codes 0 to 31 act; any other code does nothing. togglePower, the power key
// while the application is the target or the default: closes it when its window
// exists and returns false; otherwise raises or starts it and returns true (the
// caller then watches for its window to go).
namespace PowerVcrDriver
{
void handleKey(int code);
void close();
bool togglePower();
} // namespace PowerVcrDriver

namespace HonestechDriver
{
void handleKey(int code);
void close();
bool togglePower();
} // namespace HonestechDriver

namespace HomeTheaterDriver
{
void handleKey(int code);
// Key 15 while Home Theater is the target: Alt+Ctrl+Shift+Home.
void key15();
void close();
bool togglePower();
} // namespace HomeTheaterDriver

namespace WinDvdDriver
{
void close();
} // namespace WinDvdDriver

namespace WinRipDriver
{
void close();
} // namespace WinRipDriver

namespace TivraDriver
{
// Message 3024 with the command in wParam, posted to the recorder's window.
const UINT COMMAND_MESSAGE = WM_USER + 2000;
void handleKey(int code);
// Key 15 while the recorder is the target: command 5001.
void key15();
void sendCommand(DWORD command);
void close();
bool togglePower();
} // namespace TivraDriver
