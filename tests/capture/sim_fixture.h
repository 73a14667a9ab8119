// The simulated card as the capture tests see it: its control requests, its
// request log, and the capture devices listed in the video input category.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "simcard_ctl.h"

namespace simcard
{

// Sends a control command to the card; fails the calling test when refused.
void command(unsigned int cmd, unsigned int a0 = 0, unsigned int a1 = 0, unsigned int a2 = 0,
             unsigned int a3 = 0);
void reset(); // everything back to its start, log cleared
std::vector<SimLogEntry> log();
// The log as "I2C set SWSTART", with payloads: "I2C set SWADDRESS addr=0x61" and so on.
std::vector<std::string> logLines();
// Only the operation names, in order.
std::vector<std::string> logOps();

// A device of the video input category named `friendlyName`, served by the
// simulated filter; `variant` is "", "NoKsObject" or "NullHandle". Devices are
// listed in the order of their `key` names.
void addDevice(const char *key, const char *friendlyName, const char *variant = "");
// Lists no device at all, then only the card's own one again.
void clearDevices();
void restoreDevices();

// A message box of this room: waits for it, reads its text and presses OK, on a
// thread of its own (the box blocks the test's thread).
struct BoxWatcher {
    explicit BoxWatcher(const char *caption, DWORD holdMs = 0);
    ~BoxWatcher();
    std::string text() const; // the text of the box seen ("" when none appeared)
    int boxesSeen() const;    // how many boxes with the caption were open at once, at most

  private:
    static unsigned __stdcall run(void *self);
    std::string caption_, text_;
    DWORD holdMs_;
    int most_ = 0;
    HANDLE thread_ = NULL;
};

// Closes any message box left open for `ms` (a box no test waits for would
// block the test for good) and keeps the captions of those it closed.
struct StrayBoxGuard {
    explicit StrayBoxGuard(DWORD ms = 3000);
    ~StrayBoxGuard();
    std::vector<std::string> closed(); // stops the guard

  private:
    static unsigned __stdcall run(void *self);
    DWORD ms_;
    HANDLE stop_ = NULL, thread_ = NULL;
    std::vector<std::string> closed_;
};

} // namespace simcard
