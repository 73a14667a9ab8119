// Pictures of tunerkey for the README: the tray menu and the three dialogs, as
// they appear on the bench's virtual desktop with the simulated card. Run by
// scripts/screenshots.sh inside the bench; writes BMP files into the folder given.
#include <windows.h>

#include <stdio.h>
#include <string>

#include "qxtest.h"
#include "tray_bench.h"

static const char *MainClass = "QX770 Remote Control";

// Writes the screen rectangle `r` as a 24-bit BMP.
static bool capture(const RECT &r, const std::string &path)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void *bits = NULL;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(mem, dib);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    DWORD stride = ((DWORD)w * 3 + 3) & ~3u, size = stride * (DWORD)h;
    BITMAPFILEHEADER fh = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
    fh.bfSize = fh.bfOffBits + size;
    FILE *f = fopen(path.c_str(), "wb");
    bool ok = f != NULL;
    if (ok) {
        ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
             fwrite(bits, size, 1, f) == 1;
        fclose(f);
    }
    SelectObject(mem, old);
    DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
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
    if (!qxt::startProcess("\"" + qxt::programPath("tunerkey.exe") + "\"", &tk))
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
        failed += !capture(r, out + "\\tray-menu.bmp");
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
    failed += !dialogPicture("QX770 Remote Control - About", post(30), press(IDOK), out + "\\about.bmp");
    failed +=
        !dialogPicture("QX770 Remote Control - Setting", post(32), press(IDCANCEL), out + "\\setting.bmp");
    failed += !dialogPicture(
        "QX770 Remote Control - Shut Down", [] { simremote("press shutdown"); },
        [](HWND) { simremote("press 5"); }, out + "\\shutdown.bmp");

    PostMessageA(main, WM_COMMAND, 1201, 0);
    qxt::waitProcess(&tk, 5000);
    return failed == 0 ? 0 : 1;
}
