#pragma once
// Grid cells inside a multi-part polygon (the layout of util/geometry/
// polygons.h): the scan-line fill of a grid, the same test and cell action on
// a list of points, and the cell range covering a bounding box.
//
// Grids. A grid of nr by nc cells is a row-major span of nr*nc elements: cell
// (r, j), r = 1..nr along y and j = 1..nc along x, is element (r-1)*nc + (j-1).
// Cell (r, j) stands for the point (j*dx, r*dy). The integer and real grids are
// touched only when the cell action needs them and may then be empty spans.
//
// A bad part list stops the run with the message naming grid_inside_polygon.
// INT (truncation toward zero) of a value beyond the int32_t range is clamped,
// and of a value that is not a number gives 0.
#include <cstdint>
#include <span>

namespace velmorak::util {

// The grid a fill works on. The margins (rows at each end along y, columns at
// each end along x) are never touched.
struct CellGrid {
    std::span<std::uint8_t> inside;     // the inside mask: 1 marks a cell inside
    std::span<std::uint8_t> crossings;  // work space
    std::span<std::int32_t> ivalues;    // the integer grid of the cell action
    std::span<float> rvalues;           // the real grid of the cell action
    std::int32_t nr = 0;
    std::int32_t nc = 0;
    float dx = 0.0f;
    float dy = 0.0f;
    std::int32_t margin_y = 0;
    std::int32_t margin_x = 0;
};

// What a cell or point found inside gets: NINT(v) (halves away from zero) into
// the integer values when set_integer, else v into the real values when
// set_real, else, for a polygon of n == 5 vertices (a single triangle), the
// elevation interpolated from its first three vertices; stored, or added when
// `add` is set.
struct CellAction {
    bool set_integer = false;
    bool set_real = false;
    float v = 0.0f;
    bool add = false;
};

// The row and column range a fill acted on, and the number of cells that got
// the cell action.
struct GridRange {
    std::int32_t r_lo = 0;
    std::int32_t j_lo = 0;
    std::int32_t r_hi = 0;
    std::int32_t j_hi = 0;
    std::int32_t n_acted = 0;
};

// Marks the cells of the grid inside the polygon (scan lines y = r*dy) with 1
// in the inside mask, after clearing the mask over the range when `clear` is
// set, and gives every marked cell the cell action when `act` is set.
GridRange grid_inside_polygon(const CellGrid& grid, bool clear, bool act, const CellAction& action, const float* x,
                              const float* y, const float* z, std::int32_t n, const std::int32_t* ends,
                              std::int32_t nparts);
GridRange grid_inside_polygon_8(const CellGrid& grid, bool clear, bool act, const CellAction& action,
                                const double* x, const double* y, const float* z, std::int32_t n,
                                const std::int32_t* ends, std::int32_t nparts);

// The cell action applied to the k points whose flag is 1, on their elements
// of ivalues and rvalues.
void set_points_value_8(const std::int32_t* flags, const double* px, const double* py, std::int32_t* ivalues,
                        float* rvalues, std::int32_t k, const CellAction& action, const double* x, const double* y,
                        const float* z, std::int32_t n);

// Bounding box of the n points (n >= 1) and the cell range covering it along
// y (rows) and x (columns); the lowest index is limited to 0, the highest to
// the cell count.
void SET_SUB_GRID_AREA(const float* x, const float* y, std::int32_t n, float size, std::int32_t cells_y,
                       std::int32_t cells_x, std::int32_t& lo_y, std::int32_t& lo_x, std::int32_t& hi_y,
                       std::int32_t& hi_x, float& xmin, float& ymin, float& xmax, float& ymax);

}  // namespace velmorak::util
