// The on-screen display: the lines keys leave, where the line goes, and the window in
// front of another one, which keeps the foreground, the focus, typed keys and clicks.
// Run again as Windows 98, where the window is shaped to its text (OSD_SHAPED).
#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <vector>

#include "qxtest.h"
#include "shell/shell.h"

TEST(OsdLineTest, EachKeyLeavesItsLine)
{
    struct Row {
        int code;
        KeyResult result;
        const char *where;
        DWORD at;
        bool shown;
        const char *text;
    } rows[] = {
        {22, KEY_RESULT_SENT, "VLC", 0, true, "Play/Pause > VLC"},
        {1, KEY_RESULT_SENT, "PowerVCR II", 100, true, "Channel 1_"},
        {10, KEY_RESULT_SENT, "PowerVCR II", 1500, true, "Channel 10_"},
        {3, KEY_RESULT_SENT, "PowerVCR II", 3000, true, "Channel 3_"}, // 1.5 s on: a new channel
        {19, KEY_RESULT_NONE, NULL, 3100, true, "Volume up"},
        {6, KEY_RESULT_POINTER, "Pointer", 3200, true, "Pointer"},
        {5, KEY_RESULT_POINTER, "Pointer", 3300, false, "Pointer"}, // a step: no new line
        {2, KEY_RESULT_SENT, "PowerVCR II", 3400, true, "Channel 2_"},
        {22, KEY_RESULT_NO_WINDOW, "Home Theater", 3500, true, "no window of Home Theater"},
        {14, KEY_RESULT_ELEVATED, "VLC", 3600, true, "not delivered: VLC runs as administrator"},
        {42, KEY_RESULT_SENT, NULL, 3700, true, "Key 0x2A"},
        {9, KEY_RESULT_POINTER, "Pointer", 3800, true, "Pointer"}, // the pointer takes over again
    };
    OsdLine line;
    memset(&line, 0, sizeof line);
    for (const Row &r : rows) {
        KeyActed k = {r.code, 0, r.result, r.where, NULL};
        EXPECT_EQ(updateOsdLine(&line, k, r.at), r.shown) << r.text;
        EXPECT_STREQ(line.text, r.text);
    }
    for (int i = 1; i <= 8; ++i) { // a channel longer than it keeps: the latest digits
        KeyActed digit = {i, 0, KEY_RESULT_SENT, "PowerVCR II", NULL};
        updateOsdLine(&line, digit, 5000 + i);
    }
    EXPECT_STREQ(line.text, "Channel 345678_");
}

TEST(OsdLineTest, GoesBottomCentreInsideTheMonitorsMargin)
{
    EXPECT_EQ(osdTextHeight(768), 54);
    struct Row {
        RECT monitor;
        int width, height;
        RECT at;
    } rows[] = {
        {{0, 0, 1024, 768}, 300, 60, {362, 632, 662, 692}},
        {{1024, -200, 2304, 824}, 300, 60, {1514, 662, 1814, 722}}, // a second monitor
        {{0, 0, 1024, 768}, 2000, 60, {102, 632, 922, 692}},        // cut to the margin
    };
    for (const Row &r : rows) {
        RECT at = osdPlacement(r.monitor, r.width, r.height);
        EXPECT_TRUE(EqualRect(&at, &r.at)) << at.left << "," << at.top << "," << at.right << "," << at.bottom;
    }
}

namespace
{

// The screen inside `r`, as it shows it: one pixel a DWORD (0x00RRGGBB), row by row.
std::vector<DWORD> screenshot(const RECT &r)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = NULL;
    HBITMAP picture = CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
    HGDIOBJ was = SelectObject(dc, picture);
    BitBlt(dc, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    GdiFlush();
    std::vector<DWORD> out((DWORD *)bits, (DWORD *)bits + w * h);
    SelectObject(dc, was);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    DeleteObject(picture);
    for (DWORD &p : out)
        p &= 0xFFFFFF;
    return out;
}

void clickAt(POINT p)
{
    // The place goes with the press in one input event. With a SetCursorPos of its
    // own before the press, the press missed the display in 3 runs of 4 under Wine.
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    DWORD x = (DWORD)(((2 * p.x + 1) * 65536LL) / (2 * cx)),
          y = (DWORD)(((2 * p.y + 1) * 65536LL) / (2 * cy));
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN, x, y, 0, 0);
    mouse_event(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP, x, y, 0, 0);
}

} // namespace

TEST(OsdWindowTest, ShowsTheLineWithoutTakingFocusKeysOrClicks)
{
    qxt::MessageRecorder front("QxFront", "Front", true);
    SetWindowPos(front.hwnd(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 0);
    SetForegroundWindow(front.hwnd());
    SetFocus(front.hwnd());
    qxt::pumpMessages(200);
    startOnScreenDisplay();
    HWND osd = onScreenDisplayWindow();
    ASSERT_NE(osd, (HWND)NULL);
    EXPECT_FALSE(IsWindowVisible(osd)) << "created hidden";

    DWORD shownAt = GetTickCount();
    reportKeyActed(22, 0, KEY_RESULT_SENT, "PowerVCR II", front.hwnd());
    ASSERT_TRUE(qxt::waitUntil([&] { return IsWindowVisible(osd) != FALSE; }, 1000));
    qxt::pumpMessages(200);
    RECT r;
    GetWindowRect(osd, &r);
    std::vector<DWORD> shot = screenshot(r);
    const DWORD light = 0xFAFAD2, dark = 0x141414;
    EXPECT_GT(std::count(shot.begin(), shot.end(), light), 100) << "the light text";
    EXPECT_GT(std::count(shot.begin(), shot.end(), dark), 100) << "its dark outline";
    EXPECT_EQ(GetForegroundWindow(), front.hwnd());
    EXPECT_EQ(GetFocus(), front.hwnd());
    LONG ex = GetWindowLongA(osd, GWL_EXSTYLE);
    EXPECT_EQ(ex & (WS_EX_TOPMOST | WS_EX_TOOLWINDOW), WS_EX_TOPMOST | WS_EX_TOOLWINDOW);

    keybd_event('A', 0, 0, 0);
    keybd_event('A', 0, KEYEVENTF_KEYUP, 0);
    EXPECT_TRUE(front.waitFor(WM_KEYDOWN, 1000)) << "a typed key still reaches the window in front";
    // On the text right of the centre: a pixel of the key colour lets a click through anyway.
    int w = r.right - r.left, at = (r.bottom - r.top) / 2 * w + w / 2;
    while (at + 1 < (int)shot.size() && shot[at] != light)
        ++at;
    POINT centre = {r.left + at % w, r.top + at / w};
    bool visible = IsWindowVisible(osd) != FALSE;
    EXPECT_TRUE(visible || GetTickCount() - shownAt >= OSD_SHOW_MS) << "shown for 1.5 s";
#ifndef OSD_SHAPED
    EXPECT_EQ(ex & (WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE),
              WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE);
#else
    // Shaped to the text: a click on it hides it, and the next one goes beneath.
    EXPECT_EQ(ex & WS_EX_LAYERED, 0);
    HRGN shape = CreateRectRgn(0, 0, 0, 0);
    ASSERT_EQ(GetWindowRgn(osd, shape), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(shape, 0, 0));
    EXPECT_TRUE(PtInRegion(shape, centre.x - r.left, centre.y - r.top));
    DeleteObject(shape);
    clickAt(centre);
    EXPECT_TRUE(qxt::waitUntil([&] { return !IsWindowVisible(osd); }, 1000));
#endif
    front.clear();
    clickAt(centre);
    EXPECT_TRUE(front.waitFor(WM_LBUTTONDOWN, 1000)) << "a click at the display reaches the window beneath";
    EXPECT_EQ(GetForegroundWindow(), front.hwnd());
    EXPECT_TRUE(qxt::waitUntil([&] { return !IsWindowVisible(osd); }, 2500)) << "hidden 1.5 s after the key";
    stopOnScreenDisplay();
}
