/* One line of the request log, as the virtual remote prints it. User mode only. */
#include <stdio.h>

#include "card_model.h"
#include "log_format.h"

static int expectedSize(unsigned int property)
{
    return property == SIM_PROPERTY_I2C        ? SIM_I2C_REQUEST_SIZE
           : property == SIM_PROPERTY_REGISTER ? SIM_REGISTER_REQUEST_SIZE
                                               : 0;
}

void simcard_format_entry(const SimLogEntry *e, char *buf, unsigned int size)
{
    char prop[16], flags[16], op[16], payload[80];
    int n = 0;

    if (e->property == SIM_PROPERTY_I2C)
        snprintf(prop, sizeof prop, "I2C");
    else if (e->property == SIM_PROPERTY_REGISTER)
        snprintf(prop, sizeof prop, "REG");
    else
        snprintf(prop, sizeof prop, "PROP%u", e->property);
    if (e->flags == SIM_FLAG_GET || e->flags == SIM_FLAG_SET)
        snprintf(flags, sizeof flags, "%s", e->flags == SIM_FLAG_GET ? "get" : "set");
    else
        snprintf(flags, sizeof flags, "flags=%u", e->flags);
    if (e->op < SIM_OP_COUNT)
        snprintf(op, sizeof op, "%s", simcard_op_name(e->op));
    else
        snprintf(op, sizeof op, "0x%08X", e->opcode);

    payload[0] = 0;
    switch (e->op) {
    case SIM_OP_SWRESET:
    case SIM_OP_RESET:
        n = snprintf(payload, sizeof payload, " param=%u", e->parameter);
        break;
    case SIM_OP_SWADDRESS:
        n = snprintf(payload, sizeof payload, " addr=0x%02X", e->address);
        break;
    case SIM_OP_SWWRITE:
    case SIM_OP_SWREAD:
        n = snprintf(payload, sizeof payload, " data=0x%02X", e->data);
        break;
    case SIM_OP_REGSET:
        n = snprintf(payload, sizeof payload, " reg=0x%X", e->reg);
        break;
    case SIM_OP_REGREAD:
        if (e->flags == SIM_FLAG_GET && !(e->status & 0x80000000u))
            n = snprintf(payload, sizeof payload, " reg=0x%X value=0x%08X", e->reg, e->value);
        else
            n = snprintf(payload, sizeof payload, " reg=0x%X", e->reg);
        break;
    default:
        break;
    }
    if (n >= 0 && (int)e->size != expectedSize(e->property) && (size_t)n < sizeof payload)
        snprintf(payload + n, sizeof payload - (size_t)n, " size=%u", e->size);

    if (e->status & 0x80000000u)
        snprintf(buf, size, "%s %s %s%s failed=0x%08X", prop, flags, op, payload, e->status);
    else
        snprintf(buf, size, "%s %s %s%s", prop, flags, op, payload);
}
