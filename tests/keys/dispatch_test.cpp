// Routing of remote keys after the repeat rule: the Shut Down dialog, the target
// application, the probe of running applications, the power key with its default
// application, key 15, and the window commands, against real windows: recorder
// windows of this process and stand-in applications in their own processes.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <stdio.h>
#include <thread>

#include "apps/apps.h"
#include "keys/keys.h"
#include "qxtest.h"
#include "standin_client.h"

namespace
{

TvAppTarget *const kKeyTargets[] = {&powerVcrTarget, &homeTheaterTarget, &honestechTarget, &tivraTarget};

class Dispatch : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        for (TvAppTarget *t : kKeyTargets)
            t->active = 0;
        setShutdownPrompt(NULL);
        setDefaultTvApp(0);
        configureWatchTimer(main.hwnd());
        initPointerLimits();
    }
    void TearDown() override
    {
        stopWatchTimer();
        for (int app = 0; app < WATCHED_APP_COUNT; ++app)
            clearLaunchWatch((WatchedApp)app);
        for (standin::Running &r : running)
            standin::stop(&r);
        // Applications that a test launched through WinExec.
        for (int app = 0; app < WATCHED_APP_COUNT; ++app) {
            HWND w = findRunningApp((WatchedApp)app);
            if (w) {
                PostMessageA(w, WM_CLOSE, 0, 0);
                qxt::waitForGone(w);
            }
        }
        setShutdownPrompt(NULL);
    }
    // A stand-in of `role` in its own process.
    HWND startStandin(const char *role)
    {
        running.emplace_back();
        std::string log = qxt::makeTempDir(role) + "\\standin.log";
        EXPECT_TRUE(standin::start(std::string("--role ") + role, log, &running.back())) << role;
        return running.back().window;
    }
    qxt::MessageRecorder main{"QxKeysMain", "Keys main"};
    std::list<standin::Running> running;
};

// Keys the driver of a recorder window got: WM_KEYDOWN and the recorder's command message.
size_t keysReceived(const qxt::MessageRecorder &w)
{
    return w.received(WM_KEYDOWN).size() + w.received(TivraDriver::COMMAND_MESSAGE).size();
}

} // namespace

TEST_F(Dispatch, OpenShutDownDialogTakesEveryKeyButASwallowedRepeat)
{
    qxt::MessageRecorder prompt("QxPrompt", "Prompt");
    setShutdownPrompt(prompt.hwnd());
    powerVcrTarget.active = 1; // the dialog comes before any target
    struct Case {
        int key;
        WPARAM sent; // 0: nothing
    } cases[] = {{KEY_POWER, VK_RETURN},
                 {5, VK_ESCAPE},
                 {KEY_SHUTDOWN, VK_ESCAPE},
                 {KEY_SUPPRESSED, 0},
                 {0, VK_ESCAPE}};
    for (const Case &c : cases) {
        prompt.clear();
        dispatchRemoteKey(main.hwnd(), c.key);
        std::vector<qxt::Received> got = prompt.received(WM_KEYDOWN);
        ASSERT_EQ(got.size(), c.sent ? 1u : 0u) << "key " << c.key;
        if (c.sent) {
            EXPECT_EQ(got[0].wParam, c.sent) << "key " << c.key;
            EXPECT_EQ(got[0].lParam, 0);
        }
    }
}

TEST_F(Dispatch, ProbeAdoptsTheFirstRunningApplicationInItsOrder)
{
    enum { TIVRA = 1, PVCR = 2, HT = 4, HONESTECH = 8, HT_LONGER_TITLE = 16 };
    struct Case {
        int windows;
        int adopted; // 0: the pointer gets the key
    } cases[] = {
        {TIVRA | PVCR | HT | HONESTECH, TIVRA},
        {PVCR | HT | HONESTECH, PVCR},
        {HT | HONESTECH, HT},
        {HONESTECH, HONESTECH},
        {HT_LONGER_TITLE, 0},
        {0, 0},
    };
    for (const Case &c : cases) {
        SetUp();
        struct Window {
            int bit;
            const char *cls, *title;
            TvAppTarget *record;
        } windows[] = {
            {TIVRA, "TIVRA_TVR", "FormMainWindow", &tivraTarget},
            {PVCR, "PowerVCR II Taurus", "PowerVCR II", &powerVcrTarget},
            {HT, "QxHomeTheater", "Home Theater", &homeTheaterTarget},
            {HONESTECH, "honestechTV 2.0", "honestechTV 2.0", &honestechTarget},
            {HT_LONGER_TITLE, "QxHomeTheater2", "Home Theater - DVD", NULL},
        };
        std::vector<std::unique_ptr<qxt::MessageRecorder>> open;
        std::vector<Window> which;
        for (const Window &w : windows)
            if (c.windows & w.bit) {
                open.emplace_back(new qxt::MessageRecorder(w.cls, w.title));
                which.push_back(w);
            }
        SetCursorPos(300, 300);
        dispatchRemoteKey(main.hwnd(), 6);
        qxt::pumpMessages(50);
        for (size_t i = 0; i < open.size(); ++i) {
            bool adopted = which[i].bit == c.adopted;
            EXPECT_EQ(keysReceived(*open[i]), adopted ? 1u : 0u)
                << which[i].title << " in case " << c.windows;
            if (which[i].record) {
                EXPECT_EQ(which[i].record->active, adopted ? 1 : 0) << which[i].title;
            }
        }
        POINT p;
        GetCursorPos(&p);
        EXPECT_EQ(p.x, c.adopted ? 300 : 301) << "case " << c.windows;
    }
}

TEST_F(Dispatch, TargetGetsKeysPowerAndKey15ByItsTable)
{
    qxt::MessageRecorder tivra("TIVRA_TVR", "FormMainWindow");
    qxt::MessageRecorder pvcr("PowerVCR II Taurus", "PowerVCR II");
    // PowerVCR II comes before the recorder when both are active.
    powerVcrTarget.active = tivraTarget.active = 1;
    dispatchRemoteKey(main.hwnd(), 5);
    dispatchRemoteKey(main.hwnd(), KEY_SUPPRESSED);
    dispatchRemoteKey(main.hwnd(), KEY_SHUTDOWN); // nothing for PowerVCR II
    qxt::pumpMessages(50);
    EXPECT_EQ(keysReceived(pvcr), 1u);
    EXPECT_EQ(keysReceived(tivra), 0u);

    powerVcrTarget.active = 0;
    dispatchRemoteKey(main.hwnd(), KEY_SUPPRESSED);
    dispatchRemoteKey(main.hwnd(), KEY_SHUTDOWN);
    dispatchRemoteKey(main.hwnd(), 5);
    dispatchRemoteKey(main.hwnd(), KEY_POWER); // the recorder runs: power closes it
    qxt::pumpMessages(50);
    std::vector<qxt::Received> got = tivra.received(TivraDriver::COMMAND_MESSAGE);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].wParam, 5001u);
    EXPECT_EQ(got[1].wParam, 10005u);
    EXPECT_EQ(got[2].wParam, 1u);
    EXPECT_EQ(tivraTarget.active, 0);
    for (const qxt::Received &m : main.received(WM_COMMAND))
        EXPECT_NE(LOWORD(m.wParam), CMD_SHUTDOWN_PROMPT)
            << "key 15 of a target asked for the Shut Down dialog";
}

// Key 15 asks the main window for the Shut Down dialog (the shell opens it).
TEST_F(Dispatch, Key15AsksToShutDownOnlyWithNoApplicationRunning)
{
    auto prompts = [&] {
        size_t n = 0;
        for (const qxt::Received &m : main.received(WM_COMMAND))
            n += LOWORD(m.wParam) == CMD_SHUTDOWN_PROMPT;
        return n;
    };
    {
        qxt::MessageRecorder honestech("honestechTV 2.0", "honestechTV 2.0");
        dispatchRemoteKey(main.hwnd(), KEY_SHUTDOWN);
        qxt::pumpMessages(100);
        EXPECT_EQ(honestechTarget.active, 0); // not adopted either
        EXPECT_EQ(prompts(), 0u);
    }
    dispatchRemoteKey(main.hwnd(), KEY_SHUTDOWN);
    EXPECT_TRUE(qxt::waitUntil([&] { return prompts() == 1; }, 2000));
    qxt::pumpMessages(100);
    EXPECT_EQ(prompts(), 1u);
}

// The closes of one key press follow each other without a pause, and some of them
// are typed chords that only the focused window gets; so which close ran is read
// from the records (a close that finds its window clears `active`), not from the
// windows going.
TEST_F(Dispatch, PowerKeyClosesTheOthersAndTogglesTheDefault)
{
    struct Case {
        int defaultApp;
        const char *chosen; // role launched
        WatchedApp app;
        TvAppTarget *record;
    } cases[] = {
        {1, "hometheater", WATCH_HOME_THEATER, &homeTheaterTarget},
        {2, "powervcr", WATCH_POWERVCR, &powerVcrTarget},
        {3, "tivra", WATCH_TIVRA, &tivraTarget},
        {4, "honestech", WATCH_HONESTECH, &honestechTarget},
    };
    struct Other {
        const char *role;
        TvAppTarget *record;
    } all[] = {{"hometheater", &homeTheaterTarget},
               {"powervcr", &powerVcrTarget},
               {"tivra", &tivraTarget},
               {"honestech", &honestechTarget}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen);
        SetUp();
        std::vector<TvAppTarget *> others;
        for (const Other &o : all)
            if (strcmp(o.role, c.chosen) != 0) {
                startStandin(o.role);
                o.record->active = 1;
                others.push_back(o.record);
            }
        setDefaultTvApp(c.defaultApp);
        launchDefaultApplication();
        for (TvAppTarget *t : others)
            EXPECT_EQ(t->active, 0) << t->exeName;
        // Launched through WinExec: the target, watched until its window goes.
        EXPECT_EQ(c.record->active, 1);
        EXPECT_TRUE(launchWatchSet(c.app));
        EXPECT_TRUE(watchTimer().running);
        HWND launched = NULL;
        EXPECT_TRUE(qxt::waitUntil([&] { return (launched = findRunningApp(c.app)) != NULL; }));
        PostMessageA(launched, WM_CLOSE, 0, 0);
        EXPECT_TRUE(qxt::waitUntil([&] { return c.record->active == 0; }, 4000));
        EXPECT_FALSE(launchWatchSet(c.app));
        EXPECT_FALSE(watchTimer().running);
        TearDown();
        running.clear();
    }
}

TEST_F(Dispatch, PowerKeyWithNoTargetStartsOrEndsTheDefaultOnly)
{
    // DefaultTVAPP outside 1 to 4: nothing at all.
    for (int value : {0, 5}) {
        setDefaultTvApp(value);
        dispatchRemoteKey(main.hwnd(), KEY_POWER);
        qxt::pumpMessages(300);
        EXPECT_EQ(findRunningApp(WATCH_TIVRA), (HWND)NULL);
        EXPECT_FALSE(watchTimer().running) << value;
    }
    // The recorder as default: a press starts it, the next (it is now the target) ends it.
    setDefaultTvApp(3);
    dispatchRemoteKey(main.hwnd(), KEY_POWER);
    HWND launched = NULL;
    ASSERT_TRUE(qxt::waitUntil([&] { return (launched = findRunningApp(WATCH_TIVRA)) != NULL; }));
    EXPECT_EQ(tivraTarget.active, 1);
    dispatchRemoteKey(main.hwnd(), KEY_POWER);
    EXPECT_TRUE(qxt::waitForGone(launched));
    EXPECT_EQ(tivraTarget.active, 0);
}

TEST_F(Dispatch, PowerKeyWithTheDefaultNotInstalledSaysSoOncePerPress)
{
    HWND ht = startStandin("hometheater");
    HWND honestech = startStandin("honestech");
    setDefaultTvApp(2);
    int saved = powerVcrTarget.installed;
    powerVcrTarget.installed = 0;
    for (int press = 0; press < 2; ++press) {
        int boxes = 0;
        std::string text;
        std::thread answer([&] {
            DWORD start = GetTickCount();
            while (GetTickCount() - start < 1500) {
                HWND box = FindWindowA("#32770", "QX770 Remote Control");
                if (box && IsWindowVisible(box)) {
                    ++boxes;
                    text = qxt::messageBoxText(box);
                    qxt::pressButton(box, IDOK);
                    qxt::waitForGone(box, 2000);
                }
                Sleep(20);
            }
        });
        dispatchRemoteKey(main.hwnd(), KEY_POWER);
        answer.join();
        EXPECT_EQ(boxes, 1) << "press " << press;
        EXPECT_EQ(text, "Please re-initialize the TV application settings.");
    }
    powerVcrTarget.installed = saved;
    EXPECT_TRUE(watchTimer().running) << "the watch starts after any launch attempt";
    // The others are closed all the same; nothing was launched.
    EXPECT_TRUE(qxt::waitForGone(ht, 3000));
    EXPECT_TRUE(qxt::waitForGone(honestech, 3000));
    EXPECT_EQ(findRunningApp(WATCH_POWERVCR), (HWND)NULL);
    EXPECT_EQ(powerVcrTarget.active, 0);
}

// An application that takes its time to close, telling every top-level window
// first that it goes: the next one is raised only once it has gone, so nothing
// meant for the next reaches it and it keeps the foreground until then; and the
// wait answers what it sends meanwhile, or it could not go within the wait.
TEST_F(Dispatch, NextApplicationIsRaisedOnlyOnceTheClosingOneHasGone)
{
    running.emplace_back();
    std::string log = qxt::makeTempDir("slowclose") + "\\standin.log";
    ASSERT_TRUE(standin::start("--role powervcr --close-delay 400", log, &running.back()));
    HWND slow = running.back().window;
    HWND honestech = startStandin("honestech");
    std::string honestechLog = running.back().log;
    powerVcrTarget.active = honestechTarget.active = 1;
    size_t from = standin::lines(log).size(), honestechFrom = standin::lines(honestechLog).size();
    setDefaultTvApp(4); // closes PowerVCR II, then raises honestechTV and types its close
    launchDefaultApplication();
    EXPECT_FALSE(IsWindow(slow)) << "still there when the next one was raised";
    std::vector<std::string> got = standin::linesFrom(log, from);
    size_t closing = std::find(got.begin(), got.end(), "CLOSING") - got.begin();
    size_t quit = std::find(got.begin(), got.end(), "QUIT close-signal") - got.begin();
    ASSERT_LT(closing, quit) << ::testing::PrintToString(got);
    ASSERT_LT(quit, got.size()) << ::testing::PrintToString(got);
    for (size_t i = closing + 1; i < quit; ++i) {
        EXPECT_TRUE(got[i].rfind("KEYUP ", 0) == 0) << "while it closed: " << got[i];
    }
    EXPECT_TRUE(qxt::waitForGone(honestech)) << ::testing::PrintToString(standin::lines(honestechLog));
    got = standin::linesFrom(honestechLog, honestechFrom);
    EXPECT_NE(std::find(got.begin(), got.end(), "QUIT close-signal"), got.end())
        << ::testing::PrintToString(got);
}

TEST_F(Dispatch, WindowCommandsCloseAndRaiseTheirApplications)
{
    struct Role {
        const char *role;
        TvAppTarget *record;
    } roles[] = {{"hometheater", &homeTheaterTarget}, {"windvd", &winDvdTarget},
                 {"winrip", &winRipTarget},           {"powervcr", &powerVcrTarget},
                 {"honestech", &honestechTarget},     {"tivra", &tivraTarget}};
    struct Case {
        int command;
        std::vector<const char *> closed;
        const char *raised;
        int newDefault;
    } cases[] = {
        {1101, {"hometheater", "winrip"}, "windvd", 3},
        {1102, {"windvd", "winrip", "tivra", "powervcr", "honestech"}, "hometheater", 1},
        {1103, {"windvd", "hometheater"}, "winrip", 3},
        {1104, {"hometheater", "tivra", "honestech"}, "powervcr", 2},
        {1105, {"hometheater", "powervcr", "tivra"}, "honestech", 4},
        {1106, {"hometheater", "powervcr", "honestech"}, "tivra", 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.command);
        SetUp();
        setDefaultTvApp(3);
        std::vector<size_t> logFrom;
        for (const Role &r : roles) {
            startStandin(r.role);
            r.record->active = 1;
            logFrom.push_back(standin::lines(running.back().log).size());
        }
        switchApplication(c.command);
        auto it = running.begin();
        for (size_t i = 0; i < sizeof roles / sizeof roles[0]; ++i, ++it) {
            bool closed = false;
            for (const char *r : c.closed)
                closed = closed || strcmp(r, roles[i].role) == 0;
            EXPECT_EQ(roles[i].record->active, closed ? 0 : 1) << roles[i].role;
            if (strcmp(roles[i].role, c.raised) == 0) {
                EXPECT_TRUE(qxt::waitUntil([&] {
                    for (const std::string &l : standin::linesFrom(it->log, logFrom[i]))
                        if (l == "ACTIVE main")
                            return true;
                    return false;
                })) << "not raised: "
                    << roles[i].role;
            }
        }
        EXPECT_EQ(defaultTvApp(), c.newDefault);
        EXPECT_FALSE(watchTimer().running);
        TearDown();
        running.clear();
    }
}

namespace
{
// Each report as "code repeats result where window".
std::vector<std::string> heard;
void hear(const KeyActed &k)
{
    char line[96];
    snprintf(line, sizeof line, "%d %d %d %s %s", k.code, k.repeatCount, (int)k.result,
             k.where != NULL ? k.where : "-", k.window != NULL ? "window" : "-");
    heard.push_back(line);
}
DWORD higherThanOurs(HWND window)
{
    return window == NULL ? 0x2000 : 0x3000; // medium, high
}
} // namespace

TEST_F(Dispatch, TheHookHearsWhereEachKeyWentAndWhyNothingHappened)
{
    setKeyActedHook(hear);
    heard.clear();
    dispatchRemoteKey(main.hwnd(), 6, 3); // no application: the pointer
    dispatchRemoteKey(main.hwnd(), 19);   // nothing for the pointer
    homeTheaterTarget.active = 1;
    dispatchRemoteKey(main.hwnd(), 22); // the target has no window
    qxt::MessageRecorder ht("QxHomeTheater", "Home Theater");
    dispatchRemoteKey(main.hwnd(), 22);
    DWORD (*real)(HWND) = windowIntegrityCall;
    windowIntegrityCall = higherThanOurs;
    dispatchRemoteKey(main.hwnd(), 29);
    windowIntegrityCall = real;
    homeTheaterTarget.active = 0;
    setKeyActedHook(NULL);
    dispatchRemoteKey(main.hwnd(), 6); // no hook, nothing told
    std::vector<std::string> expected = {"6 3 1 Pointer -", "19 0 2 - -", "22 0 3 Home Theater -",
                                         "22 0 0 Home Theater window", "29 0 4 Home Theater window"};
    EXPECT_EQ(heard, expected);
    EXPECT_FALSE(integrityBlocksPost(0, 0x3000)) << "a level we cannot read claims nothing";
}
