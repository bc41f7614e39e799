#include "game/office/office_globals.h"

std::vector<Worker*> gWorkers;

DefTable<ClientDef> gClientDefs;
DefTable<WorkerDef> gWorkerDefs;
DefTable<PersDef> gPersDefs;
GameParams gGameParams;

XmlDocument* gOfficeDoc = nullptr;
XmlDocument* gLevelDoc = nullptr;

Boss* gBoss = nullptr;
Secretary* gSecretary = nullptr;
Engineer* gEngineer = nullptr;
Phone* gPhone = nullptr;
MiniBar* gMiniBar = nullptr;
PeriodItem* gSafe = nullptr;
PeriodItem* gCoffeeMachine = nullptr;
PeriodItem* gAirConditioner = nullptr;
PeriodItem* gConferencePlace = nullptr;
PeriodItem* gCupboard = nullptr;
PeriodItem* gPresentationPlace = nullptr;
PeriodItem* gStereoSystem = nullptr;
ItemBonus* gBonusObject = nullptr;

namespace {
OfficeLevel* gOfficeLevel = nullptr;
} // namespace

void ClearNamedObjects() {
    gBoss = nullptr;
    gSecretary = nullptr;
    gEngineer = nullptr;
    gPhone = nullptr;
    gMiniBar = nullptr;
    gSafe = nullptr;
    gCoffeeMachine = nullptr;
    gAirConditioner = nullptr;
    gConferencePlace = nullptr;
    gCupboard = nullptr;
    gPresentationPlace = nullptr;
    gStereoSystem = nullptr;
    gBonusObject = nullptr;
}

void SetOfficeLevel(OfficeLevel* level) { gOfficeLevel = level; }
OfficeLevel* GetOfficeLevel() { return gOfficeLevel; }

Item* LevelHoveredObject() { return gOfficeLevel ? gOfficeLevel->GetHoveredObject() : nullptr; }
bool LevelIsSurvival() { return gOfficeLevel && gOfficeLevel->IsSurvival(); }
void LevelApplySkinEntry(const AddEntry& entry) {
    if (gOfficeLevel) gOfficeLevel->ApplySkinEntry(entry);
}
