// The Setting dialog of the running program changes what the power key starts,
// and the choice outlives the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_run.h"
#include "resources/resource.h"
#include "shell/shell.h"

using namespace e2e;

namespace
{

const char SettingCaption[] = "QX770 Remote Control - Setting";

// Opens the Setting dialog as its accelerator does; NULL when it did not appear.
HWND openSetting(const Tunerkey &run)
{
    PostMessageA(run.window, WM_COMMAND, IDM_SETTING, 0);
    return qxt::waitForDialog(SettingCaption);
}

// The list's entries, read from this process: asked for in UTF-16, which Wine
// carries across processes whole (an ANSI request comes back cut to one letter).
std::vector<std::string> listEntries(HWND dlg)
{
    std::vector<std::string> out;
    HWND list = GetDlgItem(dlg, IDC_APP_LIST);
    LRESULT n = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
        wchar_t wide[128] = L"";
        char text[128] = "";
        if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) < 128)
            SendMessageW(list, CB_GETLBTEXT, i, (LPARAM)wide);
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL);
        out.push_back(text);
    }
    return out;
}

DWORD storedDefault()
{
    DWORD v = 0;
    qxt::regGetDword(HKEY_CURRENT_USER, TK_USER_SETTINGS_KEY, "DefaultTVAPP", &v);
    return v;
}

} // namespace

TEST(Setting, ChosenDefaultIsSavedAndThePowerKeyStartsItAfterARestart)
{
    ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
    resetCard();
    Tunerkey run;
    ASSERT_TRUE(startTunerkey(&run));
    EXPECT_EQ(storedDefault(), 1u) << "first start writes Home Theater";

    HWND dlg = openSetting(run);
    ASSERT_NE(dlg, (HWND)NULL);
    EXPECT_EQ(listEntries(dlg),
              (std::vector<std::string>{"Home Theater", "PowerVCR", "HonesTVR", "TivraTVR"}));
    EXPECT_EQ(qxt::comboSelection(dlg, IDC_APP_LIST), 0);
    ASSERT_TRUE(qxt::pickComboEntry(dlg, IDC_APP_LIST, 3));
    qxt::pressButton(dlg, IDOK);
    ASSERT_TRUE(qxt::waitForGone(dlg));
    EXPECT_EQ(storedDefault(), 3u);
    EXPECT_EQ(exitTunerkey(&run), 0);

    // A new run: the power key starts TivraTVR, nothing else.
    ASSERT_TRUE(startTunerkey(&run));
    ASSERT_TRUE(press(18));
    EXPECT_TRUE(qxt::waitUntil([] { return windowOf(Tivra) != NULL; }, 5000)) << "TivraTVR not started";
    qxt::pumpMessages(500);
    EXPECT_EQ(windowOf(HomeTheater), (HWND)NULL);

    // The dialog shows the saved choice; leaving it with Escape keeps it.
    dlg = openSetting(run);
    ASSERT_NE(dlg, (HWND)NULL);
    EXPECT_EQ(qxt::comboSelection(dlg, IDC_APP_LIST), 3);
    ASSERT_TRUE(qxt::pickComboEntry(dlg, IDC_APP_LIST, 1));
    // The dialog has no Cancel button: Escape, which arrives as IDCANCEL.
    PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(qxt::waitForGone(dlg));
    EXPECT_EQ(storedDefault(), 3u);

    EXPECT_EQ(exitTunerkey(&run), 0);
    closeAll();
}
