// The uninstaller's text rules: counts, safe names, key names cut from hardware
// IDs, file paths and the final message.
#include <gtest/gtest.h>

#include <string>

#include "drvsweep.h"

TEST(Rules, HexCountsStopAtTheFirstNonDigitAndAreBounded)
{
    struct {
        const char *text;
        int value, bounded;
    } cases[] = {
        {"", 0, 0},      {"9", 9, 9},
        {"10", 16, 15},  {"0F", 15, 15},
        {"ff", 255, 15}, {"1Z3", 1, 1},
        {"Z", 0, 0},     {" 3", 0, 0},
        {"-2", 0, 0},    {"FFFFFFFFFFFFFFFFFFFFFFFF", 0x7FFFFFFF, 15},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ParseHexCount(c.text), c.value) << c.text;
        EXPECT_EQ(BoundCount(ParseHexCount(c.text)), c.bounded) << c.text;
    }
    EXPECT_EQ(CountryCodeFromText("886"), 886);
    EXPECT_EQ(CountryCodeFromText("1234567"), 12345);
    EXPECT_EQ(CountryCodeFromText("49x"), 49);
}

// These tests run on code page 932 (LC_ALL=ja_JP.UTF-8 for Wine): "\x83\x5C" is
// katakana so, whose trail byte is a backslash, "\x83\x41" katakana a, whose trail
// byte is a capital A, and "\x83\x61" katakana di.
TEST(Rules, TheyRunOnADoubleByteCodePage)
{
    ASSERT_EQ(GetACP(), 932u);
}

TEST(Rules, OnlyPlainNamesReachADeleteCall)
{
    struct {
        const char *name;
        bool plain;
    } cases[] = {
        {"qxcap.sys", true},
        {"OEM12.INF", true},
        {"", false},
        {"..", false},
        {"..\\win.ini", false},
        {"a/b", false},
        {"C:x.sys", false},
        {"sub\\key", false},
        {"qx\x83\x5C.sys", true},
        {"\x83\x5C\\x.sys", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsPlainName(c.name), c.plain) << c.name;
}

TEST(Rules, HardwareIdEntriesNameBusVendorAndDevice)
{
    struct {
        const char *entry;
        bool specific;
    } cases[] = {
        {"P", false},
        {"PCI\\", false},
        {"PCI\\VEN_14F1", false},
        {"PCI\\VEN_14F1&DEV_", false},
        {"PCI\\VEN_14F1&DEV_8", false}, // a sixteenth of the vendor's devices
        {"PCI\\VEN_8086&DEV_2", false},
        {"PCI\\VEN_14F1&DEV_88", false},
        {"pci\\ven_14f1&dev_880", true}, // a chip's functions 8800-880F
        {"PCI\\VEN_14G1&DEV_8800", false},
        {"PCI\\CC_0400", false},
        {"USB\\VID_1B80", false},
        {"USB\\VID_1B80&PID_D", false},
        {"USB\\VID_1B80&PID_D41", true},
        {"STREAM\\CXTVTUNER", true},
        {"STREAM\\CX", false},
        {"HID\\VID_046D&PID_", false},
        {"HID\\VID_046D&PID_C52B", true},
        {"ACPI\\PNP0303", true},
        {"ACPI\\PNP0C", false}, // one character short of the least identity
        {"ACPI\\PNP0C0", true}, // the least identity, exactly
        {"X\\ABCDEFGH", false},
        {"ROOT\\MEDIA\\0000", false},
        {"ROOT\\\x83\x5C\x83\x5C", false}, // two characters, four bytes
    };
    for (const auto &c : cases) {
        EXPECT_EQ(IsSpecificHardwareId(c.entry), c.specific) << c.entry;
        EXPECT_EQ(HardwareIdMatches("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000", c.entry),
                  c.specific && _strnicmp(c.entry, "PCI\\VEN_14F1&DEV_8", 18) == 0)
            << c.entry;
    }
    // Beyond PCI and USB a prefix is no proof: the entry is the whole ID, or the
    // ID up to its reference string.
    struct {
        const char *id, *entry;
        bool matches;
    } buses[] = {
        {"HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662&SUBSYS_1043", "HDAUDIO\\FUNC_01", false},
        {"ACPI\\PNP0C0D", "ACPI\\PNP0C0", false},
        {"ACPI\\PNP0C0D", "acpi\\pnp0c0d", true},
        {"STREAM\\CXTVTUNER#0001", "STREAM\\CXTVTUNER", true},
        {"STREAM\\CXTVTUNER2#0001", "STREAM\\CXTVTUNER", false},
        {"PCI\\VEN_14F1&DEV_8801&REV_05", "PCI\\VEN_14F1&DEV_880", true},
        {"USB\\VID_1B80&PID_D410&REV_0100", "USB\\VID_1B80&PID_D410", true},
    };
    for (const auto &b : buses)
        EXPECT_EQ(HardwareIdMatches(b.id, b.entry), b.matches) << b.id << " / " << b.entry;
}

// A device matched by its ID is the package's only when its driver key's
// description or its service says so; a too-broad entry takes part in nothing.
TEST(Rules, DevicesShowTheyAreThePackagesByDriverOrService)
{
    static UninstallConfig cfg = {};
    cfg.serviceCount = 1;
    strcpy(cfg.services[0], "qxcap");
    DriverEntry entry = {"PCI\\VEN_14F1&DEV_8800", "QX770 Capture", "qxcap.sys", ""};
    struct {
        const char *id, *desc, *service;
        bool refused; // the service cannot go: Windows' own, or others depend on it
        bool owned;
    } cases[] = {
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "QX770 Capture", "", false, true},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "qx770 capture (WDM)", "", false, true},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "", "QXCAP", false, true},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "QX770 Captures", "other", false, false},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "Other Capture", "", false, false},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "", "", false, false},
        {"PCI\\VEN_14F1&DEV_8900&REV_05", "QX770 Capture", "qxcap", false, false},
        // The INI's service name cannot vouch against the device's driver key,
        // nor when the service cannot go.
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "Other Capture", "qxcap", false, false},
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "", "qxcap", true, false},
    };
    for (const auto &c : cases) {
        DeviceEvidence e = {};
        strcpy(e.driverDesc, c.desc);
        strcpy(e.service, c.service);
        e.serviceRefused = c.refused;
        EXPECT_EQ(DeviceOfEntry(c.id, e, entry, cfg), c.owned)
            << c.id << " / " << c.desc << " / " << c.service;
    }
    DriverEntry files = {"", "Files only", "qxf.sys", ""}, broad = {"PCI\\VEN_14F1", "QX770", "qx.sys", ""};
    EXPECT_TRUE(EntryTakesPart(entry));
    EXPECT_TRUE(EntryTakesPart(files));
    EXPECT_FALSE(EntryTakesPart(broad));
}

TEST(Rules, DescriptionsCoverWholeWordsAndOnlyOemInfsAreTaken)
{
    struct {
        const char *description, *entry;
        bool covers;
    } cases[] = {
        {"Bar Capture (WDM)", "Bar Capture", true},
        {"bar capture", "Bar Capture", true},
        {"Bar Capture", "B", false},
        {"Bar Captures", "Bar Capture", false},
        {"Conexant 2388x Video Capture", "C", false},
        {"QX770 Capture", "QX", false},
        {"Media Capture", "Media", true},
        {"Capture\x83\x41", "Capture", false}, // a double-byte letter goes on with the word
        {"\x83\x61 Capture", "\x83\x41", false},
        {"\x83\x41 Capture", "\x83\x41", true},
        {"", "", false},
        {"QX770 Audio", "", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DescriptionCovers(c.description, c.entry), c.covers) << c.description << " / " << c.entry;

    for (const char *oem : {"oem12.inf", "OEM7.INF", "Oem0.Inf"})
        EXPECT_TRUE(IsOemInfName(oem)) << oem;
    for (const char *other : {"oem.inf", "oem12.pnf", "machine.inf", "oem12.inf.bak", "..\\oem1.inf",
                              "oem1a.inf", "xoem1.inf", ""})
        EXPECT_FALSE(IsOemInfName(other)) << other;
}

// A lead byte at the very end of a text has no trail byte: every walk stops at
// the terminator, and what lies beyond it in the buffer is never read or changed.
TEST(Rules, ALoneLeadByteAtTheEndStopsAtTheTerminator)
{
    struct {
        const char *text; // the text, its NUL, then bytes that must stay out of reach
        size_t length;
    } cases[] = {
        {"ab\x83\0\\x", 3},
        {"\x83\0\\x", 1},
        {"QX\x83\x41\x83\0\\x", 5},
    };
    for (const auto &c : cases) {
        char text[16] = {};
        memcpy(text, c.text, c.length + 3);
        EXPECT_EQ(CharBoundaryAtOrBefore(text, 15), c.length) << c.text;
        EXPECT_EQ(FindChar(text, '\\'), nullptr) << c.text;
        EXPECT_TRUE(BeginsWithNoCase(text, text, NULL)) << c.text;
        EXPECT_FALSE(EqualsNoCase(text, "ab\x83\\")) << c.text;
        char copy[16];
        EXPECT_TRUE(CopyText(copy, sizeof copy, text)) << c.text;
        EXPECT_EQ(strlen(copy), c.length) << c.text;
        char appended[16] = "x";
        EXPECT_TRUE(AppendText(appended, sizeof appended, text));
        EXPECT_EQ(strlen(appended), c.length + 1) << c.text;
        text[c.length + 2] = 'X';
        LowerText(text);
        EXPECT_EQ(text[c.length + 2], 'X') << "lowered past the terminator: " << c.text;
        char name[ENTRY_TEXT];
        CutKeyName(text, "\\", '#', name, sizeof name);
        EXPECT_STREQ(name, "") << c.text;
    }
}

TEST(Rules, CaseIsFoldedByCharacterNeverInATrailByte)
{
    char path[] = "C:\\WINDOWS\\QX\x83\x41\x83\x5C.SYS";
    LowerText(path);
    EXPECT_STREQ(path, "c:\\windows\\qx\x83\x41\x83\x5C.sys");
    EXPECT_TRUE(EqualsNoCase("QX\x83\x41.SYS", "qx\x83\x41.sys"));
    EXPECT_FALSE(EqualsNoCase("qx\x83\x41.sys", "qx\x83\x61.sys"));
    const char *so = "\x83\x5C\\";
    EXPECT_EQ(FindChar(so, '\\'), so + 2); // a trail byte is no backslash
    // A bounded copy never keeps half a character.
    char cut[4];
    EXPECT_FALSE(CopyText(cut, sizeof cut, "ab\x83\x41"));
    EXPECT_STREQ(cut, "ab");
}

TEST(Rules, KeyNamesCutFromHardwareIds)
{
    struct {
        const char *id, *set;
        char stop;
        const char *key;
    } cases[] = {
        {"PCI\\VEN_14F1&DEV_8800&REV_05", "VEN", '\0', "VEN_14F1&DEV_8800&REV_05"},
        {"pci\\ven_14f1&dev_8800", "VEN", '\0', "ven_14f1&dev_8800"},
        {"USB\\VID_1B80&PID_D410", "VID", '\0', "VID_1B80&PID_D410"},
        {"STREAM\\CXTVTUNER#0001", "CX", '#', "CXTVTUNER"},
        {"ACPI\\PNP0303", "VEN", '\0', "NP0303"}, // the first character of the set, not the word
        {"1234", "VEN", '\0', ""},
        // Trail bytes 0x43 ("C") and 0x56 ("V") are no characters of the set.
        {"STREAM\\\x83\x43"
         "AB_CX#1",
         "CX", '#', "CX"},
        {"PCI\\\x83\x56"
         "EN_1",
         "VEN", '\0', "EN_1"},
    };
    for (const auto &c : cases) {
        char out[ENTRY_TEXT];
        CutKeyName(c.id, c.set, c.stop, out, sizeof out);
        EXPECT_STREQ(out, c.key) << c.id;
    }
    std::string longId = "PCI\\V" + std::string(300, 'x');
    char out[ENTRY_TEXT];
    CutKeyName(longId.c_str(), "VEN", '\0', out, sizeof out);
    EXPECT_EQ(strlen(out), sizeof out - 1);

    char list[KEY_LIST_CAPACITY][ENTRY_TEXT];
    int count = 0;
    EXPECT_FALSE(AddKeyName(list, &count, ""));
    EXPECT_FALSE(AddKeyName(list, &count, "VEN\\..\\x"));
    for (int i = 0; i < KEY_LIST_CAPACITY; i++)
        EXPECT_TRUE(AddKeyName(list, &count, "VEN_1"));
    EXPECT_FALSE(AddKeyName(list, &count, "VEN_2"));
    EXPECT_EQ(count, KEY_LIST_CAPACITY);
}

TEST(Rules, FilePathsStayInsideTheirFolderAndBuffer)
{
    char dir[DIR_TEXT], path[PATH_TEXT];
    EXPECT_TRUE(FormDirectory("C:\\windows", "\\system32\\drivers\\", dir));
    EXPECT_STREQ(dir, "C:\\windows\\system32\\drivers\\");
    std::string longDir = "C:\\" + std::string(80, 'w');
    EXPECT_FALSE(FormDirectory(longDir.c_str(), "\\system32\\drivers\\", dir));
    EXPECT_STREQ(dir, "");

    EXPECT_TRUE(FormFilePath("c:\\windows\\inf\\", "OEM12.INF", path));
    EXPECT_STREQ(path, "c:\\windows\\inf\\OEM12.INF");
    EXPECT_FALSE(FormFilePath("c:\\windows\\inf\\", "..\\win.ini", path));
    EXPECT_FALSE(FormFilePath("c:\\windows\\inf\\", "", path));

    EXPECT_TRUE(PnfPathFromInfPath("c:\\windows\\inf\\", "OEM12.INF", path));
    EXPECT_STREQ(path, "c:\\windows\\inf\\OEM12.pnf");
    EXPECT_TRUE(PnfPathFromInfPath("c:\\windows\\inf\\", "qx.cap.inf", path));
    EXPECT_STREQ(path, "c:\\windows\\inf\\qx.pnf");

    char nine[PATH_TEXT] = "C:\\WINDOWS\\INF\\Driver.INF";
    ReplaceInfWithPnf(nine);
    EXPECT_STREQ(nine, "c:\\windows\\inf\\driver.pnf");
}

TEST(Rules, FinalMessageIsHonestAboutWhatRemains)
{
    UninstallConfig cfg = {};
    strcpy(cfg.passMsg, "Removed.");
    strcpy(cfg.passMsg2, "Reboot.");
    char text[1600];
    Remains none = {};
    EXPECT_EQ(ComposeFinalMessage(cfg, none, none, none, true, text, sizeof text), (UINT)MB_ICONINFORMATION);
    EXPECT_STREQ(text, "Removed.\n\nReboot.");
    // Files in use go at the next start: the package is gone only then.
    Remains atRestart = {};
    NoteRemaining(&atRestart, "c:\\windows\\system32\\drivers\\qx.sys");
    EXPECT_EQ(ComposeFinalMessage(cfg, none, none, atRestart, true, text, sizeof text),
              (UINT)MB_ICONINFORMATION);
    EXPECT_STREQ(text, "The uninstallation is complete after a restart. These files are in use and will be "
                       "removed when Windows restarts:\n\nc:\\windows\\system32\\drivers\\qx.sys\n\nReboot.");

    Remains some = {};
    for (int i = 0; i < 8; i++)
        NoteRemaining(&some, ("file" + std::to_string(i)).c_str());
    NoteRemaining(&some, "file0"); // met again by a second pass
    EXPECT_EQ(some.count, 8);
    EXPECT_EQ(ComposeFinalMessage(cfg, some, none, none, true, text, sizeof text), (UINT)MB_ICONWARNING);
    EXPECT_STREQ(text, "The uninstallation is not complete. These items could not be removed:\n"
                       "\nfile0\nfile1\nfile2\nfile3\nfile4\nfile5\n... and 2 more.\n\nReboot.");

    Remains leftAlone = {};
    NoteRemaining(&leftAlone, "ExtDevDrvID0=P (too broad to act on)");
    EXPECT_EQ(ComposeFinalMessage(cfg, none, leftAlone, atRestart, true, text, sizeof text),
              (UINT)MB_ICONWARNING);
    EXPECT_STREQ(text, "The uninstallation is not complete. These were left alone:\n"
                       "\nExtDevDrvID0=P (too broad to act on)\n\nThese files are in use and will be "
                       "removed when Windows restarts:\n\nc:\\windows\\system32\\drivers\\qx.sys\n\nReboot.");
    // A run that changed nothing has nothing to restart for.
    ComposeFinalMessage(cfg, none, leftAlone, none, false, text, sizeof text);
    EXPECT_STREQ(text, "The uninstallation is not complete. These were left alone:\n"
                       "\nExtDevDrvID0=P (too broad to act on)");

    // A run that stops says why, and nothing about restarting.
    cfg.deviceCount = 2;
    ComposeStopMessage(cfg, 4, none, text, sizeof text);
    EXPECT_STREQ(text, "Nothing was removed: the devices present do not match those TVQ7Drv.ini names "
                       "(found 4, expected 2).");
}

// Windows 9x deletes a file in use at its next start when WININIT.INI's [rename]
// section names it as NUL=path; the section may hold many such lines.
TEST(Rules, WininitGainsOneRenameLinePerFile)
{
    struct {
        const char *before, *after;
    } cases[] = {
        {"", "[rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\QX.SYS\r\n"},
        {"[other]\r\nA=1", "[other]\r\nA=1\r\n[rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\QX.SYS\r\n"},
        {"[Rename]\r\nNUL=C:\\A.SYS\r\n[x]\r\n",
         "[Rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\QX.SYS\r\nNUL=C:\\A.SYS\r\n[x]\r\n"},
        {"[x]\r\n [rename]", "[x]\r\n [rename]\r\nNUL=C:\\WINDOWS\\SYSTEM\\QX.SYS\r\n"},
    };
    for (const auto &c : cases) {
        char out[256];
        EXPECT_TRUE(AddWininitDeletion(c.before, "C:\\WINDOWS\\SYSTEM\\QX.SYS", out, sizeof out));
        EXPECT_STREQ(out, c.after) << c.before;
    }
    char small[20];
    EXPECT_FALSE(AddWininitDeletion("[rename]\r\n", "C:\\WINDOWS\\SYSTEM\\QX.SYS", small, sizeof small));
    EXPECT_STREQ(small, "");
}

// Who may start: not the 32-bit program on 64-bit Windows, not an account
// without administrator rights on the NT family (Windows 9x has no such rights).
TEST(Rules, StartIsRefusedUnderWow64AndWithoutAdministratorRights)
{
    struct {
        bool wow64, windows9x, administrator;
        const char *refusal; // the start of the text, or NULL
    } cases[] = {
        {false, false, true, NULL},
        {false, true, false, NULL},
        {true, false, true, "This is the 32-bit drvsweep"},
        {true, false, false, "This is the 32-bit drvsweep"},
        {false, false, false, "Removing the drivers needs administrator rights"},
    };
    for (const auto &c : cases) {
        const char *text = StartRefusal(c.wow64, c.windows9x, c.administrator);
        if (!c.refusal) {
            EXPECT_EQ(text, nullptr) << c.wow64 << c.windows9x << c.administrator;
        } else {
            ASSERT_NE(text, nullptr) << c.wow64 << c.windows9x << c.administrator;
            EXPECT_EQ(strncmp(text, c.refusal, strlen(c.refusal)), 0) << text;
            EXPECT_NE(strstr(text, "Nothing was changed."), nullptr) << text;
        }
    }
}

// The administrator check asks for BUILTIN\Administrators, and a membership call
// that fails is no answer. Wine runs every program as an administrator: the
// membership call is replaced.
TEST(Rules, AdministratorMeansMemberOfTheAdministratorsGroup)
{
    static BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, admins, &size));
    // 0: a member of the Administrators alone, 1: of every other group, 2: the
    // call fails (and says "member").
    static int account;
    MembershipCheckFn real = MembershipCheckCall;
    MembershipCheckCall = [](HANDLE, PSID sid, PBOOL member) WINAPI -> BOOL {
        *member = (account == 1) != (EqualSid(sid, admins) != FALSE);
        return account != 2;
    };
    for (account = 0; account < 3; account++)
        EXPECT_EQ(AdminQuery(), account == 0) << account;
    MembershipCheckCall = real;
}

// Service images and filter lists as the registry holds them.
TEST(Rules, ServiceImagesAndFilterLists)
{
    struct {
        const char *imagePath, *file;
    } images[] = {
        {"System32\\DRIVERS\\qxcap.sys", "qxcap.sys"},
        {"\\SystemRoot\\system32\\drivers\\ks.sys", "ks.sys"},
        {"\"C:\\Program Files\\QX770\\qxsvc.exe\" -service", "qxsvc.exe"},
        {"C:\\Program Files\\QX770\\qxsvc.exe -k run", "qxsvc.exe"},
        {"%SystemRoot%\\system32\\svchost.exe -k netsvcs", "svchost.exe"},
    };
    for (const auto &i : images) {
        char file[ENTRY_TEXT];
        ImageFileName(i.imagePath, file, sizeof file);
        EXPECT_STREQ(file, i.file) << i.imagePath;
    }
    struct {
        const char *list; // names, each ended by a NUL, then the list's own NUL
        DWORD size;
        const char *after;
        DWORD afterSize;
    } lists[] = {
        {"ksthunk\0QXFILT\0other\0", 22, "ksthunk\0other\0", 15},
        {"qxfilt\0", 8, "", 1},
        {"qxfilter\0", 10, NULL, 0}, // a longer name is another filter
        {"qxfilt", 6, "", 1},        // stored without its terminators
    };
    for (const auto &l : lists) {
        char buf[64] = {};
        memcpy(buf, l.list, l.size);
        DWORD size = l.size;
        EXPECT_EQ(RemoveFromNameList(buf, &size, "qxfilt"), l.after != NULL) << l.list;
        if (l.after) {
            EXPECT_EQ(size, l.afterSize) << l.list;
            EXPECT_EQ(memcmp(buf, l.after, l.afterSize), 0) << l.list;
        }
    }
}
