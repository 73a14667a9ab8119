// The dispatcher: where one key goes after the repeat rule.
#include "keys/keys.h"

#include "apps/apps.h"
#include "apps/window_search.h"
#include "common/copy_text.h"
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
    // Only a drag already under way (key 5 holds the button) finishes on the
    // pointer while clients hold the remote, so that the button is never left down.
    if (!clientsHoldTheRemote() || mouseButtonHeld()) {
        mouseKey(key);
        if (isMouseKey(key))
            reportKeyActed(key, repeatCount, KEY_RESULT_POINTER, "Pointer", NULL);
        else
            reportKeyActed(key, repeatCount, KEY_RESULT_NONE, NULL, NULL);
    } else {
        reportKeyActed(key, repeatCount, KEY_RESULT_SENT, NULL, NULL);
    }
}

PressRoute Route;
bool MediaKeysOn = true;

// What the key map's criteria see of a window; the program's file is looked up
// only when a section asks for it.
struct WindowLook {
    HWND window;
    char windowClass[128];
    char title[128];
    char exe[64];
    bool exeRead;
};

void look(WindowLook *w, HWND window)
{
    w->window = window;
    w->windowClass[0] = '\0';
    GetClassNameA(window, w->windowClass, sizeof w->windowClass);
    readWindowTitle(window, w->title);
    w->exe[0] = '\0';
    w->exeRead = false;
}

bool isProgramOf(WindowLook *w, const KeymapSection &s)
{
    if (!sectionMatches(s, {NULL, w->windowClass, w->title}))
        return false;
    if (!sectionNeedsExe(s))
        return true;
    if (!w->exeRead) {
        exeOfWindow(w->window, w->exe, sizeof w->exe);
        w->exeRead = true;
    }
    return sectionMatches(s, {w->exe, w->windowClass, w->title});
}

// Takes a key map's binding into the route, with the section's name.
void take(const KeymapBinding *binding, const Keymap *map, const char *name, HWND window)
{
    Route.binding = *binding;
    CopyText(Route.launch, sizeof Route.launch, map ? launchCommandOf(*map, binding->action) : "");
    CopyText(Route.name, sizeof Route.name, name);
    Route.window = window;
}

// The foreground program's section: the first in force that matches the root
// owner of the foreground window.
void foregroundFact(RouteFacts *f)
{
    f->foreground = {true, NULL};
    HWND front = rootOwner(GetForegroundWindow());
    if (front == NULL || activeSectionCount() == 0)
        return;
    WindowLook w;
    look(&w, front);
    for (int i = 0; i < activeSectionCount(); ++i) {
        const KeymapSection &s = activeSection(i);
        if (s.kind != SECTION_PROGRAM || !isProgramOf(&w, s))
            continue;
        f->foreground.binding = bindingOf(s, f->code);
        if (f->foreground.binding)
            take(f->foreground.binding, &activeKeymapOf(i), s.name, front);
        return;
    }
}

struct RunningSearch {
    const KeymapSection *section;
};

bool isRunningWindowOf(HWND window, const void *context)
{
    // Visible windows that no other window owns: a program's hidden helpers and
    // its dialogs take no commands meant for its main window.
    if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER) != NULL)
        return false;
    WindowLook w;
    look(&w, window);
    return isProgramOf(&w, *((const RunningSearch *)context)->section);
}

// The first match = running section binding the key whose program has a window.
void runningFact(RouteFacts *f)
{
    f->running = {true, NULL};
    if (!runningSectionsBind(f->code))
        return;
    for (int i = 0; i < activeSectionCount(); ++i) {
        const KeymapSection &s = activeSection(i);
        const KeymapBinding *b = s.running ? bindingOf(s, f->code) : NULL;
        if (b == NULL)
            continue;
        RunningSearch search = {&s};
        HWND window = firstTopLevelWindow(isRunningWindowOf, &search);
        if (window != NULL) {
            f->running.binding = b;
            take(b, &activeKeymapOf(i), s.name, window);
            return;
        }
    }
}

const KeymapBinding *overlayBinding(int target, int code)
{
    const KeymapSection *s = activeOverlayOf(SupportedApps[target].settingLabel);
    return s ? bindingOf(*s, code) : NULL;
}

const Keymap *mapOfSection(const KeymapSection *section)
{
    for (int i = 0; i < activeSectionCount(); ++i)
        if (&activeSection(i) == section)
            return &activeKeymapOf(i);
    return NULL;
}

// The route of a new press: the facts the decision asks for, found one at a time.
void decideRoute(int code)
{
    int target = activeTarget();
    const KeymapSection *fallback = activeSectionNamed("Default");
    RouteFacts f = {code,
                    shutdownPrompt() != NULL,
                    target >= 0,
                    target >= 0 ? overlayBinding(target, code) : NULL,
                    {false, NULL},
                    {false, NULL},
                    -1,
                    fallback ? bindingOf(*fallback, code) : NULL,
                    MediaKeysOn,
                    clientsHoldTheRemote()};
    Route.name[0] = '\0';
    Route.window = NULL;
    RouteStep step;
    while ((step = chooseRoute(f)) >= ROUTE_NEED_FOREGROUND) {
        if (step == ROUTE_NEED_FOREGROUND) {
            foregroundFact(&f);
        } else if (step == ROUTE_NEED_RUNNING) {
            runningFact(&f);
        } else {
            f.probe = 0;
            for (int app = 0; app < WATCHED_APP_COUNT && f.probe == 0; ++app)
                f.probe = findRunningApp((WatchedApp)app) != NULL;
        }
    }
    Route.step = step;
    if (step == ROUTE_OVERLAY) {
        const KeymapSection *overlay = activeOverlayOf(SupportedApps[target].settingLabel);
        take(f.overlay, mapOfSection(overlay), overlay->name, findRunningApp((WatchedApp)target));
    } else if (step == ROUTE_DEFAULT) {
        take(f.fallback, mapOfSection(fallback), "Default", rootOwner(GetForegroundWindow()));
    } else if (step == ROUTE_MEDIA) {
        take(mediaLayerBinding(code), NULL, "Media keys", NULL);
    } else if (step == ROUTE_POINTER) {
        CopyText(Route.name, sizeof Route.name, "Pointer");
    }
}

bool routeOfKeymap(RouteStep step)
{
    return step == ROUTE_FOREGROUND || step == ROUTE_OVERLAY || step == ROUTE_RUNNING ||
           step == ROUTE_DEFAULT || step == ROUTE_MEDIA;
}

} // namespace

bool clientsHoldTheRemote()
{
    // Connected clients, unless the server was told to keep the pointer.
    return !pointerKeysReachPointer();
}

bool mediaKeysOn()
{
    return MediaKeysOn;
}

void setMediaKeysOn(bool on)
{
    MediaKeysOn = on;
}

const PressRoute &currentPressRoute()
{
    return Route;
}

void routeRemoteRead(HWND mainWindow, int code, const RepeatOutcome &r, int repeatCount)
{
    if (r.newKey)
        decideRoute(code);
    // The open Shut Down dialog takes every read, whatever the press began as.
    if (shutdownPrompt() != NULL || !routeOfKeymap(Route.step)) {
        dispatchRemoteKey(mainWindow, r.key, repeatCount);
        int target = activeTarget();
        if (target >= 0 && Route.name[0] == '\0')
            CopyText(Route.name, sizeof Route.name, SupportedApps[target].settingLabel);
        return;
    }
    if (paceActs(Route.binding.pace, repeatCount)) {
        performKeymapAction(Route, Route.step == ROUTE_RUNNING || Route.step == ROUTE_OVERLAY);
        reportKeyActed(code, repeatCount, KEY_RESULT_SENT, Route.name, Route.window);
    }
}

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
