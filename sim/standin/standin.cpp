// A stand-in for the TV and DVD applications that tunerkey steers. It shows the
// main window of one role (class and title as the real application's) and logs,
// one flushed line per event, what reaches it: key messages with their wParam,
// lParam and the modifier keys held, characters, the recorder's command message,
// WM_CLOSE, activation and focus, and minimising or restoring.
//
// Configuration: "standin.ini" beside the executable (section [standin]; this is
// how a copy started by WinExec, which passes no arguments, learns its role), then
// the command line, which overrides it:
//   --role NAME     powervcr, honestech, tivra, hometheater, windvd, winrip, or
//                   player: any other program (a media player, copied under its
//                   exe name), which logs WM_APPCOMMAND and WM_COMMAND too
//   --media-hotkeys register the keyboard's media keys as hot keys, as players
//                   that follow them in the background do (ids 11 to 17: play/pause,
//                   stop, next, previous, volume up, volume down, mute)
//   --log PATH      log file (default: standin.log beside the executable)
//   --title TEXT    main window title in place of the role's
//   --class NAME    main window class in place of the role's
//   --video         a direct child window titled "VideoWindow2"
//   --stay          ignore the role's own close signal (WM_CLOSE still closes)
//   --lifetime MS   end after MS milliseconds (default 120000)
//   --close-delay MS  take MS milliseconds to close after the close signal, as an
//                   application that saves first: it sends a message to every other
//                   top-level window (as one that tells the others it goes) and
//                   then stays, logging what reaches it, until it goes
// The ini keys are role, log, title, class, video, stay, lifetime, closedelay, mediahotkeys.
//
// Each role ends on its application's own close signal, as the drivers send it:
// Ctrl+X (powervcr, honestech), command 1 (tivra), Alt+Ctrl+Shift+F8
// (hometheater), key-down X with lParam 0x002D0001 (windvd, winrip). Home Theater
// registers its two Alt+Ctrl+Shift chords as system-wide hot keys, as the real
// application does: id 1 Home (its key 15 action), id 2 F8 (its close); they
// arrive as WM_HOTKEY whichever window has the focus.
//
// Log lines (fields separated by one blank; WIN is main, child or video):
//   START role pid exe
//   KEYDOWN|KEYUP|SYSKEYDOWN|SYSKEYUP|CHAR|SYSCHAR WIN 0xWPARAM 0xLPARAM MODS
//       MODS: the held modifiers as letters A(lt) C(trl) S(hift), or "-"
//   CMD WIN WPARAM LPARAM          message 3024 (decimal)
//   APPCOMMAND WIN CMD             WM_APPCOMMAND, its command (decimal)
//   COMMAND WIN ID                 WM_COMMAND, its id (decimal; player only)
//   HOTKEY WIN ID                  WM_HOTKEY (decimal id); NOHOTKEY ID: not registered
//   CLOSING                        the close signal came: the window goes after the delay
//   CLOSE WIN                      WM_CLOSE received
//   ACTIVE WIN | INACTIVE WIN      WM_ACTIVATE; APP-ACTIVE / APP-INACTIVE main: WM_ACTIVATEAPP
//   FOCUS WIN                      took the keyboard focus
//   MINIMIZED WIN | RESTORED WIN
//   QUIT reason                    the window goes (close-signal, wm-close, lifetime)
//   MARK N                         WM_APP + 1 with wParam N: a test's marker, posted
//                                  after what it sent, so that it knows all has arrived
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace
{

const UINT COMMAND_MESSAGE = WM_USER + 2000;
const UINT MARK_MESSAGE = WM_APP + 1;

enum CloseSignal { CLOSE_CTRL_X, CLOSE_COMMAND_1, CLOSE_ALT_CTRL_SHIFT_F8, CLOSE_X_KEYDOWN, CLOSE_NONE };

struct Role {
    const char *name;
    const char *windowClass;
    const char *title;
    bool firstChild; // WinDVD takes its keys in its main window's first child
    CloseSignal close;
};

const Role roles[] = {
    {"powervcr", "PowerVCR II Taurus", "PowerVCR II", false, CLOSE_CTRL_X},
    {"honestech", "honestechTV 2.0", "honestechTV 2.0", false, CLOSE_CTRL_X},
    {"tivra", "TIVRA_TVR", "FormMainWindow", false, CLOSE_COMMAND_1},
    {"hometheater", "StandinHomeTheater", "Home Theater", false, CLOSE_ALT_CTRL_SHIFT_F8},
    {"windvd", "StandinWinDVD", "InterVideo WinDVD 4", true, CLOSE_X_KEYDOWN},
    {"winrip", "StandinWinRip", "WinRip", false, CLOSE_X_KEYDOWN},
    {"player", "StandinPlayer", "Standin Player", false, CLOSE_NONE},
};

const UINT MediaHotKeys[] = {VK_MEDIA_PLAY_PAUSE, VK_MEDIA_STOP,  VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK,
                             VK_VOLUME_UP,        VK_VOLUME_DOWN, VK_VOLUME_MUTE};
const int FIRST_MEDIA_HOTKEY = 11;

const char CHILD_CLASS[] = "StandinChild";

struct Options {
    char role[32];
    char log[MAX_PATH];
    char title[128];
    char windowClass[128];
    bool video;
    bool stay;
    bool mediaHotKeys;
    DWORD lifetime;
    DWORD closeDelay;
};

const int HOTKEY_HOME = 1;
const int HOTKEY_CLOSE = 2;
const UINT_PTR LIFETIME_TIMER = 1;
const UINT_PTR CLOSE_TIMER = 2;
bool closing = false;

Options opt;
const Role *role;
HANDLE logFile = INVALID_HANDLE_VALUE;
HWND mainWindow, childWindow, videoWindow;

void logLine(const char *fmt, ...)
{
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    int n = vsnprintf(line, sizeof line - 2, fmt, ap);
    va_end(ap);
    if (n < 0)
        return;
    if (n > (int)sizeof line - 3)
        n = sizeof line - 3;
    line[n++] = '\r';
    line[n++] = '\n';
    DWORD written;
    // One WriteFile per line on an append handle: a reader never sees half a line
    // that is later completed, and nothing waits in a buffer.
    WriteFile(logFile, line, n, &written, NULL);
}

const char *windowName(HWND w)
{
    if (w == mainWindow)
        return "main";
    if (w == childWindow)
        return "child";
    if (w == videoWindow)
        return "video";
    return "other";
}

bool down(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

void modifiers(char (&mods)[4])
{
    int n = 0;
    if (down(VK_MENU))
        mods[n++] = 'A';
    if (down(VK_CONTROL))
        mods[n++] = 'C';
    if (down(VK_SHIFT))
        mods[n++] = 'S';
    if (n == 0)
        mods[n++] = '-';
    mods[n] = '\0';
}

bool isCloseSignal(UINT msg, WPARAM w, LPARAM l)
{
    switch (role->close) {
    case CLOSE_CTRL_X:
        return msg == WM_KEYDOWN && w == 'X' && down(VK_CONTROL);
    case CLOSE_ALT_CTRL_SHIFT_F8:
        return msg == WM_HOTKEY && w == HOTKEY_CLOSE;
    case CLOSE_X_KEYDOWN:
        return msg == WM_KEYDOWN && w == 'X' && l == 0x002D0001;
    case CLOSE_COMMAND_1:
        return msg == COMMAND_MESSAGE && w == 1;
    case CLOSE_NONE:
        return false;
    }
    return false;
}

void quit(const char *reason)
{
    logLine("QUIT %s", reason);
    DestroyWindow(mainWindow);
}

BOOL CALLBACK sendTo(HWND window, LPARAM)
{
    DWORD_PTR result;
    if (window != mainWindow)
        SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
    return TRUE;
}

void closeSignalled()
{
    if (opt.stay || closing)
        return;
    if (opt.closeDelay == 0) {
        quit("close-signal");
        return;
    }
    closing = true;
    logLine("CLOSING");
    EnumWindows(sendTo, 0);
    SetTimer(mainWindow, CLOSE_TIMER, opt.closeDelay, NULL);
}

const char *keyMessageName(UINT msg)
{
    switch (msg) {
    case WM_KEYDOWN:
        return "KEYDOWN";
    case WM_KEYUP:
        return "KEYUP";
    case WM_SYSKEYDOWN:
        return "SYSKEYDOWN";
    case WM_SYSKEYUP:
        return "SYSKEYUP";
    case WM_CHAR:
        return "CHAR";
    case WM_SYSCHAR:
        return "SYSCHAR";
    }
    return NULL;
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const char *key = keyMessageName(msg);
    if (key != NULL) {
        char mods[4];
        modifiers(mods);
        logLine("%s %s 0x%02X 0x%08lX %s", key, windowName(hwnd), (unsigned)wParam, (unsigned long)lParam,
                mods);
        if (isCloseSignal(msg, wParam, lParam))
            closeSignalled();
        return 0; // keys never reach DefWindowProc: Alt would open a system menu
    }
    switch (msg) {
    case COMMAND_MESSAGE:
        logLine("CMD %s %lu %ld", windowName(hwnd), (unsigned long)wParam, (long)lParam);
        if (isCloseSignal(msg, wParam, lParam))
            closeSignalled();
        return 0;
    case WM_HOTKEY:
        logLine("HOTKEY %s %lu", windowName(hwnd), (unsigned long)wParam);
        if (isCloseSignal(msg, wParam, lParam))
            closeSignalled();
        return 0;
    case WM_APPCOMMAND:
        logLine("APPCOMMAND %s %u", windowName(hwnd), (unsigned)GET_APPCOMMAND_LPARAM(lParam));
        return TRUE;
    case WM_COMMAND:
        if (role->close != CLOSE_NONE)
            break;
        logLine("COMMAND %s %u", windowName(hwnd), (unsigned)LOWORD(wParam));
        return 0;
    case MARK_MESSAGE:
        logLine("MARK %lu", (unsigned long)wParam);
        return 0;
    case WM_CLOSE:
        logLine("CLOSE %s", windowName(hwnd));
        if (hwnd == mainWindow)
            quit("wm-close");
        return 0;
    case WM_ACTIVATE:
        logLine("%s %s", LOWORD(wParam) != WA_INACTIVE ? "ACTIVE" : "INACTIVE", windowName(hwnd));
        break;
    case WM_ACTIVATEAPP:
        logLine("%s main", wParam ? "APP-ACTIVE" : "APP-INACTIVE");
        break;
    case WM_SETFOCUS:
        logLine("FOCUS %s", windowName(hwnd));
        return 0;
    case WM_SIZE:
        if (hwnd == mainWindow && wParam == SIZE_MINIMIZED)
            logLine("MINIMIZED main");
        else if (hwnd == mainWindow && wParam == SIZE_RESTORED && IsWindowVisible(hwnd))
            logLine("RESTORED main");
        break;
    case WM_TIMER:
        quit(wParam == CLOSE_TIMER ? "close-signal" : "lifetime");
        return 0;
    case WM_DESTROY:
        if (hwnd == mainWindow)
            PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void copy(char *dst, size_t size, const char *src)
{
    snprintf(dst, size, "%s", src);
}

void readIni(const char *exeDir)
{
    char ini[MAX_PATH];
    snprintf(ini, sizeof ini, "%s\\standin.ini", exeDir);
    GetPrivateProfileStringA("standin", "role", "", opt.role, sizeof opt.role, ini);
    GetPrivateProfileStringA("standin", "log", "", opt.log, sizeof opt.log, ini);
    GetPrivateProfileStringA("standin", "title", "", opt.title, sizeof opt.title, ini);
    GetPrivateProfileStringA("standin", "class", "", opt.windowClass, sizeof opt.windowClass, ini);
    opt.video = GetPrivateProfileIntA("standin", "video", 0, ini) != 0;
    opt.stay = GetPrivateProfileIntA("standin", "stay", 0, ini) != 0;
    opt.mediaHotKeys = GetPrivateProfileIntA("standin", "mediahotkeys", 0, ini) != 0;
    opt.lifetime = GetPrivateProfileIntA("standin", "lifetime", 120000, ini);
    opt.closeDelay = GetPrivateProfileIntA("standin", "closedelay", 0, ini);
}

void readArguments()
{
    int argc = __argc;
    char **argv = __argv;
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : NULL;
        if (strcmp(a, "--video") == 0)
            opt.video = true;
        else if (strcmp(a, "--stay") == 0)
            opt.stay = true;
        else if (strcmp(a, "--media-hotkeys") == 0)
            opt.mediaHotKeys = true;
        else if (next == NULL)
            break;
        else if (strcmp(a, "--role") == 0)
            copy(opt.role, sizeof opt.role, argv[++i]);
        else if (strcmp(a, "--log") == 0)
            copy(opt.log, sizeof opt.log, argv[++i]);
        else if (strcmp(a, "--title") == 0)
            copy(opt.title, sizeof opt.title, argv[++i]);
        else if (strcmp(a, "--class") == 0)
            copy(opt.windowClass, sizeof opt.windowClass, argv[++i]);
        else if (strcmp(a, "--lifetime") == 0)
            opt.lifetime = strtoul(argv[++i], NULL, 10);
        else if (strcmp(a, "--close-delay") == 0)
            opt.closeDelay = strtoul(argv[++i], NULL, 10);
    }
}

bool registerClass(HINSTANCE inst, const char *name)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int show)
{
    char exe[MAX_PATH];
    GetModuleFileNameA(NULL, exe, sizeof exe);
    char dir[MAX_PATH];
    copy(dir, sizeof dir, exe);
    char *slash = strrchr(dir, '\\');
    if (slash != NULL)
        *slash = '\0';

    readIni(dir);
    readArguments();
    for (const Role &r : roles)
        if (strcmp(r.name, opt.role) == 0)
            role = &r;
    if (role == NULL)
        return 2;
    if (opt.log[0] == '\0')
        snprintf(opt.log, sizeof opt.log, "%s\\standin.log", dir);
    logFile = CreateFileA(opt.log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (logFile == INVALID_HANDLE_VALUE)
        return 3;

    const char *cls = opt.windowClass[0] != '\0' ? opt.windowClass : role->windowClass;
    const char *title = opt.title[0] != '\0' ? opt.title : role->title;
    if (!registerClass(inst, cls) || !registerClass(inst, CHILD_CLASS))
        return 4;
    mainWindow =
        CreateWindowExA(0, cls, title, WS_OVERLAPPEDWINDOW, 100, 100, 320, 240, NULL, NULL, inst, NULL);
    if (mainWindow == NULL)
        return 5;
    if (role->firstChild)
        childWindow = CreateWindowExA(0, CHILD_CLASS, "WinDVD Video", WS_CHILD | WS_VISIBLE, 0, 0, 160, 120,
                                      mainWindow, NULL, inst, NULL);
    if (opt.video)
        videoWindow = CreateWindowExA(0, CHILD_CLASS, "VideoWindow2", WS_CHILD | WS_VISIBLE, 160, 0, 160, 120,
                                      mainWindow, NULL, inst, NULL);
    logLine("START %s %lu %s", role->name, (unsigned long)GetCurrentProcessId(), exe);
    if (role->close == CLOSE_ALT_CTRL_SHIFT_F8) {
        const UINT all = MOD_ALT | MOD_CONTROL | MOD_SHIFT;
        if (!RegisterHotKey(mainWindow, HOTKEY_HOME, all, VK_HOME))
            logLine("NOHOTKEY %d", HOTKEY_HOME);
        if (!RegisterHotKey(mainWindow, HOTKEY_CLOSE, all, VK_F8))
            logLine("NOHOTKEY %d", HOTKEY_CLOSE);
    }
    if (opt.mediaHotKeys)
        for (int i = 0; i < (int)(sizeof MediaHotKeys / sizeof MediaHotKeys[0]); ++i)
            if (!RegisterHotKey(mainWindow, FIRST_MEDIA_HOTKEY + i, 0, MediaHotKeys[i]))
                logLine("NOHOTKEY %d", FIRST_MEDIA_HOTKEY + i);
    if (opt.lifetime != 0)
        SetTimer(mainWindow, LIFETIME_TIMER, opt.lifetime, NULL);
    ShowWindow(mainWindow, show == SW_HIDE ? SW_SHOW : show);

    // No TranslateMessage: the log must show the key messages exactly as they
    // arrived, without characters made up from them.
    MSG m;
    while (GetMessageA(&m, NULL, 0, 0) > 0)
        DispatchMessageA(&m);
    CloseHandle(logFile);
    return 0;
}
