#include <gtest/gtest.h>
#include <vector>
#include "game/effects/effect_timer.h"
#include "game/effects/script_object.h"

namespace {

struct Call {
    int type;
    int id;
    float progress;
};
std::vector<Call> gCalls;

int Record(void* arg) {
    auto* c = static_cast<EffectCallContext*>(arg);
    gCalls.push_back({c->controlType, c->controlId, c->progress});
    return 1;
}

EffectControl Control(int type, int id, float s, float e) {
    EffectControl c;
    c.type = type | kControlFunctionFound;
    c.id = id;
    c.starttime = s;
    c.endtime = e;
    c.function = &Record;
    c.active = 1;
    return c;
}
EffectControl Point(int id, float s) { return Control(kControlPoint, id, s, s); }
EffectControl Range(int id, float s, float e) { return Control(kControlRange, id, s, e); }

void Shape(EffectTimer& t, int type, int direction, float ftime, bool running = true, int extra = 0) {
    EffectTimerSettings s;
    s.flags = kSettingsFtime | kSettingsDirection | kSettingsType | extra;
    s.ftime = ftime;
    s.direction = direction;
    s.type = type;
    s.running = running ? 1 : 0;
    t.SetSettings(s);
}

// Progress values recorded for one control id.
std::vector<float> Of(int id) {
    std::vector<float> out;
    for (const Call& c : gCalls)
        if (c.id == id) out.push_back(c.progress);
    return out;
}

void ExpectValues(const std::vector<float>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << "call " << i;
}

class EffectTimerTest : public ::testing::Test {
protected:
    void SetUp() override { gCalls.clear(); }
};

// A point control reports the sweep's end time, so it shows where each sweep ended.
TEST_F(EffectTimerTest, UsualForwardStepsToTheEndAndFinishes) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Point(1, 0.4f));
    t.AddControl(Point(2, 1.0f));
    t.Step(0.4);
    t.Step(0.4);
    EXPECT_FALSE(t.IsFinished());
    t.Step(0.4);
    EXPECT_TRUE(t.IsFinished());
    EXPECT_FALSE(t.IsSelfDestructed());
    EXPECT_NEAR(t.GetTime(), 1.2, 1e-9);
    ExpectValues(Of(1), {0.4f, 0.8f});
    ExpectValues(Of(2), {1.0f});
}

TEST_F(EffectTimerTest, BackwardTimersRunFromFtimeToZero) {
    EffectTimer t(nullptr);
    Shape(t, kTimerSelfDestructive, kTimerBackward, 1.0f);
    EXPECT_DOUBLE_EQ(t.GetTime(), 1.0);
    t.AddControl(Point(1, 0.0f));
    t.AddControl(Point(2, 0.5f));
    t.Step(0.4);
    t.Step(0.4);
    t.Step(0.4);
    EXPECT_TRUE(t.IsFinished());
    EXPECT_TRUE(t.IsSelfDestructed());
    EXPECT_NEAR(t.GetTime(), -0.2, 1e-9);
    ExpectValues(Of(1), {0.0f});
    ExpectValues(Of(2), {0.2f});
    t.Reset();
    EXPECT_DOUBLE_EQ(t.GetTime(), 1.0);
    EXPECT_FALSE(t.IsFinished());
    EXPECT_TRUE(t.IsSelfDestructed());
}

// New settings hold back the wrap until the next Update clears them, so these
// go through Update (one step each, as dt is below ftime).
TEST_F(EffectTimerTest, CycleWrapsInBothDirections) {
    EffectTimer f(nullptr);
    Shape(f, kTimerCycle, kTimerForward, 1.0f);
    f.AddControl(Point(1, 0.9f));
    f.AddControl(Point(2, 0.1f));
    f.SetTime(0.8);
    f.Update(0.4);
    EXPECT_NEAR(f.GetTime(), 0.2, 1e-9);
    EXPECT_FALSE(f.IsFinished());
    ExpectValues(Of(1), {1.0f});
    ExpectValues(Of(2), {0.2f});

    gCalls.clear();
    EffectTimer b(nullptr);
    Shape(b, kTimerCycle, kTimerBackward, 1.0f);
    b.AddControl(Point(1, 0.9f));
    b.AddControl(Point(2, 0.1f));
    b.SetTime(0.2);
    b.Update(0.4);
    EXPECT_NEAR(b.GetTime(), 0.8, 1e-9);
    ExpectValues(Of(2), {0.0f});
    ExpectValues(Of(1), {0.8f});
}

TEST_F(EffectTimerTest, PingPongReflectsAtBothEnds) {
    EffectTimer t(nullptr);
    Shape(t, kTimerPingPong, kTimerForward, 1.0f);
    EXPECT_TRUE(t.IsForwardLeg());
    t.AddControl(Point(1, 0.9f));
    t.AddControl(Point(2, 0.1f));
    t.SetTime(0.8);
    t.Update(0.4);
    EXPECT_NEAR(t.GetTime(), 0.8, 1e-9);
    EXPECT_FALSE(t.IsForwardLeg());
    ExpectValues(Of(1), {1.0f, 0.8f});

    gCalls.clear();
    t.SetTime(0.2);
    t.Update(0.4);
    EXPECT_NEAR(t.GetTime(), 0.2, 1e-9);
    EXPECT_TRUE(t.IsForwardLeg());
    EXPECT_FALSE(t.IsFinished());
    ExpectValues(Of(2), {0.0f, 0.2f});
}

TEST_F(EffectTimerTest, TypeOrDirectionZeroDoesNotAdvance) {
    EffectTimer noType(nullptr);
    EffectTimerSettings s;
    s.flags = kSettingsFtime | kSettingsDirection;
    s.ftime = 1.0f;
    s.direction = kTimerForward;
    s.running = 1;
    noType.SetSettings(s);
    noType.AddControl(Point(1, 0.0f));
    noType.Step(0.5);
    noType.Update(0.5);
    EXPECT_DOUBLE_EQ(noType.GetTime(), 0.0);

    EffectTimer noDirection(nullptr);
    Shape(noDirection, kTimerCycle, 0, 1.0f);
    noDirection.Step(0.5);
    EXPECT_DOUBLE_EQ(noDirection.GetTime(), 0.0);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(EffectTimerTest, SettingsNeverLeaveARunningTimerWithoutDuration) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 0.0f, true);
    EXPECT_FALSE(t.IsRunning());
    Shape(t, kTimerUsual, kTimerForward, 2.0f, true);
    EXPECT_TRUE(t.IsRunning());
    EffectTimerSettings got;
    got.flags = kSettingsFtime | kSettingsType;
    t.GetSettings(got);
    EXPECT_FLOAT_EQ(got.ftime, 2.0f);
    EXPECT_EQ(got.type, kTimerUsual);
    EXPECT_EQ(got.direction, 0); // not asked for
    EXPECT_EQ(got.running, 1);
}

// dt 2.5 on ftime 1 steps 1, 1, 0.5; with no catch-up only 0.5. A point at 0
// shows each sweep that reached it.
TEST_F(EffectTimerTest, UpdateCatchesUpInWholeIntervals) {
    struct Case {
        int type, direction;
        bool noCatchUp;
        double time;
        std::vector<float> calls;
    };
    const Case cases[] = {
        {kTimerCycle, kTimerForward, false, 0.5, {1.0f, 1.0f, 0.5f}},
        {kTimerCycle, kTimerForward, true, 0.5, {0.5f}},
        {kTimerCycle, kTimerBackward, false, 0.5, {0.0f, 0.0f}},
        {kTimerCycle, kTimerBackward, true, 0.5, {}},
        {kTimerPingPong, kTimerForward, false, 0.5, {1.0f, 0.0f, 0.5f}},
        {kTimerPingPong, kTimerForward, true, 0.5, {0.5f}},
        {kTimerUsual, kTimerForward, false, 1.0, {1.0f}},
        {kTimerUsual, kTimerForward, true, 0.5, {0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.type << "/" << c.direction << "/" << c.noCatchUp);
        gCalls.clear();
        EffectTimer t(nullptr);
        Shape(t, c.type, c.direction, 1.0f, true, c.noCatchUp ? kSettingsNoCatchUp : 0);
        t.AddControl(Point(1, 0.0f));
        t.Update(2.5);
        EXPECT_NEAR(t.GetTime(), c.time, 1e-9);
        ExpectValues(Of(1), c.calls);
    }
}

// A one-shot timer that ends inside a long frame is not stepped past its end
// again: the end points fire once.
TEST_F(EffectTimerTest, LongFrameOnOneShotFiresTheEndOnce) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Point(1, 1.0f));
    t.AddControl(Range(2, 0.5f, 1.0f));
    t.Update(3.5);
    EXPECT_TRUE(t.IsFinished());
    ExpectValues(Of(1), {1.0f});
    ExpectValues(Of(2), {0.0f, 1.0f});
}

TEST_F(EffectTimerTest, TinyOrZeroDurationsEndTheUpdate) {
    EffectTimer tiny(nullptr);
    Shape(tiny, kTimerCycle, kTimerForward, 1e-7f);
    tiny.AddControl(Point(1, 0.0f));
    tiny.Update(1e6);
    EXPECT_LE(gCalls.size(), static_cast<size_t>(2 * EffectTimer::kMaxCatchUpSteps + 2));
    EXPECT_GE(tiny.GetTime(), 0.0);
    EXPECT_LE(tiny.GetTime(), 1e-7 * 1.001);

    EffectTimer tinyNoCatchUp(nullptr);
    Shape(tinyNoCatchUp, kTimerPingPong, kTimerForward, 1e-9f, true, kSettingsNoCatchUp);
    tinyNoCatchUp.Update(1e12);
    EXPECT_LE(tinyNoCatchUp.GetTime(), 1e-9 * 1.001);

    EffectTimer huge(nullptr);
    Shape(huge, kTimerCycle, kTimerForward, 1.0f, true, kSettingsNoCatchUp);
    huge.Update(1e300);
    EXPECT_GE(huge.GetTime(), 0.0);
    EXPECT_LE(huge.GetTime(), 1.0);

    EffectTimer zero(nullptr);
    Shape(zero, kTimerCycle, kTimerForward, 1.0f);
    EffectTimerSettings s;
    s.flags = kSettingsFtime;
    s.ftime = 0.0f;
    zero.SetSettings(s);
    zero.SetRunning(true); // "start" does not check the duration either
    zero.Update(5.0);
    SUCCEED();
}

TEST_F(EffectTimerTest, EndlessTimerStepsOnceAndNeverEnds) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, -1.0f);
    t.SetRunning(true);
    t.AddControl(Point(1, 0.25f));
    t.Update(0.5);
    t.Update(100.0);
    EXPECT_NEAR(t.GetTime(), 100.5, 1e-9);
    EXPECT_FALSE(t.IsFinished());
    ExpectValues(Of(1), {0.5f});
}

TEST_F(EffectTimerTest, PointOnABoundaryFiresInBothSweeps) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Point(1, 0.5f));
    t.DispatchControls(0.4, 0.5);
    t.DispatchControls(0.5, 0.6);
    t.DispatchControls(0.6, 0.7);
    t.DispatchControls(0.6, 0.4); // backward sweeps too
    ExpectValues(Of(1), {0.5f, 0.6f, 0.4f});
}

TEST_F(EffectTimerTest, RangeEnteredAdvancedAndLeftForward) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Range(1, 0.2f, 0.6f));
    t.Step(0.3);
    ExpectValues(Of(1), {0.0f, 0.25f});
    gCalls.clear();
    t.Step(0.2);
    ExpectValues(Of(1), {0.75f});
    gCalls.clear();
    t.Step(0.2);
    ExpectValues(Of(1), {1.0f});
    gCalls.clear();
    t.Step(0.2);
    EXPECT_TRUE(gCalls.empty());
}

TEST_F(EffectTimerTest, RangeEnteredAdvancedAndLeftBackward) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerBackward, 1.0f);
    t.AddControl(Range(1, 0.2f, 0.6f));
    t.Step(0.3);
    EXPECT_TRUE(gCalls.empty());
    t.Step(0.2);
    ExpectValues(Of(1), {1.0f, 0.75f});
    gCalls.clear();
    t.Step(0.2);
    ExpectValues(Of(1), {0.25f});
    gCalls.clear();
    t.Step(0.2);
    ExpectValues(Of(1), {0.0f});
}

TEST_F(EffectTimerTest, RangeInsideOneSweepGetsFirstAndLastOnly) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Range(1, 0.2f, 0.3f));
    t.AddControl(Range(2, 0.4f, 0.4f)); // no width
    t.Step(0.5);
    ExpectValues(Of(1), {0.0f, 1.0f});
    ExpectValues(Of(2), {0.0f, 1.0f});
    gCalls.clear();
    t.DispatchControls(0.5, 0.1);
    ExpectValues(Of(1), {1.0f, 0.0f});
    ExpectValues(Of(2), {1.0f, 0.0f});
}

TEST_F(EffectTimerTest, ZeroWidthSweepAtRangeStartEntersWithProgressZero) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Range(1, 0.0f, 0.5f));
    t.Step(0.0);
    ExpectValues(Of(1), {0.0f, 0.0f});
    gCalls.clear();
    t.Step(0.0); // already inside: progress only
    ExpectValues(Of(1), {0.0f});
    gCalls.clear();
    t.SetTime(0.5);
    t.DispatchControls(0.5, 0.5); // zero-width sweep at the end: progress and last
    ExpectValues(Of(1), {1.0f, 1.0f});
}

TEST_F(EffectTimerTest, CallsRunInControlOrderFirstProgressLast) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    t.AddControl(Range(7, 0.1f, 0.2f));
    t.AddControl(Point(3, 0.15f));
    t.AddControl(Range(5, 0.0f, 0.9f));
    t.Step(0.3);
    ASSERT_EQ(gCalls.size(), 5u);
    EXPECT_EQ(gCalls[0].id, 7);
    EXPECT_EQ(gCalls[1].id, 7);
    EXPECT_EQ(gCalls[2].id, 3);
    EXPECT_EQ(gCalls[2].type, kControlPoint);
    EXPECT_EQ(gCalls[3].id, 5);
    EXPECT_FLOAT_EQ(gCalls[3].progress, 0.0f);
    EXPECT_EQ(gCalls[4].id, 5);
    EXPECT_EQ(gCalls[4].type, kControlRange);
    EXPECT_NEAR(gCalls[4].progress, 0.3f / 0.9f, 1e-5);
}

TEST_F(EffectTimerTest, ControlListOperations) {
    EffectTimer t(nullptr);
    Shape(t, kTimerUsual, kTimerForward, 1.0f);
    EffectControl unfound = Point(1, 0.1f);
    unfound.type = kControlPoint; // function given but not marked found: dropped
    EXPECT_TRUE(t.AddControl(unfound));
    t.AddControl(Point(2, 0.1f));
    t.AddControl(Point(2, 0.2f));
    ASSERT_NE(t.FindControl(1), nullptr);
    EXPECT_EQ(t.FindControl(1)->function, nullptr);
    EXPECT_EQ(t.FindControl(1)->type, kControlPoint);

    EXPECT_TRUE(t.SetControlActive(2, false)); // the first of id 2 only
    EXPECT_FALSE(t.SetControlActive(9, true));
    t.Step(0.3);
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].id, 2);

    EffectControl replacement = Point(1, 0.5f);
    replacement.type = kControlPoint; // a replacement keeps its function anyway
    EXPECT_TRUE(t.ReplaceControl(replacement));
    EXPECT_EQ(t.FindControl(1)->function, &Record);
    EXPECT_FALSE(t.ReplaceControl(Point(9, 0.5f)));

    EXPECT_TRUE(t.RemoveControl(2));
    EXPECT_EQ(t.GetControlCount(), 2u);
    EXPECT_FALSE(t.RemoveControl(9));
    t.ClearControls();
    EXPECT_EQ(t.GetControlCount(), 0u);
}

int AnimFrame(void* arg) { return Record(arg); }

TEST_F(EffectTimerTest, CompiledInTableInstallsTimersAndControls) {
    ScriptObject so;
    EffectTimerRecord timers[2];
    timers[0].key = 1;
    timers[0].settings = {kSettingsFtime | kSettingsDirection | kSettingsType, 0.0f, kTimerForward, kTimerUsual, 0};
    timers[1].key = 4;
    timers[1].settings = {kSettingsFtime | kSettingsDirection | kSettingsType, 2.0f, kTimerBackward, kTimerCycle, 1};
    EffectControl controls[3] = {Range(0, 0.0f, 1.0f), Point(1, 0.0f), Point(2, 0.0f)};
    controls[0].function = &AnimFrame;
    controls[0].target = &so;
    controls[2].type = kControlPoint; // no function
    const int counts[2] = {3, 1};
    AddTimersFromTable(&so, 2, timers, counts, controls);

    ASSERT_EQ(so.GetTimerCount(), 2u);
    EffectTimer* first = so.GetTimer(1);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(first->IsRunning());
    EXPECT_EQ(first->GetControlCount(), 3u);
    EXPECT_EQ(first->FindControl(0)->function, &AnimFrame);
    EXPECT_EQ(first->FindControl(0)->target, &so);
    EXPECT_EQ(first->FindControl(2)->function, nullptr);
    EffectTimer* second = so.GetTimer(4);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->IsRunning());
    EXPECT_DOUBLE_EQ(second->GetTime(), 2.0);
    EXPECT_EQ(second->GetControlCount(), 1u);
    EXPECT_EQ(second->FindControl(0)->id, 0); // counted from the start of the array
    EXPECT_FALSE(so.AddTimer(4));
}

} // namespace
