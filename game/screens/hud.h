#pragma once
#include <map>
#include <string>
#include <deque>
#include "game/office/rule_sequencer.h"
#include "game/screens/screen_kit.h"

class LevelScreen;
class UiBar;
class UiButton;

// The clock frame for a timeline ratio (1 at the start of the day, 0 at its
// end) among count frames: the first at 1, the last at 0, clamped between;
// -1 (leave the clock as it is) without frames or for a ratio that is not a
// number.
int HudClockFrame(int count, float ratio);

// The panel over the running office ("hud"): the money bar towards the goal
// and then the expert goal, their pop-ups, the day clock, the survival lives,
// the menu and upgrade buttons and the tutorial pop-ups. It reads the level
// every frame and owns the in-level dialogs, added as its named children.
class Hud : public Screen, public TutorialOwner {
public:
    static constexpr int kMaxLives = 3;

    // Children of the layout whose name holds this word are tutorial pop-ups,
    // numbered by what follows it.
    static constexpr const char* kTutorialWord = "tutorial";

    HeldPicture mExpertBackground;
    HeldPicture mGoalBackground;
    HeldPicture mBarTexture;
    HeldPicture mExpertBarTexture;
    std::map<int, UiControl*> mTutorials;
    UiControl* mGoalDialog = nullptr;
    UiControl* mExpertDialog = nullptr;
    UiControl* mSurvivalLives = nullptr;
    UiControl* mGoal = nullptr;
    UiControl* mGoalValue = nullptr;
    UiControl* mExpert = nullptr;
    UiControl* mExpertValue = nullptr;
    UiControl* mBgHud = nullptr;
    UiBar* mBar = nullptr;
    bool mGoalReached = false;
    bool mExpertReached = false;
    UiButton* mMenu = nullptr;
    UiButton* mUpgradeBtn = nullptr;
    UiControl* mUpgradeBack = nullptr;
    int mShownStage = 0;
    std::deque<HeldPicture> mClockFrames;
    UiControl* mHudClock = nullptr;
    int mLives = 0;
    UiControl* mLife[kMaxLives] = {};

    // The level is the panel's parent control and what it reads.
    Hud(LevelScreen* level, OfficeApp* app, XmlNode layouts);
    // The modal dialogs hide (their blockers go) before the children do.
    ~Hud() override;

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void Update() override;
    // In front of the office's other children.
    void OnShow() override;
    void ListNames(ScreenNames& names) const override;

    void OpenUpgrade();
    void SetUpgradeDisabled(bool disabled);
    // 0..3 indicators enabled; more than three does nothing.
    void SetLives(int lives);
    // The tutorial pop-ups by number; nothing, or false, for a number without one.
    void ShowChild(int number, bool show) override;
    bool IsChildVisible(int number) const override;
    // Fresh for a new day or survival level; activates the panel.
    virtual void SetupLevel();
    virtual void Teardown();

private:
    void ShowPopup(UiControl* popup);
    void SetBarTextures(const HeldPicture& texture);
    void SetBackdrop(const HeldPicture& picture);
    void UpdateClock();

    LevelScreen* mLevel;
};
