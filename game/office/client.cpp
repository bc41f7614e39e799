#include "game/office/client.h"
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include "game/office/item_bonus.h"
#include "game/office/level_link.h"
#include "game/office/office_config.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/phone.h"
#include "game/office/skin.h"

namespace {

// The slot of a client name: the number from its first "0" on, less one
// ("client01" takes slot 0); -1 without a "0" or a number.
int SlotOfName(const std::string& name) {
    const size_t zero = name.find('0');
    if (zero == std::string::npos) return -1;
    const char* start = name.c_str() + zero;
    char* end = nullptr;
    const long n = std::strtol(start, &end, 10);
    if (end == start || n < 1 || n > kClientSlotCount) return -1;
    return static_cast<int>(n) - 1;
}

bool StereoPlays() { return gStereoSystem && gStereoSystem->IsVisible() && !gStereoSystem->IsReady(); }

// A phone that can take a call: there, in the day and free.
bool PhoneTakesCall() { return gPhone && gPhone->IsActive() && gPhone->GetCaller() == nullptr; }

} // namespace

Client::Client() = default;

Client::~Client() {
    for (int i = 0; i < kClientSlotCount; ++i) {
        if (gClientSlots[i] == this) ClientSlots::Add(nullptr, i);
    }
    // The office deletes its objects before it forgets the phone.
    const bool phoneLives = std::find(gObjects.begin(), gObjects.end(), static_cast<Item*>(gPhone)) != gObjects.end();
    if (gPhone && phoneLives && gPhone->GetCaller() == this) gPhone->ForgetCaller();
}

void Client::Load(XmlNode node) {
    Item::Load(node);
    const int slot = SlotOfName(name_);
    if (slot >= 0) ClientSlots::Add(this, slot);
}

void Client::SetActive(bool active) {
    if (active == IsActive()) return;
    moodLocked_ = 0;
    if (active) {
        hovered_ = 0;
    } else {
        SetVisible(false);
        def_ = nullptr;
        state_ = kInactive;
        stateKey_.clear();
        // A caller that goes leaves the phone free for the next.
        if (gPhone && gPhone->GetCaller() == this) {
            gPhone->StopRinging();
            gPhone->ForgetCaller();
        }
    }
    Pickable::SetActive(active);
}

void Client::Reset() {
    Item::Reset();
    state_ = -1;
}

void Client::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    visible_ = 0;
    SetActive(false);
}

void Client::UpdateHover(Zephra::Point point, bool hovered) {
    Pickable::UpdateHover(point, hovered);
    if (hovered && !hovered_ && IsActive() && IsVisible()) SetMood(kMoodGratitude, true, true);
    hovered_ = hovered ? 1 : 0;
}

void Client::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (mood_ >= 0 && mood_ < kClientMoodAnimCount && part && part->GetAnimName() == ClientMoodAnimNames[mood_])
        moodLocked_ = 0;
    if (animName == ClientMoodAnimNames[kMoodScandal]) scandalActive_ = 0;
}

// ---------------------------------------------------------------- visits

bool Client::Spawn(const std::string& defName, bool byPhone, int, const std::vector<std::string>& orders) {
    const ClientDef* def = FindDef(gClientDefs, defName);
    if (def == nullptr) return false;
    LevelLink::TutorialNotify(kEventVisit);
    SetActive(true);
    defName_ = defName;
    def_ = def;
    SetRestartRule("idle_usual", static_cast<int>(def->idle_stop_frame), def->idle_rastart_time_min,
                   def->idle_rastart_time_max);
    // Without a phone free to ring, a caller walks in instead.
    const bool calls = byPhone && PhoneTakesCall();
    state_ = calls ? kCalling : kArrived;
    timer_ = 0.0f;
    patience_ = kPatienceFull;
    moodLocked_ = 0;
    mood_ = kMoodNone;
    orders_ = orders;
    orderIndex_ = -1;
    scandalActive_ = 0;
    scandalTimer_ = def->client_scandal_timeout;
    if (calls) {
        gPhone->Ring(this);
        return true;
    }
    ShowClient();
    SetVisible(true);
    LevelLink::PlaySound("client_spawn");
    return true;
}

void Client::ShowClient() {
    SetSkin(defName_, false);
    UpdateMood();
}

void Client::OnPhoneAnswered() {
    if (state_ != kCalling) return;
    state_ = kArrived;
    ShowClient();
    SetVisible(true);
}

bool Client::NextOrder() {
    ++orderIndex_;
    if (orderIndex_ >= static_cast<int>(orders_.size())) return false;
    stateKey_ = orders_[static_cast<size_t>(orderIndex_)];
    return true;
}

void Client::GiveOrder() {
    NextOrder();
    state_ = kOrdered;
    // The quick-service bonus is earned per order.
    serviceTime_ = 0.0f;
}

void Client::OnPresentation() {
    if (!IsActive()) return;
    if (def_) AddPatience(def_->client_presentation_effect);
    moodLocked_ = 0;
    SetMood(kMoodPresentation, true, false);
    LevelLink::PlaySound("hp_up_presentation");
}

void Client::AddPatience(float delta) {
    if (!LevelLink::TutorialAllows(kEventVisit)) return;
    patience_ = std::clamp(patience_ + delta, 0.0f, kPatienceFull);
}

void Client::Pay(float amount) {
    const int money = static_cast<int>(amount);
    ShowCash(money);
    LevelLink::AddMoney(money);
}

void Client::SetMood(int mood, bool lock, bool force) {
    if (mood == mood_ || (moodLocked_ && !force)) return;
    mood_ = mood;
    if (mood >= 0 && mood < kClientMoodAnimCount) PlayAnim(ClientMoodAnimNames[mood]);
    moodLocked_ = lock ? 1 : 0;
}

void Client::UpdateMood() {
    if (patience_ > gGameParams.patience_y_level) {
        SetMood(patience_ > gGameParams.patience_g_level ? kMoodGreen : kMoodYellow, false, false);
    } else {
        SetMood(kMoodRed, false, false);
    }
}

void Client::ScandalEffect(float delta) {
    for (SlotClient* slot : gClientSlots) {
        auto* other = dynamic_cast<Client*>(slot);
        if (other == nullptr || other == this || !other->IsActive() || other->state_ == kCalling) continue;
        other->AddPatience(delta);
        other->SetMood(other->patience_ < gGameParams.patience_r_level ? kMoodAngry : kMoodContent, true, true);
    }
}

// ---------------------------------------------------------------- per frame

void Client::Update() {
    Item::Update();
    if (!IsActive() || def_ == nullptr) return;
    const int state = state_;
    switch (state) {
    case kArrived:
        state_ = kWaiting;
        break;
    case kDeciding:
        SetMood(kMoodThinking, false, false);
        timer_ += gFrameTime;
        if (timer_ >= def_->client_decision_timeout) {
            LevelLink::PlaySound("client_ready");
            GiveOrder();
            LevelLink::TutorialNotify(orders_.size() == 1 ? kEventOneOrder : kEventMoreOrders);
            SetMood(kMoodGratitude, true, true);
        }
        break;
    case kOrdered:
        state_ = kServing;
        break;
    case kServing:
        serviceTime_ += gFrameTime;
        break;
    case kDelivered:
        state_ = kPaying;
        break;
    case kPaying:
        PayForOrder();
        break;
    case kLeaving:
        debugText_ = "out";
        SetActive(false);
        break;
    case kCalling:
        UpdateCalling();
        break;
    default:
        break;
    }
    if (state == kWaiting || state == kServing) UpdatePatience();
}

void Client::PayForOrder() {
    if (patience_ < gGameParams.patience_y_level) {
        Pay(def_->client_money_r);
    } else if (patience_ < gGameParams.patience_g_level) {
        Pay(def_->client_money_y);
    } else {
        Pay(def_->client_money_g);
    }
    if (orderIndex_ + 1 < static_cast<int>(orders_.size())) {
        GiveOrder();
        return;
    }
    ++orderIndex_;
    LevelLink::PlaySound("client_positiv");
    state_ = kLeaving;
}

bool Client::IsCallTaken() const {
    // Once the boss took the call the phone no longer rings for it; the
    // visit goes on when he puts the receiver down.
    return gPhone && gPhone->GetCaller() == this && (gPhone->IsAnswered() || !gPhone->IsRinging());
}

void Client::UpdateCalling() {
    const float timeout = gGameParams.ring_timeout;
    char text[64];
    std::snprintf(text, sizeof text, "vip ring[%3.0f->%3.0f]", timer_, timeout);
    debugText_ = text;
    if (IsCallTaken()) return;
    timer_ += gFrameTime;
    if (timer_ < timeout) return;
    Pay(-gGameParams.ring_losses_money);
    if (gPhone && gPhone->GetCaller() == this) {
        gPhone->StopRinging();
        gPhone->ForgetCaller();
    }
    state_ = kLeaving;
    LevelLink::LoseLife();
}

void Client::UpdatePatience() {
    UpdateMood();
    float delta = -gFrameTime * def_->client_patience_speed;
    if (StereoPlays()) delta *= gGameParams.stereo_system_effect;
    const float old = patience_;
    AddPatience(delta);
    if (static_cast<int>(old / 10.0f) != static_cast<int>(patience_ / 10.0f) && patience_ < kTensMoodLimit)
        SetMood(patience_ < gGameParams.patience_r_level ? kMoodAngry : kMoodContent, true, false);
    if (patience_ < kPatienceEmpty) {
        Pay(-def_->client_losses_money);
        LevelLink::LoseLife();
        LevelLink::PlaySound("client_negativ");
        state_ = kLeaving;
        patience_ = 0.0f;
        return;
    }
    if (patience_ < def_->client_scandal_level) {
        scandalTimer_ += gFrameTime;
        if (scandalTimer_ >= def_->client_scandal_timeout) {
            LevelLink::PlaySound("client_scandal");
            SetMood(kMoodScandal, true, true);
            ScandalEffect(-gGameParams.scandal_effect);
            scandalTimer_ = 0.0f;
            scandalActive_ = 1;
        }
    } else {
        // Crossing the level makes the first scandal at once.
        scandalTimer_ = def_->client_scandal_timeout;
    }
}

// ---------------------------------------------------------------- persons

bool Client::Interact(Item* other, int phase, int& value) {
    if (other == nullptr) return false;
    if (other->GetName() == "boss") {
        if (state_ == kWaiting) {
            if (phase == 1) {
                value = 0;
                return true;
            }
            timer_ = 0.0f;
            state_ = kDeciding;
            LevelLink::TutorialNotify(kEventOrderTaken);
            LevelLink::BonusAction(1, this);
            return true;
        }
        if ((state_ == kOrdered || state_ == kServing) && !stateKey_.empty() && other->GetStateKey() == stateKey_) {
            if (phase == 1) {
                value = 1;
                return true;
            }
            if (def_ && serviceTime_ < gGameParams.service_timeout) AddPatience(def_->client_service_effect);
            state_ = kDelivered;
            LevelLink::BonusAction(1, this);
            return true;
        }
        LevelLink::BonusAction(0, this);
        return false;
    }
    if (other->GetName() == "secretary" && other->GetStateKey() == "coffe_cup" && state_ != kCalling) {
        if (phase == 1) return true;
        moodLocked_ = 0;
        if (def_) {
            SetMood(kMoodCoffee, true, false);
            LevelLink::PlaySound("hp_up_coffee");
            AddPatience(def_->client_coffee_effect);
        }
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- status

bool Client::IsShown() { return IsActive() && (state_ == kArrived || state_ == kWaiting || state_ == kServing); }

bool Client::GetFlag2() { return !stateKey_.empty() && LevelLink::BossCarries() == stateKey_; }

bool Client::GetValue(float& value) {
    if (!IsActive() || state_ == kLeaving) return false;
    if (state_ == kCalling) {
        const float timeout = gGameParams.ring_timeout;
        value = timeout > 0.0f ? (timeout - timer_) / timeout * 100.0f : 0.0f;
        return false;
    }
    value = patience_;
    return true;
}

bool Client::IsLastOrder() const {
    // The current order counts as one left.
    const int left = static_cast<int>(orders_.size()) - std::max(orderIndex_, 0);
    return orders_.size() <= 1 || left <= 1;
}

bool Client::GetIconName(bool& lastOrder, std::string& name) {
    if (!IsActive()) return false;
    lastOrder = IsLastOrder();
    if (state_ == kWaiting || state_ == kServing) {
        name = state_ == kWaiting ? "ready" : stateKey_;
        if (scandalActive_) name = "scandal";
        return true;
    }
    if (!scandalActive_) return false;
    name = "scandal";
    return true;
}

void Client::ShowCash(int amount) {
    if (gBonusObject) gBonusObject->Show(ItemBonus::kCash, this, amount);
}
