// The key poll end to end: the simulated card's remote, the capture room, the
// poll timer of this process, and stand-in applications or the pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "apps/apps.h"
#include "capture/capture_internal.h"
#include "card_client.h"
#include "keys/keys.h"
#include "qxtest.h"
#include "shell/shell.h"
#include "standin_client.h"

namespace
{

HANDLE card = INVALID_HANDLE_VALUE;

void cardCommand(unsigned int command, unsigned int a0 = 0, unsigned int a1 = 0, unsigned int a2 = 0,
                 unsigned int a3 = 0)
{
    ASSERT_EQ(simcard_command(card, command, a0, a1, a2, a3), 0u) << "card command " << command;
}

// A key down for `reads` receiver reads.
void press(int code, unsigned int reads = 1)
{
    cardCommand(SIM_CMD_KEY_DOWN, code, reads, 0);
}

POINT cursor()
{
    POINT p;
    GetCursorPos(&p);
    return p;
}

struct ExitCall {
    UINT flags;
};
std::vector<ExitCall> exitCalls;
BOOL WINAPI recordExit(UINT flags, DWORD)
{
    exitCalls.push_back({flags});
    return TRUE;
}

class Poll : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        card = simcard_open();
        openCaptureFilter();
    }
    void SetUp() override
    {
        ASSERT_NE(card, INVALID_HANDLE_VALUE) << "no simulated card";
        ASSERT_NE(CaptureFilter.deviceHandle, (HANDLE)NULL) << "no capture filter";
        cardCommand(SIM_CMD_RESET);
        for (TvAppTarget *t : {&powerVcrTarget, &homeTheaterTarget, &honestechTarget, &tivraTarget})
            t->active = 0;
        initPointerLimits();
        SetCursorPos(400, 300);
        startPollTimer(main.hwnd());
        qxt::pumpMessages(300); // a gap longer than the repeat window: the next key is new
    }
    void TearDown() override
    {
        killRunningTimers();
        cardCommand(SIM_CMD_RESET);
        if (runningApp.child.process)
            standin::stop(&runningApp);
    }
    qxt::MessageRecorder main{"QxPollMain", "Poll main"};
    standin::Running runningApp;
};

} // namespace

TEST_F(Poll, HeldKeyReachesTheTargetOnReadsZeroTenAndTwenty)
{
    std::string log = qxt::makeTempDir("pvcr") + "\\standin.log";
    ASSERT_TRUE(standin::start("--role powervcr", log, &runningApp));
    size_t before = standin::lines(log).size();
    press(5, 25);
    qxt::pumpMessages(25 * 65 + 600);
    ASSERT_TRUE(standin::sync(runningApp.window, log));
    int keyDowns = 0;
    for (const std::string &l : standin::linesFrom(log, before))
        keyDowns += standin::matches(l, "KEYDOWN main 0x35 0x00060001 *");
    EXPECT_EQ(keyDowns, 3);
    EXPECT_EQ(powerVcrTarget.active, 1); // adopted by the probe
}

TEST_F(Poll, HeldDirectionKeyMovesThePointerOnEveryRead)
{
    const PointerLimits &l = currentPointerLimits();
    press(6, 12);
    qxt::pumpMessages(12 * 65 + 600);
    EXPECT_EQ(cursor().x, 400 + 4 * 1 + 5 * l.fineStep + 3 * l.coarseStep);
    EXPECT_EQ(cursor().y, 300);
}

TEST_F(Poll, FailedReceiverReadDispatchesNothing)
{
    press(2);
    ASSERT_TRUE(qxt::waitUntil([] { return cursor().y == 299; }, 2000));
    qxt::MessageRecorder under("QxUnderPointer", "Under pointer", true);
    SetWindowPos(under.hwnd(), HWND_TOP, 300, 200, 300, 300, SWP_SHOWWINDOW);
    // The status bit says a key is there, but every transaction fails somewhere:
    // no byte read then may act, neither a new one nor the one read before.
    cardCommand(SIM_CMD_STATUS, SIM_STATUSBIT_CLEAR);
    for (unsigned int op : {SIM_OP_SWSTART, SIM_OP_SWREAD}) {
        cardCommand(SIM_CMD_FAIL, op, SIM_FAULT_ALWAYS, 0, 0);
        qxt::pumpMessages(600);
        cardCommand(SIM_CMD_FAIL, op, SIM_FAULT_OFF, 0, 0);
    }
    EXPECT_EQ(cursor().x, 400);
    EXPECT_EQ(cursor().y, 299);
    EXPECT_TRUE(under.received(WM_LBUTTONDOWN).empty());
    EXPECT_TRUE(under.received(WM_RBUTTONDOWN).empty());
}

TEST_F(Poll, DriverFailureShowsOneBoxAndSendsNothingWhileItIsOpen)
{
    cardCommand(SIM_CMD_FAIL, SIM_OP_REGREAD, SIM_FAULT_ALWAYS, 0, 0);
    int boxes = -1;
    SimLogHeader header = {0, 0};
    std::thread answer([&] {
        HWND box = qxt::waitForDialog("FAILED REGISTER READ", 3000);
        if (!box)
            return;
        simcard_command(card, SIM_CMD_LOG_CLEAR, 0, 0, 0, 0);
        Sleep(1000); // some fifteen ticks
        boxes = 0;
        for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", "FAILED REGISTER READ")) != NULL;)
            boxes += IsWindowVisible(w) ? 1 : 0;
        static SimLogEntry entries[SIM_LOG_CAPACITY];
        simcard_log(card, &header, entries, SIM_LOG_CAPACITY);
        simcard_command(card, SIM_CMD_FAIL, SIM_OP_REGREAD, SIM_FAULT_OFF, 0, 0);
        qxt::pressButton(box, IDOK);
    });
    qxt::pumpMessages(2500);
    answer.join();
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(header.count, 0u) << "requests sent while the box was open";
    // Polling goes on once the box is closed.
    press(4);
    EXPECT_TRUE(qxt::waitUntil([] { return cursor().x == 399; }, 2000));
}

TEST_F(Poll, ShutDownDialogIsAnsweredWithTheRemote)
{
    exitWindowsCall = recordExit;
    struct Case {
        int answer;
        size_t exits;
    } cases[] = {{KEY_POWER, 1}, {7, 0}};
    for (const Case &c : cases) {
        exitCalls.clear();
        bool opened = false;
        std::thread remote([&] {
            HWND d = qxt::waitForDialog("QX770 Remote Control - Shut Down", 3000);
            opened = d != NULL;
            press(c.answer);
            if (d && !qxt::waitForGone(d, 3000))
                qxt::pressButton(d, IDCANCEL);
        });
        press(KEY_SHUTDOWN);
        qxt::pumpMessages(2000); // the dialog's own loop runs the ticks meanwhile
        remote.join();
        EXPECT_TRUE(opened);
        EXPECT_EQ(exitCalls.size(), c.exits) << "answer " << c.answer;
        EXPECT_EQ(ShutdownPrompt, (HWND)NULL);
        qxt::pumpMessages(300);
    }
}

// A press of the power key or key 15 lasts a few reads: each press is one action,
// with or without a target (the pointer keys act on every read, above).
TEST_F(Poll, PowerKeyAndKey15ActOncePerPress)
{
    exitWindowsCall = recordExit;
    setDefaultTvApp(2); // PowerVCR II, installed by the bench
    const std::string pvcrLog = standin::logOf(powerVcrTarget.installPath);
    auto pvcrStarts = [&] {
        int n = 0;
        for (const std::string &l : standin::lines(pvcrLog))
            n += l.rfind("START powervcr ", 0) == 0; // the program's path has blanks
        return n;
    };
    for (unsigned int reads : {2u, 3u, 12u}) {
        SCOPED_TRACE(std::to_string(reads) + " reads");
        const DWORD held = reads * 65 + 500;

        // Key 15, nothing running: the dialog opens once and waits for an answer.
        exitCalls.clear();
        std::vector<HWND> dialogs;
        bool openAtEnd = false;
        std::thread watch([&] {
            DWORD start = GetTickCount();
            while (GetTickCount() - start < held) {
                HWND d = FindWindowA("#32770", "QX770 Remote Control - Shut Down");
                if (d && std::find(dialogs.begin(), dialogs.end(), d) == dialogs.end())
                    dialogs.push_back(d);
                Sleep(5);
            }
            HWND d = FindWindowA("#32770", "QX770 Remote Control - Shut Down");
            openAtEnd = d != NULL && IsWindowVisible(d);
            if (d)
                qxt::pressButton(d, IDCANCEL);
        });
        press(KEY_SHUTDOWN, reads);
        qxt::pumpMessages(held + 300);
        watch.join();
        EXPECT_EQ(dialogs.size(), 1u);
        EXPECT_TRUE(openAtEnd) << "answered by the key's own repeats";
        EXPECT_TRUE(exitCalls.empty());
        qxt::pumpMessages(300);

        // Key 15 with TivraTVR as the target: its command 5001, once.
        {
            standin::Running tv;
            ASSERT_TRUE(standin::start("--role tivra --stay", qxt::makeTempDir("tv") + "\\standin.log", &tv));
            tivraTarget.active = 1;
            size_t from = standin::lines(tv.log).size();
            press(KEY_SHUTDOWN, reads);
            qxt::pumpMessages(held);
            ASSERT_TRUE(standin::sync(tv.window, tv.log));
            EXPECT_EQ(standin::linesFrom(tv.log, from, {"ACTIVE", "INACTIVE", "APP-", "FOCUS", "MARK"}),
                      std::vector<std::string>{"CMD main 5001 0"});
            tivraTarget.active = 0;
        }
        qxt::pumpMessages(300);

        // The power key with no target starts the default application once...
        int starts = pvcrStarts();
        press(KEY_POWER, reads);
        qxt::pumpMessages(held);
        HWND w = NULL;
        EXPECT_TRUE(qxt::waitUntil([&] { return (w = FindWindowA("PowerVCR II Taurus", NULL)) != NULL; }))
            << ::testing::PrintToString(standin::lines(pvcrLog)) << " at " << GetTickCount();
        EXPECT_EQ(pvcrStarts(), starts + 1);
        EXPECT_EQ(powerVcrTarget.active, 1);

        // ... and with it as the target closes it once, without starting it again.
        qxt::pumpMessages(300);
        press(KEY_POWER, reads);
        qxt::pumpMessages(held);
        EXPECT_TRUE(qxt::waitForGone(w, 3000));
        qxt::pumpMessages(500);
        EXPECT_EQ(FindWindowA("PowerVCR II Taurus", NULL), (HWND)NULL);
        EXPECT_EQ(pvcrStarts(), starts + 1);
        EXPECT_EQ(powerVcrTarget.active, 0);
        qxt::pumpMessages(300);
    }
    setDefaultTvApp(0);
}

// A default application that cannot be started is reported in one box per press,
// the key held or pressed again while the box is up.
TEST_F(Poll, DefaultThatCannotStartIsReportedOnceWhileItsBoxIsUp)
{
    setDefaultTvApp(2);
    TvAppTarget saved = powerVcrTarget;
    struct Case {
        const char *why;
        int installed;
        const char *installPath;
        const char *text;
    } cases[] = {
        {"not installed", 0, "", "Please re-initialize the TV application settings."},
        {"launch fails", 1, "C:\\No Such Folder", "Can't run launch TV application what you want."},
    };
    for (const Case &c : cases) {
        for (unsigned int reads : {8u, 1u}) {
            SCOPED_TRACE(std::string(c.why) + ", " + std::to_string(reads) + " reads");
            powerVcrTarget.installed = c.installed;
            snprintf(powerVcrTarget.installPath, sizeof powerVcrTarget.installPath, "%s", c.installPath);
            int boxes = -1;
            std::string text;
            std::thread answer([&] {
                HWND box = qxt::waitForDialog("QX770 Remote Control", 3000);
                if (!box)
                    return;
                text = qxt::messageBoxText(box);
                // The key is read on for the rest of its reads; then a second press.
                Sleep(reads * 65 + 300);
                press(KEY_POWER);
                Sleep(700);
                boxes = 0;
                for (HWND w = NULL; (w = FindWindowExA(NULL, w, "#32770", "QX770 Remote Control")) != NULL;)
                    boxes += IsWindowVisible(w) ? 1 : 0;
                // Answer every box, however many there are, so that a failure ends the test.
                DWORD quietSince = GetTickCount();
                while (GetTickCount() - quietSince < 500) {
                    HWND w = FindWindowA("#32770", "QX770 Remote Control");
                    if (w) {
                        qxt::pressButton(w, IDOK);
                        qxt::waitForGone(w, 500);
                        quietSince = GetTickCount();
                    }
                    Sleep(20);
                }
            });
            press(KEY_POWER, reads);
            qxt::pumpMessages(reads * 65 + 2500);
            answer.join();
            EXPECT_EQ(boxes, 1);
            EXPECT_EQ(text, c.text);
            EXPECT_EQ(FindWindowA("#32770", "QX770 Remote Control"), (HWND)NULL);
            EXPECT_EQ(powerVcrTarget.active, 0);
            qxt::pumpMessages(300);
        }
    }
    powerVcrTarget = saved;
    setDefaultTvApp(0);
}
