// tunerkey.exe itself on the bench's desktop, with the simulated card installed:
// start-up, the tray icon and its menu, the settings it leaves, and its ends.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "qxtest.h"
#include "tray_bench.h"

#include <string>

static const char *Key = TK_SETTINGS_KEY;

// Starts tunerkey.exe with a show command, as a shell link would.
static bool startTunerkey(qxt::Child *child, WORD show = SW_SHOWNORMAL)
{
    return qxt::startProcess("\"" + qxt::programUnderTest("tunerkey.exe") + "\"", child, NULL, show);
}

static HWND waitForMainWindow(DWORD ms = 10000)
{
    HWND w = NULL;
    qxt::waitUntil([&] { return (w = FindWindowA(TK_WINDOW_CLASS, NULL)) != NULL; }, ms);
    return w;
}

static bool stillRunning(const qxt::Child &child)
{
    return WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT;
}

class Program : public ::testing::Test
{
  protected:
    void SetUp() override { qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key); }
    void TearDown() override
    {
        if (first.process != NULL && stillRunning(first)) {
            HWND w = FindWindowA(TK_WINDOW_CLASS, NULL);
            if (w != NULL)
                PostMessageA(w, WM_COMMAND, 31, 0);
            qxt::waitProcess(&first, 5000);
        }
    }
    qxt::Child first;
};

TEST_F(Program, StartsHiddenInTheTrayClosesTheOlderProgramAndStaysSingle)
{
    // An instance in another user's session has no window here, only the mutex it holds.
    HANDLE elsewhere = CreateMutexA(NULL, FALSE, "Global\\" TK_INSTANCE_MUTEX);
    ASSERT_NE(elsewhere, (HANDLE)NULL);
    qxt::Child blocked;
    ASSERT_TRUE(startTunerkey(&blocked));
    EXPECT_EQ(qxt::waitProcess(&blocked, 5000), 0);
    EXPECT_EQ(FindWindowA(TK_WINDOW_CLASS, NULL), (HWND)NULL);
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, Key));
    CloseHandle(elsewhere);

    qxt::MessageRecorder older("QxOlder", "Rudov Aridur Ezerodo 2.0 (QX770)");
    qxt::MessageRecorder lookalike("QxLookalike", "x Rudov Aridur Ezerodo");

    ASSERT_TRUE(startTunerkey(&first, SW_SHOWMAXIMIZED));
    HWND main = waitForMainWindow();
    ASSERT_NE(main, (HWND)NULL);
    EXPECT_TRUE(qxt::waitUntil([&] { return trayIconPresent(main, TRAY_ICON_ID); }));
    EXPECT_FALSE(IsWindowVisible(main)) << "hidden whatever the show command";
    EXPECT_EQ(qxt::windowText(main), "QX770 Remote Control");

    ASSERT_TRUE(older.waitFor(WM_DESTROY));
    std::vector<qxt::Received> got = older.received();
    std::vector<UINT> asked;
    for (const qxt::Received &r : got) {
        if (r.msg == WM_CLOSE || r.msg == WM_DESTROY) {
            asked.push_back(r.msg);
            EXPECT_EQ(r.wParam, 0u);
            EXPECT_EQ(r.lParam, 0);
        }
    }
    EXPECT_EQ(asked, (std::vector<UINT>{WM_CLOSE, WM_DESTROY}));
    EXPECT_TRUE(lookalike.received(WM_CLOSE).empty());
    EXPECT_TRUE(lookalike.received(WM_DESTROY).empty());

    // Settings written on this first start.
    DWORD v = 99;
    EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP", &v));
    EXPECT_EQ(v, 1u);
    EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, Key, "AlwaysRemoteOff", &v));
    EXPECT_EQ(v, 0u);

    // A second start ends at once and leaves the registry alone: the key deleted
    // here would be created again by a start that got as far as the settings.
    qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key);
    qxt::Child second;
    ASSERT_TRUE(startTunerkey(&second));
    EXPECT_EQ(qxt::waitProcess(&second, 5000), 0);
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, Key));
    EXPECT_TRUE(stillRunning(first));
    EXPECT_EQ(FindWindowA(TK_WINDOW_CLASS, NULL), main);
}

TEST_F(Program, BothButtonsOpenTheMenuAndExitEndsWithCodeZero)
{
    ASSERT_TRUE(startTunerkey(&first));
    HWND main = waitForMainWindow();
    ASSERT_NE(main, (HWND)NULL);
    ASSERT_TRUE(qxt::waitUntil([&] { return trayIconPresent(main, TRAY_ICON_ID); }));

    ASSERT_TRUE(clickTrayIcon(false));
    HWND menu = waitForPopupMenu();
    ASSERT_NE(menu, (HWND)NULL) << "left button";
    RECT left;
    GetWindowRect(menu, &left);
    menuKey(menu, VK_ESCAPE);
    ASSERT_TRUE(qxt::waitUntil([&] { return !IsWindowVisible(menu); }));

    ASSERT_TRUE(clickTrayIcon(true));
    menu = waitForPopupMenu();
    ASSERT_NE(menu, (HWND)NULL) << "right button";
    RECT right;
    GetWindowRect(menu, &right);
    EXPECT_EQ(right.bottom - right.top, left.bottom - left.top) << "the same menu";

    // Up from no selection lands on the last entry, Exit.
    menuKey(menu, VK_UP);
    menuKey(menu, VK_RETURN);
    EXPECT_EQ(qxt::waitProcess(&first, 5000), 0);
    EXPECT_FALSE(trayIconPresent(main, TRAY_ICON_ID));
}

TEST_F(Program, AlwaysRemoteOffOneEndsTheStartOtherValuesRun)
{
    struct Case {
        DWORD value;
        bool runs;
    } cases[] = {{1, false}, {2, true}, {0, true}};
    for (const Case &c : cases) {
        qxt::regSetDword(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP", 1);
        qxt::regSetDword(HKEY_LOCAL_MACHINE, Key, "AlwaysRemoteOff", c.value);
        qxt::Child run;
        ASSERT_TRUE(startTunerkey(&run));
        if (c.runs) {
            HWND main = waitForMainWindow();
            ASSERT_NE(main, (HWND)NULL) << c.value;
            EXPECT_TRUE(qxt::waitUntil([&] { return trayIconPresent(main, TRAY_ICON_ID); })) << c.value;
            // Command 31: icon removed, code 0, without the menu.
            PostMessageA(main, WM_COMMAND, 31, 0);
            EXPECT_EQ(qxt::waitProcess(&run, 5000), 0) << c.value;
            EXPECT_FALSE(trayIconPresent(main, TRAY_ICON_ID)) << c.value;
        } else {
            EXPECT_EQ(qxt::waitProcess(&run, 5000), 0) << c.value;
        }
    }
}
