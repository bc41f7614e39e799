#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "framework/app/widget.h"
#include "framework/graphics/color.h"
#include "framework/graphics/rect.h"
#include "game/app/xml_access.h"
#include "game/effects/effect_target.h"
#include "game/effects/script_object.h"

namespace Zephra {
class Font;
class Graphics;
class Image;
class MemoryImage;
} // namespace Zephra

class OfficeApp;
class TextureTable;

// The base of every control that "cfg\ui.xml" describes. On top of the widget
// it keeps an unscaled layout rectangle, an offset, a scale about a scale
// point and an alpha (all four animated by the control's effect script), the
// owned child controls with a name index, and the show/hide protocol.
//
// The widget rectangle is derived from the layout one at every Update:
//   x = ((layout x + offset x - scale point x) * scale + scale point x) * S
// (y likewise), width = layout width * scale * S, where S is the product of
// the ancestors' scales. Hit tests and scrolling use the layout sizes.
//
// Visible and active go together: SetVisible(true) activates, SetVisible(false)
// deactivates. Show and Hide are the animated variants: with an effect they
// fire "onshow" / "onhide" and leave the visible change to the effect (DlgShow,
// DlgHide), while the showing or hiding flag blocks a second call.
class UiControl : public Zephra::Widget, public EffectTarget {
public:
    EffectPoint mOffset;                    // effect parameter 3
    float mScale = 1.0f;                    // effect parameter 4
    EffectPoint mScalePoint;                // in the parent's coordinates; effect parameter 5
    float mAlpha = 1.0f;                    // effect parameter 1
    std::unique_ptr<ScriptObject> mEffect;  // the "effect" attribute's script, or none
    Zephra::Rect mLayoutRect;               // as loaded or last set by Resize/Move
    UiControl* mParentControl;              // whose scale and alpha multiply into this one's
    std::vector<UiControl*> mChildren;      // owned, in insertion order; effect parameter 7
    std::map<std::string, UiControl*> mChildNames;
    uint8_t mInactive = 1;                  // set by Deactivate, cleared by Activate
    uint8_t mHiding = 0;                    // a Hide runs through "onhide"
    uint8_t mShowing = 0;                   // a Show runs through "onshow"

    // Visible and active once made.
    explicit UiControl(UiControl* parent);
    // Deletes the effect and every child, and releases the textures that its
    // own loading acquired.
    ~UiControl() override;

    void AttachToManager(Zephra::WidgetManager* manager) override;
    void DetachFromManager() override;
    // Steps the effect, lays the widget out from the layout rectangle, steps
    // the effect's particles and asks for a redraw.
    void Update() override;
    // Particles of the effect ("render_ps").
    void Draw(Zephra::Graphics* g) override;
    // Ends a running Show or Hide; activates or deactivates.
    void SetVisible(bool visible) override;
    // Store the layout rectangle; the next Update applies offset and scale.
    void Resize(int x, int y, int width, int height) override;
    void Move(int x, int y) override;
    using Zephra::Widget::Resize;

    virtual void OnShow() {}
    virtual void OnHide() {}
    virtual void OnActivate() {}
    virtual void OnDeactivate() {}
    virtual void Activate();
    virtual void Deactivate();
    virtual void Show();
    // In the order of the children's names.
    virtual void ShowChildren();
    virtual void HideChildren();
    virtual void Hide();
    // The control becomes an owned child; a second child under a name replaces
    // the name's entry, both stay children.
    virtual void AddChild(const std::string& name, UiControl* control);
    virtual UiControl* FindChild(const std::string& name) const;

    // The attributes every control element has: "x", "y", "width", "height",
    // "has_alpha", "mousevisible", "effect", "scalepointx", "scalepointy".
    void LoadCommon(XmlNode element);
    // Makes the named effect the control's script and binds its parameters;
    // an empty name leaves the control without one.
    void SetEffect(const std::string& effectName);
    ScriptObject* GetEffect() const { return mEffect.get(); }

    const Zephra::Rect& GetLayoutRect() const { return mLayoutRect; }
    UiControl* GetParentControl() const { return mParentControl; }
    bool IsInactive() const { return mInactive != 0; }
    // Own alpha times every ancestor's, kept within 0..1.
    float AlphaProduct() const;
    // 255 (or the colour's alpha) scaled by the alpha product, truncated.
    int DrawAlpha(int alpha = 255) const;
    // Own scale times every ancestor's.
    float ScaleProduct() const;
    // The ancestors' scales only.
    float AncestorScale() const;

    // The first child element named child whose "id" is the given word
    // ("texture", "normal").
    static XmlNode ChildById(XmlNode element, const char* child, const char* id);

    // EffectTarget.
    Zephra::Rect GetEffectRect() const override { return GetRect(); }
    void EffectSetVisible(bool visible) override { SetVisible(visible); }
    bool IsEffectMouseOver() const override { return mIsOver; }

protected:
    // Seconds per fixed update step of the running application.
    static float StepSeconds();
    // A texture acquired by name for the control's life: released by the
    // destructor. Null when the table lacks the name (nothing is held then).
    Zephra::MemoryImage* AcquireTexture(OfficeApp* app, const std::string& name);
    // "texture", "u", "v" of a texture element: the texture acquired for the
    // control's life and the source rectangle (u, v, width, height). False
    // when the element is absent.
    bool LoadTexture(XmlNode element, const char* id, OfficeApp* app, Zephra::MemoryImage*& image,
                     Zephra::Rect& src, int width, int height);

private:
    // In the order of the names.
    void ForEachNamedChild(void (UiControl::*action)());

    std::vector<Zephra::WidgetLifeRef> mChildLives;
    std::vector<std::pair<TextureTable*, std::string>> mHeldTextures;
};

// Truncation toward zero that stays defined for any float.
int UiTrunc(float value);
