// The on-screen display: what a key did, readable from the sofa, at the bottom of
// the screen the key went to and gone 1.5 s after the last key. It never takes the
// focus, the foreground or a click, and the poll only updates its line: the window
// is drawn from a posted message once the key has acted.
#include "shell/shell.h"

#include "common/copy_text.h"
#include "common/windows_family.h"

#include <stdio.h>
#include <string.h>

namespace
{

// By remote code: digits by their digit, the others by what they do in the
// applications (the remote server's button names say the same).
const char *const KeyNames[32] = {
    "*",        "1",       "2",     "3",         "4",           "5",      "6",          "7",
    "8",        "9",       "0",     "Zoom",      "Audio",       "Record", "Stop",       "Shut down",
    "Previous", "Back",    "Power", "Volume up", "Escape",      "OK",     "Play/Pause", "Fast forward",
    "Next",     "Forward", "Up",    "Right",     "Volume down", "Mute",   "Down",       "Left",
};

bool isDigitKey(int code)
{
    return code >= 1 && code <= 10;
}

void compose(char (&text)[OSD_TEXT_SIZE], const char *a, const char *b, const char *c = NULL)
{
    CopyText(text, sizeof text, a);
    AppendText(text, sizeof text, b);
    if (c != NULL)
        AppendText(text, sizeof text, c);
}

// Adds a digit to the channel being entered, which starts over 1.5 s after the
// previous digit; the oldest digit goes when it is full.
void addDigit(OsdLine *line, int code, DWORD now)
{
    size_t n = strlen(line->digits);
    if (n > 0 && now - line->digitAt >= OSD_SHOW_MS)
        n = 0;
    if (n == OSD_DIGITS) {
        memmove(line->digits, line->digits + 1, n - 1);
        --n;
    }
    line->digits[n] = code == 10 ? '0' : (char)('0' + code);
    line->digits[n + 1] = '\0';
    line->digitAt = now;
}

} // namespace

void friendlyKeyName(int code, char (&name)[16])
{
    if (code >= 0 && code < 32)
        CopyText(name, sizeof name, KeyNames[code]);
    else
        snprintf(name, sizeof name, "Key 0x%02X", (unsigned)code & 0xFF);
}

bool updateOsdLine(OsdLine *line, const KeyActed &key, DWORD now)
{
    if (key.result == KEY_RESULT_POINTER) {
        // Once when the pointer takes over, never a line per step.
        bool starts = !line->pointerMode;
        line->pointerMode = true;
        line->digits[0] = '\0';
        if (starts)
            CopyText(line->text, sizeof line->text, key.where != NULL ? key.where : "Pointer");
        return starts;
    }
    line->pointerMode = false;
    const char *where = key.where != NULL ? key.where : "";
    if (key.result == KEY_RESULT_SENT && key.where != NULL && isDigitKey(key.code)) {
        addDigit(line, key.code, now);
        compose(line->text, "Channel ", line->digits, "_");
        return true;
    }
    line->digits[0] = '\0';
    char name[16];
    friendlyKeyName(key.code, name);
    if (key.result == KEY_RESULT_NO_WINDOW)
        compose(line->text, "no window of ", where);
    else if (key.result == KEY_RESULT_ELEVATED)
        compose(line->text, "not delivered: ", where, " runs as administrator");
    else if (key.result == KEY_RESULT_SENT && key.where != NULL)
        compose(line->text, name, " > ", where);
    else
        CopyText(line->text, sizeof line->text, name);
    return true;
}

int osdTextHeight(int monitorHeight)
{
    return monitorHeight / 14 > 8 ? monitorHeight / 14 : 8;
}

RECT osdPlacement(const RECT &monitor, int width, int height)
{
    int mw = monitor.right - monitor.left, mh = monitor.bottom - monitor.top;
    RECT safe = {monitor.left + mw / 10, monitor.top + mh / 10, monitor.right - mw / 10,
                 monitor.bottom - mh / 10};
    if (width > safe.right - safe.left)
        width = safe.right - safe.left;
    if (height > safe.bottom - safe.top)
        height = safe.bottom - safe.top;
    RECT at;
    at.left = safe.left + (safe.right - safe.left - width) / 2;
    at.right = at.left + width;
    at.bottom = safe.bottom;
    at.top = at.bottom - height;
    return at;
}

bool osdLayeredOn(const OSVERSIONINFOA &v)
{
    return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5;
}

namespace
{

const UINT OSD_SHOW_MESSAGE = WM_APP + 31;
const UINT_PTR HIDE_TIMER = 1;
// Drawn on the key colour, which the layered window leaves out and the shaped
// one cuts away; unsmoothed type, so that no edge pixel is a blend with it.
const COLORREF KEY_COLOUR = RGB(255, 0, 255);
const COLORREF TEXT_COLOUR = RGB(250, 250, 210);
const COLORREF OUTLINE_COLOUR = RGB(20, 20, 20);

HWND Window = NULL;
bool Layered = false;
OsdLine Line;
// The window the latest key went to: the line goes on its monitor.
HWND KeyWindow = NULL;
bool ShowPosted = false;

HFONT Font = NULL;
int FontHeight = 0;
// The line as drawn: a top-down 32-bit picture the window is painted from.
HDC PictureDC = NULL;
HBITMAP Picture = NULL;
HGDIOBJ PictureWas = NULL;
DWORD *Pixels = NULL;
int PictureWidth = 0, PictureHeight = 0;

typedef BOOL(WINAPI *SetLayeredFn)(HWND, COLORREF, BYTE, DWORD);
typedef HMONITOR(WINAPI *MonitorFromWindowFn)(HWND, DWORD);
typedef BOOL(WINAPI *GetMonitorInfoFn)(HMONITOR, MONITORINFO *);

FARPROC user32Call(const char *name)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != NULL ? GetProcAddress(user32, name) : NULL;
}

// The monitor of `window` (Windows 98 and 2000 on), else the primary screen.
RECT monitorOf(HWND window)
{
    RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    // Looked up once; a guarded static would pull the thread library in.
    static bool looked = false;
    static MonitorFromWindowFn fromWindow;
    static GetMonitorInfoFn info;
    if (!looked) {
        looked = true;
        fromWindow = (MonitorFromWindowFn)(void (*)())user32Call("MonitorFromWindow");
        info = (GetMonitorInfoFn)(void (*)())user32Call("GetMonitorInfoA");
    }
    if (window == NULL || fromWindow == NULL || info == NULL)
        return r;
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    HMONITOR m = fromWindow(window, MONITOR_DEFAULTTOPRIMARY);
    if (m != NULL && info(m, &mi))
        r = mi.rcMonitor;
    return r;
}

void dropPicture()
{
    if (PictureDC != NULL) {
        SelectObject(PictureDC, PictureWas);
        DeleteDC(PictureDC);
    }
    if (Picture != NULL)
        DeleteObject(Picture);
    PictureDC = NULL;
    Picture = NULL;
    Pixels = NULL;
    PictureWidth = PictureHeight = 0;
}

bool newPicture(int width, int height)
{
    dropPicture();
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void *bits = NULL;
    Picture = CreateDIBSection(NULL, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    PictureDC = CreateCompatibleDC(NULL);
    if (Picture == NULL || PictureDC == NULL || bits == NULL) {
        dropPicture();
        return false;
    }
    PictureWas = SelectObject(PictureDC, Picture);
    Pixels = (DWORD *)bits;
    PictureWidth = width;
    PictureHeight = height;
    return true;
}

// Draws the line in bold type 1/14 of the monitor's height, light on a dark
// outline, centred in a picture as wide as the monitor's margin allows. The
// picture, and with it the window's size, stays from line to line: only the
// pixels change, which is cheap.
bool drawLine(const RECT &monitor)
{
    int height = osdTextHeight(monitor.bottom - monitor.top);
    int edge = height / 16 > 2 ? height / 16 : 2;
    int mw = monitor.right - monitor.left, width = mw - 2 * (mw / 10);
    if (Font == NULL || height != FontHeight) {
        if (Font != NULL)
            DeleteObject(Font);
        Font =
            CreateFontA(-height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
        FontHeight = height;
        dropPicture();
    }
    if (Pixels == NULL || width != PictureWidth) {
        HDC measure = CreateCompatibleDC(NULL);
        HGDIOBJ was = SelectObject(measure, Font);
        SIZE cell = {0, 0};
        GetTextExtentPoint32A(measure, "Ag", 2, &cell);
        SelectObject(measure, was);
        DeleteDC(measure);
        if (!newPicture(width, cell.cy + 2 * edge))
            return false;
        SelectObject(PictureDC, Font);
        SetBkMode(PictureDC, TRANSPARENT);
    }
    int length = (int)strlen(Line.text);
    SIZE text = {0, 0};
    GetTextExtentPoint32A(PictureDC, Line.text, length, &text);
    int x = (PictureWidth - text.cx) / 2 > edge ? (PictureWidth - text.cx) / 2 : edge;
    // The key colour in the picture's own byte order (blue, green, red).
    DWORD key =
        (DWORD)GetBValue(KEY_COLOUR) | (DWORD)GetGValue(KEY_COLOUR) << 8 | (DWORD)GetRValue(KEY_COLOUR) << 16;
    for (int i = 0; i < PictureWidth * PictureHeight; ++i)
        Pixels[i] = key;
    SetTextColor(PictureDC, OUTLINE_COLOUR);
    static const int around[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    for (const auto &d : around)
        TextOutA(PictureDC, x + d[0] * edge, edge + d[1] * edge, Line.text, length);
    SetTextColor(PictureDC, TEXT_COLOUR);
    TextOutA(PictureDC, x, edge, Line.text, length);
    GdiFlush();
    return true;
}

// The drawn pixels as a region, row by row in runs: the window of a Windows
// without layered windows is shaped to the text.
HRGN textRegion()
{
    DWORD key =
        (DWORD)GetBValue(KEY_COLOUR) | (DWORD)GetGValue(KEY_COLOUR) << 8 | (DWORD)GetRValue(KEY_COLOUR) << 16;
    HRGN all = CreateRectRgn(0, 0, 0, 0);
    for (int y = 0; y < PictureHeight; ++y) {
        const DWORD *row = Pixels + y * PictureWidth;
        for (int x = 0; x < PictureWidth;) {
            if ((row[x] & 0xFFFFFF) == key) {
                ++x;
                continue;
            }
            int from = x;
            while (x < PictureWidth && (row[x] & 0xFFFFFF) != key)
                ++x;
            HRGN run = CreateRectRgn(from, y, x, y + 1);
            CombineRgn(all, all, run, RGN_OR);
            DeleteObject(run);
        }
    }
    return all;
}

void hide()
{
    KillTimer(Window, HIDE_TIMER);
    ShowWindow(Window, SW_HIDE);
}

void showLine()
{
    ShowPosted = false;
    RECT monitor = monitorOf(KeyWindow);
    if (!drawLine(monitor))
        return;
    RECT at = osdPlacement(monitor, PictureWidth, PictureHeight);
    // The system owns the region once it is set.
    if (!Layered)
        SetWindowRgn(Window, textRegion(), FALSE);
    // Above a full-screen player too, which may have raised itself since; moved
    // and sized only when the monitor changed.
    RECT was;
    GetWindowRect(Window, &was);
    UINT keep = EqualRect(&was, &at) ? SWP_NOMOVE | SWP_NOSIZE : 0;
    SetWindowPos(Window, HWND_TOPMOST, at.left, at.top, at.right - at.left, at.bottom - at.top,
                 SWP_NOACTIVATE | keep);
    InvalidateRect(Window, NULL, FALSE);
    if (!IsWindowVisible(Window))
        ShowWindow(Window, SW_SHOWNOACTIVATE);
    UpdateWindow(Window);
    SetTimer(Window, HIDE_TIMER, OSD_SHOW_MS, NULL);
}

LRESULT CALLBACK osdProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case OSD_SHOW_MESSAGE:
        showLine();
        return 0;
    case WM_TIMER:
        if (wParam == HIDE_TIMER)
            hide();
        return 0;
    case WM_MOUSEACTIVATE:
        // A shaped window still takes clicks on its text: it makes way at once.
        if (!Layered)
            hide();
        return MA_NOACTIVATE;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (PictureDC != NULL)
            BitBlt(dc, 0, 0, PictureWidth, PictureHeight, PictureDC, 0, 0, SRCCOPY);
        EndPaint(window, &ps);
        return 0;
    }
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

// Runs in the poll, after the key acted: only the line changes here.
void onKeyActed(const KeyActed &key)
{
    if (!updateOsdLine(&Line, key, GetTickCount()))
        return;
    KeyWindow = key.window;
    if (!ShowPosted && PostMessageA(Window, OSD_SHOW_MESSAGE, 0, 0))
        ShowPosted = true;
}

} // namespace

void startOnScreenDisplay()
{
    if (Window != NULL)
        return;
    SetLayeredFn setLayered = (SetLayeredFn)(void (*)())user32Call("SetLayeredWindowAttributes");
    Layered = osdLayeredOn(WindowsVersion()) && setLayered != NULL;
    WNDCLASSEXA wc;
    memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = osdProc;
    wc.hInstance = appInstance();
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.lpszClassName = TK_OSD_CLASS;
    RegisterClassExA(&wc);
    DWORD exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    if (Layered)
        exStyle |= WS_EX_NOACTIVATE | WS_EX_LAYERED | WS_EX_TRANSPARENT;
    Window =
        CreateWindowExA(exStyle, TK_OSD_CLASS, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, appInstance(), NULL);
    if (Window == NULL)
        return;
    if (Layered)
        setLayered(Window, KEY_COLOUR, 255, LWA_COLORKEY);
    memset(&Line, 0, sizeof Line);
    ShowPosted = false;
    setKeyActedHook(onKeyActed);
}

void stopOnScreenDisplay()
{
    setKeyActedHook(NULL);
    if (Window != NULL)
        DestroyWindow(Window);
    Window = NULL;
    dropPicture();
    if (Font != NULL)
        DeleteObject(Font);
    Font = NULL;
    FontHeight = 0;
}

HWND onScreenDisplayWindow()
{
    return Window;
}
