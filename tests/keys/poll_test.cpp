// The key poll end to end: the simulated card's remote, the capture room, the
// poll timer of this process, and stand-in applications or the pointer.
#include <gtest/gtest.h>

#include <thread>

#include "apps/apps.h"
#include "capture/capture.h"
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

TEST_F(Poll, NotInstalledDefaultIsReportedOncePerPressHeldOrNot)
{
    setDefaultTvApp(2);
    int saved = powerVcrTarget.installed;
    powerVcrTarget.installed = 0;
    for (unsigned int reads : {8u, 1u}) {
        int boxes = -1;
        std::thread answer([&] {
            HWND box = qxt::waitForDialog("QX770 Remote Control", 3000);
            if (!box)
                return;
            Sleep(1000); // the key is read on for the rest of its reads meanwhile
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
        qxt::pumpMessages(2000);
        answer.join();
        EXPECT_EQ(boxes, 1) << reads << " reads";
        EXPECT_EQ(FindWindowA("#32770", "QX770 Remote Control"), (HWND)NULL);
        qxt::pumpMessages(300);
    }
    powerVcrTarget.installed = saved;
    setDefaultTvApp(0);
}
