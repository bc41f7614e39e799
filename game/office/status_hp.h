#pragma once
#include <cstdint>
#include <string>
#include "game/office/item.h"

class StatusSource;

// The segmented bar at a worker (stamina), a client (patience) or the phone
// (the caller's ring time left). It follows its owner's status source every
// frame: shown while the source has a value, coloured by the thresholds, and
// blinking ("on_blink_hp"/"off_blink_hp") around the critical level.
class StatusHp : public Item {
public:
    static constexpr uint32_t kColorProtected = 0xFF47D6FF;
    static constexpr uint32_t kColorLow = 0xFFFF0000;
    static constexpr uint32_t kColorMiddle = 0xFFFFD400;
    static constexpr uint32_t kColorHigh = 0xFF00F070;
    static constexpr uint32_t kColorLoaded = 0xFF00FF00;
    static constexpr int kSegmentsLoaded = 10;

    // The owner kinds, by the indicator's name.
    enum OwnerKind { kNone, kWorker, kClient, kPhone };

    StatusHp();
    ~StatusHp() override;

    void Load(XmlNode node) override;
    void SetActive(bool active) override;
    void Update() override;

    // The owner of an indicator by its name ("worker...", "client...",
    // "phone..."); kind kNone and nulls when there is none.
    static OwnerKind FindStatusOwner(const std::string& name, Item*& owner, StatusSource*& source);
    // Plays the animation unless the part already plays it.
    static void PlayIfNew(Skin* part, const std::string& name);

    // Segments for a value: a phone shows 0..5 (a fraction above one half
    // rounds up), the others 0..10.
    static int SegmentCount(OwnerKind kind, float value);

    Item* GetOwnerItem() const { return owner_; }
    OwnerKind GetOwnerKind() const { return kind_; }
    int GetLevelHigh() const { return levelHigh_; }
    int GetLevelLow() const { return levelLow_; }
    int GetLevelBlink() const { return levelBlink_; }
    float GetLastValue() const { return lastValue_; }

private:
    uint32_t BarColor(float value) const;

    Item* owner_ = nullptr;
    StatusSource* source_ = nullptr;
    Skin* barPart_ = nullptr;
    Skin* backPart_ = nullptr;
    int levelHigh_ = 0;
    int levelLow_ = 0;
    int levelBlink_ = 0;
    float lastValue_ = 0.0f;
    OwnerKind kind_ = kNone;
};
