#include "framework/app/widget.h"

#include <algorithm>
#include "framework/app/widget_manager.h"
#include "platform/input.h"

namespace Zephra {

namespace {

// Clears manager links below a container without calling anyone (the manager
// is gone or going).
void ClearManagerLinks(WidgetContainer* c) {
    for (Widget* w : c->mWidgets) {
        w->mWidgetManager = nullptr;
        ClearManagerLinks(w);
    }
}

} // namespace

// ---------------------------------------------------------------- container

WidgetContainer::WidgetContainer() : mLife(std::make_shared<WidgetLife>()) { mLife->mWidget = this; }

WidgetContainer::~WidgetContainer() {
    mLife->mWidget = nullptr;
    for (Widget* w : mWidgets) {
        w->mParent = nullptr;
        w->mWidgetManager = nullptr;
        ClearManagerLinks(w);
    }
    mWidgets.clear();
}

bool WidgetContainer::HasWidget(const Widget* widget) const {
    return std::find(mWidgets.begin(), mWidgets.end(), widget) != mWidgets.end();
}

void WidgetContainer::AddWidget(Widget* widget) {
    if (widget == nullptr || static_cast<WidgetContainer*>(widget) == this) return;
    // The input-lock layer belongs to its manager, outside every list.
    if (widget->mWidgetManager != nullptr && widget == widget->mWidgetManager->GetInputLockWidget())
        return;
    for (WidgetContainer* a = mParent; a != nullptr; a = a->mParent)
        if (a == widget) return;  // would make a cycle
    if (widget->mParent == this) return;
    if (widget->mParent != nullptr) widget->mParent->RemoveWidget(widget);
    mWidgets.push_back(widget);
    widget->mParent = this;
    if (mWidgetManager != nullptr) {
        widget->AttachToManager(mWidgetManager);
        mWidgetManager->RequestRehup();
    }
    widget->MarkDirty();
}

void WidgetContainer::RemoveWidget(Widget* widget) {
    if (widget == nullptr) return;
    auto it = std::find(mWidgets.begin(), mWidgets.end(), widget);
    if (it == mWidgets.end()) return;
    mWidgets.erase(it);
    if (widget->mWidgetManager != nullptr) widget->DetachFromManager();
    widget->mParent = nullptr;
    MarkDirtyFull();
}

void WidgetContainer::RemoveAllWidgets(bool doDelete, bool recursive) {
    WidgetLifeRef self = mLife;
    while (self->mWidget == this && !mWidgets.empty()) {
        Widget* w = mWidgets.front();
        RemoveWidget(w);
        if (recursive) w->RemoveAllWidgets(doDelete, true);
        if (doDelete) delete w;
    }
}

void WidgetContainer::BringToFront(Widget* widget) {
    auto it = std::find(mWidgets.begin(), mWidgets.end(), widget);
    if (it == mWidgets.end()) return;
    mWidgets.erase(it);
    mWidgets.push_back(widget);
    MarkDirty();
    if (mWidgetManager != nullptr) mWidgetManager->RequestRehup();
    WidgetLifeRef life = widget->Life();
    if (life->mWidget == widget) widget->OrderInManagerChanged();
}

void WidgetContainer::SetFocus(Widget* widget) { (void)widget; }

void WidgetContainer::AttachToManager(WidgetManager* manager) {
    mWidgetManager = manager;
    std::vector<Widget*> children = mWidgets;
    for (Widget* w : children)
        if (w->mParent == this) w->AttachToManager(manager);
}

void WidgetContainer::DetachFromManager() {
    WidgetManager* manager = mWidgetManager;
    if (manager == nullptr) return;
    mWidgetManager = nullptr;
    if (auto* self = dynamic_cast<Widget*>(this)) manager->WidgetRemoved(self);
    std::vector<Widget*> children = mWidgets;
    for (Widget* w : children)
        if (w->mParent == this && w->mWidgetManager != nullptr) w->DetachFromManager();
}

void WidgetContainer::Update() { ++mUpdateCnt; }

void WidgetContainer::UpdateMotion(float fraction) { (void)fraction; }

Point WidgetContainer::GetAbsPos() const {
    Point p{mX, mY};
    if (mParent != nullptr) {
        Point pp = mParent->GetAbsPos();
        p.mX += pp.mX;
        p.mY += pp.mY;
    }
    return p;
}

void WidgetContainer::MarkDirty() {
    mDirty = true;
    if (mParent != nullptr) mParent->MarkDirty();
}

void WidgetContainer::MarkDirtyFull() {
    mDirty = true;
    if (mParent != nullptr) mParent->MarkDirtyFull();
}

// ---------------------------------------------------------------- widget

Widget::Widget() = default;

Widget::~Widget() {
    mLife->mWidget = nullptr;
    if (mParent != nullptr)
        mParent->RemoveWidget(this);
    else if (mWidgetManager != nullptr)
        DetachFromManager();
}

void Widget::SetVisible(bool visible) {
    mVisible = visible;
    MarkDirtyFull();
    if (mWidgetManager != nullptr) mWidgetManager->RehupMouse();
}

void Widget::SetDisabled(bool disabled) {
    if (mDisabled == disabled) return;
    mDisabled = disabled;
    MarkDirty();
    if (mWidgetManager == nullptr) return;
    if (disabled)
        mWidgetManager->DisableWidget(this);
    else
        mWidgetManager->RehupMouse();
}

void Widget::Resize(int x, int y, int width, int height) {
    if (mX == x && mY == y && mWidth == width && mHeight == height) return;
    MarkDirtyFull();
    mX = x;
    mY = y;
    mWidth = width;
    mHeight = height;
    MarkDirty();
    if (mWidgetManager != nullptr) mWidgetManager->RehupMouse();
}

void Widget::Move(int x, int y) { Resize(x, y, mWidth, mHeight); }

void Widget::Draw(Graphics* g) { (void)g; }
void Widget::DrawOverlay(Graphics* g) { (void)g; }

bool Widget::WantsFocus() { return false; }
void Widget::GotFocus() { mHasFocus = true; }
void Widget::LostFocus() { mHasFocus = false; }

void Widget::KeyDown(int keyCode) {
    if (keyCode == platform::VK_TAB && mWidgetManager != nullptr)
        mWidgetManager->MoveFocus(!mWidgetManager->IsKeyDown(platform::VK_SHIFT));
}

void Widget::KeyUp(int keyCode) { (void)keyCode; }
void Widget::KeyChar(char16_t ch) { (void)ch; }

void Widget::MouseEnter() {}
void Widget::MouseLeave() {}
void Widget::MouseMove(int x, int y) { (void)x; (void)y; }
void Widget::MouseDrag(int x, int y) { (void)x; (void)y; }

void Widget::ButtonFromClickCount(int clickCount, int& button, int& count) {
    if (clickCount == 3) {
        button = 2;
        count = 1;
    } else if (clickCount < 0) {
        button = 1;
        // -INT_MIN does not exist; no real click count comes near it.
        count = clickCount == INT32_MIN ? INT32_MAX : -clickCount;
    } else {
        button = 0;
        count = clickCount;
    }
}

void Widget::MouseDownFromClickCount(int x, int y, int clickCount) {
    int button = 0;
    int count = 0;
    ButtonFromClickCount(clickCount, button, count);
    MouseDown(x, y, button, count);
}

void Widget::MouseDown(int x, int y, int button, int clickCount) {
    (void)x; (void)y; (void)button; (void)clickCount;
}

void Widget::MouseUpFromClickCount(int x, int y, int clickCount) {
    int button = 0;
    int count = 0;
    ButtonFromClickCount(clickCount, button, count);
    WidgetLifeRef life = mLife;
    MouseUpAt(x, y);
    if (life->mWidget != this) return;
    MouseUp(x, y, button, count);
}

void Widget::MouseUpAt(int x, int y) { (void)x; (void)y; }

void Widget::MouseUp(int x, int y, int button, int clickCount) {
    (void)x; (void)y; (void)button; (void)clickCount;
}

void Widget::MouseWheel(int delta) { (void)delta; }
void Widget::OrderInManagerChanged() {}

bool Widget::IsPointVisible(int x, int y) {
    (void)x; (void)y;
    return true;
}

} // namespace Zephra
