#include "game/office/level_link.h"
#include "game/app/office_app.h"
#include "game/office/boss.h"
#include "game/office/item.h"
#include "game/office/level_screen.h"
#include "game/office/office_globals.h"

namespace LevelLink {

int AddMoney(int amount) { return gLevelScreen ? gLevelScreen->AddMoney(amount) : 0; }

void LoseLife() {
    if (gLevelScreen) gLevelScreen->LoseLife();
}

bool TutorialAllows(int event) {
    LevelTutorial* tutorial = gLevelScreen ? gLevelScreen->GetTutorial() : nullptr;
    return tutorial == nullptr || tutorial->Allows(event);
}

void TutorialNotify(int event) {
    if (LevelTutorial* tutorial = gLevelScreen ? gLevelScreen->GetTutorial() : nullptr) tutorial->Notify(event);
}

void BonusAction(int kind, Item* object) {
    if (LevelBonus* bonus = gLevelScreen ? gLevelScreen->GetBonus() : nullptr) bonus->Action(kind, object);
}

void PlaySound(const char* name) {
    OfficeApp* app = GetApp();
    if (app && app->GetSoundManager()) app->GetSoundManager()->Play(name);
}

const std::string& BossCarries() {
    static const std::string kNothing;
    return gBoss ? gBoss->GetStateKey() : kNothing;
}

} // namespace LevelLink
