// One key, end to end: PowerVCR II runs, nothing is the target, and the user
// presses digit 5 on the remote. The simulated card, tunerkey.exe and the
// PowerVCR II stand-in are all separate programs here, as on a real machine.
#include <gtest/gtest.h>

#include "program_run.h"
#include "standin_client.h"

using namespace e2e;

TEST(OneKey, DigitFiveReachesARunningPowerVcrAndTheNextKeysFollowIt)
{
    PowerVcrSession s;
    ASSERT_EQ(startPowerVcrSession(&s), "");
    // Another application in front: the key is posted to PowerVCR's window, not
    // typed into whatever has the focus.
    HWND front = launch(WinRip);
    ASSERT_NE(front, (HWND)NULL);
    size_t from = standin::lines(s.log).size();

    ASSERT_TRUE(press(5));
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x35 0x00060001 -", from));
    // The probe made PowerVCR the target: a Home Theater window opened now is
    // never probed, and the following digits still go to PowerVCR.
    HWND ht = launch(HomeTheater);
    ASSERT_NE(ht, (HWND)NULL);
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(2));
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x32 * -", from));
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(10)); // digit 0
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x30 * -", from));
    ASSERT_TRUE(standin::sync(s.pvcr, s.log));

    EXPECT_EQ(received(PowerVcr, from).size(), 3u) << "exactly one key-down per press, nothing else";
    EXPECT_TRUE(received(HomeTheater).empty());
    EXPECT_TRUE(received(WinRip).empty());

    EXPECT_EQ(exitTunerkey(&s.run), 0);
    closeAll();
}
