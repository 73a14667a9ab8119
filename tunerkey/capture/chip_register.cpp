// Chip registers through property 6: latch an address, then read the latched register.
#include <string.h>

#include "capture/capture_internal.h"

static void prepare(RegisterRequest *request, DWORD flags, DWORD operation)
{
    request->header.set = BT848_CUSTPROP_SET;
    request->header.id = BT848_CUSTPROP_REGISTER;
    request->header.flags = flags;
    request->operation = operation;
}

static LONG send(HANDLE device, RegisterRequest *request)
{
    DWORD returned = 0;
    return syncDeviceControl(device, KS_PROPERTY_IOCTL, request, sizeof *request, request, sizeof *request,
                             &returned);
}

bool setRegisterAddress(HANDLE device, DWORD address)
{
    RegisterRequest request;
    memset(&request, 0, sizeof request);
    prepare(&request, KSPROPERTY_TYPE_SET_FLAG, BT848_CUSTPROP_REGISTER_SETADDRESS);
    request.registerAddress = address;
    if (send(device, &request) >= 0)
        return true;
    showCaptureMessage("FAILED", "FAILED to set REGISTER address");
    return false;
}

bool readRegister(HANDLE device, DWORD *value)
{
    RegisterRequest request;
    memset(&request, 0, sizeof request);
    prepare(&request, KSPROPERTY_TYPE_SET_FLAG, BT848_CUSTPROP_REGISTER_READ);
    send(device, &request); // the get below reports the outcome
    // The same buffer, as the driver left it, goes out again as the get.
    prepare(&request, KSPROPERTY_TYPE_GET_FLAG, BT848_CUSTPROP_REGISTER_READ);
    LONG result = send(device, &request);
    *value = request.registerValue;
    if (result >= 0)
        return true;
    showCaptureMessage("FAILED", "FAILED REGISTER READ");
    return false;
}

DWORD readChipRegister(DWORD address)
{
    if (captureMessageOpen())
        return CHIP_STATUS_NO_KEY;
    if (!CaptureFilter.filter)
        openCaptureFilter();
    if (!CaptureFilter.deviceHandle) {
        showCaptureMessage("Unable to find Orvane QT40X Video Capture", "Message");
        // Nothing was read: "no key" keeps the poll from going on to the receiver.
        return CHIP_STATUS_NO_KEY;
    }
    setRegisterAddress(CaptureFilter.deviceHandle, address); // a failure has shown its own box
    DWORD value = 0;
    readRegister(CaptureFilter.deviceHandle, &value);
    return value;
}
