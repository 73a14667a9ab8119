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
        {"PCI\\VEN_14F1&DEV_8", true},
        {"pci\\ven_14f1&dev_880", true},
        {"PCI\\VEN_14G1&DEV_8800", false},
        {"PCI\\CC_0400", false},
        {"USB\\VID_1B80", false},
        {"USB\\VID_1B80&PID_D", true},
        {"STREAM\\CXTVTUNER", true},
        {"STREAM\\CX", false},
        {"HID\\VID_046D&PID_", false},
        {"HID\\VID_046D&PID_C52B", true},
        {"ACPI\\PNP0303", true},
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
    EXPECT_EQ(ComposeFinalMessage(cfg, none, none, text, sizeof text), (UINT)MB_ICONINFORMATION);
    EXPECT_STREQ(text, "Removed.\n\nReboot.");

    Remains some = {};
    for (int i = 0; i < 8; i++)
        NoteRemaining(&some, ("file" + std::to_string(i)).c_str());
    NoteRemaining(&some, "file0"); // met again by a second pass
    EXPECT_EQ(some.count, 8);
    EXPECT_EQ(ComposeFinalMessage(cfg, some, none, text, sizeof text), (UINT)MB_ICONWARNING);
    EXPECT_STREQ(text, "The uninstallation is not complete. These items could not be removed:\n"
                       "\nfile0\nfile1\nfile2\nfile3\nfile4\nfile5\n... and 2 more.\n\nReboot.");

    Remains leftAlone = {};
    NoteRemaining(&leftAlone, "ExtDevDrvID0=P (too broad to act on)");
    EXPECT_EQ(ComposeFinalMessage(cfg, none, leftAlone, text, sizeof text), (UINT)MB_ICONWARNING);
    EXPECT_STREQ(text, "The uninstallation is not complete. These were left alone:\n"
                       "\nExtDevDrvID0=P (too broad to act on)\n\nReboot.");
}
