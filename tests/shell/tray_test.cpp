// The shell's own window hosted in the test program, on the virtual desktop with
// the simulated card: the tray menu's entries for each Home Theater state and
// both buttons, and the Shut Down dialog answered by the remote.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "apps/apps.h"
#include "keys/keys.h"
#include "qxtest.h"
#include "resources/resource.h"
#include "shell/shell_internal.h"
#include "tray_bench.h"

#include <shellapi.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class Shell : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        Window = createMainWindow(GetModuleHandleA(NULL));
        if (Window != NULL)
            finishStartup(Window);
    }
    static HWND Window;
};
HWND Shell::Window = NULL;

// Runs `work` on a second thread while this thread dispatches messages (and so
// runs the menu or dialog that work answers); false when work did not end in 20 s.
template <typename F> static bool whilePumping(F work)
{
    std::atomic<bool> done(false);
    std::thread t([&] {
        work();
        done = true;
    });
    bool ended = qxt::waitUntil([&] { return done.load(); }, 20000);
    t.join();
    return ended;
}

// Presses the icon, reads the menu that opens, and answers it with `keys`; then
// `after`, when given, runs on the second thread (to answer what the choice opened).
static std::vector<std::string> pressAndRead(bool right, const std::vector<WPARAM> &keys,
                                             void (*after)() = NULL)
{
    std::vector<std::string> lines;
    whilePumping([&] {
        if (!clickTrayIcon(right))
            return;
        HWND menuWindow = waitForPopupMenu();
        if (menuWindow == NULL)
            return;
        HMENU menu = (HMENU)SendMessageA(menuWindow, MN_GETHMENU, 0, 0);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            char text[64] = "";
            GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
            UINT state = GetMenuState(menu, i, MF_BYPOSITION);
            std::string line = (state & MF_SEPARATOR) ? "-" : text;
            if (state & MF_CHECKED)
                line += " (checked)";
            lines.push_back(line);
        }
        for (WPARAM k : keys)
            menuKey(menuWindow, k);
        qxt::waitUntil([&] { return !IsWindowVisible(menuWindow); });
        if (after != NULL)
            after();
    });
    return lines;
}

typedef std::vector<std::string> Lines;

TEST_F(Shell, IconCarriesTheTipAndTheSmallImageAndOutlivesTheTaskbar)
{
    ASSERT_NE(Window, (HWND)NULL);
    ASSERT_TRUE(captureFilterFound()) << "the simulated card's filter";
    EXPECT_TRUE(trayIconPresent(Window, TRAY_ICON_ID));
    EXPECT_STREQ(trayIconRecord().szTip, "QX770 Remote Control");
    // Pointer moves re-send the record unchanged.
    SendMessageA(Window, TRAY_CALLBACK_MESSAGE, 0, WM_MOUSEMOVE);
    EXPECT_STREQ(trayIconRecord().szTip, "QX770 Remote Control");
    EXPECT_TRUE(trayIconPresent(Window, TRAY_ICON_ID));

    // The group's own small image, not the large one for the shell to shrink.
    ICONINFO info = {};
    BITMAP image = {};
    ASSERT_TRUE(GetIconInfo(trayIconRecord().hIcon, &info));
    GetObjectA(info.hbmColor, sizeof image, &image);
    EXPECT_EQ(image.bmWidth, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(image.bmHeight, GetSystemMetrics(SM_CYSMICON));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);

    // The taskbar made anew (Explorer restarted) has lost the icon: it comes back.
    TrayIconData lost = trayIconRecord();
    Shell_NotifyIconA(NIM_DELETE, reinterpret_cast<NOTIFYICONDATAA *>(&lost));
    ASSERT_FALSE(trayIconPresent(Window, TRAY_ICON_ID));
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(qxt::waitUntil([] { return trayIconPresent(Window, TRAY_ICON_ID); }, 1000));
}

TEST_F(Shell, MenuFollowsHomeTheaterForBothButtons)
{
    const Lines tail = {"-", "About", "Setting...", "Edit key maps...", "-", "Exit"};
    struct Case {
        int installed;
        bool running;
        Lines head;
    } cases[] = {
        {0, false, {}},
        {0, true, {}},
        {1, false, {"Home Theater"}},
        {1, true, {"Home Theater (checked)"}},
    };
    for (const Case &c : cases) {
        homeTheaterTarget.installed = c.installed;
        qxt::MessageRecorder *player =
            c.running ? new qxt::MessageRecorder("QxPlayer", "Home Theater 5") : NULL;
        Lines want = c.head;
        want.insert(want.end(), tail.begin(), tail.end());
        for (bool right : {false, true})
            EXPECT_EQ(pressAndRead(right, {VK_ESCAPE}), want)
                << "installed " << c.installed << " running " << c.running << " right " << right;
        delete player;
    }
}

static bool SettingOpened;

TEST_F(Shell, ChoosingAnEntryRunsItsCommand)
{
    homeTheaterTarget.installed = 1;
    // Running, so that the command raises it rather than starting it.
    qxt::MessageRecorder player("QxPlayer", "Home Theater 5");
    setDefaultTvApp(2);
    EXPECT_EQ(pressAndRead(false, {VK_DOWN, VK_RETURN}).size(), 7u);
    // Command 1102 makes Home Theater the default, in memory only.
    EXPECT_TRUE(qxt::waitUntil([] { return defaultTvApp() == 1; }, 3000));

    // Up from no selection is Exit, then Edit key maps..., then Setting...: the
    // Setting dialog. (The other button: a second left press this soon would be a
    // double click.)
    SettingOpened = false;
    pressAndRead(true, {VK_UP, VK_UP, VK_UP, VK_RETURN}, [] {
        HWND dlg = qxt::waitForDialog("QX770 Remote Control - Setting");
        SettingOpened = dlg != NULL;
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        qxt::waitForGone(dlg);
    });
    EXPECT_TRUE(SettingOpened);
}

static std::vector<UINT> ExitCalls;
static BOOL WINAPI recordExit(UINT flags, DWORD)
{
    ExitCalls.push_back(flags);
    return TRUE;
}

static std::string simremote(const char *args)
{
    std::string out;
    qxt::runProgram("\"" + qxt::programPath("simremote.exe") + "\" " + args, &out);
    return out;
}

TEST_F(Shell, ShutDownDialogAnsweredByTheRemote)
{
    exitWindowsCall = recordExit;
    struct Case {
        const char *answer;
        size_t exits;
    } cases[] = {{"5", 0}, {"power", 1}};
    for (const Case &c : cases) {
        ExitCalls.clear();
        bool opened = false, closed = false;
        ASSERT_TRUE(whilePumping([&] {
            simremote("press shutdown");
            HWND dlg = qxt::waitForDialog("QX770 Remote Control - Shut Down");
            opened = dlg != NULL && shutdownPrompt() == dlg;
            simremote((std::string("press ") + c.answer).c_str());
            closed = dlg != NULL && qxt::waitForGone(dlg);
        }));
        EXPECT_TRUE(opened) << c.answer;
        EXPECT_TRUE(closed) << c.answer;
        EXPECT_EQ(ExitCalls.size(), c.exits) << c.answer;
        EXPECT_EQ(shutdownPrompt(), (HWND)NULL);
    }
}

// Last: it ends the shell's window for this program.
TEST_F(Shell, LoopTranslatesAltCharactersAndEndsWithCodeZero)
{
    const LPARAM altDown = 1 << 29;
    bool about = false, setting = false;
    std::thread driver([&] {
        PostMessageA(Window, WM_SYSCHAR, '/', altDown);
        HWND dlg = qxt::waitForDialog("QX770 Remote Control - About");
        about = dlg != NULL;
        PostMessageA(dlg, WM_COMMAND, IDOK, 0);
        qxt::waitForGone(dlg);
        PostMessageA(Window, WM_SYSCHAR, '?', altDown);
        dlg = qxt::waitForDialog("QX770 Remote Control - Setting");
        setting = dlg != NULL;
        PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
        qxt::waitForGone(dlg);
        PostMessageA(Window, WM_COMMAND, 31, 0);
    });
    // Alt held for this thread, as the user's key press would leave it.
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] |= 0x80;
    SetKeyboardState(keys);
    EXPECT_EQ(runMessageLoop(), 0);
    driver.join();
    keys[VK_MENU] &= 0x7F;
    SetKeyboardState(keys);
    EXPECT_TRUE(about);
    EXPECT_TRUE(setting);
    EXPECT_FALSE(trayIconPresent(Window, TRAY_ICON_ID));
}
