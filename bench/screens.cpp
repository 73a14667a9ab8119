// Pictures of tunerkey for the README: the tray menu and the three dialogs, as
// they appear on the bench's virtual desktop with the simulated card. Run by
// scripts/screenshots.sh inside the bench; writes BMP files into the folder given.
#include <windows.h>

#include <stdio.h>
#include <string>

#include "qxtest.h"
#include "tray_bench.h"

static const char *MainClass = "QX770 Remote Control";

// Asks the picture taker outside Wine for the screen rectangle `r`: writes
// NAME.rect ("x y w h") and waits for NAME.done. Reading the screen from inside
// Wine (BitBlt of the screen DC) leaves other processes' child windows black.
static bool capture(const RECT &r, const std::string &base)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    char line[64];
    snprintf(line, sizeof line, "%ld %ld %d %d\n", (long)r.left, (long)r.top, w, h);
    std::string done = base + ".done";
    DeleteFileA(done.c_str());
    if (!qxt::writeFile(base + ".tmp", line) || !MoveFileA((base + ".tmp").c_str(), (base + ".rect").c_str()))
        return false;
    bool ok = qxt::waitUntil([&] { return qxt::fileExists(done); }, 15000);
    printf("%s %s\n", ok ? "pictured" : "no picture of", base.c_str());
    return ok;
}

static RECT windowRect(HWND w, int margin)
{
    RECT r;
    GetWindowRect(w, &r);
    InflateRect(&r, margin, margin);
    return r;
}

static void simremote(const char *args)
{
    qxt::runProgram("\"" + qxt::programPath("simremote.exe") + "\" " + args);
}

// Opens a dialog with `open`, pictures it, and closes it with `close`.
template <typename Open, typename Close>
static bool dialogPicture(const char *caption, Open open, Close close, const std::string &path)
{
    open();
    HWND dlg = qxt::waitForDialog(caption);
    if (dlg == NULL) {
        printf("no dialog \"%s\"\n", caption);
        return false;
    }
    qxt::pumpMessages(400); // let it paint
    bool ok = capture(windowRect(dlg, 0), path);
    close(dlg);
    qxt::waitForGone(dlg);
    return ok;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: shell_screens OUTDIR\n");
        return 2;
    }
    std::string out = argv[1];
    qxt::Child tk;
    if (!qxt::startProcess("\"" + qxt::programUnderTest("tunerkey.exe") + "\"", &tk))
        return 1;
    HWND main = NULL;
    if (!qxt::waitUntil([&] { return (main = FindWindowA(MainClass, NULL)) != NULL; }, 10000) ||
        !qxt::waitUntil([&] { return trayIconPresent(main, 10); }))
        return 1;
    int failed = 0;

    // The tray menu with the corner of the taskbar it opens from.
    clickTrayIcon(true);
    HWND menu = waitForPopupMenu();
    if (menu != NULL) {
        // The pointer onto the menu: its tip would cover the last entry.
        RECT m = windowRect(menu, 0);
        SetCursorPos(m.left + 30, m.top + 8);
        qxt::pumpMessages(600);
        qxt::waitUntil([] { return qxt::waitForWindow("tooltips_class32", NULL, 0) == NULL; }, 8000);
        RECT r = windowRect(menu, 8);
        HWND bar = FindWindowA("Shell_TrayWnd", NULL);
        RECT b;
        if (bar != NULL && GetWindowRect(bar, &b)) {
            r.right = b.right;
            r.bottom = b.bottom;
            r.left = r.left < b.right - 320 ? r.left : b.right - 320;
        }
        failed += !capture(r, out + "\\tray-menu");
        menuKey(menu, VK_ESCAPE);
        qxt::waitUntil([&] { return !IsWindowVisible(menu); });
    } else {
        ++failed;
        printf("no tray menu\n");
    }

    auto post = [&](int command) { return [=] { PostMessageA(main, WM_COMMAND, command, 0); }; };
    auto press = [](int id) {
        return [=](HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, 0), 0); };
    };
    failed += !dialogPicture("QX770 Remote Control - About", post(30), press(IDOK), out + "\\about");
    failed += !dialogPicture("QX770 Remote Control - Setting", post(32), press(IDCANCEL), out + "\\setting");
    failed += !dialogPicture(
        "QX770 Remote Control - Shut Down", [] { simremote("press shutdown"); },
        [](HWND) { simremote("press 5"); }, out + "\\shutdown");

    PostMessageA(main, WM_COMMAND, 1201, 0);
    qxt::waitProcess(&tk, 5000);
    return failed == 0 ? 0 : 1;
}
