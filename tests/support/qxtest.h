// Test support for the Windows side: dialogs and message boxes found and driven
// by caption, a window that records what it receives, child processes, registry
// and file fixtures, and before-and-after snapshots: one header for all of them,
// each section defined in the file named in its heading.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace qxt
{

// ---- paths (paths.cpp) -----------------------------------------------------
// Folder of the running test program (no trailing backslash).
std::string testDir();
// A program of the test's own build: build/<arch>/bin/<name>.
std::string programPath(const char *name);
// A shipped program under test (tunerkey.exe, drvsweep.exe): from the folder the
// bench names in QX_BIN, which may be the other build's.
std::string programUnderTest(const char *name);
// True when the programs under test are 32-bit ones and this test is 64-bit: they
// run under WOW64 and see the 32-bit registry view.
bool underWow64();
// A fresh, empty folder under %TEMP%.
std::string makeTempDir(const char *tag);

// ---- waiting and messages (messages.cpp) --------------------------------------
// Dispatches this thread's messages for `ms` milliseconds.
void pumpMessages(DWORD ms);
// Polls `cond` (pumping messages meanwhile) until it holds or `ms` pass.
template <typename F> bool waitUntil(F cond, DWORD ms = 5000)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        pumpMessages(10);
    }
}

// ---- dialogs and message boxes (dialogs.cpp) -----------------------------------
// The visible top-level window of `cls` (NULL for any) titled `caption`, waiting
// up to `ms`. A dialog can be found before WM_INITDIALOG ends, hence "visible".
HWND waitForWindow(const char *cls, const char *caption, DWORD ms = 5000);
// A dialog or message box (class #32770) by caption.
HWND waitForDialog(const char *caption, DWORD ms = 5000);
bool waitForGone(HWND w, DWORD ms = 5000);
std::string windowText(HWND w);
std::string controlText(HWND dlg, int id);
std::string className(HWND w);
// A message box's text (its static control 0xFFFF).
std::string messageBoxText(HWND box);
// Presses a button: WM_COMMAND/BN_CLICKED posted to the dialog, so that a modal
// loop the click starts never blocks the test.
bool pressButton(HWND dlg, int id);
// Combo boxes: entries, current selection, and a pick followed by CBN_SELCHANGE.
std::vector<std::string> comboEntries(HWND dlg, int id);
int comboSelection(HWND dlg, int id);
bool pickComboEntry(HWND dlg, int id, int index);

// ---- a window that records what it receives (recorder.cpp) ---------------------
struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class MessageRecorder
{
  public:
    // Creates a top-level window of class `cls` titled `title` on this thread.
    // `visible` shows it (some targets are looked for among visible windows).
    MessageRecorder(const char *cls, const char *title, bool visible = false);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    HWND hwnd() const { return hwnd_; }
    // Everything received, in order, optionally only message `msg`.
    std::vector<Received> received(UINT msg = 0) const;
    bool waitFor(UINT msg, DWORD ms = 5000);
    void clear() { log_.clear(); }

  private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = NULL;
    std::string cls_;
    std::vector<Received> log_;
};

// ---- child processes (processes.cpp) -------------------------------------------
struct Child {
    HANDLE process = NULL;
    DWORD pid = 0;
};
// Starts `cmdline` (in `dir` when given, with `show` as its first show command when
// not -1, as a shell link gives one); false when it could not start, with the
// reason printed.
bool startProcess(const std::string &cmdline, Child *child, const char *dir = NULL, int show = -1);
// Waits for the end of `child`; its exit code, or -1 on time-out (the child is then killed).
int waitProcess(Child *child, DWORD ms = 10000);
// Runs `cmdline` to its end, collecting its standard output; the exit code or -1.
int runProgram(const std::string &cmdline, std::string *output = NULL, DWORD ms = 30000);

// ---- registry fixtures (registry.cpp) ------------------------------------------
// Each opens the keys in `view`; 0 is the view the programs under test see
// (the 32-bit one when underWow64).
// The supported applications are 32-bit programs: their installers write the 32-bit
// view on a 64-bit system, and both builds of tunerkey read them there.
const REGSAM ApplicationsView = KEY_WOW64_32KEY;
bool regSetString(HKEY root, const char *path, const char *name, const std::string &value, REGSAM view = 0);
bool regSetDword(HKEY root, const char *path, const char *name, DWORD value, REGSAM view = 0);
bool regGetString(HKEY root, const char *path, const char *name, std::string *value, REGSAM view = 0);
bool regGetDword(HKEY root, const char *path, const char *name, DWORD *value, REGSAM view = 0);
bool regKeyExists(HKEY root, const char *path, REGSAM view = 0);
bool regValueExists(HKEY root, const char *path, const char *name, REGSAM view = 0);
bool regDeleteTree(HKEY root, const char *path, REGSAM view = 0);
bool regDeleteValue(HKEY root, const char *path, const char *name, REGSAM view = 0);

// ---- file fixtures (files.cpp) -------------------------------------------------
bool writeFile(const std::string &path, const std::string &content);
bool readFile(const std::string &path, std::string *content);
bool fileExists(const std::string &path);
bool makeDirs(const std::string &path);
bool removeTree(const std::string &path);

// ---- text (text.cpp) -----------------------------------------------------------
// The fields of `text` from offset `from` on, cut at each blank (two blanks give
// an empty field).
std::vector<std::string> splitAtBlanks(const std::string &text, size_t from = 0);

// ---- sockets (ports.cpp, once Winsock is started) ------------------------------
// A loopback port no other program has now: other prefixes share the machine's.
unsigned short freePort();

// ---- snapshots (snapshots.cpp) -------------------------------------------------
// Key or value name -> a printable form of its content. Registry entries are
// "KEY" for a key and "KEY\\:name" for a value; file entries are relative paths,
// with a trailing backslash for folders.
typedef std::map<std::string, std::string> Snapshot;
Snapshot snapshotRegistry(HKEY root, const char *path);
Snapshot snapshotDirectory(const std::string &dir);

struct SnapshotDiff {
    std::vector<std::string> added, removed, changed;
    bool empty() const { return added.empty() && removed.empty() && changed.empty(); }
};
SnapshotDiff diffSnapshots(const Snapshot &before, const Snapshot &after);
// A readable account of a diff, for assertion messages.
std::string describe(const SnapshotDiff &d);

} // namespace qxt
