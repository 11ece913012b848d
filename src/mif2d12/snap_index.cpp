#include "mif2d12/snap_index.h"

#include <cmath>
#include <limits>

#include "mif2d12/snapping.h"

namespace velmorak::mif2d12 {
namespace {

constexpr double kTolerance = kSnapTolerance;
// Wider than the whole tolerance box, so a vertex reaches at most three cells
// along each axis (two unless rounding puts it on an edge).
constexpr double kCellSize = 2.0 * kTolerance;
constexpr double kCellLimit = 4611686018427387904.0;  // 2^62

// The cell of a finite coordinate: a non-decreasing function of it.
std::int64_t cell_of(double v) {
    const double q = std::floor(v / kCellSize);
    if (q <= -kCellLimit) return -static_cast<std::int64_t>(kCellLimit);
    if (q >= kCellLimit) return static_cast<std::int64_t>(kCellLimit);
    return static_cast<std::int64_t>(q);
}

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint64_t hash_cell(std::int64_t cx, std::int64_t cy) {
    return mix(static_cast<std::uint64_t>(cx) ^ mix(static_cast<std::uint64_t>(cy) + 0x9e3779b97f4a7c15ULL));
}

bool finite_point(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

}  // namespace

std::int32_t SnapIndex::lookup(std::int64_t cx, std::int64_t cy) const {
    for (std::uint64_t s = hash_cell(cx, cy) & mask_;; s = (s + 1) & mask_) {
        const std::int32_t c = slots_[s];
        if (c < 0) return -1;
        const Cell& cell = cells_[static_cast<std::size_t>(c)];
        if (cell.cx == cx && cell.cy == cy) return c;
    }
}

std::int32_t SnapIndex::insert(std::int64_t cx, std::int64_t cy) {
    for (std::uint64_t s = hash_cell(cx, cy) & mask_;; s = (s + 1) & mask_) {
        const std::int32_t c = slots_[s];
        if (c >= 0) {
            const Cell& cell = cells_[static_cast<std::size_t>(c)];
            if (cell.cx == cx && cell.cy == cy) return c;
            continue;
        }
        const auto added = static_cast<std::int32_t>(cells_.size());
        cells_.push_back({cx, cy, 0, 0});
        slots_[s] = added;
        return added;
    }
}

void SnapIndex::build(std::span<const double> x, std::span<const double> y, std::int32_t count) {
    x_ = x;
    y_ = y;
    const auto n = static_cast<std::size_t>(count > 0 ? count : 0);
    // At most half the slots are ever taken, which keeps the probe runs short.
    std::size_t size = 16;
    while (size < 2 * n) size *= 2;
    slots_.assign(size, -1);
    mask_ = size - 1;
    cells_.clear();
    cells_.reserve(n);

    // First pass: the cell of every point and the size of every cell.
    std::vector<std::int32_t> cell_of_point(n, -1);
    for (std::size_t i = 0; i < n; ++i) {
        if (!finite_point(x[i], y[i])) continue;
        const std::int32_t c = insert(cell_of(x[i]), cell_of(y[i]));
        cell_of_point[i] = c;
        ++cells_[static_cast<std::size_t>(c)].end;
    }
    std::int32_t start = 0;
    for (Cell& cell : cells_) {
        const std::int32_t size_of_cell = cell.end;
        cell.begin = start;
        cell.end = start;
        start += size_of_cell;
    }
    // Second pass in table order, so every cell lists its points ascending.
    members_.assign(static_cast<std::size_t>(start), 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (cell_of_point[i] < 0) continue;
        Cell& cell = cells_[static_cast<std::size_t>(cell_of_point[i])];
        members_[static_cast<std::size_t>(cell.end++)] = static_cast<std::int32_t>(i);
    }
}

std::int32_t SnapIndex::find(double vertex_x, double vertex_y) const {
    if (cells_.empty() || !finite_point(vertex_x, vertex_y)) return -1;
    // A snapping point lies strictly inside the tolerance box, so after
    // rounding it lies between the rounded box edges, and its cell between
    // their cells.
    const std::int64_t x_lo = cell_of(vertex_x - kTolerance);
    const std::int64_t x_hi = cell_of(vertex_x + kTolerance);
    const std::int64_t y_lo = cell_of(vertex_y - kTolerance);
    const std::int64_t y_hi = cell_of(vertex_y + kTolerance);
    std::int32_t best = std::numeric_limits<std::int32_t>::max();
    for (std::int64_t cx = x_lo; cx <= x_hi; ++cx) {
        for (std::int64_t cy = y_lo; cy <= y_hi; ++cy) {
            const std::int32_t c = lookup(cx, cy);
            if (c < 0) continue;
            const Cell& cell = cells_[static_cast<std::size_t>(c)];
            for (std::int32_t m = cell.begin; m < cell.end; ++m) {
                const std::int32_t point = members_[static_cast<std::size_t>(m)];
                if (point >= best) break;
                const auto p = static_cast<std::size_t>(point);
                if (snaps(vertex_x, vertex_y, x_[p], y_[p])) {
                    best = point;
                    break;
                }
            }
        }
    }
    return best == std::numeric_limits<std::int32_t>::max() ? -1 : best;
}

}  // namespace velmorak::mif2d12
