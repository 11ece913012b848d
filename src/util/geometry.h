#pragma once
// Plane geometry for terrain and hydraulic-model data: lengths and angles,
// side and intersection tests for segments, point-in-polygon tests for
// polygons of several parts, the scan-line fill of grid cells inside such a
// polygon, linear interpolation inside a triangle, a rotation into local axes,
// and the flow area, width and wetted perimeter of a cross-section panel.
// Nothing is kept between calls and nothing is read or written, except that a
// polygon walker given a bad part list writes one message to the console and
// ends the run through STOPRUN (services::RunStop is thrown).
//
// Precision. The plain routines work in single precision (float); an "_8" twin
// takes double coordinates and, where noted, still rounds to float: DISTANCE_8
// rounds the two differences to float before squaring, SAME_SIDE_8 rounds its
// six differences, and every distance and elevation result is a float. The
// small tolerance 1.0E-6 is the float 1.0e-6f (9.99999997e-7 when widened).
//
// Arrays. Vertex, point and value arrays are passed as a pointer and a count.
// The algorithms number elements from 1; element k is stored at index k-1.
// The same holds for part ends: a part end E(k) = 5 names the fifth vertex,
// x[4].
//
// Multi-part polygons. Vertices x[0..n-1], y[0..n-1]; part ends ends[0..p-1].
// The first part runs from vertex 1 to E(1); part k+1 begins at vertex E(k)+2,
// so one vertex that belongs to no edge follows every part and n = E(p)+1. It
// counts in bounding boxes, so callers usually repeat a vertex there. Each part
// repeats its first vertex as its last; no closing edge is added. The walk over
// the parts ends normally once the next part would begin beyond vertex n. It
// stops the run when the parts are used up before that, when a part ends
// before it begins, or when a part ends beyond vertex n.
//
// Point in polygon. A horizontal ray runs from the point to the reference x
// minus 10 (the reference x must not exceed the polygon's smallest x). A vertex
// lying exactly on the ray's line is counted once, and only when the boundary
// passes from one side of the line to the other; the y before the vertex is the
// last vertex off the line before it. For a part's first vertex that is the
// part's last vertex off the line counted back from its second-to-last vertex
// (the one before the closing repeat), since the part is closed.
//
// Grids. A grid of nr by nc cells is a row-major span of nr*nc elements: cell
// (r, j), r = 1..nr along y and j = 1..nc along x, is element (r-1)*nc + (j-1).
// Cell (r, j) stands for the point (j*dx, r*dy). The integer and real grids are
// touched only when the cell action needs them and may then be empty spans.
//
// Conversions to whole numbers (INT, truncation toward zero) of values beyond
// the int32_t range or not a number are clamped (not a number gives 0).
#include <cstdint>
#include <span>

namespace velmorak::util {

// The elevation that interpolation answers when it finds none.
inline constexpr float kNoValue = -99999.0f;

float DISTANCE(float x1, float y1, float x2, float y2);
float DISTANCE_8(double x1, double y1, double x2, double y2);
float VECTOR_MAGNITUDE(float u, float v);
// Angle in degrees, 0 to 180, between the directions P1->P2 and P3->P4; 0 when
// either direction is vertical (|dx| below 1.0E-6).
float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);

bool SAME_POINT(float x1, float y1, float x2, float y2, float tolerance);
bool SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance);

// Positive when P3 and P4 lie strictly on the same side of the line P1P2,
// negative when on opposite sides, zero when either lies on it.
float SAME_SIDE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
float SAME_SIDE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);

// P3 lies on the line through P1 and P2.
bool INTERSECT_POINT(float x1, float y1, float x2, float y2, float x3, float y3);
// Segments P1P2 and P3P4 meet; touching counts, and so do any two segments on
// one line, even apart.
bool INTERSECT_LINE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
bool INTERSECT_LINE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
// -1 collinear, 0 parallel, 3 crossing inside both segments, 1 inside the
// first only, 2 inside the second only, 4 outside both. A segment's start
// point is not inside it; its end point is.
std::int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
// Crossing point of the infinite lines P1P2 and P3P4; false (x, y untouched)
// when they are parallel or both vertical.
bool INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float& x,
                        float& y);
bool INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                          double& x, double& y);

bool INSIDE_POLYGON(float px, float py, const float* x, const float* y, std::int32_t n, float xref,
                    const std::int32_t* ends, std::int32_t nparts);
bool INSIDE_POLYGON_8(double px, double py, const double* x, const double* y, std::int32_t n, double xref,
                      const std::int32_t* ends, std::int32_t nparts);

// Marks the cells of the grid inside the polygon (scan lines y = r*dy), leaving
// a margin of margin_y rows and margin_x columns untouched. The row and column
// range acted on is returned; the crossing grid is work space. A marked cell
// gets 1 in the inside mask and, when `act` is set, the cell action: NINT(v)
// into the integer grid, else v into the real grid, else (n == 5, a single
// triangle) the elevation interpolated from the first three vertices; stored,
// or added when `add` is set. n_acted counts the cells acted on.
void grid_inside_polygon(std::span<std::uint8_t> inside, std::span<std::uint8_t> crossings,
                         std::span<std::int32_t> ivalues, std::span<float> rvalues, std::int32_t nr, std::int32_t nc,
                         float dx, float dy, std::int32_t margin_y, std::int32_t margin_x, bool clear, bool act,
                         bool set_integer, bool set_real, float v, bool add, std::int32_t& r_lo, std::int32_t& j_lo,
                         std::int32_t& r_hi, std::int32_t& j_hi, std::int32_t& n_acted, const float* x,
                         const float* y, const float* z, std::int32_t n, const std::int32_t* ends,
                         std::int32_t nparts);
void grid_inside_polygon_8(std::span<std::uint8_t> inside, std::span<std::uint8_t> crossings,
                           std::span<std::int32_t> ivalues, std::span<float> rvalues, std::int32_t nr,
                           std::int32_t nc, float dx, float dy, std::int32_t margin_y, std::int32_t margin_x,
                           bool clear, bool act, bool set_integer, bool set_real, float v, bool add,
                           std::int32_t& r_lo, std::int32_t& j_lo, std::int32_t& r_hi, std::int32_t& j_hi,
                           std::int32_t& n_acted, const double* x, const double* y, const float* z, std::int32_t n,
                           const std::int32_t* ends, std::int32_t nparts);

// flags[k] receives 1 when point k lies inside the polygon, else 0; count the
// number of points inside.
void points_inside_polygon_8(std::int32_t* flags, const double* px, const double* py, std::int32_t k,
                             std::int32_t& count, const double* x, const double* y, std::int32_t n,
                             const std::int32_t* ends, std::int32_t nparts);
// The cell action of grid_inside_polygon applied to the points whose flag is 1.
void set_points_value_8(const std::int32_t* flags, const double* px, const double* py, std::int32_t* ivalues,
                        float* rvalues, std::int32_t k, bool set_integer, bool set_real, float v, bool add,
                        const double* x, const double* y, const float* z, std::int32_t n);

// Elevation at P from the triangle x[0..2], y[0..2], z[0..2]; false with
// z = -99999.0 when the construction finds no crossing point. Distances are
// unsigned, so the plane through the vertices is reproduced only inside.
bool INTERPOLATE_TRIANGLE(float px, float py, const float* x, const float* y, const float* z, float& zout);
bool INTERPOLATE_TRIANGLE_8(double px, double py, const double* x, const double* y, const float* z, float& zout);
// Elevation at P inside a triangle (nv = 3) or quadrilateral (nv = 4, the mean
// over the four triangles left when one vertex is dropped that hold P). False
// when P is outside (z untouched for a triangle, -99999.0 for a
// quadrilateral) and for any other vertex count (z untouched).
bool INTERPOLATE_ELEMENT_8(double px, double py, const double* x, const double* y, const float* z, std::int32_t nv,
                           double xref, float& zout);

// Points in axes with origin (x0, y0) turned by `angle` radians.
void GEO_SHIFT(const double* x, const double* y, std::int32_t n, double x0, double y0, float angle, float* u,
               float* v);
// Bounding box of the n points (n >= 1) and the cell range covering it along
// y (rows) and x (columns); the lowest index is limited to 0, the highest to
// the cell count.
void SET_SUB_GRID_AREA(const float* x, const float* y, std::int32_t n, float size, std::int32_t cells_y,
                       std::int32_t cells_x, std::int32_t& lo_y, std::int32_t& lo_x, std::int32_t& hi_y,
                       std::int32_t& hi_x, float& xmin, float& ymin, float& xmax, float& ymax);

// Flow area, water-surface width and wetted perimeter of the panel between the
// bed points (x1, z1) and (x2, z2) at water level `level`; zeros when `enable`
// is not positive or the panel is dry.
void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float enable, float& area, float& width,
               float& perimeter);
// HYD_PARAM on the two halves of the panel, each with its own enable value.
void HYD_PARAM2(float x1, float z1, float enable1, float x2, float z2, float enable2, float level, float& area1,
                float& area2, float& width1, float& width2, float& perimeter1, float& perimeter2);
// Water-surface width in a circular conduit of the radius at the depth.
float CIRCLE_WIDTH(float radius, float depth);

}  // namespace velmorak::util
