// drvsweep removes the simulated card's own driver package while tunerkey runs:
// the remote-control program is closed through its window title before anything
// goes, and started again afterwards it reports the missing capture filter.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "program_run.h"
#include "shell/shell.h"
#include "sweep_fixtures.h"
#include "tray_bench.h"

using namespace e2e;

namespace
{

const char Title[] = "QX770 Driver Removal";
const char CardInstance[] = "PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05\\3&1&0&08";
const char CardHardwareId[] = "PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05";
const char ServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\simcard";

// The package as the simulated card installs it: its device, its driver and
// capture filter files, its service, and the package's Uninstall entry.
const char PackageIni[] = "[1]\n"
                          "UnInstDrvAppTitle=QX770 Driver Removal\n"
                          "DevIDNum=1\n"
                          "DevDrvID0=PCI\\VEN_14F1&DEV_8800\n"
                          "DevDrvName0=Conexant 2388x Video Capture\n"
                          "DevDrvSYS0=simcard.sys\n"
                          "ExtDllFileNum=1\n"
                          "ExtCopyFileName0=simfilter.dll\n"
                          "DrvUninstRegKeyPath=QX770Drivers\n"
                          "DrvUninstRegKeyName=QX770 WDM Drivers\n"
                          "UnInstServiceNum=1\n"
                          "UnInstService0=simcard\n"
                          "UnInstRemoteTitleName=QX770 Remote Control\n";

bool hasCardDevice()
{
    for (const std::string &id : sweep::presentHardwareIds())
        if (_stricmp(id.c_str(), CardHardwareId) == 0)
            return true;
    return false;
}

} // namespace

TEST(Sweep, ClosesTheRunningRemoteControlFirstAndLeavesItWithoutItsFilter)
{
    ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
    resetCard();
    qxt::regSetString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", "1");
    sweep::writeIni(PackageIni);
    // The card's device as its driver's installation leaves it: its driver key
    // and its service.
    ASSERT_TRUE(
        sweep::addDevice(CardInstance, CardHardwareId, sweep::mediaDriverKey("0042").c_str(), "simcard"));
    sweep::addClassSubkey(sweep::MediaClassKey, "0042", "Conexant 2388x Video Capture", "oem42.inf");
    std::string inf = sweep::addWindowsFile("inf", "oem42.inf");
    // Its setup was a 32-bit program: the entry lies in the 32-bit registry view.
    sweep::addUninstallEntry("QX770Drivers", "QX770 WDM Drivers", KEY_WOW64_32KEY);
    const std::string system32 = sweep::windowsDir() + "\\system32";
    const std::string filterFile = system32 + "\\simfilter.dll",
                      driverFile = system32 + "\\drivers\\simcard.sys";
    ASSERT_TRUE(qxt::fileExists(filterFile) && qxt::fileExists(driverFile));
    ASSERT_TRUE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, ServiceKey));

    Tunerkey run;
    ASSERT_TRUE(startTunerkey(&run));
    // The remote works before: a direction key moves the pointer.
    SetCursorPos(400, 300);
    qxt::pumpMessages(400);
    ASSERT_TRUE(press(6));
    ASSERT_TRUE(qxt::waitUntil([] { return cursor().x == 401; }, 2000))
        << "the card does not work to begin with";

    // Whether the package's files were still there when the window went.
    std::atomic<int> filesAtClose(-1);
    std::atomic<bool> watching(true);
    HWND window = run.window;
    std::thread watcher([&] {
        while (watching && IsWindow(window))
            Sleep(2);
        if (!IsWindow(window))
            filesAtClose = qxt::fileExists(filterFile) && qxt::fileExists(inf);
    });
    sweep::SweepRun sweepRun = sweep::runSweep(Title);
    watching = false;
    watcher.join();

    EXPECT_TRUE(sweepRun.finalBox);
    EXPECT_EQ(sweepRun.exitCode, 0);
    EXPECT_EQ(filesAtClose, 1) << "tunerkey was not closed before the files went";
    EXPECT_EQ(qxt::waitProcess(&run.child, 5000), 0) << "tunerkey did not end on the close request";
    run.child = qxt::Child();

    EXPECT_FALSE(qxt::fileExists(filterFile));
    // The driver stays loaded until the next start of Windows, so its file is
    // held, as on Windows: it is scheduled to go then, and the final message
    // says so. The OEM INF goes through SetupUninstallOEMInfA, which under Wine 8
    // deletes nothing. Whatever stays, the final message names.
    const std::string atRestart = "These files are in use and will be removed when Windows restarts:\n\n"
                                  "c:\\windows\\system32\\drivers\\simcard.sys";
    bool driverAtRestart = sweepRun.finalText.find(atRestart) != std::string::npos;
    EXPECT_EQ(driverAtRestart, qxt::fileExists(driverFile)) << sweepRun.finalText;
    RecordProperty("driver file", driverAtRestart ? "in use: scheduled for the restart" : "deleted at once");
    bool infNamed = sweepRun.finalText.find("oem42.inf") != std::string::npos;
    EXPECT_EQ(infNamed, qxt::fileExists(inf)) << sweepRun.finalText;
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, ServiceKey));
    EXPECT_FALSE(qxt::regKeyExists(
        HKEY_LOCAL_MACHINE, (std::string(sweep::UninstallKey) + "\\QX770Drivers").c_str(), KEY_WOW64_32KEY));
    EXPECT_FALSE(hasCardDevice());

    // Started again, it finds no capture filter and says so at the first press.
    ASSERT_TRUE(startTunerkey(&run));
    ASSERT_TRUE(clickTrayIcon(true));
    HWND box = qxt::waitForDialog("QX770 Remote Control");
    ASSERT_NE(box, (HWND)NULL) << "no report of the missing filter";
    EXPECT_EQ(qxt::messageBoxText(box),
              "Can't find the QX770 Video Capture Filter.\n\nPlease check your hardware or drivers. ");
    qxt::pressButton(box, IDOK);
    EXPECT_EQ(qxt::waitProcess(&run.child, 5000), 0);

    // The restart: the driver's host ends, and what was scheduled is carried out.
    ASSERT_TRUE(sweep::restartPrefix());
    EXPECT_FALSE(qxt::fileExists(driverFile)) << "the driver file is still there after the restart";
}
