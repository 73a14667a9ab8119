#include "keys/keys.h"

#include "apps/apps.h"

namespace
{

const DWORD TIVRA_KEY15_COMMAND = 5001;

void tivraKey15()
{
    TivraDriver::sendCommand(TIVRA_KEY15_COMMAND);
}

// The four key-driven applications. The first active one, in this order, is the
// target; key 15 has an action only where one is given.
struct TargetRoute {
    TvAppTarget *record;
    WatchedApp app;
    void (*handleKey)(int key);
    bool (*togglePower)();
    void (*key15)();
};
const TargetRoute kTargets[] = {
    {&powerVcrTarget, WATCH_POWERVCR, PowerVcrDriver::handleKey, PowerVcrDriver::togglePower, NULL},
    {&homeTheaterTarget, WATCH_HOME_THEATER, HomeTheaterDriver::handleKey, HomeTheaterDriver::togglePower,
     HomeTheaterDriver::key15},
    {&honestechTarget, WATCH_HONESTECH, HonestechDriver::handleKey, HonestechDriver::togglePower, NULL},
    {&tivraTarget, WATCH_TIVRA, TivraDriver::handleKey, TivraDriver::togglePower, tivraKey15},
};
const int TARGET_COUNT = sizeof kTargets / sizeof kTargets[0];

// With no target, a running application is adopted in this order (indexes into
// kTargets): the recorder first, honestechTV last.
const int kAdoptionOrder[TARGET_COUNT] = {3, 0, 1, 2};
// The windows are all looked for first, in this order.
const WatchedApp kProbeSearchOrder[TARGET_COUNT] = {WATCH_HOME_THEATER, WATCH_POWERVCR, WATCH_HONESTECH,
                                                    WATCH_TIVRA};

const TargetRoute *activeTarget()
{
    for (const TargetRoute &t : kTargets)
        if (t.record->active == 1)
            return &t;
    return NULL;
}

void sendToTarget(const TargetRoute &t, int key)
{
    if (key == KEY_SHUTDOWN) {
        if (t.key15)
            t.key15();
    } else if (key == KEY_POWER) {
        if (t.togglePower())
            watchAfterBringUp(t.app);
    } else {
        t.handleKey(key);
    }
}

// A key with no target and no meaning of its own: to a running application, which
// becomes the target, else to the pointer.
void probeAndSend(int key)
{
    HWND found[WATCHED_APP_COUNT] = {NULL, NULL, NULL, NULL};
    for (WatchedApp app : kProbeSearchOrder)
        found[app] = findRunningApp(app);
    for (int index : kAdoptionOrder) {
        const TargetRoute &t = kTargets[index];
        if (found[t.app] != NULL) {
            t.record->active = 1;
            t.handleKey(key);
            return;
        }
    }
    mouseKey(key);
}

} // namespace

bool anyTargetActive()
{
    return activeTarget() != NULL;
}

void dispatchRemoteKey(HWND mainWindow, int key)
{
    // A swallowed repeat is a key for nobody, the Shut Down dialog included.
    if (key == KEY_SUPPRESSED)
        return;
    // The open Shut Down dialog takes every key: the power key confirms, any other cancels.
    HWND prompt = ShutdownPrompt;
    if (prompt != NULL) {
        SetForegroundWindow(prompt);
        SetActiveWindow(prompt);
        SendMessageA(prompt, WM_KEYDOWN, key == KEY_POWER ? VK_RETURN : VK_ESCAPE, 0);
        return;
    }
    const TargetRoute *target = activeTarget();
    if (target != NULL) {
        sendToTarget(*target, key);
        return;
    }
    if (key == KEY_SHUTDOWN)
        requestShutDown(mainWindow);
    else if (key == KEY_POWER)
        launchDefaultApplication();
    else
        probeAndSend(key);
}
