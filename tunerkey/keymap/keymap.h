// Key maps: which program a remote key goes to beyond the supported applications,
// and what it does there. Text files the user writes (INI syntax, read by a parser
// of our own), the pure decision of a press's route, and the thin Win32 around
// them: the files' places and their watch, and the program a window belongs to.
// It sits below the keys and calls nothing of the keys or the shell.
#pragma once
#include <windows.h>

#include <stddef.h>

// ---- bounds ---------------------------------------------------------------------------
const int KEYMAP_FILE_LIMIT = 65536; // bytes of one file that are read
const int KEYMAP_SECTION_LIMIT = 64;
const int KEYMAP_BINDING_LIMIT = 32; // per section
const int KEYMAP_PROBLEM_LIMIT = 8;  // problems kept with their text; the rest are counted
const int KEYMAP_CODE_COUNT = 32;    // the codes a key map may bind: 0 to 31

// ---- one file as records (keymap_parse.cpp) -----------------------------------------------
enum KeymapActionKind {
    ACTION_NONE,       // the key does nothing in this program
    ACTION_KEYS,       // a chord typed into the program
    ACTION_APPCOMMAND, // WM_APPCOMMAND posted to the window
    ACTION_COMMAND,    // WM_COMMAND posted to the window
    ACTION_MEDIA,      // a keyboard media key
    ACTION_LAUNCH,     // a program started
    ACTION_POINTER,    // the pointer, as the mouse emulation moves and clicks it
};

const int KEYMAP_MODIFIER_LIMIT = 3;
const int KEYMAP_COMMAND_LINE_SIZE = 520; // a launch: "path" and its arguments

struct KeymapAction {
    KeymapActionKind kind;
    // ACTION_APPCOMMAND: the APPCOMMAND_ number; ACTION_COMMAND: the command id;
    // ACTION_MEDIA: the virtual key; ACTION_POINTER: the mouse emulation's key code.
    int value;
    // ACTION_KEYS: the modifiers in the order pressed, and the key.
    BYTE modifiers[KEYMAP_MODIFIER_LIMIT];
    int modifierCount;
    BYTE key;
    // ACTION_LAUNCH: offset of its command line in the map's text.
    int text;
};

// How often a held key acts: on the first read, then on every `every`th repeat
// after the first `delay` repeats; `every` 0 is once per press.
struct KeymapPace {
    int every;
    int delay;
};

struct KeymapBinding {
    int code;
    int line;
    KeymapAction action;
    KeymapPace pace;
};

enum KeymapSectionKind {
    SECTION_PROGRAM, // found by its criteria
    SECTION_OVERLAY, // changes single keys of a supported application (named as in the Setting list)
    SECTION_DEFAULT, // [Default]: what no other program takes
};

const int KEYMAP_NAME_SIZE = 64;
const int KEYMAP_PATTERN_SIZE = 128;

struct KeymapSection {
    char name[KEYMAP_NAME_SIZE];
    int line;
    KeymapSectionKind kind;
    bool running; // match = running: any top-level window of the program, not just the foreground
    // Criteria, each empty when not given: exe names (a comma list), class, title;
    // `*` and `?` wildcards, case-insensitive. All that are given must hold.
    char exe[KEYMAP_PATTERN_SIZE * 2];
    char windowClass[KEYMAP_PATTERN_SIZE];
    char title[KEYMAP_PATTERN_SIZE];
    int bindingCount;
    KeymapBinding bindings[KEYMAP_BINDING_LIMIT];
};

struct KeymapProblem {
    int line; // 0 for the file as a whole
    char text[160];
};

struct Keymap {
    int sectionCount;
    KeymapSection sections[KEYMAP_SECTION_LIMIT];
    int problemCount; // every problem found; the first KEYMAP_PROBLEM_LIMIT are kept
    KeymapProblem problems[KEYMAP_PROBLEM_LIMIT];
    int textUsed;
    char text[KEYMAP_FILE_LIMIT]; // the launch command lines
};

// Reads one file's bytes (ANSI, UTF-8 with or without a byte-order mark, UTF-16LE
// with one) into `map` (pure). Bad lines are named and skipped, good ones kept; a
// section with a bad header, or a program section with no criteria, is skipped
// whole so that its keys cannot reach another program. Bytes beyond
// KEYMAP_FILE_LIMIT are named as a problem, not read.
void parseKeymap(const char *bytes, size_t size, Keymap *map);
// The binding of `code` in the section, or NULL.
const KeymapBinding *bindingOf(const KeymapSection &section, int code);
// Names of sections, keys, criteria and actions compare without regard to ASCII case.
bool namesEqual(const char *a, const char *b);
// A launch's command line.
const char *launchCommandOf(const Keymap &map, const KeymapAction &action);
// The names of the sections that change single keys of the supported applications
// (their Setting list entries); `[Default]` is not among them.
bool isOverlayName(const char *name);
// The overlay section's name of the application with this Setting list entry.
const char *overlayNameOf(const char *settingLabel);

// ---- routing (keymap_route.cpp, pure) ---------------------------------------------------
// Where one press goes, in the order that decides it.
enum RouteStep {
    ROUTE_PROMPT,     // the open Shut Down dialog
    ROUTE_OWN,        // the power key and key 15: their own meaning, as without a key map
    ROUTE_FOREGROUND, // the foreground program's section
    ROUTE_OVERLAY,    // the supported application that is the target, one key changed
    ROUTE_TARGET,     // the supported application that is the target
    ROUTE_RUNNING,    // a match = running section whose program has a window
    ROUTE_PROBE,      // a supported application found running becomes the target
    ROUTE_DEFAULT,    // [Default]
    ROUTE_MEDIA,      // the keyboard media keys
    ROUTE_POINTER,    // the mouse emulation
    // A fact the decision needs next; the caller finds it and asks again.
    ROUTE_NEED_FOREGROUND,
    ROUTE_NEED_RUNNING,
    ROUTE_NEED_PROBE,
};

// What is known of a press. Facts that cost a window search start unknown.
struct BindingFact {
    bool known;
    const KeymapBinding *binding; // NULL: nothing binds the key there
};
struct RouteFacts {
    int code;
    bool promptOpen;
    bool targetActive;
    const KeymapBinding *overlay;  // the target's overlay binding of the code
    BindingFact foreground;        // the foreground program's section
    BindingFact running;           // the first running section binding the code
    int probe;                     // -1 unknown, 0 no supported application runs, 1 one does
    const KeymapBinding *fallback; // [Default]'s binding of the code
    bool mediaKeysOn;              // the "MediaKeys" setting
    bool clientsConnected;         // a program takes the remote from the server
};
RouteStep chooseRoute(const RouteFacts &facts);

// The media layer: the keys that do nothing for the pointer and have a keyboard
// media key (play/pause, stop, next, previous, volume, mute); NULL for any other code.
const KeymapBinding *mediaLayerBinding(int code);
// Whether the read `repeatCount` of a press (0 the first) acts at this pace.
bool paceActs(const KeymapPace &pace, int repeatCount);

// The window facts a section's criteria are held against.
struct WindowFacts {
    const char *exe; // the base name of the program's file; "" when unknown, NULL when not looked up
    const char *windowClass;
    const char *title;
};
// A section without criteria matches nothing.
bool sectionMatches(const KeymapSection &section, const WindowFacts &window);
// Whether a section names the program's file, so that the caller must find it.
bool sectionNeedsExe(const KeymapSection &section);
// `*` any run of characters, `?` one; case-insensitive for ASCII letters.
bool wildcardMatch(const char *pattern, const char *text);

// ---- the loaded maps (keymap_files.cpp) -----------------------------------------------------
// The shipped map (keymap.ini beside the program) and the user's, held by this room.
// The user's sections come first and hide the shipped sections of the same name.
int activeSectionCount();
const KeymapSection &activeSection(int index);
const Keymap &activeKeymapOf(int index);
// The first active overlay or [Default] section of that name, or NULL.
const KeymapSection *activeSectionNamed(const char *name);
// The overlay section of the application with this Setting list entry, under its
// name or under the entry itself; NULL for none.
const KeymapSection *activeOverlayOf(const char *settingLabel);
// Whether some active section binds `code` with match = running.
bool runningSectionsBind(int code);

// The user's file: %APPDATA%\QX770 Utilities\keymap.ini, or keymap-user.ini beside
// the program where the system has no application data folder (the shipped one is
// keymap.ini beside the program). False when it cannot be named.
bool userKeymapPath(char *path, size_t size);
// Creates the user's file with a short header and commented examples unless it
// exists (and its folder); true when the file is there afterwards.
bool createUserKeymap(const char *path);

// What a file's check found.
struct KeymapReload {
    bool read;     // the file was read anew (or found gone) and its map replaced
    bool problems; // ... and it has problems worth a box
};
// Reads both files now (at start-up), without waiting for a change.
void loadKeymaps();
// One check of the files (every two seconds): a file is read again once its size
// and time have changed and then stayed the same over two checks; while it cannot
// be opened (locked) its old map stays. Reports the user's file first.
KeymapReload checkKeymaps();
// The box text for the problems of the file last reported: up to KEYMAP_PROBLEM_LIMIT
// lines "NAME line N: text", then the count of the rest.
void keymapProblemsText(char *out, size_t size);
// The places of the files; tests point them elsewhere. NULL keeps the program's.
void setKeymapPaths(const char *shipped, const char *user);

// The watch's rule (pure): one check of a file's stamp.
struct FileStamp {
    bool exists;
    DWORD size;
    FILETIME written;
};
struct FileWatch {
    FileStamp applied; // the stamp of what the map holds
    FileStamp seen;    // the stamp of the previous check
    bool pending;      // a change seen and not yet read
    int ticks;         // ticks of the one-second watch timer
};
// Whether this tick of the one-second watch timer checks the file: every other
// tick, and each tick while a change waits to be confirmed or read.
bool fileWatchDue(FileWatch *watch);
// True when the file is to be read now: changed from what the map holds and the
// same as at the previous check.
bool fileWatchStep(FileWatch *watch, const FileStamp &now);
// After a read: success makes the stamp the map's; a failed open keeps it pending.
void fileWatchRead(FileWatch *watch, const FileStamp &now, bool readOk);

// ---- the program a window belongs to (window_exe.cpp) ---------------------------------------
// The base name of the file of the process that owns `window` ("" when unknown).
// Toolhelp where the system has it (98, ME, 2000 on), psapi on NT 4.0, both looked
// up at run time; remembered per process for a few seconds.
void exeOfWindow(HWND window, char *exe, size_t size);
// The two ways, for a process id; false when the way is missing or finds nothing.
bool exeByToolhelp(DWORD processId, char *exe, size_t size);
bool exeByPsapi(DWORD processId, char *exe, size_t size);
// The file name at the end of a path: what follows its last backslash.
const char *fileNameOf(const char *path);
// The window whose section a foreground press uses: the root owner of the foreground window.
HWND rootOwner(HWND window);
