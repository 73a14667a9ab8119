// Digit keys posted to an application's window as the keyboard would send them.
#include "apps/apps.h"

// lParam of each digit's WM_KEYDOWN.
static const DWORD DigitKeyParams[10] = {0x000B0001, 0x00020001, 0x00030001, 0x00040001, 0x00050001,
                                         0x00060001, 0x00070001, 0x00080001, 0x00090001, 0x000A0001};

void postDigitKey(HWND window, int digit)
{
    if (digit < 0 || digit > 9)
        return;
    PostMessageA(window, WM_KEYDOWN, 0x30 + digit, DigitKeyParams[digit]);
}
