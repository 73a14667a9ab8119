// The shell's decisions as data: dialog placement, the Setting list, the tray
// menu and the tray icon record.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "resources/resource.h"

#include <string>
#include <vector>

TEST(DialogPlacement, ListedWidthsMoveOthersStay)
{
    struct Case {
        int width;
        bool moves;
        int x, y;
    } cases[] = {
        {640, true, 160, 200},  {800, true, 280, 250},  {1024, true, 350, 300}, {1152, true, 420, 300},
        {1280, true, 420, 300}, {1600, true, 580, 340}, {1366, false, 0, 0},    {1920, false, 0, 0},
        {0, false, 0, 0},       {1023, false, 0, 0},
    };
    for (const Case &c : cases) {
        POINT at = {-1, -1};
        EXPECT_EQ(dialogPlacementFor(c.width, &at), c.moves) << c.width;
        if (c.moves) {
            EXPECT_EQ(at.x, c.x) << c.width;
            EXPECT_EQ(at.y, c.y) << c.width;
        } else {
            EXPECT_EQ(at.x, -1) << "position untouched for " << c.width;
        }
    }
}

// installed[] is in list order: Home Theater, PowerVCR II, honestechTV, TivraTVR.
TEST(SettingList, OffersInstalledApplicationsAndPreselects)
{
    struct Case {
        const char *what;
        int installed[SETTING_APP_COUNT];
        int defaultApp, previous;
        std::vector<std::string> labels;
        int selection;
    } cases[] = {
        {"all installed, TivraTVR (3) is last",
         {1, 1, 1, 1},
         3,
         -1,
         {"Home Theater", "PowerVCR", "HonesTVR", "TivraTVR"},
         3},
        {"honestechTV is 4 but third",
         {1, 1, 1, 1},
         4,
         -1,
         {"Home Theater", "PowerVCR", "HonesTVR", "TivraTVR"},
         2},
        {"Home Theater and TivraTVR", {1, 0, 0, 1}, 3, -1, {"Home Theater", "TivraTVR"}, 1},
        {"default not installed, first opening", {1, 0, 0, 1}, 2, -1, {"Home Theater", "TivraTVR"}, 0},
        {"default not installed, remembered entry", {1, 0, 0, 1}, 2, 1, {"Home Theater", "TivraTVR"}, 1},
        {"unknown default keeps the remembered entry",
         {1, 1, 1, 1},
         7,
         2,
         {"Home Theater", "PowerVCR", "HonesTVR", "TivraTVR"},
         2},
        {"matching default wins over the remembered entry", {0, 1, 1, 0}, 4, 0, {"PowerVCR", "HonesTVR"}, 1},
        {"nothing installed", {0, 0, 0, 0}, 1, -1, {}, 0},
    };
    for (const Case &c : cases) {
        SettingList list = buildSettingList(c.installed, c.defaultApp, c.previous);
        std::vector<std::string> labels(list.labels, list.labels + list.count);
        EXPECT_EQ(labels, c.labels) << c.what;
        EXPECT_EQ(list.selection, c.selection) << c.what;
    }
}

TEST(SettingList, LabelsMapToTheirValuesWholeTextOnly)
{
    EXPECT_EQ(settingValueOfLabel("Home Theater"), 1);
    EXPECT_EQ(settingValueOfLabel("PowerVCR"), 2);
    EXPECT_EQ(settingValueOfLabel("TivraTVR"), 3);
    EXPECT_EQ(settingValueOfLabel("HonesTVR"), 4);
    EXPECT_EQ(settingValueOfLabel(""), 0);
    EXPECT_EQ(settingValueOfLabel("Home Theater "), 0);
    EXPECT_EQ(settingValueOfLabel("PowerVCR II"), 0);
    EXPECT_EQ(settingValueOfLabel("powervcr"), 0);
}

struct MenuLine {
    std::string text;
    UINT id;
    bool separator, checked;
    bool operator==(const MenuLine &o) const
    {
        return text == o.text && id == o.id && separator == o.separator && checked == o.checked;
    }
};

static std::ostream &operator<<(std::ostream &os, const MenuLine &l)
{
    return os << (l.separator ? "----" : l.text) << " " << l.id << (l.checked ? " checked" : "");
}

static std::vector<MenuLine> menuLines(HMENU menu)
{
    std::vector<MenuLine> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[64] = "";
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        lines.push_back(
            {text, GetMenuItemID(menu, i), (state & MF_SEPARATOR) != 0, (state & MF_CHECKED) != 0});
    }
    return lines;
}

TEST(TrayMenu, HomeTheaterEntryFollowsInstallAndRunningState)
{
    const MenuLine sep = {"", 0, true, false}, about = {"About", IDM_ABOUT, false, false},
                   exitItem = {"Exit", IDM_EXIT, false, false};
    struct Case {
        bool installed, running;
        std::vector<MenuLine> lines;
    } cases[] = {
        {false, false, {sep, about, sep, exitItem}},
        {false, true, {sep, about, sep, exitItem}},
        {true, false, {{"Home Theater", IDM_HOME_THEATER, false, false}, sep, about, sep, exitItem}},
        {true, true, {{"Home Theater", IDM_HOME_THEATER, false, true}, sep, about, sep, exitItem}},
    };
    for (const Case &c : cases) {
        HMENU menu = buildTrayMenu(c.installed, c.running);
        ASSERT_NE(menu, (HMENU)NULL);
        EXPECT_EQ(menuLines(menu), c.lines) << "installed " << c.installed << " running " << c.running;
        DestroyMenu(menu);
    }
}

TEST(TrayIcon, RecordHoldsTheFirstLayoutAndABoundedTip)
{
    HICON icon = LoadIcon(NULL, IDI_APPLICATION);
    HWND owner = GetDesktopWindow();
    // Headless, the shell has no notification area: the record is what matters here.
    addTrayIcon(owner, TRAY_ICON_ID, icon, "QX770 Remote Control");
    EXPECT_EQ(TrayIcon.cbSize, (DWORD)NOTIFYICONDATAA_V1_SIZE);
    EXPECT_EQ(TrayIcon.hWnd, owner);
    EXPECT_EQ(TrayIcon.uID, (UINT)10);
    EXPECT_EQ(TrayIcon.uFlags, (UINT)7);
    EXPECT_EQ(TrayIcon.uCallbackMessage, (UINT)1001);
    EXPECT_EQ(TrayIcon.hIcon, icon);
    EXPECT_STREQ(TrayIcon.szTip, "QX770 Remote Control");

    std::string longTip(100, 'x');
    longTip[63] = 'y';
    addTrayIcon(owner, TRAY_ICON_ID, icon, longTip.c_str());
    EXPECT_EQ(std::string(TrayIcon.szTip), std::string(63, 'x'));

    addTrayIcon(owner, TRAY_ICON_ID, icon, NULL);
    EXPECT_STREQ(TrayIcon.szTip, "");
}
