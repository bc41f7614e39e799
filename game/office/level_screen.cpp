#include "game/office/level_screen.h"
#include <cmath>
#include <cstdio>
#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "game/app/game_util.h"
#include "game/app/office_app.h"
#include "game/effects/particles.h"
#include "game/office/boss.h"
#include "game/office/bonus_chain.h"
#include "game/office/client_slots.h"
#include "game/office/door.h"
#include "game/office/item.h"
#include "game/office/office.h"
#include "game/office/office_xml.h"
#include "game/office/period_item.h"
#include "game/office/person.h"
#include "game/office/phone.h"
#include "game/office/pickable.h"
#include "game/office/skin.h"
#include "game/office/z_order.h"
#include "platform/random.h"

LevelScreen* gLevelScreen = nullptr;

namespace {

// Day of the month of each career day; index 0 is no day.
constexpr int kDayOfMonth[LevelScreen::kLastDay + 1] = {
    0,
    1, 4, 5, 6, 7, 8, 11, 12, 14, 15, 18, 19, 20, 21, 22, 25, 26, 27, 28, 29,
    1, 3, 4, 5, 8, 9, 10, 11, 12, 15, 16, 17, 18, 19, 22, 23, 24, 26, 29, 30,
    1, 2, 3, 6, 7, 8, 10, 13, 14, 15, 16, 20, 22, 23, 24, 27, 28, 29, 30, 31,
};
constexpr int kFinalComixPage = 5;

// The persons by name; a missing one, or one of another class, is none.
Person* FindPerson(const char* name) { return dynamic_cast<Person*>(FindObject(name)); }

bool IsReady(PeriodItem* item) { return item != nullptr && item->IsReady(); }

// A missing person counts as busy, so nothing is handed to it.
bool IsBusy(const Person* person) { return person == nullptr || person->IsBusy(); }

void DropCurrentTarget(Person* person) {
    if (person) person->ExchangeTarget(nullptr);
}

std::string LevelPath(bool survival, int day) {
    char path[64];
    std::snprintf(path, sizeof path, survival ? "cfg\\endless%d.xml" : "cfg\\l%d.xml", day);
    return path;
}

// A click on a client is a click on its place: the hand shows over both,
// and the tutorial waits for the place.
Item* ClickedObject(Item* item) {
    const std::string& name = item->GetName();
    if (!name.starts_with("client") || name.starts_with("client_place") || dynamic_cast<SlotClient*>(item) == nullptr)
        return item;
    Item* place = FindObject("client_place" + name.substr(6));
    return place ? place : item;
}

// The client behind a client place, as its status source ("shown").
bool ClientShown(Item* client) {
    auto* source = dynamic_cast<StatusSource*>(client);
    return source != nullptr && source->IsShown();
}

// An object the boss cannot walk to from where the boss starts would wait on
// the boss for ever: it is left out of the day (never shown nor active), with
// a warning naming the level's file and the object.
void LeaveOutUnreachable(Office& office, OfficeApp* app, const std::string& file) {
    PathGraphSet* set = office.FindPathGraphSet("boss");
    if (set == nullptr || gBoss == nullptr) return;
    const std::string& start = gBoss->GetStartPoint();
    PathGraph& graph = set->MergedGraph();
    if (!graph.HasPoint(start)) return;
    for (Item* item : std::vector<Item*>(gObjects)) {
        const std::string& name = item->GetName();
        if (item == gBoss || name == start || !graph.HasPoint(name) || graph.FindPath(start, name)) continue;
        item->SetVisible(false);
        if (app)
            app->Warn(file + ": the boss cannot reach " + name + " from " + start +
                      " on the office's and the level's graphs; it is left out of the day");
    }
}

} // namespace

LevelScreen::LevelScreen(OfficeApp* app) : UiControl(nullptr), app_(app) {
    if (app_) {
        app_->mLevelScreen = this;
        Resize(0, 0, app_->mWidth, app_->mHeight);
    }
    gLevelScreen = this;
    gFrameTime = 0.0f;
    office_ = std::make_unique<Office>();
    SetOfficeLevel(this);
    if (app_ && app_->GetCursorTable()) app_->GetCursorTable()->SetObserver(this);
    if (!office_->Load() && app_) app_->Warn("cannot read " + std::string(Office::kConfigPath) + ": " + office_->LastError());
    chain_ = std::make_unique<BonusChain>();
    if (gOfficeDoc) chain_->Load(gOfficeDoc->child("office"));
    bonus_ = chain_.get();
    paused_ = 0;
}

LevelScreen::~LevelScreen() {
    if (tutorial_) tutorial_->Stop();
    ClearLevel();
    // The office goes first: its objects leave the registries and the slots
    // they took before the path-graph sets and globals are forgotten.
    office_.reset();
    ClientSlots::Clear();
    gWorkers.clear();
    gLevelTimelines.Clear();
    gLevelDoc = nullptr;
    gFrameTime = 0.0f;
    if (GetOfficeLevel() == this) SetOfficeLevel(nullptr);
    if (app_ && app_->GetCursorTable()) app_->GetCursorTable()->SetObserver(nullptr);
    if (app_ && app_->mLevelScreen == this) app_->mLevelScreen = nullptr;
    if (gLevelScreen == this) gLevelScreen = nullptr;
}

// ---------------------------------------------------------------- life cycle

bool LevelScreen::LoadLevel(int day) {
    day_ = day;
    const bool hasLoadScreen = screens_ && screens_->ShowLoadScreen(true);
    FindWindow();
    if (window_) window_->FireEvent("window_reset");
    if (tutorial_) {
        tutorial_->Stop();
        if (!survival_) tutorial_->Start(day);
    }
    ClearLevel();
    const std::string path = LevelPath(survival_ != 0, day);
    levelLoaded_ = 0;
    std::unique_ptr<XmlDocument> doc;
    if (XmlLoadDocument(doc, path) && doc->child("level")) {
        levelDoc_ = std::move(doc);
        gLevelDoc = levelDoc_.get();
        ReadLevel(levelDoc_->child("level"));
        levelLoaded_ = 1;
    } else if (app_) {
        app_->Warn("cannot read " + path + ": " + (doc ? "no \"level\" element" : XmlLastError()));
    }
    if (hasLoadScreen) {
        screens_->ShowLoadScreen(false);
    } else {
        Show();
    }
    return levelLoaded_ != 0;
}

void LevelScreen::ReadLevel(XmlNode level) {
    for (Item* item : gObjects) item->Reset();
    gLevelTimelines.Clear();
    if (gZOrder) gZOrder->Reset();

    XmlNode objects = level.child("objects");
    for (Item* item : std::vector<Item*>(gObjects)) {
        const XmlVars vars{{"n", item->GetName()}};
        XmlNode element = objects ? XmlSelectNode(objects, ".//object[@name = $n]", &vars) : XmlNode();
        if (element) {
            item->OnCommand(element);
        } else {
            item->SetVisibleFlag(false);
        }
    }
    office_->BuildDrawOrder();

    gLevelTimelines.Read(level);
    XmlNode params = level.child("params");
    gGameParams.moneyGoal = -1;
    gGameParams.expertGoal = -1;
    XmlGetAttrInt(params, "normal", gGameParams.moneyGoal);
    XmlGetAttrInt(params, "expert", gGameParams.expertGoal);

    if (!survival_) {
        const std::string briefing = OfficeText(level, "briefing");
        if (screens_) screens_->SetBriefingText(briefing);
        debriefingKeys_[LevelScreens::kFailure] = OfficeText(level, "debriefing_bad");
        debriefingKeys_[LevelScreens::kGoal] = OfficeText(level, "debriefing_good");
        debriefingKeys_[LevelScreens::kExpert] = OfficeText(level, "debriefing_perfect");
    } else {
        survivalModel_.Read(level);
        debriefingKeys_[LevelScreens::kExpert] = "debreif_endlessp";
        debriefingKeys_[LevelScreens::kGoal] = "debreif_endlessg";
        debriefingKeys_[LevelScreens::kFailure] = "debreif_endlessb";
    }

    for (const char* person : Office::kPersonNames) {
        if (PathGraphSet* set = office_->FindPathGraphSet(person)) {
            set->AddObjectPoints(person);
            set->LoadLevelGraphs(level);
        }
    }
    LeaveOutUnreachable(*office_, app_, LevelPath(survival_ != 0, day_));
    for (Item* item : std::vector<Item*>(gObjects)) {
        if (item->IsVisible()) item->SetActive(true);
    }
}

void LevelScreen::StartLevel() {
    spawnTimer_ = 0.0f;
    money_ = 0;
    stageThreshold_ = 0;
    nextStage_ = 0;
    elapsed_ = 0.0f;
    gFrameTime = 0.0f;
    levelStopped_ = 0;
    inPlay_ = 1;
    clickQueue_.clear();
    gLevelTimelines.Prepare();
    if (app_ && app_->GetParticleRegistry()) app_->GetParticleRegistry()->KillAll();
    if (screens_) screens_->SetUpgradeDisabled(true);
    dayOver_ = 0;
    if (survival_) {
        upgradeOffers_.clear();
        appearing_.clear();
    }
    RunLevelLogic();
    if (!survival_) {
        PublishCareerTexts();
        const int page = ComixPageOfDay(day_);
        if (screens_) {
            if (page > 0) {
                screens_->SetComixPage(page);
                screens_->ShowDialog(LevelScreens::kComix, true);
            } else {
                screens_->ShowDialog(LevelScreens::kBriefing, true);
            }
        }
        // Nothing runs until the briefing or the comics give the play back.
        inPlay_ = 0;
    } else {
        SetTextNumber("currentday", survivalModel_.stageIndex + 1);
        SetTextNumber("currentmonth", day_);
        SetTextNumber("money", 0);
        pending_.reset();
        pendingSlot_ = -1;
        lives_ = kSurvivalLives;
        if (screens_) screens_->SetLives(lives_);
    }
    if (bonus_) bonus_->Reset();
    if (screens_) screens_->SetupPanel();
}

void LevelScreen::PublishCareerTexts() {
    SetTextNumber("currentday", DayOfMonth(day_));
    SetTextNumber("currentmonth", MonthOfDay(day_));
    SetTextNumber("goal", gGameParams.moneyGoal);
    SetTextNumber("normal", gGameParams.moneyGoal);
    SetTextNumber("expert", gGameParams.expertGoal);
    SetTextNumber("money", money_);
}

void LevelScreen::NextDay() {
    StopPlay();
    ++day_;
    if (day_ <= kLastDay) {
        ClearLevel();
        LoadLevel(day_);
        StartLevel();
        return;
    }
    if (screens_) {
        screens_->SetComixPage(kFinalComixPage);
        screens_->ShowDialog(LevelScreens::kComix, true);
    }
}

void LevelScreen::RestartDay() {
    StopPlay();
    ClearLevel();
    LoadLevel(day_);
    StartLevel();
}

void LevelScreen::ClearLevel() {
    appearing_.clear();
    levelStopped_ = 1;
    FindWindow();
    if (office_) {
        for (const char* person : Office::kPersonNames) {
            if (PathGraphSet* set = office_->FindPathGraphSet(person)) set->ClearLevel();
        }
    }
    for (Item* item : std::vector<Item*>(gObjects)) item->SetActive(false);
    for (Item* item : std::vector<Item*>(gObjects)) item->Reset();
    gLevelTimelines.Clear();
    if (gZOrder) gZOrder->Reset();
    clickQueue_.clear();
    hovered_ = nullptr;
    if (gLevelDoc == levelDoc_.get()) gLevelDoc = nullptr;
    levelDoc_.reset();
}

void LevelScreen::FindWindow() { window_ = FindObject("window"); }

// ---------------------------------------------------------------- money, lives

int LevelScreen::AddMoney(int amount) {
    const int64_t sum = static_cast<int64_t>(money_) + amount;
    money_ = static_cast<int32_t>(std::clamp<int64_t>(sum, 0, INT32_MAX));
    SetTextNumber("money", money_);
    return money_;
}

void LevelScreen::LoseLife() {
    if (!survival_) return;
    --lives_;
    if (lives_ < 1) {
        if (screens_) screens_->SetLives(0);
        dayOver_ = 1;
        dayOverTimer_ = kSurvivalEndDelay;
    } else if (screens_) {
        screens_->SetLives(lives_);
    }
}

void LevelScreen::SetTextNumber(const char* key, int value) {
    if (app_ && app_->GetTextVars()) app_->GetTextVars()->SetNumber(key, value);
}

// ---------------------------------------------------------------- per step

void LevelScreen::Update() {
    if (paused_) return;
    UiControl::Update();
    const bool running = inPlay_ && !paused_;
    gFrameTime = running ? (app_ ? app_->mUpdateInterval : 10) / 1000.0f : 0.0f;
    if (running && app_) {
        app_->mTotalPlayTime += gFrameTime;
        app_->AddPlayedTime(app_->mUpdateInterval);
    }
    elapsed_ += gFrameTime;
    if (!levelStopped_) RunLevelLogic();
}

void LevelScreen::UpdateMotion(float fraction) {
    if (paused_) return;
    MarkDirtyFull();
    if (!inPlay_) return;
    for (Item* item : std::vector<Item*>(gObjects)) item->UpdateMotion(fraction);
}

void LevelScreen::RunLevelLogic() {
    if (!inPlay_) return;
    if (!survival_) {
        if (dayOver_) {
            EndCareerDay();
            return;
        }
        if (tutorial_) tutorial_->Step(gFrameTime);
        RunClientTimeline();
    } else {
        if (dayOver_) {
            EndSurvival();
            return;
        }
        RunSurvivalSpawning();
    }
    for (Item* item : std::vector<Item*>(gObjects)) item->Update();
    if (bonus_) bonus_->Step(gFrameTime);
    StepAppearing();
    if (TutorialAllows(kEventClicks)) {
        ProcessClickQueue();
        clickQueue_.clear();
    }
}

// A phone whose call is still under way (answered, not yet put down) is busy
// too: a new caller would take the line from the one on it.
bool LevelScreen::PhoneRinging() const {
    return gPhone != nullptr && (gPhone->IsRinging() || gPhone->GetCaller() != nullptr);
}

void LevelScreen::RunClientTimeline() {
    std::vector<TimePoint>& run = gLevelTimelines.clientsRun;
    if (!ClientSlots::AnyPresent() && run.empty()) {
        dayOver_ = 1;
        dayOverTimer_ = kCareerEndDelay;
        return;
    }
    const int slot = ClientSlots::FindIdle();
    // Without any client slot a due point can never be served: it is dropped
    // as it comes due, so the day still ends.
    const bool canSpawn = slot >= 0 || gClientSlotCount == 0;
    if (!TutorialAllows(kEventSpawn) || !canSpawn || PhoneRinging()) return;
    if (spawnTimer_ < 0.0f) {
        spawnTimer_ += gFrameTime;
        return;
    }
    if (run.empty() || run.front().time > elapsed_) return;
    const TimePoint point = run.front();
    run.erase(run.begin());
    if (SlotClient* client = ClientSlots::Get(slot)) client->Spawn(point.event, point.vip != 0, slot, point.orders);
    SetWindowSkin(point.windowEvent);
    spawnTimer_ = -gGameParams.events_delay_timeout;
}

void LevelScreen::RunSurvivalSpawning() {
    if (survivalModel_.stageIndex < 0) {
        BeginStage();
    } else {
        AdvanceStages();
    }
    StageRecord* stage = survivalModel_.TemplateStage();
    if (spawnTimer_ >= 0.0f) {
        spawnTimer_ -= gFrameTime;
        return;
    }
    if (pending_) {
        const std::vector<std::string> orders = BuildOrders(*pending_, survivalModel_.orderTemplates);
        if (SlotClient* client = ClientSlots::Get(pendingSlot_))
            client->Spawn(pending_->name, pending_->vip != 0, pendingSlot_, orders);
        DebugTrace(" +respawn client: %s\n", pending_->name.c_str());
        pending_.reset();
    }
    const int slot = ClientSlots::FindIdle();
    if (slot < 0 || PhoneRinging() || stage == nullptr || stage->clients.empty()) return;
    const int pick = PickClientTemplate(stage->clients, platform::Rand());
    if (pick < 0) return;
    pending_ = stage->clients[static_cast<size_t>(pick)];
    spawnTimer_ = SpawnDelay(*pending_, platform::Rand());
    pendingSlot_ = slot;
}

void LevelScreen::AdvanceStages() {
    while (nextStage_ && money_ >= *nextStage_) {
        // The stages passed on the way past the list bring nothing but their
        // thresholds: only the last of them begins.
        const int passed = StagesReachedPastTheList(survivalModel_.stages, survivalModel_.stageIndex, money_) - 1;
        if (passed > 0) {
            survivalModel_.stageIndex += passed;
            nextStage_ = NextStageThreshold(survivalModel_.stages, survivalModel_.stageIndex);
        }
        BeginStage();
    }
}

void LevelScreen::BeginStage() {
    ++survivalModel_.stageIndex;
    const int index = survivalModel_.stageIndex;
    SetTextNumber("currentday", index + 1);
    if (index < static_cast<int>(survivalModel_.stages.size())) {
        const StageRecord& stage = survivalModel_.stages[static_cast<size_t>(index)];
        for (const AddEntry& entry : stage.objects) ApplyAddEntry(entry);
        if (stage.windowEvent == 1) SetWindowSkin("window_morning");
        if (stage.windowEvent == 2) SetWindowSkin("window_day");
        if (stage.upgradeAdd) QueueUpgradeOffer(0);
        if (stage.upgradeSkin) QueueUpgradeOffer(1);
    }
    stageThreshold_ = nextStage_.value_or(INT32_MAX);
    nextStage_ = NextStageThreshold(survivalModel_.stages, index);
}

void LevelScreen::QueueUpgradeOffer(int kind) {
    if (upgradeOffers_.empty() && screens_) screens_->SetUpgradeDisabled(false);
    upgradeOffers_.push_back(kind);
}

void LevelScreen::OfferUpgrade() {
    if (upgradeOffers_.empty()) return;
    const int kind = upgradeOffers_.front();
    std::vector<UpgradeEntry>& list = kind == 0 ? survivalModel_.addList : survivalModel_.skinList;
    if (!list.empty()) {
        std::vector<std::string> names;
        for (size_t i = 0; i < list.size() && i < kMaxUpgradeChoices; ++i) names.push_back(list[i].name);
        inPlay_ = 0;
        const std::string chosen = screens_ ? screens_->ChooseUpgrade(names) : std::string();
        if (!chosen.empty()) {
            for (auto it = list.begin(); it != list.end(); ++it) {
                if (it->name != chosen) continue;
                const UpgradeEntry entry = *it;
                list.erase(it);
                for (const AddEntry& object : entry.objects) {
                    if (kind == 0) {
                        ApplyAddEntry(object);
                    } else {
                        ApplySkinEntry(object);
                    }
                }
                break;
            }
        }
        inPlay_ = 1;
    }
    // An offer whose list is empty has nothing to give and goes as well.
    upgradeOffers_.pop_front();
    if (upgradeOffers_.empty() && screens_) screens_->SetUpgradeDisabled(true);
}

void LevelScreen::ApplyAddEntry(const AddEntry& entry) {
    for (Item* item : std::vector<Item*>(gObjects)) {
        if (item->GetName() != entry.name) continue;
        if (!entry.skin.empty()) item->SetSkin(entry.skin, true);
        if (!entry.anim.empty()) {
            item->PlayAnim(entry.anim);
            item->PlayAnimIfKnown(entry.anim, false);
        }
        item->SetVisible(true);
        item->SetActive(true);
        item->SetActive(false);
        item->SetActive(true);
        // The "add_object" effect brings the object in and activates it at
        // its end; an object without one is ready at once.
        if (item->HasEvent("add_object")) item->SetActiveFlag(false);
        item->FireEvent("add_object");
    }
}

void LevelScreen::ApplySkinEntry(const AddEntry& entry) {
    for (Item* item : std::vector<Item*>(gObjects)) {
        if (item->GetName() != entry.name) continue;
        if (!item->IsVisible()) {
            item->SetSkin(entry.skin, true);
            continue;
        }
        Appearing record;
        record.item = item;
        record.oldSkin = item->GetSkinName();
        record.newSkin = entry.skin;
        if (record.oldSkin == "none") {
            item->SetSkin(entry.skin, true);
            if (!entry.anim.empty()) item->PlayAnim(entry.anim);
        }
        appearing_.push_back(record);
    }
}

void LevelScreen::StepAppearing() {
    for (auto it = appearing_.begin(); it != appearing_.end();) {
        Appearing& record = *it;
        record.time -= gFrameTime / 2.0f;
        if (record.time >= 0.0f) {
            const float phase = (1.0f - record.time) * 10.0f;
            ShowLook(record, phase - std::floor(phase) >= 0.5f);
            ++it;
            continue;
        }
        ShowLook(record, true);
        record.item->SetActive(true);
        it = appearing_.erase(it);
    }
}

void LevelScreen::ShowLook(Appearing& record, bool newLook) {
    const int look = newLook ? 1 : 0;
    if (record.shownLook == look) return;
    record.shownLook = look;
    if (record.oldSkin == "none") {
        record.item->SetVisible(newLook);
        return;
    }
    record.item->SetSkin(newLook ? record.newSkin : record.oldSkin, false);
    record.item->PlayAnim(record.item->GetAnimName());
}

void LevelScreen::SetWindowSkin(const std::string& name) {
    if (name != "window_day" && name != "window_morning") return;
    if (window_ == nullptr) return;
    for (const auto& part : window_->GetParts()) {
        if (part->GetName() == name) part->FireMessage("fade_out");
    }
}

// ---------------------------------------------------------------- clicks

void LevelScreen::ProcessClickQueue() {
    Person* boss = FindPerson("boss");
    Person* secretary = FindPerson("secretary");
    Person* engineer = FindPerson("engineer");
    for (Item* clicked : clickQueue_) {
        Item* item = ClickedObject(clicked);
        const std::string& name = item->GetName();
        if (name == "door03") {
            if (!IsBusy(engineer)) {
                if (auto* door = dynamic_cast<Door*>(item)) door->OpenByClick();
            }
            continue;
        }
        if (name == "stereo_system" || name == "air_conditioner") {
            PeriodItem* device = name == "stereo_system" ? gStereoSystem : gAirConditioner;
            if (engineer && engineer->HasCurrentTarget() && IsReady(device) && !engineer->IsBusy())
                engineer->QueueTarget(item);
            DropCurrentTarget(engineer);
            continue;
        }
        if (name == "presentation_place") {
            if (!IsBusy(secretary) && IsReady(gPresentationPlace)) secretary->QueueTarget(item);
            DropCurrentTarget(secretary);
            continue;
        }
        if (name == "coffeemachine") {
            if (!IsBusy(secretary) && IsReady(gCoffeeMachine)) {
                secretary->QueueTarget(gCoffeeMachine);
                secretary->ExchangeTarget(item);
            }
            continue;
        }
        if (name.starts_with("client_place")) {
            std::string clientName = "client" + name.substr(12);
            if (clientName.size() > kOfficeTextCapacity - 1) clientName.resize(kOfficeTextCapacity - 1);
            if (Item* client = FindObject(clientName)) {
                const bool shown = ClientShown(client);
                if (TutorialRunning() && shown && TutorialAllowsName(name)) tutorial_->Notify(kEventSpawn);
                if (secretary && secretary->HasCurrentTarget() && shown) {
                    if (!secretary->IsBusy()) secretary->QueueTarget(item);
                    secretary->ExchangeTarget(nullptr);
                    continue;
                }
                DropCurrentTarget(secretary);
            }
        }
        DropCurrentTarget(secretary);
        DropCurrentTarget(engineer);
        if (TutorialAllowsName(name) && boss) boss->QueueTarget(item);
        if (TutorialRunning() && name.starts_with("table") && TutorialAllowsName(name)) tutorial_->Notify(kEventTable);
    }
}

void LevelScreen::MouseDown(int x, int y, int button, int clickCount) {
    UiControl::MouseDown(x, y, button, clickCount);
    if (button != 0 || !inPlay_) return;
    for (Pickable* pickable : gPickables) {
        if (!pickable->IsVisible() || !pickable->HitTest(x, y) || !pickable->IsActive()) continue;
        pickable->OnClick();
        if (clickQueue_.empty() || clickQueue_.back() != pickable) {
            if (app_ && app_->GetSoundManager()) app_->GetSoundManager()->Play("click");
            clickQueue_.push_back(pickable);
        }
        return;
    }
}

void LevelScreen::MouseMove(int x, int y) {
    UiControl::MouseMove(x, y);
    if (!inPlay_) return;
    Item* accepted = nullptr;
    for (Pickable* pickable : std::vector<Pickable*>(gPickables)) {
        if (!pickable->IsVisible()) continue;
        const bool hit = pickable->HitTest(x, y) && TutorialAllowsName(pickable->GetName());
        pickable->UpdateHover({x, y}, hit);
        if (accepted == nullptr && pickable->IsClickable(hit)) accepted = pickable;
    }
    CursorTable* cursors = app_ ? app_->GetCursorTable() : nullptr;
    if (cursors) cursors->Select(accepted ? "active" : "normal");
    hovered_ = accepted;
}

void LevelScreen::KeyDown(int keyCode) {
    UiControl::KeyDown(keyCode);
    if (keyCode != kKeyEscape || !focus_ || screens_ == nullptr) return;
    screens_->ShowDialog(LevelScreens::kEscapeMenu, !screens_->IsDialogShown(LevelScreens::kEscapeMenu));
}

// ---------------------------------------------------------------- show, draw

void LevelScreen::OnShow() {
    if (app_ && app_->GetMusicManager()) app_->GetMusicManager()->Play("level");
    if (screens_) screens_->ShowPanel(true);
    if (mWidgetManager) mWidgetManager->SetFocus(this);
    focus_ = 1;
}

void LevelScreen::OnHide() {
    if (screens_) screens_->ShowPanel(false);
    inPlay_ = 0;
    focus_ = 0;
    if (mWidgetManager && mWidgetManager->GetFocus() == this) mWidgetManager->SetFocus(nullptr);
    // Nothing of the office keeps sounding once the player has left it.
    if (app_ && app_->GetSoundManager()) app_->GetSoundManager()->StopGroup("game");
}

void LevelScreen::Draw(Zephra::Graphics* g) {
    if (gGroundImage) g->DrawImageStretched(gGroundImage, 0, 0, 800, 600);
    if (office_) office_->Draw(*g);
    // The game cursor is drawn over the whole widget tree by the composition.
}

// ---------------------------------------------------------------- day ends

void LevelScreen::EndCareerDay() {
    if (dayOverTimer_ < 0.0f) return;
    dayOverTimer_ -= gFrameTime;
    if (dayOverTimer_ >= 0.0f) return;
    levelStopped_ = 1;
    LevelScreens::Outcome outcome;
    // A day that never loaded has no goal to reach.
    if (!levelLoaded_ || money_ < gGameParams.moneyGoal) {
        outcome = LevelScreens::kFailure;
    } else if (money_ < gGameParams.expertGoal) {
        outcome = LevelScreens::kGoal;
    } else {
        outcome = LevelScreens::kExpert;
    }
    if (screens_) screens_->SetDebriefing(debriefingKeys_[outcome], outcome == LevelScreens::kFailure, outcome);
    if (outcome != LevelScreens::kFailure && day_ >= 1 && day_ <= kLastDay && app_) {
        ProfileRecord& profile = app_->GetCurrentProfile();
        if (profile.reachedDay == day_) ++profile.reachedDay;
        int32_t& best = profile.bestMoney[day_ - 1];
        if (money_ > best) best = money_;
        app_->GetRecordTable().AddScore(false, profile.name, money_);
    }
    if (screens_) screens_->ShowDialog(LevelScreens::kDebriefing, true);
    if (app_) app_->SavePrefs();
}

void LevelScreen::EndSurvival() {
    if (dayOverTimer_ < 0.0f) return;
    dayOverTimer_ -= gFrameTime;
    if (dayOverTimer_ >= 0.0f) return;
    // The survival end runs once.
    levelStopped_ = 1;
    int rank = prefs::kHiscoreEntries;
    if (app_) {
        rank = app_->GetRecordTable().AddScore(true, app_->GetCurrentProfile().name, money_);
        app_->SavePrefs();
    }
    const LevelScreens::Outcome outcome = rank == 0   ? LevelScreens::kExpert
                                          : rank <= 9 ? LevelScreens::kGoal
                                                      : LevelScreens::kFailure;
    if (screens_) {
        screens_->SetDebriefing(debriefingKeys_[outcome], false, outcome);
        screens_->ShowDialog(LevelScreens::kDebriefing, true);
    }
}

// ---------------------------------------------------------------- tables

int LevelScreen::DayOfMonth(int day) { return day >= 1 && day <= kLastDay ? kDayOfMonth[day] : 0; }

int LevelScreen::ComixPageOfDay(int day) {
    switch (day) {
    case 1: return 1;
    case 21: return 3;
    case 41: return 4;
    default: return 0;
    }
}
