#include "platform/region.h"

#include <cstddef>
#include <cstdint>

namespace platform {

PolygonRegion::PolygonRegion(std::vector<Point> points) : points_(std::move(points)) {}

bool PolygonRegion::Contains(int x, int y) const {
    if (Empty()) return false;
    // The pixel's centre (x + 0.5, y + 0.5) is tested, in doubled integer
    // coordinates so that it is exact: the centre never lies on a horizontal
    // or vertical edge, which yields GDI's rule of left and top edges inside,
    // right and bottom edges outside.
    const int64_t px = 2 * static_cast<int64_t>(x) + 1;
    const int64_t py = 2 * static_cast<int64_t>(y) + 1;
    int winding = 0;
    const size_t n = points_.size();
    for (size_t i = 0; i < n; ++i) {
        const Point& a = points_[i];
        const Point& b = points_[(i + 1) % n];
        const int64_t ax = 2 * static_cast<int64_t>(a.x), ay = 2 * static_cast<int64_t>(a.y);
        const int64_t bx = 2 * static_cast<int64_t>(b.x), by = 2 * static_cast<int64_t>(b.y);
        // Which side of the edge a→b the centre lies on; 128 bits because the
        // products of doubled 32-bit coordinates exceed 64.
        const __int128 side = static_cast<__int128>(bx - ax) * (py - ay) -
                              static_cast<__int128>(px - ax) * (by - ay);
        if (ay <= py) {
            if (by > py && side > 0) ++winding;       // upward edge, centre on its left
        } else if (by <= py && side < 0) {
            --winding;                                // downward edge, centre on its right
        }
    }
    return winding != 0;
}

} // namespace platform
