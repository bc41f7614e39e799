#include "game/office/path_graph.h"
#include "game/office/item.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include <cmath>
#include <utility>

namespace {

float Distance(int x1, int y1, int x2, int y2) {
    const float dx = static_cast<float>(x2 - x1);
    const float dy = static_cast<float>(y2 - y1);
    return std::sqrt(dx * dx + dy * dy);
}

bool Joins(const PathGraph::Edge& edge, const std::string& a, const std::string& b) {
    return (edge.p1 == a && edge.p2 == b) || (edge.p1 == b && edge.p2 == a);
}

} // namespace

bool DirectionStep(const std::string& direction, int& dx, int& dy) {
    static const struct {
        const char* name;
        int dx, dy;
    } kSteps[] = {{"t", 0, -1}, {"tr", 1, -1}, {"r", 1, 0},  {"br", 1, 1},
                  {"b", 0, 1},  {"bl", -1, 1}, {"l", -1, 0}, {"tl", -1, -1}};
    for (const auto& step : kSteps) {
        if (direction == step.name) {
            dx = step.dx;
            dy = step.dy;
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- PathGraph

void PathGraph::Load(XmlNode graph) {
    Clear();
    mElement = graph;
    for (XmlNode point : ChildrenOf(graph, "points", "point")) ReadElement(point, true);
    for (XmlNode edge : ChildrenOf(graph, "edges", "edge")) ReadElement(edge, false);
}

void PathGraph::ReadElement(XmlNode element, bool isPoint) {
    if (isPoint) {
        Point point;
        point.name = OfficeText(element, "name");
        point.direction = OfficeText(element, "direction");
        point.x = OfficeInt(element, "x");
        point.y = OfficeInt(element, "y");
        point.element = element;
        mPoints.emplace(point.name, std::move(point));
        return;
    }
    Edge edge;
    edge.p1 = OfficeText(element, "p1");
    edge.p2 = OfficeText(element, "p2");
    edge.zOrder = OfficeInt(element, "z_order");
    edge.element = element;
    mEdges.push_back(std::move(edge));
}

void PathGraph::Clear() {
    // The elements belong to their documents; a graph only forgets them.
    mElement = XmlNode();
    mIsCopy = false;
    mPoints.clear();
    mEdges.clear();
    mRoute.clear();
}

void PathGraph::CopyFrom(const PathGraph& other) {
    if (&other == this) return;
    Clear();
    mIsCopy = true;
    mElement = other.mElement;
    mPoints = other.mPoints;
    mEdges = other.mEdges;
}

void PathGraph::Merge(const PathGraph& other) {
    if (!mIsCopy || &other == this) return;
    for (const auto& [name, point] : other.mPoints) mPoints.emplace(name, point);
    for (const Edge& edge : other.mEdges) {
        bool joined = false;
        for (const Edge& mine : mEdges) joined = joined || Joins(mine, edge.p1, edge.p2);
        if (!joined) mEdges.push_back(edge);
    }
}

void PathGraph::AddNamedPoint(int x, int y, const std::string& name, const std::string& direction) {
    if (!mIsCopy) return;
    Point& point = mPoints[name];
    point = Point();
    point.x = x;
    point.y = y;
    point.name = name;
    point.direction = direction;
}

bool PathGraph::GetPointPosition(const std::string& name, int& x, int& y) const {
    auto it = mPoints.find(name);
    if (it == mPoints.end()) return false;
    x = it->second.x;
    y = it->second.y;
    return true;
}

bool PathGraph::FindPath(const std::string& from, const std::string& to) {
    std::map<std::string, Point> points = mPoints;
    for (auto& [name, point] : points) {
        point.distance = 0;
        point.predecessor.clear();
        point.reached = false;
        point.isStart = name == from;
    }
    // Edges whose ends both exist, with their lengths.
    std::vector<Edge> edges;
    edges.reserve(mEdges.size());
    for (Edge& edge : mEdges) {
        auto a = points.find(edge.p1);
        auto b = points.find(edge.p2);
        if (a == points.end() || b == points.end()) continue;
        edge.length = Distance(a->second.x, a->second.y, b->second.x, b->second.y);
        edges.push_back(edge);
    }

    mRoute.clear();
    auto start = points.find(from);
    auto target = points.find(to);
    if (start == points.end() || target == points.end() || from == to) return false;

    // Wave relaxation. An equal distance moves a point to a later-found way
    // only over an edge of non-zero length and only when the predecessor
    // really changes: zero-length loops would otherwise re-add points for ever
    // and could link predecessors into a ring.
    std::vector<Point*> wave{&start->second};
    while (!wave.empty()) {
        std::vector<Point*> next;
        for (Point* p : wave) {
            for (const Edge& edge : edges) {
                const std::string* other = nullptr;
                if (edge.p1 == p->name) other = &edge.p2;
                else if (edge.p2 == p->name) other = &edge.p1;
                else continue;
                Point& q = points.find(*other)->second;
                if (q.isStart) continue;
                const float candidate = p->distance + edge.length;
                const bool unreached = !q.reached;
                const bool shorter = candidate < q.distance;
                const bool tie = candidate == q.distance && edge.length > 0 && q.predecessor != p->name;
                if (!unreached && !shorter && !tie) continue;
                q.distance = candidate;
                q.predecessor = p->name;
                q.reached = true;
                bool queued = false;
                for (Point* n : next) queued = queued || n == &q;
                if (!queued) next.push_back(&q);
            }
        }
        wave = std::move(next);
    }

    // Walk back from the target; a walk longer than the point count has met
    // a ring and is refused.
    std::vector<const Point*> chain;
    const Point* at = &target->second;
    while (!at->isStart) {
        if (!at->reached || chain.size() > points.size()) return false;
        chain.insert(chain.begin(), at);
        at = &points.find(at->predecessor)->second;
    }
    chain.insert(chain.begin(), at);

    for (size_t i = 0; i + 1 < chain.size(); ++i) {
        const Point& a = *chain[i];
        const Point& b = *chain[i + 1];
        Segment segment;
        segment.x1 = a.x;
        segment.x2 = b.x;
        segment.y1 = a.y;
        segment.y2 = b.y;
        segment.length = static_cast<int>(Distance(a.x, a.y, b.x, b.y));
        segment.direction = b.direction;
        mRoute.push_back(std::move(segment));
    }
    return !mRoute.empty();
}

bool PathGraph::PositionAt(float elapsed, float speed, int& x, int& y, int& dx, int& dy) const {
    float d = elapsed * speed;
    for (const Segment& s : mRoute) {
        if (d <= static_cast<float>(s.length)) {
            // A segment of no length is passed at once: it has no midpoints.
            const float f = s.length == 0 ? 1.0f : d / static_cast<float>(s.length);
            x = s.x1 + static_cast<int>(static_cast<float>(s.x2 - s.x1) * f);
            y = s.y1 + static_cast<int>(static_cast<float>(s.y2 - s.y1) * f);
            dx = s.x2 - s.x1;
            dy = s.y2 - s.y1;
            return true;
        }
        d -= static_cast<float>(s.length);
    }
    if (!mRoute.empty()) {
        const Segment& last = mRoute.back();
        x = last.x2;
        y = last.y2;
        DirectionStep(last.direction, dx, dy);
    }
    return false;
}

// ---------------------------------------------------------------- PathGraphSet

PathGraphSet::PathGraphSet(std::string name) : mName(std::move(name)) {}

PathGraphSet::~PathGraphSet() {
    mOffice.Clear();
    mLevel.Clear();
    mObjects.Clear();
    mMerged.Clear();
}

void PathGraphSet::LoadMatching(XmlNode node, PathGraph& into) {
    for (XmlNode graph : ChildrenOf(node, "graphs", "graph")) {
        if (OfficeText(graph, "name") == mName) into.Load(graph);
    }
}

void PathGraphSet::LoadOfficeGraphs(XmlNode node) { LoadMatching(node, mOffice); }

void PathGraphSet::AddObjectPoints(const std::string& setName) {
    mObjects.CopyFrom(PathGraph());
    for (Item* item : gObjects) {
        int x = 0, y = 0;
        std::string direction;
        if (!item->GetPoint(setName, x, y, direction)) continue;
        const Zephra::Point at = item->OffsetPoint(Zephra::Point{x, y});
        mObjects.AddNamedPoint(at.mX, at.mY, item->GetName(), direction);
    }
}

void PathGraphSet::LoadLevelGraphs(XmlNode levelNode) {
    LoadMatching(levelNode, mLevel);
    mMerged.CopyFrom(mOffice);
    mMerged.Merge(mLevel);
    mMerged.Merge(mObjects);
}

void PathGraphSet::ClearLevel() {
    mLevel.Clear();
    mMerged.Clear();
    mCurrentPoint.clear();
}

void PathGraphSet::ClearAll() {
    mMerged.Clear();
    mOffice.Clear();
    mCurrentPoint.clear();
}

bool PathGraphSet::SetCurrentPoint(const std::string& name) {
    if (!mMerged.HasPoint(name)) return false;
    mCurrentPoint = name;
    return true;
}

bool PathGraphSet::StartWalk(const std::string& target, float speed) {
    if (!mMerged.HasPoint(target)) return false;
    if (!mMerged.FindPath(mCurrentPoint, target)) return false;
    mSpeed = speed;
    mElapsed = 0;
    return true;
}

bool PathGraphSet::Advance(float dt, int& x, int& y, int& dx, int& dy) {
    mElapsed += dt;
    return mMerged.PositionAt(mElapsed, mSpeed, x, y, dx, dy);
}

bool PathGraphSet::GetPointPosition(const std::string& name, int& x, int& y) const {
    return mMerged.GetPointPosition(name, x, y);
}
