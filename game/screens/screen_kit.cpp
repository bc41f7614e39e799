#include "game/screens/screen_kit.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
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
