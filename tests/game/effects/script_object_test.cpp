#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "game/effects/script_object.h"

namespace {

// Controls from the file call EffectFadeIn (alpha of every part = progress)
// and EffectItemShow / EffectItemHide (visible byte 257).
const char* kEffects = R"(<?xml version="1.0" encoding="utf-8"?>
<effects>
  <effect name="fade">
    <timers>
      <timer name="t" type="usual" ftime="1.0" direction="forward">
        <control id="0" type="range" starttime="0" endtime="1.0" function="EffectFadeIn" active="true"/>
        <control id="1" type="point" starttime="0" endtime="0" function="EffectItemShow" active="true"/>
      </timer>
      <timer name="other" type="cycle" ftime="2.0" direction="backward"/>
    </timers>
    <messages>
      <message name="onshow" timer_id="t" command="start"/>
      <message name="pause" timer_id="t" command="pause"/>
      <message name="resume" timer_id="t" command="resume"/>
      <message name="stop" timer_id="t" command="stop"/>
      <message name="go" timer_id="t" command="pause"/>
      <message name="go" timer_id="t" command="resume"/>
      <message name="halt" timer_id="t" command="resume"/>
      <message name="halt" timer_id="t" command="pause"/>
      <message name="odd" timer_id="t" command="Start"/>
      <message name="lost" timer_id="nosuchtimer" command="start"/>
      <message name="call_ok" timer_id="EffectItemShow" command="call"/>
      <message name="call_missing" timer_id="NoSuchFunction" command="call"/>
    </messages>
  </effect>
  <effect name="unknowns">
    <timers>
      <timer name="a" type="bouncy" ftime="1.0" direction="forward">
        <control id="0" type="point" starttime="0" function="EffectItemShow" active="true"/>
      </timer>
      <timer name="b" type="usual" ftime="1.0" direction="sideways"/>
      <timer name="c" type="usual" ftime="1.0" direction="forward">
        <control id="0" type="point" starttime="0" function="NoSuchFunction" active="true"/>
        <control id="1" type="blob" starttime="0" function="EffectItemShow" active="true"/>
        <control id="2" type="point" starttime="0" function="EffectItemShow"/>
      </timer>
    </timers>
  </effect>
  <effect name="dup">
    <timers>
      <timer name="x" type="usual" ftime="1.0" direction="forward"/>
      <timer name="x" type="cycle" ftime="1.0" direction="forward"/>
    </timers>
    <messages>
      <message name="go" timer_id="x" command="start"/>
    </messages>
  </effect>
  <effect name='say "hi"'>
    <timers><timer name="q" type="cycle" ftime="1.0" direction="forward"/></timers>
  </effect>
  <effect name="it's">
    <timers><timer name="q" type="usual" ftime="3.0" direction="forward"/></timers>
  </effect>
  <effect name="plain">
    <timers><timer name="q" type="ping_pong" ftime="5.0" direction="forward"/></timers>
  </effect>
</effects>)";

class ScriptObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc_.load_string(kEffects));
        root_ = doc_.child("effects");
        ASSERT_TRUE(root_);
    }
    // A part list of one part and the visible byte wired in, as an office object does.
    void Wire(ScriptObject& so) {
        part_.alpha = &alpha_;
        list_.Add(part_);
        so.SetParamPtr(kObjParamParts, &list_);
        so.SetParamPtr(kObjParamVisible, &visible_);
    }
    XmlDocument doc_;
    XmlNode root_;
    float alpha_ = -1.0f;
    uint8_t visible_ = 0;
    EffectPart part_;
    EffectPartList list_;
};

TEST_F(ScriptObjectTest, LoadsTimersUnderOrdinalKeys) {
    auto so = CreateScriptObject(root_, "fade");
    ASSERT_EQ(so->GetTimerCount(), 2u);
    EffectTimer* t = so->GetTimer(0);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->GetType(), kTimerUsual);
    EXPECT_EQ(t->GetDirection(), kTimerForward);
    EXPECT_FLOAT_EQ(t->GetFtime(), 1.0f);
    EXPECT_FALSE(t->IsRunning());
    EXPECT_EQ(t->GetControlCount(), 2u);
    EXPECT_EQ(t->FindControl(0)->target, so.get());
    EXPECT_EQ(t->FindControl(0)->type, kControlRange);
    EffectTimer* other = so->GetTimer(1);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->GetType(), kTimerCycle);
    EXPECT_DOUBLE_EQ(other->GetTime(), 2.0); // backward starts at ftime
    EXPECT_FALSE(so->AddTimer(1));
    EXPECT_TRUE(so->AddTimer(7));
    EXPECT_NE(so->GetTimer(7), nullptr);
    EXPECT_EQ(so->GetTimer(8), nullptr);
}

TEST_F(ScriptObjectTest, StartPauseResumeStop) {
    auto so = CreateScriptObject(root_, "fade");
    Wire(*so);
    EffectTimer* t = so->GetTimer(0);

    // start: reset, run, and the update with dt 0 applies the first state at once.
    EXPECT_TRUE(so->FireMessage("onshow"));
    EXPECT_TRUE(t->IsRunning());
    EXPECT_EQ(visible_, 1);
    EXPECT_FLOAT_EQ(alpha_, 0.0f);
    so->Update(0.5f);
    EXPECT_NEAR(alpha_, 0.5f, 1e-6);

    EXPECT_TRUE(so->FireMessage("pause"));
    so->Update(0.2f);
    EXPECT_NEAR(alpha_, 0.5f, 1e-6);
    EXPECT_NEAR(t->GetTime(), 0.5, 1e-6);

    EXPECT_TRUE(so->FireMessage("resume"));
    so->Update(0.2f);
    EXPECT_NEAR(alpha_, 0.7f, 1e-6);

    EXPECT_TRUE(so->FireMessage("stop"));
    EXPECT_FALSE(t->IsRunning());
    EXPECT_DOUBLE_EQ(t->GetTime(), 0.0);
    so->Update(0.2f);
    EXPECT_NEAR(alpha_, 0.7f, 1e-6);

    // Run to the end: finished timers are skipped until started again.
    so->FireMessage("onshow");
    so->Update(1.5f);
    EXPECT_TRUE(t->IsFinished());
    EXPECT_FLOAT_EQ(alpha_, 1.0f);
    alpha_ = -1.0f;
    so->Update(0.1f);
    EXPECT_FLOAT_EQ(alpha_, -1.0f);
    so->FireMessage("onshow");
    EXPECT_FALSE(t->IsFinished());
    EXPECT_FLOAT_EQ(alpha_, 0.0f);
}

TEST_F(ScriptObjectTest, MessagesOfOneNameRunInDocumentOrder) {
    auto so = CreateScriptObject(root_, "fade");
    EffectTimer* t = so->GetTimer(0);
    so->FireMessage("go"); // pause, then resume
    EXPECT_TRUE(t->IsRunning());
    so->FireMessage("halt"); // resume, then pause
    EXPECT_FALSE(t->IsRunning());
}

TEST_F(ScriptObjectTest, FiringAndEnabling) {
    auto so = CreateScriptObject(root_, "fade");
    Wire(*so);
    so->FireMessage("onshow");
    visible_ = 0;

    // No messages of that name: false, and no update runs.
    EXPECT_FALSE(so->FireMessage("nothing"));
    EXPECT_EQ(visible_, 0);
    EXPECT_FALSE(so->HasMessage("nothing"));
    EXPECT_FALSE(so->IsMessageEnabled("nothing"));
    EXPECT_FALSE(so->HasMessage("ONSHOW")); // case-sensitive

    // All disabled: true, and the update with dt 0 still runs.
    EXPECT_TRUE(so->IsMessageEnabled("go"));
    so->SetMessageEnabled("go", false);
    EXPECT_FALSE(so->IsMessageEnabled("go"));
    so->FireMessage("pause");
    EXPECT_TRUE(so->FireMessage("go"));
    EXPECT_FALSE(so->GetTimer(0)->IsRunning()); // neither message ran
    so->FireMessage("resume");
    visible_ = 0;
    EXPECT_TRUE(so->FireMessage("go"));
    EXPECT_EQ(visible_, 1); // the point at 0 is swept again by the update
    so->SetMessageEnabled("go", true);
    EXPECT_TRUE(so->IsMessageEnabled("go"));
}

TEST_F(ScriptObjectTest, UnknownWordsAndNames) {
    auto so = CreateScriptObject(root_, "fade");
    Wire(*so);
    EffectTimer* t = so->GetTimer(0);
    const auto& messages = so->GetMessages();

    // An unknown command word (keywords are case-sensitive) does nothing.
    auto odd = messages.find("odd");
    ASSERT_NE(odd, messages.end());
    EXPECT_EQ(odd->second.command, kCommandNone);
    EXPECT_TRUE(so->FireMessage("odd"));
    EXPECT_FALSE(t->IsRunning());

    // A message naming no timer of its effect does nothing.
    EXPECT_EQ(messages.find("lost")->second.timer, nullptr);
    EXPECT_TRUE(so->FireMessage("lost"));

    // "call" resolves only message-form exports: a control callback or an
    // unknown name keeps no function, and firing it does nothing.
    EXPECT_EQ(messages.find("call_ok")->second.command, kCommandCall);
    EXPECT_EQ(messages.find("call_ok")->second.function, nullptr);
    EXPECT_EQ(messages.find("call_missing")->second.function, nullptr);
    EXPECT_TRUE(so->FireMessage("call_ok"));
    EXPECT_TRUE(so->FireMessage("call_missing"));
    EXPECT_EQ(visible_, 0);

    auto u = CreateScriptObject(root_, "unknowns");
    Wire(*u);
    ASSERT_EQ(u->GetTimerCount(), 3u);
    EffectTimer* a = u->GetTimer(0);
    EXPECT_EQ(a->GetType(), 0);
    a->Reset();
    a->SetRunning(true);
    u->Update(0.5f);
    EXPECT_DOUBLE_EQ(a->GetTime(), 0.0); // unknown type: does not advance
    EXPECT_EQ(visible_, 0);
    EffectTimer* b = u->GetTimer(1);
    EXPECT_EQ(b->GetDirection(), 0);
    b->SetRunning(true);
    u->Update(0.5f);
    EXPECT_DOUBLE_EQ(b->GetTime(), 0.0);

    // Missing function, unknown control type, inactive control: time runs, nothing is called.
    EffectTimer* c = u->GetTimer(2);
    EXPECT_EQ(c->FindControl(0)->function, nullptr);
    EXPECT_EQ(c->FindControl(1)->type, 0);
    EXPECT_EQ(c->FindControl(2)->active, 0);
    c->SetRunning(true);
    u->Update(0.5f);
    EXPECT_DOUBLE_EQ(c->GetTime(), 0.5);
    EXPECT_EQ(visible_, 0);
}

TEST_F(ScriptObjectTest, LaterTimerOfTheSameNameTakesTheName) {
    auto so = CreateScriptObject(root_, "dup");
    ASSERT_EQ(so->GetTimerCount(), 2u);
    so->FireMessage("go");
    EXPECT_FALSE(so->GetTimer(0)->IsRunning());
    EXPECT_TRUE(so->GetTimer(1)->IsRunning());
}

TEST_F(ScriptObjectTest, EffectNamesWithQuotesAreFoundExactly) {
    auto dq = CreateScriptObject(root_, "say \"hi\"");
    ASSERT_EQ(dq->GetTimerCount(), 1u);
    EXPECT_EQ(dq->GetTimer(0)->GetType(), kTimerCycle);
    auto sq = CreateScriptObject(root_, "it's");
    ASSERT_EQ(sq->GetTimerCount(), 1u);
    EXPECT_FLOAT_EQ(sq->GetTimer(0)->GetFtime(), 3.0f);

    // Text that would rewrite a formatted query selects nothing.
    for (const char* hostile : {"x\" or \"1\"=\"1", "x' or '1'='1", "\"]|//effect[@name=\"plain", "plain\""}) {
        auto so = CreateScriptObject(root_, hostile);
        ASSERT_NE(so, nullptr);
        EXPECT_EQ(so->GetTimerCount(), 0u) << hostile;
        EXPECT_FALSE(so->FireMessage("onshow"));
    }
    // An unknown effect is an empty, usable object.
    auto none = CreateScriptObject(root_, "no such effect");
    EXPECT_EQ(none->GetTimerCount(), 0u);
    EXPECT_TRUE(none->GetMessages().empty());
    auto noRoot = CreateScriptObject(XmlNode(), "plain");
    EXPECT_EQ(noRoot->GetTimerCount(), 0u);
}

TEST_F(ScriptObjectTest, ParametersArePointerSized) {
    ScriptObject so;
    EXPECT_EQ(so.GetParam(42), 0);
    EXPECT_FALSE(so.HasParam(42));
    EXPECT_EQ(so.GetParamPtr<float>(kUiParamAlpha), nullptr);
    EXPECT_EQ(so.GetPartList(), nullptr);

    void* high = reinterpret_cast<void*>(static_cast<uintptr_t>(0x123456789ABCULL));
    EXPECT_TRUE(so.SetParamPtr(kObjParamParticles0, high));
    EXPECT_EQ(so.GetParamPtr<void>(kObjParamParticles0), high);
    EXPECT_EQ(static_cast<uint64_t>(so.GetParam(kObjParamParticles0)), 0x123456789ABCULL);

    so.SetParam(kObjParamX, -5);
    so.SetParam(kObjParamX, 17); // the second value stays
    EXPECT_EQ(so.GetParamInt(kObjParamX), 17);
    so.RemoveParam(kObjParamX);
    EXPECT_EQ(so.GetParam(kObjParamX), 0);
    so.RemoveParam(kObjParamX);
}

TEST(EffectPartListTest, HoldsAtMostFifteenParts) {
    EffectPartList list;
    EffectPart part;
    for (int i = 0; i < EffectPartList::kMaxParts; ++i) EXPECT_TRUE(list.Add(part));
    EXPECT_FALSE(list.Add(part));
    EXPECT_EQ(list.Count(), 15);
    EXPECT_NE(list.Part(14), nullptr);
    EXPECT_EQ(list.Part(15), nullptr);
    EXPECT_EQ(list.Part(-1), nullptr);
    list.count = 1000; // a corrupt count never reaches past the array
    EXPECT_EQ(list.Count(), 15);
    EXPECT_EQ(list.Part(20), nullptr);
    EffectPartList empty;
    EXPECT_EQ(empty.Part(0), nullptr);
}

// --- re-entrant firing from inside a callback ---

struct Seen {
    int id;
    float progress;
};
std::vector<Seen> gSeen;
int gFireDepth = 0;

int Note(void* arg) {
    auto* c = static_cast<EffectCallContext*>(arg);
    gSeen.push_back({c->controlId, c->progress});
    return 1;
}

// Fires "restart" (start on its own timer) from inside the timer's dispatch, once.
int FireRestart(void* arg) {
    auto* c = static_cast<EffectCallContext*>(arg);
    Note(arg);
    if (gFireDepth++ == 0) c->target->FireMessage("restart");
    return 1;
}

TEST(ScriptObjectReentryTest, CallbackFiringMessagesKeepsTheOuterQueue) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load_string(R"(<effects><effect name="r">
        <timers><timer name="t" type="usual" ftime="1.0" direction="forward"/></timers>
        <messages><message name="restart" timer_id="t" command="start"/></messages>
      </effect></effects>)"));
    auto so = CreateScriptObject(doc.child("effects"), "r");
    EffectTimer* t = so->GetTimer(0);
    ASSERT_NE(t, nullptr);
    auto add = [&](int id, float at, EffectCallback fn) {
        EffectControl c;
        c.type = kControlPoint | kControlFunctionFound;
        c.id = id;
        c.starttime = c.endtime = at;
        c.function = fn;
        c.target = so.get();
        c.active = 1;
        t->AddControl(c);
    };
    add(0, 0.0f, &Note);
    add(1, 0.5f, &FireRestart);
    add(2, 0.5f, &Note);
    add(3, 0.5f, &Note);
    so->FireMessage("restart");
    so->Update(0.4f);
    gSeen.clear();
    gFireDepth = 0;
    so->Update(0.2f); // sweeps 0.5: 1 fires "restart", which sweeps 0 again

    ASSERT_EQ(gSeen.size(), 4u);
    EXPECT_EQ(gSeen[0].id, 1);
    EXPECT_EQ(gSeen[1].id, 0); // the nested dispatch
    EXPECT_FLOAT_EQ(gSeen[1].progress, 0.0f);
    EXPECT_EQ(gSeen[2].id, 2); // the outer queue goes on where it was
    EXPECT_EQ(gSeen[3].id, 3);
    EXPECT_NEAR(gSeen[3].progress, 0.6f, 1e-6);
    // The restart wins: the outer step does not move the clock afterwards.
    EXPECT_DOUBLE_EQ(t->GetTime(), 0.0);
    EXPECT_TRUE(t->IsRunning());
    EXPECT_FALSE(t->IsFinished());
}

} // namespace
