// The power key with no target (the default application) and key 15 (the Shut
// Down request); the in-memory default and the open Shut Down dialog.
#include "keys/keys.h"

#include "apps/apps.h"

namespace
{

HWND ShutdownPrompt = NULL;

int DefaultTVAPP = 1;

// True while the not-installed message is up. The poll goes on inside the box's
// message loop, and a power key held down is read again every 65 ms: without this
// one press would pile up a box per read.
bool notInstalledShowing = false;

} // namespace

HWND shutdownPrompt()
{
    return ShutdownPrompt;
}

void setShutdownPrompt(HWND dialog)
{
    ShutdownPrompt = dialog;
}

int defaultTvApp()
{
    return DefaultTVAPP;
}

void setDefaultTvApp(int value)
{
    DefaultTVAPP = value;
}

bool NoTvAppRunning()
{
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        if (findRunningApp((WatchedApp)app) != NULL)
            return false;
    return true;
}

void launchDefaultApplication()
{
    int chosen = appOfDefault(defaultTvApp());
    if (chosen < 0 || notInstalledShowing)
        return;
    const SupportedApp &d = SupportedApps[chosen];
    // The other applications are closed and the toggle runs all the same: it
    // still starts the watch, as it does after any launch attempt.
    if (d.record->installed == 0) {
        notInstalledShowing = true;
        MessageBoxA(NULL, "Please re-initialize the TV application settings.", TK_CAPTION, MB_SETFOREGROUND);
        notInstalledShowing = false;
    }
    // The other key-driven applications go first, in the table's order.
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        if (app != chosen)
            SupportedApps[app].close();
    if (d.togglePower())
        watchAfterBringUp((WatchedApp)chosen);
}

void requestShutDown(HWND mainWindow)
{
    if (NoTvAppRunning())
        PostMessageA(mainWindow, WM_COMMAND, CMD_SHUTDOWN_PROMPT, 0);
}
