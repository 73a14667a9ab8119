// The four key-driven applications as the dispatcher's probe and the launch
// watch find them running: by window class, or Home Theater by its whole title.
#include "apps/apps.h"

struct RunningAppIdentity {
    const char *windowClass; // looked up by class when not NULL
    const char *exactTitle;  // else by whole title
    TvAppTarget *record;
};

// Indexed by WatchedApp.
static const RunningAppIdentity runningApps[WATCHED_APP_COUNT] = {
    {NULL, "Home Theater", &homeTheaterTarget},
    {"PowerVCR II Taurus", NULL, &powerVcrTarget},
    {"honestechTV 2.0", NULL, &honestechTarget},
    {"TIVRA_TVR", NULL, &tivraTarget},
};

static bool validApp(int app)
{
    return app >= 0 && app < WATCHED_APP_COUNT;
}

HWND findRunningApp(WatchedApp app)
{
    if (!validApp(app))
        return NULL;
    const RunningAppIdentity &w = runningApps[app];
    return FindWindowExA(GetDesktopWindow(), NULL, w.windowClass, w.exactTitle);
}

TvAppTarget *recordOf(WatchedApp app)
{
    return validApp(app) ? runningApps[app].record : NULL;
}
