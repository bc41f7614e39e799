#pragma once
#include <string>
#include <vector>
#include "game/office/game_params.h"
#include "game/office/item.h"

class Skin;

// An office object that walks its own path graph (the set named like it) to
// the points that bear its targets' names, and runs the two-phase interaction
// with each target on arrival. It can wait and be told when the wait ends,
// walk home when idle and hide while idle at home. The boss, the secretary
// and the engineer derive from it.
class Person : public Item {
public:
    static constexpr float kDefaultMoveSpeed = 300.0f;
    // OnNotify code sent when a walk ends.
    static constexpr int kWalkEnded = 3;
    // The walking orientations by index.
    static constexpr int kOrientationCount = 8;
    static const char* const kOrientationNames[kOrientationCount];

    ~Person() override;

    virtual void QueueTarget(Item* item);
    // Makes item the current target; returns the previous one (its clicks reset).
    virtual Item* ExchangeTarget(Item* item);
    virtual void PlaceAt(const std::string& pointName);
    virtual void SetWait(float seconds, int code);
    virtual float GetMoveSpeed() const { return kDefaultMoveSpeed; }

    void SetActive(bool active) override;
    bool IsWalking() const override { return walking_ != 0; }
    bool IsBusy() const override { return IsWalking() || IsWaiting(); }
    void Load(XmlNode node) override;
    void Update() override;
    void UpdateMotion(float step) override;

    // False when inactive, already there, without a path-graph set, when the
    // set does not know the current point, the speed is not positive or no
    // route is found (the old route is then dropped).
    bool WalkTo(const std::string& target, float speed);
    bool IsWaiting() const { return waitTime_ != 0.0f; }
    // The target after the front one, or null.
    Item* NextQueuedTarget() const;
    void ClearTargets();
    bool HasCurrentTarget() const { return currentTarget_ != nullptr; }
    Item* GetCurrentTarget() const { return currentTarget_; }
    bool IsAtHome() const { return currentPoint_ == startPoint_; }
    // Screen direction (y down): turns the parts (but "held_items") to one of
    // the eight walking orientations; (0, 0) changes nothing.
    void FaceDirection(int dx, int dy);
    // The orientation index of a direction, or -1 for (0, 0).
    static int DirectionIndex(int dx, int dy);

    const std::string& GetCurrentPoint() const { return currentPoint_; }
    const std::string& GetStartPoint() const { return startPoint_; }
    const std::string& GetWalkOrientation() const { return walkOrientation_; }
    const std::vector<Item*>& GetTargets() const { return targets_; }
    float GetWaitTime() const { return waitTime_; }

protected:
    Person(bool returnsHome, bool hidesAtHome);
    // Every part takes three draw-order anchors around the position.
    void UpdateAnchors();

    std::string currentPoint_;
    std::string startPoint_;
    std::string walkOrientation_;
    uint8_t walking_ = 0;
    float waitTime_ = 0.0f;
    int waitCode_ = 0;
    PersDef personDef_;
    Skin* heldParts_[2] = {nullptr, nullptr};
    Skin* ownPart_ = nullptr;
    std::vector<Item*> targets_;
    uint8_t returnsHome_ = 0;
    uint8_t hidesAtHome_ = 0;
    Item* currentTarget_ = nullptr;
};
