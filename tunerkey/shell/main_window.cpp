// The hidden main window: its class, creation and window procedure with the
// command table.
#include "shell/shell.h"

#include "shell/shell_internal.h"

#include "apps/apps.h"
#include "capture/capture.h"
#include "keys/keys.h"
#include "resources/resource.h"
#include "server/remote_server.h"

static bool CaptureFilterFound = true;

static HINSTANCE Instance = NULL;
static HWND MainWindow = NULL;
static char WindowTitle[100];
static char ClassName[100];

bool captureFilterFound()
{
    return CaptureFilterFound;
}

HWND mainWindow()
{
    return MainWindow;
}

HINSTANCE appInstance()
{
    // Tests that host the shell's dialogs without a main window use their own module.
    return Instance != NULL ? Instance : GetModuleHandleA(NULL);
}

static void onAbout(HWND window, int)
{
    openAboutDialog(window);
}

static void onSetting(HWND window, int)
{
    openSettingDialog(window);
}

static void onEditKeymaps(HWND window, int)
{
    editKeymaps(window);
}

static void onQuit(HWND window, int)
{
    endProgram(window);
}

static void onExit(HWND window, int)
{
    // The tray menu's Exit is the one ending that also lets go of the card.
    endProgram(window);
    releaseCaptureFilter();
}

// Key 15 with nothing running asks for this from the poll.
static void onShutdownPrompt(HWND window, int)
{
    openShutdownDialog(window);
}

static void onSwitchApplication(HWND, int command)
{
    switchApplication(command);
}

struct Command {
    int first, last;
    void (*run)(HWND window, int command);
};

static const Command Commands[] = {
    {IDM_ABOUT, IDM_ABOUT, onAbout},
    {IDM_QUIT, IDM_QUIT, onQuit},
    {IDM_SETTING, IDM_SETTING, onSetting},
    {1101, 1106, onSwitchApplication},
    {IDM_EXIT, IDM_EXIT, onExit},
    {CMD_SHUTDOWN_PROMPT, CMD_SHUTDOWN_PROMPT, onShutdownPrompt},
    {IDM_EDIT_KEYMAPS, IDM_EDIT_KEYMAPS, onEditKeymaps},
};

static bool runCommand(HWND window, int id)
{
    for (const Command &c : Commands) {
        if (id >= c.first && id <= c.last) {
            c.run(window, id);
            return true;
        }
    }
    return false;
}

// The notification area shows small icons: the group's own 16x16 image (or the
// size the system asks for) rather than the 32x32 one shrunk by the shell.
static HICON smallProgramIcon(HINSTANCE instance)
{
    return (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_PROGRAM), IMAGE_ICON,
                             GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR);
}

static void onCreate(HWND window)
{
    if (!openCaptureFilter())
        CaptureFilterFound = false;
    initPointerLimits();
    addTrayIcon(window, TRAY_ICON_ID, smallProgramIcon(Instance), TK_CAPTION);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A registered message: its number is known only at run time.
    if (onTaskbarCreated(msg))
        return 0;
    switch (msg) {
    case WM_CREATE:
        onCreate(window);
        return 0;
    case WM_DESTROY:
        endProgram(window);
        return 0;
    case WM_DISPLAYCHANGE:
        onDisplayChange(lParam);
        return 0;
    case WM_COMMAND:
        if (runCommand(window, LOWORD(wParam)))
            return 0;
        break;
    case TRAY_CALLBACK_MESSAGE:
        onTrayCallback(window, lParam);
        return 0;
    case SERVER_SOCKET_MESSAGE:
        onServerSocketMessage(wParam, lParam);
        return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

HWND createMainWindow(HINSTANCE instance)
{
    LoadStringA(instance, IDS_WINDOW_TITLE, WindowTitle, sizeof WindowTitle);
    LoadStringA(instance, IDS_CLASS_NAME, ClassName, sizeof ClassName);

    WNDCLASSEXA wc;
    ZeroMemory(&wc, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = mainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_PROGRAM));
    wc.hIconSm = smallProgramIcon(instance);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc);

    Instance = instance;
    MainWindow = CreateWindowExA(0, ClassName, WindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                 CW_USEDEFAULT, 0, NULL, NULL, instance, NULL);
    return MainWindow;
}
