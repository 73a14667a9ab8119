// The program a window belongs to: the file name of its process.
#include "keymap/keymap.h"

#include "common/ansi_chars.h"
#include "common/copy_text.h"

#include <tlhelp32.h>

#include <string.h>

namespace
{

// A process's name stays while it runs; a few seconds spares a press the process
// walk, and a process id the system gives to a new program is soon looked up anew.
// One walk remembers every process it passes: a search of the running windows
// then costs one walk, not one for each program.
const DWORD REMEMBER_MS = 5000;
const int REMEMBERED = 64;
struct Remembered {
    DWORD processId;
    DWORD at;
    char exe[64];
};
Remembered Known[REMEMBERED];
int NextKnown = 0;

// A name cut short could match another program's: false then.
bool baseNameInto(const char *path, char *exe, size_t size)
{
    return CopyText(exe, size, fileNameOf(path));
}

void remember(DWORD processId, const char *exe)
{
    Remembered *slot = &Known[NextKnown];
    for (Remembered &r : Known)
        if (r.processId == processId)
            slot = &r;
    if (slot == &Known[NextKnown])
        NextKnown = (NextKnown + 1) % REMEMBERED;
    slot->processId = processId;
    slot->at = GetTickCount();
    CopyText(slot->exe, sizeof slot->exe, exe);
}

const Remembered *remembered(DWORD processId)
{
    DWORD now = GetTickCount();
    for (const Remembered &r : Known)
        if (r.processId == processId && now - r.at < REMEMBER_MS)
            return &r;
    return NULL;
}

// Loaded on the first look-up, kept for the run.
HMODULE Psapi = NULL;
bool PsapiTried = false;

} // namespace

// Toolhelp: 95, 98, ME and 2000 on; NT 4.0's kernel32 lacks it. On Windows 9x the
// entry holds the whole path, on the NT family the file name.
bool exeByToolhelp(DWORD processId, char *exe, size_t size)
{
    typedef HANDLE(WINAPI * Snapshot)(DWORD, DWORD);
    typedef BOOL(WINAPI * Walk)(HANDLE, PROCESSENTRY32 *);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    Snapshot snapshot = (Snapshot)(void (*)())GetProcAddress(kernel, "CreateToolhelp32Snapshot");
    Walk first = (Walk)(void (*)())GetProcAddress(kernel, "Process32First");
    Walk next = (Walk)(void (*)())GetProcAddress(kernel, "Process32Next");
    if (snapshot == NULL || first == NULL || next == NULL)
        return false;
    HANDLE all = snapshot(TH32CS_SNAPPROCESS, 0);
    if (all == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    char name[64];
    for (BOOL more = first(all, &entry); more; entry.dwSize = sizeof entry, more = next(all, &entry)) {
        entry.szExeFile[sizeof entry.szExeFile - 1] = '\0';
        if (!baseNameInto(entry.szExeFile, name, sizeof name) || name[0] == '\0')
            continue;
        remember(entry.th32ProcessID, name);
        if (entry.th32ProcessID == processId)
            found = CopyText(exe, size, name);
    }
    CloseHandle(all);
    return found;
}

// psapi.dll: NT 4.0's way (it ships with the system from 2000 on, and as a
// redistributable for NT 4.0).
bool exeByPsapi(DWORD processId, char *exe, size_t size)
{
    typedef DWORD(WINAPI * BaseName)(HANDLE, HMODULE, LPSTR, DWORD);
    if (!PsapiTried) {
        Psapi = LoadLibraryA("psapi.dll");
        PsapiTried = true;
    }
    BaseName baseName = Psapi ? (BaseName)(void (*)())GetProcAddress(Psapi, "GetModuleBaseNameA") : NULL;
    if (baseName == NULL)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    if (process == NULL)
        return false;
    char name[MAX_PATH];
    DWORD n = baseName(process, NULL, name, sizeof name);
    CloseHandle(process);
    if (n == 0 || n >= sizeof name)
        return false;
    name[n] = '\0';
    return CopyText(exe, size, name);
}

void exeOfWindow(HWND window, char *exe, size_t size)
{
    exe[0] = '\0';
    DWORD processId = 0;
    if (window == NULL || GetWindowThreadProcessId(window, &processId) == 0 || processId == 0)
        return;
    const Remembered *known = remembered(processId);
    if (known != NULL) {
        CopyText(exe, size, known->exe);
        return;
    }
    char found[64];
    if (exeByToolhelp(processId, found, sizeof found) || exeByPsapi(processId, found, sizeof found)) {
        remember(processId, found);
        CopyText(exe, size, found);
    }
}

const char *fileNameOf(const char *path)
{
    const char *name = path;
    for (const char *c = path; *c; c += CharSize(c) > 1 ? 2 : 1)
        if (*c == '\\')
            name = c + 1;
    return name;
}

HWND rootOwner(HWND window)
{
    // GetAncestor's GA_ROOTOWNER is missing on NT 4.0: the owner chain instead,
    // bounded against a chain that loops.
    for (int step = 0; window != NULL && step < 32; ++step) {
        HWND owner = GetWindow(window, GW_OWNER);
        if (owner == NULL)
            break;
        window = owner;
    }
    return window;
}
