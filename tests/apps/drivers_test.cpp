// The drivers end to end: each acts on a stand-in application (a separate
// process with the real application's window class and title), and the stand-in's
// log shows exactly what arrived: message, wParam, lParam, and for typed chords the
// modifier keys held.
#include <gtest/gtest.h>

#include <limits.h>
#include <stdio.h>

#include <algorithm>
#include <map>

#include "apps/apps.h"
#include "standin_client.h"

namespace
{

typedef std::vector<std::string> Lines;

std::string hex(const char *fmt, unsigned long v)
{
    char b[32];
    snprintf(b, sizeof b, fmt, v);
    return b;
}

// A posted key-down: exact wParam and lParam; the modifiers held do not matter.
Lines keyDown(int vk, DWORD lParam, const char *win = "main")
{
    return {"KEYDOWN " + std::string(win) + " " + hex("0x%02lX", vk) + " " + hex("0x%08lX", lParam) + " *"};
}

Lines digit(int n)
{
    // Scan codes of the main keyboard row: 1 is 0x02 ... 9 is 0x0A, 0 is 0x0B.
    return keyDown(0x30 + n, (n == 0 ? 0x0B : n + 1) << 16 | 1);
}

Lines command(unsigned long n)
{
    return {"CMD main " + std::to_string(n) + " 0"};
}

// A typed chord as the focused window sees it: modifiers down in order, the key
// down and up, the modifiers up in reverse order; each line with the modifiers
// then held (Alt, Ctrl, Shift as A, C, S). lParam is the system's own.
Lines chord(std::vector<int> mods, int key)
{
    auto held = [&](size_t n) {
        std::string s;
        for (int vk : {VK_MENU, VK_CONTROL, VK_SHIFT})
            for (size_t i = 0; i < n; ++i)
                if (mods[i] == vk)
                    s += vk == VK_MENU ? "A" : vk == VK_CONTROL ? "C" : "S";
        return s.empty() ? std::string("-") : s;
    };
    Lines out;
    for (size_t i = 0; i < mods.size(); ++i)
        out.push_back("KEYDOWN main " + hex("0x%02lX", mods[i]) + " * " + held(i + 1));
    out.push_back("KEYDOWN main " + hex("0x%02lX", key) + " * " + held(mods.size()));
    out.push_back("KEYUP main " + hex("0x%02lX", key) + " * " + held(mods.size()));
    for (size_t i = mods.size(); i-- > 0;)
        out.push_back("KEYUP main " + hex("0x%02lX", mods[i]) + " * " + held(i));
    return out;
}

Lines ctrl(int key)
{
    return chord({VK_CONTROL}, key);
}

// What arrived since line `from`, with Alt-made SYSKEY messages folded into KEY
// ones and the stand-in's own activation, focus and marker lines left out.
Lines arrived(const std::string &log, size_t from)
{
    Lines got = standin::linesFrom(log, from, {"ACTIVE", "INACTIVE", "APP-", "FOCUS", "MARK", "RESTORED"});
    for (std::string &l : got)
        if (l.compare(0, 3, "SYS") == 0)
            l = l.substr(3);
    return got;
}

void expectLines(const Lines &got, const Lines &want)
{
    ASSERT_EQ(got.size(), want.size()) << ::testing::PrintToString(got);
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(standin::matches(got[i], want[i])) << got[i] << " vs " << want[i];
}

// Waits until `count` lines have arrived since `from` (typed keys come through the
// input queue, after posted messages), then until all posted ones have.
Lines collect(const standin::Running &r, size_t from, size_t count)
{
    qxt::waitUntil([&] { return arrived(r.log, from).size() >= count; }, count ? 3000 : 0);
    standin::sync(r.window, r.log);
    qxt::pumpMessages(count ? 30 : 0);
    return arrived(r.log, from);
}

// Every code, and codes on either side of 0 to 31, through one driver.
void checkKeyMap(const char *args, void (*handleKey)(int), std::map<int, Lines> want)
{
    standin::Running r;
    ASSERT_TRUE(standin::start(args, qxt::makeTempDir("keymap") + "\\standin.log", &r));
    std::vector<int> codes = {INT_MIN, -1000, -2, -1};
    for (int c = 0; c <= 40; ++c)
        codes.push_back(c);
    for (int c : {127, 128, 255, 256, 0x10005})
        codes.push_back(c);
    for (int code : codes) {
        SCOPED_TRACE("code " + std::to_string(code));
        size_t from = standin::lines(r.log).size();
        handleKey(code);
        const Lines &w = want[code];
        expectLines(collect(r, from, w.size()), w);
        if (IsIconic(r.window)) {
            ShowWindow(r.window, SW_RESTORE);
            qxt::waitUntil([&] { return !IsIconic(r.window); });
        }
    }
    standin::stop(&r);
}

std::map<int, Lines> keystrokeMap()
{
    std::map<int, Lines> m;
    m[0] = keyDown(VK_MULTIPLY, 0);
    for (int n = 1; n <= 9; ++n)
        m[n] = digit(n);
    m[10] = digit(0);
    m[12] = ctrl('U');
    m[13] = keyDown('R', 0);
    m[14] = keyDown('S', 0);
    m[16] = keyDown('Q', 0);
    m[17] = keyDown('Z', 0);
    m[19] = ctrl('M');
    m[22] = {"CHAR main 0x0D 0x001C0001 *"};
    m[23] = ctrl('R');
    m[24] = {"MINIMIZED main"};
    m[25] = ctrl('S');
    m[26] = keyDown('N', 0);
    m[27] = keyDown(VK_ADD, 0);
    m[28] = keyDown(VK_SPACE, 0);
    m[29] = keyDown('C', 0);
    m[30] = keyDown('P', 0);
    m[31] = keyDown(VK_SUBTRACT, 0);
    return m;
}

const char CYBERLINK[] = "SOFTWARE\\CyberLink";

} // namespace

TEST(KeyMap, PowerVcr)
{
    ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, CYBERLINK, "Other", "kept", qxt::ApplicationsView));
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", qxt::ApplicationsView);
    checkKeyMap("--role powervcr --stay", PowerVcrDriver::handleKey, keystrokeMap());
    DWORD v = 0;
    EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", &v, qxt::ApplicationsView));
    EXPECT_EQ(v, 1u);
}

TEST(KeyMap, Honestech)
{
    std::map<int, Lines> m = keystrokeMap();
    m[27] = keyDown(VK_RIGHT, 0);
    m[31] = keyDown(VK_LEFT, 0);
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", qxt::ApplicationsView);
    checkKeyMap("--role honestech --stay", HonestechDriver::handleKey, m);
    EXPECT_FALSE(qxt::regValueExists(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", qxt::ApplicationsView))
        << "PowerVCR's alone";
}

TEST(KeyMap, HomeTheater)
{
    std::map<int, Lines> m;
    m[0] = ctrl('B');
    for (int n = 1; n <= 9; ++n)
        m[n] = digit(n);
    m[10] = digit(0);
    m[11] = keyDown('Z', 0x002C0001);
    m[12] = keyDown('A', 0x001E0001);
    m[13] = ctrl('R');
    m[14] = ctrl('S');
    m[16] = keyDown(VK_PRIOR, 0x01490001);
    m[17] = chord({VK_CONTROL, VK_SHIFT}, 'R');
    m[19] = keyDown(VK_F10, 0x002A0001);
    m[20] = keyDown(VK_ESCAPE, 0x00260001);
    m[21] = keyDown(VK_RETURN, 0x001C0001);
    m[22] = keyDown(VK_SPACE, 0x00140001);
    m[23] = ctrl('F');
    m[24] = keyDown(VK_NEXT, 0x01510001);
    m[25] = chord({VK_CONTROL, VK_SHIFT}, 'F');
    m[26] = keyDown(VK_UP, 0x01480001);
    m[27] = keyDown(VK_RIGHT, 0x014D0001);
    m[28] = keyDown(VK_F9, 0x002A0001);
    m[29] = keyDown(VK_F8, 0x00320001);
    m[30] = keyDown(VK_DOWN, 0x01500001);
    m[31] = keyDown(VK_LEFT, 0x014B0001);
    checkKeyMap("--role hometheater --stay", HomeTheaterDriver::handleKey, m);
}

TEST(KeyMap, Tivra)
{
    std::map<int, Lines> m;
    m[0] = command(10100);
    for (int n = 1; n <= 9; ++n)
        m[n] = command(10000 + n);
    m[10] = command(10000);
    const int pairs[][2] = {{11, 206}, {12, 4004}, {13, 1001}, {14, 1002}, {16, 403}, {17, 3},
                            {19, 300}, {22, 3001}, {23, 4003}, {24, 5},    {25, 8},   {26, 4001},
                            {27, 401}, {28, 1003}, {29, 1000}, {30, 4002}, {31, 402}};
    for (auto &p : pairs)
        m[p[0]] = command(p[1]);
    checkKeyMap("--role tivra --stay", TivraDriver::handleKey, m);
}

// The dispatcher's own actions for key 15.
TEST(KeyMap, HomeTheaterKey15AndTivraCommand5001)
{
    std::string dir = qxt::makeTempDir("k15");
    standin::Running ht, tv;
    ASSERT_TRUE(standin::start("--role hometheater --stay", dir + "\\ht.log", &ht));
    size_t from = standin::lines(ht.log).size();
    // Its hot key: the system turns Home's key-down into WM_HOTKEY, focused or not.
    HomeTheaterDriver::key15();
    Lines got = collect(ht, from, 8);
    EXPECT_NE(std::find(got.begin(), got.end(), "HOTKEY main 1"), got.end()) << ::testing::PrintToString(got);
    for (const std::string &l : got)
        EXPECT_FALSE(standin::matches(l, "KEYDOWN main 0x24 * *")) << l;
    standin::stop(&ht);

    ASSERT_TRUE(standin::start("--role tivra --stay", dir + "\\tv.log", &tv));
    from = standin::lines(tv.log).size();
    TivraDriver::sendCommand(5001);
    expectLines(collect(tv, from, 1), command(5001));
    standin::stop(&tv);
}

// With no application window every key action sends nothing; nothing is typed
// into whatever window has the focus either.
TEST(NoApplication, KeysSendNothing)
{
    qxt::MessageRecorder focus("QxFocusHolder", "Focus Holder", true);
    SetForegroundWindow(focus.hwnd());
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", qxt::ApplicationsView);
    for (void (*handleKey)(int) : {PowerVcrDriver::handleKey, HonestechDriver::handleKey,
                                   HomeTheaterDriver::handleKey, TivraDriver::handleKey})
        for (int code = 0; code < 32; ++code)
            handleKey(code);
    HomeTheaterDriver::key15();
    qxt::pumpMessages(200);
    EXPECT_TRUE(focus.received(WM_KEYDOWN).empty());
    EXPECT_FALSE(qxt::regValueExists(HKEY_LOCAL_MACHINE, CYBERLINK, "DisableCapDlg", qxt::ApplicationsView))
        << "written only while PowerVCR runs";
}

namespace
{

// The chords typed after raising the application: the keystroke drivers' and Home
// Theater's Ctrl chords.
struct RaisingChord {
    const char *args;
    void (*act)();
    std::vector<int> mods;
    int letter;
    TvAppTarget *target;
};
const RaisingChord raisingChords[] = {
    {"--role powervcr --stay", [] { PowerVcrDriver::handleKey(12); }, {VK_CONTROL}, 'U', &powerVcrTarget},
    {"--role powervcr --stay", [] { PowerVcrDriver::handleKey(25); }, {VK_CONTROL}, 'S', &powerVcrTarget},
    {"--role honestech --stay", [] { HonestechDriver::handleKey(19); }, {VK_CONTROL}, 'M', &honestechTarget},
    {"--role powervcr --stay", PowerVcrDriver::close, {VK_CONTROL}, 'X', &powerVcrTarget},
    {"--role honestech --stay", HonestechDriver::close, {VK_CONTROL}, 'X', &honestechTarget},
    {"--role honestech --stay", [] { HonestechDriver::togglePower(); }, {VK_CONTROL}, 'X', &honestechTarget},
    {"--role hometheater --stay",
     [] { HomeTheaterDriver::handleKey(14); },
     {VK_CONTROL},
     'S',
     &homeTheaterTarget},
    {"--role hometheater --stay",
     [] { HomeTheaterDriver::handleKey(25); },
     {VK_CONTROL, VK_SHIFT},
     'F',
     &homeTheaterTarget},
};

// A Windows whose foreground lock keeps a background program from raising anything.
BOOL WINAPI refuseRaise(HWND)
{
    return FALSE;
}

// A Windows whose foreground lock grants the raise only to the process that produced
// the last input event (Windows 98, 2000 onwards): here, only when an input event
// came after the lock was armed, all input of the test being the program's own.
DWORD armedInputTime;
void armForegroundLock()
{
    LASTINPUTINFO li = {sizeof li, 0};
    GetLastInputInfo(&li);
    armedInputTime = li.dwTime;
    Sleep(30); // a later input event has a later time
}
BOOL WINAPI raiseAfterInputOnly(HWND window)
{
    LASTINPUTINFO li = {sizeof li, 0};
    if (!GetLastInputInfo(&li) || li.dwTime == armedInputTime)
        return FALSE;
    return SetForegroundWindow(window);
}

} // namespace

// The chords raise the application first, and are typed once it holds the
// foreground, so every key arrives and none reaches the window in front, another
// application: with a system that grants every raise, and with the foreground
// lock, which grants it to the program that produced the last input.
TEST(Chords, AreTypedOnlyIntoTheRaisedApplication)
{
    std::string dir = qxt::makeTempDir("front");
    standin::Running front;
    ASSERT_TRUE(standin::start("--role winrip --stay", dir + "\\front.log", &front));
    for (bool locked : {false, true}) {
        raiseWindowCall = locked ? raiseAfterInputOnly : SetForegroundWindow;
        for (const RaisingChord &c : raisingChords) {
            SCOPED_TRACE(c.args + std::string(" ") + (char)c.letter + (locked ? " locked" : ""));
            standin::Running r;
            ASSERT_TRUE(standin::start(c.args, dir + "\\s.log", &r));
            SetForegroundWindow(front.window);
            ASSERT_TRUE(qxt::waitUntil([&] { return GetForegroundWindow() == front.window; }));
            standin::sync(r.window, r.log);
            standin::sync(front.window, front.log);
            size_t from = standin::lines(r.log).size(), frontFrom = standin::lines(front.log).size();
            if (locked)
                armForegroundLock();
            c.act();
            Lines got = collect(r, from, 2 + 2 * c.mods.size());
            EXPECT_TRUE(collect(front, frontFrom, 0).empty()) << "typed into the window in front";
            EXPECT_EQ(GetForegroundWindow(), r.window);
            expectLines(got, chord(c.mods, c.letter));
            standin::stop(&r);
        }
    }
    raiseWindowCall = SetForegroundWindow;
}

// Home Theater's Alt+Ctrl+Shift chords are the hot keys it registers for the whole
// system: typed while its window exists, whichever window has the focus, without
// raising it.
TEST(Chords, HomeTheaterHotKeysReachItBehindAnotherWindow)
{
    std::string dir = qxt::makeTempDir("hotkey");
    standin::Running ht, front;
    ASSERT_TRUE(standin::start("--role hometheater", dir + "\\ht.log", &ht));
    ASSERT_TRUE(standin::start("--role winrip --stay", dir + "\\front.log", &front));
    SetForegroundWindow(front.window);
    ASSERT_TRUE(qxt::waitUntil([&] { return GetForegroundWindow() == front.window; }));
    size_t from = standin::lines(ht.log).size();
    HomeTheaterDriver::key15();
    expectLines(collect(ht, from, 1), {"HOTKEY main 1"});
    EXPECT_EQ(GetForegroundWindow(), front.window);
    homeTheaterTarget.active = 1;
    HomeTheaterDriver::close();
    EXPECT_EQ(homeTheaterTarget.active, 0);
    EXPECT_EQ(qxt::waitProcess(&ht.child, 5000), 0) << "Home Theater goes on its close hot key";
}

// A raise the system refuses: nothing is typed anywhere, and a close leaves the
// application running and the target.
TEST(Chords, RefusedRaiseTypesNothingAndKeepsTheTarget)
{
    qxt::MessageRecorder focus("QxFocusHolder5", "Focus Holder", true);
    std::string dir = qxt::makeTempDir("refused");
    raiseWindowCall = refuseRaise;
    for (const RaisingChord &c : raisingChords) {
        SCOPED_TRACE(c.args + std::string(" ") + (char)c.letter);
        standin::Running r;
        ASSERT_TRUE(standin::start(c.args, dir + "\\s.log", &r));
        SetForegroundWindow(focus.hwnd());
        ASSERT_TRUE(qxt::waitUntil([&] { return GetForegroundWindow() == focus.hwnd(); }));
        standin::sync(r.window, r.log);
        focus.clear();
        size_t from = standin::lines(r.log).size();
        c.target->active = 1;
        c.act();
        qxt::pumpMessages(200);
        EXPECT_TRUE(focus.received(WM_KEYDOWN).empty());
        EXPECT_TRUE(focus.received(WM_KEYUP).empty());
        EXPECT_TRUE(collect(r, from, 0).empty());
        EXPECT_EQ(c.target->active, 1);
        EXPECT_TRUE(IsWindow(r.window));
        standin::stop(&r);
    }
    raiseWindowCall = SetForegroundWindow;
}

namespace
{

struct PowerCase {
    const char *role;
    TvAppTarget *target;
    bool (*togglePower)();
    void (*close)();
    Lines closeSignal; // what the running application receives from close
};

const PowerCase powerCases[] = {
    {"powervcr", &powerVcrTarget, PowerVcrDriver::togglePower, PowerVcrDriver::close, ctrl('X')},
    {"honestech", &honestechTarget, HonestechDriver::togglePower, HonestechDriver::close, ctrl('X')},
    {"hometheater",
     &homeTheaterTarget,
     HomeTheaterDriver::togglePower,
     HomeTheaterDriver::close,
     {"HOTKEY main 2"}},
    {"tivra", &tivraTarget, TivraDriver::togglePower, TivraDriver::close, command(1)},
};

void reread(const char *role, TvAppTarget *t)
{
    const standin::RoleInstall *ri = standin::roleInstall(role);
    t->readInstallPath(ri->key, ri->value, ri->exe);
}

} // namespace

// Another window has the focus meanwhile.
TEST(Close, ClosesARunningApplicationAndDropsIt)
{
    std::string dir = qxt::makeTempDir("close");
    qxt::MessageRecorder focus("QxFocusHolder6", "Focus Holder", true);
    for (const PowerCase &c : powerCases) {
        SCOPED_TRACE(c.role);
        c.target->active = 1;
        c.close(); // nothing running: nothing changes
        EXPECT_EQ(c.target->active, 1);

        standin::Running r;
        ASSERT_TRUE(standin::start("--role " + std::string(c.role), dir + "\\s.log", &r));
        SetForegroundWindow(focus.hwnd());
        ASSERT_TRUE(qxt::waitUntil([&] { return GetForegroundWindow() == focus.hwnd(); }));
        size_t from = standin::lines(r.log).size();
        c.close();
        EXPECT_EQ(c.target->active, 0);
        ASSERT_EQ(qxt::waitProcess(&r.child, 5000), 0) << "the application obeyed its close signal";
        Lines got = arrived(r.log, from);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back(), "QUIT close-signal");
        got.pop_back();
        // The application goes at its close key: the key-ups find no window.
        size_t downs = c.closeSignal.size() == 1 ? 1 : c.closeSignal.size() / 2;
        expectLines(got, Lines(c.closeSignal.begin(), c.closeSignal.begin() + downs));
    }
}

// The power key: a running application is closed; otherwise it is launched from
// its install folder, and the caller is told to watch it.
TEST(TogglePower, LaunchesAndCloses)
{
    for (const PowerCase &c : powerCases) {
        SCOPED_TRACE(c.role);
        std::string dir = qxt::makeTempDir("power") + "\\With Blanks";
        ASSERT_TRUE(standin::install(c.role, dir));
        reread(c.role, c.target);
        ASSERT_EQ(c.target->installed, 1);

        EXPECT_TRUE(c.togglePower()) << "brought up: to be watched";
        EXPECT_EQ(c.target->active, 1);
        HWND w = standin::waitForMainWindow(standin::logOf(dir));
        ASSERT_NE(w, (HWND)NULL) << "started by WinExec";

        EXPECT_FALSE(c.togglePower()); // now running: closes it
        EXPECT_EQ(c.target->active, 0);
        ASSERT_TRUE(standin::waitForLine(standin::logOf(dir), "QUIT close-signal"));
        ASSERT_TRUE(qxt::waitUntil([&] { return !IsWindow(w); }));
    }
}

// Not installed: nothing starts and the target stays as it was; the caller still
// starts the watch, as after any launch attempt.
TEST(TogglePower, NotInstalledStartsNothing)
{
    for (const PowerCase &c : powerCases) {
        SCOPED_TRACE(c.role);
        c.target->readInstallPath("Software\\Qx\\Nothing Here", "None", "none.exe");
        for (int active : {0, 1}) {
            c.target->active = active;
            EXPECT_TRUE(c.togglePower());
            EXPECT_EQ(c.target->active, active);
        }
    }
}

TEST(TogglePower, TivraClosesWithoutRaisingAnything)
{
    qxt::MessageRecorder focus("QxFocusHolder3", "Focus Holder", true);
    standin::Running r;
    ASSERT_TRUE(standin::start("--role tivra --stay", qxt::makeTempDir("tivra") + "\\s.log", &r));
    SetForegroundWindow(focus.hwnd());
    size_t from = standin::lines(r.log).size();
    tivraTarget.active = 1;
    TivraDriver::togglePower();
    EXPECT_EQ(tivraTarget.active, 0);
    standin::sync(r.window, r.log);
    expectLines(collect(r, from, 1), command(1));
    EXPECT_EQ(GetForegroundWindow(), focus.hwnd());
    standin::stop(&r);
}

// Home Theater's key actions want the whole title, its close and raise the
// prefix: a longer title is raised by the power key, not closed.
TEST(HomeTheater, LongerTitleIsRaisedNotClosedNorSentKeys)
{
    std::string dir = qxt::makeTempDir("htlong");
    ASSERT_TRUE(standin::install("hometheater", dir + "\\Install"));
    reread("hometheater", &homeTheaterTarget);
    standin::Running r;
    ASSERT_TRUE(standin::start("--role hometheater --title \"Home Theater Deluxe\"", dir + "\\s.log", &r));
    qxt::MessageRecorder focus("QxFocusHolder4", "Focus Holder", true);
    SetForegroundWindow(focus.hwnd());
    size_t from = standin::lines(r.log).size();

    HomeTheaterDriver::handleKey(5);
    homeTheaterTarget.active = 1;
    HomeTheaterDriver::togglePower();
    EXPECT_EQ(GetForegroundWindow(), r.window) << "raised";
    EXPECT_EQ(homeTheaterTarget.active, 1) << "not closed";
    qxt::pumpMessages(100);
    standin::sync(r.window, r.log);
    EXPECT_TRUE(arrived(r.log, from).empty());
    EXPECT_FALSE(qxt::fileExists(standin::logOf(dir + "\\Install"))) << "no second copy started";

    HomeTheaterDriver::close(); // the prefix finds it
    EXPECT_EQ(homeTheaterTarget.active, 0);
    EXPECT_EQ(qxt::waitProcess(&r.child, 5000), 0);
}

TEST(WinDvd, CloseGoesToTheFirstChildOfTheExactTitle)
{
    std::string dir = qxt::makeTempDir("windvd");
    standin::Running childless;
    // A window titled like WinDVD but without a child: nothing to post to.
    ASSERT_TRUE(standin::start("--role winrip --stay --title \"InterVideo WinDVD 4\"", dir + "\\nochild.log",
                               &childless));
    winDvdTarget.active = 1;
    WinDvdDriver::close();
    EXPECT_EQ(winDvdTarget.active, 1);
    standin::stop(&childless);

    standin::Running r;
    ASSERT_TRUE(standin::start("--role windvd", dir + "\\s.log", &r));
    size_t from = standin::lines(r.log).size();
    WinDvdDriver::close();
    EXPECT_EQ(winDvdTarget.active, 0);
    EXPECT_EQ(qxt::waitProcess(&r.child, 5000), 0);
    Lines got = arrived(r.log, from);
    ASSERT_EQ(got.size(), 2u);
    expectLines({got[0]}, keyDown('X', 0x002D0001, "child"));
    EXPECT_EQ(got[1], "QUIT close-signal");
}

TEST(WinRip, CloseGoesToTheFirstTitleContainingWinRip)
{
    std::string dir = qxt::makeTempDir("winrip");
    standin::Running a, b;
    ASSERT_TRUE(standin::start("--role winrip --stay --title \"My WinRip One\"", dir + "\\a.log", &a));
    ASSERT_TRUE(standin::start("--role winrip --stay --title \"WinRip Two\"", dir + "\\b.log", &b));
    HWND first = NULL;
    for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w && !first; w = GetWindow(w, GW_HWNDNEXT))
        if (w == a.window || w == b.window)
            first = w;
    standin::Running &hit = first == a.window ? a : b, &missed = first == a.window ? b : a;
    size_t fromHit = standin::lines(hit.log).size(), fromMissed = standin::lines(missed.log).size();
    winRipTarget.active = 1;
    WinRipDriver::close();
    EXPECT_EQ(winRipTarget.active, 0);
    expectLines(collect(hit, fromHit, 1), keyDown('X', 0x002D0001));
    EXPECT_TRUE(collect(missed, fromMissed, 0).empty());
    standin::stop(&a);
    standin::stop(&b);
}

// findVideoWindowOwner looks one level down only; toggleMinimized switches each
// window on its own.
TEST(VideoWindow, OwnerIsTheTopLevelParentOfADirectChild)
{
    qxt::MessageRecorder topLevelVideo("QxVideoTop", "VideoWindow2", true);
    qxt::MessageRecorder grandparent("QxVideoGp", "Grandparent", true);
    HWND middle = CreateWindowExA(0, "STATIC", "Middle", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                                  grandparent.hwnd(), NULL, NULL, NULL);
    CreateWindowExA(0, "STATIC", "VideoWindow2", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, middle, NULL, NULL, NULL);
    qxt::MessageRecorder lookalike("QxVideoLook", "Look", true);
    CreateWindowExA(0, "STATIC", "VideoWindow22", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, lookalike.hwnd(), NULL,
                    NULL, NULL);
    EXPECT_EQ(findVideoWindowOwner(), (HWND)NULL);

    standin::Running r;
    ASSERT_TRUE(standin::start("--role honestech --stay --video", qxt::makeTempDir("video") + "\\s.log", &r));
    EXPECT_EQ(findVideoWindowOwner(), r.window);
    standin::stop(&r);
}

TEST(VideoWindow, ToggleMinimizedSwitchesEachWindowOnItsOwn)
{
    qxt::MessageRecorder main("QxMainWin", "Main", true);
    qxt::MessageRecorder owner("QxOwnerWin", "Owner", true);
    CreateWindowExA(0, "STATIC", "VideoWindow2", WS_CHILD | WS_VISIBLE, 0, 0, 5, 5, owner.hwnd(), NULL, NULL,
                    NULL);

    ShowWindow(main.hwnd(), SW_MINIMIZE);
    toggleMinimized(main.hwnd()); // they swap
    EXPECT_FALSE(IsIconic(main.hwnd()));
    EXPECT_TRUE(IsIconic(owner.hwnd()));
    toggleMinimized(NULL); // only the owner
    EXPECT_FALSE(IsIconic(owner.hwnd()));
    EXPECT_FALSE(IsIconic(main.hwnd()));
    toggleMinimized(owner.hwnd()); // the main window is the owner: switched twice
    EXPECT_FALSE(IsIconic(owner.hwnd()));
}

TEST(VideoWindow, MinimiseKeySwitchesTheOwnerEvenWithoutTheApplication)
{
    standin::Running r;
    ASSERT_TRUE(standin::start("--role tivra --stay --video", qxt::makeTempDir("minkey") + "\\s.log", &r));
    PowerVcrDriver::handleKey(24);
    EXPECT_TRUE(qxt::waitUntil([&] { return IsIconic(r.window) != 0; }));
    HonestechDriver::handleKey(24);
    EXPECT_TRUE(qxt::waitUntil([&] { return !IsIconic(r.window); }));
    standin::stop(&r);
}
