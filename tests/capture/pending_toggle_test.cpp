// Polls through the capture code while the card's pending completion is
// switched on and off under them, and a second client sends bare requests at
// the same time (as a benchmark does), so that several requests are held back
// at once. The card once stopped answering for good after a few hundred such
// polls, so every wait here is bounded: a stall fails the test instead of
// hanging it.
#include <gtest/gtest.h>

#include <windows.h>
#include <process.h>

#include <cstdio>

#include "capture/capture_internal.h"
#include "card_client.h"
#include "sim_fixture.h"

namespace
{

const LONG Polls = 800;
const DWORD StallMs = 5000; // no progress for this long: the card is stuck

volatile LONG PollsDone = 0;
volatile LONG BadPolls = 0;
volatile LONG Toggles = 0;
volatile LONG BareRequests = 0;
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

// Requests of a property set the card does not serve: refused before they
// touch the card's state, so the polls read what they would alone, yet held
// back like any other while pending is on.
unsigned __stdcall bareLoop(void *)
{
    RegisterRequest request = {};
    request.header = {GUID_NULL, BT848_CUSTPROP_REGISTER, KSPROPERTY_TYPE_GET_FLAG};
    while (!Stop) {
        DWORD returned = 0;
        RegisterRequest answer = request;
        syncDeviceControl(CaptureFilter.deviceHandle, KS_PROPERTY_IOCTL, &answer, sizeof answer, &answer,
                          sizeof answer, &returned);
        InterlockedIncrement(&BareRequests);
    }
    return 0;
}

// Switches pending through a handle of its own, counting refusals: the
// fixture's commands report into the test, which is the main thread's job.
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
    HANDLE bare = (HANDLE)_beginthreadex(NULL, 0, bareLoop, NULL, 0, NULL);
    ASSERT_TRUE(poller && toggler && bare);
    bool polled = waitWhileMoving(poller, &PollsDone);
    InterlockedExchange(&Stop, 1);
    // After a stall the other two are stuck as well: no need to wait for them.
    bool others = polled && WaitForSingleObject(toggler, StallMs) == WAIT_OBJECT_0 &&
                  WaitForSingleObject(bare, StallMs) == WAIT_OBJECT_0;
    if (!others) {
        // The stuck threads cannot be released; end here rather than hang in teardown.
        ADD_FAILURE() << "the card stopped answering after " << PollsDone << " polls, " << Toggles
                      << " switches of pending and " << BareRequests << " bare requests";
        fflush(stdout);
        TerminateProcess(GetCurrentProcess(), 1);
    }
    CloseHandle(poller);
    CloseHandle(toggler);
    CloseHandle(bare);
    EXPECT_EQ(PollsDone, Polls);
    EXPECT_EQ(BadPolls, 0);
    EXPECT_EQ(ToggleErrors, 0);
    EXPECT_GT(Toggles, 10);
    std::printf("%ld polls, %ld switches of pending, %ld bare requests\n", (long)PollsDone, (long)Toggles,
                (long)BareRequests);

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
