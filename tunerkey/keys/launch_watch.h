// The launch watch: after a driver's power key launched or raised an application,
// a timer checks once a second whether the application's window is still there,
// and drops the application as the remote's target once it has gone.
#pragma once
#include <windows.h>

#include "apps/apps.h"
#include "keys/timer_slot.h"

// The watch's timer: id 2, 1000 ms, callback launchWatchTimerProc.
const TimerSlot &watchTimer();

// At start-up, right after the poll timer: owner and interval, and not running.
void configureWatchTimer(HWND mainWindow);
void startWatchTimer();
void stopWatchTimer();

void setLaunchWatch(WatchedApp app);
// After the power key brought `app` up (raised, started, or tried to): the watch
// runs, and follows the application when it became the target.
void watchAfterBringUp(WatchedApp app);
bool launchWatchSet(WatchedApp app);
void clearLaunchWatch(WatchedApp app);

// Which flag a tick examines: the first set one in the order PowerVCR II, Home
// Theater, honestechTV, TivraTVR; -1 when none is set. `flags` is indexed by WatchedApp.
int watchedAppToExamine(const bool flags[WATCHED_APP_COUNT]);

// One tick of the watch (what its timer's callback runs).
void launchWatchTick();
void CALLBACK launchWatchTimerProc(HWND, UINT, UINT_PTR, DWORD);
