#pragma once
#include <map>
#include <string>
#include "game/app/xml_access.h"

namespace Zephra {
class Graphics;
class Image;
} // namespace Zephra

class TextureTable;

// Told before every cursor selection (the level forgets its hovered object).
class CursorSelectObserver {
public:
    virtual ~CursorSelectObserver() = default;
    virtual void CursorSelecting() = 0;
};

// The game's own mouse cursors by mode ("normal", "active", "text" and what
// else "cfg\ui.xml" defines). While one is selected the application draws no
// system cursor and the game draws this one after the widget tree.
class CursorTable {
public:
    struct Cursor {
        Zephra::Image* image = nullptr;  // held through the texture table
        int hotX = 0;
        int hotY = 0;
    };

    // textures must outlive the table.
    explicit CursorTable(TextureTable* textures);
    ~CursorTable();
    CursorTable(const CursorTable&) = delete;
    CursorTable& operator=(const CursorTable&) = delete;

    // Every "cursors" child of node, in document order.
    void Load(XmlNode node);
    // "mode", "image", "hot_spot_x", "hot_spot_y". Skipped without a mode or
    // image, for a mode already defined (the first wins) and for an image the
    // texture table lacks.
    void ReadCursor(XmlNode element);
    // The mode's cursor, or the system cursor when the mode is unknown.
    void Select(const std::string& mode);
    void ClearSelection();
    // The drawing flag; the selection stays.
    void Show() { mDrawing = true; }
    void Hide() { mDrawing = false; }
    // The selected cursor with its hot spot on the widget manager's mouse point.
    void Draw(Zephra::Graphics* g);
    void ReleaseAll();

    void SetObserver(CursorSelectObserver* observer) { mObserver = observer; }
    const Cursor* GetCurrent() const { return mCurrent; }
    const Cursor* Find(const std::string& mode) const;
    bool IsDrawing() const { return mDrawing; }

private:
    std::map<std::string, Cursor> mCursors;
    const Cursor* mCurrent = nullptr;
    bool mDrawing = true;
    TextureTable* mTextures;
    CursorSelectObserver* mObserver = nullptr;
};
