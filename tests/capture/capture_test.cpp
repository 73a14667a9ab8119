// Capture device access against the simulated card: discovery, the transport,
// the register and receiver reads, and what each does when the driver fails.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>
#include <strmif.h>
#include <uuids.h>

#include <string>
#include <vector>

#include "capture/capture_internal.h"
#include "qxtest.h"
#include "sim_fixture.h"

namespace
{

typedef std::vector<std::string> Lines;

class CaptureCard : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        simcard::reset();
        simcard::restoreDevices();
    }
    void TearDown() override
    {
        EXPECT_TRUE(strays_.closed().empty())
            << "a message box nobody expected: " << strays_.closed().front();
        releaseCaptureFilter();
        CaptureFilter.deviceHandle = NULL; // borrowed from the filter just released
        simcard::restoreDevices();
    }
    simcard::StrayBoxGuard strays_;
    void open()
    {
        ASSERT_TRUE(openCaptureFilter());
        ASSERT_NE(CaptureFilter.deviceHandle, (HANDLE)NULL);
        simcard::command(SIM_CMD_LOG_CLEAR);
    }
};

std::string boundFilterName()
{
    FILTER_INFO info;
    if (!CaptureFilter.filter || FAILED(CaptureFilter.filter->QueryFilterInfo(&info)))
        return "";
    char name[128];
    WideCharToMultiByte(CP_ACP, 0, info.achName, -1, name, sizeof name, NULL, NULL);
    return name;
}

// The friendly names of the video input category, in the order the platform lists them.
Lines listedDevices()
{
    Lines names;
    CoInitialize(NULL);
    ICreateDevEnum *devices = NULL;
    IEnumMoniker *monikers = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_SystemDeviceEnum, NULL, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                   (void **)&devices))) {
        if (devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0) == S_OK) {
            IMoniker *m = NULL;
            while (monikers->Next(1, &m, NULL) == S_OK) {
                IPropertyBag *bag = NULL;
                if (SUCCEEDED(m->BindToStorage(NULL, NULL, IID_IPropertyBag, (void **)&bag))) {
                    VARIANT v;
                    VariantInit(&v);
                    if (SUCCEEDED(bag->Read(L"FriendlyName", &v, NULL)) && v.vt == VT_BSTR) {
                        char name[128];
                        WideCharToMultiByte(CP_ACP, 0, v.bstrVal, -1, name, sizeof name, NULL, NULL);
                        names.push_back(name);
                    }
                    VariantClear(&v);
                    bag->Release();
                }
                m->Release();
            }
            monikers->Release();
        }
        devices->Release();
    }
    CoUninitialize();
    return names;
}

const Lines PollWithKey5 = {
    "REG set REGSET reg=0x350010",
    "REG set REGREAD reg=0x350010",
    "REG get REGREAD reg=0x350010 value=0x00000000",
    "I2C set SWRESET param=200000",
    "I2C set INIT",
    "I2C set SWSTART",
    "I2C set SWADDRESS addr=0x61",
    "I2C set SWWRITE data=0x61",
    "I2C get SWREAD data=0x05",
    "I2C set SWSENDNACK",
    "I2C set SWSTOP",
    "I2C set RESET param=100000",
};

TEST_F(CaptureCard, OnePollIsTheRegisterReadThenNineBusRequests)
{
    open();
    simcard::command(SIM_CMD_KEY_DOWN, 5, 1, 0);
    EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), 0u);
    BYTE key = 0xAA;
    EXPECT_TRUE(readReceiver(RECEIVER_ADDRESS, &key, 1));
    EXPECT_EQ(key, 5);
    EXPECT_EQ(simcard::logLines(), PollWithKey5);
    // The press lasted one read: the status says "no key" again.
    EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), CHIP_STATUS_NO_KEY);
}

TEST_F(CaptureCard, ReadTransactionsOfOtherLengthsAndAddresses)
{
    struct {
        int count;
        BYTE address;
        Lines middle; // between SWWRITE and SWSTOP
    } cases[] = {
        {0, 0x60, {}},
        {1, 0x61, {"SWREAD", "SWSENDNACK"}}, // bit 0 already set: sent unchanged
        {3, 0x60, {"SWREAD", "SWSENDACK", "SWREAD", "SWSENDACK", "SWREAD", "SWSENDNACK"}},
    };
    open();
    for (auto &c : cases) {
        SCOPED_TRACE(c.count);
        simcard::command(SIM_CMD_KEY_DOWN, 7, 0, 0);
        simcard::command(SIM_CMD_LOG_CLEAR);
        BYTE bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        EXPECT_TRUE(readReceiver(c.address, bytes, c.count));
        for (int i = 0; i < 4; i++)
            EXPECT_EQ(bytes[i], i < c.count ? 7 : 0xAA) << "byte " << i;
        Lines ops = {"SWRESET", "INIT", "SWSTART", "SWADDRESS", "SWWRITE"};
        ops.insert(ops.end(), c.middle.begin(), c.middle.end());
        ops.insert(ops.end(), {"SWSTOP", "RESET"});
        EXPECT_EQ(simcard::logOps(), ops);
        EXPECT_EQ(simcard::logLines().at(3), "I2C set SWADDRESS addr=0x61");
    }
}

TEST_F(CaptureCard, AFailedStepEndsTheTransactionAndTheByteIsNotFresh)
{
    struct {
        const char *failing;
        const char *line;
        Lines ops;
        BYTE byte; // the caller's byte afterwards (0xAA: untouched)
    } cases[] = {
        {"SWSTART",
         "I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSTART failed\n",
         {"SWRESET", "INIT", "SWSTART", "RESET"},
         0xAA},
        {"SWADDRESS",
         "I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWWRITE failed\n",
         {"SWRESET", "INIT", "SWSTART", "SWADDRESS", "RESET"},
         0xAA},
        {"SWREAD",
         "I2CRead property get BT848_CUSTPROP_I2C_OPERATION_SWREAD failed\n",
         {"SWRESET", "INIT", "SWSTART", "SWADDRESS", "SWWRITE", "SWREAD", "RESET"},
         0x00},
        {"SWSENDNACK",
         "I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSENDNACK failed\n",
         {"SWRESET", "INIT", "SWSTART", "SWADDRESS", "SWWRITE", "SWREAD", "SWSENDNACK", "RESET"},
         9},
        {"SWSTOP",
         "I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSTOP failed\n",
         {"SWRESET", "INIT", "SWSTART", "SWADDRESS", "SWWRITE", "SWREAD", "SWSENDNACK", "SWSTOP", "RESET"},
         9},
    };
    open();
    for (auto &c : cases) {
        SCOPED_TRACE(c.failing);
        simcard::command(SIM_CMD_KEY_DOWN, 9, 0, 0);
        simcard::command(SIM_CMD_FAIL, simcard_op_by_name(c.failing), SIM_FAULT_COUNT, 1);
        simcard::command(SIM_CMD_LOG_CLEAR);
        BYTE key = 0xAA;
        testing::internal::CaptureStdout();
        EXPECT_FALSE(readReceiver(RECEIVER_ADDRESS, &key, 1));
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line);
        EXPECT_EQ(key, c.byte);
        EXPECT_EQ(simcard::logOps(), c.ops);
        // The closing reset leaves the bus fit for the next read.
        key = 0;
        EXPECT_TRUE(readReceiver(RECEIVER_ADDRESS, &key, 1));
        EXPECT_EQ(key, 9);
    }
}

// Results of the transport as the driver answers: at once or pending, with
// success, a plain failure, or a failure whose Win32 error is 0.
TEST_F(CaptureCard, TransportResults)
{
    struct {
        unsigned int status; // 0: no failure
        bool pend;
        LONG result;
    } cases[] = {
        {0, false, 0},
        {0, true, 0},
        {0xC0000001u, false, (LONG)0x8007001F}, // ERROR_GEN_FAILURE
        {0xC0000001u, true, (LONG)0x8007001F},
        {0xC0010000u, false, 0}, // a failure with last error 0 counts as success
        {0xC0010000u, true, 0},
    };
    open();
    for (auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.status << (c.pend ? " pending" : ""));
        simcard::command(SIM_CMD_PEND, c.pend);
        if (c.status)
            simcard::command(SIM_CMD_FAIL, SIM_OP_REGSET, SIM_FAULT_COUNT, 1, c.status);
        RegisterRequest request = {};
        request.header = {BT848_CUSTPROP_SET, BT848_CUSTPROP_REGISTER, KSPROPERTY_TYPE_SET_FLAG};
        request.operation = BT848_CUSTPROP_REGISTER_SETADDRESS;
        request.registerAddress = CHIP_STATUS_REGISTER;
        DWORD returned = 0;
        EXPECT_EQ(syncDeviceControl(CaptureFilter.deviceHandle, KS_PROPERTY_IOCTL, &request, sizeof request,
                                    &request, sizeof request, &returned),
                  c.result);
        if (!c.status) {
            EXPECT_EQ(returned, sizeof request);
        }
    }
}

TEST_F(CaptureCard, PendingRequestsAreWaitedFor)
{
    open();
    simcard::command(SIM_CMD_PEND, 1);
    // The card really answers pending...
    RegisterRequest request = {};
    request.header = {BT848_CUSTPROP_SET, BT848_CUSTPROP_REGISTER, KSPROPERTY_TYPE_SET_FLAG};
    request.operation = BT848_CUSTPROP_REGISTER_SETADDRESS;
    OVERLAPPED ov = {};
    ov.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    DWORD got = 0;
    EXPECT_FALSE(DeviceIoControl(CaptureFilter.deviceHandle, KS_PROPERTY_IOCTL, &request, sizeof request,
                                 &request, sizeof request, &got, &ov));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_IO_PENDING);
    EXPECT_TRUE(GetOverlappedResult(CaptureFilter.deviceHandle, &ov, &got, TRUE));
    CloseHandle(ov.hEvent);
    simcard::command(SIM_CMD_LOG_CLEAR);
    // ...and a whole poll still carries the key, with the payloads the card wrote.
    simcard::command(SIM_CMD_KEY_DOWN, 5, 1, 0);
    EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), 0u);
    BYTE key = 0;
    EXPECT_TRUE(readReceiver(RECEIVER_ADDRESS, &key, 1));
    EXPECT_EQ(key, 5);
    EXPECT_EQ(simcard::logLines(), PollWithKey5);
    EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), CHIP_STATUS_NO_KEY);
}

TEST_F(CaptureCard, NamesAreTriedInTheirOrderNotInTheDevicesOrder)
{
    simcard::clearDevices();
    simcard::addDevice("A-listed-first", "Conexant 2388x Video Capture");
    simcard::addDevice("B-listed-second", "Calyx QT40X Video Capture");
    ASSERT_EQ(listedDevices(), (Lines{"Conexant 2388x Video Capture", "Calyx QT40X Video Capture"}));
    ASSERT_TRUE(openCaptureFilter());
    EXPECT_EQ(boundFilterName(), "Calyx QT40X Video Capture");
}

TEST_F(CaptureCard, OnlyExactNamesMatch)
{
    struct {
        const char *listed;
        bool found;
    } cases[] = {
        {"conexant 2388x video capture", false},
        {"Conexant 2388x Video Capture 2", false},
        {" Calyx Q40DV Video Capture", false},
        {"Conexant 2388x Video Capture and a name far too long for the buffer it is read into, eighty bytes",
         false},
        {"Calyx Q40DV Video Capture", true},
        {"Conexant 23416 Video Capture", true},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.listed);
        simcard::clearDevices();
        simcard::addDevice("only", c.listed);
        EXPECT_EQ(openCaptureFilter(), c.found);
        EXPECT_EQ(CaptureFilter.deviceHandle != NULL, c.found);
        releaseCaptureFilter();
    }
}

TEST_F(CaptureCard, AFilterWithoutAHandleGivesOneMessageAndSendsNothing)
{
    for (const char *variant : {"NoKsObject", "NullHandle"}) {
        SCOPED_TRACE(variant);
        simcard::clearDevices();
        simcard::addDevice("broken", "Conexant 2388x Video Capture", variant);
        EXPECT_TRUE(openCaptureFilter());
        EXPECT_EQ(CaptureFilter.deviceHandle, (HANDLE)NULL);
        simcard::command(SIM_CMD_LOG_CLEAR);
        {
            simcard::BoxWatcher box("Message");
            EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), CHIP_STATUS_NO_KEY);
            EXPECT_EQ(box.text(), "Unable to find Orvane QT40X Video Capture");
        }
        {
            simcard::BoxWatcher box("Message");
            BYTE key = 0;
            EXPECT_FALSE(readReceiver(RECEIVER_ADDRESS, &key, 1));
            EXPECT_EQ(box.text(), "Unable to find Conexant 2388x Video Capture");
        }
        EXPECT_TRUE(simcard::log().empty());
        releaseCaptureFilter();
    }
}

// The poll as it runs in the program: a timer on this thread, firing on while a box is open.
int TicksDuringBox;
bool TicksReadAKey;
void CALLBACK pollTick(HWND, UINT, UINT_PTR, DWORD)
{
    TicksDuringBox++;
    BYTE key = 0;
    if (!(readChipRegister(CHIP_STATUS_REGISTER) & CHIP_STATUS_NO_KEY) ||
        readReceiver(RECEIVER_ADDRESS, &key, 1))
        TicksReadAKey = true;
}

TEST_F(CaptureCard, APersistingFailureShowsOneBoxAtATime)
{
    struct {
        const char *failing, *caption;
    } cases[] = {{"REGREAD", "FAILED REGISTER READ"}, {"REGSET", "FAILED to set REGISTER address"}};
    open();
    for (auto &c : cases) {
        SCOPED_TRACE(c.failing);
        simcard::command(SIM_CMD_RESET);
        simcard::command(SIM_CMD_FAIL, simcard_op_by_name(c.failing), SIM_FAULT_ALWAYS);
        TicksDuringBox = 0;
        TicksReadAKey = false;
        UINT_PTR timer = SetTimer(NULL, 0, 20, pollTick);
        simcard::BoxWatcher box(c.caption, 500);
        readChipRegister(CHIP_STATUS_REGISTER);
        KillTimer(NULL, timer);
        EXPECT_EQ(box.text(), "FAILED");
        EXPECT_EQ(box.boxesSeen(), 1);
        EXPECT_GE(TicksDuringBox, 5);
        EXPECT_FALSE(TicksReadAKey);
        // Only the one register read reached the card.
        EXPECT_EQ(simcard::logOps(), (Lines{"REGSET", "REGREAD", "REGREAD"}));
    }
}

TEST_F(CaptureCard, VirtualRemoteCommandLine)
{
    std::string remote = qxt::programPath("simremote.exe");
    for (const char *bad :
         {"", "press", "press 256", "press 5 --reads 0", "press 5 --ms", "press x", "down", "status maybe",
          "fail SWJUMP", "fail SWREAD --times 0", "pend", "log --all", "up 5"}) {
        SCOPED_TRACE(bad);
        std::string out;
        EXPECT_EQ(qxt::runProgram(remote + " " + bad, &out), 1);
        EXPECT_NE(out.find("usage"), std::string::npos);
    }
    open();
    ASSERT_EQ(qxt::runProgram(remote + " press power --reads 2"), 0);
    BYTE key = 0;
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), 0u);
        EXPECT_TRUE(readReceiver(RECEIVER_ADDRESS, &key, 1));
        EXPECT_EQ(key, 18);
    }
    EXPECT_EQ(readChipRegister(CHIP_STATUS_REGISTER), CHIP_STATUS_NO_KEY);
    std::string log;
    ASSERT_EQ(qxt::runProgram(remote + " log --clear", &log), 0);
    EXPECT_NE(log.find("I2C get SWREAD data=0x12\r\n"), std::string::npos) << log;
    ASSERT_EQ(qxt::runProgram(remote + " log", &log), 0);
    EXPECT_EQ(log, "");
}

} // namespace
