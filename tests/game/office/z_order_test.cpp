#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <pugixml.hpp>
#include "game/office/z_order.h"
#include "platform/random.h"
#include "tests/game/office/office_test_util.h"

namespace {

// One object per skin: "<object>:<part>" with a three-point order line.
struct SkinSpec {
    const char* object;
    const char* part; // "boss", "cash"...: a moving part; "held_items": a held one
    int x0, y0, x1, y1, x2, y2;
    const char* parent = "";
};

// Objects made from descriptions and registered with a draw order, in that order.
class Scene {
public:
    explicit Scene(const std::vector<SkinSpec>& specs) {
        gZOrder = &zorder;
        for (const SkinSpec& s : specs) {
            const std::string xml = "<object name=\"" + std::string(s.object) + "\"><part name=\"" + s.part +
                                    "\" parent_z=\"" + s.parent + "\" order0_x=\"" + std::to_string(s.x0) +
                                    "\" order0_y=\"" + std::to_string(s.y0) + "\" order1_x=\"" + std::to_string(s.x1) +
                                    "\" order1_y=\"" + std::to_string(s.y1) + "\" order2_x=\"" + std::to_string(s.x2) +
                                    "\" order2_y=\"" + std::to_string(s.y2) + "\"/></object>";
            pugi::xml_document doc;
            doc.load_string(xml.c_str());
            items.push_back(std::make_unique<Item>());
            items.back()->LoadFromConfig(doc.first_child());
        }
        for (auto& item : items) item->RegisterDrawParts();
    }
    ~Scene() { gZOrder = nullptr; }
    Skin* operator[](const char* object) const { return FindObject(object)->GetParts()[0].get(); }
    // The object names of skins, in order.
    static std::string Names(const std::vector<Skin*>& skins) {
        std::string out;
        for (Skin* s : skins) out += (out.empty() ? "" : " ") + s->GetOwner()->GetName();
        return out;
    }

    ZOrder zorder;
    std::vector<std::unique_ptr<Item>> items;
};

// Scenes that stress the grid: lines crowded into a small area, rows shared
// by several lines, the screen's edges, parent links and moving skins. The
// texts the specs point to live in strings.
std::vector<SkinSpec> RandomScene(platform::Random15& random, std::vector<std::string>& strings) {
    static const char* const kParts[] = {"a", "a", "a", "a", "a", "boss", "secretary"};
    const bool crowded = random.Next() % 2 == 0;
    const int width = crowded ? 90 : ZOrder::kWidth;
    const int height = crowded ? 60 : ZOrder::kHeight;
    const int left = crowded ? random.Next() % (ZOrder::kWidth - width) : 0;
    const int top = crowded ? random.Next() % (ZOrder::kHeight - height) : 0;
    auto x = [&] {
        if (random.Next() % 8 == 0) return random.Next() % 2 ? 0 : ZOrder::kWidth - 1;
        return left + random.Next() % width;
    };
    // Coarse rows, so that lines meet on the same row of a column.
    auto y = [&] { return random.Next() % 8 == 0 ? ZOrder::kHeight - 1 : top + random.Next() % height / 5 * 5; };
    const int count = 3 + random.Next() % 10;
    strings.assign(static_cast<size_t>(2 * count), "");
    std::vector<SkinSpec> specs;
    for (int i = 0; i < count; ++i) {
        std::string& name = strings[static_cast<size_t>(i)];
        std::string& parent = strings[static_cast<size_t>(count + i)];
        name = "s" + std::to_string(i);
        if (i > 0 && random.Next() % 6 == 0) parent = "s" + std::to_string(random.Next() % i) + ":a";
        specs.push_back({name.c_str(), kParts[random.Next() % 7], x(), y(), x(), y(), x(), y(), parent.c_str()});
    }
    return specs;
}

// The grid painted cell by cell, the nearest line above owning each cell.
std::vector<ZOrder::Cell> PaintedGrid(const ZOrder& z) {
    std::vector<ZOrder::Cell> grid(static_cast<size_t>(ZOrder::kWidth) * ZOrder::kHeight);
    for (Skin* skin : z.GetObjectList()) {
        std::array<Zephra::Point, Skin::kOrderPoints> line;
        for (int i = 0; i < Skin::kOrderPoints; ++i) line[static_cast<size_t>(i)] = skin->GetOrderPoint(i);
        std::stable_sort(line.begin(), line.end(), [](auto& a, auto& b) { return a.mX < b.mX; });
        for (size_t s = 0; s + 1 < line.size(); ++s) {
            const Zephra::Point p = line[s], q = line[s + 1];
            if (p.mX == q.mX) continue;
            const float slope = static_cast<float>(q.mY - p.mY) / static_cast<float>(q.mX - p.mX);
            for (int x = p.mX; x < q.mX; ++x) {
                const int y = p.mY + static_cast<int>(static_cast<float>(x - p.mX) * slope);
                for (int row = y; row < ZOrder::kHeight; ++row) {
                    ZOrder::Cell& cell = grid[static_cast<size_t>(row) * ZOrder::kWidth + x];
                    if (cell.skin && cell.distance <= row - y + 1) break;
                    cell = {row - y + 1, skin};
                }
            }
        }
    }
    return grid;
}

} // namespace

// Lines in separate columns are both roots; a line above another in the same
// columns is behind it; a "parent_z" skin follows its parent at once, roots
// included; every skin is drawn once, cycles too.
TEST(ZOrder, BuildsBackToFrontFromTheOrderLines) {
    struct Case {
        const char* what;
        std::vector<SkinSpec> specs;
        const char* order;
        bool built;
    };
    const Case cases[] = {
        {"separate columns", {{"left", "a", 10, 100, 20, 100, 30, 100}, {"right", "a", 100, 90, 110, 90, 120, 90}},
         "left right", true},
        {"one above another", {{"front", "a", 10, 200, 30, 200, 50, 200}, {"back", "a", 10, 100, 30, 100, 50, 100}},
         "back front", true},
        {"points in any order", {{"front", "a", 50, 210, 10, 200, 30, 205}, {"back", "a", 30, 100, 50, 100, 10, 100}},
         "back front", true},
        {"child of a root",
         {{"front", "a", 10, 200, 30, 200, 50, 200},
          {"lamp", "a", 10, 50, 30, 50, 50, 50, "back:a"},
          {"back", "a", 10, 100, 30, 100, 50, 100}},
         "back lamp front", true},
        {"chain of three",
         {{"c", "a", 10, 300, 30, 300, 50, 300}, {"b", "a", 10, 200, 30, 200, 50, 200},
          {"a", "a", 10, 100, 30, 100, 50, 100}},
         "a b c", true},
        {"behind two before placed",
         {{"wide", "a", 0, 300, 100, 300, 200, 300}, {"l", "a", 0, 100, 40, 100, 80, 100},
          {"r", "a", 120, 150, 160, 150, 199, 150}},
         "l r wide", true},
        {"a cycle",
         {{"x", "a", 0, 100, 50, 100, 100, 300}, {"y", "a", 0, 200, 50, 200, 100, 150},
          {"z", "a", 300, 100, 310, 100, 320, 100}},
         "z x y", false},
        {"off the screen", {{"gone", "a", -1, 100, 20, 100, 30, 100}, {"kept", "a", 10, 599, 20, 599, 799, 599}},
         "kept", true},
    };
    for (const Case& c : cases) {
        Scene scene(c.specs);
        EXPECT_EQ(scene.zorder.Build(), c.built) << c.what;
        EXPECT_EQ(Scene::Names(scene.zorder.GetBuiltOrder()), c.order) << c.what;
        EXPECT_EQ(Scene::Names(scene.zorder.GetDrawOrder()), c.order) << c.what;
    }
}

// Movers go after what their line lies below, behind-first;
// before/after pairs frame them until their owner drops them; held items
// appear only there.
TEST(ZOrder, PlacesMovingSkinsEveryDraw) {
    Scene scene({{"desk", "a", 10, 100, 30, 100, 50, 100},
                 {"lamp", "a", 10, 50, 30, 50, 50, 50, "desk:a"},
                 {"wall", "a", 0, 20, 400, 20, 799, 20},
                 {"front", "a", 10, 300, 30, 300, 50, 300},
                 {"boss", "boss", 20, 160, 30, 160, 40, 160},
                 {"secretary", "secretary", 20, 150, 30, 150, 40, 150},
                 {"engineer", "engineer", 700, 10, 710, 10, 720, 10},
                 {"bonus", "bonus", -50, -900, -40, -900, 900, -900},
                 {"papers", "held_items", 20, 150, 30, 150, 40, 150}});
    ZOrder& z = scene.zorder;
    ASSERT_TRUE(z.Build());
    EXPECT_EQ(Scene::Names(z.GetBuiltOrder()), "wall desk lamp front");
    EXPECT_EQ(z.GetMovingSkins().size(), 4u);
    // The secretary (further back) is placed first, the boss after her under
    // the same desk; the bonus off the grid and the engineer above every line
    // have no owner and go last, the one further back first.
    EXPECT_EQ(Scene::Names(z.GetDrawOrder()), "wall desk lamp secretary boss front bonus engineer");

    z.AddDrawnBefore(scene["boss"], scene["papers"]);
    z.AddDrawnBefore(scene["boss"], scene["papers"]);
    z.AddDrawnAfter(scene["secretary"], scene["papers"]);
    z.AddPending(scene["front"]);
    EXPECT_EQ(Scene::Names(z.GetDrawOrder()),
              "wall desk lamp secretary papers papers boss front bonus engineer front");
    EXPECT_EQ(Scene::Names(z.GetDrawOrder()),
              "wall desk lamp secretary papers papers boss front bonus engineer front")
        << "a second draw with no update in between keeps the pairs";
    z.RemovePairs(scene["boss"]);
    z.RemovePairs(scene["secretary"]);
    z.AddPending(scene["lamp"]);
    EXPECT_EQ(Scene::Names(z.GetDrawOrder()),
              "wall desk lamp secretary boss front bonus engineer front lamp") << "dropped pairs are gone";

    z.Reset();
    EXPECT_TRUE(z.GetDrawOrder().empty());
    EXPECT_EQ(z.CellAt(30, 200).skin, nullptr);
    EXPECT_TRUE(z.Build());
}

// A mover whose feet straddle two objects stands in front of both, whichever
// line is nearer to his, and behind what stands in front of him.
TEST(ZOrder, MoverStraddlingTwoObjectsStandsInFrontOfBoth) {
    struct Case {
        const char* what;
        std::vector<SkinSpec> specs;
        const char* order;
    } cases[] = {
        {"the nearer line drawn first",
         {{"chair", "a", 0, 100, 15, 100, 30, 100}, {"phone", "a", 40, 90, 55, 90, 70, 90},
          {"rug", "a", 20, 200, 40, 200, 60, 200}, {"boss", "boss", 20, 150, 40, 150, 60, 150}},
         "chair phone boss rug"},
        {"the nearer line drawn last",
         {{"phone", "a", 40, 90, 55, 90, 70, 90}, {"chair", "a", 0, 100, 15, 100, 30, 100},
          {"boss", "boss", 20, 150, 40, 150, 60, 150}},
         "phone chair boss"},
        {"in front of one, behind the other",
         {{"chair", "a", 0, 100, 15, 100, 30, 100}, {"desk", "a", 40, 190, 55, 190, 70, 190},
          {"boss", "boss", 20, 150, 40, 150, 60, 150}},
         "chair boss desk"},
    };
    for (const Case& c : cases) {
        Scene scene(c.specs);
        ASSERT_TRUE(scene.zorder.Build()) << c.what;
        EXPECT_EQ(Scene::Names(scene.zorder.GetDrawOrder()), c.order) << c.what;
    }
}

// Each column belongs to the nearest line above it; empty cells stay free.
TEST(ZOrder, PaintsTheNearestLineAbove) {
    Scene scene({{"low", "a", 10, 200, 20, 200, 30, 200}, {"high", "a", 10, 100, 20, 110, 30, 120}});
    const ZOrder& z = scene.zorder;
    struct Case {
        int x, y;
        const char* owner;
        int distance;
    };
    const Case cases[] = {
        {10, 99, nullptr, 0}, {10, 100, "high", 1}, {10, 199, "high", 100}, {10, 200, "low", 1},
        {10, 599, "low", 400}, {20, 110, "high", 1}, {25, 115, "high", 1}, {30, 150, nullptr, 0},
        {9, 300, nullptr, 0},
    };
    for (const Case& c : cases) {
        const ZOrder::Cell& cell = z.CellAt(c.x, c.y);
        EXPECT_EQ(cell.skin ? cell.skin->GetOwner()->GetName() : "", c.owner ? c.owner : "") << c.x << "," << c.y;
        EXPECT_EQ(cell.distance, c.distance) << c.x << "," << c.y;
    }
}

// Random scenes: each cell holds what painting the lines cell by cell gives.
TEST(ZOrder, GridMatchesTheLinesPaintedCellByCell) {
    platform::Random15 random(7);
    for (int n = 0; n < 16; ++n) {
        std::vector<std::string> strings;
        Scene scene(RandomScene(random, strings));
        const std::vector<ZOrder::Cell> painted = PaintedGrid(scene.zorder);
        int wrong = 0;
        for (int y = 0; y < ZOrder::kHeight; ++y) {
            for (int x = 0; x < ZOrder::kWidth; ++x) {
                const ZOrder::Cell& want = painted[static_cast<size_t>(y) * ZOrder::kWidth + x];
                const ZOrder::Cell got = scene.zorder.CellAt(x, y);
                if (got.skin == want.skin && got.distance == want.distance) continue;
                if (++wrong == 1) {
                    ADD_FAILURE() << "scene " << n << " cell " << x << "," << y << ": distance " << got.distance
                                  << ", wanted " << want.distance;
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "scene " << n;
    }
}

// Random scenes give the built and drawn orders they always gave (a digest
// of the names, taken from the cell-by-cell grid).
TEST(ZOrder, RandomScenesKeepTheirOrder) {
    platform::Random15 random(11);
    uint64_t digest = 1469598103934665603u;
    auto add = [&digest](const std::string& text) {
        for (unsigned char c : text) digest = (digest ^ c) * 1099511628211u;
    };
    for (int n = 0; n < 200; ++n) {
        std::vector<std::string> strings;
        Scene scene(RandomScene(random, strings));
        add(scene.zorder.Build() ? "built:" : "cycle:");
        add(Scene::Names(scene.zorder.GetBuiltOrder()) + "|" + Scene::Names(scene.zorder.GetDrawOrder()) + "\n");
    }
    EXPECT_EQ(digest, 16446466953224790333u);
}

TEST(ZOrder, ReadsTheLevelIdWithoutKeepingTheDocument) {
    ZOrder z;
    {
        pugi::xml_document doc;
        doc.load_string(R"(<office><system z_order_id="4711"/></office>)");
        z.LoadLevel(doc.first_child());
    }
    EXPECT_EQ(z.GetZOrderId(), 4711);
}
