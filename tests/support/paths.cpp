// Paths for tests: the test program's folder, the build's programs, fresh temporary folders.
#include "qxtest.h"

#include <stdio.h>
#include <stdlib.h>

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

std::string programUnderTest(const char *name)
{
    // The bench names the folder as a Unix path; Wine maps the Unix root to Z:.
    const char *bin = getenv("QX_BIN");
    if (!bin || bin[0] != '/')
        return programPath(name);
    std::string p = std::string("Z:") + bin + "/" + name;
    for (char &c : p)
        if (c == '/')
            c = '\\';
    return p;
}

bool underWow64()
{
    static int answer = -1;
    if (answer < 0) {
        DWORD kind = 0;
        answer = sizeof(void *) == 8 && GetBinaryTypeA(programUnderTest("tunerkey.exe").c_str(), &kind) &&
                 kind == SCS_32BIT_BINARY;
    }
    return answer == 1;
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
