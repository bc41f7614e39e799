#include "game/screens/message_box2.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/memory_image.h"
#include "game/app/office_app.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"

namespace {
MessageBox2Dialog* gMessageBox = nullptr;
UiDialog* gMessageBlocker = nullptr;
} // namespace

MessageBox2Dialog::MessageBox2Dialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) {
    LoadByName(layouts, "dialogbox_2button");
}

void MessageBox2Dialog::AddChild(const std::string& name, UiControl* control) {
    Bind(name, "btn_yes", control, mYes) || Bind(name, "btn_no", control, mNo);
    UiControl::AddChild(name, control);
}

void MessageBox2Dialog::OnCommand(intptr_t id) {
    mResult = mYes != nullptr && id == reinterpret_cast<intptr_t>(mYes) ? 1 : 0;
    Hide();
}

void MessageBox2Dialog::OnShow() { SetLevelFocus(false); }

void MessageBox2Dialog::OnHide() { SetLevelFocus(true); }

void MessageBox2Dialog::Prepare(const std::string& key) {
    if (UiControl* icon = FindChild("icon")) {
        // A key without its picture shows none.
        SetPicture(icon, nullptr);
        if (Zephra::MemoryImage* picture = mIcon.Acquire(mApp, "db01_icon_" + key)) {
            if (auto* text = dynamic_cast<UiText*>(icon))
                text->SetFrame(0, picture, Zephra::Rect(0, 0, picture->mWidth, picture->mHeight));
        }
    }
    TextTable* loc = mApp ? mApp->GetLocTable() : nullptr;
    auto text = [&](const char* prefix) { return loc ? loc->Lookup(prefix + key) : std::u16string(); };
    SetLabel(FindChild("text1"), text("db01_text1_"));
    SetLabel(FindChild("text2"), text("db01_text2_"));
    if (mYes) mYes->SetLabel(text("db01_btnyes_"));
    if (mNo) mNo->SetLabel(text("db01_btnno_"));
}

void MessageBox2Dialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"btn_yes", mYes}, {"btn_no", mNo}, {"icon", FindChild("icon")},
                                               {"text1", FindChild("text1")}, {"text2", FindChild("text2")}});
    for (const char* key : kKeys) {
        const std::string k = key;
        names.textures.push_back("db01_icon_" + k);
        for (const char* prefix : {"db01_text1_", "db01_text2_", "db01_btnyes_", "db01_btnno_"})
            names.locKeys.push_back(prefix + k);
    }
}

void CreateMessageBox2(OfficeApp* app, XmlNode layouts) {
    DestroyMessageBox2();
    gMessageBox = new MessageBox2Dialog(app, layouts);
    gMessageBox->SetVisible(false);
    app->mWidgetManager->AddWidget(gMessageBox);
    gMessageBlocker = MakeBlocker(app);
    app->mWidgetManager->AddWidget(gMessageBlocker);
}

int ShowMessageBox2(const std::string& key) {
    MessageBox2Dialog* box = gMessageBox;
    OfficeApp* app = box ? box->mApp : nullptr;
    if (box == nullptr || app == nullptr || box->mWidgetManager == nullptr) return MessageBox2Dialog::kUnanswered;
    Zephra::WidgetManager* wm = box->mWidgetManager;
    box->Prepare(key);
    box->mResult = MessageBox2Dialog::kUnanswered;
    UiDialog* blocker = gMessageBlocker;
    wm->BringToFront(blocker);
    blocker->SetVisible(true);
    wm->BringToFront(box);
    box->Show();

    // The box may be destroyed by a step (shutdown): watch its life.
    Zephra::WidgetLifeRef life = box->Life();
    wm->PushModal(box);
    int result = MessageBox2Dialog::kUnanswered;
    while (app->StepMainLoop(false)) {
        if (life->mWidget != box || box->mWidgetManager == nullptr) break;
        result = box->mResult;
        if (result != MessageBox2Dialog::kUnanswered) break;
    }
    if (life->mWidget == box) {
        result = box->mResult;
        if (box->mWidgetManager) box->mWidgetManager->PopModal(box);
        if (gMessageBlocker) gMessageBlocker->SetVisible(false);
    }
    return result;
}

void DestroyMessageBox2() {
    if (gMessageBox != nullptr) {
        gMessageBox->mIcon.Release();
        if (gMessageBox->mParent) gMessageBox->mParent->RemoveWidget(gMessageBox);
        delete gMessageBox;
        gMessageBox = nullptr;
    }
    if (gMessageBlocker != nullptr) {
        if (gMessageBlocker->mParent) gMessageBlocker->mParent->RemoveWidget(gMessageBlocker);
        delete gMessageBlocker;
        gMessageBlocker = nullptr;
    }
}

MessageBox2Dialog* GetMessageBox2() { return gMessageBox; }
