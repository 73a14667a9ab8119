// The settings store against the real registry of the bench's prefix.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "qxtest.h"

#include <string>

static const char *Key = TK_SETTINGS_KEY;

class Settings : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key);
        setDefaultTvApp(1);
    }
    void TearDown() override
    {
        openSettingsKeyCall = RegOpenKeyExA;
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key);
    }

    static void setRaw(const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)data, size), 0);
        RegCloseKey(key);
    }
    static DWORD storedType(const char *name)
    {
        HKEY key;
        DWORD type = 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key, 0, KEY_READ, &key) == 0) {
            RegQueryValueExA(key, name, NULL, &type, NULL, NULL);
            RegCloseKey(key);
        }
        return type;
    }
    static DWORD stored(const char *name)
    {
        DWORD v = 0xDEAD;
        qxt::regGetDword(HKEY_LOCAL_MACHINE, Key, name, &v);
        return v;
    }
};

TEST_F(Settings, FirstStartCreatesTheKeyWithDefaults)
{
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(stored("DefaultTVAPP"), 1u);
    EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);
    EXPECT_EQ(storedType("DefaultTVAPP"), (DWORD)REG_DWORD);
    EXPECT_EQ(defaultTvApp(), 1);
    EXPECT_FALSE(alwaysRemoteOff());
}

TEST_F(Settings, OnlyTheMissingValueIsWritten)
{
    qxt::regSetDword(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP", 7);
    qxt::Snapshot before = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, Key);
    LoadSettings();
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, Key));
    ASSERT_EQ(d.added.size(), 1u) << qxt::describe(d);
    EXPECT_NE(d.added[0].find("AlwaysRemoteOff"), std::string::npos) << qxt::describe(d);
    EXPECT_TRUE(d.changed.empty()) << qxt::describe(d);
    EXPECT_EQ(defaultTvApp(), 7);
    EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);

    // The in-memory choice (not 1) is what a missing DefaultTVAPP is written back with.
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP");
    setDefaultTvApp(3);
    LoadSettings();
    EXPECT_EQ(stored("DefaultTVAPP"), 3u);
}

TEST_F(Settings, OnlyExactlyOneSwitchesTheProgramOff)
{
    struct Case {
        DWORD type;
        std::string data;
        bool off;
        bool rewritten; // counted as missing: replaced by REG_DWORD 0
    } cases[] = {
        {REG_DWORD, std::string("\1\0\0\0", 4), true, false},
        {REG_DWORD, std::string("\2\0\0\0", 4), false, false},
        {REG_DWORD, std::string("\0\0\0\0", 4), false, false},
        {REG_DWORD, std::string("\1\0\0\1", 4), false, false},
        {REG_BINARY, std::string("\1\0\0\0", 4), true, false},         // any type, four bytes
        {REG_BINARY, std::string("\1\0", 2), true, false},             // shorter: the rest reads as zero
        {REG_BINARY, std::string("\1\0\0\0\0\0\0\0", 8), false, true}, // longer: missing
    };
    for (const Case &c : cases) {
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key);
        setRaw("DefaultTVAPP", REG_DWORD, "\1\0\0\0", 4);
        setRaw("AlwaysRemoteOff", c.type, c.data.data(), (DWORD)c.data.size());
        LoadSettings();
        EXPECT_EQ(alwaysRemoteOff(), c.off) << "type " << c.type << " size " << c.data.size();
        if (c.rewritten) {
            EXPECT_EQ(storedType("AlwaysRemoteOff"), (DWORD)REG_DWORD);
            EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);
        }
    }
}

TEST_F(Settings, SaveOverwritesOnlyAnExistingValue)
{
    LoadSettings();
    setDefaultTvApp(4);
    EXPECT_TRUE(SaveDefaultApp());
    EXPECT_EQ(stored("DefaultTVAPP"), 4u);

    // Deleted while running: every later save fails and writes nothing.
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP");
    setDefaultTvApp(2);
    EXPECT_FALSE(SaveDefaultApp());
    EXPECT_FALSE(qxt::regValueExists(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP"));
    EXPECT_EQ(defaultTvApp(), 2);

    qxt::regDeleteTree(HKEY_LOCAL_MACHINE, Key);
    EXPECT_FALSE(SaveDefaultApp());
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, Key));
}

// Windows gives a standard user (or an administrator not elevated) read access to
// the machine's keys and refuses more; Wine grants everything, so the refusal is played.
static LONG WINAPI refuseFullAccess(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY))
        return ERROR_ACCESS_DENIED;
    return RegOpenKeyExA(root, path, options, access, key);
}

TEST_F(Settings, ReadAccessAloneReadsWhatIsStoredAndWritesNothing)
{
    qxt::regSetDword(HKEY_LOCAL_MACHINE, Key, "DefaultTVAPP", 3);
    qxt::regSetDword(HKEY_LOCAL_MACHINE, Key, "AlwaysRemoteOff", 1);
    openSettingsKeyCall = refuseFullAccess;
    LoadSettings();
    EXPECT_EQ(defaultTvApp(), 3);
    EXPECT_TRUE(alwaysRemoteOff());

    // A missing value keeps its default and is not written back.
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, Key, "AlwaysRemoteOff");
    qxt::Snapshot before = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, Key);
    LoadSettings();
    EXPECT_FALSE(alwaysRemoteOff());
    // A save fails.
    setDefaultTvApp(4);
    EXPECT_FALSE(SaveDefaultApp());
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, Key));
    EXPECT_TRUE(d.empty()) << qxt::describe(d);
}
