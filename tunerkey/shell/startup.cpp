// Start-up around the main window: the older program, the settings stop, the
// timers, and the message loop.
#include "shell/shell.h"

#include "apps/window_search.h"
#include "common/windows_family.h"
#include "keys/keys.h"
#include "resources/resource.h"
#include "shell/shell_internal.h"

bool closeOlderProgram()
{
    HWND older = findWindowByTitlePrefix(TK_OLDER_PROGRAM_TITLE);
    if (older == NULL)
        return false;
    // Asked, not waited for: the older program ends in its own time.
    PostMessageA(older, WM_CLOSE, 0, 0);
    PostMessageA(older, WM_DESTROY, 0, 0);
    return true;
}

const char *instanceMutexName(DWORD platformId, DWORD majorVersion)
{
    // The "Global\" namespace spans the sessions of fast user switching and
    // Terminal Services, from Windows 2000 on; NT 4.0 and Windows 9x have one
    // session and take no backslash in an object's name.
    bool sessions = platformId == VER_PLATFORM_WIN32_NT && majorVersion >= 5;
    return sessions ? "Global\\" TK_INSTANCE_MUTEX : TK_INSTANCE_MUTEX;
}

bool claimSingleInstance()
{
    OSVERSIONINFOA v = WindowsVersion();
    HANDLE mutex = CreateMutexA(NULL, FALSE, instanceMutexName(v.dwPlatformId, v.dwMajorVersion));
    if (mutex == NULL) {
        // Another user's instance holds it (its default security admits only that
        // user); any other failure leaves the window check alone to decide.
        return GetLastError() != ERROR_ACCESS_DENIED;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    // Held for the rest of the run: it goes with the process.
    return true;
}

bool finishStartup(HWND window)
{
    LoadSettings();
    if (alwaysRemoteOff()) {
        removeTrayIcon(window, TRAY_ICON_ID);
        return false;
    }
    // Hidden whatever show command the program was started with.
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    greetFirstStart();
    // Without the filter nothing is polled; a tray click reports it instead.
    if (captureFilterFound()) {
        startPollTimer(window);
        configureWatchTimer(window);
    }
    startKeymaps(window);
    // After the timers: the keys work while a box says the server cannot start.
    startConfiguredServer(window);
    return true;
}

int runMessageLoop()
{
    HACCEL accelerators = LoadAcceleratorsA(appInstance(), MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG msg = {};
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return (int)msg.wParam;
}
