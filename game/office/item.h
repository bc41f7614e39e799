#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>
#include "framework/graphics/rect.h"
#include "game/app/xml_access.h"
#include "game/effects/script_object.h"
#include "platform/region.h"

class Skin;

// A named point an object offers to the persons ("point" elements).
struct ItemPoint {
    std::string owner; // the person kind ("boss", "secretary", ...)
    std::string direction;
    int x = 0;
    int y = 0;
};

// Replays an animation from a frame after a random pause once it ended.
struct RestartRule {
    std::string animName;
    int frame = 0;
    float minDelay = 0.0f;
    float maxDelay = 0.0f;
};

// The base of every office object: its visual parts, hit polygon, named
// points, related objects resolved by name, effect script and restart rules.
class Item {
public:
    Item();
    virtual ~Item();
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;

    virtual void SetActive(bool active);
    virtual bool IsWalking() const { return false; }
    virtual bool IsBusy() const { return false; }
    virtual void UpdateHover(Zephra::Point point, bool hovered);
    virtual void OnNotify(int code);
    virtual void Reset();
    virtual void OnCommand(XmlNode node);
    virtual void Load(XmlNode node);
    virtual void Update();
    virtual void UpdateMotion(float step);
    // Two-phase interaction with a person (phase 1 asks, phase 0 carries it
    // out); value is shared by the calls of one interaction. The base hands
    // it to its owner and refuses when it has none but itself.
    virtual bool Interact(Item* other, int phase, int& value);
    virtual void OnAnimFinished(Skin* part, const std::string& animName);

    // Readers of the configuration's child elements.
    Skin* AddPart(XmlNode partElement);
    void AddPoint(XmlNode pointElement);
    void AddSelectBlock(XmlNode selectBlockElement);
    void AddPicks(XmlNode picksElement);
    // Every "part", "point", "select_block" and "picks" child, then Load.
    void LoadFromConfig(XmlNode objectElement);

    // True when some part started it; longest gets the longest duration (-1 when none).
    bool PlayAnim(const std::string& name, float* longest = nullptr);
    bool PlayAnimIfKnown(const std::string& name, bool setOrientation);
    void SetSkin(const std::string& name, bool switchParts);
    void SetOrientation(const std::string& name, bool applyToParts);
    void SetVisible(bool visible);
    void SetVisibleFlag(bool visible) { visible_ = visible ? 1 : 0; }
    bool IsVisible() const { return visible_ != 0; }
    void SetActiveFlag(bool active) { active_ = active ? 1 : 0; }
    bool IsActive() const { return active_ != 0; }
    void PauseParts(bool pause);
    void SeekParts(int frame);
    void FireEvent(std::string_view name);
    void SetEventEnabled(std::string_view name, bool enabled);
    bool IsEventEnabled(std::string_view name) const;
    bool HasEvent(std::string_view name) const;
    void SetRestartRule(const std::string& animName, int frame, float minDelay, float maxDelay);
    void RemoveRestartRule(const std::string& animName);
    const std::vector<RestartRule>& GetRestartRules() const { return restartRules_; }
    bool IsRestartArmed() const { return restartArmed_ != 0; }
    float GetRestartDelay() const { return restartDelay_; }
    bool GetPoint(std::string_view owner, int& x, int& y, std::string& direction) const;
    Zephra::Point OffsetPoint(Zephra::Point point) const;
    bool HitTest(int x, int y) const;
    // With item: the index-th pair item. Without: index receives the count.
    bool GetPairItem(int& index, Item** item) const;
    const std::vector<Item*>& GetPairItems() const { return pairItems_; }
    const std::vector<Item*>& GetPicks() const { return picks_; }
    Skin* FindPartByName(std::string_view name, int n = 0) const;
    bool NameStartsWith(std::string_view text) const;
    // The worker behind a table, the client behind a client place, else itself.
    Item* FindOwner();
    void RegisterDrawParts();

    const std::string& GetName() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    const std::string& GetStateKey() const { return stateKey_; }
    void SetStateKey(const std::string& key) { stateKey_ = key; }
    const std::string& GetNote() const { return note_; }
    void SetNote(const std::string& note) { note_ = note; }
    const std::string& GetSkinName() const { return skinName_; }
    void SetSkinName(const std::string& name) { skinName_ = name; }
    const std::string& GetLinkName() const { return linkName_; }
    void SetLinkName(const std::string& name) { linkName_ = name; }
    const std::string& GetOrientation() const { return orientation_; }
    const std::string& GetAnimName() const { return animName_; }
    const std::vector<std::unique_ptr<Skin>>& GetParts() const { return parts_; }
    const std::vector<ItemPoint>& GetPoints() const { return points_; }
    const std::vector<platform::Point>& GetRegionPoints() const { return regionPoints_; }
    const platform::PolygonRegion* GetRegion() const { return region_.get(); }
    float GetScale() const { return scale_; }
    void SetScale(float scale) { scale_ = scale; }
    ScriptObject* GetScript() const { return script_.get(); }
    EffectPartList& GetPartRecords() { return partRecords_; }
    int GetPosX() const { return posX_; }
    int GetPosY() const { return posY_; }
    void SetPos(int x, int y) { posX_ = x; posY_ = y; }
    int GetOffsX() const { return offsX_; }
    int GetOffsY() const { return offsY_; }

protected:
    // After a start (seek) or a finish (no seek): arms the rule of that name.
    void ApplyRestartRule(const std::string& animName, bool seek);

    std::string name_;
    std::string stateKey_;
    std::string note_;
    std::string skinName_;
    std::string linkName_;
    std::string orientation_;
    std::string animName_;
    std::vector<std::unique_ptr<Skin>> parts_;
    std::vector<ItemPoint> points_;
    std::vector<std::string> pairItemNames_;
    std::vector<Item*> pairItems_;
    std::vector<std::string> pickNames_;
    std::vector<Item*> picks_;
    std::vector<platform::Point> regionPoints_;
    std::unique_ptr<platform::PolygonRegion> region_;
    float scale_ = 1.0f;
    std::vector<RestartRule> restartRules_;
    std::string restartRuleName_;
    uint8_t visible_ = 0;
    uint8_t active_ = 0;
    uint8_t restartArmed_ = 0;
    float restartDelay_ = 0.0f;
    std::unique_ptr<ScriptObject> script_;
    EffectPartList partRecords_;
    int posX_ = 0;
    int posY_ = 0;
    int offsX_ = 0;
    int offsY_ = 0;
};
