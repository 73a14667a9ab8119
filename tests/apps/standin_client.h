// Driving the stand-in applications from a test: installing them where tunerkey
// looks, starting them, and reading what they logged.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "qxtest.h"

namespace standin
{

// Where each application is registered and what its executable is called.
struct RoleInstall {
    const char *role;
    const char *key; // under HKEY_LOCAL_MACHINE
    const char *value;
    const char *exe;
};
const RoleInstall *roleInstall(const char *role);

// Copies standin.exe into `dir` under the role's executable name, writes the
// standin.ini beside it (role, log = dir\standin.log, then `extraIni` lines) and
// points the role's registry value at `dir`. False on any failure.
bool install(const char *role, const std::string &dir, const std::vector<std::string> &extraIni = {});
std::string logOf(const std::string &dir);

struct Running;
void stop(Running *r);

// A started stand-in; stopped at the end of its scope, so that a failed
// assertion leaves no window behind for the next test to find.
struct Running {
    qxt::Child child;
    std::string log;
    HWND window = NULL; // its main window
    Running() = default;
    Running(const Running &) = delete;
    Running &operator=(const Running &) = delete;
    ~Running() { stop(this); }
};

// Starts standin.exe with `args` (e.g. "--role powervcr --video") logging to `log`
// (deleted first), and waits for its main window. False when it did not come up.
// With `exe`, a copy of it under that path is started (a program known by its file).
bool start(const std::string &args, const std::string &log, Running *r, const std::string &exe = "");
// Waits for `exe` started some other way to show its main window, by the log's
// START line and the process id in it.
HWND waitForMainWindow(const std::string &log, DWORD ms = 5000);
// Closes the stand-in (WM_CLOSE) and waits for its end; kills it if need be.
void stop(Running *r);

std::vector<std::string> lines(const std::string &log);
// Lines of the log from line `from` on, leaving out those that start with any of
// `skip` (e.g. "ACTIVE", "FOCUS").
std::vector<std::string> linesFrom(const std::string &log, size_t from,
                                   const std::vector<std::string> &skip = {});
bool waitForLine(const std::string &log, const std::string &line, DWORD ms = 5000);
// Posts a marker to `window` and waits until the log shows it: everything posted
// to the stand-in before the marker has then been logged.
bool sync(HWND window, const std::string &log);

// Does `line` match `pattern`? Blank-separated fields; "*" in the pattern matches
// any one field.
bool matches(const std::string &line, const std::string &pattern);

} // namespace standin
