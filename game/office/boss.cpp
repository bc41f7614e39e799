#include "game/office/boss.h"
#include "game/app/office_app.h"
#include "game/app/sound.h"
#include "game/office/level_link.h"
#include "game/office/office_globals.h"
#include "game/office/office_objects.h"
#include "game/office/phone.h"
#include "game/office/skin.h"
#include "game/office/worker.h"
#include "game/office/z_order.h"

namespace {

constexpr int kChainBreak = 0;
constexpr int kChainAdvance = 1;

std::unique_ptr<SoundInstance> MakeSound(const char* name) {
    OfficeApp* app = GetApp();
    SoundManager* sounds = app ? app->GetSoundManager() : nullptr;
    return std::unique_ptr<SoundInstance>(sounds ? sounds->CreateInstance(name) : nullptr);
}

void PlaySound(SoundInstance* sound) {
    if (sound) sound->Play();
}

void StopSound(SoundInstance* sound) {
    if (sound) sound->Stop();
}

// Facing the viewer or sideways: what he carries is drawn behind him.
bool FacesFront(const std::string& o) { return o == "b" || o == "br" || o == "bl" || o == "r" || o == "l"; }

// The person definition's key for an orientation: mirrored walking ones by side.
std::string HeldOrientationKey(const std::string& orientation) {
    if (orientation == "mr") return "l";
    if (orientation == "mtr") return "tl";
    if (orientation == "mbr") return "bl";
    return orientation;
}

void ShowHeldCode(Skin* part, const Orientation& entry, const std::string& code) {
    part->Select("");
    // A turn goes on with the same frame in the new orientation's record.
    part->SetOrientation(entry.actual_orientation, true);
    part->SetOffset({entry.ofs_x, entry.ofs_y});
    part->AcquireImages();
    // Starting it every frame would hold the first frame; a new code starts afresh.
    if (part->GetAnimName() != code || !part->GetPlayer()->IsPlayingOrPaused()) part->PlayAnim(code, false);
}

} // namespace

Boss::Boss() : Person(false, false), conferenceSound_(MakeSound("boss_conference")), stepsSound_(MakeSound("boss_steps")) {}

Boss::~Boss() = default;

void Boss::StopSounds() {
    StopSound(conferenceSound_.get());
    StopSound(stepsSound_.get());
}

void Boss::SetActive(bool active) {
    if (active) {
        PlayAnim("boss_idle_empty");
    } else {
        speedBonusTime_ = -1.0f;
        // A conference or a walk cut short must not go on sounding, and the
        // next walk must start its steps and look again.
        StopSounds();
        wasWalking_ = 0;
    }
    Person::SetActive(active);
}

void Boss::Reset() {
    Item::Reset();
    StopSounds();
    stateKey_.clear();
}

void Boss::OnCommand(XmlNode node) {
    Item::OnCommand(node);
    OfficeApp* app = GetApp();
    const std::string bossKind = app ? app->GetCurrentProfile().bossKind : std::string();
    SetSkin(bossKind, false);
    LoadHeldParts("boss:" + bossKind);
    speedBonusTime_ = -1.0f;
    wasWalking_ = 0;
    for (const char* idle : {"boss_idle_empty", "boss_idle_full"}) {
        SetRestartRule(idle, personDef_.idle_stop_frame, personDef_.idle_rastart_time_min,
                       personDef_.idle_rastart_time_max);
    }
}

void Boss::Update() {
    Person::Update();
    UpdateHeldItems();
    speedBonusTime_ -= gFrameTime;
    if (IsWaiting() || IsWalking() == (wasWalking_ != 0)) return;
    wasWalking_ = IsWalking() ? 1 : 0;
    if (!wasWalking_) return;
    PlaySound(stepsSound_.get());
    const char* move = stateKey_.empty() ? "boss_move_empty" : "boss_move_full";
    PlayAnim(move);
    PlayAnimIfKnown(move, false);
}

float Boss::GetMoveSpeed() const {
    const float speed = gGameParams.boss_move_speed;
    return speedBonusTime_ > 0.0f ? speed * gGameParams.boss_move_speed_mod : speed;
}

void Boss::ShowIdle() {
    if (orientation_ != "b") SetOrientation("b", false);
    PlayAnim(stateKey_.empty() ? "boss_idle_empty" : "boss_idle_full");
}

void Boss::FaceWalkDirection() { SetOrientation(walkOrientation_, false); }

void Boss::Reproach() {
    FaceWalkDirection();
    float duration = -1.0f;
    PlayAnim("boss_reproach", &duration);
    LevelLink::PlaySound("wake_up");
    SetWait(duration, kWaitNone);
    wasWalking_ = 0;
}

bool Boss::Interact(Item* other, int phase, int& value) {
    if (other == nullptr) return false;
    Item* owner = other->FindOwner();
    // What the other held before it answered: phase 0 runs after it changed.
    if (phase == 1) note_ = owner->GetStateKey();
    const std::string& name = owner->GetName();
    const bool handsEmpty = stateKey_.empty();

    if (owner->NameStartsWith("shelving")) {
        if (!handsEmpty) {
            LevelLink::BonusAction(kChainBreak, this);
            return false;
        }
        if (phase == 0) {
            LevelLink::BonusAction(kChainAdvance, this);
            stateKey_ = note_;
            ShowIdle();
            LevelLink::TutorialNotify(kEventShelving);
        }
        return true;
    }
    if (owner->NameStartsWith("worker")) {
        if (value == kWorkerWantsBreak) {
            if (phase == 0) Reproach();
            return true;
        }
        if (stateKey_ == "money") {
            if (value == kWorkerIdle || value == kWorkerWorking) {
                if (phase == 0) {
                    stateKey_.clear();
                    ShowIdle();
                }
                return true;
            }
            if (value != kWorkerAsleep) return false;
            if (phase == 0) Reproach();
            return true;
        }
        if (phase == 0) {
            if (value == kWorkerAsleep) {
                Reproach();
            } else {
                stateKey_ = note_;
                ShowIdle();
            }
        }
        return true;
    }
    if (name == "phone") {
        auto* phone = dynamic_cast<Phone*>(owner);
        if (phone == nullptr || !phone->IsRinging()) {
            LevelLink::BonusAction(kChainBreak, this);
            return false;
        }
        if (phase == 0) {
            FaceWalkDirection();
            float duration = -1.0f;
            PlayAnim("boss_phone", &duration);
            // Without the animation the call still ends (at the next step).
            SetWait(duration, kCallEnded);
            wasWalking_ = 0;
            phone->StopRinging();
            LevelLink::BonusAction(kChainAdvance, this);
        }
        return true;
    }
    if (name == "trash_bin") {
        LevelLink::BonusAction(kChainBreak, this);
        if (phase == 0) {
            stateKey_.clear();
            ShowIdle();
        }
        return true;
    }
    if (owner->NameStartsWith("client")) {
        if (phase == 0) {
            if (value != 0) stateKey_.clear();
            ShowIdle();
        }
        return true;
    }
    if (name == "safe") {
        LevelLink::BonusAction(kChainBreak, this);
        if (!handsEmpty) return false;
        if (phase == 0) {
            LevelLink::PlaySound("boss_take_money");
            stateKey_ = owner->GetStateKey();
            ShowIdle();
        }
        return true;
    }
    if (name == "conference_place") {
        LevelLink::BonusAction(kChainBreak, this);
        if (phase == 0) {
            FaceWalkDirection();
            SetWait(gGameParams.boss_conference_timeout, kConferenceEnded);
            wasWalking_ = 0;
            PlaySound(conferenceSound_.get());
            PlayAnim("boss_conference");
        }
        return true;
    }
    if (name == "cupboard") {
        LevelLink::BonusAction(kChainBreak, this);
        if (phase == 0) {
            FaceWalkDirection();
            float duration = -1.0f;
            PlayAnim("boss_drink", &duration);
            SetWait(duration, kWaitNone);
            wasWalking_ = 0;
        }
        return true;
    }
    return false;
}

void Boss::OnNotify(int code) {
    switch (code) {
    case kConferenceEnded:
        StopSound(conferenceSound_.get());
        NotifyConferenceEnd();
        wasWalking_ = 0;
        [[fallthrough]];
    case kWalkEnded:
        StopSound(stepsSound_.get());
        ShowIdle();
        break;
    case kCallEnded:
        ShowIdle();
        if (gPhone) {
            gPhone->NotifyCaller();
            gPhone->ForgetCaller();
        }
        break;
    default:
        break;
    }
}

void Boss::OnAnimFinished(Skin* part, const std::string& animName) {
    Item::OnAnimFinished(part, animName);
    if (part == nullptr || part->GetName() != "boss") return;
    if (animName == "boss_drink") speedBonusTime_ = gGameParams.boss_move_speed_mod_timeout;
    if (animName == "boss_reproach" || animName == "boss_drink") ShowIdle();
}

void Boss::UpdateHeldItems() {
    Skin* const held0 = heldParts_[0];
    Skin* const held1 = heldParts_[1];
    auto hideAll = [&] {
        for (Skin* held : heldParts_) {
            if (held) held->SetVisibleFlag(false);
        }
    };
    if (gZOrder && ownPart_) gZOrder->RemovePairs(ownPart_);
    if (IsWaiting()) {
        hideAll();
        return;
    }
    if (held0 == nullptr) return;
    if (personDef_.name.empty() || stateKey_.empty()) {
        hideAll();
        return;
    }
    held0->SetVisibleFlag(true);
    const std::string o = HeldOrientationKey(orientation_);
    if (gZOrder && ownPart_) {
        if (FacesFront(o)) {
            if (held1) gZOrder->AddDrawnBefore(ownPart_, held1);
            gZOrder->AddDrawnBefore(ownPart_, held0);
        } else {
            gZOrder->AddDrawnAfter(ownPart_, held0);
        }
    }
    const Orientation* entry = personDef_.FindOrientation(o);
    if (entry == nullptr) {
        hideAll();
        return;
    }
    bool shown1 = false;
    // With a second held part a paper code "0XYZ" shows two layers: the paper
    // "00YZ" behind and "01YZ" on top. With one held part, and for a code of
    // the top layer itself, the code shows as it stands: its own picture.
    if (held1 && stateKey_[0] == '0' && stateKey_.size() >= 2 && stateKey_[1] != '1') {
        ShowHeldCode(held1, *entry, "00" + stateKey_.substr(2));
        shown1 = true;
        ShowHeldCode(held0, *entry, "01" + stateKey_.substr(2));
    } else {
        ShowHeldCode(held0, *entry, stateKey_);
    }
    if (held1) held1->SetVisibleFlag(shown1);
}

void Boss::NotifyConferenceEnd() {
    for (Worker* worker : std::vector<Worker*>(gWorkers)) {
        if (worker->IsVisible()) worker->OnConferenceEnd();
    }
}
