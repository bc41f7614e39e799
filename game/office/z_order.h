#pragma once
#include <map>
#include <utility>
#include <vector>
#include "game/app/xml_access.h"

class Skin;

// The office's back-to-front draw order. Each skin's order line (three points
// on the floor) is painted into a screen-sized grid in which every pixel
// belongs to the nearest line above it; a skin whose line owns pixels above
// another's stands behind it. Moving skins are placed at every draw.
//
// The grid is kept as the lines that cross each column, top to bottom: a cell
// is the nearest of them at or above it, so painting and clearing cost a few
// entries per column rather than every pixel below a line.
class ZOrder {
public:
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 600;

    struct Cell {
        int distance = 0;     // rows below the owning line, 1 on it; 0 for none
        Skin* skin = nullptr;
    };

    ZOrder();
    ~ZOrder();
    ZOrder(const ZOrder&) = delete;
    ZOrder& operator=(const ZOrder&) = delete;

    // Drawn after everything else.
    void AddPending(Skin* skin);
    // Drawn right before / after skin (each pair once). Pairs last until
    // their owner drops them, so a draw with no update in between still
    // draws what the persons carry.
    void AddDrawnBefore(Skin* skin, Skin* other);
    void AddDrawnAfter(Skin* skin, Skin* other);
    // Forgets the pairs registered on skin.
    void RemovePairs(Skin* skin);
    // Still skins (last false) join the grid or follow their "parent_z"
    // parent; moving skins (last true) are placed at every draw.
    void AddSkin(Skin* skin, bool last);
    // Parts that persons carry; drawn only through the before/after pairs.
    void AddHeldItem(Skin* skin);
    // Orders the still skins; false when they stand in a cycle (the skins of
    // the cycle then follow in the order they were added).
    bool Build();
    // Back to front: the built order with the moving skins placed, then the
    // pending skins.
    const std::vector<Skin*>& GetDrawOrder();
    // Forgets every skin, pair and painted line.
    void Reset();

    // Reads "z_order_id" of the "system" element under node.
    void LoadLevel(XmlNode node);
    int GetZOrderId() const { return zOrderId_; }

    // 0 <= x < kWidth, 0 <= y < kHeight.
    Cell CellAt(int x, int y) const;
    const std::vector<Skin*>& GetBuiltOrder() const { return built_; }
    const std::vector<Skin*>& GetObjectList() const { return objects_; }
    const std::vector<Skin*>& GetMovingSkins() const { return moving_; }
    const std::vector<Skin*>& GetChildren(Skin* parent) const;

private:
    // Where an order line crosses a column.
    struct Mark {
        int y;
        Skin* skin;
    };
    using Column = std::vector<Mark>;

    void PaintOrderLine(Skin* skin);
    // The first mark of the column at or below row y.
    static Column::const_iterator MarkAtOrBelow(const Column& column, int y);

    // kWidth columns, marks by ascending row; of two lines on one row the
    // first painted keeps the cells below it, so the second is left out.
    std::vector<Column> columns_;
    std::vector<Skin*> objects_;
    std::map<Skin*, std::vector<Skin*>> children_;
    std::vector<std::pair<Skin*, Skin*>> before_;
    std::vector<std::pair<Skin*, Skin*>> after_;
    std::vector<Skin*> built_;
    std::vector<Skin*> pending_;
    std::vector<Skin*> moving_;
    std::vector<Skin*> held_;
    std::vector<Skin*> drawOrder_;
    int zOrderId_ = 0;
};
