#include "game/office/z_order.h"
#include <algorithm>
#include <array>
#include <set>
#include "game/app/game_util.h"
#include "game/office/item.h"
#include "game/office/office_objects.h"
#include "game/office/skin.h"

namespace {

using Line = std::array<Zephra::Point, Skin::kOrderPoints>;

Line OrderLine(const Skin* skin) {
    Line line;
    for (int i = 0; i < Skin::kOrderPoints; ++i) line[static_cast<size_t>(i)] = skin->GetOrderPoint(i);
    return line;
}

bool InsideScreen(const Line& line) {
    for (const Zephra::Point& p : line) {
        if (p.mX < 0 || p.mX >= ZOrder::kWidth || p.mY < 0 || p.mY >= ZOrder::kHeight) return false;
    }
    return true;
}

// Calls fn(x, y) for every column of the two segments, from each segment's
// first point up to, not including, its second.
template <class Fn>
void ForEachLineColumn(const Line& line, Fn fn) {
    for (size_t s = 0; s + 1 < line.size(); ++s) {
        const Zephra::Point p = line[s];
        const Zephra::Point q = line[s + 1];
        if (q.mX == p.mX) continue;
        const float slope = static_cast<float>(q.mY - p.mY) / static_cast<float>(q.mX - p.mX);
        const int step = q.mX > p.mX ? 1 : -1;
        for (int x = p.mX; x != q.mX; x += step)
            fn(x, p.mY + static_cast<int>(static_cast<float>(x - p.mX) * slope));
    }
}

bool InGrid(int x, int y) { return x >= 0 && x < ZOrder::kWidth && y >= 0 && y < ZOrder::kHeight; }

} // namespace

ZOrder::ZOrder() : columns_(kWidth) {}

ZOrder::~ZOrder() = default;

void ZOrder::AddPending(Skin* skin) { pending_.push_back(skin); }

void ZOrder::AddDrawnBefore(Skin* skin, Skin* other) {
    const std::pair<Skin*, Skin*> pair{skin, other};
    if (std::find(before_.begin(), before_.end(), pair) == before_.end()) before_.push_back(pair);
}

void ZOrder::AddDrawnAfter(Skin* skin, Skin* other) {
    const std::pair<Skin*, Skin*> pair{skin, other};
    if (std::find(after_.begin(), after_.end(), pair) == after_.end()) after_.push_back(pair);
}

void ZOrder::RemovePairs(Skin* skin) {
    auto keyed = [skin](const std::pair<Skin*, Skin*>& pair) { return pair.first == skin; };
    std::erase_if(before_, keyed);
    std::erase_if(after_, keyed);
}

void ZOrder::AddHeldItem(Skin* skin) { held_.push_back(skin); }

void ZOrder::AddSkin(Skin* skin, bool last) {
    if (!skin) return;
    if (last) {
        moving_.push_back(skin);
        return;
    }
    if (!InsideScreen(OrderLine(skin))) return;
    const std::string& link = skin->GetParentLink();
    const size_t colon = link.find(':');
    if (colon != std::string::npos) {
        Item* object = FindObject(std::string_view(link).substr(0, colon));
        Skin* parent = object ? object->FindPartByName(std::string_view(link).substr(colon + 1)) : nullptr;
        if (parent && parent != skin) {
            children_[parent].push_back(skin);
            return;
        }
    }
    objects_.push_back(skin);
    PaintOrderLine(skin);
}

void ZOrder::PaintOrderLine(Skin* skin) {
    Line line = OrderLine(skin);
    std::stable_sort(line.begin(), line.end(), [](const Zephra::Point& a, const Zephra::Point& b) {
        return a.mX < b.mX;
    });
    ForEachLineColumn(line, [&](int x, int y) {
        Column& column = columns_[static_cast<size_t>(x)];
        const auto at = MarkAtOrBelow(column, y);
        // A line already on this row is as near to every cell below.
        if (at != column.end() && at->y == y) return;
        column.insert(at, {y, skin});
    });
}

ZOrder::Column::const_iterator ZOrder::MarkAtOrBelow(const Column& column, int y) {
    return std::lower_bound(column.begin(), column.end(), y, [](const Mark& m, int row) { return m.y < row; });
}

ZOrder::Cell ZOrder::CellAt(int x, int y) const {
    const Column& column = columns_[static_cast<size_t>(x)];
    auto below = MarkAtOrBelow(column, y);
    if (below != column.end() && below->y == y) return {1, below->skin};
    if (below == column.begin()) return {};
    const Mark& above = *(below - 1);
    return {y - above.y + 1, above.skin};
}

const std::vector<Skin*>& ZOrder::GetChildren(Skin* parent) const {
    static const std::vector<Skin*> kNone;
    auto it = children_.find(parent);
    return it != children_.end() ? it->second : kNone;
}

bool ZOrder::Build() {
    built_.clear();
    // (behind, in front) pairs, each once, in the order found.
    std::vector<std::pair<Skin*, Skin*>> pairs;
    std::set<std::pair<Skin*, Skin*>> seen;
    for (Skin* skin : objects_) {
        Line line = OrderLine(skin);
        std::stable_sort(line.begin(), line.end(), [](const Zephra::Point& a, const Zephra::Point& b) {
            return a.mX < b.mX;
        });
        ForEachLineColumn(line, [&](int x, int y) {
            const Column& column = columns_[static_cast<size_t>(x)];
            auto mark = MarkAtOrBelow(column, y);
            if (mark == column.end() || mark->y != y || mark->skin != skin) return;
            // The cells below are this skin's down to the next line.
            if (++mark == column.end()) return;
            if (seen.insert({skin, mark->skin}).second) pairs.push_back({skin, mark->skin});
        });
    }
    std::map<Skin*, int> behindCount;
    std::map<Skin*, std::vector<Skin*>> successors;
    for (const auto& [behind, front] : pairs) {
        ++behindCount[front];
        successors[behind].push_back(front);
    }

    std::set<Skin*> placed;
    std::map<Skin*, int> placedBehind;
    auto appendWithChildren = [&](auto&& self, Skin* skin) -> void {
        if (!placed.insert(skin).second) return;
        built_.push_back(skin);
        for (Skin* child : GetChildren(skin)) self(self, child);
    };
    bool hasRoot = false;
    for (Skin* skin : objects_) {
        if (behindCount[skin] == 0) {
            appendWithChildren(appendWithChildren, skin);
            hasRoot = true;
        }
    }
    // A skin follows once everything behind it is placed; its own successors
    // follow it at once, depth first.
    std::set<Skin*> expanded;
    auto place = [&](auto&& self, Skin* skin) -> void {
        if (!expanded.insert(skin).second) return;
        for (Skin* front : successors[skin]) {
            if (placed.count(front) || ++placedBehind[front] < behindCount[front]) continue;
            appendWithChildren(appendWithChildren, front);
            self(self, front);
        }
    };
    size_t next = 0;
    auto walk = [&] {
        for (; next < built_.size(); ++next) place(place, built_[next]);
    };
    walk();
    const bool complete = std::all_of(objects_.begin(), objects_.end(), [&](Skin* s) { return placed.count(s); });
    if (!hasRoot && !objects_.empty()) {
        DebugTrace("!!!Critical Error: Can't find root object, remake z-order");
        for (Skin* skin : objects_) {
            DebugTrace("%s", skin->GetName().c_str());
            for (Skin* front : successors[skin]) DebugTrace("   -- <%s>", front->GetName().c_str());
        }
    }
    // Skins held back by a cycle follow in the order they were added, each
    // freeing what stands in front of it as usual.
    for (Skin* skin : objects_) {
        if (placed.count(skin)) continue;
        appendWithChildren(appendWithChildren, skin);
        walk();
    }
    return complete;
}

const std::vector<Skin*>& ZOrder::GetDrawOrder() {
    drawOrder_ = built_;
    std::vector<Skin*> movers = moving_;
    // The end of the last group placed under each owner, so that a second
    // mover under the same owner lands in front of the first.
    std::map<Skin*, Skin*> lastUnder;
    while (!movers.empty()) {
        auto top = std::min_element(movers.begin(), movers.end(), [](Skin* a, Skin* b) {
            return a->GetOrderPoint(0).mY < b->GetOrderPoint(0).mY;
        });
        Skin* skin = *top;
        movers.erase(top);

        // The mover stands in front of every line above his own in the
        // columns he covers, not only the nearest one: straddling two objects,
        // he goes after whichever of them is drawn later. (Of the nearest
        // alone, the other would be drawn over his head.)
        const Line line = OrderLine(skin);
        std::set<Skin*> behind;
        auto consider = [&](int x, int y) {
            if (!InGrid(x, y)) return;
            if (Skin* owner = CellAt(x, y).skin) behind.insert(owner);
        };
        consider(line[1].mX, line[1].mY);
        ForEachLineColumn(line, consider);

        auto at = drawOrder_.end();
        Skin* owner = nullptr;
        auto ownerAt = drawOrder_.end();
        if (!behind.empty()) {
            for (auto it = drawOrder_.begin(); it != drawOrder_.end(); ++it) {
                if (behind.count(*it)) ownerAt = it;
            }
            if (ownerAt != drawOrder_.end()) owner = *ownerAt;
        }
        if (ownerAt != drawOrder_.end()) {
            at = ownerAt + 1;
            while (at != drawOrder_.end() && !(*at)->GetParentLink().empty()) ++at;
            auto previous = lastUnder.find(owner);
            if (previous != lastUnder.end()) {
                auto end = std::find(drawOrder_.begin(), drawOrder_.end(), previous->second);
                if (end != drawOrder_.end() && end + 1 > at) at = end + 1;
            }
        }
        std::vector<Skin*> group;
        for (const auto& [key, other] : before_) {
            if (key == skin) group.push_back(other);
        }
        group.push_back(skin);
        for (const auto& [key, other] : after_) {
            if (key == skin) group.push_back(other);
        }
        if (ownerAt != drawOrder_.end()) lastUnder[owner] = group.back();
        drawOrder_.insert(at, group.begin(), group.end());
    }
    drawOrder_.insert(drawOrder_.end(), pending_.begin(), pending_.end());
    return drawOrder_;
}

void ZOrder::Reset() {
    for (Column& column : columns_) column.clear();
    objects_.clear();
    children_.clear();
    before_.clear();
    after_.clear();
    built_.clear();
    pending_.clear();
    moving_.clear();
    held_.clear();
    drawOrder_.clear();
}

void ZOrder::LoadLevel(XmlNode node) {
    XmlNode system = node.child("system");
    int32_t id = 0;
    if (system && XmlGetAttrInt(system, "z_order_id", id)) zOrderId_ = id;
}
