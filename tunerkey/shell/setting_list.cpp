// The Setting dialog's list of applications, as a pure decision.
#include "shell/shell.h"

#include <string.h>

struct SettingEntry {
    const char *label;
    int value; // DefaultTVAPP
};

// List order; the values follow the power key's numbering, hence 4 before 3.
static const SettingEntry SettingEntries[SETTING_APP_COUNT] = {
    {"Home Theater", 1},
    {"PowerVCR", 2},
    {"HonesTVR", 4},
    {"TivraTVR", 3},
};

SettingList buildSettingList(const int installed[SETTING_APP_COUNT], int defaultApp, int previousIndex)
{
    SettingList list = {};
    list.selection = previousIndex;
    for (int i = 0; i < SETTING_APP_COUNT; ++i) {
        if (!installed[i])
            continue;
        if (SettingEntries[i].value == defaultApp)
            list.selection = list.count;
        list.labels[list.count++] = SettingEntries[i].label;
    }
    if (list.selection == -1)
        list.selection = 0;
    return list;
}

int settingValueOfLabel(const char *label)
{
    for (const SettingEntry &e : SettingEntries) {
        if (strcmp(label, e.label) == 0)
            return e.value;
    }
    return 0;
}
