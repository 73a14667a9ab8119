// Entry point of tunerkey: one instance, one hidden window, one message loop.
#include "shell/shell.h"

#include "keys/keys.h"
#include "server/remote_server.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    closeOlderProgram();
    // A second start leaves the running instance alone and ends at once.
    if (FindWindowA(TK_WINDOW_CLASS, NULL) != NULL)
        return 0;
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
