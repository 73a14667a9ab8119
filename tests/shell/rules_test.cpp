// The Setting list as a pure decision, and the tray icon record.
#include <gtest/gtest.h>

#include "shell/shell.h"
#include "shell/shell_internal.h"

#include <string>
#include <vector>

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

TEST(TrayIcon, RecordHoldsTheFirstLayoutAndABoundedTip)
{
    HICON icon = LoadIcon(NULL, IDI_APPLICATION);
    HWND owner = GetDesktopWindow();
    // Headless, the shell has no notification area: the record is what matters here.
    addTrayIcon(owner, TRAY_ICON_ID, icon, "QX770 Remote Control");
    const TrayIconData &TrayIcon = trayIconRecord();
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

// Fast user switching (Windows XP) and Terminal Services (Windows 2000) give every
// user a session of his own: the instance's name must span them all from 2000 on.
TEST(SingleInstance, TheNameSpansTheSessionsFromWindows2000On)
{
    struct {
        DWORD platform, major;
        bool global;
    } const cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 4, false},                                   // 95, 98, ME
        {VER_PLATFORM_WIN32_NT, 4, false},      {VER_PLATFORM_WIN32_NT, 5, true}, // 2000, XP
        {VER_PLATFORM_WIN32_NT, 6, true},       {VER_PLATFORM_WIN32_NT, 10, true},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(instanceMutexName(c.platform, c.major),
                     c.global ? "Global\\" TK_INSTANCE_MUTEX : TK_INSTANCE_MUTEX)
            << c.platform << " " << c.major;
}
