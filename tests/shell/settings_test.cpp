// The settings store against the real registry of the bench's prefix: the user's
// settings over the machine's.
#include <gtest/gtest.h>
#include <iphlpapi.h>

#include "server/remote_server.h"
#include "shell/shell.h"

#include "qxtest.h"

#include <string>

static const char *Key = TK_USER_SETTINGS_KEY;
static const char *MachineKey = TK_SETTINGS_KEY;

class Settings : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        qxt::regDeleteTree(HKEY_CURRENT_USER, Key);
        qxt::regDeleteTree(HKEY_LOCAL_MACHINE, MachineKey);
        setDefaultTvApp(1);
    }
    void TearDown() override
    {
        openSettingsKeyCall = RegOpenKeyExA;
        SetUp();
    }

    // The settings key under `root`: the user's or the machine's.
    static const char *keyOf(HKEY root) { return root == HKEY_CURRENT_USER ? Key : MachineKey; }
    static void setRaw(HKEY root, const char *name, DWORD type, const void *data, DWORD size)
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(root, keyOf(root), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL), 0);
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, (const BYTE *)data, size), 0);
        RegCloseKey(key);
    }
    static DWORD storedType(const char *name)
    {
        HKEY key;
        DWORD type = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Key, 0, KEY_READ, &key) == 0) {
            RegQueryValueExA(key, name, NULL, &type, NULL, NULL);
            RegCloseKey(key);
        }
        return type;
    }
    static DWORD stored(const char *name, HKEY root = HKEY_CURRENT_USER)
    {
        DWORD v = 0xDEAD;
        qxt::regGetDword(root, keyOf(root), name, &v);
        return v;
    }
};

TEST_F(Settings, FirstStartStoresTheDefaultsForTheUserOnly)
{
    ASSERT_TRUE(LoadSettings());
    EXPECT_EQ(stored("DefaultTVAPP"), 1u);
    EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);
    EXPECT_EQ(storedType("DefaultTVAPP"), (DWORD)REG_DWORD);
    EXPECT_EQ(defaultTvApp(), 1);
    EXPECT_FALSE(alwaysRemoteOff());
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, MachineKey));
}

TEST_F(Settings, OnlyAValueMissingFromBothIsWritten)
{
    // The machine's DefaultTVAPP stays the machine's: it is not copied to the user.
    qxt::regSetDword(HKEY_LOCAL_MACHINE, MachineKey, "DefaultTVAPP", 7);
    qxt::Snapshot machine = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, MachineKey);
    LoadSettings();
    EXPECT_EQ(defaultTvApp(), 7);
    EXPECT_FALSE(qxt::regValueExists(HKEY_CURRENT_USER, Key, "DefaultTVAPP"));
    EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);
    qxt::SnapshotDiff d = qxt::diffSnapshots(machine, qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, MachineKey));
    EXPECT_TRUE(d.empty()) << qxt::describe(d);

    // The in-memory choice (not 1) is what a missing DefaultTVAPP is written back with.
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, MachineKey, "DefaultTVAPP");
    setDefaultTvApp(3);
    LoadSettings();
    EXPECT_EQ(stored("DefaultTVAPP"), 3u);
}

TEST_F(Settings, OnlyExactlyOneInEitherHiveSwitchesTheProgramOff)
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
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        for (const Case &c : cases) {
            SetUp();
            setRaw(HKEY_LOCAL_MACHINE, "DefaultTVAPP", REG_DWORD, "\1\0\0\0", 4);
            setRaw(root, "AlwaysRemoteOff", c.type, c.data.data(), (DWORD)c.data.size());
            LoadSettings();
            EXPECT_EQ(alwaysRemoteOff(), c.off) << "type " << c.type << " size " << c.data.size();
            if (c.rewritten) {
                EXPECT_EQ(storedType("AlwaysRemoteOff"), (DWORD)REG_DWORD);
                EXPECT_EQ(stored("AlwaysRemoteOff"), 0u);
            }
        }
    }
    // The user's 0 does not overrule the machine's switch, nor the machine's 0 the user's.
    for (HKEY one : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        SetUp();
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            setRaw(root, "AlwaysRemoteOff", REG_DWORD, root == one ? "\1\0\0\0" : "\0\0\0\0", 4);
        LoadSettings();
        EXPECT_TRUE(alwaysRemoteOff()) << (one == HKEY_CURRENT_USER ? "the user's" : "the machine's");
    }
}

TEST_F(Settings, SaveOverwritesOnlyAValueStoredInEitherHive)
{
    // The machine's default: the choice goes to the user's settings.
    qxt::regSetDword(HKEY_LOCAL_MACHINE, MachineKey, "DefaultTVAPP", 2);
    LoadSettings();
    setDefaultTvApp(4);
    EXPECT_TRUE(SaveDefaultApp());
    EXPECT_EQ(stored("DefaultTVAPP"), 4u);
    EXPECT_EQ(stored("DefaultTVAPP", HKEY_LOCAL_MACHINE), 2u);

    // Deleted from both while running: every later save fails and writes nothing.
    qxt::regDeleteValue(HKEY_CURRENT_USER, Key, "DefaultTVAPP");
    qxt::regDeleteValue(HKEY_LOCAL_MACHINE, MachineKey, "DefaultTVAPP");
    setDefaultTvApp(2);
    EXPECT_FALSE(SaveDefaultApp());
    EXPECT_FALSE(qxt::regValueExists(HKEY_CURRENT_USER, Key, "DefaultTVAPP"));
    EXPECT_EQ(defaultTvApp(), 2);
}

// Windows gives a standard user (or an administrator not elevated) read access to
// the machine's keys and refuses more; Wine grants everything, so the refusal is played.
static LONG WINAPI refuseMachineWrites(HKEY root, LPCSTR path, DWORD options, REGSAM access, PHKEY key)
{
    if (root == HKEY_LOCAL_MACHINE && (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)))
        return ERROR_ACCESS_DENIED;
    return RegOpenKeyExA(root, path, options, access, key);
}

TEST_F(Settings, WithTheMachineKeyReadOnlyTheChoiceOutlastsARestart)
{
    qxt::regSetDword(HKEY_LOCAL_MACHINE, MachineKey, "DefaultTVAPP", 3);
    qxt::regSetDword(HKEY_LOCAL_MACHINE, MachineKey, "RemoteServer", 0);
    qxt::Snapshot before = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, MachineKey);
    openSettingsKeyCall = refuseMachineWrites;
    LoadSettings();
    EXPECT_EQ(defaultTvApp(), 3);
    setDefaultTvApp(4);
    EXPECT_TRUE(SaveDefaultApp());
    EXPECT_TRUE(writeSetting("RemoteServer", 1));
    // The next start.
    setDefaultTvApp(1);
    LoadSettings();
    EXPECT_EQ(defaultTvApp(), 4);
    DWORD on = 0;
    EXPECT_TRUE(readSetting("RemoteServer", &on));
    EXPECT_EQ(on, 1u);
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, MachineKey));
    EXPECT_TRUE(d.empty()) << qxt::describe(d);
}

// The address the server listens on at `port`, or 0xFFFFFFFF when nothing listens.
static DWORD listeningAddress(unsigned short port)
{
    static BYTE buffer[64 * 1024];
    MIB_TCPTABLE *table = (MIB_TCPTABLE *)buffer;
    ULONG size = sizeof buffer;
    if (GetTcpTable(table, &size, FALSE) != NO_ERROR)
        return 0xFFFFFFFF;
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW &row = table->table[i];
        if (row.dwState == MIB_TCP_STATE_LISTEN && ntohs((u_short)row.dwLocalPort) == port)
            return ntohl(row.dwLocalAddr);
    }
    return 0xFFFFFFFF;
}

TEST_F(Settings, TheUsersValueComesFirstButOnlyTheMachineOpensTheRemoteToTheNetwork)
{
    const unsigned short port = 18765;
    struct {
        HKEY anyAddressIn;
        DWORD address; // where the server listens
    } const cases[] = {
        {HKEY_CURRENT_USER, INADDR_LOOPBACK},
        {HKEY_LOCAL_MACHINE, INADDR_ANY},
    };
    HWND window = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    for (const auto &c : cases) {
        SetUp();
        for (const char *name : {"DefaultTVAPP", "RemoteServer", "RemoteServerPort"})
            qxt::regSetDword(HKEY_LOCAL_MACHINE, MachineKey, name, 0);
        qxt::regSetDword(HKEY_CURRENT_USER, Key, "DefaultTVAPP", 4);
        qxt::regSetDword(HKEY_CURRENT_USER, Key, "RemoteServer", 1);
        qxt::regSetDword(HKEY_CURRENT_USER, Key, "RemoteServerPort", port);
        qxt::regSetDword(c.anyAddressIn, keyOf(c.anyAddressIn), "RemoteServerAnyAddress", 1);
        LoadSettings();
        EXPECT_EQ(defaultTvApp(), 4);
        startConfiguredServer(window);
        EXPECT_TRUE(remoteServerListening());
        EXPECT_EQ(listeningAddress(port), c.address);
        stopRemoteServer();
    }
    DestroyWindow(window);
}
