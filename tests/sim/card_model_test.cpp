// The simulated card's model on its own, without the driver: the strict bus
// order, faults on demand, the remote's keys and the bounded request log.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "card_model.h"

namespace
{

const unsigned char Set[16] = {0x10, 0x1A, 0x4A, 0xC4, 0x37, 0x0A, 0xD2, 0x11,
                               0x83, 0x28, 0x00, 0x60, 0x97, 0xBA, 0x83, 0xAB};

struct Request {
    unsigned char bytes[128];
    unsigned int size;
};

void put32(unsigned char *p, unsigned int v)
{
    memcpy(p, &v, 4);
}

// A request of `op` in its usual form; the tests then bend one thing about it.
Request request(unsigned int op, unsigned char byte = 0x61, unsigned int value = 0)
{
    Request r;
    memset(&r, 0, sizeof r);
    unsigned int property = simcard_op_property(op);
    r.size = property == SIM_PROPERTY_I2C ? 120 : 40;
    memcpy(r.bytes, Set, 16);
    put32(r.bytes + 16, property);
    put32(r.bytes + 20, op == SIM_OP_SWREAD ? SIM_FLAG_GET : SIM_FLAG_SET);
    put32(r.bytes + 24, simcard_op_code(op));
    if (property == SIM_PROPERTY_I2C) {
        put32(r.bytes + 32, value);
        r.bytes[48] = byte;
        r.bytes[50] = byte;
    } else {
        put32(r.bytes + 28, value);
    }
    return r;
}

struct Card {
    SimCard card;
    unsigned long long now = 1000;
    Card() { simcard_init(&card); }
    // Sends `r` in place; returns its status and leaves the answer in r.
    unsigned int send(Request &r)
    {
        unsigned int written = 0;
        return simcard_property(&card, r.bytes, r.size, r.bytes, r.size, now, &written);
    }
    bool ok(unsigned int op, unsigned char byte = 0x61)
    {
        Request r = request(op, byte);
        return send(r) == 0;
    }
    void control(unsigned int cmd, unsigned int a0 = 0, unsigned int a1 = 0, unsigned int a2 = 0,
                 unsigned int a3 = 0)
    {
        SimControl c = {cmd, {a0, a1, a2, a3}};
        ASSERT_EQ(simcard_control(&card, &c, now), 0u);
    }
    // One whole receiver read: the key byte, or -1 when any step failed.
    int readKey()
    {
        const unsigned int ops[] = {SIM_OP_SWRESET, SIM_OP_INIT, SIM_OP_SWSTART, SIM_OP_SWADDRESS,
                                    SIM_OP_SWWRITE};
        for (unsigned int op : ops) {
            if (!ok(op))
                return -1;
        }
        Request r = request(SIM_OP_SWREAD, 0);
        if (send(r) != 0 || !ok(SIM_OP_SWSENDNACK) || !ok(SIM_OP_SWSTOP) || !ok(SIM_OP_RESET))
            return -1;
        return r.bytes[50];
    }
    unsigned int status() { return simcard_register_value(&card, SIM_STATUS_REGISTER, now); }
};

// Requests out of protocol order, or malformed, fail; the request just before
// each failing one shows the same state accepts the right step.
TEST(CardModel, BusFollowsTheSoftwareModeOrderStrictly)
{
    enum { SW = 100 }; // prefix: SWRESET, INIT
    // Every step but the last must be accepted; the last one's outcome is `ok`.
    struct Step {
        Step(unsigned int o, unsigned char b = 0x61, bool k = true) : op(o), byte(b), ok(k) {}
        unsigned int op;
        unsigned char byte;
        bool ok;
    };
    std::vector<std::vector<Step>> cases = {
        {{SIM_OP_SWREAD, 0, false}},                             // no start, no address
        {{SIM_OP_SWSTART, 0, false}},                            // hardware mode
        {{SIM_OP_SWRESET, 0, true}, {SIM_OP_SWSTART, 0, false}}, // not initialised
        {{SW}, {SIM_OP_SWADDRESS, 0x61, false}},                 // no start
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x61, true},
         {SIM_OP_SWREAD, 0, false}}, // address not sent
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x61, true},
         {SIM_OP_SWWRITE, 0x60, false}}, // not the address
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x51, true},
         {SIM_OP_SWWRITE, 0x51, false}}, // nobody there
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x61},
         {SIM_OP_SWWRITE, 0x61},
         {SIM_OP_SWREAD, 0, true},
         {SIM_OP_SWREAD, 0, false}}, // read without acknowledge
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x61},
         {SIM_OP_SWWRITE, 0x61},
         {SIM_OP_SWREAD},
         {SIM_OP_SWSENDNACK, 0, true},
         {SIM_OP_SWREAD, 0, false}}, // read after the last byte
        {{SW},
         {SIM_OP_SWSTART},
         {SIM_OP_SWADDRESS, 0x61},
         {SIM_OP_SWWRITE, 0x61},
         {SIM_OP_SWSTOP, 0, true},
         {SIM_OP_SWREAD, 0, false}}, // read after stop
        {{SW}, {SIM_OP_SWSENDACK, 0, false}},
        {{SIM_OP_REGREAD, 0, false}}, // a register get with no set before it
    };
    for (size_t i = 0; i < cases.size(); i++) {
        SCOPED_TRACE(i);
        Card c;
        for (const Step &s : cases[i]) {
            if (s.op == SW) {
                ASSERT_TRUE(c.ok(SIM_OP_SWRESET) && c.ok(SIM_OP_INIT));
                continue;
            }
            Request r = request(s.op, s.byte);
            if (s.op == SIM_OP_REGREAD)
                put32(r.bytes + 20, SIM_FLAG_GET);
            bool expectOk = &s != &cases[i].back() || s.ok;
            EXPECT_EQ(c.send(r) == 0, expectOk) << simcard_op_name(s.op);
        }
    }
}

TEST(CardModel, MalformedRequestsFail)
{
    struct {
        const char *what;
        unsigned int offset, value, size; // value written at offset (size 0: usual size)
        unsigned int status;
    } cases[] = {
        {"property set", 0, 0x12345678, 0, SIM_STATUS_NOT_FOUND},
        {"property id", 16, 5, 0, SIM_STATUS_NOT_FOUND},
        {"operation", 24, 0x11000099, 0, SIM_STATUS_INVALID_PARAMETER},
        {"flags", 20, SIM_FLAG_GET, 0, SIM_STATUS_INVALID_PARAMETER},
        {"short", 0, 0, 119, SIM_STATUS_BUFFER_TOO_SMALL},
        {"long", 0, 0, 121, SIM_STATUS_BUFFER_TOO_SMALL},
        {"register size", 16, SIM_PROPERTY_REGISTER, 0, SIM_STATUS_BUFFER_TOO_SMALL},
    };
    for (auto &k : cases) {
        SCOPED_TRACE(k.what);
        Card c;
        Request r = request(SIM_OP_SWRESET);
        if (k.offset || k.value)
            put32(r.bytes + k.offset, k.value);
        if (k.size)
            r.size = k.size;
        EXPECT_EQ(c.send(r), k.status);
        SimLogHeader h;
        SimLogEntry e[2];
        ASSERT_EQ(simcard_read_log(&c.card, &h, e, 2), 1u);
        EXPECT_EQ(e[0].status, k.status);
    }
}

TEST(CardModel, FaultsOnceNTimesAlwaysAndOff)
{
    Card c;
    c.control(SIM_CMD_FAIL, SIM_OP_REGSET, SIM_FAULT_COUNT, 2, 0xC0010000u);
    Request r = request(SIM_OP_REGSET);
    EXPECT_EQ(c.send(r), 0xC0010000u);
    EXPECT_EQ(c.send(r), 0xC0010000u);
    EXPECT_EQ(c.send(r), 0u);
    c.control(SIM_CMD_FAIL, SIM_OP_SWSTART, SIM_FAULT_ALWAYS);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(c.readKey(), -1);
    // A failed step has no effect: the bus is not started.
    Request addr = request(SIM_OP_SWADDRESS);
    EXPECT_NE(c.send(addr), 0u);
    c.control(SIM_CMD_FAIL, SIM_OP_SWSTART, SIM_FAULT_OFF);
    EXPECT_EQ(c.readKey(), SIM_RECEIVER_NO_KEY);
    SimControl notAnError = {SIM_CMD_FAIL, {SIM_OP_INIT, SIM_FAULT_ALWAYS, 0, 0x40000000u}};
    EXPECT_NE(simcard_control(&c.card, &notAnError, c.now), 0u);
}

TEST(CardModel, KeysFollowTheRemote)
{
    Card c;
    EXPECT_EQ(c.status(), SIM_STATUS_NO_KEY);
    EXPECT_EQ(c.readKey(), 0xFF);
    c.control(SIM_CMD_KEY_DOWN, 5, 2, 0); // two reads
    EXPECT_EQ(c.status(), 0u);
    EXPECT_EQ(c.readKey(), 5);
    EXPECT_EQ(c.readKey(), 5);
    EXPECT_EQ(c.status(), SIM_STATUS_NO_KEY);
    EXPECT_EQ(c.readKey(), 0xFF);
    c.control(SIM_CMD_KEY_DOWN, 18, 0, 100); // 100 ms
    c.now += 99;
    EXPECT_EQ(c.readKey(), 18);
    EXPECT_EQ(c.readKey(), 18);
    c.now += 1;
    EXPECT_EQ(c.status(), SIM_STATUS_NO_KEY);
    c.control(SIM_CMD_KEY_DOWN, 0, 0, 0); // held; code 0 is a key too
    c.control(SIM_CMD_STATUS, SIM_STATUSBIT_SET);
    EXPECT_EQ(c.status(), SIM_STATUS_NO_KEY);
    c.control(SIM_CMD_STATUS, SIM_STATUSBIT_AUTO);
    EXPECT_EQ(c.status(), 0u);
    EXPECT_EQ(c.readKey(), 0);
    c.control(SIM_CMD_KEY_UP);
    c.control(SIM_CMD_STATUS, SIM_STATUSBIT_CLEAR);
    EXPECT_EQ(c.status(), 0u);
    EXPECT_EQ(simcard_register_value(&c.card, 0x350014, c.now), 0u);
}

TEST(CardModel, AnswerLandsInASeparateOutputAndTheLogIsBounded)
{
    Card c;
    c.control(SIM_CMD_KEY_DOWN, 0x42, 0, 0);
    Request latch = request(SIM_OP_REGSET, 0, SIM_STATUS_REGISTER);
    ASSERT_EQ(c.send(latch), 0u);
    Request prepare = request(SIM_OP_REGREAD);
    ASSERT_EQ(c.send(prepare), 0u);
    // Input and output apart, as the platform may pass them.
    Request get = request(SIM_OP_REGREAD);
    put32(get.bytes + 20, SIM_FLAG_GET);
    put32(get.bytes + 32, 0xDEADBEEF);
    unsigned char out[40];
    memset(out, 0xEE, sizeof out);
    unsigned int written = 0;
    ASSERT_EQ(simcard_property(&c.card, get.bytes, 40, out, 40, c.now, &written), 0u);
    EXPECT_EQ(written, 40u);
    EXPECT_EQ(memcmp(out, get.bytes, 32), 0);
    unsigned int value;
    memcpy(&value, out + 32, 4);
    EXPECT_EQ(value, 0u); // a key is down: the no-key bit is clear

    c.control(SIM_CMD_LOG_CLEAR);
    for (unsigned int i = 0; i < SIM_LOG_CAPACITY + 10; i++) {
        Request r = request(SIM_OP_REGSET, 0, i);
        c.send(r);
    }
    std::vector<SimLogEntry> entries(SIM_LOG_CAPACITY);
    SimLogHeader h;
    ASSERT_EQ(simcard_read_log(&c.card, &h, entries.data(), SIM_LOG_CAPACITY), (unsigned)SIM_LOG_CAPACITY);
    EXPECT_EQ(h.dropped, 10u);
    EXPECT_EQ(entries.front().reg, 10u);
    EXPECT_EQ(entries.back().reg, SIM_LOG_CAPACITY + 9u);
}

} // namespace
