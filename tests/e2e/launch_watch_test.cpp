// A target that the user closes: launched by the power key, the launch watch
// lets it go and the remote drives the pointer again; adopted by the probe, it
// stays the target, its keys go nowhere, and the power key starts it again.
#include <gtest/gtest.h>

#include "program_run.h"
#include "shell/shell.h"
#include "standin_client.h"

using namespace e2e;

namespace
{

const int POWER = 18, RIGHT = 6;

// How often the application was started, by its log.
size_t starts(const App &app)
{
    size_t n = 0;
    for (const std::string &l : standin::lines(logOf(app)))
        n += l.compare(0, 6, "START ") == 0;
    return n;
}

class ClosedTarget : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_NE(card(), INVALID_HANDLE_VALUE) << "no simulated card";
        resetCard();
        qxt::regSetDword(HKEY_LOCAL_MACHINE, TK_SETTINGS_KEY, "DefaultTVAPP", 2); // PowerVCR II
        ASSERT_TRUE(startTunerkey(&run));
    }
    void TearDown() override
    {
        EXPECT_EQ(exitTunerkey(&run), 0);
        closeAll();
    }
    // Holds a direction key for six reads with the pointer parked; true when it
    // moved on every read: four single pixels, then two fine steps (6 pixels on
    // the 1024-pixel-wide virtual desktop).
    bool pointerFollows()
    {
        // A fresh place each time: with the X11 driver a warp lands late, and an
        // old position could pass for a move.
        static int park = 200;
        const int y = park += 40;
        SetCursorPos(400, y);
        qxt::waitUntil([&] { return cursor().x == 400 && cursor().y == y; }, 1000);
        qxt::pumpMessages(400); // settled, and the next key is no repeat of the last one
        press(RIGHT, 6);
        return qxt::waitUntil([&] { return cursor().x == 416 && cursor().y == y; }, 2500);
    }
    // The user closes PowerVCR II its own way, not through the remote.
    void userCloses()
    {
        PostMessageA(windowOf(PowerVcr), WM_CLOSE, 0, 0);
        ASSERT_TRUE(waitForEnd(PowerVcr));
    }
    Tunerkey run;
};

} // namespace

TEST_F(ClosedTarget, LaunchedByThePowerKeyTheWatchDropsItAndThePointerFollowsAgain)
{
    ASSERT_TRUE(press(POWER));
    ASSERT_TRUE(qxt::waitUntil([] { return windowOf(PowerVcr) != NULL; }, 5000)) << "default not started";
    qxt::pumpMessages(300);
    size_t from = logLength(PowerVcr);
    ASSERT_TRUE(press(3));
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x33 * -", from)) << "not the target";

    userCloses();
    // The watch looks once a second.
    qxt::pumpMessages(2500);
    EXPECT_TRUE(pointerFollows()) << "the closed application is still the target";
}

TEST_F(ClosedTarget, AdoptedByTheProbeItStaysTheTargetUntilThePowerKeyStartsItAgain)
{
    ASSERT_NE(launch(PowerVcr), (HWND)NULL);
    size_t from = logLength(PowerVcr);
    ASSERT_TRUE(press(3));
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x33 * -", from));

    userCloses();
    qxt::pumpMessages(2500);
    EXPECT_FALSE(pointerFollows()) << "no watch was set: the key belongs to the closed target";

    // Its driver's power toggle starts it again (no other application is closed).
    size_t before = starts(PowerVcr);
    qxt::pumpMessages(300);
    ASSERT_TRUE(press(POWER));
    // The window exists a moment before the stand-in logs its start.
    ASSERT_TRUE(qxt::waitUntil([&] { return starts(PowerVcr) > before && windowOf(PowerVcr) != NULL; }, 5000))
        << "not started again";
    qxt::pumpMessages(500);
    EXPECT_EQ(starts(PowerVcr), before + 1);
}
