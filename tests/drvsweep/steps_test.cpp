// The uninstaller's steps in-process against Wine's real registry, files and
// device installer: configuration loading, device scans, class keys, step counts.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "sweep_fixtures.h"
#include "uninstaller.h"

#include <commctrl.h>
#include <setupapi.h>

namespace
{

void setCountry(const char *code)
{
    qxt::regSetString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", code);
}

UninstallConfig load()
{
    static UninstallConfig cfg; // large: kept off the stack
    LoadUninstallConfig(&cfg);
    return cfg;
}

DriverEntry entry(const char *prefix, const char *desc = "", const char *sys = "", const char *inf = "")
{
    DriverEntry e = {};
    strcpy(e.hardwareIdPrefix, prefix);
    strcpy(e.driverDesc, desc);
    strcpy(e.sysFile, sys);
    strcpy(e.infFile, inf);
    return e;
}

} // namespace

TEST(Config, DefaultsWithoutIniFile)
{
    setCountry("1");
    sweep::writeIni("");
    UninstallConfig cfg = load();
    EXPECT_STREQ(cfg.section, "1");
    EXPECT_STREQ(cfg.title, "Orvane Velto WDM Drivers Uninstallation");
    EXPECT_STREQ(cfg.displayName, "Orvane Velto WDM Drivers");
    EXPECT_STREQ(cfg.mediaClass, "Yes");
    EXPECT_STREQ(cfg.okText, "OK");
    EXPECT_STREQ(cfg.remoteTitle, "Remote Control");
    EXPECT_STREQ(cfg.uninstallerFile, "auxsweep.exe");
    EXPECT_STREQ(cfg.uninstallKeyPath, "");
    EXPECT_EQ(cfg.deviceCount + cfg.extDeviceCount + cfg.extCopyFileCount + cfg.possibleDeviceCount +
                  cfg.serviceCount,
              0);
}

TEST(Config, CountrySectionWithoutTitleIsIgnoredAsAWhole)
{
    sweep::writeIni("[49]\nDevIDNum=1\nDevDrvID0=PCI\\VEN_49\nOKText=Los\n"
                    "[886]\nUnInstDrvAppTitle=Taiwan\nOKText=Go\n"
                    "[1]\nUnInstDrvAppTitle=Fallback\nOKText=Start\n");
    setCountry("49");
    UninstallConfig cfg = load();
    EXPECT_STREQ(cfg.section, "1");
    EXPECT_STREQ(cfg.title, "Fallback");
    EXPECT_STREQ(cfg.okText, "Start");
    EXPECT_EQ(cfg.deviceCount, 0);
    setCountry("886");
    cfg = load();
    EXPECT_STREQ(cfg.section, "886");
    EXPECT_STREQ(cfg.okText, "Go");
    setCountry("1");
}

TEST(Config, CountsAreHexBoundedAndLongTextsCut)
{
    std::string ini = "[1]\nUnInstDrvAppTitle=" + std::string(300, 't') +
                      "\nDevIDNum=10\nExtDevIDNum=0\nExtDevDrvID0=PCI\\IGNORED\n"
                      "PossibleDevIDNum=1\nPossibleDevInf0=alt.inf\nUnInstServiceNum=FF\n";
    for (int n = 0; n < 16; n++)
        ini += "DevDrvID" + std::to_string(n) + "=ID" + std::to_string(n) + "\nUnInstService" +
               std::to_string(n) + "=svc" + std::to_string(n) + "\n";
    ini += "DevDrvSYS1=" + std::string(300, 's') + "\n";
    sweep::writeIni(ini);
    UninstallConfig cfg = load();
    EXPECT_EQ(strlen(cfg.title), 259u);
    EXPECT_EQ(cfg.deviceCount, 15);
    EXPECT_STREQ(cfg.devices[14].hardwareIdPrefix, "ID14");
    EXPECT_EQ(strlen(cfg.devices[1].sysFile), 127u);
    EXPECT_EQ(cfg.extDeviceCount, 0);
    EXPECT_STREQ(cfg.extDevices[0].hardwareIdPrefix, "");
    EXPECT_STREQ(cfg.possibleDevices[0].infFile, "alt.inf");
    EXPECT_EQ(cfg.serviceCount, 15);
    EXPECT_STREQ(cfg.services[14], "svc14");
}

TEST(Devices, CountsEveryMatchAndRefinesOnlyMatchedEntries)
{
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8C00&SUBSYS_1&REV_01\\1",
                                 "PCI\\VEN_14F1&DEV_8C00&SUBSYS_1&REV_01"));
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8C00&SUBSYS_2&REV_01\\2",
                                 "PCI\\VEN_14F1&DEV_8C00&SUBSYS_2&REV_01"));
    static UninstallConfig cfg = {};
    cfg.deviceCount = 3;
    cfg.devices[0] = entry("PCI\\VEN_14F1&DEV_8C00", "Main", "main.sys");
    cfg.devices[1] = entry("", "Empty prefix");
    cfg.devices[2] = entry("PCI\\VEN_14F1&DEV_8CFF", "Unrelated", "unrelated.sys");
    cfg.possibleDeviceCount = 3;
    cfg.possibleDevices[0] = entry("PCI\\VEN_14F1&DEV_8D00", "No device");
    cfg.possibleDevices[1] = entry("PCI\\VEN_14F1&DEV_8C00&SUBSYS_2", "Alt 1", "alt1.sys");
    cfg.possibleDevices[2] = entry("pci\\ven_14f1&dev_8c00&subsys_2&rev", "Alt 2", "alt2.sys");
    // Device 1 matches entry 0; device 2 matches it too and refines it twice.
    EXPECT_EQ(CountMatchingDevices(cfg), 2);
    EXPECT_STREQ(cfg.devices[0].driverDesc, "Alt 2");
    EXPECT_STREQ(cfg.devices[0].sysFile, "alt2.sys");
    EXPECT_STREQ(cfg.devices[1].driverDesc, "Empty prefix");
    EXPECT_STREQ(cfg.devices[2].sysFile, "unrelated.sys");
}

TEST(Devices, EnumKeysOnlyFromAlternativesWhenThereAreAny)
{
    // Each device shows it is the package's through its service.
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8E00&REV_01\\1", "PCI\\VEN_14F1&DEV_8E00&REV_01", NULL,
                                 "qxenum"));
    ASSERT_TRUE(sweep::addDevice("ROOT\\QXLONG\\0", "PCI\\VEN_14F1&DEV_8E01&" + std::string(200, 'L'), NULL,
                                 "qxenum"));
    static UninstallConfig cfg = {};
    for (int i = 0; i < 12; i++) {
        std::string tuner = "STREAM\\CXQXTUNER" + std::to_string(i);
        ASSERT_TRUE(
            sweep::addDevice("ROOT\\QXSTREAM\\" + std::to_string(i), tuner + "#0001", NULL, "qxenum"));
        cfg.extDevices[i] = entry(tuner.c_str());
    }
    cfg.serviceCount = 1;
    strcpy(cfg.services[0], "qxenum");
    cfg.deviceCount = 2;
    cfg.devices[0] = entry("PCI\\VEN_14F1&DEV_8E00");
    cfg.devices[1] = entry("PCI\\VEN_14F1&DEV_8E01");
    cfg.extDeviceCount = 12;
    cfg.possibleDeviceCount = 1;
    cfg.possibleDevices[0] = entry("PCI\\VEN_14F1&DEV_8E01");
    EnumKeyLists keys = {};
    LeftAlone = Remains();
    EXPECT_EQ(CollectEnumKeys(cfg, &keys), 2);
    // Device 8E00 matches no alternative: counted, but no key. The long ID is cut.
    ASSERT_EQ(keys.busKeyCount, 1);
    EXPECT_EQ(strlen(keys.busKeys[0]),
              strlen("VEN_14F1&DEV_8E01&") + (ENTRY_TEXT - 1 - strlen("PCI\\VEN_14F1&DEV_8E01&")));
    EXPECT_FALSE(keys.usbSeen);
    EXPECT_EQ(keys.streamKeyCount, KEY_LIST_CAPACITY);
    EXPECT_EQ(std::string(keys.streamKeys[0]).find('#'), std::string::npos);
    // The two keys beyond the list's room are named.
    ASSERT_EQ(LeftAlone.count, 2);
    EXPECT_NE(strstr(LeftAlone.names[0], "(no room in the list)"), nullptr) << LeftAlone.names[0];
}

TEST(ClassKeys, MediaClassChoosesTheClassKey)
{
    static UninstallConfig cfg = {};
    for (const char *no : {"No", "no", "Nobody"}) {
        strcpy(cfg.mediaClass, no);
        EXPECT_NE(strstr(SelectClassKey(cfg), "{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}"), nullptr) << no;
    }
    for (const char *other : {"Yes", "", "N", "maybe"}) {
        strcpy(cfg.mediaClass, other);
        EXPECT_NE(strstr(SelectClassKey(cfg), "{4D36E96C-E325-11CE-BFC1-08002BE10318}"), nullptr) << other;
    }
}

// Only whole-word continuations of a description, and only OEM INFs, are taken;
// an inbox INF and those beyond the ten slots are named instead.
TEST(ClassKeys, InfPathsByDescriptionWordsOnlyOemInfsAtMostTen)
{
    const char *key = sweep::ImagingClassKey;
    sweep::addClassSubkey(key, "0300", "Video Capture Extra", "oem40.inf");
    sweep::addClassSubkey(key, "0301", NULL, "oem41.inf");
    sweep::addClassSubkey(key, "0302", "Other Device", "oem42.inf");
    sweep::addClassSubkey(key, "0303", "Video Captures", "oem43.inf");
    sweep::addClassSubkey(key, "0304", "Video Capture", "machine.inf");
    for (int i = 0; i < 12; i++)
        sweep::addClassSubkey(key, ("04" + std::to_string(10 + i)).c_str(), "video capture",
                              ("oem5" + std::to_string(i) + ".inf").c_str());
    static UninstallConfig cfg = {};
    strcpy(cfg.mediaClass, "No");
    cfg.deviceCount = 1;
    cfg.devices[0] = entry("", "video capture");
    cfg.extDeviceCount = 3;
    cfg.extDevices[0] = entry("", ""); // an empty description collects nothing
    cfg.extDevices[1] = entry("", "V");
    cfg.extDevices[2] = entry("PCI\\VEN_14F1", "Video Capture"); // too broad: takes part in nothing
    InfPathList list = {};
    LeftAlone = Remains();
    CollectInfPaths(cfg, &list);
    ASSERT_EQ(list.count, KEY_LIST_CAPACITY);
    EXPECT_STREQ(list.paths[0], "oem40.inf");
    for (int i = 1; i < list.count; i++)
        EXPECT_EQ(std::string(list.paths[i]).substr(0, 4), "oem5") << list.paths[i];
    ASSERT_EQ(LeftAlone.count, 1 + 3);
    EXPECT_STREQ(LeftAlone.names[0], "InfPath machine.inf of class subkey 0304 (not an oem<N>.inf)");
    EXPECT_STREQ(LeftAlone.names[1], "InfPath oem59.inf of class subkey 0419 (no room in the list)");
}

// Progress steps: one per INF path and driver file; extra files step only on 9x.
TEST(Files, StepCountsOfEachFamily)
{
    static UninstallConfig cfg = {};
    cfg.deviceCount = 2;
    cfg.devices[0] = entry("A", "", "qxa.sys", "qxa.inf");
    cfg.devices[1] = entry("B", "", "qxb.sys", "qxb.inf");
    cfg.extDeviceCount = 1;
    cfg.extDevices[0] = entry("C", "", "qxc.sys", "qxc.inf");
    cfg.extCopyFileCount = 3;
    strcpy(cfg.extCopyFiles[0], "x1.dll");
    strcpy(cfg.extCopyFiles[1], "x2.dll");
    strcpy(cfg.extCopyFiles[2], "x3.dll");
    strcpy(cfg.uninstallerFile, "qxsteps.exe");
    InfPathList list = {};
    list.count = 2;
    strcpy(list.paths[0], "OEM60.INF");
    strcpy(list.paths[1], "..\\win.ini");
    std::string inf = sweep::addWindowsFile("inf", "oem60.inf"),
                pnf = sweep::addWindowsFile("inf", "oem60.pnf");
    ProgressView none = {NULL, NULL};
    Remains remains = {};
    // Where setupapi lacks SetupUninstallOEMInfA, the INF and its ".pnf" are deleted here.
    int before = StepsTaken();
    DeleteDriverFilesNt(cfg, list, NULL, none, &remains);
    EXPECT_EQ(StepsTaken() - before, 2 + 3);
    EXPECT_FALSE(qxt::fileExists(inf));
    EXPECT_FALSE(qxt::fileExists(pnf));
    before = StepsTaken();
    DeleteDriverFiles9x(cfg, none, &remains);
    EXPECT_EQ(StepsTaken() - before, 3 + 0 + 3 + 3);
    EXPECT_EQ(remains.count, 0);
    EXPECT_TRUE(qxt::fileExists(sweep::windowsDir() + "\\win.ini"));
}

// A progress bar that records every position it is given, in order.
class RecordingBar
{
  public:
    RecordingBar()
    {
        InitCommonControls();
        bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 100, 10, NULL, NULL, NULL, NULL);
        SendMessageA(bar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendMessageA(bar_, PBM_SETSTEP, 6, 0);
        SetWindowLongPtrA(bar_, GWLP_USERDATA, (LONG_PTR)this);
        original_ = (WNDPROC)SetWindowLongPtrA(bar_, GWLP_WNDPROC, (LONG_PTR)record);
    }
    ~RecordingBar() { DestroyWindow(bar_); }
    HWND bar_;
    std::vector<int> positions;

  private:
    static LRESULT CALLBACK record(HWND w, UINT msg, WPARAM wp, LPARAM lp)
    {
        RecordingBar *self = (RecordingBar *)GetWindowLongPtrA(w, GWLP_USERDATA);
        LRESULT r = CallWindowProcA(self->original_, w, msg, wp, lp);
        if (msg == PBM_SETPOS || msg == PBM_STEPIT || msg == PBM_DELTAPOS)
            self->positions.push_back((int)CallWindowProcA(self->original_, w, PBM_GETPOS, 0, 0));
        return r;
    }
    WNDPROC original_;
};

bool hasDevice(const char *hardwareId)
{
    for (const std::string &id : sweep::presentHardwareIds())
        if (_stricmp(id.c_str(), hardwareId) == 0)
            return true;
    return false;
}

bool contains(const Remains &list, const char *text)
{
    for (int i = 0; i < list.count && i < REMAINS_SHOWN; i++)
        if (strcmp(list.names[i], text) == 0)
            return true;
    return false;
}

// The NT run in-process, with a device list that keeps DIGCF_PRESENT (Wine's
// ignores it): the package's card taken out earlier still has its device node,
// which goes once the gate has counted the present one; a present device of
// another package whose description is the package's keeps its driver key and
// INF. The bar is given steps of 6, then 90 after the devices, then 100.
TEST(Sweep, NonPresentDevicesGoForeignDriverKeysStayAndEveryPositionIsInOrder)
{
    using sweep::mediaDriverKey;
    const char Card[] = "PCI\\VEN_14F1&DEV_8F90&REV_01", OldSlot[] = "PCI\\VEN_14F1&DEV_8F90&REV_02",
               Clone[] = "PCI\\VEN_1131&DEV_7133&REV_01";
    ASSERT_TRUE(sweep::addDevice(std::string(Card) + "\\1", Card, mediaDriverKey("0900").c_str()));
    ASSERT_TRUE(sweep::addDevice(std::string(OldSlot) + "\\2", OldSlot, NULL, "qxsteps"));
    sweep::markNotPresent(std::string(OldSlot) + "\\2");
    ASSERT_TRUE(sweep::addDevice(std::string(Clone) + "\\3", Clone, mediaDriverKey("0901").c_str(), "clone"));
    // The card's driver key has the alternative's description only.
    sweep::addClassSubkey(sweep::MediaClassKey, "0900", "Orvane Steps Capture", "oem90.inf");
    sweep::addClassSubkey(sweep::MediaClassKey, "0901", "Orvane Steps Capture", "oem91.inf");
    std::string clonesInf = sweep::addWindowsFile("inf", "oem91.inf");
    sweep::addWindowsFile("system32\\drivers", "qxsteps.sys");
    static UninstallConfig cfg = {};
    strcpy(cfg.mediaClass, "Yes");
    cfg.deviceCount = 1;
    cfg.devices[0] = entry("PCI\\VEN_14F1&DEV_8F90", "QX770 Steps Capture", "qxsteps.sys");
    cfg.possibleDeviceCount = 1;
    cfg.possibleDevices[0] = entry("PCI\\VEN_14F1&DEV_8F90", "Orvane Steps Capture", "qxsteps.sys");
    cfg.serviceCount = 1;
    strcpy(cfg.services[0], "qxsteps");
    // A file Windows protects, named by its 8.3 alias: its list has long names.
    std::string inbox = sweep::addWindowsFile("system32", "qxinboxlongname.dll");
    char alias[MAX_PATH];
    ASSERT_GT(GetShortPathNameA(inbox.c_str(), alias, sizeof alias), 0u);
    cfg.extCopyFileCount = 1;
    strcpy(cfg.extCopyFiles[0], strrchr(alias, '\\') + 1);
    ASSERT_STRNE(cfg.extCopyFiles[0], "qxinboxlongname.dll");
    FileProtectedFn realProtection = FileProtectedCall;
    FileProtectedCall = [](HANDLE, LPCWSTR path) WINAPI -> BOOL {
        return _wcsicmp(path, L"C:\\windows\\system32\\qxinboxlongname.dll") == 0;
    };
    LeftAlone = Remains();
    AtRestart = Remains();
    RecordingBar bar;
    ProgressView view = {NULL, bar.bar_};
    Remains remains = {};
    DeviceListCall = sweep::presentAwareDeviceList;
    int found = -1;
    bool ran = SweepNt(cfg, view, &remains, &found);
    DeviceListCall = SetupDiGetClassDevsA;
    FileProtectedCall = realProtection;
    ASSERT_TRUE(ran) << "found " << found;
    EXPECT_TRUE(qxt::fileExists(inbox));
    std::string kept = "c:\\windows\\system32\\" + std::string(cfg.extCopyFiles[0]);
    LowerText(&kept[0]);
    EXPECT_TRUE(contains(LeftAlone, (kept + " (protected by Windows)").c_str()));
    EXPECT_EQ(AtRestart.count, 0);
    EXPECT_FALSE(hasDevice(Card));
    EXPECT_FALSE(hasDevice(OldSlot));
    EXPECT_TRUE(hasDevice(Clone));
    std::string classKey = std::string(sweep::MediaClassKey) + "\\";
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, (classKey + "0900").c_str()));
    EXPECT_TRUE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, (classKey + "0901").c_str()));
    EXPECT_TRUE(qxt::fileExists(clonesInf));
    EXPECT_TRUE(contains(LeftAlone, "InfPath oem91.inf of class subkey 0901 (used by the present device "
                                    "PCI\\VEN_1131&DEV_7133&REV_01)"));
    EXPECT_TRUE(contains(LeftAlone, "class subkey 0901 (the driver key of the present device "
                                    "PCI\\VEN_1131&DEV_7133&REV_01, not the package's)"));
    // One step for the INF, one for the driver file; 90 once the devices are gone.
    EXPECT_EQ(bar.positions, (std::vector<int>{6, 12, 90, 100}));
}

// A key no one may open (an empty access list), as a limited account meets the
// package's keys.
void lockKey(const std::string &path)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
              ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    InitializeAcl(&acl, sizeof acl, ACL_REVISION);
    SetSecurityDescriptorDacl(&sd, TRUE, &acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    RegCloseKey(key);
}

// Keys that exist but cannot be opened are named; keys that are not there are not.
TEST(Registry, KeysThatExistButCannotBeOpenedAreNamed)
{
    lockKey("SYSTEM\\CurrentControlSet\\Services\\qxdenied");
    lockKey(std::string(sweep::UninstallKey) + "\\QX770Denied");
    lockKey("SOFTWARE\\QxDenied");
    // A service the service control manager knows goes through it.
    SC_HANDLE scm = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    CloseServiceHandle(CreateServiceA(scm, "qxscm", "qxscm", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                      "system32\\drivers\\qxscm.sys", NULL, NULL, NULL, NULL, NULL));
    CloseServiceHandle(scm);
    ASSERT_TRUE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qxscm"));
    static UninstallConfig cfg = {};
    strcpy(cfg.mediaClass, "Yes");
    cfg.serviceCount = 3;
    strcpy(cfg.services[0], "qxdenied");
    strcpy(cfg.services[1], "qxmissing");
    strcpy(cfg.services[2], "qxscm");
    strcpy(cfg.uninstallKeyPath, "QX770Denied");
    Remains remains = {};
    CleanRegistryNt(cfg, &remains);
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\qxscm"));
    HKEY key;
    EXPECT_FALSE(OpenMachineKey("SOFTWARE\\QxDenied", KEY_READ, &key, &remains));
    EXPECT_FALSE(OpenMachineKey("SOFTWARE\\QxMissing", KEY_READ, &key, &remains));
    ASSERT_EQ(remains.count, 3);
    EXPECT_STREQ(remains.names[0], "HKLM\\SYSTEM\\CurrentControlSet\\Services\\qxdenied (access denied)");
    EXPECT_STREQ(
        remains.names[1],
        "HKLM\\SoftWare\\MicroSoft\\Windows\\CurrentVersion\\Uninstall\\QX770Denied (access denied)");
    EXPECT_STREQ(remains.names[2], "HKLM\\SOFTWARE\\QxDenied (access denied)");
}

// Denied for another reason than being in use (its access list, as with
// TrustedInstaller's files, or its attribute), a file is named and never
// scheduled: Windows would delete it at its next start. A library mapped by a
// program is in use, though it may be opened for deletion: it is scheduled.
TEST(Files, OnlyAFileInUseIsScheduledADeniedOneIsNamed)
{
    std::string readOnly = sweep::addWindowsFile("", "qxdenied.exe");
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    char self[MAX_PATH];
    GetModuleFileNameA(NULL, self, sizeof self);
    std::string mapped = sweep::windowsDir() + "\\system32\\drivers\\qxmapped.sys";
    ASSERT_TRUE(CopyFileA(self, mapped.c_str(), FALSE));
    HMODULE image = LoadLibraryExA(mapped.c_str(), NULL, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    static UninstallConfig cfg = {};
    strcpy(cfg.uninstallerFile, "qxdenied.exe"); // the uninstaller keeps its attributes
    cfg.extDeviceCount = 1;
    cfg.extDevices[0] = entry("", "", "qxmapped.sys");
    Remains remains = {};
    AtRestart = Remains();
    DeleteDriverFilesNt(cfg, InfPathList(), NULL, ProgressView{NULL, NULL}, &remains);
    FreeLibrary(image);
    EXPECT_TRUE(qxt::fileExists(readOnly));
    ASSERT_EQ(remains.count, 1);
    EXPECT_STREQ(remains.names[0], "c:\\windows\\qxdenied.exe not removed (access denied)");
    ASSERT_EQ(AtRestart.count, 1);
    EXPECT_STREQ(AtRestart.names[0], "c:\\windows\\system32\\drivers\\qxmapped.sys");
}

// The system may refuse to uninstall an INF (a device still uses its package):
// the final message names it with the system's error.
TEST(Files, AnInfTheSystemRefusesIsNamedWithItsError)
{
    std::string inf = sweep::addWindowsFile("inf", "oem61.inf");
    InfPathList list = {};
    list.count = 1;
    strcpy(list.paths[0], "OEM61.INF");
    Remains remains = {};
    UninstallOemInfs(
        list,
        [](PCSTR, DWORD, PVOID) WINAPI -> BOOL {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        },
        ProgressView{NULL, NULL}, &remains);
    ASSERT_EQ(remains.count, 1);
    EXPECT_STREQ(remains.names[0], "c:\\windows\\inf\\oem61.inf (Windows keeps it with its driver package: "
                                   "error 5)");
    EXPECT_TRUE(qxt::fileExists(inf));
}

// The 64-bit program looks for the package's Uninstall entry in the 32-bit view
// too, where a 32-bit setup program wrote it, and removes it there.
TEST(Start, TheUninstallEntryIsLookedForInBothRegistryViews)
{
    std::vector<REGSAM> views(UninstallEntryViews, UninstallEntryViews + UninstallEntryViewCount);
#ifdef _WIN64
    EXPECT_EQ(views, (std::vector<REGSAM>{0, KEY_WOW64_32KEY}));
#else
    EXPECT_EQ(views, (std::vector<REGSAM>{0}));
#endif
    static UninstallConfig cfg = {};
    strcpy(cfg.displayName, "QX770 Views Drivers");
    strcpy(cfg.uninstallKeyPath, "QX770Views");
    EXPECT_FALSE(IsPackageInstalled(cfg));
    sweep::addUninstallEntry("QX770Views", "QX770 Views Drivers",
                             UninstallEntryViews[UninstallEntryViewCount - 1]);
    EXPECT_TRUE(IsPackageInstalled(cfg));
    Remains remains = {};
    CleanRegistryNt(cfg, &remains);
    EXPECT_FALSE(IsPackageInstalled(cfg));
    EXPECT_EQ(remains.count, 0);
}

// On 64-bit Windows the 32-bit program refuses before it looks at anything. The
// 64-bit build, which WOW64 never hosts, runs in-process with the query replaced;
// the shipped 32-bit program (the bench's 32-bit lane) runs as itself under WOW64.
TEST(Start, UnderWow64NothingChangesAndThe64BitProgramIsNamed)
{
    EXPECT_FALSE(RunsUnderWow64()); // Wine's own answer for this 64-bit process
    setCountry("1");
    ASSERT_TRUE(sweep::addDevice("PCI\\VEN_14F1&DEV_8F80\\1", "PCI\\VEN_14F1&DEV_8F80&REV_01"));
    sweep::addWindowsFile("system32\\drivers", "qxwow.sys");
    sweep::addUninstallEntry("QX770Wow", "QX770 Wow Drivers");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 Wow\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8F80\n"
        "DevDrvSYS0=qxwow.sys\nDrvUninstRegKeyPath=QX770Wow\nDrvUninstRegKeyName=QX770 Wow Drivers\n");
    sweep::World before = sweep::snapshotWorld();
    std::string text;
    RecordProperty("run",
                   qxt::underWow64() ? "the 32-bit program under WOW64" : "in-process, query replaced");
    if (qxt::underWow64()) {
        text = sweep::runExpectingWarning("QX770 Wow");
    } else {
        Wow64Query = [](HANDLE, PBOOL wow64) WINAPI -> BOOL {
            *wow64 = TRUE;
            return TRUE;
        };
        std::thread answer([&] {
            HWND box = qxt::waitForDialog("QX770 Wow", 10000);
            if (box) {
                text = qxt::messageBoxText(box);
                qxt::pressButton(box, IDOK);
            }
        });
        theApp.InitInstance();
        answer.join();
    }
    EXPECT_EQ(text,
              "This is the 32-bit drvsweep, and this Windows is 64-bit: it would not see the 64-bit "
              "driver's files and registry keys. Nothing was changed.\n\nPlease run the 64-bit drvsweep "
              "(drvsweep.exe in the release's x64 folder).");
    EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty());
}

// A limited user on Windows XP gets no elevation prompt: the program says at start
// that it needs administrator rights, and changes nothing. Wine's user is always
// an administrator: the query is replaced.
TEST(Start, WithoutAdministratorRightsNothingChanges)
{
    setCountry("1");
    ASSERT_TRUE(
        sweep::addDevice("PCI\\VEN_14F1&DEV_8F81\\1", "PCI\\VEN_14F1&DEV_8F81&REV_01", NULL, "qxadm"));
    sweep::addWindowsFile("system32\\drivers", "qxadm.sys");
    sweep::addUninstallEntry("QX770Adm", "QX770 Adm Drivers");
    sweep::writeIni("[1]\nUnInstDrvAppTitle=QX770 Adm\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8F81\n"
                    "DevDrvSYS0=qxadm.sys\nUnInstServiceNum=1\nUnInstService0=qxadm\n"
                    "DrvUninstRegKeyPath=QX770Adm\nDrvUninstRegKeyName=QX770 Adm Drivers\n");
    sweep::World before = sweep::snapshotWorld();
    std::string text;
    Wow64Query = [](HANDLE, PBOOL wow64) WINAPI -> BOOL {
        *wow64 = FALSE;
        return TRUE;
    };
    AdminQueryFn realAdmin = AdminQuery;
    AdminQuery = [] { return false; };
    std::thread answer([&] {
        HWND box = qxt::waitForDialog("QX770 Adm", 10000);
        if (box) {
            text = qxt::messageBoxText(box);
            qxt::pressButton(box, IDOK);
        }
    });
    theApp.InitInstance();
    answer.join();
    AdminQuery = realAdmin;
    EXPECT_EQ(text, "Removing the drivers needs administrator rights, and this account has none: their files "
                    "and registry keys could not be changed. Nothing was changed.\n\nPlease log on as an "
                    "administrator and run drvsweep again.");
    EXPECT_TRUE(sweep::removedRoots(before, sweep::snapshotWorld()).empty());
}
