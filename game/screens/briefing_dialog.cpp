#include "game/screens/briefing_dialog.h"

#include "framework/app/widget_manager.h"
#include "game/app/career_calendar.h"
#include "game/app/office_app.h"
#include "game/office/level_screen.h"
#include "game/ui/ui_button.h"
#include "game/ui/ui_text.h"

Zephra::Point CalendarMarkAt(int day, int x, int y, int cellWidth, int cellHeight) {
    const career::Cell cell = career::CalendarCell(day);
    return {cell.column * cellWidth + x, cell.row * cellHeight + y};
}

void FocusLevel(OfficeApp* app) {
    LevelScreen* level = app ? app->GetLevelScreen() : nullptr;
    if (level != nullptr && level->mWidgetManager != nullptr) level->mWidgetManager->SetFocus(level);
}

BriefingDialog::BriefingDialog(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) {
    LoadByName(layouts, "briefing");
}

void BriefingDialog::AddChild(const std::string& name, UiControl* control) {
    Bind(name, "continue", control, mContinue) || Bind(name, "newflash", control, mNewflash) ||
        Bind(name, "briefing_text", control, mBriefingText) || Bind(name, "callendar_mark", control, mCallendarMark) ||
        Bind(name, "context_help", control, mContextHelp);
    UiControl::AddChild(name, control);
}

void BriefingDialog::SetText(const std::u16string& text) { SetLabel(mBriefingText, text); }

void BriefingDialog::OnCommand(intptr_t id) {
    if (mContinue == nullptr || id != reinterpret_cast<intptr_t>(mContinue)) return;
    Hide();
    SetLevelInput(true);
}

void BriefingDialog::OnShow() {
    if (mWidgetManager) mWidgetManager->SetFocus(this);
    const std::string boss = "db06_boss" + (mApp ? mApp->GetCurrentProfile().bossKind : std::string());
    if (boss != mBoss.Name() || mBoss.Image() == nullptr) mBoss.Acquire(mApp, boss);
    SetPicture(FindChild("boss"), mBoss.Image());
    mCalendar.Release();
    PlaySound("briefing_show");

    const int day = mApp && mApp->GetLevelScreen() ? mApp->GetLevelScreen()->GetDay() : 1;
    TextureTable* textures = mApp ? mApp->GetTextureTable() : nullptr;
    const std::string own = "brief_l" + std::to_string(day);
    if (textures != nullptr && textures->IsDefined(own) && mCalendar.Acquire(mApp, own) != nullptr) {
        ShowControl(mNewflash, true);
        if (mCallendarMark) mCallendarMark->SetVisible(false);
    } else {
        if (mNewflash) mNewflash->SetVisible(false);
        mCalendar.Acquire(mApp, "brief_calendar" + std::to_string(career::MonthIndex(day) + 1));
        if (mCallendarMark && mContextHelp) {
            const Zephra::Rect& help = mContextHelp->GetLayoutRect();
            const Zephra::Point at = CalendarMarkAt(day, help.mX + 42 - 8, help.mY + 32 - 2, kCellWidth, kCellHeight);
            mCallendarMark->Move(at.mX, at.mY);
        }
        ShowControl(mCallendarMark, true);
    }
    SetPicture(mContextHelp, mCalendar.Image());
    ShowControl(mBriefingText, true);
    SetLevelFocus(false);
}

void BriefingDialog::OnHide() {
    ShowControl(mBriefingText, false);
    ShowControl(mCallendarMark, false);
    SetLevelFocus(true);
    FocusLevel(mApp);
}

void BriefingDialog::OnDeactivate() {
    mBoss.Release();
    mCalendar.Release();
}

void BriefingDialog::ListNames(ScreenNames& names) const {
    names.members.insert(names.members.end(), {{"continue", mContinue}, {"newflash", mNewflash},
                                               {"briefing_text", mBriefingText}, {"callendar_mark", mCallendarMark},
                                               {"context_help", mContextHelp}, {"boss", FindChild("boss")}});
    names.textures.insert(names.textures.end(), {"db06_bossman", "db06_bosswoman", "brief_calendar1",
                                                 "brief_calendar2", "brief_calendar3"});
    names.sounds.push_back("briefing_show");
}
