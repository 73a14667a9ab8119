// Switching the computer off, with the final call replaced so that the test run
// itself survives. Built twice: for the NT family and for Wine's win98 emulation.
#include <gtest/gtest.h>

#include <thread>

#include "common/windows_family.h"
#include "keys/keys.h"
#include "qxtest.h"

#ifndef EXPECT_WIN9X
#define EXPECT_WIN9X 0
#endif

namespace
{

struct ExitCall {
    UINT flags;
    DWORD reason;
};
std::vector<ExitCall> exitCalls;
BOOL exitResult = TRUE;

BOOL WINAPI recordExit(UINT flags, DWORD reason)
{
    exitCalls.push_back({flags, reason});
    return exitResult;
}

// Runs ShutDownComputer; the text of a message box it shows meanwhile (closed
// with OK from another thread), or "" when none appeared.
std::string shutDownAndAnswer()
{
    exitCalls.clear();
    exitWindowsCall = recordExit;
    std::string text;
    std::thread answer([&] {
        HWND box = qxt::waitForDialog("QX770 Remote Control", 1500);
        if (box) {
            text = qxt::messageBoxText(box);
            qxt::pressButton(box, IDOK);
        }
    });
    ShutDownComputer();
    answer.join();
    return text;
}

} // namespace

TEST(ShutDown, FamilyIsRecognised)
{
    EXPECT_EQ(IsWindows9x(), EXPECT_WIN9X != 0);
}

TEST(ShutDown, SwitchesOffWithTheFamilysFlags)
{
    exitResult = TRUE;
    EXPECT_EQ(shutDownAndAnswer(), "");
    ASSERT_EQ(exitCalls.size(), 1u);
    EXPECT_EQ(exitCalls[0].flags, EXPECT_WIN9X ? 1u : 12u); // EWX_SHUTDOWN; EWX_POWEROFF | EWX_FORCE
    EXPECT_EQ(exitCalls[0].reason, 0u);
}

TEST(ShutDown, FailureIsReportedOnlyOnTheNtFamily)
{
    exitResult = FALSE;
    std::string text = shutDownAndAnswer();
    EXPECT_EQ(exitCalls.size(), 1u);
    EXPECT_EQ(text, EXPECT_WIN9X ? "" : "Can't run ExitWindowsEx.");
}
