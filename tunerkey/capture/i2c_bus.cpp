// The card's I2C bus in software mode through property 4, and the receiver read.
#include <stdio.h>
#include <string.h>

#include "capture/capture_internal.h"

// One bus action; `data` is sent, or receives the byte a read returns.
static LONG busRequest(HANDLE device, DWORD operation, DWORD parameter, BYTE address, BYTE *data)
{
    I2cRequest request;
    memset(&request, 0, sizeof request);
    request.header.set = BT848_CUSTPROP_SET;
    request.header.id = BT848_CUSTPROP_I2C;
    request.header.flags = operation == BT848_CUSTPROP_I2C_OPERATION_SWREAD ? KSPROPERTY_TYPE_GET_FLAG
                                                                            : KSPROPERTY_TYPE_SET_FLAG;
    request.operation = operation;
    request.parameter = parameter;
    request.addressByte = address;
    request.dataByte = data ? *data : 0;
    DWORD returned = 0;
    LONG result = syncDeviceControl(device, KS_PROPERTY_IOCTL, &request, sizeof request, &request,
                                    sizeof request, &returned);
    if (data)
        *data = request.dataByte;
    return result;
}

bool i2cInit(HANDLE device)
{
    return busRequest(device, BT848_CUSTPROP_I2C_OPERATION_INIT, 0, 0, NULL) >= 0;
}

bool i2cReset(HANDLE device, DWORD parameter)
{
    return busRequest(device, BT848_CUSTPROP_I2C_OPERATION_RESET, parameter, 0, NULL) >= 0;
}

bool i2cSwReset(HANDLE device, DWORD parameter)
{
    return busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWRESET, parameter, 0, NULL) >= 0;
}

// The located filter's handle, after discovery when none is held; NULL (after
// the box) when the card offers none, or while a capture box is open.
static HANDLE busDevice()
{
    if (captureMessageOpen())
        return NULL;
    if (!CaptureFilter.filter)
        openCaptureFilter();
    if (!CaptureFilter.deviceHandle)
        showCaptureMessage("Unable to find Conexant 2388x Video Capture", "Message");
    return CaptureFilter.deviceHandle;
}

void busInit()
{
    HANDLE device = busDevice();
    if (device)
        i2cInit(device);
}

void busReset()
{
    HANDLE device = busDevice();
    if (device)
        i2cReset(device, I2C_RESET_PARAMETER);
}

void busSwReset(DWORD parameter)
{
    HANDLE device = busDevice();
    if (device)
        i2cSwReset(device, parameter);
}

static bool diagnostic(const char *line)
{
    fputs(line, stdout);
    fflush(stdout);
    return false;
}

bool swRead(HANDLE device, BYTE address, BYTE *buffer, int count)
{
    BYTE readAddress = (BYTE)(address | 1);
    if (busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWSTART, 0, 0, NULL) < 0)
        return diagnostic("I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSTART failed\n");
    if (busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWADDRESS, 0, readAddress, NULL) < 0)
        return diagnostic("I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWWRITE failed\n");
    BYTE sent = readAddress;
    if (busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWWRITE, 0, 0, &sent) < 0)
        return diagnostic("I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWWRITE failed\n");
    for (int i = 0; i < count; i++) {
        BYTE received = 0;
        LONG result = busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWREAD, 0, 0, &received);
        buffer[i] = received; // stored before the result is looked at
        if (result < 0)
            return diagnostic("I2CRead property get BT848_CUSTPROP_I2C_OPERATION_SWREAD failed\n");
        DWORD acknowledge =
            i == count - 1 ? BT848_CUSTPROP_I2C_OPERATION_SWSENDNACK : BT848_CUSTPROP_I2C_OPERATION_SWSENDACK;
        if (busRequest(device, acknowledge, 0, 0, NULL) < 0)
            return diagnostic("I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSENDNACK failed\n");
    }
    if (busRequest(device, BT848_CUSTPROP_I2C_OPERATION_SWSTOP, 0, 0, NULL) < 0)
        return diagnostic("I2CRead property set BT848_CUSTPROP_I2C_OPERATION_SWSTOP failed\n");
    return true;
}

bool readReceiver(BYTE deviceAddress, BYTE *buffer, int count)
{
    if (captureMessageOpen())
        return false;
    if (!CaptureFilter.filter)
        openCaptureFilter();
    if (!CaptureFilter.deviceHandle) {
        showCaptureMessage("Unable to find Conexant 2388x Video Capture", "Message");
        return false;
    }
    // The resets run whatever happens in between; only the transaction decides freshness.
    busSwReset(I2C_SWRESET_PARAMETER);
    busInit();
    bool fresh = swRead(CaptureFilter.deviceHandle, deviceAddress, buffer, count);
    busReset();
    return fresh;
}
