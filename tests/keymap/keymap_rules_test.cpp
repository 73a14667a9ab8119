// The key map's pure rules: the parser with its problems and encodings, the route
// of a press, the pace of a held key, the criteria, and the file watch.
#include <gtest/gtest.h>

#include "keymap/keymap.h"
#include "qxtest.h"

#include <string>

namespace
{

Keymap Map;

const Keymap &parse(const std::string &text)
{
    parseKeymap(text.data(), text.size(), &Map);
    return Map;
}

std::string problems(const Keymap &m)
{
    std::string all;
    for (int i = 0; i < m.problemCount && i < KEYMAP_PROBLEM_LIMIT; ++i)
        all += std::to_string(m.problems[i].line) + ": " + m.problems[i].text + "\n";
    return all;
}

const KeymapSection *section(const Keymap &m, const char *name)
{
    for (int i = 0; i < m.sectionCount; ++i)
        if (namesEqual(m.sections[i].name, name))
            return &m.sections[i];
    return nullptr;
}

} // namespace

TEST(KeymapParser, NamesEachBadLineAndKeepsTheGoodOnes)
{
    struct Case {
        const char *line;
        const char *problem; // what line 4 is said to be; "" for a good line
    } cases[] = {
        {"KEY_PLAY = media STOP", "\"KEY_PLAY\" is not a key of this remote"},
        {"KEY_POWER = none", "\"KEY_POWER\" keeps its meaning"},
        {"15 = none", "\"15\" keeps its meaning"},
        {"32 = none", "\"32\" is not a key"},
        {"KEY_STOP = jump", "\"jump\" is not an action"},
        {"KEY_STOP = keys Ctrl+Hyper+F", "is not a key chord"},
        {"KEY_STOP = keys Ctrl+Alt+Shift+Ctrl+F", "is not a key chord"},
        {"KEY_STOP = appcommand PLAY_FASTER", "is not an APPCOMMAND name"},
        {"KEY_STOP = command 70000", "is not a command number"},
        {"KEY_STOP = media LOUDER", "is not a media key"},
        {"KEY_STOP = launch notepad.exe", "is not a program to launch"},
        {"KEY_STOP = pointer sideways", "is not a pointer action"},
        {"KEY_STOP = none extra", "is not an action of none"},
        {"KEY_STOP = media STOP | repeat", "is not a repeat"},
        {"KEY_STOP = media STOP | repeat 2 repeat 3", "is not a repeat"},
        {"KEY_STOP = media STOP | faster 2", "is not a repeat"},
        {"KEY_MUTE = none", "\"KEY_MUTE\" is bound a second time in [P]"},
        {"exe = other.exe", "\"exe\" is given a second time in [P]"},
        {"match = sometimes", "\"sometimes\" is not a match"},
        {"just words", "is not a \"name = value\" line"},
        {"key_stop = Media stop | delay 2 repeat 3", ""},
        {"  ; a comment", ""},
        {"KEY_STOP = launch \"C:\\a|b.exe\" -x | repeat 0", ""},
    };
    for (const Case &c : cases) {
        std::string text =
            std::string("[P]\nexe = p.exe\nKEY_MUTE = media MUTE\n") + c.line + "\nKEY_ENTER = none\n";
        const Keymap &m = parse(text);
        ASSERT_EQ(m.sectionCount, 1) << c.line;
        // The good lines around the bad one apply all the same.
        EXPECT_EQ(bindingOf(m.sections[0], 29)->action.kind, ACTION_MEDIA) << c.line;
        EXPECT_NE(bindingOf(m.sections[0], 21), nullptr) << c.line;
        if (c.problem[0] == '\0') {
            EXPECT_EQ(m.problemCount, 0) << c.line << "\n" << problems(m);
        } else {
            ASSERT_GE(m.problemCount, 1) << c.line;
            EXPECT_EQ(m.problems[0].line, 4) << c.line;
            EXPECT_NE(std::string(m.problems[0].text).find(c.problem), std::string::npos)
                << c.line << " gave: " << m.problems[0].text;
        }
    }
}

TEST(KeymapParser, SkipsWholeSectionsThatCouldReachTheWrongProgram)
{
    const Keymap &m = parse("KEY_STOP = none\n"                       // 1: before any section
                            "[Broken\nexe = b.exe\nKEY_STOP = none\n" // 2: bad header, its lines skipped
                            "[NoCriteria]\nKEY_STOP = none\n"         // 5: no exe, class or title
                            "[Good]\nclass = G*\nKEY_STOP = none\n"   // 7
                            "[good]\nexe = g.exe\n"                   // 10: a second [Good]
                            "[Default]\nKEY_STOP = media STOP\nexe = d.exe\n" // 12, 14: criteria not used
                            "[PowerVCR II]\nKEY_0 = none\n"                   // 15
                            "[Cut]\nexe = c.exe\ntitle = " +
                            std::string(200, 'x') +
                            "\n"                                             // 17, 19
                            "[Empty]\nclass = E\nexe =\nKEY_STOP = none\n"); // 20, 22
    EXPECT_EQ(problems(m), "1: \"KEY_STOP = none\" stands before any [section]\n"
                           "2: \"[Broken\" is not a section header: the section is skipped\n"
                           "5: [NoCriteria] names no exe, class or title: the section is skipped\n"
                           "10: [good] appears a second time: the second one is skipped\n"
                           "14: [Default] is found by its name: \"exe\" is not used\n"
                           "19: the value of \"title\" is too long: the section is skipped\n"
                           "22: \"exe\" is given no value: the section is skipped\n");
    ASSERT_EQ(m.sectionCount, 3);
    EXPECT_EQ(section(m, "Good")->kind, SECTION_PROGRAM);
    EXPECT_EQ(section(m, "Default")->kind, SECTION_DEFAULT);
    EXPECT_EQ(section(m, "PowerVCR II")->kind, SECTION_OVERLAY);
}

TEST(KeymapParser, NamesWhatLiesBeyondItsBounds)
{
    std::string many;
    for (int i = 0; i < 65; ++i)
        many += "[S" + std::to_string(i) + "]\nexe = s.exe\n";
    const Keymap &sections = parse(many);
    EXPECT_EQ(sections.sectionCount, 64);
    EXPECT_EQ(problems(sections),
              "129: more than 64 sections: [S64] and the sections after it are skipped\n");

    std::string keys = "[P]\nexe = p.exe\n";
    for (int code = 0; code < 32; ++code)
        keys += std::to_string(code) + " = none\n";
    keys += "[Q]\nexe = q.exe\n";
    for (int i = 0; i < 40; ++i)
        keys += "33 = none\n"; // 40 problems: 8 kept, all counted
    const Keymap &bindings = parse(keys);
    EXPECT_EQ(bindings.sections[0].bindingCount, 30); // 15 and 18 are named, not bound
    EXPECT_EQ(bindings.problemCount, 42);
    EXPECT_EQ(bindings.problems[7].line, 42);

    std::string big = "[P]\nexe = p.exe\n";
    while (big.size() < (size_t)KEYMAP_FILE_LIMIT + 100)
        big += "; filler filler filler filler filler filler filler filler\n";
    const Keymap &large = parse(big + "KEY_STOP = none\n");
    ASSERT_EQ(large.problemCount, 1);
    EXPECT_NE(std::string(large.problems[0].text).find("larger than 64 KB"), std::string::npos);
    EXPECT_EQ(large.sections[0].bindingCount, 0);
}

TEST(KeymapParser, ReadsEachEncoding)
{
    // "Caf\u00e9" in the program's code page (1252 here) from each encoding.
    const std::string ansi = "[P]\r\ntitle = Caf\xe9*\r\nKEY_STOP = launch \"C:\\Caf\xe9.exe\"\r\n";
    const std::string utf8 = "[P]\r\ntitle = Caf\xc3\xa9*\r\nKEY_STOP = launch \"C:\\Caf\xc3\xa9.exe\"\r\n";
    std::string utf16 = "\xff\xfe";
    for (char c : ansi) {
        utf16 += c == '\xe9' ? '\xe9' : c;
        utf16 += '\0';
    }
    for (const std::string &text : {ansi, utf8, "\xef\xbb\xbf" + utf8, utf16}) {
        const Keymap &m = parse(text);
        ASSERT_EQ(m.sectionCount, 1) << problems(m);
        EXPECT_STREQ(m.sections[0].title, "Caf\xe9*");
        EXPECT_STREQ(launchCommandOf(m, m.sections[0].bindings[0].action), "\"C:\\Caf\xe9.exe\"");
    }
}

TEST(KeymapParser, ReadsActionsAndTheirPace)
{
    const Keymap &m = parse("[P]\nexe = p.exe\n"
                            "KEY_1 = keys Ctrl+Shift+F\nKEY_2 = keys Ctrl++\nKEY_3 = appcommand PLAY_PAUSE\n"
                            "KEY_4 = appcommand APPCOMMAND_VOLUME_UP\nKEY_6 = command 889\n"
                            "KEY_7 = pointer click\nKEY_8 = pointer down\nKEY_9 = launch \"a.exe\"\n");
    ASSERT_EQ(m.problemCount, 0) << problems(m);
    const KeymapSection &s = m.sections[0];
    const KeymapAction &chord = bindingOf(s, 1)->action;
    EXPECT_EQ(chord.modifierCount, 2);
    EXPECT_EQ(chord.modifiers[1], VK_SHIFT);
    EXPECT_EQ(chord.key, 'F');
    EXPECT_EQ(bindingOf(s, 2)->action.key, VK_OEM_PLUS);
    struct Expect {
        int code, value, every;
    } expected[] = {{3, 14, 0}, {4, 10, 10}, {6, 889, 10}, {7, 0, 0}, {8, 8, 1}, {9, 0, 0}};
    for (const Expect &e : expected) {
        EXPECT_EQ(bindingOf(s, e.code)->action.value, e.value) << e.code;
        EXPECT_EQ(bindingOf(s, e.code)->pace.every, e.every) << e.code;
    }
}

TEST(KeymapParser, ShippedFileParsesClean)
{
    std::string text;
    ASSERT_TRUE(qxt::readFile(std::string("Z:") + QX_SHIPPED_KEYMAP, &text));
    const Keymap &m = parse(text);
    EXPECT_EQ(m.problemCount, 0) << problems(m);
    for (const char *player : {"VLC", "MPC-HC", "MPC-BE", "Windows Media Player", "Kodi", "PotPlayer"}) {
        const KeymapSection *s = section(m, player);
        ASSERT_NE(s, nullptr) << player;
        EXPECT_GT(s->bindingCount, 5) << player;
    }
    EXPECT_TRUE(sectionMatches(*section(m, "MPC-HC"), {"mpc-hc64.exe", "", ""}));
}

TEST(KeymapRoute, DecidesEachPressInOrder)
{
    static const KeymapBinding some = {22, 1, {}, {10, 0}};
    const BindingFact none = {true, nullptr}, bound = {true, &some}, unknown = {false, nullptr};
    struct Case {
        int code;
        bool prompt, target;
        const KeymapBinding *overlay;
        BindingFact foreground, running;
        int probe;
        const KeymapBinding *fallback;
        bool media, clients;
        RouteStep step;
    } cases[] = {
        {22, true, false, nullptr, bound, bound, 1, &some, true, false, ROUTE_PROMPT},
        {18, false, false, nullptr, unknown, unknown, -1, &some, true, false, ROUTE_OWN},
        {22, false, true, &some, unknown, unknown, -1, nullptr, true, false, ROUTE_NEED_FOREGROUND},
        {22, false, true, &some, bound, unknown, -1, nullptr, true, false, ROUTE_FOREGROUND},
        {22, false, true, &some, none, unknown, -1, nullptr, true, false, ROUTE_OVERLAY},
        {22, false, true, nullptr, none, unknown, -1, &some, true, false, ROUTE_TARGET},
        {22, false, false, nullptr, none, unknown, -1, nullptr, true, false, ROUTE_NEED_RUNNING},
        {22, false, false, nullptr, none, bound, -1, nullptr, true, false, ROUTE_RUNNING},
        {22, false, false, nullptr, none, none, -1, nullptr, true, false, ROUTE_NEED_PROBE},
        {22, false, false, nullptr, none, none, 1, &some, true, false, ROUTE_PROBE},
        {22, false, false, nullptr, none, none, 0, &some, true, false, ROUTE_DEFAULT},
        {22, false, false, nullptr, none, none, 0, nullptr, true, false, ROUTE_MEDIA},
        {22, false, false, nullptr, none, none, 0, nullptr, false, false, ROUTE_POINTER},
        {22, false, false, nullptr, none, none, 0, nullptr, true, true, ROUTE_POINTER},
        {2, false, false, nullptr, none, none, 0, nullptr, true, false, ROUTE_POINTER},
    };
    for (const Case &c : cases) {
        RouteFacts f = {c.code,    c.prompt, c.target,   c.overlay, c.foreground,
                        c.running, c.probe,  c.fallback, c.media,   c.clients};
        EXPECT_EQ(chooseRoute(f), c.step) << "case " << (&c - cases);
    }
}

TEST(KeymapRoute, PaceAndCriteria)
{
    struct Pace {
        KeymapPace pace;
        const char *acts; // reads 0 to 11 of a press
    } paces[] = {{{0, 0}, "x..........."},
                 {{10, 0}, "x.........x."},
                 {{2, 3}, "x...x.x.x.x."},
                 {{1, 0}, "xxxxxxxxxxxx"}};
    for (const Pace &p : paces)
        for (int read = 0; read < 12; ++read)
            EXPECT_EQ(paceActs(p.pace, read), p.acts[read] == 'x') << p.acts << " read " << read;

    const Keymap &m = parse("[P]\nexe = vlc.exe, mpc-h?64.EXE\nclass = Qt*QWindow*\ntitle = *VLC*\n");
    ASSERT_EQ(m.sectionCount, 1);
    struct Window {
        WindowFacts facts;
        bool matches;
    } windows[] = {
        {{"VLC.exe", "Qt5QWindowIcon", "a - VLC media player"}, true},
        {{"mpc-hc64.exe", "Qt5QWindowIcon", "VLC"}, true},
        {{"", "Qt5QWindowIcon", "VLC"}, false}, // exe unknown: the criterion fails
        {{"vlc.exe", "QWidget", "VLC"}, false},
        {{"vlc.exe", "Qt5QWindowIcon", "Notepad"}, false},
        {{"vlc.exe.bak", "Qt5QWindowIcon", "VLC"}, false},
        {{nullptr, "Qt5QWindowIcon", "VLC"}, true}, // not looked up yet: class and title decide
    };
    for (const Window &w : windows)
        EXPECT_EQ(sectionMatches(m.sections[0], w.facts), w.matches) << w.facts.exe << " " << w.facts.title;
}

TEST(KeymapWatch, ReadsAfterTwoEqualChecksAndRetriesWhileLocked)
{
    FileWatch w = {};
    FileStamp a = {true, 10, {1, 0}}, b = {true, 12, {2, 0}};
    fileWatchRead(&w, a, true);
    w.seen = a;
    EXPECT_FALSE(fileWatchStep(&w, a)); // unchanged
    EXPECT_FALSE(fileWatchStep(&w, b)); // changed: waits for the next check
    EXPECT_TRUE(fileWatchDue(&w));      // ... which comes on the next tick
    EXPECT_TRUE(fileWatchStep(&w, b));
    fileWatchRead(&w, b, false); // locked: the change stays pending
    EXPECT_TRUE(fileWatchStep(&w, b));
    fileWatchRead(&w, b, true);
    EXPECT_FALSE(fileWatchStep(&w, b));
    int due = 0;
    for (int tick = 0; tick < 10; ++tick)
        due += fileWatchDue(&w);
    EXPECT_EQ(due, 5); // nothing pending: every other tick
}

TEST(KeymapWindows, TheProgramOfAWindowEitherWay)
{
    qxt::MessageRecorder owner("QxKeymapOwner", "Owner"), owned("QxKeymapOwned", "Owned");
    SetWindowLongPtrA(owned.hwnd(), GWLP_HWNDPARENT, (LONG_PTR)owner.hwnd());
    EXPECT_EQ(rootOwner(owned.hwnd()), owner.hwnd());
    char exe[64];
    exeOfWindow(owned.hwnd(), exe, sizeof exe);
    EXPECT_STRCASEEQ(exe, "keymap_rules_test.exe");
    // Toolhelp (98, ME, 2000 on) and psapi (NT 4.0) give the same name.
    for (auto way : {exeByToolhelp, exeByPsapi}) {
        ASSERT_TRUE(way(GetCurrentProcessId(), exe, sizeof exe));
        EXPECT_STRCASEEQ(exe, "keymap_rules_test.exe");
    }
}

TEST(KeymapFiles, UserFileFirstReadOnceSteadyAndKeptWhileLocked)
{
    std::string dir = qxt::makeTempDir("keymaps"), shipped = dir + "\\keymap.ini",
                user = dir + "\\u\\keymap.ini";
    ASSERT_TRUE(qxt::writeFile(shipped, "[VLC]\nexe = vlc.exe\n[Kodi]\nexe = kodi.exe\n"));
    ASSERT_TRUE(createUserKeymap(user.c_str()));
    // The examples of the new file's header parse clean once uncommented.
    std::string header, examples;
    ASSERT_TRUE(qxt::readFile(user, &header));
    examples = header.substr(header.find("; [My player]"));
    for (size_t at; (at = examples.find("; ")) != std::string::npos;)
        examples.erase(at, 2);
    EXPECT_EQ(parse(examples).problemCount, 0) << problems(Map);
    EXPECT_EQ(Map.sectionCount, 2);

    setKeymapPaths(shipped.c_str(), user.c_str());
    loadKeymaps();
    EXPECT_EQ(activeSectionCount(), 2);
    // Checks as the one-second timer makes them: a save is read by the third.
    auto checksToRead = [] {
        for (int tick = 1; tick <= 6; ++tick)
            if (checkKeymaps().read)
                return tick;
        return 0;
    };
    std::string bad = "[kodi]\nexe = kodi64.exe\n";
    for (int i = 0; i < 9; ++i)
        bad += "KEY_PLAY = none\n";
    ASSERT_TRUE(qxt::writeFile(user, bad));
    int ticks = checksToRead();
    EXPECT_TRUE(ticks >= 1 && ticks <= 3) << ticks;
    ASSERT_EQ(activeSectionCount(), 2); // the user's [kodi] hides the shipped [Kodi]
    EXPECT_STREQ(activeSection(0).exe, "kodi64.exe");
    char text[2000];
    keymapProblemsText(text, sizeof text);
    std::string told = text;
    EXPECT_EQ(told.rfind("keymap.ini line 3: \"KEY_PLAY\" is not a key of this remote\n", 0), 0u) << told;
    EXPECT_NE(told.find("keymap.ini line 10:"), std::string::npos) << told;
    EXPECT_NE(told.find("... and 1 more."), std::string::npos) << told;

    // Held open by the program saving it: the old map stays until it can be read.
    HANDLE saving = CreateFileA(user.c_str(), GENERIC_WRITE, 0, NULL, TRUNCATE_EXISTING, 0, NULL);
    ASSERT_NE(saving, INVALID_HANDLE_VALUE);
    DWORD written;
    WriteFile(saving, "[X]\nexe = x.exe\n", 16, &written, NULL);
    EXPECT_EQ(checksToRead(), 0);
    EXPECT_STREQ(activeSection(0).exe, "kodi64.exe");
    CloseHandle(saving);
    EXPECT_GT(checksToRead(), 0);
    EXPECT_EQ(activeSectionCount(), 3);
}
