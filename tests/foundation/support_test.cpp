// The test-support library and the window search, checked against Wine itself.
#include <gtest/gtest.h>

#include <process.h>

#include "apps/window_search.h"
#include "qxtest.h"

namespace
{

unsigned __stdcall showBox(void *text)
{
    MessageBoxA(NULL, (const char *)text, "Bench Box", MB_OK);
    return 0;
}

} // namespace

TEST(DialogDriving, FindsMessageBoxReadsItsTextAndPressesOk)
{
    static char text[] = "The remote is resting.";
    HANDLE t = (HANDLE)_beginthreadex(NULL, 0, showBox, text, 0, NULL);
    HWND box = qxt::waitForDialog("Bench Box");
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(qxt::className(box), "#32770");
    EXPECT_EQ(qxt::messageBoxText(box), "The remote is resting.");
    EXPECT_TRUE(qxt::pressButton(box, IDOK));
    EXPECT_EQ(WaitForSingleObject(t, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(qxt::waitForGone(box));
    CloseHandle(t);
}

TEST(DialogDriving, MissingDialogTimesOut)
{
    DWORD start = GetTickCount();
    EXPECT_EQ(qxt::waitForDialog("No Such Caption", 300), (HWND)NULL);
    EXPECT_GE(GetTickCount() - start, 250u);
}

TEST(MessageRecorder, RecordsPostedMessagesWithTheirParameters)
{
    qxt::MessageRecorder rec("QxBenchRecorder", "Recorder Window");
    ASSERT_NE(rec.hwnd(), (HWND)NULL);
    PostMessageA(rec.hwnd(), WM_KEYDOWN, 0x35, 0x00060001);
    PostMessageA(rec.hwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(rec.waitFor(WM_CLOSE));
    auto keys = rec.received(WM_KEYDOWN);
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].wParam, 0x35u);
    EXPECT_EQ(keys[0].lParam, 0x00060001);
    EXPECT_TRUE(IsWindow(rec.hwnd())) << "WM_CLOSE is recorded, not obeyed";
}

// The prefix rule of the window search: a title must begin with the text.
TEST(WindowSearch, PrefixRule)
{
    struct {
        const char *title, *prefix;
        bool match;
    } cases[] = {
        {"Rudov Aridur Ezerodo", "Rudov Aridur Ezerodo", true},
        {"Rudov Aridur Ezerodo 2.1", "Rudov Aridur Ezerodo", true},
        {"x Rudov Aridur Ezerodo", "Rudov Aridur Ezerodo", false},
        {"rudov aridur ezerodo", "Rudov Aridur Ezerodo", false},
        {"Rudov", "Rudov Aridur Ezerodo", false},
        {"", "PowerVCR II", false},
        {"anything", "", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(titleHasPrefix(c.title, c.prefix), c.match) << c.title << " / " << c.prefix;
}

TEST(WindowSearch, FindsTopLevelWindowByTitlePrefixOnly)
{
    qxt::MessageRecorder decoy("QxBenchDecoy", "x Bench Prefix Window");
    ASSERT_NE(decoy.hwnd(), (HWND)NULL);
    EXPECT_EQ(findWindowByTitlePrefix("Bench Prefix Window"), (HWND)NULL);
    qxt::MessageRecorder real("QxBenchReal", "Bench Prefix Window, second edition");
    ASSERT_NE(real.hwnd(), (HWND)NULL);
    EXPECT_EQ(findWindowByTitlePrefix("Bench Prefix Window"), real.hwnd());
}

TEST(RegistrySnapshot, SeesExactlyWhatChanged)
{
    const char *root = "Software\\QxBench\\Snapshot";
    qxt::regDeleteTree(HKEY_CURRENT_USER, root);
    ASSERT_TRUE(qxt::regSetString(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\Keep", "Name", "value"));
    ASSERT_TRUE(qxt::regSetDword(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\Gone", "Count", 3));
    ASSERT_TRUE(qxt::regSetDword(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\Keep", "Level", 1));
    qxt::Snapshot before = qxt::snapshotRegistry(HKEY_CURRENT_USER, root);

    EXPECT_TRUE(qxt::regDeleteTree(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\Gone"));
    EXPECT_TRUE(qxt::regSetDword(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\Keep", "Level", 2));
    EXPECT_TRUE(qxt::regSetString(HKEY_CURRENT_USER, "Software\\QxBench\\Snapshot\\New", "", "x"));
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotRegistry(HKEY_CURRENT_USER, root));

    std::string k = std::string(root) + "\\";
    EXPECT_EQ(d.removed, (std::vector<std::string>{k + "Gone", k + "Gone\\:Count"})) << qxt::describe(d);
    EXPECT_EQ(d.changed, (std::vector<std::string>{k + "Keep\\:Level"})) << qxt::describe(d);
    EXPECT_EQ(d.added, (std::vector<std::string>{k + "New", k + "New\\:"})) << qxt::describe(d);
    EXPECT_TRUE(qxt::regDeleteTree(HKEY_CURRENT_USER, "Software\\QxBench"));
    EXPECT_FALSE(qxt::regKeyExists(HKEY_CURRENT_USER, root));
}

TEST(DirectorySnapshot, SeesAddedRemovedAndRewrittenFiles)
{
    std::string dir = qxt::makeTempDir("snap");
    ASSERT_FALSE(dir.empty());
    ASSERT_TRUE(qxt::makeDirs(dir + "\\sub\\deeper"));
    ASSERT_TRUE(qxt::writeFile(dir + "\\a.inf", "one"));
    ASSERT_TRUE(qxt::writeFile(dir + "\\sub\\b.sys", "two"));
    qxt::Snapshot before = qxt::snapshotDirectory(dir);

    ASSERT_TRUE(DeleteFileA((dir + "\\a.inf").c_str()));
    ASSERT_TRUE(qxt::writeFile(dir + "\\sub\\b.sys", "longer"));
    ASSERT_TRUE(qxt::writeFile(dir + "\\sub\\deeper\\c.pnf", ""));
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotDirectory(dir));
    EXPECT_EQ(d.removed, (std::vector<std::string>{"a.inf"})) << qxt::describe(d);
    EXPECT_EQ(d.changed, (std::vector<std::string>{"sub\\b.sys"})) << qxt::describe(d);
    EXPECT_EQ(d.added, (std::vector<std::string>{"sub\\deeper\\c.pnf"})) << qxt::describe(d);
    EXPECT_TRUE(qxt::removeTree(dir));
    EXPECT_FALSE(qxt::fileExists(dir));
}

TEST(ChildProcess, ExitCodeAndOutputPassThrough)
{
    std::string out;
    EXPECT_EQ(qxt::runProgram("cmd.exe /c echo bench-output& exit 7", &out), 7);
    EXPECT_NE(out.find("bench-output"), std::string::npos) << out;
}
