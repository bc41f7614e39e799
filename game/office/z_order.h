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
    // Drawn right before / after skin (each pair once); cleared every draw.
    void AddDrawnBefore(Skin* skin, Skin* other);
    void AddDrawnAfter(Skin* skin, Skin* other);
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

    const Cell& CellAt(int x, int y) const { return grid_[static_cast<size_t>(y) * kWidth + x]; }
    const std::vector<Skin*>& GetBuiltOrder() const { return built_; }
    const std::vector<Skin*>& GetObjectList() const { return objects_; }
    const std::vector<Skin*>& GetMovingSkins() const { return moving_; }
    const std::vector<Skin*>& GetChildren(Skin* parent) const;

private:
    void PaintOrderLine(Skin* skin);

    std::vector<Cell> grid_;
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
