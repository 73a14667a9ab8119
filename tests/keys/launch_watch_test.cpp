// The launch watch against real windows and timers: which flag a tick looks at,
// what it clears when the window has gone, and the timer slot underneath.
#include <gtest/gtest.h>

#include "apps/apps.h"
#include "keys/launch_watch.h"
#include "qxtest.h"

namespace
{

int ticks;
void CALLBACK countTick(HWND, UINT, UINT_PTR, DWORD)
{
    ++ticks;
}

void clearAllWatches()
{
    for (int i = 0; i < WATCHED_APP_COUNT; ++i)
        clearLaunchWatch((WatchedApp)i);
}

TvAppTarget *targetOf(WatchedApp app)
{
    TvAppTarget *targets[] = {&homeTheaterTarget, &powerVcrTarget, &honestechTarget, &tivraTarget};
    return targets[app];
}

} // namespace

TEST(TimerSlot, RunsOnlyBetweenStartAndStop)
{
    qxt::MessageRecorder owner("QxSlotOwner", "Slot Owner");
    TimerSlot slot = {false, 7, NULL, 0, countTick};
    EXPECT_FALSE(slot.start()) << "no owner yet: nothing could ever kill the timer";
    EXPECT_FALSE(slot.running);

    slot.configure(owner.hwnd(), 20);
    ASSERT_TRUE(slot.start());
    EXPECT_TRUE(slot.start()) << "a second start keeps the one timer";
    ticks = 0;
    EXPECT_TRUE(qxt::waitUntil([] { return ticks >= 2; }, 2000));
    slot.stop();
    EXPECT_FALSE(slot.running);
    int seen = ticks;
    qxt::pumpMessages(150);
    EXPECT_EQ(ticks, seen) << "no tick after stop";
}

TEST(WatchTimer, ConfigureStopsARunningWatch)
{
    qxt::MessageRecorder owner("QxWatchOwner", "Watch Owner");
    configureWatchTimer(owner.hwnd());
    EXPECT_EQ(watchTimer().interval, 1000u);
    EXPECT_EQ(watchTimer().id, 2u);
    startWatchTimer();
    EXPECT_TRUE(watchTimer().running);
    configureWatchTimer(owner.hwnd());
    EXPECT_FALSE(watchTimer().running);
}

TEST(LaunchWatch, ExaminesTheFirstSetFlagInPowerVcrHomeTheaterHonestechTivraOrder)
{
    struct {
        bool flags[WATCHED_APP_COUNT]; // indexed by WatchedApp: Home Theater, PowerVCR, honestech, Tivra
        int examined;
    } cases[] = {
        {{false, false, false, false}, -1},
        {{true, true, true, true}, WATCH_POWERVCR},
        {{true, false, true, true}, WATCH_HOME_THEATER},
        {{false, false, true, true}, WATCH_HONESTECH},
        {{false, false, false, true}, WATCH_TIVRA},
    };
    for (const auto &c : cases)
        EXPECT_EQ(watchedAppToExamine(c.flags), c.examined);
}

// Each application, watched with its window present and then gone.
TEST(LaunchWatch, DropsTheTargetOnlyOnceItsWindowHasGone)
{
    struct {
        WatchedApp app;
        const char *cls, *title;
    } apps[] = {
        {WATCH_POWERVCR, "PowerVCR II Taurus", "Anything"},
        {WATCH_HOME_THEATER, "QxSomeClass", "Home Theater"},
        {WATCH_HONESTECH, "honestechTV 2.0", ""},
        {WATCH_TIVRA, "TIVRA_TVR", "Not FormMainWindow"},
    };
    qxt::MessageRecorder owner("QxWatchOwner2", "Watch Owner");
    for (const auto &a : apps) {
        SCOPED_TRACE(a.cls);
        clearAllWatches();
        configureWatchTimer(owner.hwnd());
        TvAppTarget *t = targetOf(a.app);
        {
            qxt::MessageRecorder app(a.cls, a.title);
            t->active = 1;
            setLaunchWatch(a.app);
            startWatchTimer();
            launchWatchTick();
            EXPECT_EQ(t->active, 1);
            EXPECT_TRUE(launchWatchSet(a.app));
            EXPECT_TRUE(watchTimer().running);
        }
        launchWatchTick();
        EXPECT_EQ(t->active, 0);
        EXPECT_FALSE(launchWatchSet(a.app));
        EXPECT_FALSE(watchTimer().running);
    }
}

TEST(LaunchWatch, OneTickLooksAtOneFlagOnly)
{
    qxt::MessageRecorder owner("QxWatchOwner3", "Watch Owner");
    clearAllWatches();
    configureWatchTimer(owner.hwnd());
    powerVcrTarget.active = 1;
    tivraTarget.active = 1;
    setLaunchWatch(WATCH_POWERVCR);
    setLaunchWatch(WATCH_TIVRA);
    startWatchTimer();
    launchWatchTick();
    EXPECT_EQ(powerVcrTarget.active, 0);
    EXPECT_FALSE(launchWatchSet(WATCH_POWERVCR));
    EXPECT_FALSE(watchTimer().running);
    EXPECT_EQ(tivraTarget.active, 1) << "waits for the next start";
    EXPECT_TRUE(launchWatchSet(WATCH_TIVRA));
    tivraTarget.active = 0;
    clearAllWatches();
}

TEST(LaunchWatch, WithNothingWatchedWaitsTwoSecondsAndStops)
{
    qxt::MessageRecorder owner("QxWatchOwner4", "Watch Owner");
    clearAllWatches();
    configureWatchTimer(owner.hwnd());
    startWatchTimer();
    DWORD start = GetTickCount();
    launchWatchTick();
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 1950u);
    EXPECT_LT(took, 3000u);
    EXPECT_FALSE(watchTimer().running);
}

TEST(LaunchWatch, RunsFromTheTimer)
{
    qxt::MessageRecorder owner("QxWatchOwner5", "Watch Owner");
    clearAllWatches();
    configureWatchTimer(owner.hwnd());
    honestechTarget.active = 1;
    setLaunchWatch(WATCH_HONESTECH);
    startWatchTimer();
    EXPECT_TRUE(qxt::waitUntil([] { return !watchTimer().running; }, 3000));
    EXPECT_EQ(honestechTarget.active, 0);
    EXPECT_FALSE(launchWatchSet(WATCH_HONESTECH));
}

// The probe's searches: whole title for Home Theater, class alone for the others.
TEST(FindRunningApp, WholeTitleForHomeTheaterClassForTheOthers)
{
    {
        qxt::MessageRecorder longer("QxHt1", "Home Theater Deluxe");
        qxt::MessageRecorder powerTitle("QxPv1", "PowerVCR II");
        EXPECT_EQ(findRunningApp(WATCH_HOME_THEATER), (HWND)NULL);
        EXPECT_EQ(findRunningApp(WATCH_POWERVCR), (HWND)NULL) << "a title is not a class";
    }
    qxt::MessageRecorder ht("QxHt2", "Home Theater");
    qxt::MessageRecorder pv("PowerVCR II Taurus", "");
    qxt::MessageRecorder hn("honestechTV 2.0", "x");
    qxt::MessageRecorder tv("TIVRA_TVR", "y");
    EXPECT_EQ(findRunningApp(WATCH_HOME_THEATER), ht.hwnd());
    EXPECT_EQ(findRunningApp(WATCH_POWERVCR), pv.hwnd());
    EXPECT_EQ(findRunningApp(WATCH_HONESTECH), hn.hwnd());
    EXPECT_EQ(findRunningApp(WATCH_TIVRA), tv.hwnd());
    EXPECT_EQ(findRunningApp((WatchedApp)7), (HWND)NULL);
}
