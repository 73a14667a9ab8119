// The real programs on the bench's desktop, as the scenarios meet them: tunerkey.exe
// started and ended the way a person would, the simulated card's remote, and the
// stand-in applications installed under their registry install paths.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "qxtest.h"

namespace e2e
{

// ---- tunerkey.exe ---------------------------------------------------------------
struct Tunerkey {
    qxt::Child child;
    HWND window = NULL; // its hidden main window
};
// Starts tunerkey.exe and waits for its main window and tray icon.
bool startTunerkey(Tunerkey *run);
// Ends it through the tray menu's Exit command; its exit code, or -1 when it hung.
int exitTunerkey(Tunerkey *run);
bool stillRunning(const qxt::Child &child);

// ---- the simulated card's remote -----------------------------------------------------
// The card, opened once per process; INVALID_HANDLE_VALUE without the card.
HANDLE card();
// Key `code` down for `reads` receiver reads; false when the card refused.
bool press(int code, unsigned int reads = 1);
// Everything back to its start (keys up, no faults, log cleared).
bool resetCard();

// ---- stand-in applications --------------------------------------------------------
// The roles installed by scripts/standin-install.sh in their default folders.
struct App {
    const char *role;
    const char *windowClass; // or NULL: found by exact title
    const char *title;
};
extern const App PowerVcr, HomeTheater, Honestech, Tivra, WinDvd, WinRip;
// The log of an installed role (C:\Program Files\...\standin.log).
std::string logOf(const App &app);
// Its main window, or NULL when it does not run.
HWND windowOf(const App &app);
// Starts the installed copy, as a person would from its shortcut; its main window.
HWND launch(const App &app);
// Waits until the application has ended (its window gone).
bool waitForEnd(const App &app, DWORD ms = 5000);
// What reached the application from log line `from` on: keys, characters,
// commands and close requests, without activation, focus or markers.
std::vector<std::string> received(const App &app, size_t from = 0);
// Lines in the application's log so far (its log lives on across starts).
size_t logLength(const App &app);
// Waits for a line matching `pattern` (standin::matches) from line `from` on.
bool waitForLine(const App &app, const std::string &pattern, size_t from, DWORD ms = 2000);
// Ends whatever stand-ins still run (WM_CLOSE).
void closeAll();

// Pointer position, read the way the mouse emulation moves it.
POINT cursor();

// ---- a session with PowerVCR II ----------------------------------------------------
// The card reset, the PowerVCR II stand-in started as a person would, then
// tunerkey.exe: PowerVCR II runs, nothing is the target yet.
struct PowerVcrSession {
    Tunerkey run;
    HWND pvcr = NULL;
    std::string log; // PowerVCR II's
};
// What did not start, or "" when everything did.
std::string startPowerVcrSession(PowerVcrSession *session);

} // namespace e2e
