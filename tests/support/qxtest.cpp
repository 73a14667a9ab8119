#include "qxtest.h"

#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

namespace qxt {

// ---- paths -----------------------------------------------------------------

std::string testDir()
{
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, buf, sizeof buf);
    std::string p(buf, n < sizeof buf ? n : 0);
    size_t slash = p.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : p.substr(0, slash);
}

std::string programPath(const char *name)
{
    // Tests live in build/<arch>/tests, programs in build/<arch>/bin.
    return testDir() + "\\..\\bin\\" + name;
}

std::string makeTempDir(const char *tag)
{
    char base[MAX_PATH];
    GetTempPathA(sizeof base, base);
    static unsigned serial = 0;
    for (;;) {
        char dir[MAX_PATH];
        snprintf(dir, sizeof dir, "%sqx-%s-%lu-%u", base, tag, GetCurrentProcessId(), ++serial);
        if (CreateDirectoryA(dir, NULL))
            return dir;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return std::string();
    }
}

// ---- waiting and messages -----------------------------------------------------

void pumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        DWORD left = ms - (GetTickCount() - start);
        if (GetTickCount() - start >= ms)
            break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, left < 5 ? left : 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

HWND waitForWindow(const char *cls, const char *caption, DWORD ms)
{
    HWND found = NULL;
    waitUntil(
        [&] {
            HWND w = FindWindowA(cls, caption);
            if (w && IsWindowVisible(w))
                found = w;
            return found != NULL;
        },
        ms);
    return found;
}

HWND waitForDialog(const char *caption, DWORD ms) { return waitForWindow("#32770", caption, ms); }

bool waitForGone(HWND w, DWORD ms)
{
    return waitUntil([&] { return !IsWindow(w); }, ms);
}

std::string windowText(HWND w)
{
    char buf[1024];
    buf[0] = '\0';
    // WM_GETTEXT rather than GetWindowText: it reads controls of other processes too.
    SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, (LPARAM)buf, SMTO_ABORTIFHUNG, 2000, NULL);
    buf[sizeof buf - 1] = '\0';
    return buf;
}

std::string controlText(HWND dlg, int id) { return windowText(GetDlgItem(dlg, id)); }

std::string className(HWND w)
{
    char buf[256];
    int n = GetClassNameA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? n : 0);
}

std::string messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

bool pressButton(HWND dlg, int id)
{
    HWND b = GetDlgItem(dlg, id);
    if (!b)
        return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)b) != 0;
}

std::vector<std::string> comboEntries(HWND dlg, int id)
{
    std::vector<std::string> out;
    HWND c = GetDlgItem(dlg, id);
    LRESULT n = SendMessageA(c, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; i++) {
        char buf[512];
        LRESULT len = SendMessageA(c, CB_GETLBTEXTLEN, i, 0);
        if (len < 0 || len >= (LRESULT)sizeof buf)
            continue;
        SendMessageA(c, CB_GETLBTEXT, i, (LPARAM)buf);
        out.push_back(buf);
    }
    return out;
}

int comboSelection(HWND dlg, int id) { return (int)SendMessageA(GetDlgItem(dlg, id), CB_GETCURSEL, 0, 0); }

bool pickComboEntry(HWND dlg, int id, int index)
{
    HWND c = GetDlgItem(dlg, id);
    if (!c || SendMessageA(c, CB_SETCURSEL, index, 0) != index)
        return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)c) != 0;
}

// ---- a window that records what it receives ------------------------------------

MessageRecorder::MessageRecorder(const char *cls, const char *title, bool visible) : cls_(cls)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = cls;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    RegisterClassA(&wc); // may exist already from an earlier recorder
    hwnd_ = CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 10, 10, 320,
                            240, NULL, NULL, wc.hInstance, this);
}

MessageRecorder::~MessageRecorder()
{
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    UnregisterClassA(cls_.c_str(), GetModuleHandleA(NULL));
}

LRESULT CALLBACK MessageRecorder::proc(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        CREATESTRUCTA *cs = (CREATESTRUCTA *)lp;
        SetWindowLongPtrA(w, GWLP_USERDATA, (LONG_PTR)cs->lpCreateParams);
    }
    MessageRecorder *self = (MessageRecorder *)GetWindowLongPtrA(w, GWLP_USERDATA);
    if (self) {
        Received r = {msg, wp, lp};
        self->log_.push_back(r);
    }
    // Recorded, not acted on: a WM_CLOSE must not destroy the window under test.
    if (msg == WM_CLOSE || msg == WM_DESTROY)
        return 0;
    return DefWindowProcA(w, msg, wp, lp);
}

std::vector<Received> MessageRecorder::received(UINT msg) const
{
    std::vector<Received> out;
    for (const Received &r : log_)
        if (msg == 0 || r.msg == msg)
            out.push_back(r);
    return out;
}

bool MessageRecorder::waitFor(UINT msg, DWORD ms)
{
    return waitUntil([&] { return !received(msg).empty(); }, ms);
}

// ---- child processes -----------------------------------------------------------

bool startProcess(const std::string &cmdline, Child *child, const char *dir)
{
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back('\0');
    if (!CreateProcessA(NULL, cmd.data(), NULL, NULL, FALSE, 0, NULL, dir, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    child->process = pi.hProcess;
    child->pid = pi.dwProcessId;
    return true;
}

int waitProcess(Child *child, DWORD ms)
{
    if (!child->process)
        return -1;
    int rc = -1;
    if (WaitForSingleObject(child->process, ms) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(child->process, &code);
        rc = (int)code;
    } else {
        TerminateProcess(child->process, 1);
        WaitForSingleObject(child->process, 2000);
    }
    CloseHandle(child->process);
    child->process = NULL;
    return rc;
}

int runProgram(const std::string &cmdline, std::string *output, DWORD ms)
{
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE rd = NULL, wr = NULL;
    if (!CreatePipe(&rd, &wr, &sa, 0))
        return -1;
    SetHandleInformation(rd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = wr;
    si.hStdError = wr;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    std::vector<char> cmd(cmdline.begin(), cmdline.end());
    cmd.push_back('\0');
    BOOL ok = CreateProcessA(NULL, cmd.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    CloseHandle(wr);
    if (!ok) {
        CloseHandle(rd);
        return -1;
    }
    CloseHandle(pi.hThread);
    std::string out;
    char buf[4096];
    DWORD got;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD avail = 0;
        if (!PeekNamedPipe(rd, NULL, 0, NULL, &avail, NULL))
            break; // the child closed its end
        if (avail > 0) {
            if (!ReadFile(rd, buf, sizeof buf, &got, NULL) || got == 0)
                break;
            out.append(buf, got);
            continue;
        }
        if (WaitForSingleObject(pi.hProcess, 5) == WAIT_OBJECT_0) {
            // Drain what is left.
            while (PeekNamedPipe(rd, NULL, 0, NULL, &avail, NULL) && avail > 0 &&
                   ReadFile(rd, buf, sizeof buf, &got, NULL) && got > 0)
                out.append(buf, got);
            break;
        }
        if (GetTickCount() - start > ms)
            break;
    }
    CloseHandle(rd);
    Child c;
    c.process = pi.hProcess;
    c.pid = pi.dwProcessId;
    DWORD spent = GetTickCount() - start;
    int rc = waitProcess(&c, spent < ms ? ms - spent : 0);
    if (output)
        *output = out;
    return rc;
}

// ---- registry fixtures ---------------------------------------------------------

static bool setValue(HKEY root, const char *path, const char *name, DWORD type, const void *data, DWORD size)
{
    HKEY k;
    if (RegCreateKeyExA(root, path, 0, NULL, 0, KEY_SET_VALUE, NULL, &k, NULL) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(k, name, 0, type, (const BYTE *)data, size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool regSetString(HKEY root, const char *path, const char *name, const std::string &value)
{
    return setValue(root, path, name, REG_SZ, value.c_str(), (DWORD)value.size() + 1);
}

bool regSetDword(HKEY root, const char *path, const char *name, DWORD value)
{
    return setValue(root, path, name, REG_DWORD, &value, sizeof value);
}

bool regGetString(HKEY root, const char *path, const char *name, std::string *value)
{
    char buf[4096];
    DWORD size = sizeof buf - 1, type = 0;
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, &type, (BYTE *)buf, &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buf[size] = '\0';
    *value = buf;
    return true;
}

bool regGetDword(HKEY root, const char *path, const char *name, DWORD *value)
{
    DWORD size = sizeof *value, type = 0;
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, &type, (BYTE *)value, &size);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS && type == REG_DWORD;
}

bool regKeyExists(HKEY root, const char *path)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

bool regValueExists(HKEY root, const char *path, const char *name)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegQueryValueExA(k, name, NULL, NULL, NULL, NULL);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

bool regDeleteTree(HKEY root, const char *path)
{
    DWORD rc = SHDeleteKeyA(root, path);
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

bool regDeleteValue(HKEY root, const char *path, const char *name)
{
    HKEY k;
    if (RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS)
        return false;
    LONG rc = RegDeleteValueA(k, name);
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

// ---- file fixtures -------------------------------------------------------------

bool writeFile(const std::string &path, const std::string &content)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    BOOL ok = WriteFile(h, content.data(), (DWORD)content.size(), &put, NULL);
    CloseHandle(h);
    return ok && put == content.size();
}

bool readFile(const std::string &path, std::string *content)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0,
                           NULL);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    content->clear();
    char buf[4096];
    DWORD got;
    while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0)
        content->append(buf, got);
    CloseHandle(h);
    return true;
}

bool fileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool makeDirs(const std::string &path)
{
    for (size_t i = 3; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '\\' || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (!CreateDirectoryA(part.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
        }
    }
    return true;
}

bool removeTree(const std::string &path)
{
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
                continue;
            std::string child = path + "\\" + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    return RemoveDirectoryA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

// ---- snapshots -----------------------------------------------------------------

static std::string printable(DWORD type, const BYTE *data, DWORD size)
{
    char head[32];
    snprintf(head, sizeof head, "type %lu:", (unsigned long)type);
    std::string out = head;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        for (DWORD i = 0; i < size; i++)
            out += data[i] ? (char)data[i] : '|';
    } else {
        for (DWORD i = 0; i < size; i++) {
            char hex[4];
            snprintf(hex, sizeof hex, "%02x", data[i]);
            out += hex;
        }
    }
    return out;
}

static void walkRegistry(HKEY root, const std::string &path, Snapshot *out)
{
    HKEY k;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return;
    (*out)[path] = "KEY";
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; i++) {
        char name[16384];
        DWORD nameLen = sizeof name, type = 0, size = (DWORD)data.size();
        if (RegEnumValueA(k, i, name, &nameLen, NULL, &type, data.data(), &size) != ERROR_SUCCESS)
            break;
        (*out)[path + "\\:" + name] = printable(type, data.data(), size);
    }
    std::vector<std::string> subkeys;
    for (DWORD i = 0;; i++) {
        char name[256];
        DWORD nameLen = sizeof name;
        if (RegEnumKeyExA(k, i, name, &nameLen, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(k);
    for (const std::string &s : subkeys)
        walkRegistry(root, path.empty() ? s : path + "\\" + s, out);
}

Snapshot snapshotRegistry(HKEY root, const char *path)
{
    Snapshot s;
    walkRegistry(root, path, &s);
    return s;
}

static void walkDirectory(const std::string &base, const std::string &rel, Snapshot *out)
{
    WIN32_FIND_DATAA fd;
    std::string dir = rel.empty() ? base : base + "\\" + rel;
    HANDLE f = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::string> subdirs;
    do {
        if (!strcmp(fd.cFileName, ".") || !strcmp(fd.cFileName, ".."))
            continue;
        std::string r = rel.empty() ? fd.cFileName : rel + "\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*out)[r + "\\"] = "DIR";
            subdirs.push_back(r);
        } else {
            // Size and write time: enough to see a file replaced or rewritten.
            char desc[64];
            snprintf(desc, sizeof desc, "%lu bytes @%08lx%08lx", (unsigned long)fd.nFileSizeLow,
                     (unsigned long)fd.ftLastWriteTime.dwHighDateTime,
                     (unsigned long)fd.ftLastWriteTime.dwLowDateTime);
            (*out)[r] = desc;
        }
    } while (FindNextFileA(f, &fd));
    FindClose(f);
    for (const std::string &s : subdirs)
        walkDirectory(base, s, out);
}

Snapshot snapshotDirectory(const std::string &dir)
{
    Snapshot s;
    walkDirectory(dir, "", &s);
    return s;
}

SnapshotDiff diffSnapshots(const Snapshot &before, const Snapshot &after)
{
    SnapshotDiff d;
    for (const auto &b : before) {
        auto a = after.find(b.first);
        if (a == after.end())
            d.removed.push_back(b.first);
        else if (a->second != b.second)
            d.changed.push_back(b.first);
    }
    for (const auto &a : after)
        if (!before.count(a.first))
            d.added.push_back(a.first);
    return d;
}

std::string describe(const SnapshotDiff &d)
{
    std::string s;
    for (const std::string &x : d.added)
        s += "  added:   " + x + "\n";
    for (const std::string &x : d.removed)
        s += "  removed: " + x + "\n";
    for (const std::string &x : d.changed)
        s += "  changed: " + x + "\n";
    return s.empty() ? "  (no difference)\n" : s;
}

} // namespace qxt
