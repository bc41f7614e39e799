#include "game/office/worker.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include "game/app/office_app.h"
#include "game/app/sound.h"
#include "game/office/bonus_chain.h"
#include "game/office/item_util.h"
#include "game/office/level_link.h"
#include "game/office/mini_bar.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/period_item.h"
#include "game/office/person.h"
#include "game/office/skin.h"
#include "platform/random.h"

namespace {

constexpr float kFullStamina = 100.0f;
// Tutorial events a worker sends or asks about.
constexpr int kEventVisit = 1;
constexpr int kEventWorkStart = 6;
constexpr int kEventWorkDone = 7;
constexpr const char* kMoney = "money";

Person* FindBoss() { return dynamic_cast<Person*>(FindObject("boss")); }

// While the tutorial holds the clients' patience it holds the way to the bar
// too: nothing it waits for is refused by a worker gone for coffee.
bool BreaksHeld() { return !LevelLink::TutorialAllows(kEventVisit); }

} // namespace

Worker::Worker() {
    gWorkers.push_back(this);
    OfficeApp* app = GetApp();
    if (app && app->GetSoundManager()) snoreSound_.reset(app->GetSoundManager()->CreateInstance("worker_snore"));
}

Worker::~Worker() {
    // The bar keeps no pointer to a worker that is gone.
    if (state_ == kOnBreak && gMiniBar) gMiniBar->RemoveVisitor(this);
    snoreSound_.reset();
    auto it = std::find(gWorkers.begin(), gWorkers.end(), this);
    if (it != gWorkers.end()) gWorkers.erase(it);
}

Worker* Worker::FindByName(const std::string& text) {
    for (Worker* worker : gWorkers) {
        if (text.starts_with(worker->GetName())) return worker;
    }
    return nullptr;
}

void Worker::SetActive(bool active) {
    if ((active_ != 0) == active) return;
    // A worker leaving the office in the middle of a break frees its seat.
    if (!active && state_ == kOnBreak && gMiniBar) gMiniBar->RemoveVisitor(this);
    Item::SetActive(active);
    protectTime_ = 0.0f;
    if (active) {
        const WorkerDef* def = FindDef(gWorkerDefs, skinName_);
        def_ = def ? *def : WorkerDef();
        stamina_ = kFullStamina;
        SetState(kIdle);
        baseAnim_.clear();
        reaction_.clear();
        hovered_ = 0;
        RollBreakIntent();
        StartIdleUsual();
        stateKey_.clear();
        visible_ = 1;
        FindTable();
        for (auto& part : parts_) part->Alpha() = 1.0f;
    } else {
        ResetWorker();
        SetState(kInactive);
        visible_ = 0;
    }
}

void Worker::FindTable() {
    // "worker02a" sits at "table02a".
    table_ = FindObject("table" + name_.substr(std::min<size_t>(name_.size(), 6)));
}

void Worker::StartIdleUsual() {
    PlayAnim("idle_usual");
    SetRestartRule("idle_usual", static_cast<int>(def_.idle_stop_frame), def_.idle_rastart_time_min,
                   def_.idle_rastart_time_max);
    ApplyRestartRule("idle_usual", true);
}

void Worker::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    transformFrom_.clear();
    transformTo_.clear();
    XmlGetAttrString(node, "transform_from", transformFrom_);
    XmlGetAttrString(node, "transform_to", transformTo_);
}

void Worker::SetState(int state) {
    const int old = state_;
    switch (state) {
    case kIdle:
        if (old == kOnBreak) {
            EndBreak();
        } else if (old == kWantsBreak) {
            RollBreakIntent();
        }
        break;
    case kWorking:
        if (table_) table_->FireEvent("work_start");
        LevelLink::TutorialNotify(kEventWorkStart);
        progress_ = 0.0f;
        PlayOfficeSound("take_paper");
        break;
    case kOnBreak:
        breakTime_ = 0.0f;
        if (gMiniBar) gMiniBar->AddVisitor(this);
        SetVisible(false);
        break;
    case kAsleep:
        snoreTimer_ = def_.worker_disruption_start_timeout;
        snoring_ = 0;
        break;
    default:
        break;
    }
    if (old == kWorking && state != kWorking && table_) table_->FireEvent("work_stop");
    state_ = state;
}

void Worker::EndBreak() {
    SetVisible(true);
    RollBreakIntent();
    AddStamina(kFullStamina);
    state_ = kIdle;
}

void Worker::RollBreakIntent() {
    const float r = static_cast<float>(platform::Rand()) / 32767.0f;
    breakIntent_ = def_.worker_break_low + (def_.worker_break_high - def_.worker_break_low) * r +
                   gGameParams.worker_break_intent_timeout;
    if (state_ == kWantsBreak) state_ = kIdle;
}

void Worker::AddStamina(float delta) {
    if (delta < 0.0f && IsProtected()) {
        RollBreakIntent();
        return;
    }
    stamina_ = std::min(stamina_ + delta, kFullStamina);
    if (stamina_ <= 0.0f) {
        if (state_ != kAsleep) SetState(kAsleep);
        stamina_ = 0.0f;
    }
}

bool Worker::IsProtected() const {
    if (protectTime_ > 0.0f) return true;
    const Person* boss = FindBoss();
    return boss && table_ && !boss->IsWalking() && boss->GetCurrentPoint() == table_->GetName();
}

bool Worker::BossBlocksBreak() const {
    const Person* boss = FindBoss();
    return boss && table_ && !boss->IsBusy() && boss->GetCurrentPoint() == table_->GetName();
}

bool Worker::CanTake(const std::string& code) const {
    if (code.empty() || transformFrom_.empty()) return false;
    if (code[0] == '0') return code.starts_with(transformFrom_.substr(0, 2));
    return code == transformFrom_;
}

bool Worker::IsWorkDone() const {
    if (stateKey_.empty()) return false;
    return stateKey_.starts_with(transformTo_.substr(0, 2));
}

namespace {

// A code with a "0" keeps the number two places after it, under the first
// two characters of the specialization; any other becomes the specialization.
std::string Transformed(const std::string& code, const std::string& transformTo) {
    const size_t zero = code.find('0');
    if (zero == std::string::npos) return transformTo;
    const size_t digits = zero + 2;
    const int n = digits < code.size() ? std::atoi(code.c_str() + digits) : 0;
    return transformTo.substr(0, 2) + "0" + std::to_string(n);
}

} // namespace

void Worker::TransformCode() { stateKey_ = Transformed(stateKey_, transformTo_); }

std::string Worker::ProductOf(const std::string& code) const {
    return CanTake(code) ? Transformed(code, transformTo_) : std::string();
}

void Worker::PlayReaction(const std::string& name, int count) {
    if (reaction_ == name) return;
    reaction_ = name;
    baseAnim_ = name;
    if (count > 0) {
        StartReaction();
        reactionCount_ = count;
    }
}

void Worker::StartReaction() {
    // Starting over stops what plays, and that stop is no finished play.
    startingReaction_ = 1;
    PlayAnim(reaction_);
    startingReaction_ = 0;
}

void Worker::Disrupt() {
    for (Worker* other : std::vector<Worker*>(gWorkers)) {
        if (other == this || !other->IsVisible() || other->state_ == kAsleep) continue;
        other->PlayReaction("disruption_reaction", 1);
        other->AddStamina(-gGameParams.disruption_effect);
    }
}

void Worker::WakeUp() {
    if (state_ != kAsleep) return;
    AddStamina(gGameParams.boss_reproof_effect);
    // Asleep with empty hands there is nothing to go back to.
    if (IsWorkDone() || stateKey_.empty()) {
        SetState(kIdle);
    } else {
        SetState(kWorking);
    }
}

void Worker::OnConferenceEnd() {
    RollBreakIntent();
    PlayReaction("conference_reaction", 1);
    AddStamina(def_.worker_conference_effect);
    protectTime_ += gGameParams.worker_conference_immortality;
    WakeUp();
}

void Worker::ResetWorker() {
    stamina_ = kFullStamina;
    protectTime_ = 0.0f;
    progress_ = 0.0f;
    snoreTimer_ = 0.0f;
    snoring_ = 0;
    baseAnimIndex_ = -1;
    hovered_ = 0;
    state_ = kIdle;
    baseAnim_.clear();
    reaction_.clear();
    RollBreakIntent();
    StartIdleUsual();
    stateKey_.clear();
}

void Worker::Update() {
    Item::Update();
    const float dt = gFrameTime;
    switch (state_) {
    case kIdle:
        if (def_.worker_break_high != 0.0f && def_.worker_break_low != 0.0f && gMiniBar && gMiniBar->IsVisible() &&
            stateKey_.empty()) {
            if (BossBlocksBreak()) {
                RollBreakIntent();
            } else if (!BreaksHeld()) {
                breakIntent_ -= dt;
                if (breakIntent_ >= 0.0f && breakIntent_ < gGameParams.worker_break_intent_timeout) {
                    SetState(kWantsBreak);
                }
            }
        }
        AddStamina(dt * def_.worker_stamina_up_speed);
        break;
    case kWorking: {
        float workTime = def_.worker_work_time_r;
        if (stamina_ >= gGameParams.stamina_g_level) {
            workTime = def_.worker_work_time_g;
        } else if (stamina_ >= gGameParams.stamina_y_level) {
            workTime = def_.worker_work_time_y;
        }
        // A work time of 0 (or less) finishes at once.
        progress_ = workTime > 0.0f ? progress_ + dt / workTime : 1.0f;
        if (progress_ >= 1.0f) {
            SetState(kIdle);
            TransformCode();
            LevelLink::TutorialNotify(kEventWorkDone);
            PlayOfficeSound("worker_finish");
        }
        const bool hotOffice = gAirConditioner && gAirConditioner->IsVisible() && gAirConditioner->IsReady();
        const float f = hotOffice ? gGameParams.air_conditioner_effect : 1.0f;
        AddStamina(-(dt * def_.worker_stamina_down_speed * f));
        break;
    }
    case kWantsBreak:
        // Without a bar to go to, a break would hide the worker for good.
        if (BossBlocksBreak() || gMiniBar == nullptr) {
            RollBreakIntent();
        } else if (!BreaksHeld()) {
            breakIntent_ -= dt;
            if (breakIntent_ < 0.0f) SetState(kOnBreak);
        }
        break;
    case kAsleep:
        if (def_.worker_disruption_timeout > 0.0f && def_.worker_disruption_start_timeout > 0.0f) {
            snoreTimer_ -= dt;
            if (snoreTimer_ < 0.0f) {
                if (snoreSound_) snoreSound_->Play();
                snoreTimer_ = def_.worker_disruption_timeout;
                snoring_ = 1;
                Disrupt();
                PlayReaction("disruptive_action", 1);
            } else if (def_.worker_disruption_timeout - gGameParams.worker_showtime_zzz > snoreTimer_) {
                snoring_ = 0;
            }
        }
        break;
    default:
        break;
    }
    if (reaction_.empty()) ChooseBaseAnim();
    if (protectTime_ > 0.0f) protectTime_ = std::max(0.0f, protectTime_ - dt);
}

void Worker::ChooseBaseAnim() {
    const char* name = nullptr;
    int index = 0;
    int frame = -1;
    switch (state_) {
    case kIdle:
        if (IsWorkDone()) {
            name = "idle_done";
            index = 1;
            frame = static_cast<int>(def_.worker_done_break_frame);
        } else {
            name = "idle_usual";
        }
        break;
    case kWorking:
        name = "work_action";
        break;
    case kAsleep:
        name = "idle_distracted";
        break;
    default:
        return;
    }
    if (baseAnim_ == name && baseAnimIndex_ == index) return;
    baseAnim_ = name;
    baseAnimIndex_ = index;
    PlayAnim(baseAnim_);
    if (frame >= 0) SeekParts(frame);
}

void Worker::GiveMoney() {
    PlayOfficeSound("boss_give_money");
    AddStamina(def_.worker_bonus_effect);
    PlayReaction("attention", 1);
    protectTime_ += gGameParams.worker_money_immortality;
}

bool Worker::Interact(Item* other, int phase, int& value) {
    if (other == nullptr) return false;
    if (phase == 1) {
        offered_ = other->GetStateKey();
        value = state_;
    }
    const bool act = phase == 0;
    bool accepted = false;
    bool advances = false;
    switch (state_) {
    case kIdle:
        if (CanTake(offered_)) {
            accepted = advances = true;
            if (act) {
                stateKey_ = offered_;
                SetState(kWorking);
            }
        } else if (offered_ == kMoney) {
            accepted = true;
            if (act) GiveMoney();
        } else if (!offered_.empty()) {
            accepted = false;
        } else if (!stateKey_.empty()) {
            accepted = advances = true;
            if (act) {
                stateKey_.clear();
                PlayOfficeSound("take_paper");
                if (baseAnim_ == "idle_done") {
                    reaction_ = baseAnim_;
                    reactionCount_ = 1;
                    PauseParts(false);
                } else {
                    PlayReaction("idle_usual", 1);
                }
            }
        } else {
            accepted = true;
        }
        break;
    case kWorking:
        accepted = offered_ == kMoney;
        if (accepted && act) GiveMoney();
        break;
    case kWantsBreak:
        accepted = true;
        if (act) SetState(kIdle);
        break;
    case kOnBreak:
        // The work is collected from the table while the worker is away.
        accepted = IsWorkDone();
        if (accepted && act) stateKey_.clear();
        break;
    case kAsleep:
        accepted = true;
        if (act) {
            if (snoreSound_) snoreSound_->Stop();
            WakeUp();
        }
        break;
    default:
        break;
    }
    // A refusal ends the visit at phase 1; an accepted visit is booked at phase 0.
    if (!accepted || act) LevelLink::BonusAction(advances && accepted ? BonusChain::kAdvance : BonusChain::kBreak, this);
    return accepted;
}

void Worker::UpdateHover(Zephra::Point, bool hovered) {
    if (hovered && !hovered_ && state_ == kIdle && !IsWorkDone()) PlayReaction("attention", 1);
    hovered_ = hovered ? 1 : 0;
}

void Worker::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (part == nullptr || part->GetName() != kReactionPart || animName != reaction_) return;
    if (startingReaction_) return;
    if (--reactionCount_ >= 1) {
        StartReaction();
    } else {
        reaction_.clear();
    }
}

bool Worker::IsShown() {
    switch (state_) {
    case kIdle:
        return !stateKey_.empty();
    case kWantsBreak:
    case kAsleep:
        return true;
    case kOnBreak:
        return !IsVisible();
    default:
        return false;
    }
}

bool Worker::GetFlag() { return state_ != kOnBreak && hovered_ != 0; }

bool Worker::GetValue(float& value) {
    if (!IsActive()) return false;
    if (state_ == kOnBreak) {
        const float duration = gGameParams.worker_break_duration_timeout;
        value = duration > 0.0f ? breakTime_ / duration : 0.0f;
        return false;
    }
    value = stamina_;
    return true;
}

bool Worker::GetIconName(bool&, std::string& name) {
    switch (state_) {
    case kOnBreak:
        name = "timer";
        return true;
    case kWantsBreak:
        name = "coffee";
        return true;
    case kAsleep:
        name = snoring_ ? "snore" : "sleep";
        return true;
    default:
        name = stateKey_;
        return IsWorkDone();
    }
}

bool Worker::GetName(std::string& name) {
    name = transformTo_;
    return true;
}
