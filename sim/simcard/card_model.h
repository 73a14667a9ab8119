/* The simulated capture card: register file, software-mode I2C bus and the
 * infra-red receiver on it. Plain C with no kernel or Win32 calls, so the same
 * source runs inside the kernel driver and inside a test program.
 *
 * Status values are NTSTATUS codes (0 success, high bit set for errors); the
 * driver passes them straight to the I/O manager. */
#ifndef SIMCARD_CARD_MODEL_H
#define SIMCARD_CARD_MODEL_H

#include "simcard_ctl.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SIM_STATUS_SUCCESS 0x00000000u
#define SIM_STATUS_UNSUCCESSFUL 0xC0000001u
#define SIM_STATUS_INVALID_PARAMETER 0xC000000Du
#define SIM_STATUS_NO_SUCH_DEVICE 0xC000000Eu
#define SIM_STATUS_INVALID_DEVICE_REQUEST 0xC0000010u
#define SIM_STATUS_BUFFER_TOO_SMALL 0xC0000023u
#define SIM_STATUS_INVALID_DEVICE_STATE 0xC0000184u
#define SIM_STATUS_NOT_FOUND 0xC0000225u

/* The kernel-streaming property request code and the card's property set. */
#define SIM_IOCTL_KS_PROPERTY 0x002F0003u
#define SIM_PROPERTY_I2C 4u
#define SIM_PROPERTY_REGISTER 6u
#define SIM_I2C_REQUEST_SIZE 120u
#define SIM_REGISTER_REQUEST_SIZE 40u
#define SIM_FLAG_GET 1u
#define SIM_FLAG_SET 2u

/* The status register and its "no key waiting" bit. */
#define SIM_STATUS_REGISTER 0x350010u
#define SIM_STATUS_NO_KEY 0x20u
/* The receiver's address in write form; it answers on 0x61. */
#define SIM_RECEIVER_ADDRESS 0x60u
#define SIM_RECEIVER_NO_KEY 0xFFu

enum SimBusState {
    BUS_HARDWARE,  /* after power-up or RESET: software mode off */
    BUS_SOFTWARE,  /* after SWRESET, not yet initialised */
    BUS_IDLE,      /* initialised, between transactions */
    BUS_STARTED,   /* start condition sent */
    BUS_ADDRESSED, /* address byte given, not yet on the bus */
    BUS_WRITING,   /* address sent in write direction */
    BUS_READING,   /* address sent in read direction, a byte may be read */
    BUS_NEED_ACK,  /* a byte was read and awaits its acknowledge */
    BUS_DONE       /* last byte negatively acknowledged: only stop remains */
};

typedef struct SimFault {
    unsigned int mode; /* SIM_FAULT_OFF, _COUNT or _ALWAYS */
    unsigned int remaining;
    unsigned int status;
} SimFault;

typedef struct SimCard {
    /* the remote */
    int keyDown;
    unsigned int keyCode;
    unsigned int readsLeft;        /* 0: held until released or until the deadline */
    unsigned long long keyUntilMs; /* 0: no deadline */
    unsigned int statusMode;

    /* the register file */
    unsigned int latched;
    int readPrepared;

    /* the bus */
    enum SimBusState bus;
    unsigned int busAddress;

    /* on-demand behaviour */
    SimFault faults[SIM_OP_COUNT];
    int pend;

    /* a ring of the latest requests */
    SimLogEntry log[SIM_LOG_CAPACITY];
    unsigned int logFirst, logCount, logDropped;
} SimCard;

void simcard_init(SimCard *card);

/* One IOCTL_KS_PROPERTY request. `in` and `out` may be the same buffer; on
 * success the whole request is copied to `out` with the answer in its payload
 * and *written is the output length. Returns the request's status. */
unsigned int simcard_property(SimCard *card, const unsigned char *in, unsigned int inLen, unsigned char *out,
                              unsigned int outLen, unsigned long long nowMs, unsigned int *written);

/* One command of the virtual remote. Returns a status. */
unsigned int simcard_control(SimCard *card, const SimControl *cmd, unsigned long long nowMs);

/* Copies the log, oldest first; fills `header` and returns the entries copied. */
unsigned int simcard_read_log(const SimCard *card, SimLogHeader *header, SimLogEntry *entries,
                              unsigned int max);

/* The register's value as a read would give it now (0x350010 follows the remote). */
unsigned int simcard_register_value(SimCard *card, unsigned int address, unsigned long long nowMs);

#ifdef __cplusplus
}
#endif

#endif
