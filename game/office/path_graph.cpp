#include "game/office/path_graph.h"
#include "game/office/item.h"
#include "game/office/office_objects.h"
#include "game/office/office_xml.h"
#include <algorithm>
#include <cmath>
#include <queue>
#include <tuple>
#include <unordered_set>
#include <utility>
#include "game/app/office_app.h"

namespace {

float Distance(int x1, int y1, int x2, int y2) {
    const float dx = static_cast<float>(x2 - x1);
    const float dy = static_cast<float>(y2 - y1);
    return std::sqrt(dx * dx + dy * dy);
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
    int points = 0, edges = 0;
    bool cut = false;
    for (XmlNode point : ChildrenOf(graph, "points", "point")) {
        if (cut = ++points > kMaxGraphPoints; cut) break;
        ReadElement(point, true);
    }
    for (XmlNode edge : ChildrenOf(graph, "edges", "edge")) {
        if (++edges > kMaxGraphEdges) {
            cut = true;
            break;
        }
        ReadElement(edge, false);
    }
    if (cut) {
        if (OfficeApp* app = GetApp())
            app->Warn("path graph \"" + OfficeText(graph, "name") + "\" holds more than " +
                      std::to_string(kMaxGraphPoints) + " points or " + std::to_string(kMaxGraphEdges) +
                      " edges; the rest are left out");
    }
}

void PathGraph::ReadElement(XmlNode element, bool isPoint) {
    mAdjacencyBuilt = false;
    if (isPoint) {
        Point point;
        point.name = OfficeText(element, "name");
        point.direction = OfficeText(element, "direction");
        point.x = ClampCoordinate(OfficeInt(element, "x"));
        point.y = ClampCoordinate(OfficeInt(element, "y"));
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
    mAdjacencyBuilt = false;
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
    mAdjacencyBuilt = false;
    for (const auto& [name, point] : other.mPoints) mPoints.emplace(name, point);
    // The two names of an edge in either order.
    auto key = [](const Edge& e) { return e.p1 < e.p2 ? e.p1 + '\0' + e.p2 : e.p2 + '\0' + e.p1; };
    std::unordered_set<std::string> joined;
    for (const Edge& mine : mEdges) joined.insert(key(mine));
    for (const Edge& edge : other.mEdges)
        if (joined.insert(key(edge)).second) mEdges.push_back(edge);
}

void PathGraph::AddNamedPoint(int x, int y, const std::string& name, const std::string& direction) {
    if (!mIsCopy) return;
    mAdjacencyBuilt = false;
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

void PathGraph::BuildAdjacency() {
    mNodes.clear();
    for (auto& [name, point] : mPoints) {
        point.index = static_cast<int>(mNodes.size());
        mNodes.push_back(&point);
    }
    // Edges whose ends both exist, with their lengths; counted, then placed.
    std::vector<std::pair<int, int>> ends(mEdges.size(), {-1, -1});
    mFirstLink.assign(mNodes.size() + 1, 0);
    for (size_t e = 0; e < mEdges.size(); ++e) {
        Edge& edge = mEdges[e];
        auto a = mPoints.find(edge.p1);
        auto b = mPoints.find(edge.p2);
        if (a == mPoints.end() || b == mPoints.end()) continue;
        edge.length = Distance(a->second.x, a->second.y, b->second.x, b->second.y);
        ends[e] = {a->second.index, b->second.index};
        ++mFirstLink[static_cast<size_t>(ends[e].first) + 1];
        if (ends[e].second != ends[e].first) ++mFirstLink[static_cast<size_t>(ends[e].second) + 1];
    }
    for (size_t i = 1; i < mFirstLink.size(); ++i) mFirstLink[i] += mFirstLink[i - 1];
    mLinks.assign(static_cast<size_t>(mFirstLink.back()), Link{});
    std::vector<int> next(mFirstLink.begin(), mFirstLink.end() - 1);
    for (size_t e = 0; e < mEdges.size(); ++e) {
        const auto [a, b] = ends[e];
        if (a < 0) continue;
        const float length = mEdges[e].length;
        mLinks[static_cast<size_t>(next[static_cast<size_t>(a)]++)] = Link{b, static_cast<int>(e), length};
        if (b != a) mLinks[static_cast<size_t>(next[static_cast<size_t>(b)]++)] = Link{a, static_cast<int>(e), length};
    }
    mAdjacencyBuilt = true;
}

bool PathGraph::FindPath(const std::string& from, const std::string& to) {
    mRoute.clear();
    auto start = mPoints.find(from);
    auto target = mPoints.find(to);
    if (start == mPoints.end() || target == mPoints.end() || from == to) return false;
    if (!mAdjacencyBuilt) BuildAdjacency();

    const size_t n = mNodes.size();
    const int s = start->second.index;
    std::vector<float> distance(n, 0.0f);
    std::vector<int> via(n, -1);      // the edge a point was last reached over
    std::vector<int> previous(n, -1); // the point it was reached from
    std::vector<char> done(n, 0);
    // Nearest first; of equal distances the one queued first.
    using Entry = std::tuple<float, uint64_t, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
    uint64_t queued = 0;
    queue.emplace(0.0f, queued++, s);
    while (!queue.empty()) {
        const auto [d, order, p] = queue.top();
        queue.pop();
        (void)order;
        if (done[static_cast<size_t>(p)] || d != distance[static_cast<size_t>(p)]) continue;
        done[static_cast<size_t>(p)] = 1;
        for (int l = mFirstLink[static_cast<size_t>(p)]; l < mFirstLink[static_cast<size_t>(p) + 1]; ++l) {
            const Link& link = mLinks[static_cast<size_t>(l)];
            const size_t q = static_cast<size_t>(link.to);
            if (link.to == s || done[q]) continue;
            const float candidate = d + link.length;
            if (previous[q] < 0 || candidate < distance[q]) {
                distance[q] = candidate;
                via[q] = link.edge;
                previous[q] = p;
                queue.emplace(candidate, queued++, link.to);
            } else if (candidate == distance[q] && link.length > 0 && link.edge > via[q]) {
                // A tie: the edge later in the list wins. Zero-length edges never
                // take over, so predecessors cannot form a ring.
                via[q] = link.edge;
                previous[q] = p;
            }
        }
    }

    const int t = target->second.index;
    if (previous[static_cast<size_t>(t)] < 0) return false;
    std::vector<const Point*> chain;
    for (int at = t; at != s; at = previous[static_cast<size_t>(at)]) {
        if (at < 0 || chain.size() > n) return false;
        chain.push_back(mNodes[static_cast<size_t>(at)]);
    }
    chain.push_back(mNodes[static_cast<size_t>(s)]);
    std::reverse(chain.begin(), chain.end());

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
