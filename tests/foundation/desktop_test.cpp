// The virtual desktop of the bench: its size and the notification area that
// the tray program needs.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "qxtest.h"

TEST(VirtualDesktop, HasTheRequestedSize)
{
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
}

TEST(VirtualDesktop, TrayIconCanBeAddedAndRemoved)
{
    qxt::MessageRecorder owner("QxBenchTrayOwner", "Tray Owner");
    NOTIFYICONDATAA nid;
    memset(&nid, 0, sizeof nid);
    nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    nid.hWnd = owner.hwnd();
    nid.uID = 10;
    nid.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    nid.uCallbackMessage = 1001;
    nid.hIcon = LoadIcon(NULL, IDI_APPLICATION);
    lstrcpynA(nid.szTip, "Bench Tray", sizeof nid.szTip);
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &nid));
    EXPECT_NE(FindWindowA("Shell_TrayWnd", NULL), (HWND)NULL);
    EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &nid));
}
