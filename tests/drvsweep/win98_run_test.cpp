// The whole program on Windows 9x (Wine's win98 emulation): enumerator keys are
// collected instead of removing devices, INF names come from the INI file, and
// extra files lie in "\system\".
#include <gtest/gtest.h>

#include <set>

#include "sweep_fixtures.h"

namespace
{

void enumKey(const std::string &path)
{
    qxt::regSetString(HKEY_LOCAL_MACHINE, ("Enum\\" + path).c_str(), "Class", "MEDIA");
}

class Win98Run : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        std::string winIni = sweep::windowsDir() + "\\win.ini";
        WritePrivateProfileStringA("intl", "iCountry", "1", winIni.c_str());
    }
};

TEST_F(Win98Run, PciPackageWithAlternativeAndStreamDevice)
{
    // Each device's enumerator key names its class subkey ("Driver"): the evidence
    // that it is the package's.
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05\\BUS_00&DEV_08",
                                 "PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05", "MEDIA\\0000"));
    ASSERT_TRUE(sweep::addDevice("ROOT\\QXSTREAM\\0000", "STREAM\\CXTVTUNER#0001", "MEDIA\\0001"));
    enumKey("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05\\BUS_00&DEV_08");
    enumKey("PCI\\VEN_14F1&DEV_8802&SUBSYS_00000000&REV_05\\BUS_00&DEV_09");
    enumKey("STREAM\\CXTVTUNER\\0000");
    enumKey("STREAM\\OTHER\\0000");
    // Three matching subkeys in a row, and one that is no part of the package.
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0000", "QX770 Video Capture B");
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0001", "QX770 Audio");
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0002", "qx770 audio");
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0003", "QX770 Audio Extra");
    for (const char *f : {"qxcap.inf", "qxcapb.inf", "qxcapb.pnf", "qxaud.inf", "qxaud.pnf"})
        sweep::addWindowsFile("inf", f);
    for (const char *f : {"qxcap.sys", "qxcapb.sys"})
        sweep::addWindowsFile("system32\\drivers", f);
    // In use: it goes when Windows next starts, through WININIT.INI.
    std::string inUse = sweep::addWindowsFile("system32\\drivers", "qxaud.sys");
    HANDLE h = CreateFileA(inUse.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    sweep::addWindowsFile("system", "qxprop.dll");
    sweep::addWindowsFile("system32", "qxprop.dll");
    sweep::addWindowsFile("", "qxuninst.exe");
    qxt::regSetDword(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qxcap", "Type", 1);
    sweep::addUninstallEntry("QX770Drivers", "QX770 WDM Drivers");
    sweep::writeIni("[1]\nUnInstDrvAppTitle=QX770 Removal 9x\n"
                    "DevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8800\nDevDrvName0=QX770 Video Capture\n"
                    "DevDrvSYS0=qxcap.sys\nDevDrvINF0=qxcap.inf\n"
                    "ExtDevIDNum=1\nExtDevDrvID0=STREAM\\CXTVTUNER\nExtDevDrvName0=QX770 Audio\n"
                    "ExtDevDrvSYS0=qxaud.sys\nExtDevDrvINF0=QXAud.INF\n"
                    "PossibleDevIDNum=1\nPossibleDevID0=PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000\n"
                    "PossibleDevDrvName0=QX770 Video Capture B\nPossibleDevDrvSYS0=qxcapb.sys\n"
                    "PossibleDevInf0=qxcapb.inf\n"
                    "ExtDllFileNum=1\nExtCopyFileName0=qxprop.dll\n"
                    "UnInstServiceNum=1\nUnInstService0=qxcap\n"
                    "DrvUninstRegKeyPath=QX770Drivers\nDrvUninstRegKeyName=QX770 WDM Drivers\n"
                    "DrvUninstAppName=qxuninst.exe\nUnInstDrvPassMsg=Gone.\nUnInstDrvPassMsg2=Restart.\n");

    sweep::World before = sweep::snapshotWorld();
    sweep::SweepRun run = sweep::runSweep("QX770 Removal 9x");
    CloseHandle(h);
    ASSERT_TRUE(run.dialogShown);
    EXPECT_TRUE(run.finalBox);
    EXPECT_EQ(run.finalText,
              "The uninstallation is complete after a restart. These files are in use and will "
              "be removed when Windows restarts:\n"
              "\nc:\\windows\\system32\\drivers\\qxaud.sys\n\nRestart.");
    ASSERT_FALSE(run.positions.empty());
    EXPECT_EQ(run.positions.back(), 100);
    for (int p : run.positions)
        EXPECT_TRUE(p % 6 == 0 || p == 100) << p << ": no position 90 on this family";

    std::string media = sweep::MediaClass9xKey;
    sweep::expectRemoved(sweep::removedRoots(before, sweep::snapshotWorld()),
                         {"inf\\qxcapb.inf", "inf\\qxcapb.pnf", "inf\\qxaud.inf", "inf\\qxaud.pnf",
                          "system32\\drivers\\qxcapb.sys", "system\\qxprop.dll", "qxuninst.exe",
                          media + "\\0000", media + "\\0001", media + "\\0002",
                          "Enum\\PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05", "Enum\\STREAM\\CXTVTUNER",
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770Drivers"});
    ASSERT_TRUE(qxt::fileExists(inUse));
    ASSERT_TRUE(sweep::restartPrefix());
    EXPECT_FALSE(qxt::fileExists(inUse)) << "still there after the restart";
}

// One USB match sends every bus key to "Enum\USB": the PCI device's key is then
// looked for where it is not, and the final message names it.
TEST_F(Win98Run, UsbDeviceKeysComeFromTheEntryAndLieUnderEnumUsb)
{
    ASSERT_TRUE(
        sweep::addDevice("USB\\VID_1B80&PID_D411\\5&1&0", "usb\\vid_1b80&pid_d411&rev_0100", "MEDIA\\0010"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8F00&REV_01\\BUS_00&DEV_0A",
                                 "PCI\\VEN_14F1&DEV_8F00&REV_01", "MEDIA\\0011"));
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0010", "QX770 USB Tuner");
    sweep::addClassSubkey(sweep::MediaClass9xKey, "0011", "QX770 PCI Tuner");
    enumKey("USB\\VID_1B80&PID_D411\\5&1&0");
    enumKey("USB\\VID_1B80&PID_0000\\5&1&1");
    enumKey("PCI\\VID_1B80&PID_D411\\5&1&0");
    enumKey("PCI\\VEN_14F1&DEV_8F00&REV_01\\BUS_00&DEV_0A");
    sweep::addUninstallEntry("QX770Usb", "QX770 USB Drivers");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 USB 9x\nDevIDNum=2\nDevDrvID0=USB\\VID_1B80&PID_D411\n"
        "DevDrvName0=QX770 USB Tuner\nDevDrvID1=PCI\\VEN_14F1&DEV_8F00\nDevDrvName1=QX770 PCI Tuner\n"
        "DrvUninstRegKeyPath=QX770Usb\nDrvUninstRegKeyName=QX770 USB Drivers\n"
        "UnInstDrvPassMsg2=Restart.\n");
    sweep::World before = sweep::snapshotWorld();
    sweep::SweepRun run = sweep::runSweep("QX770 USB 9x");
    EXPECT_TRUE(run.finalBox);
    EXPECT_EQ(run.finalText,
              "The uninstallation is not complete. These were left alone:\n"
              "\nHKLM\\Enum\\PCI\\VEN_14F1&DEV_8F00&REV_01 (keys were looked for under Enum\\USB)"
              "\n\nRestart.");
    sweep::expectRemoved(sweep::removedRoots(before, sweep::snapshotWorld()),
                         {"Enum\\USB\\VID_1B80&PID_D411", sweep::MediaClass9xKey + std::string("\\0010"),
                          sweep::MediaClass9xKey + std::string("\\0011"),
                          "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770Usb"});
}

} // namespace
