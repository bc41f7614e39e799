#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include "framework/graphics/rect.h"
#include "game/app/xml_access.h"
#include "game/effects/script_object.h"
#include "game/office/anim_player.h"

namespace Zephra {
class Font;
class Graphics;
class MemoryImage;
} // namespace Zephra

class Item;

// One visual part of an office object: an animation of one ".anm" file, or a
// text label, drawn at the object's position with its offset, optionally
// mirrored, scaled, faded and tinted by effects. The animation shown is found
// by name + skin name + orientation + animation name.
class Skin {
public:
    static constexpr int kOrderPoints = 3;
    static constexpr int kHighlightAlpha = 50;
    // The name of the queue-sign part; such parts ignore orientation.
    static constexpr const char* kCheckmarkName = "checkmark";

    explicit Skin(Item* owner);
    ~Skin();
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;

    // Reads a "part" element, makes its script and loads "anm\<name>.anm".
    void Load(XmlNode element);

    void Select(const std::string& skinName);
    void SetOrientation(const std::string& orientation, bool replay);
    bool PlayAnim(const std::string& animName, bool keep);
    // Fetches the pictures of the records the current skin and orientation
    // use; false when the player has no data.
    bool AcquireImages();
    void ReleaseImages();
    void Start(bool start);

    // Fires "onshow"/"onhide"; sets the byte only when the script left it.
    void SetVisible(bool visible);
    void SetVisibleFlag(bool visible) { visible_ = visible ? 1 : 0; }
    // The byte and the owner's own visibility.
    bool IsVisible() const;
    bool GetVisibleFlag() const { return visible_ != 0; }

    void SetText(const std::u16string& text, int width, int height);
    bool HasText() const { return hasText_ != 0; }
    const std::u16string& GetText() const { return text_; }

    void SetScale(float scale) { effScale_ = scale; }
    float GetScale() const { return effScale_; }
    void ResetScale() { effScale_ = 1.0f; }
    void SetScalePoint(int x, int y) { effScalePoint_ = {x, y}; }
    EffectPoint GetScalePoint() const { return effScalePoint_; }

    // Forwarded to the player.
    bool Stop();
    bool Pause();
    bool Resume();
    void SetStopFrame(int n);
    bool LoadAnim(const std::string& name);
    float GetDuration() const;

    // Forwarded to the script; nothing or false without one.
    bool FireMessage(std::string_view name);
    void SetMessageEnabled(std::string_view name, bool enabled);
    bool IsMessageEnabled(std::string_view name) const;
    bool HasMessage(std::string_view name) const;

    void Update();
    void UpdateAnim();

    EffectPoint GetEffectPosition() const;
    void UpdateEffectPosition();

    void Draw(Zephra::Graphics& g);
    void DrawFrame(Zephra::Graphics& g, Zephra::Point origin, const AnimRecord* record, const AnimFrame* frame,
                   Zephra::Image* picture);
    bool HitTest(Zephra::Point point) const;

    Item* GetOwner() const { return owner_; }
    AnimPlayer* GetPlayer() { return player_.get(); }
    const AnimPlayer* GetPlayer() const { return player_.get(); }
    ScriptObject* GetScript() const { return script_.get(); }
    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::string& GetSkinName() const { return skinName_; }
    const std::string& GetOrientation() const { return orientation_; }
    const std::string& GetAnimName() const { return animName_; }
    // "object:skin" from "parent_z"; empty when none.
    const std::string& GetParentLink() const { return parentLink_; }
    bool IsMirrored() const { return mirror_ != 0; }
    bool IgnoresOrientation() const { return noOrientation_ != 0; }
    Zephra::Point GetOffset() const { return offset_; }
    Zephra::Point GetBaseScalePoint() const { return scalePoint_; }
    Zephra::Point GetOrderPoint(int i) const { return orderPoints_[i]; }
    void SetOrderPoint(int i, Zephra::Point point) { orderPoints_[i] = point; }

    // Effect fields (written by effects through the part list).
    EffectPoint& EffectOffset() { return effOffset_; }
    float& Alpha() { return effAlpha_; }
    uint8_t& Flag() { return effFlag_; }
    uint32_t& Color() { return effColor_; }
    uint32_t& Color2() { return effColor2_; }
    uint32_t& Tint() { return effTint_; }
    int& RepeatCount() { return repeatCount_; }
    EffectPoint& RepeatStep() { return repeatStep_; }
    EffectPartList& GetPartList() { return partList_; }

private:
    // name + skin name + orientation (unless ignored).
    std::string LookupPrefix() const;
    void MakeLabel();

    Item* owner_;
    std::unique_ptr<AnimPlayer> player_;
    std::string skinName_;
    std::string orientation_;
    std::map<std::string, std::string> exchange_;
    std::string name_;
    std::string animName_;
    std::string parentLink_;
    uint8_t visible_ = 1;
    Zephra::Point scalePoint_;
    Zephra::Point offset_;
    Zephra::Point orderPoints_[kOrderPoints];
    uint8_t mirror_ = 0;
    uint8_t noOrientation_ = 0;

    EffectPoint effOffset_;
    float effScale_ = 1.0f;
    EffectPoint effScalePoint_;
    float effAlpha_ = 1.0f;
    uint8_t effFlag_ = 0;
    uint32_t effColor_ = 0;
    uint32_t effColor2_ = 0;
    uint32_t effTint_ = 0;
    int repeatCount_ = 1;
    EffectPoint repeatStep_;

    Zephra::Font* font_ = nullptr;
    Zephra::Font* subFont_ = nullptr;
    std::u16string text_;
    int labelWidth_ = 0;
    int labelHeight_ = 0;
    uint8_t hasText_ = 0;
    uint8_t textChanged_ = 0;
    std::unique_ptr<Zephra::MemoryImage> label_;

    std::unique_ptr<ScriptObject> script_;
    EffectPartList partList_;
    // Parameter 265: rewritten in place, so effects may keep the pointer.
    char orientationParam_[16] = {};
};
