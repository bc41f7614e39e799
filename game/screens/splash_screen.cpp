#include "game/screens/splash_screen.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"
#include "game/screens/menu_background.h"
#include "game/ui/cursor_table.h"

SplashScreen::SplashScreen(OfficeApp* app, XmlNode layouts) : Screen(nullptr, app) { LoadByName(layouts, "splash"); }

void SplashScreen::AddChild(const std::string& name, UiControl* control) {
    control->SetVisible(false);
    auto* page = dynamic_cast<UiDialog*>(control);
    TextureTable* textures = mApp ? mApp->GetTextureTable() : nullptr;
    if (page != nullptr && textures != nullptr && textures->Acquire(page->GetBackgroundName()) != nullptr) {
        textures->Release(page->GetBackgroundName());
        mPages.push_back(control);
    }
    UiControl::AddChild(name, control);
}

void SplashScreen::Draw(Zephra::Graphics* g) {
    g->SetColor(Zephra::Color(0, 0, 0, 255));
    g->FillRect(Zephra::Rect(0, 0, mWidth, mHeight));
    UiDialog::Draw(g);
}

void SplashScreen::OnActivate() {
    mStarted = true;
    if (mApp && mApp->GetCursorTable()) mApp->GetCursorTable()->Hide();
    if (mWidgetManager) mWidgetManager->SetFocus(this);
    if (mPage < mPages.size()) {
        mPages[mPage]->Show();
    } else {
        // Nothing to show: straight to the menus.
        Hide();
    }
}

void SplashScreen::OnDeactivate() {
    if (!mStarted) return;
    mStarted = false;
    if (mApp && mApp->mMenuBackground) mApp->mMenuBackground->Show();
    if (mApp && mApp->GetCursorTable()) mApp->GetCursorTable()->Show();
    if (mWidgetManager && mWidgetManager->GetFocus() == this) mWidgetManager->SetFocus(nullptr);
}

void SplashScreen::KeyDown(int keyCode) {
    (void)keyCode;
    mTimer = 0.0f;
    if (mPage < mPages.size()) mPages[mPage]->SetVisible(false);
    mPageDone = true;
}

void SplashScreen::Update() {
    UiDialog::Update();
    if (!mVisible) return;
    mTimer += StepSeconds();
    if (mTimer >= kPageSeconds && mPage < mPages.size()) {
        mPages[mPage]->Hide();
        mPageDone = true;
    }
    if (mPageDone && (mPage >= mPages.size() || !mPages[mPage]->mVisible)) NextPage();
}

void SplashScreen::NextPage() {
    mTimer = 0.0f;
    if (mPage + 1 < mPages.size()) {
        ++mPage;
        mPages[mPage]->Show();
        mPageDone = false;
    } else {
        Hide();
    }
}

void SplashScreen::ListNames(ScreenNames& names) const {
    for (const UiControl* page : mPages) names.textures.push_back(static_cast<const UiDialog*>(page)->GetBackgroundName());
}
