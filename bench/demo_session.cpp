// The scripted demonstration run by scripts/demo.sh inside the Wine bench: the
// simulated card's remote (simremote.exe) drives tunerkey.exe and the stand-in applications,
// and every step is told on standard output: the key pressed, and what each
// application received. "SNAP name" lines ask the script for a screenshot; it
// answers by creating "<out>\.name.done".
//   e2e_demo.exe OUTDIR
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "card_client.h"
#include "program_run.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "standin_client.h"
#include "sweep_fixtures.h"
#include "tray_bench.h"

using namespace e2e;

namespace
{

std::string outDir;
int problems = 0;

void say(const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    printf("\n");
    fflush(stdout);
}

void problem(const char *what)
{
    ++problems;
    say("   !! %s", what);
}

// A screenshot of the desktop; with `around`, also one of that part of it
// ("SNAP name" or "SNAP name x y width height").
// The window with a margin of desktop around it.
RECT frameOf(HWND w, int margin = 12)
{
    RECT r = {0, 0, 0, 0};
    GetWindowRect(w, &r);
    InflateRect(&r, margin, margin);
    if (r.left < 0)
        r.left = 0;
    if (r.top < 0)
        r.top = 0;
    return r;
}

void snap(const char *name, const RECT *around = NULL)
{
    qxt::pumpMessages(400); // let the desktop paint
    if (around != NULL)
        say("SNAP %s %ld %ld %ld %ld", name, around->left, around->top, around->right - around->left,
            around->bottom - around->top);
    else
        say("SNAP %s", name);
    std::string done = outDir + "\\." + name + ".done";
    if (!qxt::waitUntil([&] { return qxt::fileExists(done); }, 10000))
        problem("no screenshot taken");
}

// What a key is, for the transcript; simremote knows the power and shut-down
// keys by name.
const char *keyMeaning(int code)
{
    static const char *const digits[] = {"",        "digit 1", "digit 2", "digit 3", "digit 4", "digit 5",
                                         "digit 6", "digit 7", "digit 8", "digit 9", "digit 0"};
    if (code >= 1 && code <= 10)
        return digits[code];
    return code == 18 ? "the power key" : code == 15 ? "the shut-down key, code 15" : "";
}

std::string remoteName(int code)
{
    return code == 18 ? "power" : code == 15 ? "shutdown" : std::to_string(code);
}

std::string readable(const std::string &line)
{
    // "KEYDOWN main 0x35 0x00060001 -" -> "WM_KEYDOWN 0x35 '5' lParam 0x00060001"
    std::vector<std::string> f = qxt::splitAtBlanks(line);
    if (f.size() == 5 &&
        (f[0] == "KEYDOWN" || f[0] == "KEYUP" || f[0] == "SYSKEYDOWN" || f[0] == "SYSKEYUP")) {
        unsigned vk = strtoul(f[2].c_str(), NULL, 16);
        std::string ch = (vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')
                             ? std::string(" '") + (char)vk + "'"
                         : vk == VK_CONTROL ? " Ctrl"
                         : vk == VK_MENU    ? " Alt"
                         : vk == VK_SHIFT   ? " Shift"
                         : vk == VK_F8      ? " F8"
                                            : "";
        std::string held = f[4] == "-" ? "" : " (held: " + f[4] + ")";
        return "WM_" + f[0] + " " + f[2] + ch + " lParam " + f[3] + held;
    }
    if (f.size() >= 2 && f[0] == "QUIT")
        return "window closed (" + f[1] + ")";
    return line;
}

// Prints what `app` received from log line `from` on; the number of lines.
size_t tell(const App &app, const char *name, size_t from)
{
    std::vector<std::string> got = received(app, from);
    for (const std::string &l : got)
        say("   %-12s received %s", name, readable(l).c_str());
    return got.size();
}

void pressKey(int code, unsigned reads = 1, const char *meaning = NULL)
{
    qxt::pumpMessages(300); // a new key, never a repeat of the one before
    say("");
    // The virtual remote a person would use, as a program of its own.
    std::string args = "press " + remoteName(code);
    if (reads > 1)
        args += " --reads " + std::to_string(reads);
    say("remote: simremote %s   (%s%s)", args.c_str(), meaning ? meaning : keyMeaning(code),
        reads > 1 ? ", held down" : "");
    if (qxt::runProgram("\"" + qxt::programPath("simremote.exe") + "\" " + args) != 0)
        problem("simremote could not press the key");
}

bool trayMenuKeys(const std::vector<WPARAM> &keys, const char *shot, const char *choice)
{
    if (!clickTrayIcon(true))
        return false;
    HWND menu = waitForPopupMenu();
    if (menu == NULL)
        return false;
    say("   right click on the tray icon: the menu opens");
    if (shot) {
        // The menu and the icon it belongs to, at the desktop's bottom right.
        RECT r = frameOf(menu, 24);
        r.right = GetSystemMetrics(SM_CXSCREEN);
        r.bottom = GetSystemMetrics(SM_CYSCREEN);
        snap(shot, &r);
    }
    say("   %s chosen", choice);
    for (WPARAM k : keys) {
        menuKey(menu, k);
        qxt::pumpMessages(100);
    }
    return true;
}

void applications()
{
    say("== The remote and the applications ==");
    HWND pvcr = launch(PowerVcr);
    if (pvcr == NULL)
        return problem("the PowerVCR II stand-in did not start");
    MoveWindow(pvcr, 80, 80, 320, 240, TRUE);
    say("PowerVCR II stand-in started from %s", logOf(PowerVcr).c_str());
    size_t from = logLength(PowerVcr);
    for (int code : {1, 2, 5}) {
        pressKey(code);
        char pattern[40];
        snprintf(pattern, sizeof pattern, "KEYDOWN main 0x%02X * -", 0x30 + code);
        if (!waitForLine(PowerVcr, pattern, from))
            problem("PowerVCR II did not get the key");
        tell(PowerVcr, "PowerVCR II", from);
        from = logLength(PowerVcr);
    }
    RECT p = frameOf(pvcr);
    snap("powervcr", &p);

    pressKey(18);
    if (!waitForEnd(PowerVcr))
        problem("PowerVCR II did not close");
    tell(PowerVcr, "PowerVCR II", from);

    size_t htFrom = logLength(HomeTheater);
    pressKey(18);
    say("   (no application is the target: the power key starts the default application, Home Theater)");
    if (!qxt::waitUntil([] { return windowOf(HomeTheater) != NULL; }, 5000))
        return problem("Home Theater did not start");
    say("   Home Theater started by tunerkey from its install path");
    snap("home-theater");
    htFrom = logLength(HomeTheater);
    pressKey(18);
    if (!waitForEnd(HomeTheater))
        problem("Home Theater did not close");
    tell(HomeTheater, "Home Theater", htFrom);
}

void pointer()
{
    say("");
    say("== No application running: the remote moves the pointer ==");
    SetCursorPos(200, 384);
    qxt::pumpMessages(500);
    pressKey(6, 16, "6: right, for the mouse");
    std::string trail = "200";
    LONG last = 200;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 16 * 65 + 600) {
        LONG x = cursor().x;
        if (x != last)
            trail += " " + std::to_string(x);
        last = x;
        qxt::pumpMessages(5);
    }
    say("   pointer x: %s", trail.c_str());
    say("   (1 pixel for four reads, then the fine step, then the coarse step)");
}

void shutDown()
{
    say("");
    say("== Key 15: the Shut Down dialog, answered with the remote ==");
    pressKey(15);
    HWND dlg = qxt::waitForDialog("QX770 Remote Control - Shut Down");
    if (dlg == NULL)
        return problem("no Shut Down dialog");
    say("   dialog \"%s\": %s", qxt::windowText(dlg).c_str(),
        "Press \"Power\" to shut down, any other key cancels");
    RECT r = frameOf(dlg);
    snap("shutdown-dialog", &r);
    pressKey(7);
    say(qxt::waitForGone(dlg) ? "   the dialog closed: shut-down cancelled" : "   !! the dialog stayed open");
}

void dialogs(const Tunerkey &)
{
    say("");
    say("== Tray menu and dialogs ==");
    // Up from no selection is Exit; then Setting..., then About.
    if (!trayMenuKeys({VK_UP, VK_UP, VK_UP, VK_RETURN}, "tray-menu", "About"))
        return problem("no tray menu");
    HWND about = qxt::waitForDialog("QX770 Remote Control - About");
    if (about != NULL) {
        RECT r = frameOf(about);
        snap("about-dialog", &r);
        qxt::pressButton(about, IDOK);
        qxt::waitForGone(about);
    } else {
        problem("no About dialog");
    }
    if (!trayMenuKeys({VK_UP, VK_UP, VK_RETURN}, NULL, "Setting..."))
        return problem("no tray menu");
    HWND setting = qxt::waitForDialog("QX770 Remote Control - Setting");
    if (setting != NULL) {
        say("   Setting dialog: the application the power key starts");
        RECT r = frameOf(setting);
        snap("setting-dialog", &r);
        PostMessageA(setting, WM_COMMAND, IDCANCEL, 0);
        qxt::waitForGone(setting);
    } else {
        problem("no Setting dialog");
    }
}

void sweepDriver()
{
    say("");
    say("== drvsweep removes the simulated card's driver package ==");
    qxt::regSetString(HKEY_CURRENT_USER, "Control Panel\\International", "iCountry", "1");
    sweep::writeIni(
        "[1]\nUnInstDrvAppTitle=QX770 Driver Removal\nDevIDNum=1\nDevDrvID0=PCI\\VEN_14F1&DEV_8800\n"
        "DevDrvName0=Conexant 2388x Video Capture\nDevDrvSYS0=simcard.sys\nExtDllFileNum=1\n"
        "ExtCopyFileName0=simfilter.dll\nDrvUninstRegKeyPath=QX770Drivers\n"
        "DrvUninstRegKeyName=QX770 WDM Drivers\nUnInstServiceNum=1\nUnInstService0=simcard\n"
        "UnInstRemoteTitleName=QX770 Remote Control\n");
    // The card's device with the service its driver installed: the evidence
    // drvsweep needs before it removes a device.
    sweep::addDevice("PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05\\3&1&0&08",
                     "PCI\\VEN_14F1&DEV_8800&SUBSYS_00000000&REV_05", NULL, "simcard");
    sweep::addUninstallEntry("QX770Drivers", "QX770 WDM Drivers");
    qxt::Child child;
    if (!qxt::startProcess("\"" + qxt::programUnderTest("drvsweep.exe") + "\"", &child))
        return problem("drvsweep did not start");
    HWND dlg = qxt::waitForDialog("QX770 Driver Removal", 10000);
    if (dlg == NULL)
        return problem("no drvsweep dialog");
    RECT r = frameOf(dlg);
    snap("drvsweep-dialog", &r);
    say("   OK pressed");
    qxt::pressButton(dlg, IDOK);
    qxt::waitUntil([&] { return !IsWindowVisible(dlg); }, 20000);
    HWND box = qxt::waitForDialog("QX770 Driver Removal", 5000);
    if (box != NULL) {
        say("   drvsweep: \"%s\"", qxt::messageBoxText(box).c_str());
        RECT b = frameOf(box);
        snap("drvsweep-done", &b);
        qxt::pressButton(box, IDOK);
    }
    qxt::waitProcess(&child, 10000);
    std::string sys32 = sweep::windowsDir() + "\\system32";
    say("   (a driver that is loaded stays until Windows restarts; drvsweep schedules its file to go then)");
    say("   capture filter file %s, service key %s",
        qxt::fileExists(sys32 + "\\simfilter.dll") ? "still there" : "removed",
        qxt::regKeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\simcard") ? "still there"
                                                                                              : "removed");
}

} // namespace

int main(int argc, char **argv)
{
    outDir = argc > 1 ? argv[1] : ".";
    DWORD began = GetTickCount();
    if (card() == INVALID_HANDLE_VALUE) {
        say("no simulated card in this prefix");
        return 2;
    }
    resetCard();
    say("== tunerkey.exe starts ==");
    Tunerkey run;
    if (!startTunerkey(&run)) {
        say("tunerkey.exe did not start");
        return 3;
    }
    say("tunerkey.exe runs (pid %lu): no window, an icon in the notification area; polling the card every 65 "
        "ms",
        run.child.pid);

    applications();
    pointer();
    shutDown();
    dialogs(run);

    say("");
    say("== Exit from the tray menu ==");
    if (!trayMenuKeys({VK_UP, VK_RETURN}, NULL, "Exit"))
        problem("no tray menu");
    int code = qxt::waitProcess(&run.child, 5000);
    say("tunerkey.exe ended with exit code %d", code);
    if (code != 0)
        problem("tunerkey did not end through Exit");

    sweepDriver();
    closeAll();
    say("");
    say("demonstration done in %.0f s, %d problem(s)", (GetTickCount() - began) / 1000.0, problems);
    return problems == 0 ? 0 : 1;
}
