// The tray shell: hidden main window, tray icon and menu, settings and the
// three dialogs. What the other rooms, the entry point and the tests may call.
#pragma once
#include <windows.h>

#include "keys/keys.h"

// ---- program-wide state owned by the shell -----------------------------------
HWND mainWindow();
HINSTANCE appInstance();

// ---- start-up and the main window (main_window.cpp, startup.cpp) ----------------
// The main window's class (IDS_CLASS_NAME), what a second start looks for. The
// caption of the program's boxes and tip is TK_CAPTION (apps/apps.h).
#define TK_WINDOW_CLASS "QX770 Remote Control"
// Title prefix of the older remote-control program that a start asks to close.
#define TK_OLDER_PROGRAM_TITLE "Rudov Aridur Ezerodo"

// Posts WM_CLOSE and WM_DESTROY to the first top-level window whose title begins
// with TK_OLDER_PROGRAM_TITLE; true when one was found.
bool closeOlderProgram();
// One instance per machine, whatever the session: the named mutex every instance
// holds ("Global\" TK_INSTANCE_MUTEX where sessions exist). False when another holds it.
#define TK_INSTANCE_MUTEX "Orvane QX770 Remote Control"
// The mutex's name on a Windows of this platform and major version.
const char *instanceMutexName(DWORD platformId, DWORD majorVersion);
bool claimSingleInstance();
// Registers the window class and creates the hidden main window (which opens the
// capture filter, sets up the pointer limits and adds the tray icon). NULL on failure.
HWND createMainWindow(HINSTANCE instance);
LRESULT CALLBACK mainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// Settings, the AlwaysRemoteOff stop, hiding the window and the timers: the part of
// start-up after the main window exists. False when the program is to end at once.
bool finishStartup(HWND window);
// The message loop with accelerator table 23; returns the final WM_QUIT's wParam.
int runMessageLoop();
// The end of the program as command 31, WM_DESTROY and a failed tray click have it:
// tray icon removed, WM_QUIT posted.
void endProgram(HWND window);

// ---- tray icon and menu (tray_icon.cpp, tray_menu.cpp) ---------------------------
enum {
    TRAY_ICON_ID = 10,
    TRAY_CALLBACK_MESSAGE = 1001,
};

// Fills the tray icon record (shell_internal.h) and adds it; the tip is cut to 63
// characters, empty when NULL. A refused add is tried again on a timer for a while.
bool addTrayIcon(HWND window, UINT id, HICON icon, const char *tip);
// The main window's share of every message: true for the shell's "TaskbarCreated"
// (the taskbar made anew), after which the icon is added again until removeTrayIcon.
bool onTaskbarCreated(UINT msg);
// Re-sends the unchanged record.
bool refreshTrayIcon();
bool removeTrayIcon(HWND window, UINT id);
// The size of the notification record that carries a balloon for a shell32 of this
// major version; 0 for a shell that shows none (before Windows 2000 and Me).
DWORD balloonRecordSize(DWORD shellMajorVersion);
// A balloon from the tray icon; false when the shell takes none.
bool showTrayBalloon(const char *title, const char *text);
// At a user's first start, one balloon saying the remote is ready and where its icon
// is; remembered among his settings as TK_GREETED_VALUE 1, and never shown again.
#define TK_GREETED_VALUE "ReadyBalloonShown"
void greetFirstStart();
// Message 1001 of the main window: lParam is the mouse message.
void onTrayCallback(HWND window, LPARAM mouseMessage);
// The popup menu: Home Theater (only when installed, checked when running),
// separator, About, Setting..., Edit key maps..., separator, Exit.
HMENU buildTrayMenu(bool homeTheaterInstalled, bool homeTheaterRunning);
// Builds the menu for this press (the previous one is destroyed) and tracks it
// at the pointer; the choice arrives as WM_COMMAND.
void showTrayMenu(HWND window);
// Destroys the menu of the latest press, if any.
void destroyTrayMenu();

// ---- settings (settings.cpp) -------------------------------------------------------
// The machine's defaults (HKEY_LOCAL_MACHINE), and each user's own settings
// (HKEY_CURRENT_USER), which come first.
#define TK_SETTINGS_KEY "SOFTWARE\\Orvane Multimedia\\QX770 Utilities"
#define TK_USER_SETTINGS_KEY "Software\\Orvane Multimedia\\QX770 Utilities"

// How readSetting takes a value (flags, 0 for the usual rule).
enum {
    // Any type up to four bytes counts as the number; by default only a REG_DWORD.
    SETTING_ANY_TYPE = 1,
    // An administrator's decision: the machine's value alone counts.
    SETTING_MACHINE_ONLY = 2,
    SETTING_USER_ONLY = 4,
};
// One setting: the user's value when stored, else the machine's. False (and
// `number` unchanged) when neither hive has one.
bool readSetting(const char *name, DWORD *number, unsigned rule = 0);
// Stores a REG_DWORD among the user's settings; the machine's are never written.
bool writeSetting(const char *name, DWORD number);

// Reads DefaultTVAPP and AlwaysRemoteOff (1 in either hive stops the program),
// writing a value missing from both back to the user's settings.
bool LoadSettings();
// Stores the DefaultTVAPP in memory as the user's; only while one is stored.
bool SaveDefaultApp();
bool alwaysRemoteOff();
// How the settings keys are opened for reading (RegOpenKeyExA); tests replace it,
// to refuse the machine's key as Windows can.
typedef LONG(WINAPI *OpenKeyCall)(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key);
extern OpenKeyCall openSettingsKeyCall;

// ---- dialogs (dialog_placement.cpp, setting_list.cpp, *_dialog.cpp) ----------------------
// Where the dialogs go for a full-screen width; false for a width not in the table.
bool dialogPlacementFor(int fullScreenWidth, POINT *position);
// Where a dialog of this size goes centred in `area` (its top left kept inside).
POINT centredIn(const RECT &area, int width, int height);
// Moves the dialog (and makes it topmost) when the screen width is in the table;
// on any other width centres it on the work area of the pointer's monitor, topmost
// only with `alwaysTopmost`.
void applyDialogPlacement(HWND dialog, bool alwaysTopmost = false);

// The Setting dialog's list: the installed key-driven applications, in the order
// of the table of applications.
enum { SETTING_APP_COUNT = 4 };
struct SettingList {
    int count;
    const char *labels[SETTING_APP_COUNT];
    int selection;
};
// installed[] in that order (Home Theater, PowerVCR II, honestechTV, TivraTVR).
// The selection is the entry of `defaultApp`, else `previousIndex`, else 0.
SettingList buildSettingList(const int installed[SETTING_APP_COUNT], int defaultApp, int previousIndex);
// The DefaultTVAPP value of a list label, or 0 for a text that is no label.
int settingValueOfLabel(const char *label);
// The list index chosen at the last OK (or preselected), -1 before the first opening.
int settingListIndex();

// ---- the remote server's settings (server_settings.cpp) ------------------------------
// Reads "RemoteServer", "RemoteServerPort" and "RemoteServerAnyAddress" and, when
// the switch is 1, starts the server on the main window.
void startConfiguredServer(HWND window);
// The Setting dialog's check box: shown with the port, and on OK a changed switch
// saved and the server started or stopped.
void initServerCheckBox(HWND dialog);
void acceptServerCheckBox(HWND dialog);

// The Setting dialog's check box of the media keys ("MediaKeys", read with the
// server's values; on unless it says 0): shown, and on OK a change saved.
void initMediaKeysCheckBox(HWND dialog);
void acceptMediaKeysCheckBox(HWND dialog);

// ---- key maps (keymap_edit.cpp) --------------------------------------------------------------
// Reads the key maps and watches them for a saved change, which is read within
// three seconds; a change with problems is told in one box.
void startKeymaps(HWND window);
void stopKeymapWatch();
// "Edit key maps...": the user's file (created with a header and commented
// examples when missing) opened in Notepad.
void editKeymaps(HWND window);

void openAboutDialog(HWND owner);
void openSettingDialog(HWND owner);
// Modal; returns when the dialog has ended. Confirming runs ShutDownComputer.
void openShutdownDialog(HWND owner);
