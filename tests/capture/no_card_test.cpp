// A prefix with no simulated card: discovery finds nothing and says nothing,
// and the virtual remote reports the missing card.
#include <gtest/gtest.h>

#include "capture/capture_internal.h"
#include "qxtest.h"

TEST(NoCard, DiscoveryFindsNothingAndShowsNoMessage)
{
    EXPECT_FALSE(openCaptureFilter());
    EXPECT_EQ(CaptureFilter.filter, (IBaseFilter *)NULL);
    EXPECT_EQ(CaptureFilter.deviceHandle, (HANDLE)NULL);
    EXPECT_EQ(qxt::waitForDialog("Message", 200), (HWND)NULL);
    releaseCaptureFilter();
}

TEST(NoCard, VirtualRemoteSaysSoAndFails)
{
    std::string out;
    EXPECT_EQ(qxt::runProgram(qxt::programPath("simremote.exe") + " press 5", &out), 2);
    EXPECT_NE(out.find("no simulated card"), std::string::npos) << out;
}
