/* User-mode access to the simulated card's control requests (virtual remote, tests). */
#ifndef SIMCARD_CARD_CLIENT_H
#define SIMCARD_CARD_CLIENT_H

#include <windows.h>

#include "simcard_ctl.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The card's device, or INVALID_HANDLE_VALUE (GetLastError tells why). */
HANDLE simcard_open(void);
/* Sends one control command; returns 0 or the Win32 error. */
DWORD simcard_command(HANDLE card, unsigned int command, unsigned int a0, unsigned int a1, unsigned int a2,
                      unsigned int a3);
/* Reads up to `max` log entries, oldest first; returns 0 or the Win32 error. */
DWORD simcard_log(HANDLE card, SimLogHeader *header, SimLogEntry *entries, unsigned int max);

#ifdef __cplusplus
}
#endif

#endif
