#include "game/screens/screen_kit.h"

#include <cstdlib>
#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/screens/main_menu.h"
#include "game/screens/menu_background.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"

namespace {
LevelLink* gLevelLink = nullptr;
}

void SetLevelLink(LevelLink* link) { gLevelLink = link; }

LevelLink* GetLevelLink() { return gLevelLink; }

void Screen::PlaySound(const std::string& name) const {
    if (mApp == nullptr) return;
    if (SoundManager* sounds = mApp->GetSoundManager()) sounds->Play(name);
}

void Screen::PlayMusic(const std::string& name) const {
    if (mApp == nullptr) return;
    if (MusicManager* music = mApp->GetMusicManager()) music->Play(name);
}

void Screen::SetLevelFocus(bool focus) const {
    if (LevelLink* level = Level()) level->SetFocusFlag(focus);
}

void Screen::SetLevelInput(bool enabled) const {
    if (LevelLink* level = Level()) level->SetInputEnabled(enabled);
}

void ShowControl(UiControl* control, bool show) {
    if (control == nullptr) return;
    if (show) {
        control->Show();
    } else {
        control->Hide();
    }
}

void EnableControl(UiControl* control, bool enabled) {
    if (control != nullptr) control->SetDisabled(!enabled);
}

void ShowIfHidden(UiControl* control) {
    if (control != nullptr && !control->mVisible) control->Show();
}

void HideIfShown(UiControl* control) {
    if (control != nullptr && control->mVisible) control->Hide();
}

UiDialog* MakeBlocker(OfficeApp* app) {
    auto* blocker = new UiDialog(nullptr, app);
    blocker->Resize(0, 0, 800, 600);
    blocker->SetVisible(false);
    return blocker;
}

void RaiseOverBlocker(UiControl* dialog, UiDialog* blocker) {
    Zephra::WidgetContainer* parent = dialog->mParent;
    if (parent == nullptr || blocker == nullptr) return;
    parent->AddWidget(blocker);
    blocker->SetVisible(true);
    parent->BringToFront(blocker);
    parent->BringToFront(dialog);
}

void DropBlocker(UiControl* dialog, UiDialog* blocker) {
    if (blocker == nullptr || blocker->mParent == nullptr) return;
    (void)dialog;
    blocker->mParent->RemoveWidget(blocker);
}

Zephra::MemoryImage* HeldPicture::Acquire(OfficeApp* app, const std::string& name) {
    Release();
    mApp = app;
    mName = name;
    if (app != nullptr && app->GetTextureTable() != nullptr) mImage = app->GetTextureTable()->Acquire(name);
    return mImage;
}

void HeldPicture::Release() {
    if (mImage != nullptr && mApp != nullptr && mApp->GetTextureTable() != nullptr)
        mApp->GetTextureTable()->Release(mName);
    mImage = nullptr;
    mName.clear();
}

void SetPicture(UiControl* control, Zephra::Image* image) {
    auto* text = dynamic_cast<UiText*>(control);
    if (text == nullptr) return;
    const Zephra::Rect& layout = text->GetLayoutRect();
    text->SetFrame(0, image, Zephra::Rect(0, 0, layout.mWidth, layout.mHeight));
}

void SetLabel(UiControl* control, const std::u16string& label) {
    if (auto* text = dynamic_cast<UiText*>(control)) {
        text->SetLabel(label);
    } else if (auto* button = dynamic_cast<UiButton*>(control)) {
        button->SetLabel(label);
    }
}

void ReturnToMainMenu(UiControl* screen, OfficeApp* app) {
    screen->Hide();
    if (app && app->mMainMenu) app->mMainMenu->Show();
}

void StartLevelFrom(UiControl* screen, OfficeApp* app, int number) {
    LevelLink* level = GetLevelLink();
    if (level == nullptr) return;
    screen->Hide();
    if (app && app->mMenuBackground) app->mMenuBackground->Hide();
    level->StartLevel(number);
}

Zephra::Image* ProfileBoss(OfficeApp* app, const HeldPicture& man, const HeldPicture& woman) {
    const std::string& kind = app->GetCurrentProfile().bossKind;
    return kind == "man" ? man.Image() : kind == "woman" ? woman.Image() : nullptr;
}

int ReachedCareerDay(OfficeApp* app) {
    const int day = app->GetCurrentProfile().reachedDay;
    return day < 1 ? 1 : day > career::kDays + 1 ? career::kDays + 1 : day;
}

int NumberAfter(const std::string& name, const char* word) {
    const size_t at = name.find(word);
    return at == std::string::npos ? 0 : std::atoi(name.c_str() + at + std::char_traits<char>::length(word));
}
