#include <gtest/gtest.h>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/game_util.h"
#include "game/app/pak_file.h"
#include "game/effects/effect_functions.h"
#include "game/effects/effect_target.h"
#include "game/effects/particles.h"
#include "game/effects/script_object.h"
#include "platform/random.h"
#include "tests/support/temp_dirs.h"

namespace {

// One visual part's fields, pointed at by an EffectPart.
struct PartData {
    EffectPoint offset{7, 7};
    float scale = 9.0f;
    EffectPoint scalePoint{7, 7};
    float alpha = 9.0f;
    uint8_t visible = 7;
    uint8_t flag = 0;
    uint32_t color = 7;
    uint32_t color2 = 7;
    uint32_t tint = 7;

    EffectPart Bind(Skin* skin = nullptr) {
        return EffectPart{&offset, &scale, &scalePoint, &alpha, &visible, &flag, &color, &color2, &tint, skin};
    }
    bool Untouched() const {
        return offset.x == 7 && offset.y == 7 && scale == 9.0f && scalePoint.x == 7 && scalePoint.y == 7 &&
               alpha == 9.0f && visible == 7 && color == 7 && color2 == 7 && tint == 7;
    }
};

// An office object with three parts.
class ObjectEffect : public ::testing::Test {
protected:
    void SetUp() override {
        for (PartData& d : data) list.Add(d.Bind(reinterpret_cast<Skin*>(&skinToken)));
        list.done = &done;
        script.SetParamPtr(kObjParamParts, &list);
        script.SetParamPtr(kObjParamVisible, &visible);
    }
    int Call(EffectCallback fn, float p) {
        EffectCallContext context{kControlRange, 0, &script, 0, p};
        return fn(&context);
    }

    int skinToken = 0;
    PartData data[3];
    EffectPartList list;
    uint8_t done = 0;
    uint8_t visible = 7;
    ScriptObject script;
};

TEST(EffectMath, PowFIntAndParabolas) {
    EXPECT_FLOAT_EQ(PowFInt(2.0f, 10), 1024.0f);
    EXPECT_FLOAT_EQ(PowFInt(2.0f, -2), 0.25f);
    EXPECT_FLOAT_EQ(PowFInt(-3.0f, 3), -27.0f);
    EXPECT_FLOAT_EQ(PowFInt(5.0f, 0), 1.0f);
    EXPECT_FLOAT_EQ(DegToRad(180.0f), 3.1415926f);

    const EffectParabola object = ParabolaFromZero(0.0f, 0.9f, 1.1f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(object.b, 3.2222219f);
    EXPECT_FLOAT_EQ(object.a, -2.2222219f);
    const EffectParabola dialog = ParabolaFromZero(0.0f, 0.85f, 1.05f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(dialog.b, 2.5686269f);
    EXPECT_FLOAT_EQ(dialog.a, -1.5686269f);
    const EffectParabola ease = ParabolaFromZero(1.0f, 0.5f, 1.8f, 1.0f, 2.0f);
    EXPECT_NEAR(ease(0.0f), 1.0f, 1e-6);
    EXPECT_NEAR(ease(0.5f), 1.8f, 1e-6);
    EXPECT_NEAR(ease(1.0f), 2.0f, 1e-6);
}

TEST_F(ObjectEffect, ScalesAndFadesAtTheirSamplePoints) {
    struct Case {
        EffectCallback fn;
        bool scale;
        float p0, p5, p1; // values at p = 0, 0.5, 1
    };
    const Case cases[] = {
        {EffectScaleZero, true, 0.0f, 0.0f, 0.0f},
        {EffectScalePulse, true, 1.0f, 1.2f, 1.0f},
        {EffectScaleDownToOne, true, 2.5f, 1.75f, 1.0f},
        {EffectScaleDown, true, 1.0f, 0.5f, 0.0f},
        {EffectFadeIn, false, 0.0f, 0.5f, 1.0f},
        {EffectFadeOut, false, 1.0f, 0.5f, 0.0f},
        {EffectFadeOne, false, 1.0f, 1.0f, 1.0f},
        {EffectFadeZero, false, 0.0f, 0.0f, 0.0f},
        {EffectBlinkHPOff, false, 1.0f, 1.0f, 1.0f},
    };
    for (const Case& c : cases) {
        const float expected[3] = {c.p0, c.p5, c.p1};
        const float ps[3] = {0.0f, 0.5f, 1.0f};
        for (int k = 0; k < 3; ++k) {
            Call(c.fn, ps[k]);
            for (PartData& d : data) EXPECT_NEAR(c.scale ? d.scale : d.alpha, expected[k], 1e-6) << "p " << ps[k];
        }
    }
    Call(EffectScaleUpRecoil, 0.9f);
    EXPECT_NEAR(data[2].scale, 1.1f, 1e-5);
    Call(EffectScaleUpRecoil, 1.0f);
    EXPECT_NEAR(data[0].scale, 1.0f, 1e-6);
}

TEST_F(ObjectEffect, BlinkHPTouchesOnlyTheSecondPart) {
    Call(EffectBlinkHP, 0.5f);
    EXPECT_FLOAT_EQ(data[1].alpha, 1.0f);
    EXPECT_FLOAT_EQ(data[0].alpha, 9.0f);
    EXPECT_FLOAT_EQ(data[2].alpha, 9.0f);
    Call(EffectBlinkHP, 0.0f);
    EXPECT_FLOAT_EQ(data[1].alpha, 0.5f);
    list.count = 1; // too short for the part it touches
    Call(EffectBlinkHP, 0.5f);
    EXPECT_FLOAT_EQ(data[1].alpha, 0.5f);
    EXPECT_TRUE(data[0].Untouched());
}

TEST_F(ObjectEffect, OffsetsSlideJumpAndShake) {
    Call(EffectSlideUpAccel, 0.5f);
    EXPECT_EQ(data[0].offset.y, -5);
    Call(EffectSlideFromBottomDecel, 0.5f);
    EXPECT_EQ(data[1].offset.y, 5);
    Call(EffectSlideFromBottomDecel, 0.0f);
    EXPECT_EQ(data[1].offset.y, 20);
    Call(EffectJumpUp, 0.1f); // sin(0.1 pi) * -5 = -1.545: toward zero
    EXPECT_EQ(data[2].offset.y, -1);
    Call(EffectSetCashPenaltyOffset, 0.3f);
    for (PartData& d : data) EXPECT_EQ(d.offset.y, 50);
    EXPECT_EQ(data[0].offset.x, 7);

    platform::SeedRand(99);
    int expected[6];
    for (int& e : expected) e = static_cast<int>(RandomFloatInRange(-2.0f, 2.0f));
    platform::SeedRand(99);
    Call(EffectShake, 0.0f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(data[i].offset.x, expected[2 * i]);
        EXPECT_EQ(data[i].offset.y, expected[2 * i + 1]);
    }
}

TEST_F(ObjectEffect, ColourWordsAndScalePointOnPartZero) {
    Call(EffectSetCashBonusColor, 0.0f);
    EXPECT_EQ(data[0].color, 0x5AFF00FFu);
    EXPECT_EQ(data[0].color2, 0x000000FFu);
    EXPECT_FLOAT_EQ(data[0].alpha, 1.0f);
    EXPECT_TRUE(data[1].Untouched());
    Call(EffectSetChainColor, 0.0f);
    EXPECT_EQ(data[0].color, 0xFFF7C2FFu);
    EXPECT_EQ(data[0].color2, 0x4C1900FFu);
    Call(EffectSetCheckmarkScalepoint, 0.0f);
    EXPECT_EQ(data[0].scalePoint.x, 13);
    EXPECT_EQ(data[0].scalePoint.y, 15);
    EXPECT_TRUE(data[2].Untouched());
}

TEST_F(ObjectEffect, VisibilityUpgradeBlinkAndWindow) {
    Call(EffectItemHide, 0.0f);
    EXPECT_EQ(visible, 0);
    Call(EffectItemShow, 0.0f);
    EXPECT_EQ(visible, 1);

    data[1].flag = 1;
    for (PartData& d : data) d.visible = 0;
    Call(UpgradeEffectBlink, 0.35f);
    EXPECT_NEAR(data[0].alpha, 0.65f, 1e-6);
    EXPECT_EQ(data[0].visible, 1);
    EXPECT_EQ(data[1].visible, 0) << "flagged parts keep their visibility";
    Call(UpgradeEffectBlink, 0.32f);
    EXPECT_NEAR(data[2].alpha, 0.32f, 1e-6);
    EXPECT_EQ(done, 0);
    Call(UpgradeEffectBlink, 1.0f);
    EXPECT_EQ(done, 1);

    Call(WindowFadeOut, 0.5f);
    EXPECT_FLOAT_EQ(data[0].alpha, 0.5f);
    EXPECT_EQ(data[0].visible, 1);
    Call(WindowFadeOut, 1.0f);
    for (PartData& d : data) EXPECT_EQ(d.visible, 0);
    visible = 0;
    Call(WindowReset, 0.0f);
    EXPECT_EQ(visible, 1);
    for (PartData& d : data) {
        EXPECT_EQ(d.visible, 1);
        EXPECT_FLOAT_EQ(d.alpha, 1.0f);
    }
}

class FakeOffice : public EffectOffice {
public:
    bool GetSkinOwnerName(Skin*, std::string& name) override {
        name = tableName;
        return true;
    }
    bool GetSkinOwnerLinkName(Skin*, std::string& name) override {
        name = linkName;
        return true;
    }
    bool GetWorkerSpecialization(const std::string& worker, std::string& out) override {
        askedFor = worker;
        if (worker != "worker12") return false;
        out = code;
        return true;
    }
    std::string tableName = "table12", linkName = "link", code = "0102", askedFor;
};

TEST_F(ObjectEffect, TableTintFollowsTheWorkersSpecialization) {
    FakeOffice office;
    Call(EffectTableSpecColor, 0.0f); // no office installed
    EXPECT_TRUE(data[0].Untouched());
    SetEffectOffice(&office);
    Call(EffectTableSpecColor, 0.0f);
    EXPECT_EQ(office.askedFor, "worker12");
    for (PartData& d : data) EXPECT_EQ(d.tint, 0xFF00E18Eu); // set A
    office.linkName = "link_6";
    Call(EffectTableSpecColor, 0.0f);
    EXPECT_EQ(data[1].tint, 0xFF5BC9A0u); // set B
    office.code = "0999";
    Call(EffectTableSpecColor, 0.0f);
    EXPECT_EQ(data[0].tint, 0u) << "an unknown code clears the tint";
    data[0].tint = 5;
    office.tableName = "table7";
    Call(EffectTableSpecColor, 0.0f);
    EXPECT_EQ(office.askedFor, "worker7");
    EXPECT_EQ(data[0].tint, 5u) << "no such worker: nothing happens";
    SetEffectOffice(nullptr);
}

class FakeControl : public EffectTarget {
public:
    Zephra::Rect GetEffectRect() const override { return rect; }
    void EffectSetVisible(bool v) override { visible = v ? 1 : 0; }
    bool IsEffectMouseOver() const override { return mouseOver; }
    Zephra::Rect rect{10, 20, 101, 51};
    int visible = -1;
    bool mouseOver = false;
};

class UiEffect : public ::testing::Test {
protected:
    void SetUp() override {
        script.SetParamPtr(kUiParamAlpha, &alpha);
        script.SetParamPtr(kUiParamOffset, &offset);
        script.SetParamPtr(kUiParamScale, &scale);
        script.SetParamPtr(kUiParamScalePoint, &scalePoint);
        script.SetParamPtr<EffectTarget>(kUiParamControl, &control);
    }
    int Call(EffectCallback fn, float p) {
        EffectCallContext context{kControlRange, 0, &script, 0, p};
        return fn(&context);
    }
    float alpha = 9.0f, scale = 9.0f;
    EffectPoint offset, scalePoint;
    FakeControl control;
    ScriptObject script;
};

TEST_F(UiEffect, ShowHideAndCentre) {
    Call(DlgShow, 0.0f);
    EXPECT_EQ(control.visible, 1);
    Call(DlgHide, 0.0f);
    EXPECT_EQ(control.visible, 0);
    Call(DlgSetCenterScalePoint, 0.0f);
    EXPECT_EQ(scalePoint.x, 60);
    EXPECT_EQ(scalePoint.y, 45);
}

TEST_F(UiEffect, ScalesFadesAndSlides) {
    struct ScaleCase {
        EffectCallback fn;
        float p0, p5, p1;
    };
    const ScaleCase scales[] = {
        {DlgScaleUpEaseOut, 1.0f, 1.8f, 2.0f},
        {DlgSmallScaleUpAccel, 1.1f, 1.075f, 1.0f},
        {DlgSmallScaleDownAccel, 1.0f, 0.975f, 0.9f},
        {DlgBigScaleDownAccel, 4.0f, 3.25f, 1.0f},
        {DlgFadeIn, 0.0f, 0.5f, 1.0f},
        {DlgFadeOut, 1.0f, 0.5f, 0.0f},
    };
    for (const ScaleCase& c : scales) {
        float* out = (c.fn == DlgFadeIn || c.fn == DlgFadeOut) ? &alpha : &scale;
        Call(c.fn, 0.0f);
        EXPECT_NEAR(*out, c.p0, 1e-6);
        Call(c.fn, 0.5f);
        EXPECT_NEAR(*out, c.p5, 1e-6);
        Call(c.fn, 1.0f);
        EXPECT_NEAR(*out, c.p1, 1e-6);
    }
    Call(DlgScaleUpRecoil, 0.85f);
    EXPECT_NEAR(scale, 1.05f, 1e-5);
    Call(DlgScaleUpRecoil, 0.0f);
    EXPECT_FLOAT_EQ(scale, 0.0f);

    control.rect = Zephra::Rect(0, 0, 200, 100);
    Call(DlgShiftDown, 0.5f);
    EXPECT_EQ(offset.y, 10);
    Call(DlgShiftDownAccel, 0.5f);
    EXPECT_EQ(offset.y, 5);
    Call(DlgSlideDownAccel, 0.5f);
    EXPECT_EQ(offset.y, 25);
    Call(DlgSlideFromBottomAccel, 0.93f);
    EXPECT_EQ(offset.y, 0); // 0.07^2 * 100 = 0.49 toward zero
    Call(DlgSlideRightAccel, 0.5f);
    EXPECT_EQ(offset.x, 50);
    Call(DlgSlideFromRightAccel, 0.0f);
    EXPECT_EQ(offset.x, 200);
}

TEST_F(UiEffect, UpgradeButtonBlinks) {
    Call(DlgUpgradeBtnBlink, 0.1f);
    EXPECT_NEAR(alpha, 0.5f, 1e-6);
    Call(DlgUpgradeBtnBlink, 0.25f);
    EXPECT_FLOAT_EQ(alpha, 1.0f);
    Call(DlgUpgradeBtnBlink, 0.4f);
    EXPECT_NEAR(alpha, 0.5f, 1e-6);
    control.mouseOver = true;
    Call(DlgUpgradeBtnBlink, 0.1f);
    EXPECT_FLOAT_EQ(alpha, 1.0f);
}

class ParticleEffect : public ::testing::Test {
protected:
    int Call(EffectCallback fn, float p) {
        EffectCallContext context{kControlRange, 0, &script, 0, p};
        return fn(&context);
    }
    ParticleRegistry registry;
    ScriptObject script;
};

TEST_F(ParticleEffect, GoalStarsAreMadeOnceStartedAndStopped) {
    Call(FuncOnGoalExpertPSEffect, 0.0f);
    Call(FuncOnGoalExpertPSEffect, 0.0f);
    EXPECT_EQ(registry.GetCount(&script), 2u);
    auto* small = script.GetParamPtr<ParticleSystem>(kObjParamParticles0);
    auto* big = script.GetParamPtr<ParticleSystem>(kObjParamParticles1);
    ASSERT_TRUE(small && big);
    EXPECT_EQ(small->GetParams().imageName, "fx_goal_star_small");
    EXPECT_EQ(small->GetParams().capacity, 30);
    EXPECT_EQ(big->GetParams().capacity, 24);
    EXPECT_EQ(big->GetParams().colorKeys[1].color, Zephra::Color(255, 255, 255, 255));
    EXPECT_EQ(small->GetParams().colorKeys[0].color.mAlpha, 1);
    EXPECT_TRUE(small->IsEmitting() && big->IsEmitting());
    Call(FuncOnGoalExpertPSEffect, 0.5f);
    EXPECT_TRUE(small->IsEmitting());
    Call(FuncOnGoalExpertPSEffect, 1.0f);
    EXPECT_FALSE(small->IsEmitting() || big->IsEmitting());
}

TEST_F(ParticleEffect, WorkSmokeIsPlacedByOrientationAndMirror) {
    const char* orientation = "tr";
    uint8_t mirror = 1;
    script.SetParam(kObjParamX, 100);
    script.SetParam(kObjParamY, 200);
    script.SetParamPtr(kObjParamOrientation, orientation);
    script.SetParamPtr(kObjParamMirror, &mirror);
    FuncOnWorkerWorkingPSEffect(&script);
    auto* smoke = script.GetParamPtr<ParticleSystem>(kObjParamParticles0);
    ASSERT_NE(smoke, nullptr);
    EXPECT_FLOAT_EQ(smoke->GetParams().emitterX, 75.0f);
    EXPECT_FLOAT_EQ(smoke->GetParams().emitterY, 195.0f);
    EXPECT_FLOAT_EQ(smoke->GetParams().baseAngle, 139.0f);
    EXPECT_EQ(smoke->GetParams().capacity, 8);
    EXPECT_EQ(smoke->GetParams().varyFlags, 10);
    EXPECT_TRUE(smoke->IsEmitting());

    StopPSFunc(&script);
    EXPECT_FALSE(smoke->IsEmitting());
    FuncOnWorkerWorkingPSEffect(&script);
    EXPECT_EQ(script.GetParamPtr<ParticleSystem>(kObjParamParticles0), smoke) << "made once";
    EXPECT_TRUE(smoke->IsEmitting());
}

TEST_F(ParticleEffect, RenderNeedsTheGraphicsAndHelperUnbindsIt) {
    Call(FuncOnGoalExpertPSEffect, 0.0f);
    EXPECT_EQ(RenderPSFunc(&script), 0);
    EXPECT_EQ(RenderPSFunc(nullptr), 0);
    Zephra::MemoryImage dest;
    dest.Create(8, 8);
    Zephra::Graphics g(&dest);
    script.SetParamPtr(kObjParamGraphics, &g);
    EXPECT_EQ(RenderPSFunc(&script), 1);
    EXPECT_FALSE(FireRenderPS(&script, &g)); // no "render_ps" message
    EXPECT_FALSE(script.HasParam(kUiParamGraphics));
}

// Every export given no argument, no target, no parameters, an empty or a
// short part list, or parts without fields, does nothing and does not crash.
TEST(EffectTable, MissingInputsDoNothing) {
    ParticleRegistry registry;
    for (const EffectExport& e : AllEffectFunctions()) {
        SCOPED_TRACE(e.name);
        const bool message = e.form == EffectCallForm::Message;
        e.fn(nullptr);

        ScriptObject bare;
        EffectCallContext noTarget{kControlRange, 0, nullptr, 0, 0.0f};
        EffectCallContext bareContext{kControlRange, 0, &bare, 0, 0.0f};
        if (!message) e.fn(&noTarget);
        e.fn(message ? static_cast<void*>(&bare) : &bareContext);

        for (float p : {0.0f, 0.5f, 1.0f}) {
            EffectPartList empty;
            PartData part;
            EffectPartList one;
            one.Add(part.Bind());
            one.count = 1;
            EffectPartList nulls;
            nulls.Add(EffectPart{});
            nulls.Add(EffectPart{});
            EffectPartList corrupt;
            corrupt.count = 1000; // read as at most the list's capacity
            for (EffectPartList* list : {&empty, &nulls, &corrupt}) {
                ScriptObject so;
                so.SetParamPtr(kObjParamParts, list);
                EffectCallContext context{kControlRange, 0, &so, 0, p};
                if (!message) e.fn(&context);
            }
            if (e.fn == EffectBlinkHP) {
                ScriptObject so;
                so.SetParamPtr(kObjParamParts, &one);
                EffectCallContext context{kControlRange, 0, &so, 0, p};
                e.fn(&context);
                EXPECT_TRUE(part.Untouched());
            }
        }
    }
    // The particle effects made nothing for scripts that went away.
    EXPECT_EQ(registry.GetCount(), 0u);
}

// Sample effects driven through their timers, as the controls will drive them.
TEST(SampleEffects, PopupDialogAndGoalStarsRunThroughTheirTimers) {
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(testsupport::SourceDir() + "/data");
    ASSERT_TRUE(OpenEffectConfig());

    FakeControl control;
    control.rect = Zephra::Rect(100, 100, 200, 80);
    float alpha = 0.0f, scale = 0.0f;
    EffectPoint scalePoint;
    auto popup = CreateScriptObject("dlg_popup");
    popup->SetParamPtr(kUiParamAlpha, &alpha);
    popup->SetParamPtr(kUiParamScale, &scale);
    popup->SetParamPtr(kUiParamScalePoint, &scalePoint);
    popup->SetParamPtr<EffectTarget>(kUiParamControl, &control);
    ASSERT_TRUE(popup->FireMessage("onshow"));
    EXPECT_EQ(control.visible, 1);
    EXPECT_EQ(scalePoint.x, 200);
    EXPECT_EQ(scalePoint.y, 140);
    for (int i = 0; i < 40; ++i) popup->Update(0.01f);
    EXPECT_NEAR(scale, 1.0f, 1e-5);
    EXPECT_FLOAT_EQ(alpha, 1.0f);
    popup->FireMessage("onhide");
    for (int i = 0; i < 30; ++i) popup->Update(0.01f);
    EXPECT_EQ(control.visible, 0);
    EXPECT_FLOAT_EQ(alpha, 0.0f);

    ParticleRegistry registry;
    auto stars = CreateScriptObject("goal_expert_stars");
    stars->FireMessage("onshow");
    auto* small = stars->GetParamPtr<ParticleSystem>(kObjParamParticles0);
    ASSERT_NE(small, nullptr);
    EXPECT_TRUE(small->IsEmitting());
    for (int i = 0; i < 20; ++i) {
        stars->Update(0.01f);
        registry.UpdateOwner(stars.get(), 0.01f);
    }
    // 30 a second for 0.2 s, give or take the rounding of the steps
    EXPECT_GE(small->GetLiveCount(), 5u);
    EXPECT_LE(small->GetLiveCount(), 6u);
    Zephra::MemoryImage dest;
    dest.Create(8, 8);
    Zephra::Graphics g(&dest);
    EXPECT_TRUE(FireRenderPS(stars.get(), &g));
    EXPECT_FALSE(stars->HasParam(kUiParamGraphics)) << "the Graphics is not kept past the drawing";
    stars->FireMessage("onhide");
    EXPECT_FALSE(small->IsEmitting());
    stars.reset();
    EXPECT_EQ(registry.GetCount(), 0u);

    CloseEffectConfig();
    PakSetGameDir(oldDir);
}

// The sample configuration names every export, each in its own form: timer
// controls take control callbacks, "call" messages message functions.
TEST(EffectTable, SampleConfigurationUsesEveryExportInItsForm) {
    const std::string oldDir = PakGetGameDir();
    PakSetGameDir(testsupport::SourceDir() + "/data");
    ASSERT_TRUE(OpenEffectConfig());
    std::set<std::string> used;
    for (XmlNode effect : gEffectConfigRoot.children("effect")) {
        const std::string name = effect.attribute("name").value();
        for (XmlNode timer : effect.child("timers").children("timer")) {
            for (XmlNode control : timer.children("control")) {
                const std::string fn = control.attribute("function").value();
                EXPECT_NE(ResolveEffectFunction(fn, EffectCallForm::Control), nullptr) << name << ": " << fn;
                used.insert(fn);
            }
        }
        for (XmlNode message : effect.child("messages").children("message")) {
            if (std::string(message.attribute("command").value()) != "call") continue;
            const std::string fn = message.attribute("timer_id").value();
            EXPECT_NE(ResolveEffectFunction(fn, EffectCallForm::Message), nullptr) << name << ": " << fn;
            used.insert(fn);
        }
    }
    ASSERT_EQ(AllEffectFunctions().size(), 49u);
    for (const EffectExport& e : AllEffectFunctions()) EXPECT_TRUE(used.count(e.name)) << "unused: " << e.name;
    CloseEffectConfig();
    PakSetGameDir(oldDir);
}

} // namespace
