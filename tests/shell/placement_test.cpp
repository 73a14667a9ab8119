// Where the three dialogs appear on a screen of the bench's size (the program is
// registered once per screen width).
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "modal.h"
#include "qxtest.h"

#include <functional>

struct Expected {
    int width;
    bool moved;
    int x, y;
};

static const Expected Screens[] = {
    {800, true, 280, 250},  {1024, true, 350, 300},
    {1280, true, 420, 300}, {1366, false, 0, 0}, // any other width: centred on the work area
    {1920, false, 0, 0},
};

TEST(DialogPlacement, AllThreeDialogsOnThisScreen)
{
    int width = GetSystemMetrics(SM_CXFULLSCREEN);
    const Expected *want = NULL;
    for (const Expected &e : Screens) {
        if (e.width == width)
            want = &e;
    }
    ASSERT_NE(want, (const Expected *)NULL) << "no expectation for a screen " << width << " wide";

    struct Dialog {
        const char *caption;
        std::function<void()> open;
        bool alwaysTopmost; // every remote key answers it: never behind another window
    } dialogs[] = {
        {"QX770 Remote Control - About", [] { openAboutDialog(NULL); }, false},
        {"QX770 Remote Control - Setting", [] { openSettingDialog(NULL); }, false},
        {"QX770 Remote Control - Shut Down", [] { openShutdownDialog(NULL); }, true},
    };
    for (const Dialog &d : dialogs) {
        RECT at = {};
        LONG_PTR exStyle = 0;
        runModal(d.caption, d.open, [&](HWND dlg) {
            if (dlg == NULL)
                return;
            GetWindowRect(dlg, &at);
            exStyle = GetWindowLongPtrA(dlg, GWL_EXSTYLE);
            PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
        bool topmost = (exStyle & WS_EX_TOPMOST) != 0;
        EXPECT_EQ(topmost, want->moved || d.alwaysTopmost) << d.caption;
        if (want->moved) {
            EXPECT_EQ(at.left, want->x) << d.caption;
            EXPECT_EQ(at.top, want->y) << d.caption;
        } else {
            // The bench has one monitor: its work area is the pointer's.
            RECT work;
            ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
            EXPECT_NEAR(at.left + at.right, work.left + work.right, 2) << d.caption;
            EXPECT_NEAR(at.top + at.bottom, work.top + work.bottom, 2) << d.caption;
        }
    }
}
