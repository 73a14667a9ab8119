// Paths for tests: the test program's folder, the build's programs, fresh temporary folders.
#include "qxtest.h"

#include <stdio.h>

namespace qxt
{

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

} // namespace qxt
