// Entry point of tunerkey: one instance, one hidden window, one message loop.
#include "shell/shell.h"

#include "keys/keys.h"
#include "server/remote_server.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    closeOlderProgram();
    // A second start leaves the running instance alone and ends at once, also when
    // that instance runs in another user's session.
    if (FindWindowA(TK_WINDOW_CLASS, NULL) != NULL || !claimSingleInstance())
        return 0;
    // The manifest asks for common controls 6: Windows XP creates the dialogs'
    // controls only once that library is loaded.
    InitCommonControls();
    HWND window = createMainWindow(instance);
    if (window == NULL)
        return 0;
    if (!finishStartup(window))
        return 0;
    int code = runMessageLoop();
    killRunningTimers();
    stopRemoteServer();
    return code;
}
