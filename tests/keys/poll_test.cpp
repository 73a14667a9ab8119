// The key poll end to end: the simulated card's remote, the capture room, the
// poll timer of this process, and stand-in applications or the pointer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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

// Receiver reads that answered `code` since the card's log was last cleared.
unsigned int readsOf(int code)
{
    std::vector<SimLogEntry> entries(SIM_LOG_CAPACITY);
    SimLogHeader header = {0, 0};
    if (simcard_log(card, &header, entries.data(), SIM_LOG_CAPACITY) != 0)
        return 0;
    unsigned int n = 0;
    for (unsigned int i = 0; i < header.count; ++i)
        n += entries[i].op == SIM_OP_SWREAD && entries[i].status == 0 && entries[i].data == code;
    return n;
}

// A press of `reads` receiver reads, answering messages until the card has
// delivered every one of them (however slowly the ticks come), then past the
// repeat window: the next press is a new key.
void pressAndWait(int code, unsigned int reads = 1)
{
    cardCommand(SIM_CMD_LOG_CLEAR);
    press(code, reads);
    EXPECT_TRUE(qxt::waitUntil([&] { return readsOf(code) >= reads; }, 10000 + reads * 65))
        << "the card delivered " << readsOf(code) << " of " << reads << " reads of " << code;
    qxt::pumpMessages(300);
}

// From another thread while the program reads: waits until `reads` reads of
// `code` have been delivered since the log was cleared.
bool waitForReads(int code, unsigned int reads)
{
    DWORD start = GetTickCount();
    while (readsOf(code) < reads) {
        if (GetTickCount() - start > 10000 + reads * 65)
            return false;
        Sleep(10);
    }
    return true;
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
        // The program's own main window, whose commands open the Shut Down
        // dialog that key 15 asks for; creating it opens the capture filter.
        createMainWindow(GetModuleHandleA(NULL));
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
        startPollTimer(mainWindow());
        qxt::pumpMessages(300); // a gap longer than the repeat window: the next key is new
    }
    void TearDown() override
    {
        killRunningTimers();
        cardCommand(SIM_CMD_RESET);
        if (runningApp.child.process)
            standin::stop(&runningApp);
    }
    standin::Running runningApp;
};

} // namespace

TEST_F(Poll, HeldKeyReachesTheTargetOnReadsZeroTenAndTwenty)
{
    std::string log = qxt::makeTempDir("pvcr") + "\\standin.log";
    ASSERT_TRUE(standin::start("--role powervcr", log, &runningApp));
    size_t before = standin::lines(log).size();
    pressAndWait(5, 25);
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
    pressAndWait(6, 12);
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

// Answered by a press of one read or held on: the rest of the press that answered
// reaches nothing (no click or move where the dialog was, no second switch-off).
TEST_F(Poll, ShutDownDialogIsAnsweredWithTheRemote)
{
    exitWindowsCall = recordExit;
    qxt::MessageRecorder under("QxUnderPointer3", "Under pointer", true);
    SetWindowPos(under.hwnd(), HWND_TOP, 300, 200, 300, 300, SWP_SHOWWINDOW);
    struct Case {
        int answer;
        unsigned int reads;
        size_t exits;
    } cases[] = {{KEY_POWER, 1, 1}, {7, 1, 0}, {10, 6, 0}, {6, 6, 0}, {KEY_POWER, 6, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE("answer " + std::to_string(c.answer) + ", " + std::to_string(c.reads) + " reads");
        exitCalls.clear();
        under.clear();
        SetCursorPos(400, 300);
        bool opened = false;
        std::atomic<bool> done{false};
        std::thread remote([&] {
            HWND d = qxt::waitForDialog("QX770 Remote Control - Shut Down", 10000);
            opened = d != NULL;
            simcard_command(card, SIM_CMD_LOG_CLEAR, 0, 0, 0, 0);
            press(c.answer, c.reads);
            if (d && !qxt::waitForGone(d, 5000))
                qxt::pressButton(d, IDCANCEL);
            done = true;
        });
        press(KEY_SHUTDOWN);
        // The dialog's own loop runs the ticks meanwhile.
        qxt::waitUntil([&] { return done.load(); }, 20000);
        remote.join();
        EXPECT_TRUE(qxt::waitUntil([&] { return readsOf(c.answer) >= c.reads; }, 10000));
        qxt::pumpMessages(300);
        EXPECT_TRUE(opened);
        EXPECT_EQ(exitCalls.size(), c.exits);
        EXPECT_EQ(shutdownPrompt(), (HWND)NULL);
        EXPECT_TRUE(under.received(WM_LBUTTONDOWN).empty());
        EXPECT_TRUE(under.received(WM_RBUTTONDOWN).empty());
        EXPECT_EQ(cursor().x, 400) << "the pointer moved";
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

        // Key 15, nothing running: the dialog opens once and waits for an answer.
        exitCalls.clear();
        std::vector<HWND> dialogs;
        bool openAtEnd = false;
        std::atomic<bool> answered{false};
        cardCommand(SIM_CMD_LOG_CLEAR);
        std::thread watch([&] {
            auto look = [&] {
                HWND d = FindWindowA("#32770", "QX770 Remote Control - Shut Down");
                if (d && std::find(dialogs.begin(), dialogs.end(), d) == dialogs.end())
                    dialogs.push_back(d);
                return d;
            };
            DWORD start = GetTickCount();
            while (readsOf(KEY_SHUTDOWN) < reads && GetTickCount() - start < 10000) {
                look();
                Sleep(5);
            }
            Sleep(200); // the last read's tick ends
            HWND d = look();
            openAtEnd = d != NULL && IsWindowVisible(d);
            if (d)
                qxt::pressButton(d, IDCANCEL);
            answered = true;
        });
        press(KEY_SHUTDOWN, reads);
        qxt::waitUntil([&] { return answered.load(); }, 15000);
        watch.join();
        qxt::pumpMessages(300);
        EXPECT_EQ(dialogs.size(), 1u);
        EXPECT_TRUE(openAtEnd) << "answered by the key's own repeats";
        EXPECT_TRUE(exitCalls.empty());

        // Key 15 with TivraTVR as the target: its command 5001, once.
        {
            standin::Running tv;
            ASSERT_TRUE(standin::start("--role tivra --stay", qxt::makeTempDir("tv") + "\\standin.log", &tv));
            tivraTarget.active = 1;
            size_t from = standin::lines(tv.log).size();
            pressAndWait(KEY_SHUTDOWN, reads);
            ASSERT_TRUE(standin::sync(tv.window, tv.log));
            EXPECT_EQ(standin::linesFrom(tv.log, from, {"ACTIVE", "INACTIVE", "APP-", "FOCUS", "MARK"}),
                      std::vector<std::string>{"CMD main 5001 0"});
            tivraTarget.active = 0;
        }

        // The power key with no target starts the default application once...
        int starts = pvcrStarts();
        pressAndWait(KEY_POWER, reads);
        HWND w = NULL;
        EXPECT_TRUE(qxt::waitUntil([&] { return (w = FindWindowA("PowerVCR II Taurus", NULL)) != NULL; }))
            << ::testing::PrintToString(standin::lines(pvcrLog));
        EXPECT_EQ(pvcrStarts(), starts + 1);
        EXPECT_EQ(powerVcrTarget.active, 1);

        // ... and with it as the target closes it once, without starting it again.
        pressAndWait(KEY_POWER, reads);
        EXPECT_TRUE(qxt::waitForGone(w, 3000)) << ::testing::PrintToString(standin::lines(pvcrLog));
        qxt::pumpMessages(500);
        EXPECT_EQ(FindWindowA("PowerVCR II Taurus", NULL), (HWND)NULL);
        EXPECT_EQ(pvcrStarts(), starts + 1);
        EXPECT_EQ(powerVcrTarget.active, 0);
    }
    setDefaultTvApp(0);
}

// A raise that the system makes slow (the application busy as it comes forward).
BOOL WINAPI slowRaise(HWND window)
{
    Sleep(600);
    return SetForegroundWindow(window);
}

// A press held while the thread is held far past the repeat window is still one
// press: by the key's own action (a slow raise), or by a wait of the program's own
// between two ticks (the launch watch's 2000 ms with nothing to watch).
TEST_F(Poll, PressHeldThroughASlowActionOrAWaitActsOnce)
{
    std::string log = qxt::makeTempDir("slow") + "\\standin.log";
    ASSERT_TRUE(standin::start("--role powervcr --stay", log, &runningApp));
    powerVcrTarget.active = 1;
    size_t before = standin::lines(log).size();
    raiseWindowCall = slowRaise;
    pressAndWait(12, 8); // Ctrl+U, typed after the raise
    raiseWindowCall = SetForegroundWindow;
    ASSERT_TRUE(standin::sync(runningApp.window, log));
    int chords = 0;
    for (const std::string &l : standin::linesFrom(log, before))
        chords += standin::matches(l, "KEYDOWN main 0x55 * C");
    EXPECT_EQ(chords, 1) << "a slow action made the rest of the press new presses";
    standin::stop(&runningApp);
    powerVcrTarget.active = 0;

    // Key 0 with no target: one left click, held through the watch's wait.
    qxt::MessageRecorder under("QxUnderPointer2", "Under pointer", true);
    SetWindowPos(under.hwnd(), HWND_TOP, 300, 200, 300, 300, SWP_SHOWWINDOW);
    qxt::pumpMessages(300);
    configureWatchTimer(mainWindow());
    for (int app = 0; app < WATCHED_APP_COUNT; ++app)
        clearLaunchWatch((WatchedApp)app);
    startWatchTimer(); // its first tick, a second from now, waits 2000 ms
    ASSERT_TRUE(watchTimer().running);
    DWORD start = GetTickCount();
    pressAndWait(0, 30);
    EXPECT_FALSE(watchTimer().running) << "the watch's tick ran meanwhile";
    EXPECT_GE(GetTickCount() - start, 3000u) << "the press was held through the watch's wait";
    EXPECT_EQ(under.received(WM_LBUTTONDOWN).size(), 1u) << "the press after the wait clicked again";
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
            std::atomic<bool> done{false};
            std::thread answer([&] {
                HWND box = qxt::waitForDialog("QX770 Remote Control", 3000);
                if (!box) {
                    done = true;
                    return;
                }
                text = qxt::messageBoxText(box);
                // The key is read on for the rest of its reads; then a second press.
                waitForReads(KEY_POWER, reads);
                Sleep(300);
                press(KEY_POWER);
                waitForReads(KEY_POWER, reads + 1);
                Sleep(500); // a second box would be up by now
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
                done = true;
            });
            cardCommand(SIM_CMD_LOG_CLEAR);
            press(KEY_POWER, reads);
            qxt::waitUntil([&] { return done.load(); }, 20000);
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
