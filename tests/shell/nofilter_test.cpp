// tunerkey.exe on a machine without the card: no message at start, and the first
// press on the tray icon reports the missing filter and ends the program.
#include <gtest/gtest.h>

#include "shell/shell.h"

#include "qxtest.h"
#include "tray_bench.h"

TEST(WithoutTheCard, APressReportsTheMissingFilterOnceAndEnds)
{
    qxt::Child run;
    ASSERT_TRUE(qxt::startProcess("\"" + qxt::programUnderTest("tunerkey.exe") + "\"", &run));
    HWND main = NULL;
    ASSERT_TRUE(qxt::waitUntil([&] { return (main = FindWindowA(TK_WINDOW_CLASS, NULL)) != NULL; }));
    ASSERT_TRUE(qxt::waitUntil([&] { return trayIconPresent(main, TRAY_ICON_ID); }));
    EXPECT_EQ(qxt::waitForDialog("QX770 Remote Control", 500), (HWND)NULL) << "nothing said at start";

    ASSERT_TRUE(clickTrayIcon(true));
    HWND box = qxt::waitForDialog("QX770 Remote Control");
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(qxt::messageBoxText(box),
              "Can't find the QX770 Video Capture Filter.\n\nPlease check your hardware or drivers. ");
    EXPECT_EQ(GetWindow(box, GW_OWNER), (HWND)NULL);

    // Another press while the message is up adds no second one.
    ASSERT_TRUE(clickTrayIcon(false));
    qxt::pumpMessages(500);
    int boxes = 0;
    for (HWND w = FindWindowA("#32770", NULL); w != NULL; w = FindWindowExA(NULL, w, "#32770", NULL))
        boxes += IsWindowVisible(w) && qxt::windowText(w) == "QX770 Remote Control";
    EXPECT_EQ(boxes, 1);

    qxt::pressButton(box, IDOK);
    EXPECT_EQ(qxt::waitProcess(&run, 5000), 0);
    EXPECT_FALSE(trayIconPresent(main, TRAY_ICON_ID));
}
