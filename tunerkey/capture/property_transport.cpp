// One property request to the capture driver, sent synchronously.
#include "capture/capture_internal.h"

// {C44A1A10-0A37-11D2-8328-006097BA83AB}
const GUID BT848_CUSTPROP_SET = {
    0xC44A1A10, 0x0A37, 0x11D2, {0x83, 0x28, 0x00, 0x60, 0x97, 0xBA, 0x83, 0xAB}};

static const LONG RESULT_IO_PENDING = (LONG)0x800703E5;

// A Win32 error in HRESULT form; no error is success.
static LONG resultFromError(DWORD error)
{
    return error == 0 ? 0 : (LONG)(0x80070000u | (error & 0xFFFFu));
}

LONG syncDeviceControl(HANDLE device, DWORD code, void *in, DWORD inLength, void *out, DWORD outLength,
                       DWORD *bytesReturned)
{
    OVERLAPPED overlapped;
    ZeroMemory(&overlapped, sizeof overlapped);
    overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    if (!overlapped.hEvent) {
        // Nothing was sent, so this is never success, whatever the last error says.
        LONG result = resultFromError(GetLastError());
        return result < 0 ? result : E_FAIL;
    }
    LONG result = 0;
    if (!DeviceIoControl(device, code, in, inLength, out, outLength, bytesReturned, &overlapped)) {
        result = resultFromError(GetLastError());
        if (result == RESULT_IO_PENDING)
            result = GetOverlappedResult(device, &overlapped, bytesReturned, TRUE)
                         ? 0
                         : resultFromError(GetLastError());
    }
    CloseHandle(overlapped.hEvent);
    return result;
}
