// tunerkey.exe itself on the bench's desktop, with the simulated card installed:
// start-up, the tray icon and its menu, the settings it leaves, and its ends.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include <commctrl.h>

#include "qxtest.h"
#include "tray_bench.h"

#include <string>

// The first start writes its settings for the user.
static const char *Key = TK_USER_SETTINGS_KEY;

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

static BOOL CALLBACK countBalloon(HWND w, LPARAM n)
{
    // A balloon, not the tip of an icon under the pointer.
    if (IsWindowVisible(w) && qxt::className(w) == "tooltips_class32" &&
        (GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON))
        ++*(int *)n;
    return TRUE;
}

// Balloons the shell shows now: visible tooltip windows.
static int visibleBalloons()
{
    int n = 0;
    EnumWindows(countBalloon, (LPARAM)&n);
    return n;
}

class Program : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        qxt::regDeleteTree(HKEY_CURRENT_USER, Key);
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY);
    }
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
    // An instance in another user's session has no window here, only the mutex it
    // holds: open to this user, or refused to him (its default security admits only
    // its own user), as Windows does.
    SECURITY_DESCRIPTOR nobody;
    InitializeSecurityDescriptor(&nobody, SECURITY_DESCRIPTOR_REVISION);
    ACL empty; // no entry: nobody may open it
    InitializeAcl(&empty, sizeof empty, ACL_REVISION);
    SetSecurityDescriptorDacl(&nobody, TRUE, &empty, FALSE);
    SECURITY_ATTRIBUTES refused = {sizeof refused, &nobody, FALSE};
    for (SECURITY_ATTRIBUTES *security : {(SECURITY_ATTRIBUTES *)NULL, &refused}) {
        HANDLE elsewhere = CreateMutexA(security, FALSE, "Global\\" TK_INSTANCE_MUTEX);
        ASSERT_NE(elsewhere, (HANDLE)NULL);
        qxt::Child blocked;
        ASSERT_TRUE(startTunerkey(&blocked));
        EXPECT_EQ(qxt::waitProcess(&blocked, 5000), 0);
        EXPECT_EQ(FindWindowA(TK_WINDOW_CLASS, NULL), (HWND)NULL) << (security ? "refused" : "open");
        EXPECT_FALSE(qxt::regKeyExists(HKEY_CURRENT_USER, Key));
        CloseHandle(elsewhere);
    }

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

    // This user's first start: one balloon from the icon, remembered for him.
    EXPECT_TRUE(qxt::waitUntil([] {
        DWORD shown = 0;
        return qxt::regGetDword(HKEY_CURRENT_USER, Key, TK_GREETED_VALUE, &shown) && shown == 1;
    }));
    // Wine's shell shows a balloon 2 s after it is asked.
    EXPECT_TRUE(qxt::waitUntil([] { return visibleBalloons() > 0; }, 8000));

    // Settings written on this first start.
    DWORD v = 99;
    EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, Key, "DefaultTVAPP", &v));
    EXPECT_EQ(v, 1u);
    EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, Key, "AlwaysRemoteOff", &v));
    EXPECT_EQ(v, 0u);

    // A second start ends at once and leaves the registry alone: the key deleted
    // here would be created again by a start that got as far as the settings.
    qxt::regDeleteTree(HKEY_CURRENT_USER, Key);
    qxt::Child second;
    ASSERT_TRUE(startTunerkey(&second));
    EXPECT_EQ(qxt::waitProcess(&second, 5000), 0);
    EXPECT_FALSE(qxt::regKeyExists(HKEY_CURRENT_USER, Key));
    EXPECT_TRUE(stillRunning(first));
    EXPECT_EQ(FindWindowA(TK_WINDOW_CLASS, NULL), main);
}

TEST_F(Program, BothButtonsOpenTheMenuAndExitEndsWithCodeZero)
{
    // Greeted before: no balloon comes up over the icon between the clicks.
    qxt::regSetDword(HKEY_CURRENT_USER, Key, TK_GREETED_VALUE, 1);
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
        qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "DefaultTVAPP", 1);
        qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "AlwaysRemoteOff", c.value);
        qxt::Child run;
        ASSERT_TRUE(startTunerkey(&run));
        if (c.runs) {
            HWND main = waitForMainWindow();
            ASSERT_NE(main, (HWND)NULL) << c.value;
            EXPECT_TRUE(qxt::waitUntil([&] { return trayIconPresent(main, TRAY_ICON_ID); })) << c.value;
            // The first start that runs greets the user (after 1, which stopped
            // before); the next one does not. Wine's shell shows a balloon 2 s late.
            EXPECT_EQ(qxt::waitUntil([] { return visibleBalloons() > 0; }, c.value == 2 ? 8000 : 3000),
                      c.value == 2)
                << c.value;
            // Command 31: icon removed, code 0, without the menu.
            PostMessageA(main, WM_COMMAND, 31, 0);
            EXPECT_EQ(qxt::waitProcess(&run, 5000), 0) << c.value;
            EXPECT_FALSE(trayIconPresent(main, TRAY_ICON_ID)) << c.value;
            // The balloon goes with its icon.
            EXPECT_TRUE(qxt::waitUntil([] { return visibleBalloons() == 0; }));
        } else {
            EXPECT_EQ(qxt::waitProcess(&run, 5000), 0) << c.value;
        }
    }
}
