// The main window's commands that switch between the applications.
#include "keys/keys.h"

#include "apps/apps.h"

namespace
{

// Window commands 1101 to 1106: close these applications in order, raise or
// start one, and make it the power key's default for the rest of the run when it
// has a number as a default (not saved).
struct WindowCommand {
    int command;
    int closeCount;
    AppId closeFirst[5];
    AppId raise;
};
const WindowCommand kWindowCommands[] = {
    {1101, 2, {APP_HOME_THEATER, APP_WINRIP}, APP_WINDVD},
    {1102, 5, {APP_WINDVD, APP_WINRIP, APP_TIVRA, APP_POWERVCR, APP_HONESTECH}, APP_HOME_THEATER},
    {1103, 2, {APP_WINDVD, APP_HOME_THEATER}, APP_WINRIP},
    {1104, 3, {APP_HOME_THEATER, APP_TIVRA, APP_HONESTECH}, APP_POWERVCR},
    {1105, 3, {APP_HOME_THEATER, APP_POWERVCR, APP_TIVRA}, APP_HONESTECH},
    {1106, 3, {APP_HOME_THEATER, APP_POWERVCR, APP_HONESTECH}, APP_TIVRA},
};

} // namespace

void switchApplication(int command)
{
    for (const WindowCommand &c : kWindowCommands) {
        if (c.command != command)
            continue;
        for (int i = 0; i < c.closeCount; ++i)
            SupportedApps[c.closeFirst[i]].close();
        const SupportedApp &raised = SupportedApps[c.raise];
        raised.record->bringToFront();
        if (raised.defaultTvApp != 0)
            setDefaultTvApp(raised.defaultTvApp);
        return;
    }
}
