#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "framework/graphics/rect.h"

namespace Zephra {

class Graphics;
class Widget;
class WidgetContainer;
class WidgetManager;

// Outlives its widget: whoever calls into a widget keeps the token and asks it
// afterwards whether the widget still exists (handlers may delete widgets,
// themselves included).
struct WidgetLife {
    WidgetContainer* mWidget = nullptr;
};
using WidgetLifeRef = std::shared_ptr<WidgetLife>;

// A rectangle (relative to the parent) holding child widgets in draw order:
// later children are drawn later and hit first.
class WidgetContainer {
public:
    int mX = 0;
    int mY = 0;
    int mWidth = 0;
    int mHeight = 0;
    std::vector<Widget*> mWidgets;              // not owned
    WidgetManager* mWidgetManager = nullptr;    // none while not in a tree
    WidgetContainer* mParent = nullptr;
    bool mDirty = false;
    int mUpdateCnt = 0;

    WidgetContainer();
    virtual ~WidgetContainer();
    WidgetContainer(const WidgetContainer&) = delete;
    WidgetContainer& operator=(const WidgetContainer&) = delete;

    Rect GetRect() const { return Rect(mX, mY, mWidth, mHeight); }

    // Appends a child once (a child of another container moves here), sets its
    // parent and attaches it to this container's manager. Null, the container
    // itself and its ancestors are refused.
    virtual void AddWidget(Widget* widget);
    // Detaches a child from the list, the manager and its parent.
    virtual void RemoveWidget(Widget* widget);
    bool HasWidget(const Widget* widget) const;
    // Removes every child; deletes it when asked; descends first when recursive.
    virtual void RemoveAllWidgets(bool doDelete = false, bool recursive = false);
    // The child is drawn last and hit first among its siblings.
    virtual void BringToFront(Widget* widget);
    // Only the widget manager acts on it.
    virtual void SetFocus(Widget* widget);

    // Set or clear the manager link of this widget and its children.
    virtual void AttachToManager(WidgetManager* manager);
    virtual void DetachFromManager();

    // One fixed update step: counts it.
    virtual void Update();
    // The per-step motion update with the step fraction (1 for a whole step).
    virtual void UpdateMotion(float fraction);

    virtual Point GetAbsPos() const;
    // Ask the parent (or, at the top, set the dirty flag) for a redraw.
    virtual void MarkDirty();
    virtual void MarkDirtyFull();

    const WidgetLifeRef& Life() const { return mLife; }

    // Runs fn on each child present when the walk began that is still alive
    // and still a child of this container when its turn comes. Stops when this
    // container itself goes away.
    template <class Fn>
    void ForEachChildSafe(Fn&& fn);

protected:
    WidgetLifeRef mLife;
};

// A control in the widget tree. New widgets are visible and mouse-visible.
class Widget : public WidgetContainer {
public:
    bool mVisible = true;
    bool mMouseVisible = true;  // takes part in hit tests
    bool mDisabled = false;
    bool mHasFocus = false;
    bool mIsDown = false;       // a mouse button went down on it and is still held
    bool mIsOver = false;       // the mouse is over it (hover tracking)
    bool mHasAlpha = false;

    Widget();
    ~Widget() override;

    // Sets the flag, requests a redraw and re-checks the mouse target.
    virtual void SetVisible(bool visible);
    // Disabling makes the manager forget the widget as mouse or focus target.
    virtual void SetDisabled(bool disabled);
    // Takes the new rectangle when it differs, redraws, re-checks the mouse.
    virtual void Resize(int x, int y, int width, int height);
    void Resize(const Rect& rect) { Resize(rect.mX, rect.mY, rect.mWidth, rect.mHeight); }
    virtual void Move(int x, int y);

    // Drawn translated to the widget's position and clipped to its rectangle;
    // the overlay after the children.
    virtual void Draw(Graphics* g);
    virtual void DrawOverlay(Graphics* g);

    virtual bool WantsFocus();
    virtual void GotFocus();
    virtual void LostFocus();

    // Tab and Shift+Tab move the focus along the tab order; nothing else.
    virtual void KeyDown(int keyCode);
    virtual void KeyUp(int keyCode);
    virtual void KeyChar(char16_t ch);

    // Mouse positions are relative to the widget.
    virtual void MouseEnter();
    virtual void MouseLeave();
    virtual void MouseMove(int x, int y);
    virtual void MouseDrag(int x, int y);
    // Signed click count: 3 -> button 2 count 1; n < 0 -> button 1 count -n;
    // otherwise button 0 (left) with that count.
    virtual void MouseDownFromClickCount(int x, int y, int clickCount);
    virtual void MouseDown(int x, int y, int button, int clickCount);
    // The plain mouse-up, then the button-up.
    virtual void MouseUpFromClickCount(int x, int y, int clickCount);
    virtual void MouseUpAt(int x, int y);
    virtual void MouseUp(int x, int y, int button, int clickCount);
    virtual void MouseWheel(int delta);

    // Called after the widget's place among its siblings changed.
    virtual void OrderInManagerChanged();
    // Point relative to the widget, inside its rectangle; false lets clicks
    // through transparent parts.
    virtual bool IsPointVisible(int x, int y);

    // Convenience spellings; override the distinct names above.
    void MouseDown(int x, int y, int clickCount) { MouseDownFromClickCount(x, y, clickCount); }
    void MouseUp(int x, int y) { MouseUpAt(x, y); }

    static void ButtonFromClickCount(int clickCount, int& button, int& count);
};

template <class Fn>
void WidgetContainer::ForEachChildSafe(Fn&& fn) {
    if (mWidgets.empty()) return;   // most widgets: no snapshot, no counted references
    WidgetLifeRef self = mLife;
    // The counts are taken with locked adds, which wait for each miss in
    // turn, and a frame's pixels have pushed the widgets out of the cache
    // since the last walk: their lines are asked for first, all at once.
    for (WidgetContainer* w : mWidgets) {
        __builtin_prefetch(w->mLife.get(), 1);
        const uintptr_t at = reinterpret_cast<uintptr_t>(w);
        for (uintptr_t line = 1; line < 6; ++line) __builtin_prefetch(reinterpret_cast<const void*>(at + 64 * line));
    }
    std::vector<WidgetLifeRef> snapshot;
    snapshot.reserve(mWidgets.size());
    for (WidgetContainer* w : mWidgets) snapshot.push_back(w->mLife);
    for (const WidgetLifeRef& life : snapshot) {
        if (self->mWidget != this) return;
        WidgetContainer* c = life->mWidget;
        if (c == nullptr || c->mParent != this) continue;
        fn(static_cast<Widget*>(c));
    }
}

} // namespace Zephra
