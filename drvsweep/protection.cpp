// Windows' own files: a driver package's INI may name ks.sys, stream.sys or
// msvcrt.dll, which it once shipped as redistributables. Such a file is never
// deleted or scheduled for deletion.
#include "drvsweep.h"

#include <stdio.h>
#include <string.h>

bool CompanyIsMicrosoft(const char *company)
{
    for (const char *p = company; *p; p += CharSize(p))
        if (BeginsWithNoCase(p, "Microsoft", NULL))
            return true;
    return false;
}

// sfc.dll exists from Windows 2000 on, in the system directory, which on the NT
// family is "system32" below the Windows directory; elsewhere there is none.
static BOOL WINAPI askSfc(HANDLE rpc, LPCWSTR path)
{
    static FileProtectedFn sfc;
    static bool looked;
    if (!looked) {
        looked = true;
        char windows[DIR_TEXT], dll[PATH_TEXT];
        UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        char dir[DIR_TEXT];
        if (n > 0 && n < sizeof windows && FormDirectory(windows, "\\system32\\", dir) &&
            FormFilePath(dir, "sfc.dll", dll)) {
            HMODULE module = LoadLibraryA(dll);
            if (module)
                sfc = (FileProtectedFn)(void *)GetProcAddress(module, "SfcIsFileProtected");
        }
    }
    return sfc ? sfc(rpc, path) : FALSE;
}

FileProtectedFn FileProtectedCall = askSfc;

typedef DWORD(WINAPI *LongPathFn)(LPCSTR shortPath, LPSTR longPath, DWORD size);

// Windows File Protection keeps its list by long names: an 8.3 alias is turned
// into the long name first (GetLongPathNameA, Windows 98 and 2000 on, where sfc
// exists; looked up at run time for NT 4.0).
static bool isProtected(const char *path)
{
    char longPath[PATH_TEXT];
    LongPathFn toLong = (LongPathFn)FindSystemFunction("kernel32.dll", "GetLongPathNameA");
    DWORD n = toLong ? toLong(path, longPath, sizeof longPath) : 0;
    if (n == 0 || n >= sizeof longPath)
        CopyText(longPath, sizeof longPath, path);
    WCHAR wide[PATH_TEXT];
    if (MultiByteToWideChar(CP_ACP, 0, longPath, -1, wide, PATH_TEXT) == 0)
        return false;
    return FileProtectedCall(NULL, wide) != FALSE;
}

// Only a program file ("MZ": a driver, library or filter) has a version
// resource; two bytes say so sooner than the version query on any other file.
static bool isProgramFile(const char *path)
{
    HANDLE h =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return true; // unreadable here: the version query decides
    char head[2] = {};
    DWORD got = 0;
    BOOL read = ReadFile(h, head, sizeof head, &got, NULL);
    CloseHandle(h);
    return !read || (got == 2 && head[0] == 'M' && head[1] == 'Z');
}

// The CompanyName of every language the version resource lists, and of US
// English in the two code pages setup tools wrote when it lists none.
static bool madeByMicrosoft(const char *path)
{
    if (!isProgramFile(path))
        return false;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    if (size == 0 || size > 64 * 1024)
        return false;
    static BYTE data[64 * 1024];
    if (!GetFileVersionInfoA(path, 0, size, data))
        return false;
    struct Language {
        WORD language, codePage;
    } fallback[2] = {{0x0409, 0x04B0}, {0x0409, 0x04E4}};
    Language *languages = fallback;
    UINT bytes = 0;
    UINT count = 2;
    if (VerQueryValueA(data, "\\VarFileInfo\\Translation", (LPVOID *)&languages, &bytes) && bytes >= 4)
        count = bytes / sizeof(Language);
    else
        languages = fallback;
    for (UINT i = 0; i < count; i++) {
        char query[64];
        snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\CompanyName", languages[i].language,
                 languages[i].codePage);
        char *company = NULL;
        UINT length = 0;
        if (!VerQueryValueA(data, query, (LPVOID *)&company, &length) || !company || length == 0)
            continue;
        // The text as stored, whether or not it ends in its terminator.
        char text[256];
        size_t n = length < sizeof text ? length : sizeof text - 1;
        memcpy(text, company, n);
        text[n] = '\0';
        if (CompanyIsMicrosoft(text))
            return true;
    }
    return false;
}

const char *WindowsFileReason(const char *path)
{
    if (isProtected(path))
        return "protected by Windows";
    // Windows 9x and NT 4.0 have no file protection to ask; everywhere a file
    // Microsoft made is no driver package's to remove.
    if (madeByMicrosoft(path))
        return "a file of Microsoft's";
    return NULL;
}
