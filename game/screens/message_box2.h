#pragma once
#include <string>
#include "game/screens/screen_kit.h"

class UiButton;

// The yes/no question of the game ("dialogbox_2button"), asked by key: the
// icon "db01_icon_<key>", the texts "db01_text1_<key>" and "db01_text2_<key>"
// and the button labels "db01_btnyes_<key>" and "db01_btnno_<key>". One box
// exists, over a blocker that takes the clicks aimed behind it.
class MessageBox2Dialog : public Screen {
public:
    static constexpr int kUnanswered = 0x7FFFFFFF;
    // The keys the game asks by.
    static constexpr const char* kKeys[] = {"delcareer", "restlvl", "exitmenu", "quit", "delprof"};

    UiButton* mYes = nullptr;
    UiButton* mNo = nullptr;
    int mResult = kUnanswered;
    HeldPicture mIcon;

    MessageBox2Dialog(OfficeApp* app, XmlNode layouts);

    void AddChild(const std::string& name, UiControl* control) override;
    void OnCommand(intptr_t id) override;
    void OnShow() override;
    void OnHide() override;
    void ListNames(ScreenNames& names) const override;

    // Fills the box for the key.
    void Prepare(const std::string& key);
};

// Made once while the screens are built; the box and its blocker join the
// widget manager, hidden.
void CreateMessageBox2(OfficeApp* app, XmlNode layouts);
// Asks and waits in nested main-loop steps, the box the only mouse target:
// 1 for yes, 0 for no, MessageBox2Dialog::kUnanswered when the application
// stopped or the box left the tree first. Without a box: kUnanswered.
int ShowMessageBox2(const std::string& key);
void DestroyMessageBox2();
MessageBox2Dialog* GetMessageBox2();
