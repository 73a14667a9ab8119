// The yardstick of the key poll's CPU time: the same capture requests every 65 ms
// (status register, and the receiver when it says a key is there) and nothing else.
#include <windows.h>

#include "capture/capture_internal.h"

static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD)
{
    BYTE code;
    if ((readChipRegister(CHIP_STATUS_REGISTER) & CHIP_STATUS_NO_KEY) == 0)
        readReceiver(RECEIVER_ADDRESS, &code, 1);
}

int main()
{
    if (!openCaptureFilter() || CaptureFilter.deviceHandle == NULL)
        return 2;
    SetTimer(NULL, 0, 65, tick);
    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
