// The uninstaller's fixtures: the INI file, fake devices and the package's registry traces
// laid out, and the uninstaller driven through its dialog.
#include "sweep_fixtures.h"

#include <commctrl.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <gtest/gtest.h>

namespace sweep
{

const char MediaClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96C-E325-11CE-BFC1-08002BE10318}";
const char ImagingClassKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\Class\\{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}";
const char MediaClass9xKey[] = "SYSTEM\\CurrentControlSet\\Services\\Class\\MEDIA";
const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string windowsDir()
{
    char buf[MAX_PATH];
    GetWindowsDirectoryA(buf, sizeof buf);
    return buf;
}

void writeIni(const std::string &text)
{
    std::string path = windowsDir() + "\\TVQ7Drv.ini";
    if (text.empty())
        DeleteFileA(path.c_str());
    else
        ASSERT_TRUE(qxt::writeFile(path, text));
    // Profile functions may cache the file; this drops the cache.
    WritePrivateProfileStringA(NULL, NULL, NULL, "TVQ7Drv.ini");
}

static bool registerDevice(const std::string &instanceId, const std::string &hardwareId);

static std::string enumKeyOf(const std::string &instanceId)
{
    return "SYSTEM\\CurrentControlSet\\Enum\\" + instanceId;
}

std::string mediaDriverKey(const char *subkey)
{
    return std::string("{4D36E96C-E325-11CE-BFC1-08002BE10318}\\") + subkey;
}

bool addDevice(const std::string &instanceId, const std::string &hardwareId, const char *driverKey,
               const char *service)
{
    if (!registerDevice(instanceId, hardwareId))
        return false;
    // SPDRP_DRIVER and SPDRP_SERVICE read these values of the device's key.
    std::string key = enumKeyOf(instanceId);
    return (!driverKey || qxt::regSetString(HKEY_LOCAL_MACHINE, key.c_str(), "Driver", driverKey)) &&
           (!service || qxt::regSetString(HKEY_LOCAL_MACHINE, key.c_str(), "Service", service));
}

void markNotPresent(const std::string &instanceId)
{
    EXPECT_TRUE(qxt::regSetDword(HKEY_LOCAL_MACHINE, enumKeyOf(instanceId).c_str(), "Phantom", 1));
}

PVOID WINAPI presentAwareDeviceList(const GUID *cls, PCSTR enumerator, HWND parent, DWORD flags)
{
    HDEVINFO all = SetupDiGetClassDevsA(cls, enumerator, parent, flags & ~DIGCF_PRESENT);
    if (all == INVALID_HANDLE_VALUE || !(flags & DIGCF_PRESENT))
        return all;
    HDEVINFO present = SetupDiCreateDeviceInfoList(NULL, NULL);
    SP_DEVINFO_DATA dev;
    for (DWORD i = 0;; i++) {
        memset(&dev, 0, sizeof dev);
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(all, i, &dev))
            break;
        char id[512] = "";
        if (!SetupDiGetDeviceInstanceIdA(all, &dev, id, sizeof id, NULL))
            continue;
        DWORD phantom = 0;
        if (qxt::regGetDword(HKEY_LOCAL_MACHINE, enumKeyOf(id).c_str(), "Phantom", &phantom) && phantom)
            continue;
        SetupDiOpenDeviceInfoA(present, id, NULL, 0, NULL);
    }
    SetupDiDestroyDeviceInfoList(all);
    return present;
}

bool runAndWait(const std::string &command, DWORD ms)
{
    qxt::Child child;
    return qxt::startProcess(command, &child) && qxt::waitProcess(&child, ms) == 0;
}

bool restartPrefix()
{
    // Windows ends every program and driver before it starts again; here only the
    // driver host holds a file the tests schedule.
    runAndWait("taskkill /f /im winedevice.exe", 10000);
    return runAndWait("wineboot -r", 60000);
}

static bool registerDevice(const std::string &instanceId, const std::string &hardwareId)
{
    HDEVINFO set = SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_MEDIA, NULL);
    if (set == INVALID_HANDLE_VALUE)
        return false;
    SP_DEVINFO_DATA dev;
    memset(&dev, 0, sizeof dev);
    dev.cbSize = sizeof dev;
    std::string ids = hardwareId + std::string(2, '\0');
    bool ok = SetupDiCreateDeviceInfoA(set, instanceId.c_str(), &GUID_DEVCLASS_MEDIA, NULL, NULL, 0, &dev) &&
              SetupDiSetDeviceRegistryPropertyA(set, &dev, SPDRP_HARDWAREID, (const BYTE *)ids.data(),
                                                (DWORD)ids.size()) &&
              SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &dev);
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

std::vector<std::string> presentHardwareIds()
{
    std::vector<std::string> out;
    HDEVINFO set = SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    SP_DEVINFO_DATA dev;
    for (DWORD i = 0;; i++) {
        memset(&dev, 0, sizeof dev);
        dev.cbSize = sizeof dev;
        if (!SetupDiEnumDeviceInfo(set, i, &dev))
            break;
        char buf[1024] = "";
        if (SetupDiGetDeviceRegistryPropertyA(set, &dev, SPDRP_HARDWAREID, NULL, (BYTE *)buf, sizeof buf - 2,
                                              NULL))
            out.push_back(buf);
    }
    SetupDiDestroyDeviceInfoList(set);
    return out;
}

void addClassSubkey(const char *classKey, const char *name, const char *desc, const char *infPath)
{
    std::string path = std::string(classKey) + "\\" + name;
    if (desc) {
        ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, path.c_str(), "DriverDesc", desc));
    } else {
        ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, path.c_str(), "ProviderName", "Other"));
    }
    if (infPath) {
        ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, path.c_str(), "InfPath", infPath));
    }
}

void addService(const char *name, const char *imagePath, const char *dependsOn)
{
    std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + name;
    ASSERT_TRUE(qxt::regSetDword(HKEY_LOCAL_MACHINE, key.c_str(), "Type", SERVICE_KERNEL_DRIVER));
    if (imagePath) {
        ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, key.c_str(), "ImagePath", imagePath));
    }
    if (dependsOn)
        setNameList(key, "DependOnService", {dependsOn});
}

void setNameList(const std::string &keyPath, const char *value, const std::vector<std::string> &names)
{
    std::string list;
    for (const std::string &n : names)
        list += n + '\0';
    list += '\0';
    HKEY key;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
        ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, value, 0, REG_MULTI_SZ, (const BYTE *)list.data(), (DWORD)list.size()),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

std::vector<std::string> nameList(const std::string &keyPath, const char *value)
{
    char list[1024] = {};
    DWORD size = sizeof list - 2;
    std::vector<std::string> names;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, keyPath.c_str(), value, RRF_RT_REG_MULTI_SZ, NULL, list, &size) !=
        ERROR_SUCCESS)
        return names;
    for (const char *p = list; *p; p += strlen(p) + 1)
        names.push_back(p);
    return names;
}

void addUninstallEntry(const char *keyName, const char *displayName, REGSAM view)
{
    std::string path = std::string(UninstallKey) + "\\" + keyName;
    ASSERT_TRUE(qxt::regSetString(HKEY_LOCAL_MACHINE, path.c_str(), "DisplayName", displayName, view));
}

std::string addWindowsFile(const std::string &folder, const std::string &name)
{
    std::string dir = folder.empty() ? windowsDir() : windowsDir() + "\\" + folder;
    qxt::makeDirs(dir);
    std::string path = dir + "\\" + name;
    EXPECT_TRUE(qxt::writeFile(path, "driver package file " + name)) << path;
    return path;
}

// Wine's desktop process registers the display under HKLM when the first window
// of the session appears; that happens here, before any snapshot.
static void startDesktop()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    HWND w = CreateWindowExA(0, "STATIC", "warm-up", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    DestroyWindow(w);
    qxt::pumpMessages(300);
}

World snapshotWorld()
{
    startDesktop();
    World w;
    w.system = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet");
    w.software =
        qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    w.windows = qxt::snapshotDirectory(windowsDir());
    // Also the 9x enumerator keys, which live under HKLM\Enum.
    qxt::Snapshot e = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, "Enum");
    w.system.insert(e.begin(), e.end());
    return w;
}

// Wine keeps its own bookkeeping there while programs run.
static bool incidental(const std::string &entry)
{
    // The Session Manager's key and WININIT.INI also hold what was scheduled for
    // the next start: the tests look at those files after a restart.
    static const char *const prefixes[] = {"temp\\", "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses",
                                           "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                           "wininit.ini"};
    for (const char *p : prefixes)
        if (_strnicmp(entry.c_str(), p, strlen(p)) == 0)
            return true;
    return false;
}

static void collect(const qxt::Snapshot &before, const qxt::Snapshot &after,
                    std::vector<std::string> *removed, const char *changed)
{
    qxt::SnapshotDiff d = qxt::diffSnapshots(before, after);
    for (const std::string &a : d.added)
        EXPECT_TRUE(incidental(a)) << "unexpectedly added: " << a;
    for (const std::string &c : d.changed)
        EXPECT_TRUE(incidental(c) || (changed && _stricmp(c.c_str(), changed) == 0))
            << "unexpectedly changed: " << c;
    for (const std::string &r : d.removed)
        if (!incidental(r))
            removed->push_back(r);
}

std::vector<std::string> removedEntries(const World &before, const World &after, const char *changed)
{
    std::vector<std::string> removed;
    collect(before.system, after.system, &removed, changed);
    collect(before.software, after.software, &removed, changed);
    collect(before.windows, after.windows, &removed, changed);
    return removed;
}

std::set<std::string> removedRoots(const World &before, const World &after, const char *changed)
{
    std::vector<std::string> removed = removedEntries(before, after, changed);
    std::set<std::string> all(removed.begin(), removed.end()), roots;
    for (const std::string &r : removed) {
        if (r.find("\\:") != std::string::npos)
            continue;
        std::string name = r.back() == '\\' ? r.substr(0, r.size() - 1) : r;
        size_t slash = name.find_last_of('\\');
        std::string parent = slash == std::string::npos ? "" : name.substr(0, slash);
        if (!all.count(parent) && !all.count(parent + "\\"))
            roots.insert(r);
    }
    return roots;
}

void expectRemoved(const std::set<std::string> &roots, const std::set<std::string> &expected,
                   const char *ignored)
{
    for (const std::string &r : roots) {
        if (!ignored || r.rfind(ignored, 0) != 0) {
            EXPECT_TRUE(expected.count(r)) << "removed, but not named: " << r;
        }
    }
    for (const std::string &e : expected)
        EXPECT_TRUE(roots.count(e)) << "named, but not removed: " << e;
}

// The visible dialog or message box of this caption other than `except`.
static HWND findDialog(const char *caption, HWND except)
{
    struct Search {
        const char *caption;
        HWND except, found;
    } s = {caption, except, NULL};
    EnumWindows(
        [](HWND w, LPARAM lp) CALLBACK -> BOOL {
            Search *s = (Search *)lp;
            if (w != s->except && IsWindowVisible(w) && qxt::className(w) == "#32770" &&
                qxt::windowText(w) == s->caption) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&s);
    return s.found;
}

static HWND waitDialog(const char *caption, HWND except, DWORD ms)
{
    HWND found = NULL;
    qxt::waitUntil([&] { return (found = findDialog(caption, except)) != NULL; }, ms);
    return found;
}

static bool start(qxt::Child *child)
{
    return qxt::startProcess("\"" + qxt::programUnderTest("drvsweep.exe") + "\"", child);
}

SweepRun runSweep(const char *title, bool pressOk)
{
    SweepRun run;
    qxt::Child child;
    if (!start(&child)) {
        ADD_FAILURE() << "drvsweep.exe did not start";
        return run;
    }
    HWND dlg = waitDialog(title, NULL, 10000);
    run.dialogShown = dlg != NULL;
    if (dlg) {
        run.caption = qxt::windowText(dlg);
        run.runTip = qxt::controlText(dlg, 1001);
        run.okText = qxt::controlText(dlg, IDOK);
        HWND bar = GetDlgItem(dlg, 1000);
        run.barShownBeforeOk = IsWindowVisible(bar) != FALSE;
        if (pressOk) {
            qxt::pressButton(dlg, IDOK);
            // The bar is read while the run pauses between files.
            DWORD started = GetTickCount();
            while (IsWindow(dlg) && IsWindowVisible(dlg)) {
                if (GetTickCount() - started > 60000) {
                    ADD_FAILURE() << "the run did not end within 60 s";
                    break;
                }
                DWORD_PTR pos = 0;
                if (IsWindowVisible(bar) &&
                    SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 100, &pos) &&
                    (run.positions.empty() || run.positions.back() != (int)pos))
                    run.positions.push_back((int)pos);
                qxt::pumpMessages(2); // a window of this thread may be sent WM_CLOSE
            }
            // The dialog lives on, hidden, while the final message shows: its bar
            // tells where the run left it.
            DWORD_PTR last = 0;
            if (IsWindow(bar) && SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 2000, &last) &&
                (run.positions.empty() || run.positions.back() != (int)last))
                run.positions.push_back((int)last);
            HWND box = waitDialog(title, dlg, 3000);
            run.finalBox = box != NULL;
            if (box) {
                run.finalText = qxt::messageBoxText(box);
                qxt::pressButton(box, IDOK);
            }
        } else {
            PostMessageA(dlg, WM_CLOSE, 0, 0);
        }
    }
    run.exitCode = qxt::waitProcess(&child, 30000);
    return run;
}

std::string runExpectingWarning(const char *title)
{
    qxt::Child child;
    if (!start(&child)) {
        ADD_FAILURE() << "drvsweep.exe did not start";
        return "";
    }
    std::string text;
    HWND box = waitDialog(title, NULL, 10000);
    if (box) {
        text = qxt::messageBoxText(box);
        qxt::pressButton(box, IDOK);
    }
    EXPECT_EQ(qxt::waitProcess(&child, 10000), 0);
    return text;
}

} // namespace sweep
