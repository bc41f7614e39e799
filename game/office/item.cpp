#include "game/office/item.h"
#include <algorithm>
#include <cstdlib>
#include "game/app/game_util.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/skin.h"
#include "game/office/z_order.h"

namespace {

constexpr size_t kNameCapacity = 260;

// Whitespace-separated integers taken in pairs; an odd one at the end is dropped.
std::vector<platform::Point> ParseRegion(const std::string& text) {
    std::vector<platform::Point> points;
    const char* p = text.c_str();
    bool haveX = false;
    int x = 0;
    while (*p) {
        while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
        if (!*p) break;
        const char* start = p;
        while (*p && *p != ' ' && *p != '\t' && *p != '\n' && *p != '\r') ++p;
        const int value = ClampCoordinate(std::strtol(std::string(start, p).c_str(), nullptr, 10));
        if (!haveX) {
            x = value;
            haveX = true;
        } else {
            points.push_back({x, value});
            haveX = false;
        }
    }
    return points;
}

bool IsMovingPart(const std::string& name) {
    return name == "cash" || name == "bonus" || name == "boss" || name == "secretary" || name == "engineer";
}

void ResolveNames(const std::vector<std::string>& names, std::vector<Item*>& out) {
    out.clear();
    for (const std::string& name : names) {
        if (Item* item = FindObject(name)) out.push_back(item);
    }
}

} // namespace

Item::Item() {
    partRecords_.done = &active_;
    gObjects.push_back(this);
}

Item::~Item() {
    script_.reset();
    parts_.clear();
    region_.reset();
    auto it = std::find(gObjects.begin(), gObjects.end(), this);
    if (it != gObjects.end()) gObjects.erase(it);
}

void Item::SetActive(bool active) {
    active_ = active ? 1 : 0;
    SetSkin(skinName_, false);
    if (active) {
        ResolveNames(pairItemNames_, pairItems_);
        ResolveNames(pickNames_, picks_);
    }
    for (auto& part : parts_) part->Start(active);
}

void Item::UpdateHover(Zephra::Point, bool) {}

void Item::OnNotify(int) {}

void Item::Reset() {
    stateKey_.clear();
    for (auto& part : parts_) part->ReleaseImages();
    visible_ = 0;
    SetActive(false);
}

void Item::OnCommand(XmlNode node) {
    std::string skin, anim;
    XmlGetAttrString(node, "skin", skin);
    XmlGetAttrString(node, "anim", anim);
    SetSkin(skin, false);
    if (!anim.empty()) {
        PlayAnim(anim);
        PlayAnimIfKnown(anim, false);
    }
    uint8_t stop = 0;
    if (XmlGetAttrBool(node, "stop", stop) && stop) {
        visible_ = 0;
        SetActive(false);
    } else {
        visible_ = 1;
        SetActive(true);
    }
    std::string oldSkin;
    if (LevelIsSurvival() || !XmlGetAttrString(node, "old_skin", oldSkin)) return;
    const AddEntry entry{name_, skin, anim};
    if (oldSkin != "none") {
        SetSkin(oldSkin, false);
        LevelApplySkinEntry(entry);
        return;
    }
    skinName_ = "none";
    LevelApplySkinEntry(entry);
    skinName_ = skin;
    visible_ = 0;
}

void Item::Load(XmlNode node) {
    char name[kNameCapacity] = {};
    if (XmlGetAttrChars(node, "name", name, sizeof name)) name_ = name;
    XmlGetAttrString(node, "orient", orientation_);
    XmlGetAttrCoord(node, "pos_x", posX_);
    XmlGetAttrCoord(node, "pos_y", posY_);
    XmlGetAttrCoord(node, "offs_x", offsX_);
    XmlGetAttrCoord(node, "offs_y", offsY_);
    std::string effect;
    XmlGetAttrString(node, "effect", effect);
    std::string rgn;
    if (XmlGetAttrString(node, "rgn", rgn)) {
        for (const platform::Point& p : ParseRegion(rgn)) regionPoints_.push_back(p);
    }
    region_.reset();
    if (regionPoints_.size() > 1) region_ = std::make_unique<platform::PolygonRegion>(regionPoints_);
    script_.reset();
    if (!effect.empty()) {
        script_ = CreateScriptObject(effect);
        script_->SetParamPtr(kObjParamParts, &partRecords_);
        script_->SetParamPtr(kObjParamVisible, &visible_);
    }
}

void Item::Update() {
    if (script_) script_->Update(gFrameTime);
    if (!visible_ || !active_) return;
    for (auto& part : parts_) part->Update();
    if (!restartArmed_) return;
    restartDelay_ -= gFrameTime;
    if (restartDelay_ >= 0.0f) return;
    for (const RestartRule& rule : restartRules_) {
        if (rule.animName == restartRuleName_) {
            SeekParts(rule.frame);
            break;
        }
    }
    PauseParts(false);
    restartArmed_ = 0;
}

void Item::UpdateMotion(float) {}

bool Item::Interact(Item* other, int phase, int& value) {
    Item* owner = FindOwner();
    // An object that is its own owner has no one to ask.
    if (!owner || owner == this) return false;
    return owner->Interact(other, phase, value);
}

void Item::OnAnimFinished(Skin*, const std::string& animName) { ApplyRestartRule(animName, false); }

Skin* Item::AddPart(XmlNode partElement) {
    parts_.push_back(std::make_unique<Skin>(this));
    Skin* skin = parts_.back().get();
    skin->Load(partElement);
    return skin;
}

void Item::AddPoint(XmlNode pointElement) {
    ItemPoint point;
    XmlGetAttrString(pointElement, "owner", point.owner);
    XmlGetAttrString(pointElement, "direction", point.direction);
    XmlGetAttrCoord(pointElement, "offs_x", point.x);
    XmlGetAttrCoord(pointElement, "offs_y", point.y);
    points_.push_back(point);
}

void Item::AddSelectBlock(XmlNode element) {
    std::string name;
    if (XmlGetAttrString(element, "pair_item", name) && !name.empty()) pairItemNames_.push_back(name);
}

void Item::AddPicks(XmlNode element) {
    std::string name;
    if (XmlGetAttrString(element, "pick", name) && !name.empty()) pickNames_.push_back(name);
}

void Item::LoadFromConfig(XmlNode element) {
    auto children = [&](const char* kind) {
        return ChildrenAtMost(element, kind, kMaxObjectChildren, "object \"" + name_ + "\"'s \"" + kind + "\"s");
    };
    for (XmlNode child : children("part")) AddPart(child);
    for (XmlNode child : children("point")) AddPoint(child);
    for (XmlNode child : children("select_block")) AddSelectBlock(child);
    for (XmlNode child : children("picks")) AddPicks(child);
    Load(element);
}

bool Item::PlayAnim(const std::string& name, float* longest) {
    bool started = false;
    float longestDuration = -1.0f;
    for (auto& part : parts_) {
        part->Select(skinName_);
        part->SetOrientation(orientation_, false);
        part->AcquireImages();
        if (part->PlayAnim(name, false)) {
            started = true;
            longestDuration = std::max(longestDuration, part->GetDuration());
        }
    }
    if (longest) *longest = longestDuration;
    if (!started) return false;
    animName_ = name;
    restartArmed_ = 0;
    ApplyRestartRule(name, true);
    return true;
}

bool Item::PlayAnimIfKnown(const std::string& name, bool setOrientation) {
    bool started = false;
    for (auto& part : parts_) {
        if (setOrientation) part->SetOrientation(orientation_, false);
        part->AcquireImages();
        if (part->PlayAnim(name, false)) started = true;
    }
    if (!started) return false;
    animName_ = name;
    restartArmed_ = 0;
    ApplyRestartRule(name, true);
    return true;
}

void Item::SetSkin(const std::string& name, bool switchParts) {
    if (switchParts) {
        for (auto& part : parts_) part->Select(name);
    }
    skinName_ = name;
    FireEvent("onsetskin");
}

void Item::SetOrientation(const std::string& name, bool applyToParts) {
    orientation_ = name;
    if (!applyToParts) return;
    for (auto& part : parts_) part->SetOrientation(name, true);
}

void Item::SetVisible(bool visible) {
    if (script_ && script_->FireMessage(visible ? "onshow" : "onhide")) return;
    visible_ = visible ? 1 : 0;
    for (auto& part : parts_) part->SetVisible(visible);
}

void Item::PauseParts(bool pause) {
    for (auto& part : parts_) {
        if (pause) {
            part->Pause();
        } else {
            part->Resume();
        }
    }
}

void Item::SeekParts(int frame) {
    for (auto& part : parts_) part->SetStopFrame(frame);
}

void Item::FireEvent(std::string_view name) {
    if (script_) script_->FireMessage(name);
    for (auto& part : parts_) part->FireMessage(name);
}

void Item::SetEventEnabled(std::string_view name, bool enabled) {
    if (script_) script_->SetMessageEnabled(name, enabled);
    for (auto& part : parts_) part->SetMessageEnabled(name, enabled);
}

bool Item::IsEventEnabled(std::string_view name) const {
    if (script_ && script_->HasMessage(name) && !script_->IsMessageEnabled(name)) return false;
    for (const auto& part : parts_) {
        if (part->HasMessage(name) && !part->IsMessageEnabled(name)) return false;
    }
    return true;
}

bool Item::HasEvent(std::string_view name) const {
    if (script_ && script_->HasMessage(name)) return true;
    for (const auto& part : parts_) {
        if (part->HasMessage(name)) return true;
    }
    return false;
}

void Item::SetRestartRule(const std::string& animName, int frame, float minDelay, float maxDelay) {
    for (RestartRule& rule : restartRules_) {
        if (rule.animName == animName) {
            rule = {animName, frame, minDelay, maxDelay};
            return;
        }
    }
    restartRules_.push_back({animName, frame, minDelay, maxDelay});
}

void Item::RemoveRestartRule(const std::string& animName) {
    std::erase_if(restartRules_, [&](const RestartRule& rule) { return rule.animName == animName; });
}

void Item::ApplyRestartRule(const std::string& animName, bool seek) {
    for (const RestartRule& rule : restartRules_) {
        if (rule.animName != animName) continue;
        restartArmed_ = 1;
        restartDelay_ = RandomFloatInRange(rule.minDelay, rule.maxDelay);
        restartRuleName_ = animName;
        if (seek) SeekParts(rule.frame);
        return;
    }
}

bool Item::GetPoint(std::string_view owner, int& x, int& y, std::string& direction) const {
    for (const ItemPoint& point : points_) {
        if (point.owner == owner) {
            x = point.x;
            y = point.y;
            direction = point.direction;
            return true;
        }
    }
    return false;
}

Zephra::Point Item::OffsetPoint(Zephra::Point point) const {
    return {point.mX + posX_ + offsX_, point.mY + posY_ + offsY_};
}

namespace {

// path holds the objects whose hit test is under way, so that picks that
// name each other end instead of recursing.
bool HitTestOnPath(const Item* item, int x, int y, std::vector<const Item*>& path) {
    const platform::PolygonRegion* region = item->GetRegion();
    if (!region || !region->Contains(x, y)) return false;
    path.push_back(item);
    bool covered = false;
    for (const Item* pick : item->GetPicks()) {
        if (std::find(path.begin(), path.end(), pick) != path.end()) continue;
        if (pick->IsActive() && pick->IsVisible() && HitTestOnPath(pick, x, y, path)) {
            covered = true;
            break;
        }
    }
    path.pop_back();
    return !covered;
}

} // namespace

bool Item::HitTest(int x, int y) const {
    std::vector<const Item*> path;
    return HitTestOnPath(this, x, y, path);
}

bool Item::GetPairItem(int& index, Item** item) const {
    if (!item) {
        index = static_cast<int>(pairItems_.size());
        return index > 0;
    }
    if (index < 0 || index >= static_cast<int>(pairItems_.size())) return false;
    *item = pairItems_[static_cast<size_t>(index)];
    return true;
}

Skin* Item::FindPartByName(std::string_view name, int n) const {
    for (const auto& part : parts_) {
        if (part->GetName() == name && n-- == 0) return part.get();
    }
    return nullptr;
}

bool Item::NameStartsWith(std::string_view text) const { return name_.starts_with(text); }

Item* Item::FindOwner() {
    std::string ownerName;
    if (NameStartsWith("table")) {
        ownerName = "worker" + name_.substr(5);
    } else if (NameStartsWith("client_place")) {
        ownerName = "client" + name_.substr(12);
    } else {
        return this;
    }
    Item* owner = FindObject(ownerName);
    return owner ? owner : this;
}

void Item::RegisterDrawParts() {
    if (!gZOrder) return;
    for (auto& part : parts_) {
        const std::string& name = part->GetName();
        if (name == "held_items") {
            gZOrder->AddHeldItem(part.get());
        } else {
            gZOrder->AddSkin(part.get(), IsMovingPart(name));
        }
    }
}
