#include "game/screens/load_screen.h"

#include "framework/app/widget_manager.h"
#include "game/app/office_app.h"
#include "game/ui/cursor_table.h"
#include "platform/clock.h"

LoadScreen::LoadScreen(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) { LoadByName(layouts, "load_screen"); }

void LoadScreen::OnShow() {
    if (mApp && mApp->GetCursorTable()) mApp->GetCursorTable()->Hide();
    if (mParent) mParent->BringToFront(this);
    if (LevelLink* level = Level()) level->SetShown(false);
    mShownAtMs = platform::GetClock().NowMs();
    mShown = true;
    if (mApp && mWidgetManager) {
        mWidgetManager->MarkDirtyFull();
        mApp->DrawFrame();
    }
}

void LoadScreen::OnHide() {
    if (!mShown) return;
    mShown = false;
    if (mApp) {
        // A wait inside another keeps that one's lock.
        const bool locked = mApp->mWidgetManager->IsInputLocked();
        mApp->LockWidgets();
        platform::Clock& clock = platform::GetClock();
        while (clock.NowMs() - mShownAtMs < kMinimumMs && mApp->StepMainLoop(false)) {
        }
        if (!locked) mApp->UnlockWidgets();
    }
    if (LevelLink* level = Level()) level->SetShown(true);
    if (mApp && mApp->GetCursorTable()) mApp->GetCursorTable()->Show();
}
