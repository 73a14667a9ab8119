// The About dialog (template 21).
#include "shell/shell.h"

#include "resources/resource.h"

static INT_PTR CALLBACK aboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        applyDialogPlacement(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void openAboutDialog(HWND owner)
{
    DialogBoxParamA(appInstance(), MAKEINTRESOURCEA(IDD_ABOUT), owner, aboutProc, 0);
}
