// The Setting dialog's list of applications, as a pure decision.
#include "shell/shell.h"

#include "apps/apps.h"

#include <string.h>

static_assert(SETTING_APP_COUNT == WATCHED_APP_COUNT, "the list shows the key-driven applications");

SettingList buildSettingList(const int installed[SETTING_APP_COUNT], int defaultApp, int previousIndex)
{
    SettingList list = {};
    list.selection = previousIndex;
    for (int i = 0; i < SETTING_APP_COUNT; ++i) {
        if (!installed[i])
            continue;
        // The list shows the key-driven applications in the table's order; their
        // numbers follow the power key's, hence 4 before 3.
        if (SupportedApps[i].defaultTvApp == defaultApp)
            list.selection = list.count;
        list.labels[list.count++] = SupportedApps[i].settingLabel;
    }
    if (list.selection == -1)
        list.selection = 0;
    return list;
}

int settingValueOfLabel(const char *label)
{
    for (int i = 0; i < SETTING_APP_COUNT; ++i) {
        if (strcmp(label, SupportedApps[i].settingLabel) == 0)
            return SupportedApps[i].defaultTvApp;
    }
    return 0;
}
