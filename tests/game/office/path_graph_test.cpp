#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "game/app/office_app.h"
#include "game/office/path_graph.h"
#include "tests/support/temp_dirs.h"

namespace {

// A "graph" element from "name:x,y[:dir]" points and "a-b" edges.
class GraphDoc {
public:
    GraphDoc(const std::vector<std::string>& points, const std::vector<std::string>& edges,
             const char* setName = "boss") {
        XmlNode graph = doc_.append_child("office").append_child("graphs").append_child("graph");
        graph.append_attribute("name") = setName;
        XmlNode pts = graph.append_child("points");
        for (const std::string& p : points) {
            XmlNode e = pts.append_child("point");
            size_t colon = p.find(':'), comma = p.find(','), dir = p.find(':', colon + 1);
            e.append_attribute("name") = p.substr(0, colon).c_str();
            e.append_attribute("x") = p.substr(colon + 1, comma - colon - 1).c_str();
            e.append_attribute("y") = p.substr(comma + 1, dir - comma - 1).c_str();
            if (dir != std::string::npos) e.append_attribute("direction") = p.substr(dir + 1).c_str();
        }
        XmlNode eds = graph.append_child("edges");
        for (const std::string& d : edges) {
            XmlNode e = eds.append_child("edge");
            e.append_attribute("p1") = d.substr(0, d.find('-')).c_str();
            e.append_attribute("p2") = d.substr(d.find('-') + 1).c_str();
        }
    }
    XmlNode Office() { return doc_.child("office"); }
    XmlNode Graph() { return doc_.child("office").child("graphs").child("graph"); }

private:
    XmlDocument doc_;
};

// The route as "x,y x,y ..." from its first start through every end.
std::string RouteText(const PathGraph& g) {
    std::string text;
    for (const PathGraph::Segment& s : g.Route()) {
        if (text.empty()) text = std::to_string(s.x1) + "," + std::to_string(s.y1);
        text += " " + std::to_string(s.x2) + "," + std::to_string(s.y2);
    }
    return text;
}

TEST(PathGraph, ShortestPaths) {
    const std::vector<std::string> diamond = {"a:0,0", "u:5,-5", "l:5,5", "d:10,0", "far:90,90"};
    struct Case {
        const char* what;
        std::vector<std::string> points;
        std::vector<std::string> edges;
        const char* from;
        const char* to;
        bool found;
        const char* route;
    };
    const Case cases[] = {
        {"tie: the later relaxing edge wins", diamond, {"a-u", "u-d", "a-l", "l-d"}, "a", "d", true, "0,0 5,5 10,0"},
        {"tie, edges reordered", diamond, {"a-l", "l-d", "a-u", "u-d"}, "a", "d", true, "0,0 5,-5 10,0"},
        {"the equal way found later wins", {"a:0,0", "b:0,10", "c:0,30", "d:0,20"},
         {"a-c", "a-b", "b-d", "d-c"}, "a", "c", true, "0,0 0,10 0,20 0,30"},
        {"the later edge wins over a way of more points", {"a:0,0", "b:0,10", "c:0,30", "d:0,20"},
         {"d-c", "b-d", "a-b", "a-c"}, "a", "c", true, "0,0 0,30"},
        {"edges work both ways", {"a:0,0", "b:3,4"}, {"b-a"}, "a", "b", true, "0,0 3,4"},
        {"zero-length loop ends", {"a:0,0", "b:0,0", "c:0,0", "d:5,0"},
         {"a-b", "b-c", "c-a", "c-d", "b-b"}, "a", "d", true, "0,0 0,0 5,0"},
        {"a point without a name", {"a:0,0", ":3,4", "c:6,8"}, {"a-", "-c"}, "a", "c", true, "0,0 3,4 6,8"},
        {"edge to a missing point is skipped", {"a:0,0", "b:3,4"}, {"a-ghost", "a-b"}, "a", "b", true, "0,0 3,4"},
        {"unreachable target", diamond, {"a-u", "u-d"}, "a", "far", false, ""},
        {"unknown target", diamond, {"a-u"}, "a", "nowhere", false, ""},
        {"unknown start", diamond, {"a-u"}, "nowhere", "u", false, ""},
        {"start is the target", diamond, {"a-u"}, "a", "a", false, ""},
    };
    for (const Case& c : cases) {
        GraphDoc doc(c.points, c.edges);
        PathGraph g;
        g.Load(doc.Graph());
        // A route from an earlier search must never survive a failed one.
        auto name = [&](int i) { return c.points[i].substr(0, c.points[i].find(':')); };
        ASSERT_TRUE(g.FindPath(name(0), name(1)) || !c.found) << c.what;
        EXPECT_EQ(g.FindPath(c.from, c.to), c.found) << c.what;
        EXPECT_EQ(RouteText(g), c.route) << c.what;
    }
}

// Graphs of a size a file may hold: searched whole, and cut at the limits
// with one warning.
TEST(PathGraph, LargeGraphsAreSearchedAndBounded) {
    testsupport::TempUserDirs user;
    testsupport::TempDir prefs;
    OfficeApp app(prefs.File("pref.dat"));
    app.mNoWindow = true;
    // A side x side grid, 10 apart, joined right and down; far corner last.
    auto grid = [](int side, int extraPoints) {
        std::vector<std::string> points, edges;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const std::string p = "p" + std::to_string(y * side + x);
                points.push_back(p + ":" + std::to_string(x * 10) + "," + std::to_string(y * 10));
                if (x + 1 < side) edges.push_back(p + "-p" + std::to_string(y * side + x + 1));
                if (y + 1 < side) edges.push_back(p + "-p" + std::to_string((y + 1) * side + x));
            }
        for (int i = 0; i < extraPoints; ++i) points.push_back("x" + std::to_string(i) + ":0,0");
        return std::make_pair(points, edges);
    };
    struct Case {
        const char* what;
        int side, extra;
        size_t points;
        int segments;  // from p0 to the far corner; 0: not reached
        size_t warnings;
    } cases[] = {
        {"a 100 x 100 grid", 100, 0, 10000, 198, 0},
        {"points past the limit", 100, kMaxGraphPoints - 10000 + 5, kMaxGraphPoints, 198, 1},
    };
    for (const Case& c : cases) {
        const auto [points, edges] = grid(c.side, c.extra);
        GraphDoc doc(points, edges);
        const size_t before = app.Warnings().size();
        PathGraph g;
        g.Load(doc.Graph());
        EXPECT_EQ(g.Points().size(), c.points) << c.what;
        EXPECT_EQ(app.Warnings().size() - before, c.warnings) << c.what;
        const std::string corner = "p" + std::to_string(c.side * c.side - 1);
        for (int walk = 0; walk < 3; ++walk) {
            EXPECT_EQ(g.FindPath("p0", corner), c.segments > 0) << c.what;
            EXPECT_EQ(static_cast<int>(g.Route().size()), c.segments) << c.what;
        }
    }
}

TEST(PathGraph, PositionAlongRoute) {
    struct Case {
        const char* what;
        std::vector<std::string> points;
        float elapsed;
        int x, y, dx, dy;
        bool walking;
    };
    const std::vector<std::string> line = {"p1:0,0", "p2:3,4", "p3:6,8:b"};
    const Case cases[] = {
        {"start", line, 0.0f, 0, 0, 3, 4, true},
        {"inside the first segment", line, 0.5f, 1, 2, 3, 4, true},
        {"inside the second segment", line, 1.5f, 4, 6, 3, 4, true},
        {"at the end, still walking", line, 2.0f, 6, 8, 3, 4, true},
        {"past the end: arrived, facing p3", line, 2.5f, 6, 8, 0, 1, false},
        {"zero-length segment is passed whole", {"p1:0,0", "p2:0,0", "p3:6,8"}, 0.0f, 0, 0, 0, 0, true},
        {"no direction text keeps the step", {"p1:0,0", "p2:3,4", "p3:6,8:up"}, 9.0f, 6, 8, -7, -7, false},
    };
    for (const Case& c : cases) {
        GraphDoc doc(c.points, {"p1-p2", "p2-p3"});
        PathGraph g;
        g.Load(doc.Graph());
        ASSERT_TRUE(g.FindPath("p1", "p3")) << c.what;
        int x = -1, y = -1, dx = -7, dy = -7;
        EXPECT_EQ(g.PositionAt(c.elapsed, 5.0f, x, y, dx, dy), c.walking) << c.what;
        EXPECT_EQ(x, c.x) << c.what;
        EXPECT_EQ(y, c.y) << c.what;
        EXPECT_EQ(dx, c.dx) << c.what;
        EXPECT_EQ(dy, c.dy) << c.what;
    }
}

TEST(PathGraph, LoadCopyAndMerge) {
    GraphDoc office({"a:1,2:t", "b:3,4", "a:9,9"}, {"a-b", "a-b"});
    PathGraph base;
    base.Load(office.Graph());
    int x = 0, y = 0;
    ASSERT_TRUE(base.GetPointPosition("a", x, y));
    EXPECT_EQ(x, 1) << "the first point of a name stays";
    EXPECT_EQ(base.Points().at("a").direction, "t");
    EXPECT_EQ(base.Edges().size(), 2u) << "every edge element is kept";
    EXPECT_FALSE(base.IsCopy());

    GraphDoc level({"b:7,7", "c:5,5"}, {"b-a", "c-b", "c-b"});
    PathGraph extra;
    extra.Load(level.Graph());

    base.Merge(extra);
    EXPECT_FALSE(base.HasPoint("c")) << "only copies merge";

    PathGraph merged;
    merged.CopyFrom(base);
    EXPECT_TRUE(merged.IsCopy());
    EXPECT_EQ(merged.GetElement(), office.Graph());
    merged.Merge(extra);
    ASSERT_TRUE(merged.GetPointPosition("b", x, y));
    EXPECT_EQ(x, 3) << "merging keeps known points";
    EXPECT_TRUE(merged.HasPoint("c"));
    ASSERT_EQ(merged.Edges().size(), 3u) << "a reversed edge and a repeat are not merged again";
    EXPECT_EQ(merged.Edges()[2].p1, "c");

    merged.AddNamedPoint(40, 50, "b", "l");
    ASSERT_TRUE(merged.GetPointPosition("b", x, y));
    EXPECT_EQ(x, 40) << "an object point replaces";
    base.AddNamedPoint(1, 1, "z", "");
    EXPECT_FALSE(base.HasPoint("z")) << "only copies take object points";

    merged.Clear();
    EXPECT_FALSE(merged.IsCopy());
    EXPECT_TRUE(merged.Points().empty());
    EXPECT_TRUE(merged.GetElement().empty());
}

TEST(PathGraphSet, WalkOnMergedGraph) {
    GraphDoc office({"home:0,0", "mid:3,4"}, {"home-mid"}, "boss");
    XmlNode other = office.Office().child("graphs").append_child("graph");
    other.append_attribute("name") = "engineer";
    other.append_child("points").append_child("point").append_attribute("name") = "tool";
    GraphDoc level({"desk:6,8:r"}, {"mid-desk"}, "boss");

    PathGraphSet set("boss");
    set.LoadOfficeGraphs(office.Office());
    EXPECT_TRUE(set.OfficeGraph().HasPoint("home"));
    EXPECT_FALSE(set.OfficeGraph().HasPoint("tool")) << "another person's graph";
    EXPECT_FALSE(set.SetCurrentPoint("home")) << "nothing merged before a level";

    set.LoadLevelGraphs(level.Office());
    ASSERT_TRUE(set.SetCurrentPoint("home"));
    EXPECT_FALSE(set.SetCurrentPoint("nowhere"));
    EXPECT_EQ(set.GetCurrentPoint(), "home");
    EXPECT_FALSE(set.StartWalk("nowhere", 5.0f));

    ASSERT_TRUE(set.StartWalk("desk", 5.0f));
    int x = 0, y = 0, dx = 0, dy = 0;
    EXPECT_TRUE(set.Advance(1.5f, x, y, dx, dy));
    EXPECT_EQ(x, 4);
    EXPECT_EQ(y, 6);
    EXPECT_FALSE(set.Advance(1.0f, x, y, dx, dy));
    EXPECT_EQ(dx, 1);
    EXPECT_EQ(dy, 0);
    ASSERT_TRUE(set.GetPointPosition("desk", x, y));
    EXPECT_EQ(x, 6);

    set.ClearLevel();
    EXPECT_EQ(set.GetCurrentPoint(), "");
    EXPECT_FALSE(set.MergedGraph().HasPoint("home"));
    EXPECT_TRUE(set.OfficeGraph().HasPoint("home")) << "the office graph outlives a level";
    set.ClearAll();
    EXPECT_FALSE(set.OfficeGraph().HasPoint("home"));
}

} // namespace
