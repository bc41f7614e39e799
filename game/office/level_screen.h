#pragma once
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include "game/office/level_model.h"
#include "game/office/level_screens.h"
#include "game/office/office_globals.h"
#include "game/ui/cursor_table.h"
#include "game/ui/ui_control.h"

class BonusChain;
class Item;
class Office;
class OfficeApp;

// The screen one office day runs on: it owns the office (objects, draw order,
// path-graph sets), reads the career day or survival level, spawns the
// clients, steps the objects, queues the player's clicks for the persons,
// draws the office in draw order and judges the end of the day.
class LevelScreen : public UiControl, public OfficeLevel, public CursorSelectObserver {
public:
    static constexpr const char* kGroundId = "GFX_GAME_GROUND";
    static constexpr int kLastDay = 60;
    static constexpr int kSurvivalLives = 3;
    static constexpr float kCareerEndDelay = 2.0f;
    static constexpr float kSurvivalEndDelay = 5.0f;
    static constexpr int kMaxUpgradeChoices = 3;
    static constexpr int kKeyEscape = 27;
    // Tutorial events the level sends or asks about.
    static constexpr int kEventSpawn = 2;
    static constexpr int kEventClicks = 3;
    static constexpr int kEventTable = 8;

    // Loads "cfg\office.xml"; a failure leaves the office empty (with a warning).
    explicit LevelScreen(OfficeApp* app);
    ~LevelScreen() override;

    // Not owned; null uninstalls.
    void SetScreens(LevelScreens* screens) { screens_ = screens; }
    void SetTutorial(LevelTutorial* tutorial) { tutorial_ = tutorial; }
    // The level's own chain (loaded with the office) until another is set.
    void SetBonus(LevelBonus* bonus) { bonus_ = bonus; }
    LevelTutorial* GetTutorial() const { return tutorial_; }
    LevelBonus* GetBonus() const { return bonus_; }
    BonusChain* GetBonusChain() const { return chain_.get(); }

    // Life cycle of a day or survival level.
    bool LoadLevel(int day);
    void StartLevel();
    void NextDay();
    void RestartDay();
    void StopPlay() { inPlay_ = 0; }
    void ClearLevel();

    int AddMoney(int amount);
    int GetMoney() const { return money_; }
    void LoseLife();
    void SetPaused(bool paused) { paused_ = paused ? 1 : 0; }
    void SetSurvival(bool survival) { survival_ = survival ? 1 : 0; }
    void SetInputEnabled(bool enabled) { inPlay_ = enabled ? 1 : 0; }
    // Set by the dialogs over the office as they hide, cleared as they show.
    void SetOfficeFocus(bool focus) { focus_ = focus ? 1 : 0; }
    int32_t GetStageMoneyThreshold() const { return stageThreshold_; }
    // INT32_MAX while no further stage can begin.
    int32_t GetNextStageMoneyThreshold() const { return nextStage_.value_or(INT32_MAX); }
    float GetTimelineRatio() const { return gLevelTimelines.Ratio(); }
    void SetWindowSkin(const std::string& name);
    // From the panel's upgrade button.
    void OfferUpgrade();
    void ApplyAddEntry(const AddEntry& entry);

    // UiControl.
    void Update() override;
    void UpdateMotion(float fraction) override;
    void Draw(Zephra::Graphics* g) override;
    void KeyDown(int keyCode) override;
    void MouseMove(int x, int y) override;
    void MouseDown(int x, int y, int button, int clickCount) override;
    void OnShow() override;
    void OnHide() override;

    // OfficeLevel.
    Item* GetHoveredObject() override { return hovered_; }
    bool IsSurvival() override { return survival_ != 0; }
    void ApplySkinEntry(const AddEntry& entry) override;

    // CursorSelectObserver.
    void CursorSelecting() override { hovered_ = nullptr; }

    // Career day-of-month of a day 1..60 (0 outside), and its month.
    static int DayOfMonth(int day);
    static int MonthOfDay(int day) { return (day - 1) / 20 + 1; }
    // The comics page a career day starts with, 0 for the briefing.
    static int ComixPageOfDay(int day);

    Office* GetOffice() const { return office_.get(); }
    int GetDay() const { return day_; }
    int GetLives() const { return lives_; }
    bool IsInPlay() const { return inPlay_ != 0; }
    bool IsLevelStopped() const { return levelStopped_ != 0; }
    bool IsPaused() const { return paused_ != 0; }
    bool IsDayOver() const { return dayOver_ != 0; }
    bool HasOfficeFocus() const { return focus_ != 0; }
    bool IsLevelLoaded() const { return levelLoaded_ != 0; }
    float GetElapsed() const { return elapsed_; }
    float GetSpawnTimer() const { return spawnTimer_; }
    const std::vector<Item*>& GetClickQueue() const { return clickQueue_; }
    const std::deque<int>& GetUpgradeOffers() const { return upgradeOffers_; }
    const SurvivalModel& GetSurvivalModel() const { return survivalModel_; }
    const std::string& GetDebriefingKey(int outcome) const { return debriefingKeys_[outcome]; }

private:
    struct Appearing {
        Item* item = nullptr;
        std::string oldSkin;
        std::string newSkin;
        float time = 1.0f;
        int shownLook = -1;    // 0 old, 1 new, -1 none yet
    };

    void ReadLevel(XmlNode level);
    void RunLevelLogic();
    void RunClientTimeline();
    void RunSurvivalSpawning();
    void AdvanceStages();
    void BeginStage();
    void StepAppearing();
    void ShowLook(Appearing& record, bool newLook);
    void ProcessClickQueue();
    void EndCareerDay();
    void EndSurvival();
    void QueueUpgradeOffer(int kind);
    void PublishCareerTexts();
    bool TutorialAllows(int event) const { return tutorial_ == nullptr || tutorial_->Allows(event); }
    bool TutorialAllowsName(const std::string& name) const {
        return tutorial_ == nullptr || tutorial_->AllowsName(name);
    }
    bool TutorialRunning() const { return tutorial_ != nullptr && tutorial_->IsRunning(); }
    bool PhoneRinging() const;
    void SetTextNumber(const char* key, int value);
    void FindWindow();

    OfficeApp* app_;
    std::unique_ptr<Office> office_;
    std::string debriefingKeys_[3];         // by LevelScreens::Outcome
    std::vector<Appearing> appearing_;
    std::deque<int> upgradeOffers_;         // 0 add list, 1 skin list
    uint8_t inPlay_ = 0;
    uint8_t levelStopped_ = 0;
    float elapsed_ = 0.0f;
    int32_t money_ = 0;
    int32_t stageThreshold_ = 0;
    std::optional<int32_t> nextStage_ = 0;  // none: no further stage
    int32_t day_ = 0;
    float spawnTimer_ = 0.0f;
    uint8_t paused_ = 0;
    uint8_t survival_ = 0;
    uint8_t focus_ = 0;
    SurvivalModel survivalModel_;
    std::optional<ClientTemplate> pending_;
    int pendingSlot_ = -1;
    int lives_ = 0;
    uint8_t dayOver_ = 0;
    float dayOverTimer_ = 0.0f;
    uint8_t levelLoaded_ = 0;
    std::vector<Item*> clickQueue_;
    Item* hovered_ = nullptr;
    Item* window_ = nullptr;
    std::unique_ptr<XmlDocument> levelDoc_;
    LevelScreens* screens_ = nullptr;
    LevelTutorial* tutorial_ = nullptr;
    std::unique_ptr<BonusChain> chain_;
    LevelBonus* bonus_ = nullptr;
};

// The level screen while one exists.
extern LevelScreen* gLevelScreen;
