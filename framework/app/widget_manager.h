#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "framework/app/widget.h"

namespace Zephra {

class MemoryImage;

// The root of the widget tree: routes input to widgets, keeps hover, press and
// keyboard-focus targets, the key states, modal layers and the input-lock
// layer, updates every widget and draws the visible ones into the screen image.
//
// Targets are forgotten the moment their widget leaves the tree, is disabled
// or is destroyed, so a handler may remove or delete any widget (itself
// included), or run a nested main-loop step, while it is being called.
class WidgetManager : public WidgetContainer {
public:
    uint8_t mKeyDown[256] = {};     // by virtual-key code
    bool mHasFocus = true;          // the application has the input focus
    int mLastMouseX = 0;
    int mLastMouseY = 0;
    bool mMouseIn = false;          // the pointer is over the picture
    int mDownButtons = 0;           // bit per held button (0 left, 1 right, 2 middle)
    Widget* mFocusWidget = nullptr;
    Widget* mOverWidget = nullptr;
    Widget* mLastDownWidget = nullptr;
    bool mDirtyFull = false;

    WidgetManager(int width = 800, int height = 600);
    ~WidgetManager() override;

    void SetSize(int width, int height);
    void SetScreenImage(MemoryImage* image) { mImage = image; MarkDirtyFull(); }
    MemoryImage* GetScreenImage() const { return mImage; }

    // Input, in picture coordinates. Click counts are signed as for
    // Widget::MouseDownFromClickCount.
    void MouseMove(int x, int y);
    void MouseDown(int x, int y, int clickCount);
    void MouseUp(int x, int y, int clickCount);
    void MouseWheel(int delta);
    void MouseExit();               // the pointer left the picture
    void KeyDown(int keyCode);
    void KeyUp(int keyCode);
    void KeyChar(char16_t ch);
    bool IsKeyDown(int keyCode) const;
    // The application gained or lost the input focus.
    void GotFocus();
    void LostFocus();

    // Topmost visible, mouse-visible widget under the point honouring the
    // input lock and the modal layer; none when that widget is disabled.
    Widget* GetWidgetAt(int x, int y, int* localX = nullptr, int* localY = nullptr);

    void SetFocus(Widget* widget) override;
    Widget* GetFocus() const { return mFocusWidget; }
    // Next (or previous) widget in tab order: tree order, parents before
    // children, among visible, enabled widgets that want the focus; wraps.
    void MoveFocus(bool forward);
    std::vector<Widget*> GetTabOrder();

    // Modal layers: while any is pushed only the top one and its descendants
    // receive mouse input. A widget leaving the tree leaves the stack.
    void PushModal(Widget* widget);
    void PopModal(Widget* widget);
    Widget* GetModal() const { return mModalStack.empty() ? nullptr : mModalStack.back(); }

    // The full-screen input-lock layer, above everything (modal layers too):
    // while shown it swallows all mouse input.
    void LockInput();
    void UnlockInput();
    bool IsInputLocked() const;
    Widget* GetInputLockWidget() const { return mInputLock.get(); }

    // One fixed step: Update on every widget (hidden ones too), parents first.
    void UpdateFrame();
    // The motion step with the step fraction, same order.
    void UpdateMotionFrame(float fraction);

    // Draws every visible widget into the screen image when anything asked for
    // a redraw; true when it drew.
    bool DrawScreen();

    void MarkDirty() override;
    void MarkDirtyFull() override;
    bool IsDirty() const { return mDirty || mDirtyFull; }

    // Re-evaluates the widget under the last mouse position (enter/leave).
    void RehupMouse();
    // The same, deferred to the end of the current input message or update.
    void RequestRehup() { mRehupPending = true; }
    void FlushPendingRehup();

    // Called by the widgets.
    void WidgetRemoved(Widget* widget);
    void DisableWidget(Widget* widget);

private:
    void SetOverWidget(Widget* widget);
    void DrawWidget(Widget* widget, int parentAbsX, int parentAbsY);
    Widget* HitTest(Widget* widget, int px, int py, int* localX, int* localY);

    MemoryImage* mImage = nullptr;
    std::vector<Widget*> mModalStack;
    std::unique_ptr<Widget> mInputLock;
    int mRehupDepth = 0;
    bool mRehupPending = false;
    bool mDrawing = false;
};

} // namespace Zephra
