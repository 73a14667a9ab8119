// Stand-in applications driven from a test: registered where tunerkey looks, started,
// and their logs read back.
#include "standin_client.h"

#include <sstream>

namespace standin
{

static const RoleInstall roles[] = {
    {"powervcr", "Software\\Cyberlink\\PowerVCR II", "InstallPath", "PVCR.EXE"},
    {"honestech", "Software\\honestech\\DVD Plus\\TVR", "AppPath", "honestechTV.EXE"},
    {"windvd", "Software\\InterVideo\\WinDVD4", "PATH", "WINDVD.EXE"},
    {"hometheater", "Software\\InterVideo\\Home Theater", "PATH", "Home Theater.exe"},
    {"winrip", "Software\\InterVideo\\WinRip", "PATH", "WINRIP.EXE"},
    {"tivra", "Software\\Honestech\\TV Plus\\TVR", "AppPath", "honestechTV.EXE"},
};

const RoleInstall *roleInstall(const char *role)
{
    for (const RoleInstall &r : roles)
        if (std::string(r.role) == role)
            return &r;
    return NULL;
}

std::string logOf(const std::string &dir)
{
    return dir + "\\standin.log";
}

bool install(const char *role, const std::string &dir, const std::vector<std::string> &extraIni)
{
    const RoleInstall *r = roleInstall(role);
    if (r == NULL || !qxt::makeDirs(dir))
        return false;
    if (!CopyFileA(qxt::programPath("standin.exe").c_str(), (dir + "\\" + r->exe).c_str(), FALSE))
        return false;
    std::string ini = "[standin]\r\nrole=" + std::string(role) + "\r\nlog=" + logOf(dir) + "\r\n";
    for (const std::string &l : extraIni)
        ini += l + "\r\n";
    DeleteFileA(logOf(dir).c_str());
    return qxt::writeFile(dir + "\\standin.ini", ini) &&
           qxt::regSetString(HKEY_LOCAL_MACHINE, r->key, r->value, dir, qxt::ApplicationsView);
}

std::vector<std::string> lines(const std::string &log)
{
    std::string text;
    std::vector<std::string> out;
    if (!qxt::readFile(log, &text))
        return out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) {
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

std::vector<std::string> linesFrom(const std::string &log, size_t from, const std::vector<std::string> &skip)
{
    std::vector<std::string> all = lines(log), out;
    for (size_t i = from; i < all.size(); ++i) {
        bool skipped = false;
        for (const std::string &s : skip)
            skipped = skipped || all[i].compare(0, s.size(), s) == 0;
        if (!skipped)
            out.push_back(all[i]);
    }
    return out;
}

bool waitForLine(const std::string &log, const std::string &line, DWORD ms)
{
    return qxt::waitUntil(
        [&] {
            for (const std::string &l : lines(log))
                if (matches(l, line))
                    return true;
            return false;
        },
        ms);
}

bool sync(HWND window, const std::string &log)
{
    static unsigned counter = 0;
    ++counter;
    PostMessageA(window, WM_APP + 1, counter, 0);
    return waitForLine(log, "MARK " + std::to_string(counter));
}

static std::vector<std::string> fields(const std::string &s)
{
    std::istringstream in(s);
    std::vector<std::string> out;
    std::string f;
    while (in >> f)
        out.push_back(f);
    return out;
}

bool matches(const std::string &line, const std::string &pattern)
{
    std::vector<std::string> a = fields(line), b = fields(pattern);
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (b[i] != "*" && a[i] != b[i])
            return false;
    return true;
}

struct PidWindow {
    DWORD pid;
    HWND found;
};

static BOOL CALLBACK ownedBy(HWND w, LPARAM p)
{
    PidWindow *pw = (PidWindow *)p;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == pw->pid && GetWindow(w, GW_OWNER) == NULL && IsWindowVisible(w)) {
        pw->found = w;
        return FALSE;
    }
    return TRUE;
}

static HWND windowOfProcess(DWORD pid)
{
    PidWindow pw = {pid, NULL};
    EnumWindows(ownedBy, (LPARAM)&pw);
    return pw.found;
}

HWND waitForMainWindow(const std::string &log, DWORD ms)
{
    HWND w = NULL;
    qxt::waitUntil(
        [&] {
            for (const std::string &l : lines(log)) {
                std::vector<std::string> f = fields(l);
                if (f.size() >= 3 && f[0] == "START")
                    w = windowOfProcess(strtoul(f[2].c_str(), NULL, 10));
            }
            return w != NULL;
        },
        ms);
    return w;
}

bool start(const std::string &args, const std::string &log, Running *r, const std::string &exe)
{
    DeleteFileA(log.c_str());
    r->log = log;
    std::string program = qxt::programPath("standin.exe");
    if (!exe.empty() && !CopyFileA(program.c_str(), exe.c_str(), FALSE))
        return false;
    std::string cmd = "\"" + (exe.empty() ? program : exe) + "\" " + args + " --log \"" + log + "\"";
    if (!qxt::startProcess(cmd, &r->child))
        return false;
    r->window = waitForMainWindow(log);
    // Its start-up (showing, activation) is logged before it reads the marker.
    return r->window != NULL && sync(r->window, log);
}

void stop(Running *r)
{
    if (r->window != NULL && IsWindow(r->window))
        PostMessageA(r->window, WM_CLOSE, 0, 0);
    if (r->child.process != NULL)
        qxt::waitProcess(&r->child, 5000);
    r->window = NULL;
}

} // namespace standin
