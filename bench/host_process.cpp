// Host figures of bench programs: /proc of the host read through drive Z:, where Wine's
// own process queries leave out private bytes and open files.
#include "host_process.h"

#include <windows.h>

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

namespace qxt
{

std::string readHostFile(const std::string &path)
{
    std::string out;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return out;
    char buf[4096];
    DWORD n;
    while (ReadFile(f, buf, sizeof buf, &n, NULL) && n > 0)
        out.append(buf, n);
    CloseHandle(f);
    return out;
}

static std::string lower(std::string s)
{
    for (char &c : s)
        c = (char)tolower((unsigned char)c);
    return s;
}

std::string hostProcessOf(const char *exe)
{
    char prefix[MAX_PATH] = "";
    GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof prefix);
    std::string wanted = std::string("WINEPREFIX=") + prefix + '\0';
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA("Z:\\proc\\*", &fd);
    if (h == INVALID_HANDLE_VALUE)
        return "";
    std::string found;
    do {
        if (!isdigit((unsigned char)fd.cFileName[0]))
            continue;
        std::string dir = std::string("Z:\\proc\\") + fd.cFileName;
        if (lower(readHostFile(dir + "\\cmdline")).find(exe) == std::string::npos)
            continue;
        if (prefix[0] && readHostFile(dir + "\\environ").find(wanted) == std::string::npos)
            continue;
        found = dir;
    } while (found.empty() && FindNextFileA(h, &fd));
    FindClose(h);
    return found;
}

long hostStatusKb(const std::string &hostProcess, const char *name)
{
    std::string status = readHostFile(hostProcess + "\\status");
    std::string key = std::string("\n") + name + ":";
    size_t at = status.find(key);
    if (at == std::string::npos)
        return -1;
    return strtol(status.c_str() + at + key.size(), NULL, 10);
}

int hostOpenFiles(const std::string &hostProcess)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((hostProcess + "\\fd\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    int n = 0;
    do
        n += isdigit((unsigned char)fd.cFileName[0]) ? 1 : 0;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

} // namespace qxt
