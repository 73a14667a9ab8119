// The Setting dialog (template 20): the power key's default application.
#include "shell/shell.h"

#include "apps/apps.h"
#include "resources/resource.h"

#include <string.h>

static int SettingListIndex = -1;
// Text of the entry chosen at the last OK; kept between openings.
static char SettingText[128];

static const char SaveFailedText[] = "The setting could not be saved.\n\n"
                                     "The power key starts the chosen application until the program ends.";

int settingListIndex()
{
    return SettingListIndex;
}

static void fillList(HWND dialog)
{
    int installed[SETTING_APP_COUNT];
    for (int i = 0; i < SETTING_APP_COUNT; ++i)
        installed[i] = SupportedApps[i].record->installed;
    SettingList list = buildSettingList(installed, defaultTvApp(), SettingListIndex);
    SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < list.count; ++i)
        SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_ADDSTRING, 0, (LPARAM)list.labels[i]);
    SettingListIndex = list.selection;
    SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_SETCURSEL, (WPARAM)SettingListIndex, 0);
}

static void acceptChoice(HWND dialog)
{
    SettingListIndex = (int)SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_GETCURSEL, 0, 0);
    // Nothing selected (an empty list): the text of an earlier choice must not
    // count as a new one.
    if (SettingListIndex < 0)
        return;
    // The labels are short, but the copy is bounded all the same.
    LRESULT length = SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_GETLBTEXTLEN, (WPARAM)SettingListIndex, 0);
    if (length < 0 || length >= (LRESULT)sizeof SettingText)
        return;
    SendDlgItemMessageA(dialog, IDC_APP_LIST, CB_GETLBTEXT, (WPARAM)SettingListIndex, (LPARAM)SettingText);
    int chosen = settingValueOfLabel(SettingText);
    if (chosen != 0 && chosen != defaultTvApp()) {
        setDefaultTvApp(chosen);
        // The choice holds for this run either way; the user learns it will not outlast it.
        if (!SaveDefaultApp())
            MessageBoxA(dialog, SaveFailedText, TK_CAPTION, MB_OK | MB_ICONWARNING);
    }
}

static INT_PTR CALLBACK settingProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM)
{
    switch (msg) {
    case WM_INITDIALOG:
        applyDialogPlacement(dialog);
        fillList(dialog);
        initServerCheckBox(dialog);
        initMediaKeysCheckBox(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        if (LOWORD(wParam) == IDOK) {
            acceptChoice(dialog);
            EndDialog(dialog, IDOK);
            acceptServerCheckBox(dialog);
            acceptMediaKeysCheckBox(dialog);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

void openSettingDialog(HWND owner)
{
    DialogBoxParamA(appInstance(), MAKEINTRESOURCEA(IDD_SETTING), owner, settingProc, 0);
}
