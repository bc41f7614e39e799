#include "game/screens/comix_dialog.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/screens/briefing_dialog.h"
#include "game/screens/menu_background.h"
#include "game/ui/ui_button.h"

ComixDialog::ComixDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) { LoadByName(layouts, "comix"); }

void ComixDialog::AddChild(const std::string& name, UiControl* control) {
    for (int i = 0; i < kPages; ++i) {
        if (!Bind(name, ("comix" + std::to_string(i + 1)).c_str(), control, mPages[i])) continue;
        control->SetVisible(false);
        mButtons[i] = Find<UiButton>(control, "btn");
        if (i == 1) mPrevBtn = Find<UiButton>(control, "prev_btn");
    }
    UiControl::AddChild(name, control);
}

void ComixDialog::SetPage(int page) {
    if (page < 1 || page > kPages) return;
    ShowControl(mPages[mPage], false);
    mPage = page - 1;
    if (mPages[mPage] == nullptr) return;
    BringToFront(mPages[mPage]);
    mPages[mPage]->Show();
}

void ComixDialog::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    if (is(mButtons[0])) {
        SetPage(2);
    } else if (is(mPrevBtn)) {
        SetPage(1);
    } else if (is(mButtons[1]) || is(mButtons[2]) || is(mButtons[3])) {
        Hide();
        // The briefing is the comics' sibling on the panel.
        auto* panel = dynamic_cast<UiControl*>(mParent);
        if (UiControl* briefing = panel ? panel->FindChild("briefing") : nullptr) {
            panel->BringToFront(briefing);
            briefing->Show();
        }
    } else if (is(mButtons[4])) {
        Hide();
        if (mApp && mApp->mMenuBackground) mApp->mMenuBackground->Show();
        if (LevelLink* level = Level()) level->Leave();
        GameSounds(&SoundManager::StopGroup);
    }
}

void ComixDialog::OnActivate() {
    const std::string kind = mApp ? mApp->GetCurrentProfile().bossKind : std::string();
    for (int i = 0; i < kPages; ++i) {
        UiDialog* page = mPages[i];
        if (page == nullptr) continue;
        const Zephra::Rect& size = page->GetLayoutRect();
        page->SetBackground("comix" + std::to_string(i + 1) + "_" + kind, Zephra::Rect(0, 0, size.mWidth, size.mHeight));
    }
}

void ComixDialog::OnShow() {
    if (mWidgetManager) mWidgetManager->SetFocus(this);
    ShowControl(mPages[mPage], true);
    if (mParent) mParent->BringToFront(this);
    SetLevelFocus(false);
}

void ComixDialog::OnHide() {
    FocusLevel(mApp);
    ShowControl(mPages[mPage], false);
    SetLevelFocus(true);
}

void ComixDialog::ListNames(ScreenNames& names) const {
    for (int i = 0; i < kPages; ++i) {
        const std::string n = std::to_string(i + 1);
        names.members.push_back({"comix" + n, mPages[i]});
        names.members.push_back({"comix" + n + "/btn", mButtons[i]});
        names.textures.push_back("comix" + n + "_man");
        names.textures.push_back("comix" + n + "_woman");
    }
    names.members.push_back({"comix2/prev_btn", mPrevBtn});
}
