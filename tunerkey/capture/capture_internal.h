// The capture room's own layers: the located filter, the device request, the
// driver's property layouts and operation codes. For the room and its tests only.
#pragma once
#include <windows.h>

#include <stddef.h>

#include "capture/capture.h"

struct IBaseFilter;

// The one located capture filter. The handle is borrowed from the filter and
// never closed here; NULL means none.
struct CaptureFilterState {
    IBaseFilter *filter;
    HANDLE deviceHandle;
};
extern CaptureFilterState CaptureFilter;

// The friendly names accepted, in the order they are tried.
extern const char *const AcceptedFilterNames[4];

// A counted reference to the first video input device named exactly `friendlyName`, or NULL.
IBaseFilter *findCaptureFilter(const char *friendlyName);

// The kernel-streaming property request code, and the card's custom property set.
const DWORD KS_PROPERTY_IOCTL = 0x002F0003;
extern const GUID BT848_CUSTPROP_SET;
const DWORD KSPROPERTY_TYPE_GET_FLAG = 1;
const DWORD KSPROPERTY_TYPE_SET_FLAG = 2;

// One synchronous device request with its own event; waits when the driver
// answers pending. Returns an HRESULT: 0 or more is success.
LONG syncDeviceControl(HANDLE device, DWORD code, void *in, DWORD inLength, void *out, DWORD outLength,
                       DWORD *bytesReturned);

// The 24-byte KSPROPERTY header that starts every request.
struct PropertyHeader {
    GUID set;
    DWORD id;
    DWORD flags;
};

// Chip registers: property 6.
const DWORD BT848_CUSTPROP_REGISTER = 6;
const DWORD BT848_CUSTPROP_REGISTER_SETADDRESS = 0x30000001;
const DWORD BT848_CUSTPROP_REGISTER_READ = 0x30000003;

struct RegisterRequest {
    PropertyHeader header;
    DWORD operation;
    DWORD registerAddress;
    DWORD registerValue;
    DWORD reserved;
};
static_assert(sizeof(RegisterRequest) == 40, "the driver expects 40 bytes");
static_assert(offsetof(RegisterRequest, registerValue) == 32, "register request layout");

bool setRegisterAddress(HANDLE device, DWORD address);
// Stores the value the driver left, also after a failure (0 when it left nothing).
bool readRegister(HANDLE device, DWORD *value);

// The I2C bus in software mode: property 4.
const DWORD BT848_CUSTPROP_I2C = 4;
const DWORD BT848_CUSTPROP_I2C_OPERATION_INIT = 0x11000001;
const DWORD BT848_CUSTPROP_I2C_OPERATION_RESET = 0x11000002;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWRESET = 0x11000003;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWSTART = 0x1100000B;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWSTOP = 0x1100000C;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWREAD = 0x1100000D;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWWRITE = 0x1100000E;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWSENDACK = 0x1100000F;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWSENDNACK = 0x11000010;
const DWORD BT848_CUSTPROP_I2C_OPERATION_SWADDRESS = 0x11000018;
const DWORD I2C_RESET_PARAMETER = 100000;
const DWORD I2C_SWRESET_PARAMETER = 200000;

struct I2cRequest {
    PropertyHeader header;
    DWORD operation;
    DWORD reserved0;
    DWORD parameter;
    BYTE reserved1[12];
    BYTE addressByte;
    BYTE reserved2;
    BYTE dataByte;
    BYTE reserved3[69];
};
static_assert(sizeof(I2cRequest) == 120, "the driver expects 120 bytes");
static_assert(offsetof(I2cRequest, addressByte) == 48 && offsetof(I2cRequest, dataByte) == 50,
              "I2C request layout");

bool i2cInit(HANDLE device);
bool i2cReset(HANDLE device, DWORD parameter);
bool i2cSwReset(HANDLE device, DWORD parameter);
// The same actions on the located filter (discovery first; a box when it has no handle).
void busInit();
void busReset();
void busSwReset(DWORD parameter);
// One read transaction; true when every step of it succeeded. A failed step
// writes its diagnostic line to standard output and ends the transaction.
bool swRead(HANDLE device, BYTE address, BYTE *buffer, int count);

// The capture room's message box (no owner, OK only). While one is open the
// entry points above send nothing and open no further box.
void showCaptureMessage(const char *text, const char *caption);
bool captureMessageOpen();
