#include "game/office/period_item.h"
#include "game/office/item_util.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include "game/office/skin.h"
#include "platform/random.h"

namespace {

struct ReloadRow {
    const char* object;
    const char* minKey;
    const char* maxKey;
    const char* signalPart;   // null: none
};

constexpr ReloadRow kReloadRows[] = {
    {"safe", "safe_reload_timeout", "safe_reload_timeout", nullptr},
    {"coffeemachine", "coffeemachine_reload_timeout", "coffeemachine_reload_timeout", nullptr},
    {"conference_place", "conference_reload_timeout", "conference_reload_timeout", nullptr},
    {"cupboard", "cupboatd_reload_timeout", "cupboatd_reload_timeout", nullptr},
    {"presentation_place", "presentation_reload_timeout", "presentation_reload_timeout", nullptr},
    {"air_conditioner", "air_conditioner_timeout_min", "air_conditioner_timeout_max", "air_conditioner_signal"},
    {"stereo_system", "air_conditioner_timeout_min", "air_conditioner_timeout_max", "stereo_system_signal"},
};

bool IsAssistant(const std::string& name) { return name == "boss" || name == "secretary" || name == "engineer"; }

} // namespace

void PeriodItem::Load(XmlNode node) {
    Item::Load(node);
    thing_ = OfficeText(node, "thing");
    minTimeout_ = maxTimeout_ = nullptr;
    signalPart_ = nullptr;
    for (const ReloadRow& row : kReloadRows) {
        if (name_ != row.object) continue;
        minTimeout_ = gGameParams.Find(row.minKey);
        maxTimeout_ = gGameParams.Find(row.maxKey);
        if (row.signalPart) signalPart_ = FindPartByName(row.signalPart);
        break;
    }
}

void PeriodItem::SetActive(bool active) {
    if (active) {
        stateKey_ = thing_;
        SetReady(false);
    } else {
        SetReady(false);
        elapsed_ = 0.0f;
        for (auto& part : parts_) part->ReleaseImages();
    }
    Pickable::SetActive(active);
    ShowSignal(false, false);
}

void PeriodItem::RollTimeout() {
    if (!HasReloadParams()) return;
    timeout_ = *minTimeout_ + (*maxTimeout_ - *minTimeout_) * static_cast<float>(platform::Rand() / 32767.0);
}

void PeriodItem::ShowSignal(bool shown, bool withEvents) {
    if (signalPart_ == nullptr) return;
    if (withEvents) {
        signalPart_->SetVisible(shown);
    } else {
        signalPart_->SetVisibleFlag(shown);
    }
}

void PeriodItem::SetReady(bool ready) {
    ready_ = ready ? 1 : 0;
    elapsed_ = 0.0f;
    hoverShown_ = 0;
    RollTimeout();
    if (!ready) {
        PlayAnim("idle");
        return;
    }
    if (name_ == "coffeemachine") PlayOfficeSound("coffeemashine");
    if (name_ == "air_conditioner") PlayOfficeSound("conditioner_broke");
    if (!PlayAnim("activation")) {
        PlayAnim("ready");
        ShowSignal(true, true);
    }
}

void PeriodItem::Update() {
    Item::Update();
    if (!IsActive() || !IsVisible() || ready_ || !HasReloadParams()) return;
    elapsed_ += gFrameTime;
    if (elapsed_ >= timeout_) SetReady(true);
}

void PeriodItem::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (animName != "activation") return;
    PlayAnim("ready");
    ShowSignal(true, true);
}

void PeriodItem::UpdateHover(Zephra::Point, bool hovered) {
    SwitchHover(*this, hoverShown_, hovered, "ready", ready_ != 0);
}

bool PeriodItem::Interact(Item* other, int phase, int&) {
    if (other == nullptr || !IsAssistant(other->GetName()) || !ready_) return false;
    if (!stateKey_.empty() && stateKey_ == other->GetStateKey()) return false;
    if (phase == 0) {
        SetReady(false);
        ShowSignal(false, true);
    }
    return true;
}
