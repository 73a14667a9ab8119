// Soak: tunerkey.exe through at least 20,000 polls of the simulated card, with
// random key presses, some held, and driver faults injected on the I2C bus. Printed, not asserted:
// - handles, GDI objects and private bytes of the program at the start and the
//   end (goal: flat);
// - keys pressed, fresh reads the card answered, keys the rules should deliver
//   and keys PowerVCR II received (goal: no phantom key, no lost key).
// QX_SOAK_POLLS sets another number of polls for a quick look.
#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "card_client.h"
#include "card_model.h"
#include "host_process.h"
#include "program_run.h"
#include "standin_client.h"

using namespace e2e;

namespace
{

// Wine answers the Windows-side queries with nothing (a failed call or 0); the
// host's figures of the same process tell instead.
struct Figures {
    DWORD handles = 0, gdi = 0, user = 0;
    SIZE_T privateBytes = 0;
    long hostRssKb = -1;
    int hostFiles = -1;
};

Figures measure(HANDLE process, const std::string &host)
{
    Figures f;
    GetProcessHandleCount(process, &f.handles);
    f.gdi = GetGuiResources(process, GR_GDIOBJECTS);
    f.user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS_EX m;
    memset(&m, 0, sizeof m);
    if (GetProcessMemoryInfo(process, (PROCESS_MEMORY_COUNTERS *)&m, sizeof m))
        f.privateBytes = m.PrivateUsage;
    f.hostRssKb = qxt::hostStatusKb(host, "VmRSS");
    f.hostFiles = qxt::hostOpenFiles(host);
    return f;
}

void print(const char *when, const Figures &f)
{
    printf(
        "%-5s handles %lu, GDI objects %lu, USER objects %lu, private bytes %lu; host: resident %ld kB, open "
        "files %d\n",
        when, (unsigned long)f.handles, (unsigned long)f.gdi, (unsigned long)f.user,
        (unsigned long)f.privateBytes, f.hostRssKb, f.hostFiles);
}

unsigned int pollTarget()
{
    char text[16];
    DWORD n = GetEnvironmentVariableA("QX_SOAK_POLLS", text, sizeof text);
    int polls = n > 0 && n < sizeof text ? atoi(text) : 0;
    return polls > 0 ? (unsigned)polls : 20000;
}

// What one press window of the card's log shows.
struct Window {
    unsigned polls = 0;      // status register reads answered
    unsigned freshReads = 0; // whole I2C transactions that read the pressed code
    bool overflow = false;   // the log dropped entries: the window is not counted
};

bool failed(const SimLogEntry &e)
{
    return (e.status & 0x80000000u) != 0;
}

// A receiver read counts when its whole transaction (from one SWSTART to the
// next) went through and its SWREAD answered the code.
Window readWindow(int code)
{
    static SimLogEntry entries[SIM_LOG_CAPACITY];
    SimLogHeader header = {0, 0};
    Window w;
    if (simcard_log(card(), &header, entries, SIM_LOG_CAPACITY) != 0 || header.dropped != 0) {
        w.overflow = true;
        return w;
    }
    bool inTransaction = false, whole = true, readCode = false;
    auto close = [&] {
        if (inTransaction && whole && readCode)
            ++w.freshReads;
    };
    for (unsigned i = 0; i < header.count; ++i) {
        const SimLogEntry &e = entries[i];
        if (e.op == SIM_OP_REGREAD && e.flags == SIM_FLAG_GET && !failed(e))
            ++w.polls;
        if (e.op == SIM_OP_REGSET || e.op == SIM_OP_REGREAD)
            continue;
        if (e.op == SIM_OP_SWSTART) {
            close();
            inTransaction = true;
            whole = true;
            readCode = false;
        }
        whole = whole && !failed(e);
        if (e.op == SIM_OP_SWREAD && !failed(e) && e.data == (unsigned char)code)
            readCode = true;
    }
    close();
    return w;
}

// Faults that fail one request of the receiver read; none opens a message box.
const unsigned int FaultOps[] = {SIM_OP_SWSTART, SIM_OP_SWADDRESS, SIM_OP_SWREAD, SIM_OP_SWSENDNACK,
                                 SIM_OP_SWSTOP};

} // namespace

TEST(Soak, RandomKeysAndDriverFaults)
{
    PowerVcrSession s;
    ASSERT_EQ(startPowerVcrSession(&s), "");
    const std::string &log = s.log;
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, s.run.child.pid);
    ASSERT_NE(process, (HANDLE)NULL);
    std::string host = qxt::hostProcessOf("tunerkey.exe");

    // The first key makes PowerVCR the target; the figures start after it.
    ASSERT_TRUE(press(1));
    ASSERT_TRUE(waitForLine(PowerVcr, "KEYDOWN main 0x31 * -", 0));
    qxt::pumpMessages(500);
    Figures start = measure(process, host);

    const unsigned int target = pollTarget();
    unsigned polls = 0, pressed = 0, held = 0, faults = 0, pending = 0, fresh = 0, expected = 0,
             delivered = 0, phantom = 0, lost = 0, uncounted = 0;
    DWORD began = GetTickCount();
    srand(20000);
    while (polls < target) {
        int code = 1 + rand() % 10; // the digits: one key-down each at PowerVCR
        bool fault = rand() % 4 == 0;
        bool hold = !fault && rand() % 8 == 0;
        // One press in five is answered through the card's pending completion.
        bool pend = rand() % 5 == 0;
        unsigned op = FaultOps[rand() % (sizeof FaultOps / sizeof FaultOps[0])];
        unsigned reads = hold ? 25 : 1;

        simcard_command(card(), SIM_CMD_PEND, pend ? 1 : 0, 0, 0, 0);
        simcard_command(card(), SIM_CMD_LOG_CLEAR, 0, 0, 0, 0);
        if (fault)
            simcard_command(card(), SIM_CMD_FAIL, op, SIM_FAULT_COUNT, 1, 0);
        size_t from = standin::lines(log).size();
        press(code, reads);
        // Long enough for every read, and a gap past the repeat window after it.
        qxt::pumpMessages(reads * 65 + 350);
        simcard_command(card(), SIM_CMD_KEY_UP, 0, 0, 0, 0);
        simcard_command(card(), SIM_CMD_FAIL, op, SIM_FAULT_OFF, 0, 0);
        qxt::pumpMessages(80); // a poll under way ends
        Window w = readWindow(code);
        ASSERT_TRUE(standin::sync(s.pvcr, log)) << "PowerVCR II stopped answering";

        ++pressed;
        held += hold;
        faults += fault;
        pending += pend;
        if (w.overflow) {
            ++uncounted;
            continue;
        }
        polls += w.polls;
        fresh += w.freshReads;
        // With PowerVCR the target, a held key acts on its first read and every tenth repeat.
        unsigned want = (w.freshReads + 9) / 10;
        unsigned got = 0, other = 0;
        char digit[8];
        snprintf(digit, sizeof digit, "0x%02X", 0x30 + code % 10);
        for (const std::string &l : standin::linesFrom(log, from)) {
            if (standin::matches(l, std::string("KEYDOWN main ") + digit + " * -"))
                ++got;
            else if (l.compare(0, 4, "MARK") != 0)
                ++other;
        }
        expected += want;
        delivered += got;
        phantom += other + (got > want ? got - want : 0);
        lost += want > got ? want - got : 0;
    }
    double seconds = (GetTickCount() - began) / 1000.0;
    simcard_command(card(), SIM_CMD_PEND, 0, 0, 0, 0);
    Figures end = measure(process, host);

    printf("soak: %u polls counted in the card's log over %.0f s (%.0f at 65 ms)\n", polls, seconds,
           seconds * 1000.0 / 65.0);
    printf("keys pressed %u (held 25 reads: %u; with one I2C fault: %u; with pending completion: %u; windows "
           "the "
           "log could not hold: %u)\n",
           pressed, held, faults, pending, uncounted);
    printf("fresh reads of the pressed key %u, keys the rules deliver %u, keys PowerVCR II received %u\n",
           fresh, expected, delivered);
    printf("phantom keys %u, lost keys %u (goal: 0 and 0)\n", phantom, lost);
    print("start", start);
    print("end", end);
    CloseHandle(process);
    EXPECT_EQ(exitTunerkey(&s.run), 0);
    closeAll();
}
