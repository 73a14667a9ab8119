#include "keys/keys.h"

#include "apps/apps.h"

HWND ShutdownPrompt = NULL;

namespace
{

int DefaultTVAPP = 1;

// The power key's default application, by DefaultTVAPP 1 to 4: the other three
// applications are closed in this order before the chosen one is toggled.
struct DefaultApp {
    TvAppTarget *record;
    WatchedApp app;
    void (*closeFirst[3])();
    bool (*togglePower)();
};
const DefaultApp kDefaultApps[] = {
    {&homeTheaterTarget,
     WATCH_HOME_THEATER,
     {PowerVcrDriver::close, HonestechDriver::close, TivraDriver::close},
     HomeTheaterDriver::togglePower},
    {&powerVcrTarget,
     WATCH_POWERVCR,
     {HomeTheaterDriver::close, HonestechDriver::close, TivraDriver::close},
     PowerVcrDriver::togglePower},
    {&tivraTarget,
     WATCH_TIVRA,
     {HomeTheaterDriver::close, PowerVcrDriver::close, HonestechDriver::close},
     TivraDriver::togglePower},
    {&honestechTarget,
     WATCH_HONESTECH,
     {HomeTheaterDriver::close, PowerVcrDriver::close, TivraDriver::close},
     HonestechDriver::togglePower},
};
const int DEFAULT_APP_COUNT = sizeof kDefaultApps / sizeof kDefaultApps[0];

// True while the not-installed message is up. The poll goes on inside the box's
// message loop, and a power key held down is read again every 65 ms: without this
// one press would pile up a box per read.
bool notInstalledShowing = false;

} // namespace

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
    const WatchedApp apps[] = {WATCH_HOME_THEATER, WATCH_POWERVCR, WATCH_HONESTECH, WATCH_TIVRA};
    for (WatchedApp app : apps)
        if (findRunningApp(app) != NULL)
            return false;
    return true;
}

void launchDefaultApplication()
{
    int choice = defaultTvApp();
    if (choice < 1 || choice > DEFAULT_APP_COUNT || notInstalledShowing)
        return;
    const DefaultApp &d = kDefaultApps[choice - 1];
    // The other applications are closed and the toggle runs all the same: it
    // still starts the watch, as it does after any launch attempt.
    if (d.record->installed == 0) {
        notInstalledShowing = true;
        MessageBoxA(NULL, "Please re-initialize the TV application settings.", "QX770 Remote Control",
                    MB_SETFOREGROUND);
        notInstalledShowing = false;
    }
    for (void (*close)() : d.closeFirst)
        close();
    if (d.togglePower())
        watchAfterBringUp(d.app);
}

void requestShutDown(HWND mainWindow)
{
    if (NoTvAppRunning())
        PostMessageA(mainWindow, WM_COMMAND, CMD_SHUTDOWN_PROMPT, 0);
}
