// Message pumping, for tests that wait while windows of their own thread must keep working.
#include "qxtest.h"

namespace qxt
{

void pumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    do {
        MSG m;
        while (PeekMessageA(&m, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
        DWORD left = ms - (GetTickCount() - start);
        if (GetTickCount() - start >= ms)
            break;
        MsgWaitForMultipleObjects(0, NULL, FALSE, left < 5 ? left : 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

} // namespace qxt
