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

namespace
{

// The screen as the limits read it: the virtual screen, and the primary screen.
struct Screens {
    int x, y, cx, cy;   // SM_XVIRTUALSCREEN and kin; 0 where the system has none
    int fullCx, fullCy; // SM_CXFULLSCREEN, SM_CYFULLSCREEN
};
Screens screens;

int WINAPI fakeMetrics(int index)
{
    switch (index) {
    case SM_XVIRTUALSCREEN:
        return screens.x;
    case SM_YVIRTUALSCREEN:
        return screens.y;
    case SM_CXVIRTUALSCREEN:
        return screens.cx;
    case SM_CYVIRTUALSCREEN:
        return screens.cy;
    case SM_CXFULLSCREEN:
        return screens.fullCx;
    case SM_CYFULLSCREEN:
        return screens.fullCy;
    }
    return GetSystemMetrics(index);
}

} // namespace

// Wine under Xvfb shows one monitor: the screen metrics are played. The limits span
// every monitor; the steps stay those of the primary screen.
TEST(PointerLimitsOverMonitors, SpanTheVirtualScreenAndFollowDisplayChanges)
{
    screenMetricsCall = fakeMetrics;
    struct Case {
        const char *what;
        Screens screens;
        LPARAM change; // WM_DISPLAYCHANGE's lParam; 0: at start
        PointerLimits expected;
    } cases[] = {
        {"a TV left of the primary screen",
         {-1920, 0, 2944, 1080, 1024, 768},
         0,
         {-1920, 0, 1023, 1079, 6, 12}},
        {"a TV above it", {0, -1080, 1920, 1848, 1024, 768}, 0, {0, -1080, 1919, 767, 6, 12}},
        {"one screen", {0, 0, 1024, 768, 1024, 768}, 0, {0, 0, 1023, 767, 6, 12}},
        {"no virtual screen (95, NT 4.0)", {0, 0, 0, 0, 1024, 719}, 0, {0, 0, 1023, 737, 6, 12}},
        {"changed to two screens",
         {0, 0, 3200, 1200, 1600, 1200},
         MAKELPARAM(1600, 1200),
         {0, 0, 3199, 1199, 10, 20}},
        {"changed, no virtual screen",
         {0, 0, 0, 0, 0, 0},
         MAKELPARAM(1600, 1200),
         {0, 0, 1599, 1199, 10, 20}},
        {"changed, sizes as unsigned words",
         {0, 0, 0, 0, 0, 0},
         MAKELPARAM(40000, 33000),
         {0, 0, 39999, 32999, 250, 500}},
    };
    for (const Case &c : cases) {
        screens = c.screens;
        if (c.change)
            onDisplayChange(c.change);
        else
            initPointerLimits();
        PointerLimits l = currentPointerLimits();
        EXPECT_EQ(memcmp(&l, &c.expected, sizeof l), 0)
            << c.what << ": " << l.left << "," << l.top << " " << l.right << "," << l.bottom << " steps "
            << l.fineStep << "," << l.coarseStep;
    }
    // The pointer crosses onto the screen left of the primary one.
    screens = cases[0].screens;
    initPointerLimits();
    int counter = 0;
    POINT to;
    ASSERT_TRUE(pointerStep(currentPointerLimits(), 4, {0, 400}, &counter, &to));
    EXPECT_EQ(to.x, -1);
    screenMetricsCall = GetSystemMetrics;
    initPointerLimits();
}
