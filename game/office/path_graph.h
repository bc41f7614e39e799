#pragma once
#include <map>
#include <string>
#include <vector>
#include "game/app/xml_access.h"

// A walk graph: named floor points joined by edges, and the route of the last
// search as straight segments. The boss, the secretary and the engineer each
// walk their own merged graph (PathGraphSet).
//
// XML: "graph" elements hold "points/point" (name, direction, x, y) and
// "edges/edge" (p1, p2, z_order).
class PathGraph {
public:
    struct Point {
        int x = 0;
        int y = 0;
        std::string name;
        std::string direction;      // "t", "tr", "r", "br", "b", "bl", "l", "tl" or empty
        XmlNode element;
        int index = -1;             // in the search's adjacency
    };
    struct Edge {
        std::string p1;
        std::string p2;
        int zOrder = 0;             // stored with the graph; the search ignores it
        XmlNode element;
        float length = 0;           // filled by the search; edges naming a missing point keep 0
    };
    struct Segment {
        int x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        int length = 0;             // integer part of the Euclidean length
        std::string direction;      // of the segment's end point
    };

    PathGraph() = default;
    // Copies go through CopyFrom: the adjacency points into the graph's own points.
    PathGraph(const PathGraph&) = delete;
    PathGraph& operator=(const PathGraph&) = delete;

    // Clears, keeps the element and reads its points, then its edges.
    void Load(XmlNode graph);
    // A point joins only under a new name (the first one wins); an edge is
    // always appended.
    void ReadElement(XmlNode element, bool isPoint);
    // A copy shares the elements of the graphs it came from and only forgets them.
    void Clear();
    void CopyFrom(const PathGraph& other);
    // Copies only: adds the other's new points and the edges that join two
    // names not joined yet (in either order).
    void Merge(const PathGraph& other);
    // Copies only: adds or replaces the point.
    void AddNamedPoint(int x, int y, const std::string& name, const std::string& direction);

    bool HasPoint(const std::string& name) const { return mPoints.count(name) != 0; }
    bool GetPointPosition(const std::string& name, int& x, int& y) const;

    // Shortest route from one point to another. True with the route replaced
    // when a route of at least one segment exists; false with the route
    // cleared otherwise (unknown or unreachable target, or from == to).
    // Edges naming a missing point are left out of the search. Of ways of
    // equal length, a point is reached over the edge that comes later in the
    // edge list (one of non-zero length: over zero-length edges the first
    // found stays). O(E log V); the adjacency is built once per change.
    bool FindPath(const std::string& from, const std::string& to);
    // Where a walk along the route stands after elapsed seconds at speed:
    // true while walking, with the raw step of the current segment as the
    // direction; false on arrival, at the route's end, facing the end point's
    // direction (the direction is left alone when the text names none).
    bool PositionAt(float elapsed, float speed, int& x, int& y, int& dx, int& dy) const;

    bool IsCopy() const { return mIsCopy; }
    XmlNode GetElement() const { return mElement; }
    const std::map<std::string, Point>& Points() const { return mPoints; }
    const std::vector<Edge>& Edges() const { return mEdges; }
    const std::vector<Segment>& Route() const { return mRoute; }

private:
    // One end of an edge as seen from the other.
    struct Link {
        int to;
        int edge;       // index into mEdges
        float length;
    };
    void BuildAdjacency();

    std::map<std::string, Point> mPoints;
    std::vector<Edge> mEdges;
    std::vector<Segment> mRoute;
    XmlNode mElement;
    bool mIsCopy = false;
    // The points in map order and, per point, its links (mLinks from
    // mFirstLink[i] to mFirstLink[i + 1]), in edge order; stale after a change.
    std::vector<Point*> mNodes;
    std::vector<int> mFirstLink;
    std::vector<Link> mLinks;
    bool mAdjacencyBuilt = false;
};

// A graph of a file reads at most this many points and edges; the rest are
// left out with a warning.
constexpr int kMaxGraphPoints = 16384;
constexpr int kMaxGraphEdges = 65536;

// The unit step a direction text names; false for any other text.
bool DirectionStep(const std::string& direction, int& dx, int& dy);

// One person's graphs: the office's, the current level's, the walk points
// that the office objects declare for this person, and the merge of the
// three that the person walks.
class PathGraphSet {
public:
    explicit PathGraphSet(std::string name);
    ~PathGraphSet();
    PathGraphSet(const PathGraphSet&) = delete;
    PathGraphSet& operator=(const PathGraphSet&) = delete;

    const std::string& GetName() const { return mName; }

    // Every "graphs/graph" under node named like this set loads into the
    // office graph (a later match over an earlier one).
    void LoadOfficeGraphs(XmlNode node);
    // The object-point graph becomes an empty copy holding, under each
    // object's name, the walk point the object declares for setName (placed
    // at the object's offset point).
    void AddObjectPoints(const std::string& setName);
    // Loads the level's graphs, then merges office, level and object points.
    void LoadLevelGraphs(XmlNode levelNode);
    void ClearLevel();
    void ClearAll();

    // False, changing nothing, when the merged graph lacks the point.
    bool SetCurrentPoint(const std::string& name);
    const std::string& GetCurrentPoint() const { return mCurrentPoint; }
    // Plans a walk from the current point; false when there is no route.
    bool StartWalk(const std::string& target, float speed);
    // Advances the walk; true while walking, false on arrival.
    bool Advance(float dt, int& x, int& y, int& dx, int& dy);
    bool GetPointPosition(const std::string& name, int& x, int& y) const;

    PathGraph& OfficeGraph() { return mOffice; }
    PathGraph& LevelGraph() { return mLevel; }
    PathGraph& ObjectGraph() { return mObjects; }
    PathGraph& MergedGraph() { return mMerged; }

private:
    void LoadMatching(XmlNode node, PathGraph& into);

    std::string mName;
    std::string mCurrentPoint;
    PathGraph mOffice;
    PathGraph mLevel;
    PathGraph mObjects;
    PathGraph mMerged;
    float mSpeed = 0;
    float mElapsed = 0;
};
