#include "game/screens/upgrade_dialog.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/ui_button.h"

namespace {

// Ticks or unticks a check only when its ticked state differs: a check on its
// way out counts as unticked and comes back at once.
void Tick(UiControl* check, bool ticked) {
    if (check == nullptr || IsTicked(check) == ticked) return;
    if (ticked) {
        check->Show();
    } else {
        check->Hide();
    }
}

} // namespace

UpgradeDialog::UpgradeDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app), mBlocker(MakeBlocker(app)) {
    LoadByName(layouts, "upgrade");
}

UpgradeDialog::~UpgradeDialog() {
    DropBlocker(this, mBlocker);
    delete mBlocker;
}

void UpgradeDialog::AddChild(const std::string& name, UiControl* control) {
    if (!(Bind(name, "upgrade", control, mUpgrade) || Bind(name, "description_text", control, mDescriptionText) ||
          Bind(name, "sel_upgrade_text", control, mSelUpgradeText)) &&
        name.find("pic") != std::string::npos) {
        const int number = NumberAfter(name, "pic");
        if (number >= 1 && number <= kChoices) {
            Choice& choice = mChoices[number - 1];
            choice.container = control;
            choice.button = Find<UiButton>(control, "pic");
            choice.text = control->FindChild("text");
            choice.check = control->FindChild("check");
        }
    }
    UiControl::AddChild(name, control);
}

std::string UpgradeDialog::SetUpgrades(const std::string& name1, const std::string& name2, const std::string& name3) {
    OnDeactivate();
    const std::string* names[kChoices] = {&name1, &name2, &name3};
    TextTable* loc = mApp ? mApp->GetLocTable() : nullptr;
    for (int i = 0; i < kChoices; ++i) {
        Choice& choice = mChoices[i];
        Zephra::MemoryImage* picture = names[i]->empty() ? nullptr : choice.picture.Acquire(mApp, "db08_" + *names[i]);
        if (picture == nullptr) choice.picture.Release();
        if (choice.button) {
            choice.button->SetTexture(0, picture,
                                      picture ? Zephra::Rect(0, 0, picture->mWidth, picture->mHeight) : Zephra::Rect());
        }
        const std::string& key = choice.picture.Name();
        SetLabel(choice.text, loc && !key.empty() ? loc->Lookup(key) : std::u16string());
    }
    Show();

    Zephra::WidgetManager* wm = mWidgetManager;
    if (mApp == nullptr || wm == nullptr) return std::string();
    // A step may destroy the dialog (shutdown): watch its life.
    Zephra::WidgetLifeRef life = Life();
    wm->PushModal(this);
    while (mApp->StepMainLoop(false)) {
        if (life->mWidget != this || mWidgetManager == nullptr) break;
        if (mSelected != -1 || !(mVisible || mShowing)) break;
    }
    if (life->mWidget != this) return std::string();
    if (mWidgetManager) mWidgetManager->PopModal(this);
    return mSelected >= 0 && mSelected < kChoices ? *names[mSelected] : std::string();
}

void UpgradeDialog::OnShow() {
    mSelected = -1;
    HoldPlay();
    RaiseOverBlocker(this, mBlocker);
    for (int i = 0; i < kChoices; ++i) Tick(mChoices[i].check, i == 0);
    SetLevelFocus(false);
}

void UpgradeDialog::OnCommand(intptr_t id) {
    auto is = [id](const UiControl* c) { return c != nullptr && id == reinterpret_cast<intptr_t>(c); };
    for (int i = 0; i < kChoices; ++i) {
        if (!is(mChoices[i].button)) continue;
        if (mChoices[i].picture.Name().empty()) return;
        for (int k = 0; k < kChoices; ++k) Tick(mChoices[k].check, k == i);
        return;
    }
    if (!is(mUpgrade)) return;
    for (int i = 0; i < kChoices; ++i) {
        if (!IsTicked(mChoices[i].check)) continue;
        mSelected = i;
        break;
    }
    Hide();
}

void UpgradeDialog::OnHide() {
    if (!ReleasePlay()) return;
    DropBlocker(this, mBlocker);
    SetLevelFocus(true);
}

void UpgradeDialog::OnDeactivate() {
    for (Choice& choice : mChoices) choice.picture.Release();
}

void UpgradeDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"upgrade", mUpgrade}, {"description_text", mDescriptionText},
                                               {"sel_upgrade_text", mSelUpgradeText}});
    for (int i = 0; i < kChoices; ++i) {
        const std::string n = "pic" + std::to_string(i + 1);
        names.members.insert(names.members.end(), {{n, mChoices[i].container}, {n + "/pic", mChoices[i].button},
                                                   {n + "/text", mChoices[i].text}, {n + "/check", mChoices[i].check}});
    }
}
