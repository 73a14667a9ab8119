// Fixtures for the uninstaller's tests: the INI file, fake devices, the package's
// registry traces, and the uninstaller program driven through its dialog.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "qxtest.h"

namespace sweep
{

std::string windowsDir();
// Writes C:\windows\TVQ7Drv.ini (or removes it when `text` is empty).
void writeIni(const std::string &text);

// A present device with one hardware ID, registered through the device installer;
// with a driver key ("{guid}\\0000" below the class root, or "MEDIA\\0000" on
// Windows 9x) and a service when given, as an installed driver leaves them.
bool addDevice(const std::string &instanceId, const std::string &hardwareId, const char *driverKey = NULL,
               const char *service = NULL);
// The driver key of a class subkey of the NT media class: "{4D36E96C-...}\\NAME".
std::string mediaDriverKey(const char *subkey);
// Wine lists every device as present (it ignores DIGCF_PRESENT). With this list
// in the program's place, a device whose key carries "Phantom" (see
// markNotPresent) is left out of present-only lists, as Windows leaves out a
// device that is not plugged in.
PVOID WINAPI presentAwareDeviceList(const GUID *cls, PCSTR enumerator, HWND parent, DWORD flags);
void markNotPresent(const std::string &instanceId);
// Runs `command` (a program of the prefix) and waits for it.
bool runAndWait(const std::string &command, DWORD ms);
// A restart of Windows as far as the prefix goes: the simulated card's driver
// host ends (so its file is free) and "wineboot -r" carries out what was
// scheduled for the next start.
bool restartPrefix();
std::vector<std::string> presentHardwareIds();

extern const char MediaClassKey[];   // sound, video and game controllers (NT)
extern const char ImagingClassKey[]; // imaging devices (NT)
extern const char MediaClass9xKey[];
extern const char UninstallKey[];
// A class subkey with a driver description and, when given, an INF path.
void addClassSubkey(const char *classKey, const char *name, const char *desc, const char *infPath = NULL);
// A service key as a driver's setup writes it: a kernel driver, with an
// "ImagePath" and a "DependOnService" list when given.
void addService(const char *name, const char *imagePath = NULL, const char *dependsOn = NULL);
// A REG_MULTI_SZ value ("UpperFilters" of a class key, say) of the names given.
void setNameList(const std::string &keyPath, const char *value, const std::vector<std::string> &names);
std::vector<std::string> nameList(const std::string &keyPath, const char *value);
// The package's Uninstall entry, in registry view `view` (0: the one the programs under test see).
void addUninstallEntry(const char *keyName, const char *displayName, REGSAM view = 0);
// A file with some content in a folder of the Windows directory ("" for itself).
std::string addWindowsFile(const std::string &folder, const std::string &name);

// Before-and-after state of everything the uninstaller may touch.
struct World {
    qxt::Snapshot system, software, windows;
};
World snapshotWorld();
// Entries removed between two states; fails the test on anything added or changed
// outside `allowedChanges` (prefixes).
std::vector<std::string> removedEntries(const World &before, const World &after, const char *changed = NULL);
// The removed keys and files, without their values, contents and subtrees.
// An entry changed on purpose (a value rewritten) is named by `changed`.
std::set<std::string> removedRoots(const World &before, const World &after, const char *changed = NULL);
// Fails the test unless exactly `expected` was removed; roots beginning with
// `ignored` (device keys the device installer owns) are left out.
void expectRemoved(const std::set<std::string> &roots, const std::set<std::string> &expected,
                   const char *ignored = NULL);

// One run of drvsweep.exe through its dialog.
struct SweepRun {
    bool dialogShown = false;
    std::string caption, runTip, okText;
    bool barShownBeforeOk = false;
    std::vector<int> positions; // progress positions seen during the run
    bool finalBox = false;
    std::string finalText;
    int exitCode = -1;
};
// Starts the program; with `pressOk`, presses OK and answers the final message.
SweepRun runSweep(const char *title, bool pressOk = true);
// A message box titled `title` shown by the program before any dialog.
std::string runExpectingWarning(const char *title);

} // namespace sweep
