#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>
#include "framework/app/widget.h"
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "platform/input.h"

using namespace Zephra;

namespace {

// Records every notification as "name:event".
class Probe : public Widget {
public:
    Probe(std::string name, std::vector<std::string>* log, bool wantsFocus = false)
        : mName(std::move(name)), mLog(log), mWantsFocus(wantsFocus) {}
    std::string mName;
    std::vector<std::string>* mLog;
    bool mWantsFocus;
    int mLastButton = -1;
    int mLastCount = -1;
    int mLastX = -1;
    int mLastY = -1;

    void Note(const std::string& e) { mLog->push_back(mName + ":" + e); }
    bool WantsFocus() override { return mWantsFocus; }
    void GotFocus() override { Widget::GotFocus(); Note("focus"); }
    void LostFocus() override { Widget::LostFocus(); Note("blur"); }
    void MouseEnter() override { Note("enter"); }
    void MouseLeave() override { Note("leave"); }
    void MouseDrag(int x, int y) override { mLastX = x; mLastY = y; Note("drag"); }
    void MouseDown(int x, int y, int button, int count) override {
        mLastX = x;
        mLastY = y;
        mLastButton = button;
        mLastCount = count;
        Note("down");
    }
    void MouseUpAt(int, int) override { Note("upat"); }
    void MouseUp(int, int, int button, int count) override {
        mLastButton = button;
        mLastCount = count;
        Note("up");
    }
    void KeyChar(char16_t ch) override { Note(std::string("char") + char(ch)); }
};

Probe* Make(WidgetContainer* parent, const std::string& name, std::vector<std::string>* log, int x,
            int y, int w, int h, bool wantsFocus = false) {
    auto* p = new Probe(name, log, wantsFocus);
    p->Resize(x, y, w, h);
    parent->AddWidget(p);
    return p;
}

class WidgetTreeTest : public ::testing::Test {
protected:
    void TearDown() override {
        manager.RemoveAllWidgets(true, true);
    }
    WidgetManager manager{800, 600};
    std::vector<std::string> log;
};

} // namespace

TEST(ClickCount, MapsToButtonAndCount) {
    int b = -1;
    int c = -1;
    Widget::ButtonFromClickCount(1, b, c);
    EXPECT_EQ(b, 0); EXPECT_EQ(c, 1);
    Widget::ButtonFromClickCount(2, b, c);
    EXPECT_EQ(b, 0); EXPECT_EQ(c, 2);
    Widget::ButtonFromClickCount(3, b, c);
    EXPECT_EQ(b, 2); EXPECT_EQ(c, 1);
    Widget::ButtonFromClickCount(-2, b, c);
    EXPECT_EQ(b, 1); EXPECT_EQ(c, 2);
    Widget::ButtonFromClickCount(0, b, c);
    EXPECT_EQ(b, 0); EXPECT_EQ(c, 0);
}

TEST_F(WidgetTreeTest, TopmostHitChildrenOverParentAndLastAddedOnTop) {
    Probe* back = Make(&manager, "back", &log, 0, 0, 200, 200);
    Probe* child = Make(back, "child", &log, 10, 10, 50, 50);
    Probe* front = Make(&manager, "front", &log, 100, 100, 200, 200);
    int lx = 0;
    int ly = 0;
    EXPECT_EQ(manager.GetWidgetAt(20, 30, &lx, &ly), child);
    EXPECT_EQ(lx, 10);
    EXPECT_EQ(ly, 20);
    EXPECT_EQ(manager.GetWidgetAt(70, 70), back);
    EXPECT_EQ(manager.GetWidgetAt(150, 150), front);
    EXPECT_EQ(manager.GetWidgetAt(500, 500), nullptr);

    manager.BringToFront(back);
    EXPECT_EQ(manager.GetWidgetAt(150, 150), back);

    child->mMouseVisible = false;
    EXPECT_EQ(manager.GetWidgetAt(20, 30), back);
    back->SetVisible(false);  // hides its children too
    EXPECT_EQ(manager.GetWidgetAt(20, 30), nullptr);
    EXPECT_EQ(manager.GetWidgetAt(150, 150), front);
}

TEST_F(WidgetTreeTest, ClickRoutesToTopmostWithLocalCoordinatesAndMappedButton) {
    Probe* a = Make(&manager, "a", &log, 100, 50, 100, 100);
    manager.MouseDown(110, 70, -2);
    EXPECT_EQ(a->mLastButton, 1);
    EXPECT_EQ(a->mLastCount, 2);
    EXPECT_EQ(a->mLastX, 10);
    EXPECT_EQ(a->mLastY, 20);
    EXPECT_TRUE(a->mIsDown);
    // Released off the widget: it still gets the release, no longer hovered.
    manager.MouseMove(400, 400);
    EXPECT_FALSE(a->mIsOver);
    manager.MouseUp(400, 400, -2);
    EXPECT_FALSE(a->mIsDown);
    EXPECT_EQ(a->mLastButton, 1);
    std::vector<std::string> want = {"a:enter", "a:down", "a:drag", "a:leave", "a:upat", "a:up"};
    EXPECT_EQ(log, want);
}

TEST_F(WidgetTreeTest, DragTakesHoverFromOthersAndTracksThePressedWidget) {
    Probe* a = Make(&manager, "a", &log, 0, 0, 100, 100);
    Probe* b = Make(&manager, "b", &log, 200, 0, 100, 100);
    manager.MouseMove(10, 10);
    manager.MouseDown(10, 10, 1);
    manager.MouseMove(250, 10);  // over b while dragging a
    EXPECT_FALSE(a->mIsOver);
    EXPECT_FALSE(b->mIsOver);
    manager.MouseMove(20, 20);  // back on a
    EXPECT_TRUE(a->mIsOver);
    manager.MouseUp(250, 10, 1);  // released over b: hover moves there
    EXPECT_FALSE(a->mIsOver);
    EXPECT_TRUE(b->mIsOver);
}

TEST_F(WidgetTreeTest, HoverEnterLeaveAndWidgetHiddenUnderTheMouse) {
    Probe* back = Make(&manager, "back", &log, 0, 0, 300, 300);
    Probe* top = Make(&manager, "top", &log, 50, 50, 100, 100);
    manager.MouseMove(60, 60);
    EXPECT_TRUE(top->mIsOver);
    EXPECT_FALSE(back->mIsOver);
    top->SetVisible(false);
    EXPECT_FALSE(top->mIsOver);
    EXPECT_TRUE(back->mIsOver);
    top->SetVisible(true);
    EXPECT_TRUE(top->mIsOver);
    top->Move(200, 200);  // moved away from under the mouse
    EXPECT_TRUE(back->mIsOver);
    manager.MouseExit();
    EXPECT_FALSE(back->mIsOver);
    std::vector<std::string> want = {"top:enter",  "top:leave", "back:enter", "back:leave",
                                     "top:enter",  "top:leave", "back:enter", "back:leave"};
    EXPECT_EQ(log, want);
}

TEST_F(WidgetTreeTest, ModalLayerAndInputLock) {
    Probe* office = Make(&manager, "office", &log, 0, 0, 800, 600);
    Probe* dialog = Make(&manager, "dialog", &log, 100, 100, 200, 200);
    Probe* ok = Make(dialog, "ok", &log, 10, 10, 50, 20);
    manager.BringToFront(office);  // even on top, the office is cut off by the modal layer
    manager.PushModal(dialog);
    EXPECT_EQ(manager.GetWidgetAt(5, 5), nullptr);
    EXPECT_EQ(manager.GetWidgetAt(115, 115), ok);
    EXPECT_EQ(manager.GetWidgetAt(150, 250), dialog);
    manager.PopModal(dialog);
    EXPECT_EQ(manager.GetWidgetAt(115, 115), office);

    manager.MouseMove(5, 5);
    EXPECT_TRUE(office->mIsOver);
    manager.LockInput();
    EXPECT_TRUE(manager.IsInputLocked());
    EXPECT_FALSE(office->mIsOver);
    EXPECT_EQ(manager.GetWidgetAt(5, 5), manager.GetInputLockWidget());
    manager.MouseDown(5, 5, 1);
    manager.MouseUp(5, 5, 1);
    EXPECT_EQ(office->mLastButton, -1);
    manager.UnlockInput();
    EXPECT_TRUE(office->mIsOver);
    manager.MouseDown(5, 5, 1);
    EXPECT_EQ(office->mLastButton, 0);
    manager.MouseUp(5, 5, 1);

    // A modal widget that leaves the tree leaves the modal stack.
    manager.PushModal(dialog);
    manager.RemoveWidget(dialog);
    EXPECT_EQ(manager.GetModal(), nullptr);
    dialog->RemoveAllWidgets(true);
    delete dialog;
}

TEST_F(WidgetTreeTest, FocusAndTabOrder) {
    Probe* panel = Make(&manager, "panel", &log, 0, 0, 400, 400);
    Probe* e1 = Make(panel, "e1", &log, 0, 0, 50, 20, true);
    Probe* e2 = Make(panel, "e2", &log, 0, 30, 50, 20, true);
    Probe* off = Make(panel, "off", &log, 0, 60, 50, 20, true);
    Probe* e3 = Make(&manager, "e3", &log, 500, 0, 50, 20, true);
    off->SetVisible(false);
    EXPECT_EQ(manager.GetTabOrder(), (std::vector<Widget*>{e1, e2, e3}));

    manager.MouseDown(10, 5, 1);  // clicking a widget that wants the focus gives it
    manager.MouseUp(10, 5, 1);
    EXPECT_EQ(manager.GetFocus(), e1);
    EXPECT_TRUE(e1->mHasFocus);
    manager.KeyDown(platform::VK_TAB);
    EXPECT_EQ(manager.GetFocus(), e2);
    EXPECT_FALSE(e1->mHasFocus);
    manager.KeyDown(platform::VK_TAB);
    EXPECT_EQ(manager.GetFocus(), e3);
    manager.KeyDown(platform::VK_TAB);  // wraps
    EXPECT_EQ(manager.GetFocus(), e1);
    manager.KeyDown(platform::VK_SHIFT);
    EXPECT_TRUE(manager.IsKeyDown(platform::VK_SHIFT));
    manager.KeyDown(platform::VK_TAB);
    EXPECT_EQ(manager.GetFocus(), e3);
    manager.KeyUp(platform::VK_SHIFT);
    manager.KeyChar(u'x');
    EXPECT_EQ(log.back(), "e3:charx");

    // Focus follows the application's focus.
    manager.LostFocus();
    EXPECT_FALSE(e3->mHasFocus);
    EXPECT_FALSE(manager.mHasFocus);
    manager.GotFocus();
    EXPECT_TRUE(e3->mHasFocus);
}

TEST_F(WidgetTreeTest, DisabledWidgetsAreDroppedAsTargets) {
    Probe* back = Make(&manager, "back", &log, 0, 0, 300, 300);
    Probe* edit = Make(&manager, "edit", &log, 10, 10, 100, 100, true);
    manager.MouseMove(20, 20);
    manager.MouseDown(20, 20, 1);
    EXPECT_EQ(manager.GetFocus(), edit);
    EXPECT_TRUE(edit->mIsDown);
    edit->SetDisabled(true);
    EXPECT_FALSE(edit->mIsOver);
    EXPECT_FALSE(edit->mIsDown);
    EXPECT_FALSE(edit->mHasFocus);
    EXPECT_EQ(manager.GetFocus(), nullptr);
    manager.MouseUp(20, 20, 1);
    EXPECT_EQ(edit->mLastButton, 0);  // from the press; the release never came
    // Disabled: no hit (not even the widget below), no focus, not in tab order.
    EXPECT_EQ(manager.GetWidgetAt(20, 20), nullptr);
    EXPECT_FALSE(back->mIsOver);
    manager.SetFocus(edit);
    EXPECT_EQ(manager.GetFocus(), nullptr);
    EXPECT_TRUE(manager.GetTabOrder().empty());
    edit->SetDisabled(false);
    EXPECT_TRUE(edit->mIsOver);
}

TEST_F(WidgetTreeTest, RemovedOrDeletedTargetsAreForgotten) {
    Probe* a = Make(&manager, "a", &log, 0, 0, 100, 100, true);
    Probe* inner = Make(a, "inner", &log, 10, 10, 20, 20, true);
    manager.MouseMove(15, 15);
    manager.MouseDown(15, 15, 1);
    EXPECT_EQ(manager.mOverWidget, inner);
    EXPECT_EQ(manager.GetFocus(), inner);
    delete a;  // takes the pressed, hovered, focused child out of the tree
    EXPECT_EQ(inner->mParent, nullptr);
    EXPECT_EQ(inner->mWidgetManager, nullptr);
    EXPECT_FALSE(inner->mIsOver);
    EXPECT_FALSE(inner->mHasFocus);
    EXPECT_EQ(manager.mOverWidget, nullptr);
    EXPECT_EQ(manager.mLastDownWidget, nullptr);
    EXPECT_EQ(manager.GetFocus(), nullptr);
    manager.MouseMove(16, 16);
    manager.MouseUp(16, 16, 1);
    manager.KeyDown('A');
    delete inner;
}

TEST_F(WidgetTreeTest, AddWidgetOnceMovesBetweenParentsAndRefusesCycles) {
    Probe* p1 = Make(&manager, "p1", &log, 0, 0, 10, 10);
    Probe* p2 = Make(&manager, "p2", &log, 0, 0, 10, 10);
    Probe* c = Make(p1, "c", &log, 0, 0, 5, 5);
    p1->AddWidget(c);
    EXPECT_EQ(p1->mWidgets.size(), 1u);
    p2->AddWidget(c);
    EXPECT_TRUE(p1->mWidgets.empty());
    EXPECT_EQ(c->mParent, p2);
    c->AddWidget(p2);  // p2 is c's parent
    EXPECT_EQ(p2->mParent, &manager);
    EXPECT_TRUE(c->mWidgets.empty());
    Point abs = c->GetAbsPos();
    EXPECT_EQ(abs.mX, 0);
}

namespace {

// A widget whose handler deletes other widgets and removes itself.
class SelfRemover : public Probe {
public:
    using Probe::Probe;
    std::vector<Widget*> mVictims;
    void MouseDown(int x, int y, int button, int count) override {
        Probe::MouseDown(x, y, button, count);
        for (Widget* v : mVictims) delete v;
        WidgetContainer* parent = mParent;
        parent->RemoveWidget(this);
        delete this;
    }
    void Update() override {
        Widget::Update();
        if (!mVictims.empty() && mUpdateCnt == 2) {
            for (Widget* v : mVictims) delete v;
            mVictims.clear();
            delete this;
        }
    }
};

} // namespace

TEST_F(WidgetTreeTest, HandlerDeletingItselfAndSiblingsDuringDispatch) {
    Probe* sibling = Make(&manager, "sib", &log, 0, 0, 800, 600, true);
    auto* killer = new SelfRemover("killer", &log, true);
    killer->Resize(0, 0, 50, 50);
    manager.AddWidget(killer);
    Probe* later = Make(&manager, "later", &log, 600, 0, 10, 10);
    killer->mVictims = {sibling, later};
    manager.SetFocus(sibling);
    manager.MouseMove(5, 5);
    manager.MouseDown(5, 5, 1);
    EXPECT_TRUE(manager.mWidgets.empty());
    EXPECT_EQ(manager.mLastDownWidget, nullptr);
    manager.MouseUp(5, 5, 1);
    manager.UpdateFrame();
}

TEST_F(WidgetTreeTest, UpdateSurvivesWidgetsDeletedMidWalk) {
    Probe* first = Make(&manager, "first", &log, 0, 0, 1, 1);
    auto* killer = new SelfRemover("killer", &log);
    manager.AddWidget(killer);
    Probe* after = Make(&manager, "after", &log, 0, 0, 1, 1);
    Probe* child = Make(after, "child", &log, 0, 0, 1, 1);
    killer->mVictims = {first, after};
    manager.UpdateFrame();
    EXPECT_EQ(child->mUpdateCnt, 1);
    manager.UpdateFrame();  // killer deletes both and itself in its second Update
    ASSERT_EQ(manager.mWidgets.size(), 0u);
    EXPECT_EQ(child->mParent, nullptr);
    EXPECT_EQ(child->mUpdateCnt, 1);
    delete child;
    // Hidden widgets update too (effects make them visible).
    Probe* hidden = Make(&manager, "hidden", &log, 0, 0, 1, 1);
    hidden->SetVisible(false);
    manager.UpdateFrame();
    EXPECT_EQ(hidden->mUpdateCnt, 1);
}

TEST_F(WidgetTreeTest, RemoveAllWidgetsDeletesRecursively) {
    Probe* a = Make(&manager, "a", &log, 0, 0, 1, 1);
    Make(a, "a1", &log, 0, 0, 1, 1);
    Make(a, "a2", &log, 0, 0, 1, 1);
    Make(&manager, "b", &log, 0, 0, 1, 1);
    manager.RemoveAllWidgets(true, true);  // ASan reports a leak or a double free
    EXPECT_TRUE(manager.mWidgets.empty());
}

namespace {

class Filler : public Widget {
public:
    explicit Filler(Color c) : mColor(c) {}
    Color mColor;
    int mDraws = 0;
    void Draw(Graphics* g) override {
        ++mDraws;
        g->SetColor(mColor);
        g->FillRect(Rect(-5, -5, 100, 100));  // clipped to the widget
    }
};

uint32_t Pixel(MemoryImage& img, int x, int y) { return img.GetBits()[y * img.mWidth + x]; }

} // namespace

TEST_F(WidgetTreeTest, DrawScreenDrawsVisibleWidgetsClippedAndTranslated) {
    MemoryImage screen;
    screen.Create(64, 64);
    manager.SetScreenImage(&screen);
    auto* red = new Filler(Color(255, 0, 0));
    red->Resize(10, 10, 20, 20);
    manager.AddWidget(red);
    auto* green = new Filler(Color(0, 255, 0));
    green->Resize(5, 5, 4, 4);
    red->AddWidget(green);
    auto* hidden = new Filler(Color(0, 0, 255));
    hidden->Resize(0, 0, 64, 64);
    hidden->SetVisible(false);
    manager.AddWidget(hidden);

    ASSERT_TRUE(manager.DrawScreen());
    EXPECT_EQ(Pixel(screen, 9, 9), 0xFF000000u);
    EXPECT_EQ(Pixel(screen, 10, 10), 0xFFFF0000u);
    EXPECT_EQ(Pixel(screen, 29, 29), 0xFFFF0000u);
    EXPECT_EQ(Pixel(screen, 30, 30), 0xFF000000u);
    EXPECT_EQ(Pixel(screen, 15, 15), 0xFF00FF00u);  // child after parent, at parent + 5
    EXPECT_EQ(Pixel(screen, 18, 18), 0xFF00FF00u);
    EXPECT_EQ(Pixel(screen, 19, 19), 0xFFFF0000u);
    EXPECT_EQ(hidden->mDraws, 0);

    EXPECT_FALSE(manager.DrawScreen());  // nothing asked for a redraw
    green->MarkDirty();
    EXPECT_TRUE(manager.DrawScreen());
    EXPECT_EQ(red->mDraws, 2);
}
