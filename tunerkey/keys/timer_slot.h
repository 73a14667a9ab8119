// One window timer of the main window, as a record with its operations.
#pragma once
#include <windows.h>

struct TimerSlot {
    bool running;       // true between a successful start and the next stop
    UINT_PTR id;        // fixed per slot
    HWND owner;         // the main window, set by configure
    UINT interval;      // milliseconds, set by configure
    TIMERPROC callback; // fixed per slot

    // Records owner and interval; a running timer keeps its old settings until restarted.
    void configure(HWND owner, UINT interval);
    // SetTimer unless already running; false when the timer is not running afterwards.
    // A slot without an owner is not started: SetTimer would then make a thread timer
    // under an id of its own choosing, which stop() could never kill.
    bool start();
    // KillTimer if running.
    void stop();
};
