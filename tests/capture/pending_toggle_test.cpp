// Polls through the capture code while the card's pending completion is
// switched on and off under them. The card once stopped answering for good
// after a few hundred such requests, so every wait here is bounded: a stall
// fails the test instead of hanging it.
#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <cstdio>

#include "capture/capture.h"
#include "card_client.h"
#include "sim_fixture.h"

namespace
{

const LONG Polls = 800;
const DWORD StallMs = 5000; // no progress for this long: the card is stuck

volatile LONG PollsDone = 0;
volatile LONG BadPolls = 0;
volatile LONG Toggles = 0;
volatile LONG ToggleErrors = 0;
volatile LONG Stop = 0;

unsigned __stdcall pollLoop(void *)
{
    for (LONG i = 0; i < Polls && !Stop; i++) {
        BYTE key = 0;
        bool ok = readChipRegister(CHIP_STATUS_REGISTER) == CHIP_STATUS_NO_KEY &&
                  readReceiver(RECEIVER_ADDRESS, &key, 1) && key == 0xFF;
        if (!ok)
            InterlockedIncrement(&BadPolls);
        InterlockedIncrement(&PollsDone);
    }
    return 0;
}

// Its own handle to the card, so that a control request never waits behind
// the polls' handle.
unsigned __stdcall toggleLoop(void *)
{
    HANDLE card = simcard_open();
    if (card == INVALID_HANDLE_VALUE) {
        InterlockedIncrement(&ToggleErrors);
        return 0;
    }
    unsigned int seed = 12345;
    for (unsigned int on = 1; !Stop; on ^= 1) {
        if (simcard_command(card, SIM_CMD_PEND, on, 0, 0, 0) != 0)
            InterlockedIncrement(&ToggleErrors);
        InterlockedIncrement(&Toggles);
        seed = seed * 1103515245u + 12345u;
        Sleep((seed >> 16) % 4); // 0 to 3 ms: switches land at every point of a poll
    }
    simcard_command(card, SIM_CMD_PEND, 0, 0, 0, 0);
    CloseHandle(card);
    return 0;
}

// Waits for `thread` as long as `counter` keeps moving; false on a stall.
bool waitWhileMoving(HANDLE thread, volatile LONG *counter)
{
    LONG seen = *counter;
    DWORD still = 0;
    while (WaitForSingleObject(thread, 250) == WAIT_TIMEOUT) {
        LONG now = *counter;
        still = now == seen ? still + 250 : 0;
        seen = now;
        if (still >= StallMs)
            return false;
    }
    return true;
}

TEST(PendingToggle, PollsCompleteWhilePendingIsSwitched)
{
    simcard::reset();
    ASSERT_TRUE(openCaptureFilter());
    ASSERT_NE(CaptureFilter.deviceHandle, (HANDLE)NULL);

    HANDLE poller = (HANDLE)_beginthreadex(NULL, 0, pollLoop, NULL, 0, NULL);
    HANDLE toggler = (HANDLE)_beginthreadex(NULL, 0, toggleLoop, NULL, 0, NULL);
    ASSERT_TRUE(poller && toggler);
    bool polled = waitWhileMoving(poller, &PollsDone);
    InterlockedExchange(&Stop, 1);
    bool toggled = WaitForSingleObject(toggler, StallMs) == WAIT_OBJECT_0;
    if (!polled || !toggled) {
        // The stuck threads cannot be released; end here rather than hang in teardown.
        ADD_FAILURE() << "the card stopped answering after " << PollsDone << " polls and " << Toggles
                      << " switches (polls " << (polled ? "done" : "stuck") << ", switches "
                      << (toggled ? "done" : "stuck") << ")";
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 1);
    }
    CloseHandle(poller);
    CloseHandle(toggler);
    EXPECT_EQ(PollsDone, Polls);
    EXPECT_EQ(BadPolls, 0);
    EXPECT_EQ(ToggleErrors, 0);
    EXPECT_GT(Toggles, 10);
    std::printf("%ld polls, %ld switches of pending\n", (long)PollsDone, (long)Toggles);

    // Still answering, at once and pending.
    for (unsigned int on = 0; on < 2; on++) {
        simcard::command(SIM_CMD_PEND, on);
        EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), CHIP_STATUS_NO_KEY) << "pending " << on;
    }
    simcard::command(SIM_CMD_PEND, 0);
    releaseCaptureFilter();
    CaptureFilter.deviceHandle = NULL;
}

} // namespace
