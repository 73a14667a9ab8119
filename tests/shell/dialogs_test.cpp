// The About, Setting and Shut Down dialogs, opened the way the program opens
// them and answered from a second thread.
#include <gtest/gtest.h>
#include <math.h>

#include <algorithm>

#include "shell/shell.h"

#include "apps/apps.h"
#include "keys/keys.h"
#include "modal.h"
#include "qxtest.h"
#include "resources/resource.h"

#include <string>
#include <vector>

typedef std::vector<std::string> Texts;

TEST(AboutDialog, ShowsTheProgramAndEndsWithOk)
{
    std::string line;
    ASSERT_TRUE(runModal(
        "QX770 Remote Control - About", [] { openAboutDialog(NULL); },
        [&](HWND dlg) {
            if (dlg == NULL)
                return;
            for (HWND c = GetWindow(dlg, GW_CHILD); c != NULL; c = GetWindow(c, GW_HWNDNEXT))
                line += qxt::windowText(c) + "|";
            qxt::pressButton(dlg, IDOK);
        }));
    EXPECT_NE(line.find("Lumo-TV Remote Control Utility |"), std::string::npos) << line;
}

// ---- Setting -------------------------------------------------------------------

// What the dialog saves goes to the user's settings.
static const char *Key = TK_USER_SETTINGS_KEY;

struct SettingRun {
    Texts entries;
    int preselected = -2;
    std::string box; // the text of a box the ending showed, answered with OK
};

// Opens the Setting dialog, records its list, optionally picks `pick`, and ends it
// with `button` (IDOK or IDCANCEL).
static SettingRun runSetting(int pick, int button)
{
    SettingRun run;
    runModal(
        "QX770 Remote Control - Setting", [] { openSettingDialog(NULL); },
        [&](HWND dlg) {
            if (dlg == NULL)
                return;
            run.entries = qxt::comboEntries(dlg, IDC_APP_LIST);
            run.preselected = qxt::comboSelection(dlg, IDC_APP_LIST);
            if (pick >= 0)
                qxt::pickComboEntry(dlg, IDC_APP_LIST, pick);
            // The dialog has no Cancel button: Escape and the close box send IDCANCEL.
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            // Either the dialog ends, or a box comes up first.
            qxt::waitUntil([&] { return !IsWindow(dlg) || FindWindowA("#32770", TK_CAPTION) != NULL; });
            HWND box = IsWindow(dlg) ? qxt::waitForDialog(TK_CAPTION) : NULL;
            if (box != NULL) {
                run.box = qxt::messageBoxText(box);
                qxt::pressButton(box, IDOK);
            }
        });
    return run;
}

static void install(int homeTheater, int powerVcr, int honestech, int tivra)
{
    homeTheaterTarget.installed = homeTheater;
    powerVcrTarget.installed = powerVcr;
    honestechTarget.installed = honestech;
    tivraTarget.installed = tivra;
}

// One run of the program: the steps share the remembered list index, as the
// openings of the dialog within one run do.
TEST(SettingDialog, ListPreselectionAndSaveRules)
{
    qxt::regDeleteTree(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY);
    qxt::regDeleteTree(HKEY_CURRENT_USER, Key);
    setDefaultTvApp(1);
    LoadSettings();

    // PowerVCR II chosen but not installed, first opening: entry 0.
    install(1, 0, 0, 1);
    setDefaultTvApp(2);
    SettingRun run = runSetting(-1, IDCANCEL);
    EXPECT_EQ(run.entries, (Texts{"Home Theater", "TivraTVR"}));
    EXPECT_EQ(run.preselected, 0);
    EXPECT_EQ(defaultTvApp(), 2);

    // TivraTVR (3) is the second entry.
    setDefaultTvApp(3);
    qxt::regSetDword(HKEY_CURRENT_USER, Key, "DefaultTVAPP", 3);
    qxt::Snapshot before = qxt::snapshotRegistry(HKEY_CURRENT_USER, Key);
    run = runSetting(-1, IDOK);
    EXPECT_EQ(run.preselected, 1);
    EXPECT_EQ(settingListIndex(), 1);
    // The choice that already holds writes nothing.
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotRegistry(HKEY_CURRENT_USER, Key));
    EXPECT_TRUE(d.empty()) << qxt::describe(d);

    // Cancel after picking another entry changes nothing.
    runSetting(0, IDCANCEL);
    EXPECT_EQ(defaultTvApp(), 3);
    EXPECT_EQ(settingListIndex(), 1);
    DWORD stored = 0;
    EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, Key, "DefaultTVAPP", &stored));
    EXPECT_EQ(stored, 3u);

    // OK with Home Theater: in memory and in the registry.
    run = runSetting(0, IDOK);
    EXPECT_TRUE(run.box.empty()) << run.box;
    EXPECT_EQ(defaultTvApp(), 1);
    EXPECT_EQ(settingListIndex(), 0);
    EXPECT_TRUE(qxt::regGetDword(HKEY_CURRENT_USER, Key, "DefaultTVAPP", &stored));
    EXPECT_EQ(stored, 1u);

    // An unknown default keeps the remembered entry.
    setDefaultTvApp(7);
    run = runSetting(-1, IDCANCEL);
    EXPECT_EQ(run.preselected, 0);

    // The stored value deleted while the program runs: the choice holds in memory,
    // the registry stays without the value, and a box says it was not saved.
    qxt::regDeleteValue(HKEY_CURRENT_USER, Key, "DefaultTVAPP");
    run = runSetting(1, IDOK);
    EXPECT_EQ(defaultTvApp(), 3);
    EXPECT_FALSE(qxt::regValueExists(HKEY_CURRENT_USER, Key, "DefaultTVAPP"));
    EXPECT_EQ(run.box.rfind("The setting could not be saved.", 0), 0u) << run.box;
}

// Runs after a choice was accepted above: the text of that choice must not act again.
TEST(SettingDialog, NothingInstalledOffersNothingAndChangesNothing)
{
    install(0, 0, 0, 0);
    setDefaultTvApp(2);
    SettingRun run = runSetting(-1, IDOK);
    EXPECT_TRUE(run.entries.empty());
    EXPECT_EQ(run.preselected, -1);
    EXPECT_EQ(defaultTvApp(), 2);
}

// ---- Shut Down -------------------------------------------------------------------

static std::vector<UINT> ExitCalls;
static bool DialogGoneAtExitCall;

static BOOL WINAPI recordExit(UINT flags, DWORD)
{
    ExitCalls.push_back(flags);
    // The shut-down starts only once the dialog has been ended.
    DialogGoneAtExitCall = shutdownPrompt() == NULL;
    return TRUE;
}

TEST(ShutdownDialog, PowerAndOkConfirmEverythingElseCancels)
{
    exitWindowsCall = recordExit;
    struct Case {
        const char *what;
        UINT msg;
        WPARAM wParam;
        bool shutsDown;
    } cases[] = {
        {"remote power key (Enter)", WM_KEYDOWN, VK_RETURN, true},
        {"any other remote key (Escape)", WM_KEYDOWN, VK_ESCAPE, false},
        {"OK button", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), true},
        {"Cancel button", WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), false},
    };
    for (const Case &c : cases) {
        ExitCalls.clear();
        DialogGoneAtExitCall = false;
        HWND seen = NULL, prompt = NULL;
        bool ignoredSpace = false;
        ASSERT_TRUE(runModal(
            "QX770 Remote Control - Shut Down", [] { openShutdownDialog(NULL); },
            [&](HWND dlg) {
                seen = dlg;
                prompt = shutdownPrompt();
                if (dlg == NULL)
                    return;
                // A key that means nothing to the dialog leaves it open.
                SendMessageA(dlg, WM_KEYDOWN, VK_SPACE, 0);
                ignoredSpace = IsWindowVisible(dlg) != FALSE;
                // The dispatcher sends; the buttons post.
                if (c.msg == WM_KEYDOWN)
                    SendMessageA(dlg, c.msg, c.wParam, 0);
                else
                    PostMessageA(dlg, c.msg, c.wParam, 0);
            }))
            << c.what;
        ASSERT_NE(seen, (HWND)NULL) << c.what;
        EXPECT_EQ(prompt, seen) << c.what;
        EXPECT_TRUE(ignoredSpace) << c.what;
        EXPECT_EQ(shutdownPrompt(), (HWND)NULL) << c.what;
        EXPECT_EQ(ExitCalls.size(), c.shutsDown ? 1u : 0u) << c.what;
        if (c.shutsDown) {
            EXPECT_TRUE(DialogGoneAtExitCall) << c.what;
        }
    }
}

// ---- resources the dialogs and the window rely on -------------------------------

TEST(Resources, StringsAcceleratorsAndIconGroups)
{
    HINSTANCE self = GetModuleHandleA(NULL);
    char text[100];
    for (int id : {IDS_WINDOW_TITLE, IDS_CLASS_NAME}) {
        ASSERT_GT(LoadStringA(self, id, text, sizeof text), 0) << id;
        EXPECT_STREQ(text, "QX770 Remote Control") << id;
    }

    // Character entries with Alt (not virtual keys): Alt+/ About, Alt+? Setting.
    HACCEL table = LoadAcceleratorsA(self, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    ACCEL entries[4];
    ASSERT_EQ(CopyAcceleratorTableA(table, entries, 4), 2);
    EXPECT_EQ(entries[0].fVirt, FALT | FNOINVERT);
    EXPECT_EQ(entries[0].key, '/');
    EXPECT_EQ(entries[0].cmd, IDM_ABOUT);
    EXPECT_EQ(entries[1].fVirt, FALT | FNOINVERT);
    EXPECT_EQ(entries[1].key, '?');
    EXPECT_EQ(entries[1].cmd, IDM_SETTING);

    // Each icon group's images: width and bits per pixel, in order.
    struct Group {
        int id;
        std::vector<std::pair<int, int>> images;
    } groups[] = {
        // 32-bit with alpha at every size Windows asks for (0: 256), and 256 colours
        // for the displays of Windows 98 and NT 4.0.
        {IDI_PROGRAM,
         {{16, 32}, {20, 32}, {24, 32}, {32, 32}, {40, 32}, {48, 32}, {0, 32}, {16, 8}, {32, 8}}},
        {IDI_SHUTDOWN, {{32, 4}, {16, 4}}},
    };
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    for (const Group &g : groups) {
        HRSRC res = FindResourceA(self, MAKEINTRESOURCEA(g.id), (LPCSTR)RT_GROUP_ICON);
        ASSERT_NE(res, (HRSRC)NULL) << g.id;
        const BYTE *dir = (const BYTE *)LockResource(LoadResource(self, res));
        WORD count = *(const WORD *)(dir + 4);
        std::vector<std::pair<int, int>> images;
        for (WORD i = 0; i < count; ++i) {
            const GroupEntry *e = (const GroupEntry *)(dir + 6 + i * sizeof(GroupEntry));
            EXPECT_EQ(e->width, e->height) << g.id;
            images.push_back({e->width, e->bitCount});
        }
        EXPECT_EQ(images, g.images) << g.id;
    }
}

// Relative luminance and contrast ratio as the accessibility guidelines define them.
static double luminance(BYTE r, BYTE g, BYTE b)
{
    auto linear = [](BYTE c) {
        double v = c / 255.0;
        return v <= 0.03928 ? v / 12.92 : pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}
static double contrast(double a, double b)
{
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The tray's image at 100 to 200 % scaling: the rim of its shape (each opaque pixel
// beside a not wholly opaque one) reads on the dark taskbar and the light one.
TEST(Resources, TheTrayImageStandsOutOnTheDarkAndTheLightTaskbar)
{
    HMODULE self = GetModuleHandleA(NULL);
    for (int size : {16, 20, 24, 32}) {
        int id = LookupIconIdFromDirectoryEx(
            (PBYTE)LockResource(
                LoadResource(self, FindResourceA(self, MAKEINTRESOURCEA(IDI_PROGRAM), RT_GROUP_ICON))),
            TRUE, size, size, LR_DEFAULTCOLOR);
        HRSRC res = FindResourceA(self, MAKEINTRESOURCEA(id), RT_ICON);
        ASSERT_NE(res, (HRSRC)NULL) << size;
        const BITMAPINFOHEADER *h = (const BITMAPINFOHEADER *)LockResource(LoadResource(self, res));
        ASSERT_EQ(h->biBitCount, 32) << size;
        ASSERT_EQ(h->biWidth, size);
        const BYTE *bgra = (const BYTE *)(h + 1);
        auto alpha = [&](int x, int y) {
            return x < 0 || y < 0 || x >= size || y >= size ? 0 : bgra[(y * size + x) * 4 + 3];
        };
        int rim = 0;
        for (double taskbar : {luminance(0x20, 0x20, 0x20), luminance(0xF3, 0xF3, 0xF3)})
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const BYTE *p = bgra + (y * size + x) * 4;
                    if (p[3] < 255 ||
                        std::min({alpha(x - 1, y), alpha(x + 1, y), alpha(x, y - 1), alpha(x, y + 1)}) == 255)
                        continue;
                    ++rim;
                    EXPECT_GE(contrast(luminance(p[2], p[1], p[0]), taskbar), 3.0)
                        << size << " px at " << x << "," << y;
                }
        EXPECT_GT(rim, 4 * size) << size;
    }
}
