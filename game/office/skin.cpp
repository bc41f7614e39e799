#include "game/office/skin.h"
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "framework/graphics/graphics.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/effects/effect_functions.h"
#include "game/effects/particles.h"
#include "game/office/item.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"

namespace {

// Packed 0xRRGGBBAA, as effects write skin colours.
Zephra::Color ColorFromRgba(uint32_t rgba) {
    return Zephra::Color((rgba >> 24) & 0xFF, (rgba >> 16) & 0xFF, (rgba >> 8) & 0xFF, rgba & 0xFF);
}

int ClampAlpha(float a) { return std::clamp(static_cast<int>(a), 0, 255); }

bool IsHighlighted(const Item* owner) {
    const Item* hovered = LevelHoveredObject();
    if (!hovered || !owner) return false;
    if (hovered == owner) return true;
    const std::vector<Item*>& pairs = hovered->GetPairItems();
    return std::find(pairs.begin(), pairs.end(), owner) != pairs.end();
}

} // namespace

Skin::Skin(Item* owner) : owner_(owner), player_(std::make_unique<AnimPlayer>(this)) {
    EffectPart part;
    part.offset = &effOffset_;
    part.scale = &effScale_;
    part.scalePoint = &effScalePoint_;
    part.alpha = &effAlpha_;
    part.visible = &visible_;
    part.flag = &effFlag_;
    part.color = &effColor_;
    part.color2 = &effColor2_;
    part.tint = &effTint_;
    part.skin = this;
    partList_.Add(part);
    if (owner_) owner_->GetPartRecords().Add(part);
}

Skin::~Skin() {
    // Particle systems drawn for this skin's script go with it.
    if (script_) {
        if (OfficeApp* app = GetApp()) {
            if (ParticleRegistry* registry = app->GetParticleRegistry()) registry->RemoveOwner(script_.get());
        }
    }
    ReleaseImages();
}

void Skin::Load(XmlNode element) {
    XmlGetAttrString(element, "name", name_);
    noOrientation_ = name_ == kCheckmarkName ? 1 : 0;
    XmlGetAttrString(element, "parent_z", parentLink_);
    std::string effect, font, subFont;
    XmlGetAttrString(element, "effect", effect);
    if (XmlGetAttrString(element, "font", font) && !font.empty() && GetApp()) font_ = GetApp()->GetFont(font);
    if (XmlGetAttrString(element, "sub_font", subFont) && !subFont.empty() && GetApp())
        subFont_ = GetApp()->GetFont(subFont);
    XmlGetAttrCoord(element, "offs_x", offset_.mX);
    XmlGetAttrCoord(element, "offs_y", offset_.mY);
    XmlGetAttrCoord(element, "scale_point_x", scalePoint_.mX);
    XmlGetAttrCoord(element, "scale_point_y", scalePoint_.mY);
    for (XmlNode exchange : element.children("exchange_skin")) {
        std::string from, to;
        XmlGetAttrString(exchange, "from", from);
        XmlGetAttrString(exchange, "to", to);
        exchange_[from] = to;
    }
    int32_t mirror = 0;
    if (XmlGetAttrInt(element, "mirror", mirror)) mirror_ = mirror != 0 ? 1 : 0;
    for (int i = 0; i < kOrderPoints; ++i) {
        const std::string x = "order" + std::to_string(i) + "_x";
        const std::string y = "order" + std::to_string(i) + "_y";
        XmlGetAttrCoord(element, x.c_str(), orderPoints_[i].mX);
        XmlGetAttrCoord(element, y.c_str(), orderPoints_[i].mY);
    }
    if (!effect.empty()) {
        script_ = CreateScriptObject(effect);
        script_->SetParamPtr(kObjParamParts, &partList_);
        script_->SetParamPtr(kObjParamVisible, &visible_);
        script_->FireMessage("oncreate");
    }
    if (!player_->Load(name_)) {
        if (OfficeApp* app = GetApp()) app->Warn("skin \"" + name_ + "\" has no animations: " + player_->LastError());
    }
}

void Skin::Select(const std::string& skinName) {
    auto it = exchange_.find(skinName);
    skinName_ = it != exchange_.end() ? it->second : skinName;
    FireMessage("onsetskin");
}

void Skin::SetOrientation(const std::string& orientation, bool replay) {
    orientation_ = orientation;
    if (!orientation.empty()) {
        static const char* const kMirrored[][2] = {{"mbr", "br"}, {"mtr", "tr"}, {"mtl", "tl"},
                                                   {"mbl", "bl"}, {"mr", "r"}};
        mirror_ = 0;
        if (orientation[0] == 'm') {
            for (const auto& pair : kMirrored) {
                if (orientation == pair[0]) orientation_ = pair[1];
            }
            mirror_ = 1;
        }
    }
    if (replay && player_->IsPlaying()) {
        player_->Play(LookupPrefix() + animName_, true);
        AcquireImages();
    }
}

std::string Skin::LookupPrefix() const {
    return name_ + skinName_ + (noOrientation_ ? std::string() : orientation_);
}

bool Skin::PlayAnim(const std::string& animName, bool keep) {
    if (animName.empty()) return false;
    if (!player_->Play(LookupPrefix() + animName, keep)) return false;
    animName_ = animName;
    return true;
}

bool Skin::AcquireImages() {
    if (!player_->HasData()) return false;
    const std::string key = skinName_ + (noOrientation_ ? std::string() : orientation_);
    OfficeApp* app = GetApp();
    for (int i = 0; i < player_->GetRecordCount(); ++i) {
        AnimRecord* record = player_->GetRecordAt(i);
        if (record->image.GetImage() || record->animName.find(key) == std::string::npos) continue;
        if (app) record->image = app->GetSharedImage(record->imageName);
    }
    return true;
}

void Skin::ReleaseImages() {
    for (int i = 0; i < player_->GetRecordCount(); ++i) player_->GetRecordAt(i)->image.Release();
}

void Skin::Start(bool start) {
    if (!start) return;
    FireMessage("onstart");
    Select(skinName_);
}

void Skin::SetVisible(bool visible) {
    if (FireMessage(visible ? "onshow" : "onhide")) return;
    visible_ = visible ? 1 : 0;
}

bool Skin::IsVisible() const { return visible_ != 0 && (!owner_ || owner_->IsVisible()); }

void Skin::SetText(const std::u16string& text, int width, int height) {
    hasText_ = text.empty() ? 0 : 1;
    textChanged_ = 1;
    text_ = text;
    labelWidth_ = width;
    labelHeight_ = height;
}

bool Skin::Stop() { return player_->Stop(); }
bool Skin::Pause() { return player_->Pause(); }
bool Skin::Resume() { return player_->Resume(); }
void Skin::SetStopFrame(int n) { player_->SetStopFrame(n); }
bool Skin::LoadAnim(const std::string& name) { return player_->Load(name); }
float Skin::GetDuration() const { return player_->GetDuration(); }

bool Skin::FireMessage(std::string_view name) { return script_ ? script_->FireMessage(name) : false; }

void Skin::SetMessageEnabled(std::string_view name, bool enabled) {
    if (script_) script_->SetMessageEnabled(name, enabled);
}

bool Skin::IsMessageEnabled(std::string_view name) const {
    return script_ ? script_->IsMessageEnabled(name) : false;
}

bool Skin::HasMessage(std::string_view name) const { return script_ ? script_->HasMessage(name) : false; }

void Skin::Update() {
    if (!visible_) return;
    if (script_) {
        script_->Update(gFrameTime);
        if (OfficeApp* app = GetApp()) {
            if (ParticleRegistry* registry = app->GetParticleRegistry())
                registry->UpdateOwner(script_.get(), gFrameTime);
        }
    }
    UpdateAnim();
}

void Skin::UpdateAnim() {
    bool done = false;
    player_->Update(done);
    if (done && owner_) owner_->OnAnimFinished(this, animName_);
}

EffectPoint Skin::GetEffectPosition() const {
    Zephra::Point p = owner_ ? owner_->OffsetPoint(offset_) : offset_;
    const AnimRecord* record = player_->GetRecord();
    const AnimFrame* frame = player_->GetFrame();
    if (record && frame) {
        p.mX += record->boxWidth - (frame->width + frame->offsX);
        p.mY += frame->offsY;
    }
    return {p.mX + scalePoint_.mX, p.mY + scalePoint_.mY};
}

void Skin::UpdateEffectPosition() {
    if (!script_) return;
    const EffectPoint p = GetEffectPosition();
    script_->SetParam(kObjParamX, p.x + 100);
    script_->SetParam(kObjParamY, p.y + 75);
    std::snprintf(orientationParam_, sizeof orientationParam_, "%s", orientation_.c_str());
    script_->SetParamPtr(kObjParamOrientation, orientationParam_);
    script_->SetParamPtr(kObjParamMirror, &mirror_);
}

void Skin::MakeLabel() {
    OfficeApp* app = GetApp();
    label_.reset(app ? app->CreateImage() : new Zephra::MemoryImage(nullptr));
    label_->Create(std::max(labelWidth_, 1), std::max(labelHeight_, 1));
    Zephra::Graphics g(label_.get());
    const Zephra::Rect rect(0, 0, labelWidth_, labelHeight_);
    if (subFont_) {
        g.SetFont(subFont_);
        g.SetColor(ColorFromRgba(effColor2_));
        g.WriteWordWrapped(rect, text_, -1, 0);
    }
    if (font_) {
        g.SetFont(font_);
        g.SetColor(ColorFromRgba(effColor_));
        g.WriteWordWrapped(rect, text_, -1, 0);
    }
    label_->BitsChanged();
}

void Skin::Draw(Zephra::Graphics& g) {
    if (!IsVisible()) return;
    if (!player_->IsPlayingOrPaused() && !hasText_) return;
    Zephra::Point origin = owner_ ? owner_->OffsetPoint(offset_) : offset_;
    origin.mX += effOffset_.x;
    origin.mY += effOffset_.y;
    if (hasText_) {
        if (textChanged_ || !label_) MakeLabel();
        textChanged_ = 0;
        AnimRecord record;
        record.boxWidth = labelWidth_;
        AnimFrame frame;
        frame.width = labelWidth_;
        frame.height = labelHeight_;
        DrawFrame(g, origin, &record, &frame, label_.get());
    } else {
        const AnimRecord* record = player_->GetRecord();
        DrawFrame(g, origin, record, player_->GetFrame(), record ? record->image.GetImage() : nullptr);
    }
    if (script_) FireRenderPS(script_.get(), &g);
}

void Skin::DrawFrame(Zephra::Graphics& g, Zephra::Point origin, const AnimRecord* record, const AnimFrame* frame,
                     Zephra::Image* picture) {
    if (!record || !frame || !picture) return;
    const bool mirrored = mirror_ && !noOrientation_;
    const bool highlighted = IsHighlighted(owner_);
    const Zephra::Color savedColor = g.GetColor();
    const bool savedColorize = g.GetColorizeImages();
    const int savedMode = g.GetDrawMode();
    if (effTint_ != 0) {
        g.SetColor(Zephra::Color(effTint_));
        g.SetColorizeImages(true);
    }
    if (effAlpha_ != 1.0f) {
        if (!g.GetColorizeImages()) {
            g.SetColorizeImages(true);
            g.SetColor(Zephra::Color(255, 255, 255, ClampAlpha(255.0f * effAlpha_)));
        } else {
            Zephra::Color c = g.GetColor();
            c.mAlpha = ClampAlpha(static_cast<float>(c.mAlpha) * effAlpha_);
            g.SetColor(c);
        }
    }
    const Zephra::Color drawColor = g.GetColor();
    const bool drawColorize = g.GetColorizeImages();
    const Zephra::Rect src(frame->x, frame->y, frame->width, frame->height);
    for (int i = 0; i < repeatCount_; ++i) {
        const int x = origin.mX + (mirrored ? record->boxWidth - (frame->width + frame->offsX) : frame->offsX);
        const int y = origin.mY + frame->offsY;
        Zephra::Rect dest(x, y, frame->width, frame->height);
        if (std::fabs(effScale_ - 1.0f) >= 0.01f) {
            const float pivotX = static_cast<float>(x + scalePoint_.mX + effScalePoint_.x);
            const float pivotY = static_cast<float>(y + scalePoint_.mY + effScalePoint_.y);
            dest = Zephra::Rect(static_cast<int>((static_cast<float>(x) - pivotX) * effScale_ + pivotX),
                                static_cast<int>((static_cast<float>(y) - pivotY) * effScale_ + pivotY),
                                static_cast<int>(static_cast<float>(frame->width) * effScale_),
                                static_cast<int>(static_cast<float>(frame->height) * effScale_));
        }
        g.DrawImageMirror(picture, dest, src, mirrored);
        if (highlighted) {
            g.SetDrawMode(Zephra::DRAWMODE_ADDITIVE);
            g.SetColorizeImages(true);
            g.SetColor(Zephra::Color(255, 255, 255, kHighlightAlpha));
            g.DrawImageMirror(picture, dest, src, mirrored);
            // The next repeat draws as the first did.
            g.SetDrawMode(savedMode);
            g.SetColorizeImages(drawColorize);
            g.SetColor(drawColor);
        }
        origin.mX += repeatStep_.x;
        origin.mY += repeatStep_.y;
    }
    g.SetColor(savedColor);
    g.SetColorizeImages(savedColorize);
    g.SetDrawMode(savedMode);
}

bool Skin::HitTest(Zephra::Point point) const {
    if (hasText_ || !IsVisible()) return false;
    const AnimRecord* record = player_->GetRecord();
    const AnimFrame* frame = player_->GetFrame();
    auto* picture = record ? dynamic_cast<Zephra::MemoryImage*>(record->image.GetImage()) : nullptr;
    if (!frame || !picture) return false;
    int px = point.mX - offset_.mX;
    int py = point.mY - offset_.mY;
    if (owner_) {
        px -= owner_->GetPosX() + owner_->GetOffsX();
        py -= owner_->GetPosY() + owner_->GetOffsY();
    }
    const bool mirrored = mirror_ && !noOrientation_;
    // A mirrored frame shows its columns right to left.
    const int left = mirrored ? record->boxWidth - (frame->width + frame->offsX) : frame->offsX;
    const int column = mirrored ? frame->x + frame->width - 1 - (px - left) : frame->x + px - left;
    const int row = py - frame->offsY + frame->y;
    if (column < frame->x || column >= frame->x + frame->width || row < frame->y ||
        row >= frame->y + frame->height)
        return false;
    // The frame may claim more than the picture holds.
    if (column < 0 || row < 0 || column >= picture->mWidth || row >= picture->mHeight) return false;
    const uint32_t* bits = picture->GetBits();
    if (!bits) return false;
    return (bits[static_cast<size_t>(row) * picture->mWidth + column] >> 24) > 10;
}
