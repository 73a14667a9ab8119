// The launch watch: a flag per application, its timer, and the tick that drops an
// application whose window has gone.
#include "keys/launch_watch.h"

static TimerSlot WatchTimer = {false, 2, NULL, 1000, launchWatchTimerProc};

static bool LaunchWatch[WATCHED_APP_COUNT];

// Idle wait of a tick that finds nothing to watch.
static const DWORD WATCH_IDLE_WAIT_MS = 2000;

const TimerSlot &watchTimer()
{
    return WatchTimer;
}

void configureWatchTimer(HWND mainWindow)
{
    WatchTimer.configure(mainWindow, 1000);
    WatchTimer.stop();
}

void startWatchTimer()
{
    WatchTimer.start();
}

void stopWatchTimer()
{
    WatchTimer.stop();
}

static bool validApp(int app)
{
    return app >= 0 && app < WATCHED_APP_COUNT;
}

void setLaunchWatch(WatchedApp app)
{
    if (validApp(app))
        LaunchWatch[app] = true;
}

void watchAfterBringUp(WatchedApp app)
{
    if (!validApp(app))
        return;
    startWatchTimer();
    if (recordOf(app)->active != 0)
        LaunchWatch[app] = true;
}

bool launchWatchSet(WatchedApp app)
{
    return validApp(app) && LaunchWatch[app];
}

void clearLaunchWatch(WatchedApp app)
{
    if (validApp(app))
        LaunchWatch[app] = false;
}

int watchedAppToExamine(const bool flags[WATCHED_APP_COUNT])
{
    for (WatchedApp app : TargetOrder)
        if (flags[app])
            return app;
    return -1;
}

void launchWatchTick()
{
    int app = watchedAppToExamine(LaunchWatch);
    if (app < 0) {
        answeringWait(WATCH_IDLE_WAIT_MS);
        stopWatchTimer();
        return;
    }
    if (findRunningApp((WatchedApp)app) != NULL)
        return;
    setTargetActive(*recordOf((WatchedApp)app), false);
    stopWatchTimer();
    LaunchWatch[app] = false;
}

void CALLBACK launchWatchTimerProc(HWND, UINT, UINT_PTR, DWORD)
{
    launchWatchTick();
}
