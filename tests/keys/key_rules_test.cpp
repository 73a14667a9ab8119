// The two pure rules of the key poll: the repeat rule and the pointer step.
#include <gtest/gtest.h>

#include "keys/keys.h"

namespace
{

struct Read {
    int code;
    DWORD at;
};

// Runs reads through a fresh repeat state; the keys that come out.
std::vector<int> keysOut(const std::vector<Read> &reads, bool target, std::vector<bool> *newKeys = nullptr,
                         bool prompt = false)
{
    KeyRepeatState s = {0, 0, 0, false};
    std::vector<int> out;
    for (const Read &r : reads) {
        RepeatOutcome o = applyRepeatRule(&s, r.code, r.at, target, prompt);
        out.push_back(o.key);
        if (newKeys)
            newKeys->push_back(o.newKey);
    }
    return out;
}

std::vector<Read> heldKey(int code, int reads, DWORD start = 10000, DWORD every = 65)
{
    std::vector<Read> v;
    for (int i = 0; i < reads; ++i)
        v.push_back({code, start + i * every});
    return v;
}

} // namespace

TEST(RepeatRule, RepeatWindowIsBelow250Milliseconds)
{
    struct Case {
        int first, second;
        DWORD firstAt, secondAt;
        bool newKey;
    } cases[] = {
        {7, 7, 10000, 10249, false},            // same code 249 ms later: a repeat
        {7, 7, 10000, 10250, true},             // 250 ms later: a new key
        {7, 8, 10000, 10065, true},             // another code at once: a new key
        {7, 7, 0xFFFFFF80u, 0x00000010, false}, // across the tick counter's wrap (144 ms)
        {7, 7, 0xFFFFFF00u, 0x00000010, true},  // across the wrap, 272 ms
    };
    for (const Case &c : cases) {
        std::vector<bool> fresh;
        keysOut({{c.first, c.firstAt}, {c.second, c.secondAt}}, true, &fresh);
        EXPECT_TRUE(fresh[0]);
        EXPECT_EQ(fresh[1], c.newKey)
            << c.first << "," << c.second << " at " << c.firstAt << "," << c.secondAt;
    }
}

TEST(RepeatRule, HeldKeyActsOnReadsZeroTenTwentyWithATarget)
{
    std::vector<int> out = keysOut(heldKey(5, 25), true);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(out[i], i % 10 == 0 ? 5 : KEY_SUPPRESSED) << "read " << i;
}

TEST(RepeatRule, HeldKeyActsOnEveryReadWithoutATarget)
{
    std::vector<int> out = keysOut(heldKey(6, 25), false);
    for (int i = 0; i < 25; ++i)
        EXPECT_EQ(out[i], 6) << "read " << i;
}

// A press lasts a few reads: the power key and key 15 act on its first read only,
// with or without a target, and so does any key while the Shut Down dialog is open;
// with no target, the pointer's clicks (0, 10) and its button toggle (5) too.
TEST(RepeatRule, PowerKeyKey15AndTheDialogsAnswersActOncePerPress)
{
    struct Case {
        int code;
        bool target, prompt;
    } cases[] = {
        {KEY_POWER, false, false},   {KEY_POWER, true, false}, {KEY_SHUTDOWN, false, false},
        {KEY_SHUTDOWN, true, false}, {KEY_POWER, false, true}, {7, false, true},
        {0, false, false},           {5, false, false},        {10, false, false},
    };
    for (const Case &c : cases) {
        for (int reads : {2, 3, 12}) {
            std::vector<int> out = keysOut(heldKey(c.code, reads), c.target, nullptr, c.prompt);
            for (int i = 0; i < reads; ++i)
                EXPECT_EQ(out[i], i == 0 ? c.code : KEY_SUPPRESSED)
                    << "code " << c.code << (c.target ? " target" : "") << (c.prompt ? " dialog" : "")
                    << ", read " << i << " of " << reads;
        }
    }
    // A new press after a pause acts again.
    std::vector<Read> twice = heldKey(KEY_POWER, 3);
    twice.push_back({KEY_POWER, twice.back().at + 300});
    EXPECT_EQ(keysOut(twice, false)[3], KEY_POWER);
}

// The key that answers the Shut Down dialog: its first read closes the dialog, and
// the rest of that press reaches nobody (neither the probe nor the pointer); the
// next press acts again.
TEST(RepeatRule, PressThatAnsweredTheDialogIsSpent)
{
    for (int code : {10, 6, KEY_POWER, 5}) {
        KeyRepeatState s = {0, 0, 0, false};
        DWORD at = 10000;
        EXPECT_EQ(applyRepeatRule(&s, code, at, false, true).key, code) << code;
        for (int read = 1; read < 6; ++read)
            EXPECT_EQ(applyRepeatRule(&s, code, at += 65, false, false).key, KEY_SUPPRESSED)
                << "code " << code << ", read " << read;
        EXPECT_EQ(applyRepeatRule(&s, code, at += 300, false, false).key, code) << code;
        EXPECT_EQ(applyRepeatRule(&s, 7, at += 65, false, false).key, 7) << "another key after " << code;
    }
}

// Ticks held apart by a wait of the program's own (the launch watch's 2000 ms): a
// press held through it stays one press; ticks that ran without reading it end it.
TEST(RepeatRule, PressHeldThroughAWaitStaysOnePress)
{
    struct Case {
        DWORD tickGap;    // from the end of the previous tick to the next read
        bool readBetween; // the ticks in between ran, and read no key
        bool newPress;
    } cases[] = {
        {2000, false, false},
        {300, false, false},
        {65, false, false},
        {400, true, true},
    };
    for (const Case &c : cases) {
        KeyRepeatState s = {0, 0, 0, false};
        applyRepeatRule(&s, KEY_POWER, 10000, false, false);
        DWORD at = 10000;
        if (c.readBetween) {
            // No key read for 400 ms, in ticks 65 ms apart.
            for (DWORD t = 65; t <= c.tickGap; t += 65)
                leaveOutHeldTime(&s, 65, 65);
            at += c.tickGap;
        } else {
            leaveOutHeldTime(&s, c.tickGap, 65);
            at += c.tickGap;
        }
        RepeatOutcome o = applyRepeatRule(&s, KEY_POWER, at, false, false);
        EXPECT_EQ(o.newKey, c.newPress) << c.tickGap;
        EXPECT_EQ(o.key, c.newPress ? KEY_POWER : KEY_SUPPRESSED) << c.tickGap;
    }
}

TEST(RepeatRule, EveryReadCountsSoAGapRestartsTheRun)
{
    // Nine reads of a held key, a pause of 300 ms, then the key again: the run
    // starts over, so the first read after the pause acts.
    std::vector<Read> reads = heldKey(3, 9);
    reads.push_back({3, reads.back().at + 300});
    reads.push_back({3, reads.back().at + 65});
    std::vector<int> out = keysOut(reads, true);
    EXPECT_EQ(out[9], 3);
    EXPECT_EQ(out[10], KEY_SUPPRESSED);
}

namespace
{

const PointerLimits k1024 = pointerLimitsFor(1024, 768);

// Moves of `key` from `from` with the counter at `counter`; the positions reached
// (the position stays when a move is refused).
std::vector<POINT> moves(int key, POINT from, int counter, int n, int *counterOut = nullptr)
{
    std::vector<POINT> out;
    POINT at = from;
    for (int i = 0; i < n; ++i) {
        POINT to;
        if (pointerStep(k1024, key, at, &counter, &to))
            at = to;
        out.push_back(at);
    }
    if (counterOut)
        *counterOut = counter;
    return out;
}

} // namespace

TEST(PointerLimits, FollowTheScreenWidthAndHeight)
{
    struct Case {
        int width, height;
        PointerLimits expected;
    } cases[] = {
        {800, 600, {0, 0, 799, 599, 5, 10}},     {1024, 768, {0, 0, 1023, 767, 6, 12}},
        {1280, 1024, {0, 0, 1279, 1023, 8, 16}}, {1600, 1200, {0, 0, 1599, 1199, 10, 20}},
        {100, 100, {0, 0, 99, 99, 0, 1}},
    };
    for (const Case &c : cases) {
        PointerLimits l = pointerLimitsFor(c.width, c.height);
        EXPECT_EQ(memcmp(&l, &c.expected, sizeof l), 0) << c.width << "x" << c.height;
    }
    EXPECT_EQ(pointerLimitsFor(1024, startupPointerHeight(719)).bottom, 737);
    EXPECT_EQ(pointerLimitsFor(1024, startupPointerHeight(720)).bottom, 719);
}

TEST(PointerStep, AcceleratesInThreeStages)
{
    std::vector<POINT> path = moves(6, {500, 400}, 0, 12);
    const int expectedX[12] = {501, 502, 503, 504, 510, 516, 522, 528, 534, 546, 558, 570};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(path[i].x, expectedX[i]) << "move " << i + 1;
        EXPECT_EQ(path[i].y, 400);
    }
}

TEST(PointerStep, EachKeyMovesOnItsOwnAxes)
{
    struct Case {
        int key, dx, dy;
    } cases[] = {{1, -1, -1}, {2, 0, -1}, {3, 1, -1}, {4, -1, 0},
                 {6, 1, 0},   {7, -1, 1}, {8, 0, 1},  {9, 1, 1}};
    for (const Case &c : cases) {
        std::vector<POINT> p = moves(c.key, {500, 400}, 0, 1);
        EXPECT_EQ(p[0].x, 500 + c.dx) << "key " << c.key;
        EXPECT_EQ(p[0].y, 400 + c.dy) << "key " << c.key;
    }
    // Keys that are not directions never move or count.
    for (int key : {0, 5, 10, 11, 255, -1}) {
        int counter = 3;
        POINT to = {-7, -7};
        EXPECT_FALSE(pointerStep(k1024, key, {500, 400}, &counter, &to)) << key;
        EXPECT_EQ(counter, 3);
        EXPECT_EQ(to.x, -7);
    }
}

TEST(PointerStep, RefusalAtTheEdgeRestartsTheAcceleration)
{
    // x = 3, counter 8: the ninth move asks for 6 pixels, x would be -3.
    int counter = 0;
    std::vector<POINT> p = moves(4, {3, 400}, 8, 1, &counter);
    EXPECT_EQ(p[0].x, 3);
    EXPECT_EQ(counter, 0);
    // Then 1-pixel moves creep on, until x = 1, since 0 is not strictly inside.
    p = moves(4, {3, 400}, 0, 3, &counter);
    EXPECT_EQ(p[0].x, 2);
    EXPECT_EQ(p[1].x, 1);
    EXPECT_EQ(p[2].x, 1);
    EXPECT_EQ(counter, 0);
    // A diagonal is refused whole when only one axis leaves the limits.
    p = moves(9, {500, 766}, 0, 1);
    EXPECT_EQ(p[0].x, 500);
    EXPECT_EQ(p[0].y, 766);
    p = moves(3, {1021, 400}, 0, 2);
    EXPECT_EQ(p[0].x, 1022);
    EXPECT_EQ(p[1].x, 1022); // 1023 is the right limit itself
}
