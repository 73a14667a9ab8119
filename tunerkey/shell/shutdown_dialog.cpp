// The Shut Down dialog (template 107), answered with the remote or the keyboard.
#include "shell/shell.h"

#include "keys/keys.h"
#include "resources/resource.h"

// The keys room's shutdownPrompt is recorded when the dialog starts and cleared
// on each of its four ways of ending.

struct ShutdownAnswer {
    UINT msg;
    WPARAM code;   // virtual key or command id
    bool shutDown; // confirms: the computer is switched off after EndDialog
};

// WM_KEYDOWN comes from the dispatcher for remote keys; WM_COMMAND from the buttons.
static const ShutdownAnswer ShutdownAnswers[] = {
    {WM_KEYDOWN, VK_RETURN, true},
    {WM_KEYDOWN, VK_ESCAPE, false},
    {WM_COMMAND, IDOK, true},
    {WM_COMMAND, IDCANCEL, false},
};

static INT_PTR CALLBACK shutdownProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    if (msg == WM_INITDIALOG) {
        SetForegroundWindow(dialog);
        SetActiveWindow(dialog);
        setShutdownPrompt(dialog);
        // Every remote key answers it, so it must never be hidden behind a window:
        // a later power press would switch the computer off unseen.
        applyDialogPlacement(dialog, true);
        return TRUE;
    }
    WPARAM code = msg == WM_COMMAND ? LOWORD(wParam) : wParam;
    for (const ShutdownAnswer &a : ShutdownAnswers) {
        if (a.msg != msg || a.code != code)
            continue;
        setShutdownPrompt(NULL);
        EndDialog(dialog, (INT_PTR)code);
        if (a.shutDown)
            ShutDownComputer();
        return TRUE;
    }
    return FALSE;
}

void openShutdownDialog(HWND owner)
{
    DialogBoxParamA(appInstance(), MAKEINTRESOURCEA(IDD_SHUTDOWN), owner, shutdownProc, 0);
    // Also when the dialog could not be created or was ended some other way.
    setShutdownPrompt(NULL);
}
