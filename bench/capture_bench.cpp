// Cost of one key poll through the capture code (status register read plus
// receiver read, twelve requests) against the same twelve requests sent as bare
// DeviceIoControl calls, both to the simulated card in the same run.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include "capture/capture_internal.h"
#include "sim_fixture.h"

namespace
{

double seconds(LARGE_INTEGER a, LARGE_INTEGER b)
{
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

double timePolls(int polls)
{
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < polls; i++) {
        BYTE key = 0;
        readChipRegister(CHIP_STATUS_REGISTER);
        readReceiver(RECEIVER_ADDRESS, &key, 1);
    }
    QueryPerformanceCounter(&b);
    return seconds(a, b);
}

// The same requests, prepared once and sent with one event: the driver's round trip alone.
double timeBare(HANDLE device, int polls)
{
    RegisterRequest reg[3] = {};
    const DWORD regOps[3] = {BT848_CUSTPROP_REGISTER_SETADDRESS, BT848_CUSTPROP_REGISTER_READ,
                             BT848_CUSTPROP_REGISTER_READ};
    for (int i = 0; i < 3; i++) {
        reg[i].header = {BT848_CUSTPROP_SET, BT848_CUSTPROP_REGISTER,
                         i == 2 ? KSPROPERTY_TYPE_GET_FLAG : KSPROPERTY_TYPE_SET_FLAG};
        reg[i].operation = regOps[i];
        reg[i].registerAddress = i == 0 ? CHIP_STATUS_REGISTER : 0;
    }
    const DWORD busOps[9] = {BT848_CUSTPROP_I2C_OPERATION_SWRESET,    BT848_CUSTPROP_I2C_OPERATION_INIT,
                             BT848_CUSTPROP_I2C_OPERATION_SWSTART,    BT848_CUSTPROP_I2C_OPERATION_SWADDRESS,
                             BT848_CUSTPROP_I2C_OPERATION_SWWRITE,    BT848_CUSTPROP_I2C_OPERATION_SWREAD,
                             BT848_CUSTPROP_I2C_OPERATION_SWSENDNACK, BT848_CUSTPROP_I2C_OPERATION_SWSTOP,
                             BT848_CUSTPROP_I2C_OPERATION_RESET};
    I2cRequest bus[9] = {};
    for (int i = 0; i < 9; i++) {
        bus[i].header = {BT848_CUSTPROP_SET, BT848_CUSTPROP_I2C,
                         busOps[i] == BT848_CUSTPROP_I2C_OPERATION_SWREAD ? KSPROPERTY_TYPE_GET_FLAG
                                                                          : KSPROPERTY_TYPE_SET_FLAG};
        bus[i].operation = busOps[i];
        bus[i].parameter = i == 0 ? I2C_SWRESET_PARAMETER : i == 8 ? I2C_RESET_PARAMETER : 0;
        bus[i].addressByte = bus[i].dataByte = (i == 3 || i == 4) ? 0x61 : 0;
    }
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD got = 0;
    int failures = 0;
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int p = 0; p < polls; p++) {
        for (RegisterRequest &r : reg)
            failures += !DeviceIoControl(device, KS_PROPERTY_IOCTL, &r, sizeof r, &r, sizeof r, &got, &ov);
        for (I2cRequest &r : bus)
            failures += !DeviceIoControl(device, KS_PROPERTY_IOCTL, &r, sizeof r, &r, sizeof r, &got, &ov);
    }
    QueryPerformanceCounter(&b);
    CloseHandle(ov.hEvent);
    EXPECT_EQ(failures, 0);
    return seconds(a, b);
}

// What the transport adds to each request: its own event, created and closed.
double timeEvents(int polls)
{
    LARGE_INTEGER a, b;
    QueryPerformanceCounter(&a);
    for (int i = 0; i < polls * 12; i++)
        CloseHandle(CreateEventA(NULL, TRUE, FALSE, NULL));
    QueryPerformanceCounter(&b);
    return seconds(a, b);
}

TEST(CaptureBench, PollThroughTheCaptureCodeAgainstBareRequests)
{
    int polls = 300;
    if (const char *n = getenv("QX_BENCH_POLLS"))
        polls = atoi(n) > 0 ? atoi(n) : polls;
    simcard::reset();
    ASSERT_TRUE(openCaptureFilter());
    ASSERT_NE(CaptureFilter.deviceHandle, (HANDLE)NULL);
    simcard::command(SIM_CMD_KEY_DOWN, 5, 0, 0); // held: every poll reads the receiver in full

    // Alternating rounds, so that a busy moment of the machine falls on both sides.
    double polled = 0, bare = 0, events = 0;
    timePolls(20);
    timeBare(CaptureFilter.deviceHandle, 20);
    const int rounds = 4;
    for (int r = 0; r < rounds; r++) {
        polled += timePolls(polls / rounds);
        bare += timeBare(CaptureFilter.deviceHandle, polls / rounds);
        events += timeEvents(polls / rounds);
    }
    int done = polls / rounds * rounds;
    printf("capture polls: %d in %.3f s = %.0f polls/s (%.3f ms per poll, 12 requests each)\n", done, polled,
           done / polled, 1000 * polled / done);
    printf("bare requests: %d in %.3f s = %.3f ms per 12\n", done * 12, bare, 1000 * bare / done);
    printf("ratio (capture code / bare DeviceIoControl): %.3f (goal 1.10 or less)\n", polled / bare);
    printf("of which one event per request, created and closed: %.3f ms per 12 (bare + events: ratio %.3f)\n",
           1000 * events / done, (bare + events) / bare);
    releaseCaptureFilter();
}

} // namespace
