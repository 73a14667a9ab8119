// What a key did, told to the hook the shell installs: where it went, or why it
// did nothing when the program can tell.
#include "keys/keys.h"

#include "apps/apps.h"

namespace
{

KeyActedHook Hook = NULL;

// The token calls, looked up once: the integrity level exists from Windows Vista
// on, and Windows 95 has no token functions at all.
typedef BOOL(WINAPI *OpenProcessTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *GetTokenInformationFn)(HANDLE, int, LPVOID, DWORD, PDWORD);
typedef PDWORD(WINAPI *GetSidSubAuthorityFn)(PSID, DWORD);
typedef PUCHAR(WINAPI *GetSidSubAuthorityCountFn)(PSID);

// TOKEN_INFORMATION_CLASS's TokenIntegrityLevel and PROCESS_QUERY_LIMITED_INFORMATION,
// which a program of any level may ask of any process (Vista and later).
const int TOKEN_INTEGRITY_LEVEL_CLASS = 25;
const DWORD QUERY_LIMITED = 0x1000;

DWORD tokenIntegrity(HWND window)
{
    DWORD processId = GetCurrentProcessId();
    if (window != NULL)
        GetWindowThreadProcessId(window, &processId);
    static bool looked = false;
    static OpenProcessTokenFn openToken;
    static GetTokenInformationFn tokenInfo;
    static GetSidSubAuthorityFn subAuthority;
    static GetSidSubAuthorityCountFn subAuthorityCount;
    if (!looked) {
        looked = true;
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        if (advapi != NULL) {
            openToken = (OpenProcessTokenFn)(void (*)())GetProcAddress(advapi, "OpenProcessToken");
            tokenInfo = (GetTokenInformationFn)(void (*)())GetProcAddress(advapi, "GetTokenInformation");
            subAuthority = (GetSidSubAuthorityFn)(void (*)())GetProcAddress(advapi, "GetSidSubAuthority");
            subAuthorityCount =
                (GetSidSubAuthorityCountFn)(void (*)())GetProcAddress(advapi, "GetSidSubAuthorityCount");
        }
    }
    if (!openToken || !tokenInfo || !subAuthority || !subAuthorityCount)
        return 0;
    HANDLE process = OpenProcess(QUERY_LIMITED, FALSE, processId);
    if (process == NULL)
        return 0;
    DWORD level = 0;
    HANDLE token;
    if (openToken(process, TOKEN_QUERY, &token)) {
        // TOKEN_MANDATORY_LABEL: a SID_AND_ATTRIBUTES whose SID follows in the buffer.
        union {
            SID_AND_ATTRIBUTES label;
            BYTE bytes[64];
        } info;
        DWORD size = 0;
        if (tokenInfo(token, TOKEN_INTEGRITY_LEVEL_CLASS, &info, sizeof info, &size)) {
            PUCHAR count = subAuthorityCount(info.label.Sid);
            if (count != NULL && *count > 0)
                level = *subAuthority(info.label.Sid, *count - 1);
        }
        CloseHandle(token);
    }
    CloseHandle(process);
    return level;
}

} // namespace

DWORD (*windowIntegrityCall)(HWND window) = tokenIntegrity;

bool integrityBlocksPost(DWORD own, DWORD target)
{
    return own != 0 && target != 0 && target > own;
}

void setKeyActedHook(KeyActedHook hook)
{
    Hook = hook;
}

void reportKeyActed(int code, int repeatCount, KeyResult result, const char *where, HWND window)
{
    if (Hook == NULL)
        return;
    KeyActed k = {code, repeatCount, result, where, window};
    Hook(k);
}

void reportAppKey(int app, int code, int repeatCount)
{
    if (Hook == NULL)
        return;
    HWND window = findRunningApp((WatchedApp)app);
    KeyResult result = KEY_RESULT_SENT;
    if (window == NULL) {
        // The power key starts a target that has gone; any other key is lost.
        if (code != KEY_POWER)
            result = KEY_RESULT_NO_WINDOW;
    } else {
        if (integrityBlocksPost(windowIntegrityCall(NULL), windowIntegrityCall(window)))
            result = KEY_RESULT_ELEVATED;
    }
    reportKeyActed(code, repeatCount, result, appName(app), window);
}
