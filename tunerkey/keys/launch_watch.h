// The launch watch: after a driver's power key launched or raised an application,
// WatchTimer checks once a second whether its window is still there and drops the
// application as the remote's target once it has gone.
#pragma once
#include <windows.h>

#include "keys/timer_slot.h"

// Timer id 2, 1000 ms, callback launchWatchTimerProc.
extern TimerSlot WatchTimer;

// At start-up, right after the poll timer: owner and interval, and not running.
void configureWatchTimer(HWND mainWindow);
void startWatchTimer();
void stopWatchTimer();

enum WatchedApp { WATCH_HOME_THEATER, WATCH_POWERVCR, WATCH_HONESTECH, WATCH_TIVRA };
const int WATCHED_APP_COUNT = 4;

void setLaunchWatch(WatchedApp app);
// After the power key brought `app` up (raised, started, or tried to): the watch
// runs, and follows the application when it became the target.
void watchAfterBringUp(WatchedApp app);
bool launchWatchSet(WatchedApp app);
void clearLaunchWatch(WatchedApp app);

// Which flag a tick examines: the first set one in the order PowerVCR II, Home
// Theater, honestechTV, TivraTVR; -1 when none is set. `flags` is indexed by WatchedApp.
int watchedAppToExamine(const bool flags[WATCHED_APP_COUNT]);

// One tick of the watch (what WatchTimer's callback runs).
void launchWatchTick();
void CALLBACK launchWatchTimerProc(HWND, UINT, UINT_PTR, DWORD);

// The running application's top-level window, as the dispatcher's probe and the
// watch look for it: title exactly "Home Theater", class "PowerVCR II Taurus",
// class "honestechTV 2.0", class "TIVRA_TVR". NULL when there is none.
HWND findRunningApp(WatchedApp app);
