#include "game/ui/ui_control.h"

#include <gtest/gtest.h>

#include "framework/graphics/graphics.h"
#include "tests/game/ui/ui_fixture.h"

namespace {

using uitest::UiTest;

// Paints its whole widget rectangle in one colour.
class Swatch : public UiControl {
public:
    Swatch(UiControl* parent, uint32_t argb) : UiControl(parent), color(argb) {}
    void Draw(Zephra::Graphics* g) override {
        g->SetColor(Zephra::Color(color));
        g->FillRect(0, 0, mWidth, mHeight);
        UiControl::Draw(g);
    }
    void OnShow() override { ++shows; visibleAtOnShow = mVisible; }
    void OnHide() override { ++hides; }
    uint32_t color;
    int shows = 0;
    int hides = 0;
    bool visibleAtOnShow = false;
};

class UiControlTest : public UiTest {};

TEST_F(UiControlTest, LayoutFollowsOffsetScaleAndAncestors) {
    struct Case {
        const char* what;
        float parentScale;
        int parentX;
        float scale;
        int spx, x, offset, width;
        Zephra::Rect expected;  // widget rectangle, relative to the parent
    } cases[] = {
        {"worked example", 1.0f, 0, 2.0f, 100, 150, 10, 20, {220, 10, 40, 10}},
        {"parent at 0.5 halves", 0.5f, 0, 1.0f, 0, 40, 0, 20, {20, 2, 10, 2}},
        {"scaled child of halved parent", 0.5f, 10, 2.0f, 100, 150, 10, 20, {110, 5, 20, 5}},
        {"plain", 1.0f, 0, 1.0f, 0, 30, -5, 10, {25, 5, 10, 5}},
    };
    for (const Case& c : cases) {
        auto* parent = new Swatch(nullptr, 0xFF000080);
        parent->Resize(c.parentX, 0, 200, 150);
        parent->mScale = c.parentScale;
        auto* child = new Swatch(parent, 0xFFFF0000);
        child->Resize(c.x, 5, c.width, 5);
        child->mScale = c.scale;
        child->mScalePoint = {c.spx, 0};
        child->mOffset = {c.offset, 0};
        parent->AddChild("child", child);
        wm()->AddWidget(parent);
        Step();
        EXPECT_EQ(child->GetRect(), c.expected) << c.what;
        EXPECT_EQ(child->GetLayoutRect(), Zephra::Rect(c.x, 5, c.width, 5)) << c.what;
        // Pixels: the child's colour inside its rectangle, the parent's just left of it.
        const Zephra::Point abs = child->GetAbsPos();
        if (abs.mX < 200) {
            EXPECT_EQ(Pixel(abs.mX, abs.mY), 0xFFFF0000u) << c.what;
            if (abs.mX > parent->mX && abs.mX <= parent->mX + parent->mWidth) {
                EXPECT_EQ(Pixel(abs.mX - 1, abs.mY), 0xFF000080u) << c.what;
            }
        }
        wm()->RemoveWidget(parent);
        delete parent;
    }
}

TEST_F(UiControlTest, ShowAndHideWithAndWithoutEffects) {
    struct Case {
        const char* what;
        const char* effect;     // "" for none
        bool visibleAfterCall;  // before any update
        int onShowCalls;        // after two Shows in a row
        int onHideCalls;        // after two Hides in a row
    } cases[] = {
        {"no effect", "", true, 2, 2},
        {"effect shows at once, hides later", "show_hide", true, 2, 1},
        {"slow effect blocks the second call", "slow", false, 1, 1},
        {"effect without onshow falls back", "nomessages", true, 2, 2},
        {"unknown effect has no messages", "no_such_effect", true, 2, 2},
    };
    for (const Case& c : cases) {
        auto* control = new Swatch(nullptr, 0xFF00FF00);
        control->Resize(0, 0, 10, 10);
        control->SetEffect(c.effect);
        wm()->AddWidget(control);
        control->SetVisible(false);
        EXPECT_TRUE(control->IsInactive()) << c.what;

        control->Show();
        EXPECT_EQ(control->mVisible, c.visibleAfterCall) << c.what;
        EXPECT_TRUE(control->visibleAtOnShow || !c.visibleAfterCall) << c.what;
        control->Show();
        EXPECT_EQ(control->shows, c.onShowCalls) << c.what;
        Step(10);
        EXPECT_TRUE(control->mVisible) << c.what;
        EXPECT_EQ(control->mShowing, 0) << c.what;
        EXPECT_FALSE(control->IsInactive()) << c.what;
        EXPECT_EQ(Pixel(5, 5), 0xFF00FF00u) << c.what;

        control->Hide();
        control->Hide();
        EXPECT_EQ(control->hides, c.onHideCalls) << c.what;
        Step(10);
        EXPECT_FALSE(control->mVisible) << c.what;
        EXPECT_EQ(control->mHiding, 0) << c.what;
        EXPECT_TRUE(control->IsInactive()) << c.what;
        EXPECT_EQ(Pixel(5, 5), 0xFF000000u) << c.what;
        wm()->RemoveWidget(control);
        delete control;
    }
}

TEST_F(UiControlTest, HideDuringShowAndChildrenByName) {
    auto* root = new Swatch(nullptr, 0);
    root->SetEffect("show_hide");
    root->SetVisible(false);
    root->Show();
    root->Hide();  // the hiding flag was clear: "onhide" runs
    EXPECT_EQ(root->hides, 1);
    EXPECT_EQ(root->mHiding, 1);
    EXPECT_EQ(root->mShowing, 0);

    std::vector<std::string> order;
    struct Named : Swatch {
        Named(UiControl* p, std::string n, std::vector<std::string>& o) : Swatch(p, 0), name(std::move(n)), log(o) {}
        void OnShow() override { log.push_back(name); }
        std::string name;
        std::vector<std::string>& log;
    };
    for (const char* name : {"zeta", "alpha", "mid"}) root->AddChild(name, new Named(root, name, order));
    root->ShowChildren();
    EXPECT_EQ(order, (std::vector<std::string>{"alpha", "mid", "zeta"}));
    EXPECT_EQ(root->FindChild("mid")->GetParentControl(), root);
    EXPECT_EQ(root->FindChild("none"), nullptr);
    delete root;  // deletes the three children (ASan checks)
}

} // namespace

namespace {

class UiControlDrawTest : public uitest::UiTest {};

TEST_F(UiControlDrawTest, AlphaMultipliesThroughAncestorsWithinZeroToOne) {
    struct Case {
        const char* what;
        float parentAlpha, childAlpha;
        int drawAlpha;     // of 255
        int drawAlpha128;  // of a colour's alpha 128
    } cases[] = {
        {"opaque", 1.0f, 1.0f, 255, 128},
        {"half of half", 0.5f, 0.5f, 63, 32},
        {"above one is clamped", 2.0f, 1.5f, 255, 128},
        {"negative is clamped", -1.0f, 1.0f, 0, 0},
        {"zero", 0.0f, 1.0f, 0, 0},
    };
    for (const Case& c : cases) {
        UiControl parent(nullptr);
        auto* child = new UiControl(&parent);
        parent.AddChild("c", child);
        parent.mAlpha = c.parentAlpha;
        child->mAlpha = c.childAlpha;
        EXPECT_EQ(child->DrawAlpha(), c.drawAlpha) << c.what;
        EXPECT_EQ(child->DrawAlpha(128), c.drawAlpha128) << c.what;
    }
}

// A control's effect draws its particles and advances them with the control.
TEST_F(UiControlDrawTest, EffectParticlesAreUpdatedAndDrawn) {
    struct Case {
        const char* what;
        int steps;
        bool particles;
    } cases[] = {
        {"before any update", 0, false},
        {"after a second", 100, true},
    };
    // The stars rise from (400, 300).
    screen->Create(800, 600);
    wm()->SetSize(800, 600);
    for (const Case& c : cases) {
        auto* control = new UiControl(nullptr);
        control->Resize(0, 0, 800, 600);
        control->SetEffect("stars");
        wm()->AddWidget(control);
        control->Show();
        Step(c.steps);
        ParticleRegistry* registry = app->GetParticleRegistry();
        auto* stars = control->GetEffect()->GetParamPtr<ParticleSystem>(kObjParamParticles0);
        ASSERT_NE(stars, nullptr) << c.what;
        EXPECT_EQ(stars->GetLiveCount() > 0, c.particles) << c.what;
        int lit = 0;
        Pixel(0, 0);
        for (int i = 0; i < 800 * 600; ++i) lit += screen->GetBits()[i] != 0xFF000000u;
        EXPECT_EQ(lit > 0, c.particles) << c.what;
        wm()->RemoveWidget(control);
        delete control;
        EXPECT_EQ(registry->GetCount(), 0u) << c.what;
    }
}

} // namespace
