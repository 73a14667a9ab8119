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

void sendToTarget(WatchedApp app, int key, int repeatCount)
{
    const SupportedApp &a = SupportedApps[app];
    if (key == KEY_SHUTDOWN) {
        if (!a.key15) {
            reportKeyActed(key, repeatCount, KEY_RESULT_NONE, NULL, NULL);
            return;
        }
        a.key15();
    } else if (key == KEY_POWER) {
        if (a.togglePower())
            watchAfterBringUp(app);
    } else {
        a.handleKey(key);
    }
    reportAppKey(app, key, repeatCount);
}

// A key with no target and no meaning of its own: to a running application, which
// becomes the target, else to the pointer. All the windows are looked for first.
void probeAndSend(int key, int repeatCount)
{
    HWND found[WATCHED_APP_COUNT];
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        found[app] = findRunningApp((WatchedApp)app);
    for (WatchedApp app : AdoptionOrder) {
        if (found[app] != NULL) {
            setTargetActive(*SupportedApps[app].record, true);
            SupportedApps[app].handleKey(key);
            reportAppKey(app, key, repeatCount);
            return;
        }
    }
    // A program that takes the remote from the server has it to itself: the
    // pointer stays where it is. Only a drag already under way (key 5 holds the
    // button) finishes on the pointer, so that the button is never left down.
    if (remoteClientCount() == 0 || mouseButtonHeld()) {
        mouseKey(key);
        if (isMouseKey(key))
            reportKeyActed(key, repeatCount, KEY_RESULT_POINTER, "Pointer", NULL);
        else
            reportKeyActed(key, repeatCount, KEY_RESULT_NONE, NULL, NULL);
    } else {
        reportKeyActed(key, repeatCount, KEY_RESULT_SENT, NULL, NULL);
    }
}

} // namespace

bool anyTargetActive()
{
    return activeTarget() >= 0;
}

void dispatchRemoteKey(HWND mainWindow, int key, int repeatCount)
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
        reportKeyActed(key, repeatCount, KEY_RESULT_SENT, NULL, prompt);
        return;
    }
    int target = activeTarget();
    if (target >= 0) {
        sendToTarget((WatchedApp)target, key, repeatCount);
        return;
    }
    if (key == KEY_SHUTDOWN) {
        requestShutDown(mainWindow);
        reportKeyActed(key, repeatCount, KEY_RESULT_SENT, NULL, NULL);
    } else if (key == KEY_POWER) {
        launchDefaultApplication();
        int chosen = appOfDefault(defaultTvApp());
        if (chosen >= 0)
            reportAppKey(chosen, key, repeatCount);
        else
            reportKeyActed(key, repeatCount, KEY_RESULT_NONE, NULL, NULL);
    } else {
        probeAndSend(key, repeatCount);
    }
}
