/* See card_client.h. */
#include <stdlib.h>
#include <string.h>

#include "card_client.h"

HANDLE simcard_open(void)
{
    return CreateFileA(SIMCARD_USER_PATH, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       NULL, OPEN_EXISTING, 0, NULL);
}

DWORD simcard_command(HANDLE card, unsigned int command, unsigned int a0, unsigned int a1, unsigned int a2,
                      unsigned int a3)
{
    SimControl c;
    DWORD got = 0;
    c.command = command;
    c.arg[0] = a0;
    c.arg[1] = a1;
    c.arg[2] = a2;
    c.arg[3] = a3;
    if (!DeviceIoControl(card, SIMCARD_IOCTL_CONTROL, &c, sizeof c, NULL, 0, &got, NULL))
        return GetLastError();
    return 0;
}

DWORD simcard_log(HANDLE card, SimLogHeader *header, SimLogEntry *entries, unsigned int max)
{
    DWORD size = (DWORD)(sizeof *header + (size_t)max * sizeof *entries);
    unsigned char *buf = (unsigned char *)malloc(size);
    DWORD got = 0, err = 0;
    if (!buf)
        return ERROR_NOT_ENOUGH_MEMORY;
    if (!DeviceIoControl(card, SIMCARD_IOCTL_LOG, NULL, 0, buf, size, &got, NULL)) {
        err = GetLastError();
    } else if (got < sizeof *header) {
        err = ERROR_INVALID_DATA;
    } else {
        memcpy(header, buf, sizeof *header);
        if (header->count > max || sizeof *header + header->count * sizeof *entries > got)
            err = ERROR_INVALID_DATA;
        else
            memcpy(entries, buf + sizeof *header, header->count * sizeof *entries);
    }
    free(buf);
    return err;
}
