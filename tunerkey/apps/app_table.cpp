// The supported applications in one table: what the rooms know of each one (its
// identity, its number as the default, its Setting entry, its driver) is read here.
#include "apps/apps.h"

#include "apps/window_search.h"

const SupportedApp SupportedApps[APP_COUNT] = {
    {"Software\\InterVideo\\Home Theater", "PATH", "Home Theater.exe", "", "Home Theater", &homeTheaterTarget,
     NULL, "Home Theater", 1, "Home Theater", HomeTheaterDriver::handleKey, HomeTheaterDriver::key15,
     HomeTheaterDriver::close, HomeTheaterDriver::togglePower},
    {"Software\\Cyberlink\\PowerVCR II", "InstallPath", "PVCR.EXE", "", "PowerVCR II", &powerVcrTarget,
     "PowerVCR II Taurus", NULL, 2, "PowerVCR", PowerVcrDriver::handleKey, NULL, PowerVcrDriver::close,
     PowerVcrDriver::togglePower},
    {"Software\\honestech\\DVD Plus\\TVR", "AppPath", "honestechTV.EXE", "", "honestechTV 2.0",
     &honestechTarget, "honestechTV 2.0", NULL, 4, "HonesTVR", HonestechDriver::handleKey, NULL,
     HonestechDriver::close, HonestechDriver::togglePower},
    {"Software\\Honestech\\TV Plus\\TVR", "AppPath", "honestechTV.EXE", "TIVRA_TVR", "FormMainWindow",
     &tivraTarget, "TIVRA_TVR", NULL, 3, "TivraTVR", TivraDriver::handleKey, TivraDriver::key15,
     TivraDriver::close, TivraDriver::togglePower},
    {"Software\\InterVideo\\WinDVD4", "PATH", "WINDVD.EXE", "", "InterVideo WinDVD 4", &winDvdTarget, NULL,
     NULL, 0, NULL, NULL, NULL, WinDvdDriver::close, NULL},
    {"Software\\InterVideo\\WinRip", "PATH", "WINRIP.EXE", "", "WinRip", &winRipTarget, NULL, NULL, 0, NULL,
     NULL, NULL, WinRipDriver::close, NULL},
};

const WatchedApp TargetOrder[WATCHED_APP_COUNT] = {WATCH_POWERVCR, WATCH_HOME_THEATER, WATCH_HONESTECH,
                                                   WATCH_TIVRA};
// The recorder first, honestechTV last.
const WatchedApp AdoptionOrder[WATCHED_APP_COUNT] = {WATCH_TIVRA, WATCH_POWERVCR, WATCH_HOME_THEATER,
                                                     WATCH_HONESTECH};

// By AppId.
static const char *const AppNames[APP_COUNT] = {"Home Theater", "PowerVCR II", "honestechTV",
                                                "TivraTVR",     "WinDVD 4",    "WinRip"};

const char *appName(int app)
{
    return app >= 0 && app < APP_COUNT ? AppNames[app] : NULL;
}

static TvAppTarget recordFor(AppId id)
{
    const SupportedApp &a = SupportedApps[id];
    return TvAppTarget(a.registryKey, a.registryValue, a.exeName, a.windowClass, a.windowTitle);
}

// Constructed in this order, each reading its registry entry once. The table
// above holds only constants, so it is complete before any of them is built.
TvAppTarget powerVcrTarget = recordFor(APP_POWERVCR);
TvAppTarget honestechTarget = recordFor(APP_HONESTECH);
TvAppTarget winDvdTarget = recordFor(APP_WINDVD);
TvAppTarget homeTheaterTarget = recordFor(APP_HOME_THEATER);
TvAppTarget winRipTarget = recordFor(APP_WINRIP);
TvAppTarget tivraTarget = recordFor(APP_TIVRA);

static bool keyDriven(int app)
{
    return app >= 0 && app < WATCHED_APP_COUNT;
}

HWND findRunningApp(WatchedApp app)
{
    if (!keyDriven(app))
        return NULL;
    const SupportedApp &a = SupportedApps[app];
    return FindWindowExA(GetDesktopWindow(), NULL, a.runningClass, a.runningTitle);
}

TvAppTarget *recordOf(WatchedApp app)
{
    return keyDriven(app) ? SupportedApps[app].record : NULL;
}

int appOfDefault(int value)
{
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        if (value != 0 && SupportedApps[app].defaultTvApp == value)
            return app;
    return -1;
}

bool togglePowerWith(HWND running, void (*close)(), TvAppTarget &record)
{
    if (running != NULL) {
        close();
        return false;
    }
    record.bringToFront();
    return true;
}
