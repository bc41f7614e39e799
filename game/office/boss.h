#pragma once
#include <memory>
#include <string>
#include "game/office/person.h"

class SoundInstance;

// The person the player steers: every click queues an object for him. He
// carries one thing at a time in stateKey (empty hands, "money" or a paper
// code), shown by his "held_items" parts, and serves shelving, workers,
// phone, bin, clients, safe, conference place and cupboard.
class Boss : public Person {
public:
    // Wait codes sent back through OnNotify.
    static constexpr int kWaitNone = 0;
    static constexpr int kConferenceEnded = 1;
    static constexpr int kCallEnded = 5;
    // The interaction values a worker leaves before the boss answers.
    static constexpr int kWorkerIdle = 0;
    static constexpr int kWorkerWorking = 1;
    static constexpr int kWorkerWantsBreak = 4;
    static constexpr int kWorkerAsleep = 6;
    // The tutorial event of a paper taken from the shelving.
    static constexpr int kEventShelving = 5;

    Boss();
    ~Boss() override;

    void SetActive(bool active) override;
    void Reset() override;
    void OnCommand(XmlNode node) override;
    void Update() override;
    bool Interact(Item* other, int phase, int& value) override;
    void OnNotify(int code) override;
    void OnAnimFinished(Skin* part, const std::string& animName) override;
    float GetMoveSpeed() const override;

    // "b", then the idle look of full or empty hands.
    void ShowIdle();
    // Takes the walking orientation without passing it to the parts.
    void FaceWalkDirection();
    // Shows what he carries on his held parts, behind or in front of him.
    void UpdateHeldItems();

    bool IsCarrying() const { return !stateKey_.empty(); }
    float GetSpeedBonusTime() const { return speedBonusTime_; }
    bool WasWalking() const { return wasWalking_ != 0; }
    SoundInstance* GetConferenceSound() const { return conferenceSound_.get(); }
    SoundInstance* GetStepsSound() const { return stepsSound_.get(); }

private:
    void Reproach();
    void StopSounds();
    // Every visible worker hears that the conference is over.
    void NotifyConferenceEnd();

    std::unique_ptr<SoundInstance> conferenceSound_;
    std::unique_ptr<SoundInstance> stepsSound_;
    float speedBonusTime_ = -1.0f;
    uint8_t wasWalking_ = 0;
};
