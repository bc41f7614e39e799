#include "game/ui/ui_control.h"

#include <algorithm>
#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/effects/effect_functions.h"
#include "game/effects/particles.h"

int UiTrunc(float value) {
    if (!(value == value)) return 0;
    if (value >= 2147483520.0f) return 2147483647;
    if (value <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(value);
}

UiControl::UiControl(UiControl* parent) : mParentControl(parent) { SetVisible(true); }

UiControl::~UiControl() {
    mEffect.reset();
    // Children first by their life tokens: one removed and deleted elsewhere
    // is not deleted twice.
    for (size_t i = 0; i < mChildren.size(); ++i) {
        Zephra::WidgetContainer* alive = mChildLives[i]->mWidget;
        if (alive != mChildren[i]) continue;
        if (mChildren[i]->mParent == this) RemoveWidget(mChildren[i]);
        delete mChildren[i];
    }
    RemoveAllWidgets(true, false);
    mChildren.clear();
    mChildLives.clear();
    mChildNames.clear();
    for (auto& [table, name] : mHeldTextures) table->Release(name);
}

void UiControl::AttachToManager(Zephra::WidgetManager* manager) { Widget::AttachToManager(manager); }

void UiControl::DetachFromManager() { Widget::DetachFromManager(); }

float UiControl::StepSeconds() {
    OfficeApp* app = GetApp();
    return static_cast<float>((app ? app->mUpdateInterval : 10) / 1000.0);
}

void UiControl::Update() {
    const float dt = StepSeconds();
    if (mEffect) mEffect->Update(dt);
    const float s = AncestorScale();
    const float sx = static_cast<float>(mScalePoint.x);
    const float sy = static_cast<float>(mScalePoint.y);
    const int x = UiTrunc(((static_cast<float>(mLayoutRect.mX + mOffset.x) - sx) * mScale + sx) * s);
    const int y = UiTrunc(((static_cast<float>(mLayoutRect.mY + mOffset.y) - sy) * mScale + sy) * s);
    const int w = UiTrunc(static_cast<float>(mLayoutRect.mWidth) * mScale * s);
    const int h = UiTrunc(static_cast<float>(mLayoutRect.mHeight) * mScale * s);
    Widget::Resize(x, y, w, h);
    WidgetContainer::Update();
    if (mEffect) {
        if (OfficeApp* app = GetApp()) {
            if (ParticleRegistry* registry = app->GetParticleRegistry()) registry->UpdateOwner(mEffect.get(), dt);
        }
    }
    MarkDirty();
}

void UiControl::Draw(Zephra::Graphics* g) {
    Widget::Draw(g);
    if (mEffect) FireRenderPS(mEffect.get(), g);
}

void UiControl::SetVisible(bool visible) {
    Widget::SetVisible(visible);
    mShowing = 0;
    mHiding = 0;
    if (visible) {
        Activate();
    } else {
        Deactivate();
    }
}

void UiControl::Resize(int x, int y, int width, int height) {
    mLayoutRect = Zephra::Rect(x, y, width, height);
    Widget::Resize(x, y, width, height);
}

void UiControl::Move(int x, int y) { Resize(x, y, mLayoutRect.mWidth, mLayoutRect.mHeight); }

void UiControl::Activate() {
    OnActivate();
    mInactive = 0;
}

void UiControl::Deactivate() {
    OnDeactivate();
    mInactive = 1;
}

void UiControl::Show() {
    if (mShowing) return;
    if (mEffect) {
        mHiding = 0;
        mShowing = 1;
        // An effect without "onshow" must not leave the control hidden for good.
        if (!mEffect->FireMessage("onshow")) SetVisible(true);
    } else {
        SetVisible(true);
    }
    OnShow();
}

void UiControl::Hide() {
    if (mHiding) return;
    OnHide();
    if (mEffect) {
        mHiding = 1;
        mShowing = 0;
        if (!mEffect->FireMessage("onhide")) SetVisible(false);
    } else {
        SetVisible(false);
    }
}

void UiControl::ForEachNamedChild(void (UiControl::*action)()) {
    // By life tokens: a handler may delete a sibling.
    std::vector<Zephra::WidgetLifeRef> lives;
    for (auto& [name, child] : mChildNames) lives.push_back(child->Life());
    for (const Zephra::WidgetLifeRef& life : lives)
        if (auto* child = dynamic_cast<UiControl*>(life->mWidget)) (child->*action)();
}

void UiControl::ShowChildren() { ForEachNamedChild(&UiControl::Show); }

void UiControl::HideChildren() { ForEachNamedChild(&UiControl::Hide); }

void UiControl::AddChild(const std::string& name, UiControl* control) {
    if (control == nullptr) return;
    mChildren.push_back(control);
    mChildLives.push_back(control->Life());
    AddWidget(control);
    mChildNames[name] = control;
}

UiControl* UiControl::FindChild(const std::string& name) const {
    auto it = mChildNames.find(name);
    return it != mChildNames.end() ? it->second : nullptr;
}

void UiControl::LoadCommon(XmlNode element) {
    int32_t x = 0, y = 0, width = 0, height = 0;
    XmlGetAttrCoord(element, "x", x);
    XmlGetAttrCoord(element, "y", y);
    XmlGetAttrCoord(element, "width", width);
    XmlGetAttrCoord(element, "height", height);
    Resize(x, y, width, height);

    uint8_t flag = 1;
    XmlGetAttrBool(element, "has_alpha", flag);
    mHasAlpha = flag != 0;
    flag = 1;
    XmlGetAttrBool(element, "mousevisible", flag);
    mMouseVisible = flag != 0;

    std::string effect;
    if (XmlGetAttrString(element, "effect", effect)) {
        if (effect.size() > 259) effect.resize(259);
        SetEffect(effect);
    }

    XmlGetAttrCoord(element, "scalepointx", mScalePoint.x);
    XmlGetAttrCoord(element, "scalepointy", mScalePoint.y);
}

void UiControl::SetEffect(const std::string& effectName) {
    if (effectName.empty()) return;
    mEffect = CreateScriptObject(effectName);
    if (!mEffect) return;
    mEffect->SetParamPtr(kUiParamAlpha, &mAlpha);
    mEffect->SetParamPtr(kUiParamVisible, reinterpret_cast<uint8_t*>(&mVisible));
    mEffect->SetParamPtr(kUiParamOffset, &mOffset);
    mEffect->SetParamPtr(kUiParamScalePoint, &mScalePoint);
    mEffect->SetParamPtr(kUiParamScale, &mScale);
    mEffect->SetParamPtr<EffectTarget>(kUiParamControl, this);
    mEffect->SetParamPtr(kUiParamChildren, &mChildren);
}

float UiControl::AlphaProduct() const {
    float a = mAlpha;
    for (const UiControl* p = mParentControl; p != nullptr; p = p->mParentControl) a *= p->mAlpha;
    if (!(a > 0.0f)) return 0.0f;
    return a > 1.0f ? 1.0f : a;
}

int UiControl::DrawAlpha(int alpha) const { return UiTrunc(static_cast<float>(alpha) * AlphaProduct()); }

float UiControl::AncestorScale() const {
    float s = 1.0f;
    for (const UiControl* p = mParentControl; p != nullptr; p = p->mParentControl) s *= p->mScale;
    return s;
}

float UiControl::ScaleProduct() const { return mScale * AncestorScale(); }

Zephra::MemoryImage* UiControl::AcquireTexture(OfficeApp* app, const std::string& name) {
    if (app == nullptr || name.empty()) return nullptr;
    TextureTable* table = app->GetTextureTable();
    if (table == nullptr) return nullptr;
    Zephra::MemoryImage* image = table->Acquire(name);
    if (image != nullptr) mHeldTextures.emplace_back(table, name);
    return image;
}

XmlNode UiControl::ChildById(XmlNode element, const char* child, const char* id) {
    for (XmlNode n = element.child(child); n; n = n.next_sibling(child)) {
        if (std::string(n.attribute("id").as_string()) == id) return n;
    }
    return XmlNode();
}

bool UiControl::LoadTexture(XmlNode element, const char* id, OfficeApp* app, Zephra::MemoryImage*& image,
                            Zephra::Rect& src, int width, int height) {
    XmlNode tex = ChildById(element, "texture", id);
    if (!tex) return false;
    std::string name;
    XmlGetAttrString(tex, "texture", name);
    int32_t u = 0, v = 0;
    XmlGetAttrCoord(tex, "u", u);
    XmlGetAttrCoord(tex, "v", v);
    image = AcquireTexture(app, name);
    src = Zephra::Rect(u, v, width, height);
    return true;
}
