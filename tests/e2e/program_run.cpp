// The real programs on the bench's desktop: tunerkey.exe started and ended, the card's
// remote pressed, the stand-in applications installed.
#include "program_run.h"

#include <shellapi.h>

#include "card_client.h"
#include "resources/resource.h"
#include "shell/shell.h"
#include "standin_client.h"
#include "tray_bench.h"

namespace e2e
{

bool stillRunning(const qxt::Child &child)
{
    return child.process != NULL && WaitForSingleObject(child.process, 0) == WAIT_TIMEOUT;
}

bool startTunerkey(Tunerkey *run)
{
    if (!qxt::startProcess("\"" + qxt::programUnderTest("tunerkey.exe") + "\"", &run->child))
        return false;
    run->window = NULL;
    if (!qxt::waitUntil([&] { return (run->window = FindWindowA(TK_WINDOW_CLASS, NULL)) != NULL; }, 10000))
        return false;
    // The icon is added while the window is created; with no notification area
    // (null display) there is none to wait for.
    if (FindWindowA("Shell_TrayWnd", NULL) != NULL)
        qxt::waitUntil([&] { return trayIconPresent(run->window, TRAY_ICON_ID); });
    // A first poll has run: keys pressed from now on are read.
    qxt::pumpMessages(200);
    return true;
}

int exitTunerkey(Tunerkey *run)
{
    if (run->child.process == NULL)
        return -1;
    if (stillRunning(run->child) && IsWindow(run->window))
        PostMessageA(run->window, WM_COMMAND, IDM_EXIT, 0);
    int code = qxt::waitProcess(&run->child, 5000);
    run->child = qxt::Child();
    run->window = NULL;
    return code;
}

HANDLE card()
{
    static HANDLE h = simcard_open();
    return h;
}

bool press(int code, unsigned int reads)
{
    return simcard_command(card(), SIM_CMD_KEY_DOWN, (unsigned)code, reads, 0, 0) == 0;
}

bool resetCard()
{
    return simcard_command(card(), SIM_CMD_RESET, 0, 0, 0, 0) == 0;
}

const App PowerVcr = {"powervcr", "PowerVCR II Taurus", "PowerVCR II"};
const App HomeTheater = {"hometheater", NULL, "Home Theater"};
const App Honestech = {"honestech", "honestechTV 2.0", "honestechTV 2.0"};
const App Tivra = {"tivra", "TIVRA_TVR", "FormMainWindow"};
const App WinDvd = {"windvd", "StandinWinDVD", "InterVideo WinDVD 4"};
const App WinRip = {"winrip", "StandinWinRip", "WinRip"};

static std::string installDir(const App &app)
{
    const standin::RoleInstall *r = standin::roleInstall(app.role);
    std::string dir;
    if (r != NULL)
        qxt::regGetString(HKEY_LOCAL_MACHINE, r->key, r->value, &dir, qxt::ApplicationsView);
    return dir;
}

std::string logOf(const App &app)
{
    return standin::logOf(installDir(app));
}

HWND windowOf(const App &app)
{
    return FindWindowA(app.windowClass, app.windowClass != NULL ? NULL : app.title);
}

HWND launch(const App &app)
{
    const standin::RoleInstall *r = standin::roleInstall(app.role);
    std::string dir = installDir(app);
    qxt::Child child;
    if (r == NULL || dir.empty() ||
        !qxt::startProcess("\"" + dir + "\\" + r->exe + "\"", &child, dir.c_str()))
        return NULL;
    CloseHandle(child.process);
    HWND w = NULL;
    qxt::waitUntil([&] { return (w = windowOf(app)) != NULL && IsWindowVisible(w); });
    return w;
}

bool waitForEnd(const App &app, DWORD ms)
{
    return qxt::waitUntil([&] { return windowOf(app) == NULL; }, ms);
}

std::vector<std::string> received(const App &app, size_t from)
{
    static const char *const kept[] = {"KEYDOWN", "KEYUP", "SYSKEYDOWN", "SYSKEYUP", "CHAR",
                                       "SYSCHAR", "CMD",   "CLOSE",      "QUIT"};
    std::vector<std::string> out;
    for (const std::string &l : standin::linesFrom(logOf(app), from)) {
        std::string first = l.substr(0, l.find(' '));
        for (const char *k : kept)
            if (first == k)
                out.push_back(l);
    }
    return out;
}

size_t logLength(const App &app)
{
    return standin::lines(logOf(app)).size();
}

bool waitForLine(const App &app, const std::string &pattern, size_t from, DWORD ms)
{
    return qxt::waitUntil(
        [&] {
            for (const std::string &l : standin::linesFrom(logOf(app), from))
                if (standin::matches(l, pattern))
                    return true;
            return false;
        },
        ms);
}

void closeAll()
{
    for (const App *app : {&PowerVcr, &HomeTheater, &Honestech, &Tivra, &WinDvd, &WinRip}) {
        HWND w = windowOf(*app);
        if (w != NULL) {
            PostMessageA(w, WM_CLOSE, 0, 0);
            waitForEnd(*app);
        }
    }
}

POINT cursor()
{
    POINT p;
    GetCursorPos(&p);
    return p;
}

std::string startPowerVcrSession(PowerVcrSession *session)
{
    if (card() == INVALID_HANDLE_VALUE)
        return "no simulated card";
    resetCard();
    session->pvcr = launch(PowerVcr);
    if (session->pvcr == NULL)
        return "the PowerVCR II stand-in did not start";
    session->log = logOf(PowerVcr);
    if (!startTunerkey(&session->run))
        return "tunerkey.exe did not start";
    return "";
}

} // namespace e2e
