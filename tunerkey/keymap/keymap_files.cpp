// The two key map files: where they are, reading them, watching them for a saved
// change, and the sections in force. The program never writes either file once
// it exists; it only creates the user's when asked to.
#include "keymap/keymap.h"

#include "common/copy_text.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct MapFile {
    char path[MAX_PATH];
    bool placed; // a test set the path
    Keymap map;
    FileWatch watch;
};

MapFile Shipped = {"", false, {}, {}};
MapFile User = {"", false, {}, {}};
// What a read is parsed into before it replaces a map.
Keymap Staging;

// The sections in force: the user's first, then the shipped ones the user's do not hide.
struct ActiveEntry {
    const Keymap *map;
    int section;
};
ActiveEntry Active[KEYMAP_SECTION_LIMIT * 2];
int ActiveCount = 0;
// The file whose problems the last report was about.
const MapFile *Reported = NULL;

const char USER_FOLDER[] = "QX770 Utilities";
const char FALLBACK_USER_FILE[] = "keymap-user.ini";

// The name a file's problems are told under: its own file name.
const char *labelOf(const MapFile &file)
{
    return fileNameOf(file.path);
}

void rebuildActive()
{
    ActiveCount = 0;
    for (int i = 0; i < User.map.sectionCount; ++i)
        Active[ActiveCount++] = {&User.map, i};
    for (int i = 0; i < Shipped.map.sectionCount; ++i) {
        bool hidden = false;
        for (int k = 0; k < User.map.sectionCount && !hidden; ++k)
            hidden = namesEqual(User.map.sections[k].name, Shipped.map.sections[i].name);
        if (!hidden)
            Active[ActiveCount++] = {&Shipped.map, i};
    }
}

// The folder of the program's file, with its trailing backslash.
bool programFolder(char *path, size_t size)
{
    char module[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, module, sizeof module);
    if (n == 0 || n >= sizeof module)
        return false;
    size_t name = (size_t)(fileNameOf(module) - module);
    if (name == 0)
        return false;
    module[name] = '\0';
    return CopyText(path, size, module);
}

// The shell's application data folder. SHGetSpecialFolderPathA came with the
// shell of Internet Explorer 4 (98, and NT 4.0 with it): looked up at run time.
bool appDataFolder(char *path, size_t size)
{
    typedef BOOL(WINAPI * SpecialFolderPath)(HWND, LPSTR, int, BOOL);
    HMODULE shell = GetModuleHandleA("shell32.dll");
    if (shell == NULL)
        shell = LoadLibraryA("shell32.dll");
    SpecialFolderPath call =
        shell ? (SpecialFolderPath)(void (*)())GetProcAddress(shell, "SHGetSpecialFolderPathA") : NULL;
    char folder[MAX_PATH];
    const int CSIDL_APPDATA_FOLDER = 0x001a;
    if (call == NULL || !call(NULL, folder, CSIDL_APPDATA_FOLDER, FALSE) || folder[0] == '\0')
        return false;
    return CopyText(path, size, folder);
}

FileStamp stampOf(const char *path)
{
    FileStamp stamp = {};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return stamp;
    FindClose(search);
    stamp.exists = true;
    stamp.size = found.nFileSizeLow;
    stamp.written = found.ftLastWriteTime;
    return stamp;
}

bool sameStamp(const FileStamp &a, const FileStamp &b)
{
    return a.exists == b.exists && a.size == b.size && a.written.dwLowDateTime == b.written.dwLowDateTime &&
           a.written.dwHighDateTime == b.written.dwHighDateTime;
}

char FileBytes[KEYMAP_FILE_LIMIT + 1];

// Reads a file into Staging; a file that is gone reads as empty. False when it
// exists and cannot be opened or read (a program holds it while saving).
bool readInto(const char *path, Keymap *map)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return false;
        parseKeymap("", 0, map);
        return true;
    }
    // One byte beyond the limit tells a longer file from one that just fits.
    DWORD got = 0;
    BOOL ok = ReadFile(file, FileBytes, sizeof FileBytes, &got, NULL);
    CloseHandle(file);
    if (!ok)
        return false;
    parseKeymap(FileBytes, got, map);
    return true;
}

bool programFolderFile(char *path, size_t size, const char *name)
{
    return programFolder(path, size) && AppendText(path, size, name);
}

bool defaultUserPath(char *path, size_t size)
{
    char folder[MAX_PATH];
    if (!appDataFolder(folder, sizeof folder))
        return programFolderFile(path, size, FALLBACK_USER_FILE);
    size_t n = strlen(folder);
    if (n > 0 && folder[n - 1] != '\\')
        AppendText(folder, sizeof folder, "\\");
    return AppendText(folder, sizeof folder, USER_FOLDER) &&
           AppendText(folder, sizeof folder, "\\keymap.ini") && CopyText(path, size, folder);
}

bool ensurePath(MapFile *file, bool user)
{
    if (file->placed)
        return file->path[0] != '\0';
    return user ? defaultUserPath(file->path, sizeof file->path)
                : programFolderFile(file->path, sizeof file->path, "keymap.ini");
}

// Reads one file anew; true when its map was replaced.
bool reload(MapFile *file, const FileStamp &stamp)
{
    bool ok = readInto(file->path, &Staging);
    fileWatchRead(&file->watch, stamp, ok);
    if (!ok)
        return false;
    file->map = Staging;
    rebuildActive();
    return true;
}

} // namespace

bool userKeymapPath(char *path, size_t size)
{
    return ensurePath(&User, true) && CopyText(path, size, User.path);
}

void setKeymapPaths(const char *shipped, const char *user)
{
    MapFile *files[] = {&Shipped, &User};
    const char *paths[] = {shipped, user};
    for (int i = 0; i < 2; ++i) {
        files[i]->placed = paths[i] != NULL;
        if (!CopyText(files[i]->path, sizeof files[i]->path, paths[i] ? paths[i] : ""))
            files[i]->path[0] = '\0';
    }
}

static const char UserFileText[] =
    "; Your own key map for the QX770 remote. Sections here replace the shipped\r\n"
    "; sections of the same name (keymap.ini beside the program) and are matched first.\r\n"
    "; Saved changes apply within a few seconds.\r\n"
    ";\r\n"
    "; [Name]             one program\r\n"
    "; exe = a.exe, b.exe the program's file; class = ..., title = ... (* and ? wildcards)\r\n"
    "; match = running    any window of it, not only the foreground one\r\n"
    "; KEY_NAME = action  | repeat N delay D\r\n"
    "; actions: keys Ctrl+Shift+F, appcommand PLAY_PAUSE, command 889,\r\n"
    ";          media PLAY_PAUSE, launch \"path\" args, pointer up, none\r\n"
    ";\r\n"
    "; [My player]\r\n"
    "; exe = myplayer.exe\r\n"
    "; KEY_PLAYPAUSE = keys Space\r\n"
    "; KEY_VOLUMEUP = appcommand VOLUME_UP | repeat 2\r\n"
    ";\r\n"
    "; [Default]\r\n"
    "; KEY_RECORD = launch \"C:\\Program Files\\Recorder\\rec.exe\" /start\r\n";

bool createUserKeymap(const char *path)
{
    if (stampOf(path).exists)
        return true;
    char folder[MAX_PATH];
    if (!CopyText(folder, sizeof folder, path))
        return false;
    size_t name = (size_t)(fileNameOf(folder) - folder);
    if (name > 0) {
        folder[name - 1] = '\0';
        CreateDirectoryA(folder, NULL);
    }
    // CREATE_NEW: a file that appeared in between is the user's and stays as it is.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_EXISTS;
    DWORD written = 0;
    BOOL ok = WriteFile(file, UserFileText, sizeof UserFileText - 1, &written, NULL);
    CloseHandle(file);
    return ok && written == sizeof UserFileText - 1;
}

void loadKeymaps()
{
    MapFile *files[] = {&User, &Shipped};
    for (int i = 0; i < 2; ++i) {
        MapFile *file = files[i];
        memset(&file->watch, 0, sizeof file->watch);
        file->map.sectionCount = 0;
        file->map.problemCount = 0;
        if (!ensurePath(file, i == 0))
            continue;
        FileStamp stamp = stampOf(file->path);
        reload(file, stamp);
        file->watch.seen = stamp;
    }
    rebuildActive();
    Reported = User.map.problemCount > 0 ? &User : &Shipped;
}

KeymapReload checkKeymaps()
{
    KeymapReload result = {false, false};
    MapFile *files[] = {&User, &Shipped};
    for (MapFile *file : files) {
        if (file->path[0] == '\0' || !fileWatchDue(&file->watch))
            continue;
        FileStamp stamp = stampOf(file->path);
        if (!fileWatchStep(&file->watch, stamp) || !reload(file, stamp))
            continue;
        if (!result.read) {
            result.read = true;
            result.problems = file->map.problemCount > 0;
            Reported = file;
        }
    }
    return result;
}

void keymapProblemsText(char *out, size_t size)
{
    out[0] = '\0';
    if (Reported == NULL)
        return;
    const Keymap &map = Reported->map;
    int shown = map.problemCount < KEYMAP_PROBLEM_LIMIT ? map.problemCount : KEYMAP_PROBLEM_LIMIT;
    char line[220];
    for (int i = 0; i < shown; ++i) {
        if (map.problems[i].line > 0)
            snprintf(line, sizeof line, "%s line %d: %s\n", labelOf(*Reported), map.problems[i].line,
                     map.problems[i].text);
        else
            snprintf(line, sizeof line, "%s: %s\n", labelOf(*Reported), map.problems[i].text);
        AppendText(out, size, line);
    }
    if (map.problemCount > shown) {
        snprintf(line, sizeof line, "... and %d more.\n", map.problemCount - shown);
        AppendText(out, size, line);
    }
}

int activeSectionCount()
{
    return ActiveCount;
}

const KeymapSection &activeSection(int index)
{
    return Active[index].map->sections[Active[index].section];
}

const Keymap &activeKeymapOf(int index)
{
    return *Active[index].map;
}

const KeymapSection *activeSectionNamed(const char *name)
{
    for (int i = 0; i < ActiveCount; ++i) {
        const KeymapSection &s = activeSection(i);
        if (s.kind != SECTION_PROGRAM && namesEqual(s.name, name))
            return &s;
    }
    return NULL;
}

const KeymapSection *activeOverlayOf(const char *settingLabel)
{
    const KeymapSection *s = activeSectionNamed(overlayNameOf(settingLabel));
    return s ? s : activeSectionNamed(settingLabel);
}

bool runningSectionsBind(int code)
{
    for (int i = 0; i < ActiveCount; ++i) {
        const KeymapSection &s = activeSection(i);
        if (s.running && bindingOf(s, code) != NULL)
            return true;
    }
    return false;
}

// ---- the watch's rule ----------------------------------------------------------------------
bool fileWatchDue(FileWatch *watch)
{
    // Every other tick of the one-second timer, but the tick right after a change
    // was seen: so a save is confirmed a second after it is noticed.
    watch->ticks++;
    return watch->pending || watch->ticks % 2 == 0;
}

bool fileWatchStep(FileWatch *watch, const FileStamp &now)
{
    bool steady = sameStamp(now, watch->seen);
    watch->seen = now;
    if (!watch->pending && sameStamp(now, watch->applied))
        return false;
    watch->pending = true;
    return steady;
}

void fileWatchRead(FileWatch *watch, const FileStamp &now, bool readOk)
{
    if (!readOk)
        return;
    watch->applied = now;
    watch->pending = false;
}
