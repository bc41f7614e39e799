#pragma once
#include <vector>

namespace platform {

struct Point { int x = 0; int y = 0; };

// Polygon hit region: non-zero winding, half-open like GDI regions (left and
// top edges inside, right and bottom edges outside).
class PolygonRegion {
public:
    PolygonRegion() = default;
    explicit PolygonRegion(std::vector<Point> points);
    bool Contains(int x, int y) const;
    bool Empty() const { return points_.size() < 3; }
    const std::vector<Point>& Points() const { return points_; }
private:
    std::vector<Point> points_;
};

} // namespace platform
