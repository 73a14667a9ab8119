// The release's setup program, as a user of Windows meets it: a silent install, a
// restart and log-on that start tunerkey from the Run key, a second install over the
// first, an older setup refused, an uninstall refused by a window that will not close,
// a silent uninstall with tunerkey running back to the snapshot from before, and an
// uninstall through its pages that removes tunerkey's settings too; checked from
// outside against the prefix's registry and files. The bench builds the setup with
// scripts/dist.sh into C:\qxdist first (QX_DIST_OUT), so that what is tested is what
// `make dist` ships, and beside it the same setup as version 0.9.0.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <iterator>
#include <vector>

#include "qxtest.h"

namespace
{

const char Dist[] = "C:\\qxdist";
const char Product[] = "QX770 Utilities";
const char RunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char UninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char EntryKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QX770 Utilities";
const char SettingsKey[] = "SOFTWARE\\Orvane Multimedia\\QX770 Utilities";
const char RemoteTitle[] = "QX770 Remote Control";
// tunerkey's main window class; its message boxes share the title.
const char RemoteClass[] = "QX770 Remote Control";

bool windows64()
{
    if (sizeof(void *) == 8)
        return true;
    typedef BOOL(WINAPI * Wow64Fn)(HANDLE, PBOOL);
    Wow64Fn query = (Wow64Fn)(void *)GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process");
    BOOL wow64 = FALSE;
    return query && query(GetCurrentProcess(), &wow64) && wow64;
}

// The registry view of this Windows' own programs, and the other one (0: none).
REGSAM nativeView()
{
    return windows64() ? KEY_WOW64_64KEY : 0;
}
REGSAM foreignView()
{
    return windows64() ? KEY_WOW64_32KEY : 0;
}

std::string envText(const char *name)
{
    char buf[MAX_PATH] = "";
    DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return n > 0 && n < sizeof buf ? buf : "";
}

// The program files folder of this Windows' own programs.
std::string programFiles()
{
    std::string w6432 = envText("ProgramW6432");
    return w6432.empty() ? envText("ProgramFiles") : w6432;
}

std::string installDir()
{
    return programFiles() + "\\" + Product;
}

std::string startMenuDir()
{
    char dir[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_COMMON_PROGRAMS, NULL, 0, dir);
    return std::string(dir) + "\\" + Product;
}

// The setup of this version, or of an older one built beside it.
std::string setupPath(const char *version)
{
    return std::string(Dist) + "\\qx770-utilities-setup-" + version + ".exe";
}

// The shipped program of this Windows' kind, as dist.sh staged it.
std::string stagedProgram(const char *name)
{
    return std::string(Dist) + "\\qx770-utilities\\" + (windows64() ? "x64\\" : "win32\\") + name;
}

bool sameContent(const std::string &a, const std::string &b)
{
    std::string x, y;
    return qxt::readFile(a, &x) && qxt::readFile(b, &y) && x == y;
}

std::string shortcutTarget(const std::string &lnk)
{
    std::string target;
    IShellLinkA *link = NULL;
    if (FAILED(
            CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, (void **)&link)))
        return target;
    IPersistFile *file = NULL;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void **)&file))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(link->GetPath(path, MAX_PATH, NULL, 0)))
            target = path;
        file->Release();
    }
    link->Release();
    return target;
}

// Uninstall entries named like ours, in both views.
int entriesNamed(const char *displayName)
{
    int count = 0;
    REGSAM views[] = {nativeView(), foreignView()};
    for (int v = 0; v < (windows64() ? 2 : 1); v++) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey, 0, KEY_READ | views[v], &key) != ERROR_SUCCESS)
            continue;
        char name[256];
        for (DWORD i = 0;; i++) {
            DWORD size = sizeof name;
            if (RegEnumKeyExA(key, i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
                break;
            std::string shown;
            if (qxt::regGetString(key, name, "DisplayName", &shown, views[v]) && shown == displayName)
                count++;
        }
        RegCloseKey(key);
    }
    return count;
}

// What an install may change: the machine's and the user's software keys (with the
// 32-bit view beneath, for a 64-bit program; Wine's own volatile state aside), and the
// folders of drive C: every one but the Windows folder and the users' profiles, then
// the shared profile and the user's application data and Start menu. (Wine links the
// user's other folders, Templates among them, to the Linux home, which is not the
// prefix's.)
qxt::Snapshot snapshotSystem()
{
    qxt::Snapshot s = qxt::snapshotRegistry(HKEY_LOCAL_MACHINE, "Software");
    const char wineOwn[] = "Software\\Wine\\Temporary System Parameters";
    for (const auto &e : qxt::snapshotRegistry(HKEY_CURRENT_USER, "Software"))
        if (_strnicmp(e.first.c_str(), wineOwn, strlen(wineOwn)))
            s["HKCU\\" + e.first] = e.second;
    std::string profile = envText("USERPROFILE");
    std::vector<std::string> dirs = {"C:\\users\\Public", profile + "\\AppData\\Local",
                                     profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu"};
    WIN32_FIND_DATAA fd;
    HANDLE f = FindFirstFileA("C:\\*", &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && strcmp(fd.cFileName, ".") &&
                strcmp(fd.cFileName, "..") && lstrcmpiA(fd.cFileName, "windows") &&
                lstrcmpiA(fd.cFileName, "users"))
                dirs.push_back(std::string("C:\\") + fd.cFileName);
        } while (FindNextFileA(f, &fd));
        FindClose(f);
    }
    std::string temp = envText("TEMP");
    for (const std::string &dir : dirs)
        for (const auto &e : qxt::snapshotDirectory(dir)) {
            std::string path = dir + "\\" + e.first;
            if (temp.empty() || _strnicmp(path.c_str(), temp.c_str(), temp.size()))
                s[path] = e.second;
        }
    return s;
}

// Runs a setup silently; its exit code, and how long it took.
int runSetup(const std::string &setup, DWORD *ms)
{
    DWORD start = GetTickCount();
    int rc = qxt::runProgram("\"" + setup + "\" /S", NULL, 120000);
    *ms = GetTickCount() - start;
    return rc;
}

// Runs the installed uninstaller silently, as the Uninstall entry's command does, but
// from a copy told where it belongs (_?=), so that its end is the end of the
// uninstall (run from the folder, it hands over to a copy of its own and ends).
int runUninstaller(DWORD *ms)
{
    std::string dir = qxt::makeTempDir("uninst");
    std::string copy = dir + "\\uninstall.exe";
    if (!CopyFileA((installDir() + "\\uninstall.exe").c_str(), copy.c_str(), FALSE))
        return -1;
    DWORD start = GetTickCount();
    int rc = qxt::runProgram("\"" + copy + "\" /S _?=" + installDir(), NULL, 120000);
    *ms = GetTickCount() - start;
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(dir.c_str());
    return rc;
}

struct Remote {
    HWND window = NULL;
    HANDLE process = NULL;
    DWORD pid = 0;
};

// tunerkey's window, once it is there, and its process.
Remote findRemote(DWORD ms)
{
    Remote r;
    r.window = qxt::waitUntil([&] { return FindWindowA(RemoteClass, NULL) != NULL; }, ms)
                   ? FindWindowA(RemoteClass, NULL)
                   : NULL;
    if (r.window && GetWindowThreadProcessId(r.window, &r.pid))
        r.process = OpenProcess(SYNCHRONIZE, FALSE, r.pid);
    return r;
}

bool ended(Remote *r)
{
    bool done = r->process && WaitForSingleObject(r->process, 0) == WAIT_OBJECT_0;
    if (r->process)
        CloseHandle(r->process);
    r->process = NULL;
    return done && FindWindowA(RemoteClass, NULL) == NULL;
}

// The installed programs are this Windows' own build; the Start menu, the Run value
// (unless the log-on start was cleared) and one Uninstall entry are there, each in
// the registry view of that build.
void expectInstalled(bool startsAtLogOn = true)
{
    std::string dir = installDir();
    for (const char *exe : {"tunerkey.exe", "drvsweep.exe"})
        EXPECT_TRUE(sameContent(dir + "\\" + exe, stagedProgram(exe))) << exe << " is not the shipped one";
    EXPECT_TRUE(qxt::fileExists(dir + "\\GUIDE.md"));
    EXPECT_TRUE(qxt::fileExists(dir + "\\keymap.ini"));
    EXPECT_TRUE(qxt::fileExists(dir + "\\uninstall.exe"));

    struct {
        const char *lnk, *target;
    } const shortcuts[] = {
        {"tunerkey.lnk", "tunerkey.exe"},
        {"drvsweep.lnk", "drvsweep.exe"},
        {"Uninstall QX770 Utilities.lnk", "uninstall.exe"},
    };
    for (const auto &s : shortcuts)
        EXPECT_STRCASEEQ(shortcutTarget(startMenuDir() + "\\" + s.lnk).c_str(),
                         (dir + "\\" + s.target).c_str())
            << s.lnk;
    // The guide opens in Notepad.
    std::string guide = shortcutTarget(startMenuDir() + "\\Guide.lnk");
    EXPECT_NE(guide.find("notepad.exe"), std::string::npos) << guide;

    std::string run;
    EXPECT_EQ(qxt::regGetString(HKEY_LOCAL_MACHINE, RunKey, "tunerkey", &run, nativeView()), startsAtLogOn);
    EXPECT_EQ(run, startsAtLogOn ? "\"" + dir + "\\tunerkey.exe\"" : "");
    if (windows64()) {
        EXPECT_FALSE(qxt::regValueExists(HKEY_LOCAL_MACHINE, RunKey, "tunerkey", foreignView()));
    }

    struct {
        const char *name;
        std::string value;
    } const entry[] = {
        {"DisplayName", Product},           {"DisplayVersion", QX_VERSION},
        {"Publisher", "Orvane Multimedia"}, {"DisplayIcon", dir + "\\tunerkey.exe,0"},
        {"InstallLocation", dir},           {"UninstallString", "\"" + dir + "\\uninstall.exe\""},
    };
    for (const auto &e : entry) {
        std::string got;
        EXPECT_TRUE(qxt::regGetString(HKEY_LOCAL_MACHINE, EntryKey, e.name, &got, nativeView())) << e.name;
        EXPECT_EQ(got, e.value) << e.name;
    }
    DWORD kb = 0;
    EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, EntryKey, "EstimatedSize", &kb, nativeView()));
    EXPECT_GT(kb, 100u);
    EXPECT_EQ(entriesNamed(Product), 1);
    // The driver package's entry, which drvsweep looks for, is not ours to write.
    EXPECT_EQ(entriesNamed("Orvane Velto WDM Drivers"), 0);
}

// The first visible window beneath `parent` (among the top-level ones for NULL) whose
// title starts with `text`, or whose class is `text`, waiting up to `ms`.
struct WindowSearch {
    bool byTitle;
    const char *text;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND w, LPARAM param)
{
    WindowSearch *s = (WindowSearch *)param;
    if (IsWindowVisible(w) &&
        (s->byTitle ? qxt::windowText(w).rfind(s->text, 0) == 0 : qxt::className(w) == s->text))
        s->found = w;
    return s->found == NULL;
}

HWND waitForVisible(HWND parent, bool byTitle, const char *text, DWORD ms)
{
    WindowSearch s = {byTitle, text, NULL};
    qxt::waitUntil(
        [&] {
            if (parent)
                EnumChildWindows(parent, matchWindow, (LPARAM)&s);
            else
                EnumWindows(matchWindow, (LPARAM)&s);
            return s.found != NULL;
        },
        ms);
    return s.found;
}

// The uninstaller as a user runs it: Next on the first page, the settings ticked on
// the components page (the second entry, toggled with the space bar as the tree
// takes it), Uninstall, then Close once it is done. The step that failed, or "".
std::string uninstallWithSettingsTicked()
{
    std::string dir = qxt::makeTempDir("uninst");
    std::string copy = dir + "\\uninstall.exe";
    qxt::Child child;
    if (!CopyFileA((installDir() + "\\uninstall.exe").c_str(), copy.c_str(), FALSE) ||
        !qxt::startProcess("\"" + copy + "\" _?=" + installDir(), &child))
        return "start";
    std::string failed;
    // NSIS puts each page's own subcaption after the title.
    HWND main = waitForVisible(NULL, true, "QX770 Utilities Uninstall", 30000);
    HWND tree =
        main && qxt::pressButton(main, IDOK) ? waitForVisible(main, false, WC_TREEVIEWA, 20000) : NULL;
    HTREEITEM root = tree ? TreeView_GetRoot(tree) : NULL;
    HTREEITEM settings = root ? TreeView_GetNextSibling(tree, root) : NULL;
    if (!settings) {
        failed = main ? "the components page" : "the first page";
    } else {
        UINT off = TreeView_GetItemState(tree, settings, TVIS_STATEIMAGEMASK);
        TreeView_SelectItem(tree, settings);
        PostMessageA(tree, WM_KEYDOWN, VK_SPACE, 0);
        if (!qxt::waitUntil(
                [&] { return TreeView_GetItemState(tree, settings, TVIS_STATEIMAGEMASK) != off; }))
            failed = "the tick";
        else if (!qxt::pressButton(main, IDOK) ||
                 !qxt::waitUntil(
                     [] { return !qxt::regKeyExists(HKEY_LOCAL_MACHINE, EntryKey, nativeView()); }, 30000))
            failed = "the uninstall";
        // Close, on the last page, once it has ended.
        qxt::pumpMessages(500);
        qxt::pressButton(main, IDOK);
    }
    int rc = qxt::waitProcess(&child, 30000);
    if (failed.empty() && rc != 0)
        failed = "exit code " + std::to_string(rc);
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(dir.c_str());
    return failed;
}

TEST(Setup, InstallsStartsAtLogOnReinstallsAndUninstallsToTheSnapshotBefore)
{
    ASSERT_TRUE(qxt::fileExists(setupPath(QX_VERSION))) << setupPath(QX_VERSION);
    CoInitialize(NULL);
    // tunerkey's settings as a user left them: the uninstaller must keep them all.
    struct {
        const char *name;
        DWORD number;
    } const settings[] = {
        {"DefaultTVAPP", 2},        {"AlwaysRemoteOff", 0},        {"RemoteServer", 1},
        {"RemoteServerPort", 8765}, {"RemoteServerAnyAddress", 0},
    };
    for (const auto &s : settings)
        ASSERT_TRUE(qxt::regSetDword(HKEY_LOCAL_MACHINE, SettingsKey, s.name, s.number, nativeView()));
    qxt::Snapshot before = snapshotSystem();

    DWORD installMs = 0;
    ASSERT_EQ(runSetup(setupPath(QX_VERSION), &installMs), 0);
    expectInstalled();

    // A restart of the prefix, then a log-on. Wine's restart (wineboot -r) leaves the
    // Run keys alone; wineboot without options, the log-on, carries them out.
    ASSERT_EQ(qxt::runProgram("wineboot.exe -r", NULL, 60000), 0);
    bool byRestart = findRemote(2000).window != NULL;
    printf("setup: the restart (wineboot -r) started tunerkey: %s\n", byRestart ? "yes" : "no");
    ASSERT_EQ(qxt::runProgram("wineboot.exe", NULL, 60000), 0);
    Remote remote = findRemote(30000);
    ASSERT_TRUE(remote.window) << "the log-on did not start tunerkey from the Run value";

    // Over the same version, with tunerkey running and a program file damaged: the
    // program is closed, the files are replaced, and the entry stays one.
    ASSERT_TRUE(qxt::writeFile(installDir() + "\\drvsweep.exe", "damaged"));
    DWORD againMs = 0;
    ASSERT_EQ(runSetup(setupPath(QX_VERSION), &againMs), 0);
    EXPECT_TRUE(ended(&remote)) << "the second install left tunerkey running";
    expectInstalled();

    // An older setup over this version is refused and changes nothing.
    DWORD ms = 0;
    EXPECT_EQ(runSetup(setupPath("0.9.0"), &ms), 3);
    expectInstalled();

    // A remote-control window that will not close fails the uninstall, in silent mode
    // too, before anything is removed.
    {
        qxt::MessageRecorder stuck(RemoteClass, RemoteTitle);
        EXPECT_EQ(runUninstaller(&ms), 4);
        expectInstalled();
    }

    // Uninstalled with tunerkey running, started by the Run value's command line.
    std::string run;
    ASSERT_TRUE(qxt::regGetString(HKEY_LOCAL_MACHINE, RunKey, "tunerkey", &run, nativeView()));
    qxt::Child child;
    ASSERT_TRUE(qxt::startProcess(run, &child));
    CloseHandle(child.process);
    remote = findRemote(30000);
    ASSERT_TRUE(remote.window);
    DWORD uninstallMs = 0;
    EXPECT_EQ(runUninstaller(&uninstallMs), 0);
    EXPECT_TRUE(ended(&remote)) << "the uninstaller left tunerkey running";

    // tunerkey's settings aside (checked value by value below): whatever else the
    // setup added is gone.
    qxt::Snapshot after = snapshotSystem();
    // tunerkey writes the user's own under HKCU; the uninstaller keeps them too.
    const char userSettings[] = "HKCU\\Software\\Orvane Multimedia";
    for (qxt::Snapshot *s : {&before, &after})
        for (auto e = s->begin(); e != s->end();)
            e = _strnicmp(e->first.c_str(), SettingsKey, strlen(SettingsKey)) &&
                        _strnicmp(e->first.c_str(), userSettings, strlen(userSettings))
                    ? std::next(e)
                    : s->erase(e);
    qxt::SnapshotDiff diff = qxt::diffSnapshots(before, after);
    EXPECT_TRUE(diff.empty()) << qxt::describe(diff);
    for (const auto &s : settings) {
        DWORD number = 0;
        EXPECT_TRUE(qxt::regGetDword(HKEY_LOCAL_MACHINE, SettingsKey, s.name, &number, nativeView()))
            << s.name;
        EXPECT_EQ(number, s.number) << s.name;
    }
    // Asked by the user, the uninstaller removes the settings too, and the vendor's key
    // that held only them.
    ASSERT_EQ(runSetup(setupPath(QX_VERSION), &ms), 0);
    EXPECT_EQ(uninstallWithSettingsTicked(), "");
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, SettingsKey, nativeView()));
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane Multimedia", nativeView()));
    EXPECT_FALSE(qxt::fileExists(installDir()));

    printf("setup: install %lu ms, install over it %lu ms, uninstall %lu ms\n", (unsigned long)installMs,
           (unsigned long)againMs, (unsigned long)uninstallMs);
    CoUninitialize();
}

BOOL CALLBACK firstGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR found)
{
    *(LPSTR *)found = name;
    return FALSE;
}

// Every program that ships (both builds, and the setup): the project's version in
// its version resource (and in its manifest, for ours), a manifest for today's
// Windows (each supported system named, DPI aware), and its icon at every size.
TEST(Setup, EveryShippedProgramCarriesTheVersionTheManifestAndTheIcons)
{
    const char *supportedOs[] = {
        "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
        "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
        "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
    };
    const std::string fileVersion = std::string(QX_VERSION) + ".0";
    std::vector<std::string> programs = {setupPath(QX_VERSION)};
    for (const char *build : {"win32", "x64"})
        for (const char *exe : {"tunerkey.exe", "drvsweep.exe"})
            programs.push_back(std::string(Dist) + "\\qx770-utilities\\" + build + "\\" + exe);
    for (const std::string &path : programs) {
        SCOPED_TRACE(path);
        bool ours = path != setupPath(QX_VERSION); // built here, not by NSIS
        DWORD handle = 0, size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u);
        std::vector<char> info(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));
        VS_FIXEDFILEINFO *fixed = NULL;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(info.data(), "\\", (void **)&fixed, &length));
        char text[64];
        snprintf(text, sizeof text, "%u.%u.%u.%u", (unsigned)HIWORD(fixed->dwFileVersionMS),
                 (unsigned)LOWORD(fixed->dwFileVersionMS), (unsigned)HIWORD(fixed->dwFileVersionLS),
                 (unsigned)LOWORD(fixed->dwFileVersionLS));
        EXPECT_EQ(text, fileVersion);

        HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, (HMODULE)NULL);
        HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
        ASSERT_NE(res, (HRSRC)NULL);
        std::string manifest((const char *)LockResource(LoadResource(module, res)),
                             SizeofResource(module, res));
        for (const char *os : supportedOs)
            EXPECT_NE(manifest.find(os), std::string::npos) << os;
        EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
        if (ours) {
            EXPECT_NE(manifest.find("version=\"" + fileVersion + "\""), std::string::npos);
        }

        LPSTR group = NULL;
        EnumResourceNamesA(module, (LPCSTR)RT_GROUP_ICON, firstGroup, (LONG_PTR)&group);
        ASSERT_NE(group, (LPSTR)NULL);
        const BYTE *dir = (const BYTE *)LockResource(
            LoadResource(module, FindResourceA(module, group, (LPCSTR)RT_GROUP_ICON)));
        std::vector<int> sizes;
        for (WORD i = 0; i < *(const WORD *)(dir + 4); ++i) {
            const BYTE *entry = dir + 6 + 14 * i;
            if (*(const WORD *)(entry + 6) == 32)
                sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        }
        std::sort(sizes.begin(), sizes.end());
        EXPECT_EQ(sizes, (std::vector<int>{16, 20, 24, 32, 40, 48, 256}));
        FreeLibrary(module);
    }
}

std::string installedVersion()
{
    std::string version;
    qxt::regGetString(HKEY_LOCAL_MACHINE, EntryKey, "DisplayVersion", &version, nativeView());
    return version;
}

// An upgrade from the older version, as it meets a user's machine: the log-on start
// the user cleared, a program file held open, tunerkey showing a box.
TEST(Setup, AnUpgradeFailsWholeOnAFileInUseClosesTunerkeyBehindItsBoxAndKeepsTheLogOnChoice)
{
    CoInitialize(NULL);
    DWORD ms = 0;
    ASSERT_EQ(runSetup(setupPath("0.9.0"), &ms), 0);
    ASSERT_TRUE(qxt::regDeleteValue(HKEY_LOCAL_MACHINE, RunKey, "tunerkey", nativeView()));

    // Held open (by another session's tunerkey, a scanner): nothing is replaced.
    std::string program = installDir() + "\\tunerkey.exe";
    ASSERT_TRUE(qxt::fileExists(installDir() + "\\drvsweep.exe"));
    HANDLE held = CreateFileA(program.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(qxt::writeFile(installDir() + "\\drvsweep.exe", "older"));
    EXPECT_EQ(runSetup(setupPath(QX_VERSION), &ms), 5);
    CloseHandle(held);
    EXPECT_EQ(installedVersion(), "0.9.0");
    std::string now;
    EXPECT_TRUE(qxt::readFile(installDir() + "\\drvsweep.exe", &now) && now == "older")
        << "a file was replaced";

    // tunerkey with its "port in use" box up: the setup closes the program, not the box.
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(other, (sockaddr *)&a, sizeof a), 0);
    ASSERT_EQ(listen(other, 1), 0);
    int size = sizeof a;
    getsockname(other, (sockaddr *)&a, &size);
    qxt::regSetDword(HKEY_CURRENT_USER, SettingsKey, "RemoteServer", 1);
    qxt::regSetDword(HKEY_CURRENT_USER, SettingsKey, "RemoteServerPort", ntohs(a.sin_port));
    qxt::Child child;
    ASSERT_TRUE(qxt::startProcess("\"" + program + "\"", &child));
    CloseHandle(child.process);
    Remote remote = findRemote(30000);
    ASSERT_TRUE(remote.window);
    ASSERT_TRUE(qxt::waitForDialog(RemoteTitle, 10000));
    EXPECT_EQ(runSetup(setupPath(QX_VERSION), &ms), 0);
    EXPECT_TRUE(ended(&remote)) << "the setup left tunerkey running";
    EXPECT_EQ(installedVersion(), QX_VERSION);
    expectInstalled(false);
    closesocket(other);
    WSACleanup();
    qxt::regDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane Multimedia");

    // A file in use goes at the restart: the entry goes with the rest, and the
    // exit code says a restart is needed.
    HANDLE busy = CreateFileA(program.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    EXPECT_EQ(runUninstaller(&ms), 3010);
    CloseHandle(busy);
    EXPECT_FALSE(qxt::regKeyExists(HKEY_LOCAL_MACHINE, EntryKey, nativeView()));
    CoUninitialize();
}

// The process that started `pid` (it may have ended since).
DWORD parentOf(DWORD pid)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 e = {};
    e.dwSize = sizeof e;
    DWORD parent = 0;
    for (BOOL more = Process32First(snap, &e); more && !parent; more = Process32Next(snap, &e))
        parent = e.th32ProcessID == pid ? e.th32ParentProcessID : 0;
    CloseHandle(snap);
    return parent;
}

} // namespace

// The finish page's "Start tunerkey now", through the pages as a user goes: the
// setup runs with the administrator's token, so tunerkey is handed to the shell
// (Explorer), not started as the setup's child.
TEST(Setup, TheFinishPageStartsTunerkeyThroughTheShell)
{
    qxt::Child setup;
    ASSERT_TRUE(qxt::startProcess("\"" + setupPath(QX_VERSION) + "\"", &setup));
    HWND main = waitForVisible(NULL, true, "QX770 Utilities Setup", 30000);
    ASSERT_TRUE(main);
    // Next on each page once it may be pressed (after the files too), then Finish.
    qxt::waitUntil(
        [&] {
            HWND next = GetDlgItem(main, IDOK);
            if (IsWindow(main) && IsWindowVisible(next) && IsWindowEnabled(next))
                qxt::pressButton(main, IDOK);
            qxt::pumpMessages(500);
            return !IsWindow(main);
        },
        60000);
    EXPECT_EQ(qxt::waitProcess(&setup, 10000), 0);
    Remote remote = findRemote(30000);
    ASSERT_TRUE(remote.window) << "the finish page did not start tunerkey";
    DWORD parent = parentOf(remote.pid);
    EXPECT_NE(parent, 0u);
    EXPECT_NE(parent, setup.pid) << "tunerkey is the setup's child";
    DWORD ms = 0;
    EXPECT_EQ(runUninstaller(&ms), 0);
    EXPECT_TRUE(ended(&remote));
}
