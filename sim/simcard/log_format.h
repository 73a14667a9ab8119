/* The request log's printed form, shared by the virtual remote and the tests:
 *   "I2C set SWADDRESS addr=0x61", "I2C get SWREAD data=0x05",
 *   "REG get REGREAD reg=0x350010 value=0x00000020",
 * with " failed=0xC0000001" appended when the card refused the request. */
#ifndef SIMCARD_LOG_FORMAT_H
#define SIMCARD_LOG_FORMAT_H

#include "simcard_ctl.h"

#ifdef __cplusplus
extern "C" {
#endif

void simcard_format_entry(const SimLogEntry *e, char *buf, unsigned int size);

#ifdef __cplusplus
}
#endif

#endif
