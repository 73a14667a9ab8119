/* What passes between the simulated card's driver and its user-mode tools (the
 * virtual remote and the tests): the device name, the control requests and
 * the request log. Plain C, no kernel or Win32 types. */
#ifndef SIMCARD_CTL_H
#define SIMCARD_CTL_H

#ifdef __cplusplus
extern "C" {
#endif

/* User-mode path of the device ("\\.\simcard"). */
#define SIMCARD_USER_PATH "\\\\.\\simcard"

/* Control requests: METHOD_BUFFERED codes of device type FILE_DEVICE_UNKNOWN. */
#define SIMCARD_IOCTL_CONTROL 0x00222400u /* in: SimControl */
#define SIMCARD_IOCTL_LOG 0x00222404u     /* out: SimLogHeader, then SimLogEntry[] */

/* The operations a fault can be set on, in the order the names are listed. */
enum SimOp {
    SIM_OP_SWRESET,
    SIM_OP_INIT,
    SIM_OP_SWSTART,
    SIM_OP_SWADDRESS,
    SIM_OP_SWWRITE,
    SIM_OP_SWREAD,
    SIM_OP_SWSENDACK,
    SIM_OP_SWSENDNACK,
    SIM_OP_SWSTOP,
    SIM_OP_RESET,
    SIM_OP_REGSET,
    SIM_OP_REGREAD,
    SIM_OP_COUNT,
    SIM_OP_UNKNOWN = SIM_OP_COUNT
};

enum SimCommand {
    SIM_CMD_KEY_DOWN = 1, /* arg0 code, arg1 reads (0: no read limit), arg2 milliseconds (0: no deadline) */
    SIM_CMD_KEY_UP,
    SIM_CMD_STATUS, /* arg0: SIM_STATUS_* mode */
    SIM_CMD_FAIL,   /* arg0 op, arg1 SIM_FAULT_* mode, arg2 count; arg3 the NTSTATUS (0: default) */
    SIM_CMD_PEND,   /* arg0: 1 on, 0 off */
    SIM_CMD_LOG_CLEAR,
    SIM_CMD_RESET
};

enum SimStatusMode { SIM_STATUSBIT_AUTO, SIM_STATUSBIT_SET, SIM_STATUSBIT_CLEAR };
enum SimFaultMode { SIM_FAULT_OFF, SIM_FAULT_COUNT, SIM_FAULT_ALWAYS };

typedef struct SimControl {
    unsigned int command;
    unsigned int arg[4];
} SimControl;

#define SIM_LOG_CAPACITY 512

/* One request as the card saw it. */
typedef struct SimLogEntry {
    unsigned int property;  /* property id as sent */
    unsigned int flags;     /* 1 get, 2 set, as sent */
    unsigned int opcode;    /* operation code as sent */
    unsigned int op;        /* enum SimOp, SIM_OP_UNKNOWN when not recognised */
    unsigned int parameter; /* reset parameter (I2C) */
    unsigned int reg;       /* register latched (REGSET) or read (REGREAD) */
    unsigned int value;     /* register value answered (REGREAD get) */
    unsigned int status;    /* NTSTATUS of the answer */
    unsigned int size;      /* request length */
    unsigned char address;  /* address byte (SWADDRESS) */
    unsigned char data;     /* data byte sent (SWWRITE) or answered (SWREAD) */
    unsigned char pad[2];
} SimLogEntry;

typedef struct SimLogHeader {
    unsigned int count;   /* entries that follow */
    unsigned int dropped; /* older entries no longer kept */
} SimLogHeader;

/* Names and codes of the operations, shared by the driver and the tools. */
const char *simcard_op_name(unsigned int op);
unsigned int simcard_op_by_name(const char *name); /* SIM_OP_UNKNOWN when none */
/* The property and operation code of `op` (REGREAD: the read code). */
unsigned int simcard_op_property(unsigned int op);
unsigned int simcard_op_code(unsigned int op);

#ifdef __cplusplus
}
#endif

#endif
