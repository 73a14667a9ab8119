// A sweep of 15 main and 15 extra devices, 15 extra files and 15 services on the
// NT family: the run's wall time against the sum of the pauses between steps.
// A second, identical sweep is timed phase by phase to show where time goes.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <stdio.h>

#include <string>

#include "drvsweep.h"
#include "sweep_fixtures.h"

namespace
{

double nowMs()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000.0 / f.QuadPart;
}

std::string num(int i)
{
    char b[8];
    snprintf(b, sizeof b, "%02d", i);
    return b;
}

void fill(DriverEntry *e, const std::string &tag, int i)
{
    snprintf(e->hardwareIdPrefix, ENTRY_TEXT, "PCI\\VEN_14F1&DEV_%s%s", tag.c_str(), num(i).c_str());
    snprintf(e->driverDesc, ENTRY_TEXT, "QX770 %s device %d", tag.c_str(), i);
    snprintf(e->sysFile, ENTRY_TEXT, "qx%s%s.sys", tag.c_str(), num(i).c_str());
}

// Devices, files, services, class subkeys and the Uninstall entry of one sweep;
// `tag` keeps two sweeps apart.
void makeWorld(UninstallConfig *cfg, const std::string &tag)
{
    memset(cfg, 0, sizeof *cfg);
    strcpy(cfg->mediaClass, "Yes");
    snprintf(cfg->uninstallKeyPath, sizeof cfg->uninstallKeyPath, "QX770Bench%s", tag.c_str());
    snprintf(cfg->uninstallerFile, sizeof cfg->uninstallerFile, "qxbench%s.exe", tag.c_str());
    cfg->deviceCount = cfg->extDeviceCount = cfg->extCopyFileCount = cfg->serviceCount = LIST_CAPACITY;
    for (int i = 0; i < LIST_CAPACITY; i++) {
        fill(&cfg->devices[i], tag + "A", i);
        fill(&cfg->extDevices[i], tag + "B", i);
        snprintf(cfg->extCopyFiles[i], NAME_TEXT, "qxextra%s%02d.dll", tag.c_str(), i);
        snprintf(cfg->services[i], NAME_TEXT, "qxsvc%s%02d", tag.c_str(), i);
        // Each device's driver key is the class subkey of its description.
        const char *lead[2] = {"7", "8"};
        int n = 0;
        for (const DriverEntry *e : {&cfg->devices[i], &cfg->extDevices[i]}) {
            std::string id = std::string(e->hardwareIdPrefix) + "&REV_01";
            std::string driverKey = sweep::mediaDriverKey((lead[n++] + tag + num(i)).c_str());
            ASSERT_TRUE(sweep::addDevice(id + "\\1", id, driverKey.c_str()));
            sweep::addWindowsFile("system32\\drivers", e->sysFile);
        }
        sweep::addWindowsFile("system32", cfg->extCopyFiles[i]);
        std::string svc = "SYSTEM\\CurrentControlSet\\Services\\" + std::string(cfg->services[i]);
        qxt::regSetDword(HKEY_LOCAL_MACHINE, svc.c_str(), "Type", 1);
        std::string inf = "oem" + tag + num(i) + ".inf";
        sweep::addClassSubkey(sweep::MediaClassKey, ("7" + tag + num(i)).c_str(), cfg->devices[i].driverDesc,
                              inf.c_str());
        sweep::addClassSubkey(sweep::MediaClassKey, ("8" + tag + num(i)).c_str(),
                              cfg->extDevices[i].driverDesc, NULL);
        sweep::addWindowsFile("inf", inf);
    }
    sweep::addWindowsFile("", cfg->uninstallerFile);
}

} // namespace

TEST(SweepBench, FifteenOfEverything)
{
    static UninstallConfig cfg, phases;
    makeWorld(&cfg, "1");

    // The dialog's two controls, so that updating them is part of the cost.
    InitCommonControls();
    HWND owner =
        CreateWindowExA(0, "STATIC", "bench", WS_POPUP | WS_VISIBLE, 0, 0, 400, 120, NULL, NULL, NULL, NULL);
    ProgressView view = {
        CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 10, 10, 380, 16, owner, NULL, NULL, NULL),
        CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 40, 380, 20, owner,
                        NULL, NULL, NULL)};
    SendMessageA(view.bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(view.bar, PBM_SETSTEP, 6, 0);

    Remains remains = {};
    int steps = StepsTaken();
    double start = nowMs();
    ASSERT_TRUE(SweepNt(cfg, view, &remains));
    double wall = nowMs() - start;
    steps = StepsTaken() - steps;
    double pauses = steps * (double)STEP_PAUSE_MS;
    // Only INF files may stay: Wine's SetupUninstallOEMInfA leaves them.
    for (int i = 0; i < remains.count && i < REMAINS_SHOWN; i++)
        EXPECT_NE(strstr(remains.names[i], "\\inf\\oem"), nullptr) << remains.names[i];
    EXPECT_EQ(steps, KEY_LIST_CAPACITY + 2 * LIST_CAPACITY); // INF paths, then driver files
    for (int i = 0; i < LIST_CAPACITY; i++)
        EXPECT_FALSE(qxt::fileExists(sweep::windowsDir() + "\\system32\\drivers\\" + cfg.devices[i].sysFile));

    // The same sweep again, phase by phase, over a world of the same size: Wine's
    // device installer takes time by the number of devices it lists.
    makeWorld(&phases, "2");
    // The look at each file for Windows' own (its version resource and Windows
    // File Protection), on the package's files and on one of Microsoft's.
    const int Looks = 200;
    std::string packageFile = sweep::windowsDir() + "\\system32\\drivers\\" + phases.devices[0].sysFile;
    std::string windowsFile = sweep::windowsDir() + "\\system32\\msvcrt.dll";
    double l0 = nowMs();
    for (int i = 0; i < Looks; i++)
        EXPECT_EQ(WindowsFileReason(packageFile.c_str()), nullptr);
    double l1 = nowMs();
    for (int i = 0; i < Looks; i++)
        EXPECT_NE(WindowsFileReason(windowsFile.c_str()), nullptr);
    double l2 = nowMs();
    InfPathList infPaths = {};
    double t0 = nowMs();
    PlanServices(phases);
    double t1 = nowMs();
    CountMatchingDevices(phases);
    double t2 = nowMs();
    CollectInfPaths(phases, &infPaths);
    double t3 = nowMs();
    RemoveMatchingDevices(phases, &remains);
    double t4 = nowMs();
    FinishServicePlan(phases);
    double t5 = nowMs();
    DeleteDriverFilesNt(phases, infPaths, FindUninstallOemInf(), view, &remains);
    double t6 = nowMs();
    CleanRegistryNt(phases, &remains);
    double t7 = nowMs();

    printf("drvsweep NT sweep: %d devices, %d extra files, %d services, %d steps of %d ms\n",
           2 * LIST_CAPACITY, LIST_CAPACITY, LIST_CAPACITY, steps, (int)STEP_PAUSE_MS);
    printf("drvsweep NT sweep: mandated pauses %.0f ms, wall time %.1f ms, %.1f%% above the pauses (goal "
           "10%%)\n",
           pauses, wall, (wall - pauses) * 100.0 / pauses);
    printf("drvsweep phases (second sweep): service plan %.1f ms, device count %.1f ms, INF paths %.1f ms, "
           "device "
           "removal %.1f ms, devices' services and filters %.1f ms, files with steps %.1f ms (%.1f ms over "
           "their "
           "pauses), registry %.1f ms\n",
           t1 - t0, t2 - t1, t3 - t2, t4 - t3, t5 - t4, t6 - t5, t6 - t5 - pauses, t7 - t6);
    printf("drvsweep check for Windows' own file: %.3f ms a package file, %.3f ms a file of Microsoft's\n",
           (l1 - l0) / Looks, (l2 - l1) / Looks);
    // Wine's device installer (the count's listing, the removals and the listing
    // of the devices that stay) set apart.
    double own = wall - pauses - (t2 - t1) - (t4 - t3) - (t5 - t4);
    printf(
        "drvsweep NT sweep: own work beside the device installer %.1f ms, %.1f%% of the pauses (goal 10%%)\n",
        own, own * 100.0 / pauses);
    DestroyWindow(owner);
}
