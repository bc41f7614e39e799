#include "framework/app/widget_manager.h"

#include <algorithm>
#include <cstring>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "platform/input.h"

namespace Zephra {

namespace {

// The walk's snapshot holds each child's life while it is visited, so a
// plain pointer to it tells whether the child outlived its update.
void UpdateTree(WidgetContainer* c) {
    c->ForEachChildSafe([](Widget* w) {
        const WidgetLife* life = w->Life().get();
        w->Update();
        if (life->mWidget == w) UpdateTree(w);
    });
}

void UpdateMotionTree(WidgetContainer* c, float fraction) {
    c->ForEachChildSafe([fraction](Widget* w) {
        const WidgetLife* life = w->Life().get();
        w->UpdateMotion(fraction);
        if (life->mWidget == w) UpdateMotionTree(w, fraction);
    });
}

// Every ancestor up to the manager is visible too.
bool IsShown(Widget* w, WidgetManager* manager) {
    for (WidgetContainer* c = w; c != nullptr && c != manager; c = c->mParent) {
        auto* cw = dynamic_cast<Widget*>(c);
        if (cw != nullptr && !cw->mVisible) return false;
    }
    return true;
}

void CollectTabOrder(Widget* w, std::vector<Widget*>& out) {
    if (!w->mVisible) return;
    if (!w->mDisabled && w->WantsFocus()) out.push_back(w);
    for (size_t i = 0; i < w->mWidgets.size(); ++i) CollectTabOrder(w->mWidgets[i], out);
}

int ButtonBit(int clickCount) {
    int button = 0;
    int count = 0;
    Widget::ButtonFromClickCount(clickCount, button, count);
    return 1 << button;
}

} // namespace

WidgetManager::WidgetManager(int width, int height) {
    mWidgetManager = this;
    mWidth = width;
    mHeight = height;
    mDirty = true;
    mInputLock = std::make_unique<Widget>();
    mInputLock->mVisible = false;
    mInputLock->Resize(0, 0, width, height);
    mInputLock->mWidgetManager = this;
}

WidgetManager::~WidgetManager() {
    mInputLock.reset();
    RemoveAllWidgets(false, false);
    mFocusWidget = mOverWidget = mLastDownWidget = nullptr;
    mModalStack.clear();
}

void WidgetManager::SetSize(int width, int height) {
    mWidth = width;
    mHeight = height;
    mInputLock->Resize(0, 0, width, height);
    MarkDirtyFull();
}

// ---------------------------------------------------------------- hit tests

Widget* WidgetManager::HitTest(Widget* w, int px, int py, int* localX, int* localY) {
    if (!w->mVisible) return nullptr;
    int x = px - w->mX;
    int y = py - w->mY;
    for (size_t i = w->mWidgets.size(); i-- > 0;) {
        if (i >= w->mWidgets.size()) continue;
        if (Widget* hit = HitTest(w->mWidgets[i], x, y, localX, localY)) return hit;
    }
    if (w->mMouseVisible && x >= 0 && y >= 0 && x < w->mWidth && y < w->mHeight &&
        w->IsPointVisible(x, y)) {
        if (localX) *localX = x;
        if (localY) *localY = y;
        return w;
    }
    return nullptr;
}

Widget* WidgetManager::GetWidgetAt(int x, int y, int* localX, int* localY) {
    if (mInputLock->mVisible) {
        if (localX) *localX = x - mInputLock->mX;
        if (localY) *localY = y - mInputLock->mY;
        return mInputLock.get();
    }
    Widget* found = nullptr;
    if (!mModalStack.empty()) {
        Widget* modal = mModalStack.back();
        if (IsShown(modal, this)) {
            Point origin = modal->mParent != nullptr ? modal->mParent->GetAbsPos() : Point{};
            found = HitTest(modal, x - origin.mX, y - origin.mY, localX, localY);
        }
    } else {
        for (size_t i = mWidgets.size(); i-- > 0 && found == nullptr;) {
            if (i >= mWidgets.size()) continue;
            found = HitTest(mWidgets[i], x, y, localX, localY);
        }
    }
    // A disabled widget takes no input, and neither does what lies below it.
    if (found != nullptr && found->mDisabled) return nullptr;
    return found;
}

// ---------------------------------------------------------------- hover

void WidgetManager::SetOverWidget(Widget* widget) {
    if (widget == mOverWidget) return;
    Widget* old = mOverWidget;
    WidgetLifeRef newLife = widget != nullptr ? widget->Life() : nullptr;
    mOverWidget = widget;
    if (old != nullptr) {
        // Still alive: the manager forgets targets the moment they go.
        old->mIsOver = false;
        old->MouseLeave();
    }
    if (widget != nullptr && newLife->mWidget == widget && mOverWidget == widget && !widget->mIsOver) {
        widget->mIsOver = true;
        widget->MouseEnter();
    }
}

void WidgetManager::RehupMouse() {
    if (mRehupDepth > 0) {
        mRehupPending = true;
        return;
    }
    ++mRehupDepth;
    // Enter and leave handlers may change the tree again; settle a few times.
    for (int pass = 0; pass < 4; ++pass) {
        mRehupPending = false;
        if (!mMouseIn) {
            SetOverWidget(nullptr);
        } else if (mDownButtons != 0 || mLastDownWidget != nullptr) {
            // While dragging only the pressed widget can be under the mouse.
            Widget* hit = GetWidgetAt(mLastMouseX, mLastMouseY);
            SetOverWidget(mLastDownWidget != nullptr && hit == mLastDownWidget ? hit : nullptr);
        } else {
            SetOverWidget(GetWidgetAt(mLastMouseX, mLastMouseY));
        }
        if (!mRehupPending) break;
    }
    mRehupPending = false;
    --mRehupDepth;
}

void WidgetManager::FlushPendingRehup() {
    if (mRehupPending && mRehupDepth == 0) RehupMouse();
}

// ---------------------------------------------------------------- mouse

void WidgetManager::MouseMove(int x, int y) {
    mLastMouseX = x;
    mLastMouseY = y;
    mMouseIn = true;
    if (mDownButtons != 0 || mLastDownWidget != nullptr) {
        Widget* down = mLastDownWidget;
        // A drag takes the hover from everything but the pressed widget.
        if (mOverWidget != nullptr && mOverWidget != down) SetOverWidget(nullptr);
        if (down != nullptr && mLastDownWidget == down) {
            WidgetLifeRef life = down->Life();
            Point abs = down->GetAbsPos();
            down->MouseDrag(x - abs.mX, y - abs.mY);
            if (life->mWidget == down && mLastDownWidget == down) {
                Widget* hit = GetWidgetAt(x, y);
                SetOverWidget(hit == down ? down : nullptr);
            }
        }
    } else {
        int lx = 0;
        int ly = 0;
        Widget* hit = GetWidgetAt(x, y, &lx, &ly);
        WidgetLifeRef life = hit != nullptr ? hit->Life() : nullptr;
        SetOverWidget(hit);
        if (hit != nullptr && life->mWidget == hit && mOverWidget == hit) hit->MouseMove(lx, ly);
    }
    FlushPendingRehup();
}

void WidgetManager::MouseDown(int x, int y, int clickCount) {
    mLastMouseX = x;
    mLastMouseY = y;
    mMouseIn = true;
    int bit = ButtonBit(clickCount);
    if (mDownButtons == 0 && mLastDownWidget == nullptr) SetOverWidget(GetWidgetAt(x, y));
    mDownButtons |= bit;

    Widget* target = mLastDownWidget;  // a held press keeps its widget
    int lx = 0;
    int ly = 0;
    if (target != nullptr) {
        Point abs = target->GetAbsPos();
        lx = x - abs.mX;
        ly = y - abs.mY;
    } else {
        target = GetWidgetAt(x, y, &lx, &ly);
        if (target == mInputLock.get()) target = nullptr;
    }
    if (target == nullptr) {
        FlushPendingRehup();
        return;
    }
    mLastDownWidget = target;
    WidgetLifeRef life = target->Life();
    if (target->WantsFocus()) SetFocus(target);
    if (life->mWidget == target && mLastDownWidget == target) {
        target->mIsDown = true;
        target->MouseDownFromClickCount(lx, ly, clickCount);
    }
    FlushPendingRehup();
}

void WidgetManager::MouseUp(int x, int y, int clickCount) {
    mLastMouseX = x;
    mLastMouseY = y;
    mMouseIn = true;
    int bit = ButtonBit(clickCount);
    mDownButtons &= ~bit;
    Widget* target = mLastDownWidget;
    if (target != nullptr) {
        if (mDownButtons == 0) {
            mLastDownWidget = nullptr;
            target->mIsDown = false;
        }
        Point abs = target->GetAbsPos();
        target->MouseUpFromClickCount(x - abs.mX, y - abs.mY, clickCount);
    }
    if (mDownButtons == 0) RehupMouse();
    FlushPendingRehup();
}

void WidgetManager::MouseWheel(int delta) {
    if (mFocusWidget != nullptr) mFocusWidget->MouseWheel(delta);
    FlushPendingRehup();
}

void WidgetManager::MouseExit() {
    mMouseIn = false;
    if (mLastDownWidget == nullptr) SetOverWidget(nullptr);
    FlushPendingRehup();
}

// ---------------------------------------------------------------- keys, focus

void WidgetManager::KeyDown(int keyCode) {
    if (keyCode >= 0 && keyCode < 256) mKeyDown[keyCode] = 1;
    if (mFocusWidget != nullptr) mFocusWidget->KeyDown(keyCode);
    FlushPendingRehup();
}

void WidgetManager::KeyUp(int keyCode) {
    if (keyCode >= 0 && keyCode < 256) mKeyDown[keyCode] = 0;
    if (mFocusWidget != nullptr) mFocusWidget->KeyUp(keyCode);
    FlushPendingRehup();
}

void WidgetManager::KeyChar(char16_t ch) {
    if (mFocusWidget != nullptr) mFocusWidget->KeyChar(ch);
    FlushPendingRehup();
}

bool WidgetManager::IsKeyDown(int keyCode) const {
    return keyCode >= 0 && keyCode < 256 && mKeyDown[keyCode] != 0;
}

void WidgetManager::GotFocus() {
    if (mHasFocus) return;
    mHasFocus = true;
    if (mFocusWidget != nullptr) mFocusWidget->GotFocus();
}

void WidgetManager::LostFocus() {
    if (!mHasFocus) return;
    mHasFocus = false;
    // Keys released elsewhere never reach us.
    std::memset(mKeyDown, 0, sizeof(mKeyDown));
    if (mFocusWidget != nullptr) mFocusWidget->LostFocus();
}

void WidgetManager::SetFocus(Widget* widget) {
    if (widget == mFocusWidget) return;
    if (widget != nullptr && (widget->mWidgetManager != this || widget->mDisabled ||
                              widget == mInputLock.get()))
        return;
    Widget* old = mFocusWidget;
    WidgetLifeRef newLife = widget != nullptr ? widget->Life() : nullptr;
    mFocusWidget = widget;
    if (old != nullptr && mHasFocus) old->LostFocus();
    if (widget != nullptr && newLife->mWidget == widget && mFocusWidget == widget && mHasFocus &&
        !widget->mHasFocus)
        widget->GotFocus();
}

std::vector<Widget*> WidgetManager::GetTabOrder() {
    std::vector<Widget*> order;
    if (Widget* modal = GetModal()) {
        if (IsShown(modal, this)) CollectTabOrder(modal, order);
    } else {
        for (size_t i = 0; i < mWidgets.size(); ++i) CollectTabOrder(mWidgets[i], order);
    }
    return order;
}

void WidgetManager::MoveFocus(bool forward) {
    std::vector<Widget*> order = GetTabOrder();
    if (order.empty()) return;
    auto it = std::find(order.begin(), order.end(), mFocusWidget);
    size_t n = order.size();
    size_t next;
    if (it == order.end())
        next = forward ? 0 : n - 1;
    else {
        size_t i = static_cast<size_t>(it - order.begin());
        next = forward ? (i + 1) % n : (i + n - 1) % n;
    }
    SetFocus(order[next]);
}

// ---------------------------------------------------------------- layers

void WidgetManager::PushModal(Widget* widget) {
    if (widget == nullptr || widget->mWidgetManager != this || widget == mInputLock.get()) return;
    mModalStack.erase(std::remove(mModalStack.begin(), mModalStack.end(), widget), mModalStack.end());
    mModalStack.push_back(widget);
    RehupMouse();
}

void WidgetManager::PopModal(Widget* widget) {
    auto it = std::remove(mModalStack.begin(), mModalStack.end(), widget);
    if (it == mModalStack.end()) return;
    mModalStack.erase(it, mModalStack.end());
    RehupMouse();
}

void WidgetManager::LockInput() {
    mInputLock->Resize(0, 0, mWidth, mHeight);
    mInputLock->SetVisible(true);
}

void WidgetManager::UnlockInput() { mInputLock->SetVisible(false); }

bool WidgetManager::IsInputLocked() const { return mInputLock->mVisible; }

// ---------------------------------------------------------------- removal

void WidgetManager::WidgetRemoved(Widget* widget) {
    if (widget == mOverWidget) {
        mOverWidget = nullptr;
        widget->mIsOver = false;
        mRehupPending = true;
    }
    if (widget == mLastDownWidget) {
        mLastDownWidget = nullptr;
        widget->mIsDown = false;
    }
    if (widget == mFocusWidget) {
        mFocusWidget = nullptr;
        widget->mHasFocus = false;
    }
    auto it = std::remove(mModalStack.begin(), mModalStack.end(), widget);
    if (it != mModalStack.end()) {
        mModalStack.erase(it, mModalStack.end());
        mRehupPending = true;
    }
}

void WidgetManager::DisableWidget(Widget* widget) {
    if (widget == mLastDownWidget) {
        mLastDownWidget = nullptr;
        widget->mIsDown = false;
    }
    if (widget == mFocusWidget) {
        mFocusWidget = nullptr;
        if (mHasFocus) widget->LostFocus();
    }
    RehupMouse();
}

// ---------------------------------------------------------------- update, draw

void WidgetManager::UpdateFrame() {
    Update();
    UpdateTree(this);
    FlushPendingRehup();
}

void WidgetManager::UpdateMotionFrame(float fraction) {
    UpdateMotion(fraction);
    UpdateMotionTree(this, fraction);
    FlushPendingRehup();
}

void WidgetManager::MarkDirty() { mDirty = true; }

void WidgetManager::MarkDirtyFull() {
    mDirty = true;
    mDirtyFull = true;
}

void WidgetManager::DrawWidget(Widget* w, int parentAbsX, int parentAbsY) {
    if (!w->mVisible) return;
    WidgetLifeRef life = w->Life();
    int ax = parentAbsX + w->mX;
    int ay = parentAbsY + w->mY;
    Rect area(ax, ay, w->mWidth, w->mHeight);
    w->mDirty = false;
    if (!area.IsEmpty()) {
        Graphics g(mImage);
        g.SetClipRect(area);
        g.Translate(ax, ay);
        w->Draw(&g);
        if (life->mWidget != w) return;
    }
    w->ForEachChildSafe([&](Widget* child) { DrawWidget(child, ax, ay); });
    if (life->mWidget != w || area.IsEmpty()) return;
    Graphics g(mImage);
    g.SetClipRect(area);
    g.Translate(ax, ay);
    w->DrawOverlay(&g);
}

bool WidgetManager::DrawScreen() {
    if (mDrawing || mImage == nullptr || mImage->mWidth <= 0 || mImage->mHeight <= 0) return false;
    if (!mDirty && !mDirtyFull) return false;
    mDrawing = true;
    mDirty = false;
    mDirtyFull = false;
    mImage->FillRect(Rect(0, 0, mImage->mWidth, mImage->mHeight), Color(0, 0, 0, 255), DRAWMODE_NORMAL);
    ForEachChildSafe([&](Widget* w) { DrawWidget(w, 0, 0); });
    mDrawing = false;
    return true;
}

} // namespace Zephra
