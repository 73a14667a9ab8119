// The dispatcher: where one key goes after the repeat rule.
#include "keys/keys.h"

#include "apps/apps.h"
#include "server/remote_server.h"

namespace
{

// The target: the first key-driven application, in the table's target order,
// whose record is active; -1 for none.
int activeTarget()
{
    for (WatchedApp app : TargetOrder)
        if (SupportedApps[app].record->active == 1)
            return app;
    return -1;
}

void sendToTarget(WatchedApp app, int key)
{
    const SupportedApp &a = SupportedApps[app];
    if (key == KEY_SHUTDOWN) {
        if (a.key15)
            a.key15();
    } else if (key == KEY_POWER) {
        if (a.togglePower())
            watchAfterBringUp(app);
    } else {
        a.handleKey(key);
    }
}

// A key with no target and no meaning of its own: to a running application, which
// becomes the target, else to the pointer. All the windows are looked for first.
void probeAndSend(int key)
{
    HWND found[WATCHED_APP_COUNT];
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        found[app] = findRunningApp((WatchedApp)app);
    for (WatchedApp app : AdoptionOrder) {
        if (found[app] != NULL) {
            setTargetActive(*SupportedApps[app].record, true);
            SupportedApps[app].handleKey(key);
            return;
        }
    }
    // A program that takes the remote from the server has it to itself unless the
    // server keeps the pointer: the pointer stays where it is. Only a drag already
    // under way (key 5 holds the button) finishes on the pointer, so that the
    // button is never left down.
    if (pointerKeysReachPointer() || mouseButtonHeld())
        mouseKey(key);
}

} // namespace

bool anyTargetActive()
{
    return activeTarget() >= 0;
}

void dispatchRemoteKey(HWND mainWindow, int key)
{
    // A swallowed repeat is a key for nobody, the Shut Down dialog included.
    if (key == KEY_SUPPRESSED)
        return;
    // The open Shut Down dialog takes every key: the power key confirms, any other cancels.
    HWND prompt = shutdownPrompt();
    if (prompt != NULL) {
        SetForegroundWindow(prompt);
        SetActiveWindow(prompt);
        SendMessageA(prompt, WM_KEYDOWN, key == KEY_POWER ? VK_RETURN : VK_ESCAPE, 0);
        return;
    }
    int target = activeTarget();
    if (target >= 0) {
        sendToTarget((WatchedApp)target, key);
        return;
    }
    if (key == KEY_SHUTDOWN)
        requestShutDown(mainWindow);
    else if (key == KEY_POWER)
        launchDefaultApplication();
    else
        probeAndSend(key);
}
