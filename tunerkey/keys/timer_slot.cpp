// The timer slot's operations, which keep SetTimer and KillTimer in step with its record.
#include "keys/timer_slot.h"

void TimerSlot::configure(HWND newOwner, UINT newInterval)
{
    owner = newOwner;
    interval = newInterval;
}

bool TimerSlot::start()
{
    if (running)
        return true;
    if (owner == NULL)
        return false;
    running = SetTimer(owner, id, interval, callback) != 0;
    return running;
}

void TimerSlot::stop()
{
    if (!running)
        return;
    KillTimer(owner, id);
    running = false;
}
