/* The simulated card's behaviour; see card_model.h. */
#include "card_model.h"

/* The card's custom property set, {C44A1A10-0A37-11D2-8328-006097BA83AB}, as it lies in memory. */
static const unsigned char PropertySet[16] = {0x10, 0x1A, 0x4A, 0xC4, 0x37, 0x0A, 0xD2, 0x11,
                                              0x83, 0x28, 0x00, 0x60, 0x97, 0xBA, 0x83, 0xAB};

/* Payload offsets of the two request layouts. */
enum {
    AT_PROPERTY = 16,
    AT_FLAGS = 20,
    AT_OPERATION = 24,
    AT_I2C_PARAMETER = 32,
    AT_I2C_ADDRESS = 48,
    AT_I2C_DATA = 50,
    AT_REG_ADDRESS = 28,
    AT_REG_VALUE = 32
};

#define STATES(x) (1u << (x))
#define ANY_STATE 0xFFFFu
#define KEEP_STATE (-1)

/* One operation: its name, request, the bus states it is accepted in and the
 * state it leaves (KEEP_STATE: decided by its handler). */
typedef struct OpRule {
    const char *name;
    unsigned int property, code, flags;
    unsigned int from;
    int next;
} OpRule;

static const OpRule Rules[SIM_OP_COUNT] = {
    {"SWRESET", SIM_PROPERTY_I2C, 0x11000003u, SIM_FLAG_SET, ANY_STATE, BUS_SOFTWARE},
    {"INIT", SIM_PROPERTY_I2C, 0x11000001u, SIM_FLAG_SET,
     STATES(BUS_HARDWARE) | STATES(BUS_SOFTWARE) | STATES(BUS_IDLE), KEEP_STATE},
    {"SWSTART", SIM_PROPERTY_I2C, 0x1100000Bu, SIM_FLAG_SET,
     STATES(BUS_IDLE) | STATES(BUS_WRITING) | STATES(BUS_DONE), BUS_STARTED},
    {"SWADDRESS", SIM_PROPERTY_I2C, 0x11000018u, SIM_FLAG_SET, STATES(BUS_STARTED), BUS_ADDRESSED},
    {"SWWRITE", SIM_PROPERTY_I2C, 0x1100000Eu, SIM_FLAG_SET, STATES(BUS_ADDRESSED) | STATES(BUS_WRITING),
     KEEP_STATE},
    {"SWREAD", SIM_PROPERTY_I2C, 0x1100000Du, SIM_FLAG_GET, STATES(BUS_READING), BUS_NEED_ACK},
    {"SWSENDACK", SIM_PROPERTY_I2C, 0x1100000Fu, SIM_FLAG_SET, STATES(BUS_NEED_ACK), BUS_READING},
    {"SWSENDNACK", SIM_PROPERTY_I2C, 0x11000010u, SIM_FLAG_SET, STATES(BUS_NEED_ACK), BUS_DONE},
    {"SWSTOP", SIM_PROPERTY_I2C, 0x1100000Cu, SIM_FLAG_SET,
     STATES(BUS_STARTED) | STATES(BUS_ADDRESSED) | STATES(BUS_WRITING) | STATES(BUS_READING) |
         STATES(BUS_DONE),
     BUS_IDLE},
    {"RESET", SIM_PROPERTY_I2C, 0x11000002u, SIM_FLAG_SET, ANY_STATE, BUS_HARDWARE},
    {"REGSET", SIM_PROPERTY_REGISTER, 0x30000001u, SIM_FLAG_SET, ANY_STATE, KEEP_STATE},
    /* The read is a set (prepare) followed by a get (answer); both carry this code. */
    {"REGREAD", SIM_PROPERTY_REGISTER, 0x30000003u, SIM_FLAG_GET | SIM_FLAG_SET, ANY_STATE, KEEP_STATE},
};

static int sameText(const char *a, const char *b)
{
    while (*a && *a == *b) {
        a++;
        b++;
    }
    return *a == *b;
}

const char *simcard_op_name(unsigned int op)
{
    return op < SIM_OP_COUNT ? Rules[op].name : "?";
}

unsigned int simcard_op_by_name(const char *name)
{
    unsigned int op;
    for (op = 0; op < SIM_OP_COUNT; op++) {
        if (sameText(Rules[op].name, name))
            return op;
    }
    return SIM_OP_UNKNOWN;
}

unsigned int simcard_op_property(unsigned int op)
{
    return op < SIM_OP_COUNT ? Rules[op].property : 0;
}

unsigned int simcard_op_code(unsigned int op)
{
    return op < SIM_OP_COUNT ? Rules[op].code : 0;
}

static unsigned int opOf(unsigned int property, unsigned int code)
{
    unsigned int op;
    for (op = 0; op < SIM_OP_COUNT; op++) {
        if (Rules[op].property == property && Rules[op].code == code)
            return op;
    }
    return SIM_OP_UNKNOWN;
}

static unsigned int get32(const unsigned char *p)
{
    return (unsigned int)p[0] | (unsigned int)p[1] << 8 | (unsigned int)p[2] << 16 | (unsigned int)p[3] << 24;
}

static void put32(unsigned char *p, unsigned int v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
    p[2] = (unsigned char)(v >> 16);
    p[3] = (unsigned char)(v >> 24);
}

static void clearBytes(void *p, unsigned int n)
{
    volatile unsigned char *b = (volatile unsigned char *)p; /* no library call, even in the kernel */
    while (n--)
        *b++ = 0;
}

void simcard_init(SimCard *card)
{
    clearBytes(card, sizeof *card);
    card->bus = BUS_HARDWARE;
    card->statusMode = SIM_STATUSBIT_AUTO;
}

/* A held key whose time is up is released before anything looks at it. */
static void expireKey(SimCard *card, unsigned long long nowMs)
{
    if (card->keyDown && card->keyUntilMs && nowMs >= card->keyUntilMs)
        card->keyDown = 0;
}

unsigned int simcard_register_value(SimCard *card, unsigned int address, unsigned long long nowMs)
{
    int noKey;
    if (address != SIM_STATUS_REGISTER)
        return 0;
    expireKey(card, nowMs);
    noKey =
        card->statusMode == SIM_STATUSBIT_SET || (card->statusMode == SIM_STATUSBIT_AUTO && !card->keyDown);
    return noKey ? SIM_STATUS_NO_KEY : 0;
}

/* The receiver's answer to one read; a press limited to N reads ends with its Nth. */
static unsigned char receiverByte(SimCard *card, unsigned long long nowMs)
{
    unsigned char code;
    expireKey(card, nowMs);
    if (!card->keyDown)
        return SIM_RECEIVER_NO_KEY;
    code = (unsigned char)card->keyCode;
    if (card->readsLeft && --card->readsLeft == 0)
        card->keyDown = 0;
    return code;
}

static void addLog(SimCard *card, const SimLogEntry *e)
{
    unsigned int slot;
    if (card->logCount == SIM_LOG_CAPACITY) {
        card->logFirst = (card->logFirst + 1) % SIM_LOG_CAPACITY;
        card->logCount--;
        card->logDropped++;
    }
    slot = (card->logFirst + card->logCount) % SIM_LOG_CAPACITY;
    card->log[slot] = *e;
    card->logCount++;
}

/* A pending fault on `op` fails this request; returns its status or 0. */
static unsigned int takeFault(SimCard *card, unsigned int op)
{
    SimFault *f;
    if (op >= SIM_OP_COUNT)
        return 0;
    f = &card->faults[op];
    if (f->mode == SIM_FAULT_ALWAYS)
        return f->status;
    if (f->mode == SIM_FAULT_COUNT && f->remaining) {
        if (--f->remaining == 0)
            f->mode = SIM_FAULT_OFF;
        return f->status;
    }
    return 0;
}

static unsigned int busRequest(SimCard *card, unsigned int op, unsigned char *req, SimLogEntry *e,
                               unsigned long long nowMs)
{
    const OpRule *rule = &Rules[op];
    if (!(rule->from & STATES(card->bus)))
        return SIM_STATUS_INVALID_DEVICE_STATE;
    switch (op) {
    case SIM_OP_INIT:
        if (card->bus != BUS_HARDWARE)
            card->bus = BUS_IDLE;
        return SIM_STATUS_SUCCESS;
    case SIM_OP_SWADDRESS:
        card->busAddress = e->address;
        break;
    case SIM_OP_SWWRITE:
        if (card->bus == BUS_WRITING)
            return SIM_STATUS_SUCCESS; /* the receiver takes no data */
        /* The first byte after the start is the address; only the receiver answers it. */
        if (e->data != card->busAddress)
            return SIM_STATUS_INVALID_PARAMETER;
        if ((e->data & 0xFEu) != SIM_RECEIVER_ADDRESS)
            return SIM_STATUS_NO_SUCH_DEVICE;
        card->bus = (e->data & 1u) ? BUS_READING : BUS_WRITING;
        return SIM_STATUS_SUCCESS;
    case SIM_OP_SWREAD:
        e->data = receiverByte(card, nowMs);
        req[AT_I2C_DATA] = e->data;
        break;
    default:
        break;
    }
    card->bus = (enum SimBusState)rule->next;
    return SIM_STATUS_SUCCESS;
}

static unsigned int registerRequest(SimCard *card, unsigned int op, unsigned char *req, SimLogEntry *e,
                                    unsigned long long nowMs)
{
    if (op == SIM_OP_REGSET) {
        card->latched = e->reg;
        card->readPrepared = 0;
        return SIM_STATUS_SUCCESS;
    }
    e->reg = card->latched;
    if (e->flags == SIM_FLAG_SET) {
        card->readPrepared = 1;
        return SIM_STATUS_SUCCESS;
    }
    /* A get with no set before it is out of order. */
    if (!card->readPrepared)
        return SIM_STATUS_INVALID_DEVICE_STATE;
    card->readPrepared = 0;
    e->value = simcard_register_value(card, card->latched, nowMs);
    put32(req + AT_REG_VALUE, e->value);
    return SIM_STATUS_SUCCESS;
}

/* Validates and carries out one request in `req` (the caller's copy). */
static unsigned int handleRequest(SimCard *card, unsigned char *req, unsigned int len, SimLogEntry *e,
                                  unsigned long long nowMs)
{
    unsigned int i, fault, expected;
    for (i = 0; i < 16; i++) {
        if (req[i] != PropertySet[i])
            return SIM_STATUS_NOT_FOUND;
    }
    if (e->property == SIM_PROPERTY_I2C)
        expected = SIM_I2C_REQUEST_SIZE;
    else if (e->property == SIM_PROPERTY_REGISTER)
        expected = SIM_REGISTER_REQUEST_SIZE;
    else
        return SIM_STATUS_NOT_FOUND;
    if (len != expected)
        return SIM_STATUS_BUFFER_TOO_SMALL;
    if (e->op == SIM_OP_UNKNOWN)
        return SIM_STATUS_INVALID_PARAMETER;
    if (!(e->flags & Rules[e->op].flags) || (e->flags != SIM_FLAG_GET && e->flags != SIM_FLAG_SET))
        return SIM_STATUS_INVALID_PARAMETER;
    /* A read's prepare step is never failed on demand: the get carries the answer. */
    if (!(e->op == SIM_OP_REGREAD && e->flags == SIM_FLAG_SET)) {
        fault = takeFault(card, e->op);
        if (fault)
            return fault;
    }
    if (e->property == SIM_PROPERTY_I2C)
        return busRequest(card, e->op, req, e, nowMs);
    return registerRequest(card, e->op, req, e, nowMs);
}

unsigned int simcard_property(SimCard *card, const unsigned char *in, unsigned int inLen, unsigned char *out,
                              unsigned int outLen, unsigned long long nowMs, unsigned int *written)
{
    unsigned char req[SIM_I2C_REQUEST_SIZE];
    SimLogEntry e;
    unsigned int i, status;

    *written = 0;
    clearBytes(&e, sizeof e);
    e.size = inLen;
    if (inLen < AT_OPERATION + 4 || inLen > sizeof req || outLen != inLen) {
        e.op = SIM_OP_UNKNOWN;
        e.status = SIM_STATUS_BUFFER_TOO_SMALL;
        if (inLen >= AT_FLAGS + 4) {
            e.property = get32(in + AT_PROPERTY);
            e.flags = get32(in + AT_FLAGS);
        }
        addLog(card, &e);
        return e.status;
    }
    for (i = 0; i < inLen; i++)
        req[i] = in[i];
    e.property = get32(req + AT_PROPERTY);
    e.flags = get32(req + AT_FLAGS);
    e.opcode = get32(req + AT_OPERATION);
    e.op = opOf(e.property, e.opcode);
    if (e.property == SIM_PROPERTY_I2C && inLen == SIM_I2C_REQUEST_SIZE) {
        e.parameter = get32(req + AT_I2C_PARAMETER);
        e.address = req[AT_I2C_ADDRESS];
        e.data = req[AT_I2C_DATA];
    } else if (e.property == SIM_PROPERTY_REGISTER && inLen == SIM_REGISTER_REQUEST_SIZE) {
        e.reg = get32(req + AT_REG_ADDRESS);
    }

    status = handleRequest(card, req, inLen, &e, nowMs);
    e.status = status;
    addLog(card, &e);
    if (status & 0x80000000u)
        return status;
    /* The answer goes back in full: the caller's buffer is input and output at once. */
    for (i = 0; i < inLen; i++)
        out[i] = req[i];
    *written = inLen;
    return status;
}

unsigned int simcard_control(SimCard *card, const SimControl *cmd, unsigned long long nowMs)
{
    SimFault *f;
    switch (cmd->command) {
    case SIM_CMD_KEY_DOWN:
        if (cmd->arg[0] > 0xFFu)
            return SIM_STATUS_INVALID_PARAMETER;
        card->keyDown = 1;
        card->keyCode = cmd->arg[0];
        card->readsLeft = cmd->arg[1];
        card->keyUntilMs = cmd->arg[2] ? nowMs + cmd->arg[2] : 0;
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_KEY_UP:
        card->keyDown = 0;
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_STATUS:
        if (cmd->arg[0] > SIM_STATUSBIT_CLEAR)
            return SIM_STATUS_INVALID_PARAMETER;
        card->statusMode = cmd->arg[0];
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_FAIL:
        if (cmd->arg[0] >= SIM_OP_COUNT || cmd->arg[1] > SIM_FAULT_ALWAYS)
            return SIM_STATUS_INVALID_PARAMETER;
        /* Only an error status can fail a request. */
        if (cmd->arg[3] && !(cmd->arg[3] & 0x80000000u))
            return SIM_STATUS_INVALID_PARAMETER;
        f = &card->faults[cmd->arg[0]];
        f->mode = cmd->arg[1];
        f->remaining = cmd->arg[2];
        f->status = cmd->arg[3] ? cmd->arg[3] : SIM_STATUS_UNSUCCESSFUL;
        if (f->mode == SIM_FAULT_COUNT && f->remaining == 0)
            f->mode = SIM_FAULT_OFF;
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_PEND:
        card->pend = cmd->arg[0] != 0;
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_LOG_CLEAR:
        card->logFirst = card->logCount = card->logDropped = 0;
        return SIM_STATUS_SUCCESS;
    case SIM_CMD_RESET:
        simcard_init(card);
        return SIM_STATUS_SUCCESS;
    default:
        return SIM_STATUS_INVALID_PARAMETER;
    }
}

unsigned int simcard_read_log(const SimCard *card, SimLogHeader *header, SimLogEntry *entries,
                              unsigned int max)
{
    unsigned int i, n = card->logCount < max ? card->logCount : max;
    /* The newest entries are kept when the caller's room is short. */
    unsigned int skip = card->logCount - n;
    for (i = 0; i < n; i++)
        entries[i] = card->log[(card->logFirst + skip + i) % SIM_LOG_CAPACITY];
    header->count = n;
    header->dropped = card->logDropped + skip;
    return n;
}
