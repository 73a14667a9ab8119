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

TEST(Rules, OnlyPlainNamesReachADeleteCall)
{
    struct {
        const char *name;
        bool plain;
    } cases[] = {
        {"qxcap.sys", true},    {"OEM12.INF", true}, {"", false},        {"..", false},
        {"..\\win.ini", false}, {"a/b", false},      {"C:x.sys", false}, {"sub\\key", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsPlainName(c.name), c.plain) << c.name;
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
    EXPECT_EQ(ComposeFinalMessage(cfg, none, text, sizeof text), (UINT)MB_ICONINFORMATION);
    EXPECT_STREQ(text, "Removed.\n\nReboot.");

    Remains some = {};
    for (int i = 0; i < 8; i++)
        NoteRemaining(&some, ("file" + std::to_string(i)).c_str());
    NoteRemaining(&some, "file0"); // met again by a second pass
    EXPECT_EQ(some.count, 8);
    EXPECT_EQ(ComposeFinalMessage(cfg, some, text, sizeof text), (UINT)MB_ICONWARNING);
    EXPECT_STREQ(text, "The uninstallation is not complete. These items could not be removed:\n"
                       "\nfile0\nfile1\nfile2\nfile3\nfile4\nfile5\n... and 2 more.\n\nReboot.");
}
