// The whole program on the NT family (Wine's default version): the dialog is
// driven by the test, and before-and-after snapshots show exactly what went.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "sweep_fixtures.h"

using sweep::SweepRun;

namespace
{

const char Title[] = "QX770 Driver Removal";
const char EnumKeys[] = "SYSTEM\\CurrentControlSet\\Enum\\";
const char SessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const size_t Shown = 6; // names listed in the final message, then "... and N more."

bool hasHardwareId(const char *id)
{
    std::vector<std::string> ids = sweep::presentHardwareIds();
    return std::any_of(ids.begin(), ids.end(),
                       [&](const std::string &s) { return _stricmp(s.c_str(), id) == 0; });
}

// A list of the final message: each name on its line, as many as it shows.
std::string listed(const std::vector<std::string> &names)
{
    std::string text;
    for (size_t i = 0; i < names.size() && i < Shown; i++)
        text += "\n" + names[i];
    if (names.size() > Shown)
        text += "\n... and " + std::to_string(names.size() - Shown) + " more.";
    return text;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), ::tolower);
    return text;
}

// The folders a name of the INI is looked for in.
#ifdef _WIN64
const char *const SystemDirs[] = {"system32", "syswow64"};
#else
const char *const SystemDirs[] = {"system32"};
#endif

class NtRun : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        // Section "1" is the one in use.
        qxt::regSetString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", "1");
    }
};

const char FullIni[] = "[1]\n"
                       "UnInstDrvAppTitle=QX770 Driver Removal\n"
                       "DevIDNum=2\n"
                       "DevDrvID0=PCI\\VEN_14F1&DEV_8800\n"
                       "DevDrvName0=QX770 Video Capture\n"
                       "DevDrvSYS0=qxcap.sys\n"
                       "DevDrvID1=usb\\vid_1b80&pid_d410\n"
                       "DevDrvName1=QX770 USB Tuner\n"
                       "DevDrvSYS1=qxusb.sys\n"
                       "ExtDevIDNum=1\n"
                       "ExtDevDrvID0=PCI\\VEN_14F1&DEV_8811\n"
                       "ExtDevDrvName0=QX770 Audio\n"
                       "ExtDevDrvSYS0=qxaud.sys\n"
                       "ExtDllFileNum=2\n"
                       "ExtCopyFileName0=qxprop.dll\n"
                       "ExtCopyFileName1=QXCodec.ax\n"
                       "PossibleDevIDNum=1\n"
                       "PossibleDevID0=PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000\n"
                       "PossibleDevDrvName0=QX770 Video Capture B\n"
                       "PossibleDevDrvSYS0=qxcapb.sys\n"
                       "DrvUninstRegKeyPath=QX770Drivers\n"
                       "DrvUninstRegKeyName=QX770 WDM Drivers\n"
                       "DrvUninstAppName=qxuninst.exe\n"
                       "UnInstServiceNum=2\n"
                       "UnInstService0=qxcap\n"
                       "UnInstService1=qxusb\n"
                       "UnInstRemoteTitleName=QX770 Remote Control\n"
                       "UnInstDrvPassMsg=All gone.\n"
                       "UnInstDrvPassMsg2=Please restart.\n";

TEST_F(NtRun, WithoutIniOrPackageOnlyTheWarningShows)
{
    sweep::writeIni("");
    sweep::World before = sweep::snapshotWorld();
    EXPECT_EQ(sweep::runExpectingWarning("Orvane Velto WDM Drivers Uninstallation"),
              "You do not install Orvane Velto WDM Drivers.");
    EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty());
}

TEST_F(NtRun, RemovesExactlyTheNamedDevicesFilesAndKeys)
{
    using sweep::mediaDriverKey;
    // Each device shows it is the package's: by its driver key's description, or
    // (the USB tuner) by its service.
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05\\3&1&0&08",
                                 "PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05",
                                 mediaDriverKey("0100").c_str()));
    ASSERT_TRUE(
        sweep::addDevice("USB\\VID_1B80&PID_D410\\5&1&0", "USB\\VID_1B80&PID_D410&REV_0100", NULL, "qxusb"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8811&SUBSYS_00000000&REV_05\\3&1&0&09",
                                 "PCI\\VEN_14F1&DEV_8811&SUBSYS_00000000&REV_05",
                                 mediaDriverKey("0102").c_str()));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8802&SUBSYS_00000000&REV_05\\3&1&0&0A",
                                 "PCI\\VEN_14F1&DEV_8802&SUBSYS_00000000&REV_05"));
    using sweep::MediaClassKey;
    // The alternative entry refines main entry 0, so its description counts.
    sweep::addClassSubkey(MediaClassKey, "0100", "QX770 Video Capture B", "oem12.inf");
    sweep::addClassSubkey(MediaClassKey, "0101", "qx770 usb tuner", "OEM13.INF");
    sweep::addClassSubkey(MediaClassKey, "0102", "QX770 Audio", "oem14.inf");
    sweep::addClassSubkey(MediaClassKey, "0103", "QX770 USB Tuner Extra", "oem15.inf"); // INF by prefix only
    sweep::addClassSubkey(MediaClassKey, "0104", NULL, "oem16.inf");
    sweep::addClassSubkey(MediaClassKey, "0105", "QX770 Video Capture",
                          "oem17.inf"); // the replaced description
    for (const char *f : {"oem12.inf", "oem12.pnf", "oem13.inf", "oem13.pnf", "oem14.inf", "oem15.inf",
                          "oem15.pnf", "oem16.inf", "oem17.inf"})
        sweep::addWindowsFile("inf", f);
    std::string readOnly = sweep::addWindowsFile("system32\\drivers", "qxcapb.sys");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    for (const char *f : {"qxusb.sys", "qxaud.sys", "qxcap.sys"})
        sweep::addWindowsFile("system32\\drivers", f);
    sweep::addWindowsFile("system32", "qxprop.dll");
    sweep::addWindowsFile("system32", "qxcodec.ax");
#ifdef _WIN64
    // A 32-bit setup program's copies, which 64-bit Windows put in SysWOW64.
    sweep::addWindowsFile("syswow64", "qxprop.dll");
    sweep::addWindowsFile("syswow64\\drivers", "qxusb.sys");
#endif
    sweep::addWindowsFile("", "qxuninst.exe");
    for (const char *s : {"qxcap", "qxusb", "qxkeep"}) {
        std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + s;
        qxt::regSetDword(HKEY_LOCAL_MACHINE, key.c_str(), "Type", 1);
        qxt::regSetString(HKEY_LOCAL_MACHINE, (key + "\\Enum").c_str(), "0", "x");
    }
    sweep::addUninstallEntry("QX770Drivers", "QX770 WDM Drivers");
    sweep::writeIni(FullIni);
    qxt::MessageRecorder remote("QxRemoteStandIn", "QX770 Remote Control");

    sweep::World before = sweep::snapshotWorld();
    SweepRun run = sweep::runSweep(Title);
    remote.waitFor(WM_CLOSE, 1000);
    sweep::World after = sweep::snapshotWorld();

    ASSERT_TRUE(run.dialogShown);
    EXPECT_EQ(run.caption, Title);
    EXPECT_EQ(run.runTip, "Press 'OK' to start ...");
    EXPECT_EQ(run.okText, "OK");
    EXPECT_FALSE(run.barShownBeforeOk);
    EXPECT_EQ(remote.received(WM_CLOSE).size(), 1u);
    // Steps of 6 from 0, then 90 and 100 set outright.
    ASSERT_GE(run.positions.size(), 3u);
    EXPECT_TRUE(std::is_sorted(run.positions.begin(), run.positions.end()));
    EXPECT_EQ(run.positions.back(), 100);
    for (int p : run.positions)
        EXPECT_TRUE(p % 6 == 0 || p == 90 || p == 100) << p;
    EXPECT_TRUE(run.finalBox);
    EXPECT_EQ(run.exitCode, 0);

    std::set<std::string> roots = sweep::removedRoots(before, after);
    std::set<std::string> expected = {
        "system32\\drivers\\qxcapb.sys",
        "system32\\drivers\\qxusb.sys",
        "system32\\drivers\\qxaud.sys",
        "system32\\qxprop.dll",
        "system32\\qxcodec.ax",
#ifdef _WIN64
        "syswow64\\qxprop.dll",
        "syswow64\\drivers\\qxusb.sys",
#endif
        "qxuninst.exe",
        "SYSTEM\\CurrentControlSet\\Services\\qxcap",
        "SYSTEM\\CurrentControlSet\\Services\\qxusb",
        std::string(MediaClassKey) + "\\0100",
        std::string(MediaClassKey) + "\\0101",
        std::string(MediaClassKey) + "\\0102",
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770Drivers",
    };
    // The collected OEM INFs go through SetupUninstallOEMInfA once the devices are
    // gone. Wine 8's deletes nothing unless forced (and answers TRUE): whatever it
    // leaves, the final message names, and it claims success only when all went.
    std::vector<std::string> left;
    for (const char *f :
         {"oem12.inf", "oem12.pnf", "oem13.inf", "oem13.pnf", "oem14.inf", "oem15.inf", "oem15.pnf"}) {
        if (qxt::fileExists(sweep::windowsDir() + "\\inf\\" + f))
            left.push_back(std::string("c:\\windows\\inf\\") + f);
        else
            expected.insert(std::string("inf\\") + f);
    }
    std::string text = "All gone.\n\nPlease restart.";
    if (!left.empty()) {
        text = "The uninstallation is not complete. These items could not be removed:\n" + listed(left) +
               "\n\nPlease restart.";
    }
    EXPECT_EQ(run.finalText, text);
    // Device keys are checked through the device list below.
    sweep::expectRemoved(roots, expected, EnumKeys);
    EXPECT_FALSE(hasHardwareId("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05"));
    EXPECT_FALSE(hasHardwareId("USB\\VID_1B80&PID_D410&REV_0100"));
    EXPECT_FALSE(hasHardwareId("PCI\\VEN_14F1&DEV_8811&SUBSYS_00000000&REV_05"));
    EXPECT_TRUE(hasHardwareId("PCI\\VEN_14F1&DEV_8802&SUBSYS_00000000&REV_05"));
}

// The count gate: every main entry matched by exactly one present device. Each
// row stops the run before anything changes, and says why: no device at all,
// one of two, two devices for the one entry, and no main entry to prove anything
// (the extra entry's file would go otherwise).
TEST_F(NtRun, DeviceCountGateStopsChangesNothingAndSaysWhy)
{
    struct {
        const char *entries; // DevIDNum and its entries
        int found, expected; // -1: no main entry
    } rows[] = {
        {"DevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8910\nDevDrvSYS0=qxgate.sys\n", 0, 1},
        {"DevIDNum=2\nDevDrvID0=PCI\\VEN_14F1&DEV_8900\nDevDrvSYS0=qxgate.sys\n"
         "DevDrvID1=PCI\\VEN_14F1&DEV_8901\nDevDrvSYS1=qxgate.sys\n",
         1, 2},
        {"DevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8920\nDevDrvSYS0=qxgate.sys\n", 2, 1},
        {"DevIDNum=0\nExtDevIDNum=1\nExtDevDrvSYS0=qxgate.sys\n", -1, -1},
        {"DevIDNum=none\nDevDrvID0=PCI\\VEN_14F1&DEV_8900\nDevDrvSYS0=qxgate.sys\n", -1, -1},
    };
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8900\\3&1&0&10", "PCI\\VEN_14F1&DEV_8900&REV_05"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8920\\3&1&0&11", "PCI\\VEN_14F1&DEV_8920&REV_05"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8920\\3&1&0&12", "PCI\\VEN_14F1&DEV_8920&REV_05"));
    sweep::addWindowsFile("system32\\drivers", "qxgate.sys");
    sweep::addUninstallEntry("QX770Gate", "QX770 Gate Drivers");
    for (const auto &row : rows) {
        sweep::writeIni(
            std::string("[1]\nUnInstDrvAppTitle=QX770 Gate\n") + row.entries +
            "DrvUninstRegKeyPath=QX770Gate\nDrvUninstRegKeyName=QX770 Gate Drivers\n"
            "OKText=Remove\nUnInstDrvRunTipMsg=Press Remove.\nUnInstDrvPassMsg2=Please restart.\n");
        sweep::World before = sweep::snapshotWorld();
        SweepRun run = sweep::runSweep("QX770 Gate");
        ASSERT_TRUE(run.dialogShown) << row.entries;
        EXPECT_EQ(run.okText, "Remove");
        EXPECT_EQ(run.runTip, "Press Remove.");
        EXPECT_EQ(run.finalText,
                  row.found < 0
                      ? "Nothing was removed: TVQ7Drv.ini names no device of the package (DevIDNum "
                        "is missing, 0 or no number), so nothing shows what is the package's."
                      : "Nothing was removed: the devices present do not match those TVQ7Drv.ini "
                        "names (found " +
                            std::to_string(row.found) + ", expected " + std::to_string(row.expected) + ").")
            << row.entries;
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty()) << row.entries;
    }
    EXPECT_TRUE(hasHardwareId("PCI\\VEN_14F1&DEV_8900&REV_05"));
    EXPECT_TRUE(hasHardwareId("PCI\\VEN_14F1&DEV_8920&REV_05"));
}

TEST_F(NtRun, ClosingTheDialogWithoutOkChangesNothing)
{
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8C80\\3&1&0&40", "PCI\\VEN_14F1&DEV_8C80&REV_05"));
    sweep::addWindowsFile("system32\\drivers", "qxclose.sys");
    sweep::addUninstallEntry("QX770Close", "QX770 Close Drivers");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 Close\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8C80\n"
        "DevDrvSYS0=qxclose.sys\nDrvUninstRegKeyPath=QX770Close\nDrvUninstRegKeyName=QX770 Close Drivers\n");
    sweep::World before = sweep::snapshotWorld();
    SweepRun run = sweep::runSweep("QX770 Close", false);
    EXPECT_TRUE(run.dialogShown);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty());
}

// A window whose thread never answers: the remote-control program hung.
class HungWindow
{
  public:
    explicit HungWindow(const char *title) : release_(CreateEventA(NULL, TRUE, FALSE, NULL))
    {
        HANDLE created = CreateEventA(NULL, TRUE, FALSE, NULL);
        thread_ = std::thread([=] {
            HWND w = CreateWindowExA(0, "STATIC", title, WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
            SetEvent(created);
            WaitForSingleObject(release_, 120000);
            DestroyWindow(w);
        });
        WaitForSingleObject(created, 5000);
        CloseHandle(created);
    }
    ~HungWindow()
    {
        SetEvent(release_);
        thread_.join();
        CloseHandle(release_);
    }

  private:
    HANDLE release_;
    std::thread thread_;
};

// Each row is an input that once reached past the package; the snapshots show
// that only what the INI soundly names goes, and the final message names the rest:
// - names that are empty, reach outside their folder or are far too long; counts
//   beyond a list; entries without prefix or description;
// - hardware-ID entries too broad to name a device ("P", a whole vendor), with a
//   device of that vendor present that the package does not own: such an entry
//   takes part in nothing, neither the description's class key and INF nor the
//   driver file;
// - descriptions that only begin another word ("C" of "Conexant", "QX" of
//   "QX770"), and an "InfPath" that is no OEM INF;
// - on code page 932, driver file names whose trail bytes are a backslash (0x5C)
//   or a capital letter (0x41), beside the file that lower-casing bytes would name;
// - a remote-control window that never answers its close request;
// - files of Windows named as the package's, as 1990s packages shipped them: a
//   driver file, an extra file, and one by its 8.3 alias, none deleted or
//   scheduled for deletion at the next start.
TEST_F(NtRun, HostileIniRemovesOnlyWhatItSoundlyNames)
{
    ASSERT_EQ(GetACP(), 932u) << "this run is meant for a double-byte code page (LC_ALL=ja_JP.UTF-8)";
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8A00\\3&1&0&20", "PCI\\VEN_14F1&DEV_8A00&REV_05",
                                 sweep::mediaDriverKey("0204").c_str()));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_9900\\3&1&0&21", "PCI\\VEN_14F1&DEV_9900&REV_01"));
    sweep::addClassSubkey(sweep::MediaClassKey, "0200", NULL, "oem30.inf");
    sweep::addClassSubkey(sweep::MediaClassKey, "0201", "Hostile Capture", "..\\win.ini");
    sweep::addClassSubkey(sweep::MediaClassKey, "0202", "Conexant Capture", "oem31.inf");
    sweep::addClassSubkey(sweep::MediaClassKey, "0203", "QX770 Capture", "oem33.inf");
    sweep::addClassSubkey(sweep::MediaClassKey, "0204", "Hostile Capture (WDM)", "oem32.inf");
    for (const char *f : {"oem30.inf", "oem31.inf", "oem33.inf", "oem32.inf", "oem32.pnf"})
        sweep::addWindowsFile("inf", f);
    sweep::addWindowsFile("system32\\drivers", "qxhost.sys");
    sweep::addWindowsFile("system32\\drivers", "qxext.sys"); // only too-broad entries name it
    // qx + katakana so (83 5C), qx + katakana a (83 41), qx + katakana di (83 61).
    const std::string trailBackslash = "qx\x83\x5C.sys", trailCapital = "qx\x83\x41.sys",
                      bystander = "qx\x83\x61.sys";
    for (const std::string &f : {trailBackslash, trailCapital, bystander})
        sweep::addWindowsFile("system32\\drivers", f);
    sweep::addWindowsFile("", "hostile.txt");
    std::string tooLong(300, 'q');
    // Wine's own files carry Microsoft's name in their version resources.
    char alias[MAX_PATH];
    ASSERT_GT(
        GetShortPathNameA((sweep::windowsDir() + "\\system32\\d3d10core.dll").c_str(), alias, sizeof alias),
        0u);
    std::string inboxAlias = strrchr(alias, '\\') + 1;
    ASSERT_NE(inboxAlias, "d3d10core.dll");
    std::vector<std::string> inbox; // the files of Windows the INI names, as the final message names them
    for (const char *dir : SystemDirs)
        for (std::string f : {std::string("drivers\\ksecdd.sys"), std::string("msvcrt.dll"), inboxAlias}) {
            std::string path = sweep::windowsDir() + "\\" + dir + "\\" + f;
            if (qxt::fileExists(path))
                inbox.push_back(path);
        }
    ASSERT_GE(inbox.size(), 3u);
    qxt::regSetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qxhostile", "Type", 1);
    sweep::addUninstallEntry("QX770Hostile", "QX770 Hostile Drivers");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 Hostile\n"
        "DevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8A00\nDevDrvName0=Hostile Capture\n"
        "DevDrvSYS0=qxhost.sys\n"
        "ExtDevIDNum=FF\nExtDevDrvID0=P\nExtDevDrvName0=Hostile Capture\nExtDevDrvSYS0=qxext.sys\n"
        "ExtDevDrvID1=PCI\\VEN_14F1\nExtDevDrvName1=QX770 Capture\nExtDevDrvSYS1=qxext.sys\n"
        "ExtDevDrvID2=\nExtDevDrvName2=\nExtDevDrvSYS2=..\nExtDevDrvSYS3=" +
        tooLong + "\nExtDevDrvSYS4=" + trailBackslash + "\nExtDevDrvSYS5=" + trailCapital +
        "\nExtDevDrvName6=C\nExtDevDrvSYS6=..\\hostile.txt\n"
        "ExtDevDrvName7=QX\nExtDevDrvSYS7=C:\\windows\\hostile.txt\nExtDevDrvSYS8=ksecdd.sys\n"
        "ExtDllFileNum=10\nExtCopyFileName0=..\\hostile.txt\nExtCopyFileName1=drivers\n"
        "ExtCopyFileName2=" +
        tooLong + "\nExtCopyFileName3=msvcrt.dll\nExtCopyFileName4=" + inboxAlias +
        "\n"
        "UnInstServiceNum=10\nUnInstService0=\nUnInstService1=..\\Services\nUnInstService2=" +
        tooLong + "\nUnInstService3=qxhostile\n" +
        "DrvUninstRegKeyName=QX770 Hostile Drivers\nDrvUninstAppName=..\\hostile.txt\n"
        "UnInstRemoteTitleName=QX770 Hung Remote\nUnInstDrvPassMsg2=Please restart.\n");
    std::vector<std::string> devicesBefore = sweep::presentHardwareIds();
    HungWindow remote("QX770 Hung Remote");

    sweep::World before = sweep::snapshotWorld();
    SweepRun run = sweep::runSweep("QX770 Hostile");
    ASSERT_TRUE(run.dialogShown);
    EXPECT_TRUE(run.finalBox);
    EXPECT_EQ(run.exitCode, 0);
    std::set<std::string> roots = sweep::removedRoots(before, sweep::snapshotWorld());
    std::set<std::string> expected = {"system32\\drivers\\qxhost.sys", "system32\\drivers\\" + trailBackslash,
                                      "system32\\drivers\\" + trailCapital,
                                      "SYSTEM\\CurrentControlSet\\Services\\qxhostile",
                                      std::string(sweep::MediaClassKey) + "\\0201",
                                      // the device's own driver key goes with the device
                                      std::string(sweep::MediaClassKey) + "\\0204"};
    // The OEM INF of "Hostile Capture (WDM)" went to SetupUninstallOEMInfA; what
    // Wine's leaves of it (all of it) is named below.
    bool infLeft = qxt::fileExists(sweep::windowsDir() + "\\inf\\oem32.inf");
    if (!infLeft)
        expected.insert({"inf\\oem32.inf", "inf\\oem32.pnf"});
    sweep::expectRemoved(roots, expected, EnumKeys);
    // The empty uninstall key name left the Uninstall key and its entries alone.
    EXPECT_TRUE(qxt::regKeyExists(HKEY_LOCAL_MACHINE,
                                  "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770Hostile"));
    // Only the package's own device went: the vendor's other one and Wine's stay.
    std::vector<std::string> devicesAfter = sweep::presentHardwareIds();
    EXPECT_EQ(devicesAfter.size() + 1, devicesBefore.size());
    EXPECT_TRUE(hasHardwareId("PCI\\VEN_14F1&DEV_9900&REV_01"));
    EXPECT_FALSE(hasHardwareId("PCI\\VEN_14F1&DEV_8A00&REV_05"));

    std::string notRemoved = infLeft
                                 ? " These items could not be "
                                   "removed:\n\nc:\\windows\\inf\\oem32.inf\nc:\\windows\\inf\\oem32.pnf\n\n"
                                   "These were left alone:\n"
                                 : " These were left alone:\n";
    std::vector<std::string> leftAlone = {
        "the window \"QX770 Hung Remote\" (it did not answer the request to close)",
        "ExtDevDrvID0=P (too broad to act on)", "ExtDevDrvID1=PCI\\VEN_14F1 (too broad to act on)",
        "InfPath ..\\win.ini of class subkey 0201 (not an oem<N>.inf)"};
    for (std::string &path : inbox)
        leftAlone.push_back((path = lowered(path)) + " (a file of Microsoft's)");
    EXPECT_EQ(run.finalText,
              "The uninstallation is not complete." + notRemoved + listed(leftAlone) + "\n\nPlease restart.");
    // Nothing of Windows waits for the next start either.
    for (const std::string &pending : sweep::nameList(SessionManager, "PendingFileRenameOperations"))
        for (const std::string &path : inbox)
            EXPECT_EQ(lowered(pending).find(path), std::string::npos) << pending;
    ASSERT_TRUE(sweep::restartPrefix());
    for (const std::string &path : inbox)
        EXPECT_TRUE(qxt::fileExists(path)) << path;
}

// A hardware-ID entry too broad to name a device never acts; as a main entry it
// stops the run before anything changes, and the user is told why.
TEST_F(NtRun, TooBroadMainEntryStopsTheRunAndIsNamed)
{
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8D00\\3&1&0&50", "PCI\\VEN_14F1&DEV_8D00&REV_05"));
    sweep::addWindowsFile("system32\\drivers", "qxbroad.sys");
    sweep::addUninstallEntry("QX770Broad", "QX770 Broad Drivers");
    sweep::writeIni("[1]\nUnInstDrvAppTitle=QX770 Broad\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_\n"
                    "DevDrvSYS0=qxbroad.sys\nDrvUninstRegKeyPath=QX770Broad\n"
                    "DrvUninstRegKeyName=QX770 Broad Drivers\nUnInstDrvPassMsg2=Please restart.\n");
    sweep::World before = sweep::snapshotWorld();
    SweepRun run = sweep::runSweep("QX770 Broad");
    ASSERT_TRUE(run.finalBox);
    EXPECT_EQ(run.finalText,
              "Nothing was removed: the devices present do not match those TVQ7Drv.ini names "
              "(found 0, expected 1). These were left alone:\n\nDevDrvID0=PCI\\VEN_14F1&DEV_ (too "
              "broad to act on)");
    EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty());
    EXPECT_TRUE(hasHardwareId("PCI\\VEN_14F1&DEV_8D00&REV_05"));
}

// A file in use cannot be deleted while Windows runs: it is scheduled for the
// next start, the final message says so, and a restart of the prefix removes it.
TEST_F(NtRun, FileInUseGoesAtTheNextStartAndTheMessageSaysSo)
{
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8B00\\3&1&0&30", "PCI\\VEN_14F1&DEV_8B00&REV_05", NULL,
                                 "qxlock"));
    std::string locked = sweep::addWindowsFile("system32\\drivers", "qxlock.sys");
    sweep::addUninstallEntry("QX770Locked", "QX770 Locked Drivers");
    sweep::writeIni("[1]\nUnInstDrvAppTitle=QX770 Locked\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8B00\n"
                    "DevDrvSYS0=qxlock.sys\nUnInstServiceNum=1\nUnInstService0=qxlock\n"
                    "DrvUninstRegKeyPath=QX770Locked\n"
                    "DrvUninstRegKeyName=QX770 Locked Drivers\nUnInstDrvPassMsg=All gone.\n"
                    "UnInstDrvPassMsg2=Please restart.\n");
    HANDLE h = CreateFileA(locked.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SweepRun run = sweep::runSweep("QX770 Locked");
    CloseHandle(h);
    ASSERT_TRUE(run.finalBox);
    EXPECT_EQ(run.finalText,
              "The uninstallation is complete after a restart. These files are in use and will be removed "
              "when Windows restarts:\n"
              "\nc:\\windows\\system32\\drivers\\qxlock.sys\n\nPlease restart.");
    EXPECT_TRUE(qxt::fileExists(locked));
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE,
                                   "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770Locked"));
    ASSERT_TRUE(sweep::restartPrefix());
    EXPECT_FALSE(qxt::fileExists(locked)) << "still there after the restart";
}

// Devices and keys of other packages, as an INI names them carelessly: each row
// must leave them, and the final message names what the package's run kept:
// - a device field of one hex digit ("PCI\\VEN_8086&DEV_2": every Intel 2xxx);
// - a bus where a prefix is no proof ("HDAUDIO\\FUNC_01" begins every codec's
//   ID, "ACPI\\PNP0C0" the lid's, the power button's, the controller's);
// - a description of an inbox driver ("USB Video Device") whose class key is a
//   present webcam's driver key;
// - another vendor's oemN.inf whose description continues ours ("Bar Capture
//   (Other Vendor)"), in use by its present device;
// - a device an entry matches whose driver and service are another package's;
// - the webcam's ID as an entry, with its inbox service named: the service name
//   no longer vouches for the device against its driver key;
// - services the INI names that others need: the webcam's (usbvideo), one
//   another service depends on; a file another device's service has as its
//   image; a filter in a class key's list, which goes with only its name taken out;
// - an Uninstall key path that names another product's entry.
TEST_F(NtRun, HostileIniLeavesOtherPackagesDevicesAndTheirDriverKeys)
{
    using sweep::mediaDriverKey;
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8A20\\3&1&0&60", "PCI\\VEN_14F1&DEV_8A20&REV_05",
                                 mediaDriverKey("0300").c_str()));
    ASSERT_TRUE(
        sweep::addDevice("PCI\\VEN_8086&DEV_2A42\\3&1&0&61", "PCI\\VEN_8086&DEV_2A42&REV_07", NULL, "igfx"));
    ASSERT_TRUE(sweep::addDevice("HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662\\4&1&0&1",
                                 "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662", mediaDriverKey("0301").c_str(),
                                 "HdAudio"));
    ASSERT_TRUE(sweep::addDevice("ACPI\\PNP0C0D\\2&1", "ACPI\\PNP0C0D"));
    ASSERT_TRUE(sweep::addDevice("USB\\VID_046D&PID_0825\\5&1&2", "USB\\VID_046D&PID_0825&REV_0010",
                                 mediaDriverKey("0302").c_str(), "usbvideo"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_1131&DEV_7133\\3&1&0&62", "PCI\\VEN_1131&DEV_7133&REV_01",
                                 mediaDriverKey("0303").c_str(), "barcap"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8A10\\3&1&0&63", "PCI\\VEN_14F1&DEV_8A10&REV_01",
                                 mediaDriverKey("0304").c_str(), "othertuner"));
    using sweep::MediaClassKey;
    sweep::addClassSubkey(MediaClassKey, "0300", "QX770 Evidence Capture", "oem37.inf");
    sweep::addClassSubkey(MediaClassKey, "0301", "High Definition Audio Device", "hdaudio.inf");
    sweep::addClassSubkey(MediaClassKey, "0302", "USB Video Device");
    sweep::addClassSubkey(MediaClassKey, "0303", "Bar Capture (Other Vendor)", "oem36.inf");
    sweep::addClassSubkey(MediaClassKey, "0304", "Other Tuner", "oem38.inf");
    for (const char *f : {"oem36.inf", "oem36.pnf", "oem38.inf"})
        sweep::addWindowsFile("inf", f);
    for (const char *f : {"qxevid.sys", "igdkmd64.sys", "qxhda.sys", "qxlid.sys", "qxtuner.sys"})
        sweep::addWindowsFile("system32\\drivers", f);
    // The INI names the other service's image by its 8.3 alias.
    char alias[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(sweep::addWindowsFile("system32\\drivers", "qxsharedimage.sys").c_str(),
                                alias, sizeof alias),
              0u);
    std::string shared = strrchr(alias, '\\') + 1;
    sweep::addService("usbvideo", "System32\\drivers\\usbvideo.sys");
    sweep::addService("barcap", "\\SystemRoot\\System32\\DRIVERS\\QXSHAREDIMAGE.SYS");
    sweep::addService("qxbase");
    sweep::addService("qxother", NULL, "qxbase");
    sweep::addService("qxfilt");
    std::string imaging = sweep::ImagingClassKey;
    sweep::setNameList(imaging, "UpperFilters", {"ksthunk", "QXFILT", "other"});
    sweep::addUninstallEntry("QX770Evidence", "QX770 Evidence Drivers");
    sweep::addUninstallEntry("QX770 Utilities", "QX770 Utilities");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 Evidence\n"
        "DevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8A20\nDevDrvName0=QX770 Evidence Capture\n"
        "DevDrvSYS0=qxevid.sys\n"
        "ExtDevIDNum=8\nExtDevDrvID0=PCI\\VEN_8086&DEV_2\nExtDevDrvSYS0=igdkmd64.sys\n"
        "ExtDevDrvID1=HDAUDIO\\FUNC_01\nExtDevDrvName1=High Definition Audio Device\n"
        "ExtDevDrvSYS1=qxhda.sys\n"
        "ExtDevDrvID2=ACPI\\PNP0C0\nExtDevDrvSYS2=qxlid.sys\n"
        "ExtDevDrvID3=USB\\VID_1B80&PID_D499\nExtDevDrvName3=USB Video Device\n"
        "ExtDevDrvID4=USB\\VID_1B80&PID_D498\nExtDevDrvName4=Bar Capture\n"
        "ExtDevDrvID5=PCI\\VEN_14F1&DEV_8A1\nExtDevDrvName5=QX770 Tuner\nExtDevDrvSYS5=qxtuner.sys\n"
        "ExtDevDrvID6=USB\\VID_046D&PID_0825\nExtDevDrvName6=QX770 Webcam\nExtDevDrvSYS7=" +
        shared +
        "\n"
        "UnInstServiceNum=3\nUnInstService0=usbvideo\nUnInstService1=qxbase\nUnInstService2=qxfilt\n"
        "DrvUninstRegKeyPath=QX770 Utilities\nDrvUninstRegKeyName=QX770 Evidence Drivers\n"
        "UnInstDrvPassMsg2=Please restart.\n");
    std::vector<std::string> devicesBefore = sweep::presentHardwareIds();
    sweep::World before = sweep::snapshotWorld();
    SweepRun run = sweep::runSweep("QX770 Evidence");
    ASSERT_TRUE(run.finalBox);
    // The ACPI, HD Audio and tuner entries name files and match no device: their
    // files are the package's to remove. The rest stays.
    // Only the filter's own name left the class key's list.
    std::string filters = imaging + "\\:UpperFilters";
    sweep::expectRemoved(sweep::removedRoots(before, sweep::snapshotWorld(), filters.c_str()),
                         {"system32\\drivers\\qxevid.sys", "system32\\drivers\\qxhda.sys",
                          "system32\\drivers\\qxlid.sys", "system32\\drivers\\qxtuner.sys",
                          std::string(MediaClassKey) + "\\0300",
                          "SYSTEM\\CurrentControlSet\\Services\\qxfilt"},
                         EnumKeys);
    EXPECT_EQ(sweep::nameList(imaging, "UpperFilters"), (std::vector<std::string>{"ksthunk", "other"}));
    EXPECT_EQ(sweep::presentHardwareIds().size() + 1, devicesBefore.size());
    EXPECT_FALSE(hasHardwareId("PCI\\VEN_14F1&DEV_8A20&REV_05"));
    EXPECT_EQ(
        run.finalText,
        "The uninstallation is not complete. These were left alone:\n" +
            listed({"ExtDevDrvID0=PCI\\VEN_8086&DEV_2 (too broad to act on)",
                    "InfPath hdaudio.inf of class subkey 0301 (used by the present device "
                    "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662)",
                    "InfPath oem36.inf of class subkey 0303 (used by the present device "
                    "PCI\\VEN_1131&DEV_7133&REV_01)",
                    "device PCI\\VEN_14F1&DEV_8A10&REV_01 (neither its driver nor its service is the "
                    "package's)",
                    "device USB\\VID_046D&PID_0825&REV_0010 (neither its driver nor its service is the "
                    "package's)",
                    "c:\\windows\\system32\\drivers\\" + lowered(shared) +
                        " (the image of the service barcap, which stays)",
                    "service usbvideo (used by the device USB\\VID_046D&PID_0825&REV_0010, which stays)",
                    "service qxbase (the service qxother depends on it)",
                    "class subkey 0301 (the driver key of the present device "
                    "HDAUDIO\\FUNC_01&VEN_10EC&DEV_0662, not the package's)",
                    "class subkey 0302 (the driver key of the present device "
                    "USB\\VID_046D&PID_0825&REV_0010, not the package's)",
                    "HKLM\\SoftWare\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\QX770 Utilities (its "
                    "DisplayName is not QX770 Evidence Drivers)"}) +
            "\n\nPlease restart.");
}

} // namespace
