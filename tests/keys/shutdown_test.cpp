// Switching the computer off, with the final call replaced so that the test run
// itself survives. Built twice: for the NT family and for Wine's win98 emulation.
#include <gtest/gtest.h>

#include <atomic>
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
    bool privilegeEnabled; // SeShutdownPrivilege, in the process's token at the call
};
std::vector<ExitCall> exitCalls;
BOOL exitResult = TRUE;

// Enables or disables SeShutdownPrivilege in the process's token; with `query`,
// only tells whether it is enabled.
bool shutdownPrivilege(bool query, bool enable = false)
{
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    LUID luid;
    bool enabled = false;
    if (LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &luid)) {
        if (query) {
            char buffer[4096];
            DWORD size = 0;
            if (GetTokenInformation(token, TokenPrivileges, buffer, sizeof buffer, &size)) {
                const TOKEN_PRIVILEGES *p = (const TOKEN_PRIVILEGES *)buffer;
                for (DWORD i = 0; i < p->PrivilegeCount; ++i)
                    if (p->Privileges[i].Luid.LowPart == luid.LowPart &&
                        p->Privileges[i].Luid.HighPart == luid.HighPart)
                        enabled = (p->Privileges[i].Attributes & SE_PRIVILEGE_ENABLED) != 0;
            }
        } else {
            TOKEN_PRIVILEGES tp = {};
            tp.PrivilegeCount = 1;
            tp.Privileges[0].Luid = luid;
            tp.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
            enabled = AdjustTokenPrivileges(token, FALSE, &tp, 0, NULL, NULL) && GetLastError() == 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

BOOL WINAPI recordExit(UINT flags, DWORD reason)
{
    exitCalls.push_back({flags, reason, shutdownPrivilege(true)});
    return exitResult;
}

// Runs ShutDownComputer; the text of a message box it shows meanwhile (closed
// with OK from another thread), or "" when none appeared.
std::string shutDownAndAnswer()
{
    exitCalls.clear();
    exitWindowsCall = recordExit;
    // Off before the call: the switch-off must enable it itself.
    if (!EXPECT_WIN9X) {
        EXPECT_TRUE(shutdownPrivilege(false, false));
    }
    std::string text;
    std::atomic<bool> returned(false);
    // Looks for the box until the call has returned, however late a loaded machine
    // shows it: the call cannot return while its box is up.
    std::thread answer([&] {
        while (!returned) {
            HWND box = qxt::waitForDialog("QX770 Remote Control", 100);
            if (box) {
                text = qxt::messageBoxText(box);
                qxt::pressButton(box, IDOK);
                return;
            }
        }
    });
    ShutDownComputer();
    returned = true;
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
    // EWX_SHUTDOWN; EWX_POWEROFF | EWX_FORCEIFHUNG (Wine reports Windows 7)
    EXPECT_EQ(exitCalls[0].flags, EXPECT_WIN9X ? 1u : 24u);
    EXPECT_EQ(exitCalls[0].reason, 0u);
    if (!EXPECT_WIN9X) {
        EXPECT_TRUE(exitCalls[0].privilegeEnabled) << "switched off without SeShutdownPrivilege enabled";
    }
}

// EWX_FORCE ends applications without letting them save; from Windows 2000 on only
// hung ones are ended (EWX_FORCEIFHUNG). NT 4.0 keeps EWX_FORCE.
TEST(ShutDown, NtFlagsForceOnlyHungApplicationsFromWindows2000)
{
    struct Case {
        DWORD major;
        UINT flags;
    } cases[] = {{3, 12}, {4, 12}, {5, 24}, {6, 24}, {10, 24}};
    for (const Case &c : cases)
        EXPECT_EQ(ntPowerOffFlags(c.major), c.flags) << "NT " << c.major;
}

TEST(ShutDown, FailureIsReportedOnlyOnTheNtFamily)
{
    exitResult = FALSE;
    std::string text = shutDownAndAnswer();
    EXPECT_EQ(exitCalls.size(), 1u);
    EXPECT_EQ(text, EXPECT_WIN9X ? "" : "Can't run ExitWindowsEx.");
}
