// The mouse emulation against the real pointer and a window under it.
#include <gtest/gtest.h>

#include "keys/keys.h"
#include "qxtest.h"

namespace
{

POINT cursor()
{
    POINT p;
    GetCursorPos(&p);
    return p;
}

// A visible window under the pointer that records the button messages it gets.
class MouseEmulation : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        initPointerLimits();
        resetMouseStepCounter();
        SetWindowPos(window.hwnd(), HWND_TOP, 100, 100, 400, 300, SWP_SHOWWINDOW);
        SetForegroundWindow(window.hwnd());
        SetCursorPos(300, 250);
        qxt::pumpMessages(100);
        window.clear();
    }
    void TearDown() override
    {
        if (mouseButtonHeld())
            mouseKey(5);
        SwapMouseButton(FALSE);
        qxt::pumpMessages(50);
    }
    std::vector<UINT> buttons()
    {
        qxt::pumpMessages(150);
        std::vector<UINT> out;
        for (const qxt::Received &r : window.received())
            if (r.msg >= WM_LBUTTONDOWN && r.msg <= WM_MBUTTONDBLCLK)
                out.push_back(r.msg);
        return out;
    }
    qxt::MessageRecorder window{"QxMouseTarget", "Mouse target", true};
};

} // namespace

TEST_F(MouseEmulation, HeldDirectionKeyAcceleratesAcrossTheScreen)
{
    const PointerLimits &l = currentPointerLimits();
    ASSERT_GT(l.fineStep, 1);
    int x = 300;
    for (int move = 1; move <= 12; ++move) {
        mouseKey(6);
        x += move < 5 ? 1 : move < 10 ? l.fineStep : l.coarseStep;
        EXPECT_EQ(cursor().x, x) << "move " << move;
        EXPECT_EQ(cursor().y, 250);
    }
    // A new key starts over at one pixel.
    resetMouseStepCounter();
    mouseKey(2);
    EXPECT_EQ(cursor().x, x);
    EXPECT_EQ(cursor().y, 249);
}

TEST_F(MouseEmulation, ClicksAndThePrimaryButtonToggle)
{
    struct Case {
        std::vector<int> keys;
        bool swapped;
        std::vector<UINT> expected;
    } cases[] = {
        {{0}, false, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {{10}, false, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {{5}, false, {WM_LBUTTONDOWN}},
        {{5, 5}, false, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        // Swapped buttons: the toggle sends the right button's flags, which Windows
        // maps back to the primary button. Wine does not apply the swap to injected
        // input, so the window sees the right button's messages here.
        {{5, 5}, true, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
        {{0}, true, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
        {{11, 31, 255}, false, {}},
    };
    for (const Case &c : cases) {
        SwapMouseButton(c.swapped);
        window.clear();
        for (int key : c.keys)
            mouseKey(key);
        std::vector<UINT> got = buttons();
        EXPECT_EQ(got, c.expected) << "keys starting " << c.keys[0] << (c.swapped ? " swapped" : "");
        if (mouseButtonHeld())
            mouseKey(5);
        qxt::pumpMessages(50);
    }
}

TEST(PointerLimitsAfterDisplayChange, TakeTheNewSizeAsUnsignedWords)
{
    onDisplayChange(MAKELPARAM(1600, 1200));
    PointerLimits l = currentPointerLimits();
    EXPECT_EQ(l.right, 1599);
    EXPECT_EQ(l.bottom, 1199);
    EXPECT_EQ(l.fineStep, 10);
    EXPECT_EQ(l.coarseStep, 20);
    onDisplayChange(MAKELPARAM(40000, 33000));
    l = currentPointerLimits();
    EXPECT_EQ(l.right, 39999);
    EXPECT_EQ(l.bottom, 32999);
    initPointerLimits();
}
