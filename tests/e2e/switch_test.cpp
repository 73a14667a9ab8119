// Switching between the applications with the main window's commands 1101 to
// 1106, as the tray and accelerators send them: which applications close, which
// one comes up, and the default application the power key then starts.
#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <set>
#include <string>

#include "program_run.h"
#include "standin_client.h"
#include "shell/shell.h"

using namespace e2e;

namespace
{

const App *const AllApps[] = {&PowerVcr, &HomeTheater, &Honestech, &Tivra, &WinDvd, &WinRip};

std::set<std::string> runningApps()
{
    std::set<std::string> names;
    for (const App *app : AllApps)
        if (windowOf(*app) != NULL)
            names.insert(app->role);
    return names;
}

std::string describe(const std::set<std::string> &s)
{
    std::string out;
    for (const std::string &n : s)
        out += n + " ";
    return out;
}

} // namespace

TEST(Switch, EachCommandClosesItsListAndBringsUpItsApplication)
{
    ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
    resetCard();
    qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "DefaultTVAPP", 2); // PowerVCR II
    // Home Theater's close is a chord typed to whatever has the focus: the real
    // application takes it as a system-wide hot key, the stand-in only while it is
    // in front. So Home Theater is brought up last here, and closed by the power key.
    std::map<const App *, size_t> logFrom;
    for (const App *app : AllApps)
        logFrom[app] = logLength(*app);
    for (const App *app : {&Honestech, &Tivra, &WinDvd, &WinRip})
        ASSERT_NE(launch(*app), (HWND)NULL) << app->role;
    Tunerkey run;
    ASSERT_TRUE(startTunerkey(&run));

    struct Step {
        int command;
        const App *brought;
        std::set<std::string> after;
    } steps[] = {
        {1104, &PowerVcr, {"windvd", "winrip", "powervcr"}},
        {1106, &Tivra, {"windvd", "winrip", "tivra"}},
        {1105, &Honestech, {"windvd", "winrip", "honestech"}},
        {1101, &WinDvd, {"windvd", "honestech"}},
        {1103, &WinRip, {"winrip", "honestech"}},
        {1102, &HomeTheater, {"hometheater"}},
    };
    for (const Step &s : steps) {
        PostMessageA(run.window, WM_COMMAND, s.command, 0);
        if (!qxt::waitUntil([&] { return runningApps() == s.after; }, 4000)) {
            ADD_FAILURE() << "command " << s.command << ": running " << describe(runningApps()) << "expected "
                          << describe(s.after);
            for (const App *app : AllApps)
                printf("%s: %s\n", app->role, ::testing::PrintToString(standin::lines(logOf(*app))).c_str());
        }
        HWND w = windowOf(*s.brought);
        EXPECT_TRUE(qxt::waitUntil([&] { return w != NULL && GetForegroundWindow() == w; }, 2000))
            << "command " << s.command << ": " << s.brought->role << " not in front";
    }

    // 1102 made Home Theater the default in memory only. It is the target now:
    // the power key closes it, and then starts it again, not the stored default.
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(18));
    ASSERT_TRUE(waitForEnd(HomeTheater)) << "the power key did not close the target";
    qxt::pumpMessages(500);
    ASSERT_TRUE(press(18));
    EXPECT_TRUE(qxt::waitUntil([] { return windowOf(HomeTheater) != NULL; }, 5000)) << "default not started";
    EXPECT_EQ(windowOf(PowerVcr), (HWND)NULL);
    DWORD stored = 0;
    EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "DefaultTVAPP", &stored));
    EXPECT_EQ(stored, 2u) << "the commands save nothing";

    EXPECT_EQ(exitTunerkey(&run), 0);
    closeAll();

    // No application ever got a key of another's chord: Ctrl held only for the
    // keys of its own close signal.
    for (const App *app : AllApps) {
        std::set<std::string> own;
        if (app == &PowerVcr || app == &Honestech)
            own = {"0x11", "0x58"};
        else if (app == &HomeTheater)
            own = {"0x10", "0x11", "0x12", "0x77"};
        for (const std::string &line : received(*app, logFrom[app])) {
            char kind[16] = "", win[16] = "", vk[8] = "", lParam[16] = "", mods[8] = "";
            if (sscanf(line.c_str(), "%15s %15s %7s %15s %7s", kind, win, vk, lParam, mods) == 5 &&
                strstr(kind, "KEY") != NULL && strchr(mods, 'C') != NULL) {
                EXPECT_TRUE(own.count(vk)) << app->role << " got " << line;
            }
        }
    }
}
