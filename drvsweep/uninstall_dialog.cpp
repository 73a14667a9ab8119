// The uninstaller's dialog: texts from the configuration, the run on OK, the
// progress bar and the final message.
#include "uninstaller.h"

#include <commctrl.h>

#include "resources/resource.h"

UninstallDialog::UninstallDialog(UninstallConfig &cfg) : DialogFrame(IDD_UNINSTALL), cfg_(cfg)
{
    icon_ = LoadIconA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDI_UNINSTALL));
}

BOOL UninstallDialog::OnInitDialog()
{
    theApp.mainWindow = hwnd_;
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, (LPARAM)icon_);
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, (LPARAM)icon_);
    SetWindowTextA(hwnd_, cfg_.title);
    SetDlgItemTextA(hwnd_, IDC_RUN_TIP, cfg_.runTipMsg);
    SetDlgItemTextA(hwnd_, IDOK, cfg_.okText);
    return TRUE;
}

void UninstallDialog::PaintMinimized()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    SendMessageA(hwnd_, WM_ICONERASEBKGND, (WPARAM)dc, 0);
    RECT r;
    GetClientRect(hwnd_, &r);
    int x = (r.right - r.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (r.bottom - r.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, icon_);
    EndPaint(hwnd_, &ps);
}

bool UninstallDialog::OnMessage(UINT msg, WPARAM, LPARAM, INT_PTR *result)
{
    if (msg == WM_PAINT && IsIconic(hwnd_)) {
        PaintMinimized();
        *result = TRUE;
        return true;
    }
    if (msg == WM_QUERYDRAGICON) {
        *result = (INT_PTR)icon_;
        return true;
    }
    return false;
}

void UninstallDialog::OnOK()
{
    // The run happens once, even if another click arrives while its message shows.
    if (ran_)
        return;
    ran_ = true;
    CloseRemoteWindow();
    if (IsWindows9x())
        RunUninstall9x();
    else
        RunUninstallNt();
}

// The remote-control program holds the capture driver: it is asked to close
// first. An empty title would name any untitled window, and our own dialog is
// never the one meant. A window that does not answer in time cannot hold up the
// run: it goes on, and the final message names the window.
void UninstallDialog::CloseRemoteWindow()
{
    if (cfg_.remoteTitle[0] == '\0')
        return;
    HWND remote = FindWindowA(NULL, cfg_.remoteTitle);
    if (!remote || remote == hwnd_)
        return;
    DWORD_PTR answer;
    // A window that went away meanwhile has closed, which is all that was asked.
    if (SendMessageTimeoutA(remote, WM_CLOSE, 0, 0, SMTO_ABORTIFHUNG, REMOTE_CLOSE_MS, &answer) ||
        !IsWindow(remote))
        return;
    char what[REMAINS_TEXT];
    CopyText(what, sizeof what, "the window \"");
    AppendText(what, sizeof what, cfg_.remoteTitle);
    AppendText(what, sizeof what, "\"");
    NoteLeftAlone(what, "it did not answer the request to close");
}

ProgressView UninstallDialog::Prepare()
{
    SetDlgItemTextA(hwnd_, IDC_BLANK_LINE, "");
    SetDlgItemTextA(hwnd_, IDC_FILE_LABEL, "Delete Files:");
    SetDlgItemTextA(hwnd_, IDC_FILE_LINE, "");
    SetDlgItemTextA(hwnd_, IDC_RUN_TIP, "");
    ProgressView view = {GetDlgItem(hwnd_, IDC_FILE_LINE), GetDlgItem(hwnd_, IDC_PROGRESS)};
    ShowWindow(view.bar, SW_SHOW);
    SendMessageA(view.bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(view.bar, PBM_SETSTEP, 6, 0);
    return view;
}

void UninstallDialog::Finish()
{
    DialogFrame::OnOK();
    char text[4096]; // three lists of REMAINS_SHOWN names each, and the texts around them
    UINT icon =
        ComposeFinalMessage(cfg_, remains_, LeftAlone, AtRestart, ChangesMade() > 0, text, sizeof text);
    MessageBoxA(hwnd_, text, cfg_.title, icon | MB_OK);
}

// The run stopped before it changed anything. Closing without a word would leave
// the user thinking the package had gone.
void UninstallDialog::Stopped(int found)
{
    DialogFrame::OnOK();
    char text[4096]; // three lists of REMAINS_SHOWN names each, and the texts around them
    ComposeStopMessage(cfg_, found, LeftAlone, text, sizeof text);
    MessageBoxA(hwnd_, text, cfg_.title, MB_ICONWARNING | MB_OK);
}

int UninstallDialog::RunUninstallNt()
{
    ProgressView view = Prepare();
    int found = 0;
    if (!SweepNt(cfg_, view, &remains_, &found)) {
        Stopped(found);
        return 0;
    }
    Finish();
    return 1;
}

int UninstallDialog::RunUninstall9x()
{
    ProgressView view = Prepare();
    if (!Sweep9x(cfg_, view, &remains_)) {
        Stopped(0);
        return 0;
    }
    Finish();
    return 1;
}
