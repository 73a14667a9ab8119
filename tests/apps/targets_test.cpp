// The application records: what they read from the registry at start-up, how
// they find a running application, and how they start one.
#include <gtest/gtest.h>

#include <process.h>
#include <string.h>

#include "apps/apps.h"
#include "standin_client.h"

namespace
{

const char PF[] = "C:\\Program Files\\";

int countStarts(const std::string &log, const std::string &exe)
{
    int n = 0;
    for (const std::string &l : standin::lines(log))
        n += l.compare(0, 6, "START ") == 0 && l.size() > exe.size() &&
             l.compare(l.size() - exe.size(), exe.size(), exe) == 0;
    return n;
}

} // namespace

// The bench installed every stand-in before this program started, so the records
// were filled during static initialisation.
TEST(Records, ReadTheirInstallPathsBeforeMain)
{
    struct {
        TvAppTarget *t;
        const char *path, *exe, *cls, *title;
    } rows[] = {
        {&powerVcrTarget, "CyberLink\\PowerVCR II", "PVCR.EXE", "", "PowerVCR II"},
        {&honestechTarget, "honestech\\DVD Plus\\TVR", "honestechTV.EXE", "", "honestechTV 2.0"},
        {&winDvdTarget, "InterVideo\\WinDVD4", "WINDVD.EXE", "", "InterVideo WinDVD 4"},
        {&homeTheaterTarget, "InterVideo\\Home Theater", "Home Theater.exe", "", "Home Theater"},
        {&winRipTarget, "InterVideo\\WinRip", "WINRIP.EXE", "", "WinRip"},
        {&tivraTarget, "Honestech\\TV Plus\\TVR", "honestechTV.EXE", "TIVRA_TVR", "FormMainWindow"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.title);
        EXPECT_EQ(r.t->installed, 1);
        EXPECT_EQ(r.t->active, 0);
        EXPECT_EQ(std::string(r.t->installPath), PF + std::string(r.path));
        EXPECT_STREQ(r.t->exeName, r.exe);
        EXPECT_STREQ(r.t->windowClass, r.cls);
        EXPECT_STREQ(r.t->windowTitle, r.title);
    }
}

TEST(Records, ReadInstallPathTakesOnlyWhatFitsWhole)
{
    const char KEY[] = "Software\\QxTest\\Install";
    auto setRaw = [&](DWORD type, const std::string &bytes) {
        HKEY h;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, KEY, 0, NULL, 0, KEY_SET_VALUE | qxt::ApplicationsView,
                                  NULL, &h, NULL),
                  ERROR_SUCCESS);
        RegSetValueExA(h, "Path", 0, type, (const BYTE *)bytes.data(), (DWORD)bytes.size());
        RegCloseKey(h);
    };
    std::string p127 = "C:\\" + std::string(124, 'a');
    struct {
        const char *what;
        bool keyExists;
        DWORD type;
        std::string data; // as stored, terminator included or not
        int result;
        std::string path;
    } rows[] = {
        {"missing key", false, 0, "", 0, ""},
        {"missing value", true, 0, "", 0, ""},
        {"127 characters", true, REG_SZ, p127 + '\0', 1, p127},
        {"128 characters", true, REG_SZ, p127 + "b" + '\0', 0, ""},
        {"200 characters", true, REG_SZ, std::string(200, 'c') + '\0', 0, ""},
        {"128 bytes, no terminator", true, REG_BINARY, std::string(128, 'd'), 0, ""},
        {"stored without terminator", true, REG_SZ, "C:\\Short", 1, "C:\\Short"},
        {"blanks kept, trailing backslash kept", true, REG_SZ, std::string("C:\\A B\\") + '\0', 1,
         "C:\\A B\\"},
    };
    static TvAppTarget t(KEY, "Path", "x.exe", "", "Qx"); // static: starts zeroed, as the real ones
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, KEY, qxt::ApplicationsView);
        if (r.keyExists)
            qxt::regSetString(HKEY_LOCAL_MACHINE, KEY, "Other", "", qxt::ApplicationsView);
        if (r.type != 0)
            setRaw(r.type, r.data);
        strcpy(t.installPath, "left over");
        strcpy(t.exeName, "OLD.EXE");
        t.installed = 1;
        t.active = 1;
        EXPECT_EQ(t.readInstallPath(KEY, "Path", "NEW.EXE"), r.result);
        EXPECT_EQ(t.installed, r.result);
        EXPECT_EQ(std::string(t.installPath), r.path) << "never a partial or stale path";
        EXPECT_STREQ(t.exeName, r.result ? "NEW.EXE" : "OLD.EXE");
        EXPECT_EQ(t.active, r.result ? 0 : 1);
    }
    qxt::regDeleteTree(HKEY_LOCAL_MACHINE, "Software\\QxTest");
}

// The records look by title prefix; the drivers and the probe by class or whole title.
TEST(Records, FindByTitleIsAPrefixSearch)
{
    qxt::MessageRecorder longer("QxT1", "PowerVCR II Taurus Deluxe Edition");
    qxt::MessageRecorder ht("QxT2", "Home Theater 2");
    qxt::MessageRecorder lower("QxT3", "winrip");
    qxt::MessageRecorder shortTitle("QxT4", "InterVideo WinDVD");
    std::string huge = "honestechTV 2.0" + std::string(300, 'x');
    qxt::MessageRecorder hugeTitle("QxT5", huge.c_str());

    EXPECT_EQ(powerVcrTarget.findByTitle(), longer.hwnd());
    EXPECT_EQ(homeTheaterTarget.findByTitle(), ht.hwnd());
    EXPECT_EQ(findRunningApp(WATCH_HOME_THEATER), (HWND)NULL) << "the probe wants the whole title";
    EXPECT_EQ(winRipTarget.findByTitle(), (HWND)NULL) << "case counts";
    EXPECT_EQ(winDvdTarget.findByTitle(), (HWND)NULL) << "a shorter title is no match";
    EXPECT_EQ(honestechTarget.findByTitle(), hugeTitle.hwnd()) << "a long title is read in part";
    EXPECT_EQ(findRunningApp(WATCH_POWERVCR), (HWND)NULL) << "a title is not a class";
}

// A launch from a folder with blanks starts the installed program, not a
// C:\Program.exe planted in the way; once running, it is raised, not started again.
TEST(Launch, FromAFolderWithBlanksStartsTheRightProgram)
{
    std::string dir = std::string(PF) + "Cyber Link\\Power VCR II";
    ASSERT_TRUE(standin::install("powervcr", dir));
    ASSERT_TRUE(CopyFileA(qxt::programPath("standin.exe").c_str(), "C:\\Program.exe", FALSE));
    ASSERT_TRUE(qxt::writeFile("C:\\standin.ini", "[standin]\r\nrole=winrip\r\nlog=C:\\trap.log\r\n"));
    DeleteFileA("C:\\trap.log");
    powerVcrTarget.readInstallPath("Software\\Cyberlink\\PowerVCR II", "InstallPath", "PVCR.EXE");
    powerVcrTarget.active = 0;

    powerVcrTarget.findOrLaunch();
    EXPECT_EQ(powerVcrTarget.active, 1);
    HWND w = standin::waitForMainWindow(standin::logOf(dir));
    ASSERT_NE(w, (HWND)NULL);
    EXPECT_EQ(countStarts(standin::logOf(dir), " " + dir + "\\PVCR.EXE"), 1);
    EXPECT_FALSE(qxt::fileExists("C:\\trap.log")) << "C:\\Program.exe was started";

    qxt::MessageRecorder focus("QxFocusHolder", "Focus Holder", true);
    SetForegroundWindow(focus.hwnd());
    EXPECT_EQ(powerVcrTarget.bringToFront(), w);
    // Another process's window becomes the foreground one asynchronously under Wine.
    EXPECT_TRUE(qxt::waitUntil([&] { return GetForegroundWindow() == w; }, 3000));
    qxt::pumpMessages(300);
    EXPECT_EQ(countStarts(standin::logOf(dir), ""), 1) << "no second copy";
    PostMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(qxt::waitUntil([&] { return !IsWindow(w); }));
    DeleteFileA("C:\\Program.exe");
}

// The recorder is looked for by class before any launch: a title of its own does
// not make the record start a second copy.
TEST(Launch, RecorderFoundByClassIsNotStartedAgain)
{
    std::string dir = qxt::makeTempDir("tivra");
    ASSERT_TRUE(standin::install("tivra", dir + "\\Install"));
    tivraTarget.readInstallPath("Software\\Honestech\\TV Plus\\TVR", "AppPath", "honestechTV.EXE");
    standin::Running r;
    ASSERT_TRUE(standin::start("--role tivra --title \"TV Recorder\"", dir + "\\s.log", &r));
    EXPECT_EQ(tivraTarget.findOrLaunch(), r.window);
    EXPECT_EQ(tivraTarget.bringToFront(), r.window);
    EXPECT_EQ(tivraTarget.active, 0) << "found, not launched";
    qxt::pumpMessages(300);
    EXPECT_FALSE(qxt::fileExists(standin::logOf(dir + "\\Install")));
}

namespace
{

unsigned __stdcall launchOnThread(void *target)
{
    ((TvAppTarget *)target)->findOrLaunch();
    return 0;
}

} // namespace

TEST(Launch, FailureIsReportedAndLeavesTheTargetAlone)
{
    for (int active : {0, 1}) {
        winRipTarget.readInstallPath("Software\\InterVideo\\WinRip", "PATH", "WINRIP.EXE");
        strcpy(winRipTarget.installPath, "C:\\No Such Folder");
        winRipTarget.active = active;
        HANDLE t = (HANDLE)_beginthreadex(NULL, 0, launchOnThread, &winRipTarget, 0, NULL);
        HWND box = qxt::waitForDialog("QX770 Remote Control");
        ASSERT_NE(box, (HWND)NULL);
        EXPECT_EQ(qxt::messageBoxText(box), "Can't run launch TV application what you want.");
        qxt::pressButton(box, IDOK);
        EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
        CloseHandle(t);
        EXPECT_EQ(winRipTarget.active, active);
    }

    // Not installed: nothing to start and nothing to say.
    winRipTarget.readInstallPath("Software\\QxTest\\Missing", "PATH", "WINRIP.EXE");
    EXPECT_EQ(winRipTarget.bringToFront(), (HWND)NULL);
    EXPECT_EQ(winRipTarget.findOrLaunch(), (HWND)NULL);
    EXPECT_EQ(qxt::waitForDialog("QX770 Remote Control", 300), (HWND)NULL);
}

// The launch's rules: WinExec succeeded only above 31 (31 itself is a failure, and
// gets the box); no launch is tried for an application not installed, nor while a
// failed one is reported (the poll goes on in the box's loop: a held power key
// would stack a box per read).
TEST(LaunchRules, SuccessAbove31AndNoLaunchWhileAFailureIsReported)
{
    struct Result {
        UINT winExec;
        bool success;
    } results[] = {{0, false}, {2, false}, {11, false}, {31, false}, {32, true}, {0xFFFF, true}};
    for (const Result &r : results)
        EXPECT_EQ(launchSucceeded(r.winExec), r.success) << r.winExec;
    struct Guard {
        int installed;
        bool boxShowing, tried;
    } guards[] = {{1, false, true}, {1, true, false}, {0, false, false}, {0, true, false}};
    for (const Guard &g : guards)
        EXPECT_EQ(launchMayBeTried(g.installed, g.boxShowing), g.tried) << g.installed << g.boxShowing;
}
