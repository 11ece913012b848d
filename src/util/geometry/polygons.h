#pragma once
// Point-in-polygon tests for polygons of several parts.
//
// Multi-part polygons. Vertices x[0..n-1], y[0..n-1]; part ends ends[0..p-1],
// numbered from 1: a part end E(k) = 5 names the fifth vertex, x[4]. The first
// part runs from vertex 1 to E(1); part k+1 begins at vertex E(k)+2, so one
// vertex that belongs to no edge follows every part and n = E(p)+1. It counts
// in bounding boxes, so callers usually repeat a vertex there. Each part
// repeats its first vertex as its last; no closing edge is added.
//
// Bad part lists. The walk over the parts ends normally once the next part
// would begin beyond vertex n. It stops the run when the parts are used up
// before that, when a part ends before it begins, or when a part ends beyond
// vertex n: one message naming the routine goes to the console after an empty
// line, and STOPRUN ends the run (services::RunStop is thrown). The grid
// walkers of util/geometry/grid_fill.h share this walk.
//
// Point in polygon. A horizontal ray runs from the point to the reference x
// minus 10 (the reference x must not exceed the polygon's smallest x). A vertex
// lying exactly on the ray's line is counted once, and only when the boundary
// passes from one side of the line to the other; the y before the vertex is the
// last vertex off the line before it. For a part's first vertex that is the
// part's last vertex off the line counted back from its second-to-last vertex
// (the one before the closing repeat), since the part is closed.
#include <cstdint>

namespace velmorak::util {

bool INSIDE_POLYGON(float px, float py, const float* x, const float* y, std::int32_t n, float xref,
                    const std::int32_t* ends, std::int32_t nparts);
bool INSIDE_POLYGON_8(double px, double py, const double* x, const double* y, std::int32_t n, double xref,
                      const std::int32_t* ends, std::int32_t nparts);

// flags[k] receives 1 when point k lies inside the polygon, else 0; count the
// number of points inside. The crossings are counted by the scan-line rule of
// grid_inside_polygon, whose name a bad part list gives.
void points_inside_polygon_8(std::int32_t* flags, const double* px, const double* py, std::int32_t k,
                             std::int32_t& count, const double* x, const double* y, std::int32_t n,
                             const std::int32_t* ends, std::int32_t nparts);

}  // namespace velmorak::util
