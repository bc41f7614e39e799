#include "game/ui/cursor_table.h"

#include "framework/app/widget_manager.h"
#include "framework/graphics/graphics.h"
#include "game/app/office_app.h"
#include "game/app/tables.h"

CursorTable::CursorTable(TextureTable* textures) : mTextures(textures) {}

CursorTable::~CursorTable() { ReleaseAll(); }

void CursorTable::Load(XmlNode node) {
    if (mTextures == nullptr) return;
    for (XmlNode e = node.child("cursors"); e; e = e.next_sibling("cursors")) ReadCursor(e);
}

void CursorTable::ReadCursor(XmlNode element) {
    std::string mode, image;
    if (!XmlGetAttrString(element, "mode", mode) || !XmlGetAttrString(element, "image", image)) return;
    // Before the image is acquired: a skipped duplicate must hold nothing.
    if (mCursors.count(mode) != 0 || mTextures == nullptr) return;
    Cursor cursor;
    cursor.image = mTextures->Acquire(image);
    if (cursor.image == nullptr) return;
    XmlGetAttrCoord(element, "hot_spot_x", cursor.hotX);
    XmlGetAttrCoord(element, "hot_spot_y", cursor.hotY);
    mCursors.emplace(mode, cursor);
}

const CursorTable::Cursor* CursorTable::Find(const std::string& mode) const {
    auto it = mCursors.find(mode);
    return it != mCursors.end() ? &it->second : nullptr;
}

void CursorTable::Select(const std::string& mode) {
    if (mObserver != nullptr) mObserver->CursorSelecting();
    const Cursor* cursor = Find(mode);
    if (cursor == nullptr || cursor->image == nullptr) {
        ClearSelection();
        return;
    }
    mCurrent = cursor;
    if (OfficeApp* app = GetApp()) {
        app->EnableCustomCursors(true);
        app->SetCursor(Zephra::kCursorGameDrawn);
        app->SetCursorImage(Zephra::kCursorGameDrawn, nullptr);
    }
}

void CursorTable::ClearSelection() {
    mCurrent = nullptr;
    if (OfficeApp* app = GetApp()) {
        app->EnableCustomCursors(false);
        app->SetCursor(0);
        app->SetCursorImage(Zephra::kCursorGameDrawn, nullptr);
    }
}

void CursorTable::Draw(Zephra::Graphics* g) {
    if (mCurrent == nullptr || mCurrent->image == nullptr || !mDrawing) return;
    OfficeApp* app = GetApp();
    if (app == nullptr || g == nullptr || !app->IsPointerInside()) return;
    const Zephra::WidgetManager* wm = app->mWidgetManager;
    g->DrawImage(mCurrent->image, wm->mLastMouseX - mCurrent->hotX, wm->mLastMouseY - mCurrent->hotY);
}

void CursorTable::ReleaseAll() {
    ClearSelection();
    for (auto& [mode, cursor] : mCursors)
        if (mTextures != nullptr && cursor.image != nullptr) mTextures->ReleaseImage(cursor.image);
    mCursors.clear();
}
