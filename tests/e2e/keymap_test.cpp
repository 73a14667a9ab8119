// The remote for any program: tunerkey.exe with a user's key map, players (the
// stand-in under players' file names) in front and behind, PowerVCR II as a
// supported application, and the simulated card's remote.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "program_run.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "standin_client.h"

using namespace e2e;

namespace
{

// Where tunerkey reads the user's key map: the profile's application data folder.
std::string userKeymap()
{
    char folder[MAX_PATH] = "";
    SHGetSpecialFolderPathA(NULL, folder, CSIDL_APPDATA, TRUE);
    std::string dir = std::string(folder) + "\\QX770 Utilities";
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + "\\keymap.ini";
}

const char UserMap[] =
    "[Front]\r\nexe = frontplayer.exe\r\n"
    "KEY_PLAYPAUSE = appcommand PLAY_PAUSE\r\n"
    "KEY_NEXT = command 4242 | repeat 1\r\n"
    "[Back]\r\nexe = backplayer.exe\r\nmatch = running\r\n"
    "KEY_PLAYPAUSE = command 1111\r\nKEY_NEXT = command 2424\r\nKEY_RECORD = command 1313\r\n"
    "[PowerVCR II]\r\nKEY_ZOOM = appcommand MEDIA_STOP\r\n";

bool bringForward(HWND w)
{
    SetForegroundWindow(w);
    return qxt::waitUntil([&] { return GetForegroundWindow() == w; }, 3000);
}

size_t count(const std::string &log, const std::string &pattern, size_t from = 0)
{
    size_t n = 0;
    for (const std::string &l : standin::linesFrom(log, from))
        n += standin::matches(l, pattern);
    return n;
}

bool waitFrom(const std::string &log, const std::string &pattern, size_t from)
{
    return qxt::waitUntil([&] { return count(log, pattern, from) > 0; }, 5000);
}

// Two players, the front one in front, and tunerkey with the key map in place.
struct Session {
    std::string dir = qxt::makeTempDir("players");
    standin::Running back, front;
    Tunerkey run;
    std::string start(const std::string &map)
    {
        if (card() == INVALID_HANDLE_VALUE || !resetCard())
            return "no simulated card";
        if (!qxt::writeFile(userKeymap(), map))
            return "the key map was not written";
        if (!standin::start("--role player --title \"Back Player\" --media-hotkeys", dir + "\\back.log",
                            &back, dir + "\\backplayer.exe") ||
            !standin::start("--role player --title \"Front Player\"", dir + "\\front.log", &front,
                            dir + "\\frontplayer.exe"))
            return "a player did not start";
        if (!startTunerkey(&run))
            return "tunerkey did not start";
        return bringForward(front.window) ? "" : "the front player did not come forward";
    }
};

} // namespace

TEST(KeyMaps, EachPressGoesWhereTheMapSays)
{
    Session s;
    ASSERT_EQ(s.start(UserMap), "");

    // The foreground program's section wins over a running one binding the same key.
    ASSERT_TRUE(press(22));
    ASSERT_TRUE(standin::waitForLine(s.front.log, "APPCOMMAND main 14"));
    // A running section reaches the player behind.
    ASSERT_TRUE(press(13));
    ASSERT_TRUE(standin::waitForLine(s.back.log, "COMMAND main 1313"));
    // Nothing binds mute and no supported application runs: the keyboard's mute
    // key, which the player behind follows as a hot key.
    ASSERT_TRUE(press(29));
    ASSERT_TRUE(standin::waitForLine(s.back.log, "HOTKEY main 17"));
    // Switched off in the Setting dialog, the media layer sends nothing.
    PostMessageA(s.run.window, WM_COMMAND, IDM_SETTING, 0);
    HWND dlg = qxt::waitForDialog("QX770 Remote Control - Setting");
    ASSERT_NE(dlg, (HWND)NULL);
    EXPECT_EQ(IsDlgButtonChecked(dlg, IDC_MEDIA_KEYS), BST_CHECKED);
    PostMessageA(GetDlgItem(dlg, IDC_MEDIA_KEYS), BM_CLICK, 0, 0);
    qxt::pumpMessages(200);
    qxt::pressButton(dlg, IDOK);
    ASSERT_TRUE(qxt::waitForGone(dlg));
    DWORD stored = 99;
    EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, "MediaKeys", &stored));
    EXPECT_EQ(stored, 0u);
    ASSERT_TRUE(bringForward(s.front.window));
    ASSERT_TRUE(press(29));
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(13)); // answered after the mute press, which sent nothing
    ASSERT_TRUE(qxt::waitUntil([&] { return count(s.back.log, "COMMAND main 1313") == 2; }));
    EXPECT_EQ(count(s.back.log, "HOTKEY main 17"), 1u);

    // A held key keeps its program when another one comes to the front.
    ASSERT_TRUE(press(24, 1000));
    ASSERT_TRUE(standin::waitForLine(s.front.log, "COMMAND main 4242"));
    ASSERT_TRUE(bringForward(s.back.window));
    size_t switched = standin::lines(s.front.log).size();
    EXPECT_TRUE(waitFrom(s.front.log, "COMMAND main 4242", switched));
    resetCard();
    ASSERT_TRUE(standin::sync(s.back.window, s.back.log));
    EXPECT_EQ(count(s.back.log, "COMMAND main 2424"), 0u);
    EXPECT_EQ(count(s.back.log, "COMMAND main 1111"), 0u);

    // An overlay changes one key of the supported application that is the target.
    ASSERT_TRUE(bringForward(s.front.window));
    ASSERT_NE(launch(PowerVcr), (HWND)NULL);
    ASSERT_TRUE(bringForward(s.front.window));
    size_t from = logLength(PowerVcr);
    ASSERT_TRUE(press(5)); // the probe makes PowerVCR II the target
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x35 * -", from));
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(11));
    ASSERT_TRUE(waitForLine(PowerVcr, "APPCOMMAND main 13", from));
    ASSERT_TRUE(standin::sync(windowOf(PowerVcr), logOf(PowerVcr)));
    EXPECT_EQ(received(PowerVcr, from).size(), 1u) << "the digit, and nothing of PowerVCR's own key 11";

    EXPECT_EQ(exitTunerkey(&s.run), 0);
    closeAll();
}

TEST(KeyMaps, EditedInNotepadAndASaveAppliesWithItsProblemsNamed)
{
    DeleteFileA(userKeymap().c_str());
    Session s;
    ASSERT_EQ(s.start(UserMap), "");
    DeleteFileA(userKeymap().c_str());

    // "Edit key maps..." makes the file with its header and opens it in Notepad.
    PostMessageA(s.run.window, WM_COMMAND, IDM_EDIT_KEYMAPS, 0);
    HWND notepad = NULL;
    EXPECT_TRUE(qxt::waitUntil([&] { return (notepad = FindWindowA("Notepad", NULL)) != NULL; }, 10000));
    std::string made;
    EXPECT_TRUE(qxt::readFile(userKeymap(), &made));
    EXPECT_EQ(made.rfind("; Your own key map", 0), 0u) << made;
    if (notepad != NULL)
        PostMessageA(notepad, WM_CLOSE, 0, 0);

    // A save with a bad line: the box names it, and the rest of the file applies.
    ASSERT_TRUE(qxt::writeFile(userKeymap(), "[Front]\r\nexe = frontplayer.exe\r\n"
                                             "KEY_PLAY = media STOP\r\n"
                                             "KEY_PLAYPAUSE = command 5151\r\n"));
    DWORD saved = GetTickCount();
    HWND box = qxt::waitForDialog("QX770 Remote Control", 15000);
    ASSERT_NE(box, (HWND)NULL);
    // The figure: the watch reads a save within three seconds.
    printf("keymap: a save read and told after %lu ms\n", (unsigned long)(GetTickCount() - saved));
    EXPECT_NE(qxt::messageBoxText(box).find("keymap.ini line 3: \"KEY_PLAY\" is not a key of this remote"),
              std::string::npos)
        << qxt::messageBoxText(box);
    qxt::pressButton(box, IDOK);
    ASSERT_TRUE(qxt::waitForGone(box));
    ASSERT_TRUE(bringForward(s.front.window));
    ASSERT_TRUE(press(22));
    ASSERT_TRUE(standin::waitForLine(s.front.log, "COMMAND main 5151"));

    EXPECT_EQ(exitTunerkey(&s.run), 0);
    closeAll();
}
