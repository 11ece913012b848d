#include "mif2d12/snap_index.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>

#include "mif2d12/snapping.h"

namespace velmorak::mif2d12 {
namespace {

constexpr double kTolerance = kSnapTolerance;
// Wide enough that most tolerance boxes fit in one cell; narrow enough that a
// cell seldom holds more than one surveyed point.
constexpr double kMinCellSize = 32.0 * kTolerance;
constexpr double kCellLimit = 2147483648.0;  // 2^31: the highest cell number in an axis
constexpr double kSpanCells = 1073741824.0;  // 2^30: cells the points' extent may take in an axis

std::uint64_t mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

bool finite_point(double x, double y) { return std::isfinite(x) && std::isfinite(y); }

void prefetch(const void* p) {
#if defined(__GNUC__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

}  // namespace

// A non-decreasing function of v: -1 below the origin, at most 2^31. v and the
// origin are finite, so the difference may overflow but is never NaN; a
// product with the positive reciprocal of the cell size keeps the order, and
// truncation is the floor of what is not negative.
std::int64_t SnapIndex::cell(double v, double origin) const {
    const double q = (v - origin) * cells_per_unit_;
    if (!(q >= 0.0)) return -1;
    if (q >= kCellLimit) return static_cast<std::int64_t>(kCellLimit);
    return static_cast<std::int64_t>(q);
}

std::uint64_t SnapIndex::vertex_key(double vertex_x, double vertex_y) const {
    if (slots_.empty() || !finite_point(vertex_x, vertex_y)) return kNoKey;
    const std::int64_t cx = cell(vertex_x, origin_x_);
    const std::int64_t cy = cell(vertex_y, origin_y_);
    if (cx < 0 || cy < 0) return kNoKey;  // below every point's box
    return static_cast<std::uint64_t>(cx) << 32 | static_cast<std::uint64_t>(cy);
}

std::size_t SnapIndex::home(std::uint64_t key) const { return static_cast<std::size_t>(mix(key) & mask_); }

const SnapIndex::Slot* SnapIndex::slot_of(std::uint64_t key) const {
    for (std::size_t s = home(key);; s = (s + 1) & mask_) {
        const Slot& slot = slots_[s];
        if (slot.key == key) return &slot;
        if (slot.key == kNoKey) return nullptr;
    }
}

SnapIndex::Slot& SnapIndex::insert(std::uint64_t key) {
    for (std::size_t s = home(key);; s = (s + 1) & mask_) {
        Slot& slot = slots_[s];
        if (slot.key == key) return slot;
        if (slot.key == kNoKey) {
            slot.key = key;
            return slot;
        }
    }
}

std::int32_t SnapIndex::first_snapping(const Slot& slot, double vertex_x, double vertex_y) const {
    for (std::int32_t m = slot.begin; m < slot.end; ++m) {
        const Member& member = members_[static_cast<std::size_t>(m)];
        if (snaps(vertex_x, vertex_y, member.x, member.y)) return member.point;
    }
    return -1;
}

// Calls visit(cell key) for every cell the tolerance box of a point at (px, py) reaches.
template <typename Visit>
void SnapIndex::for_each_cell(double px, double py, Visit&& visit) const {
    const std::int64_t x0 = cell(px - kTolerance, origin_x_);
    const std::int64_t x1 = cell(px + kTolerance, origin_x_);
    const std::int64_t y0 = cell(py - kTolerance, origin_y_);
    const std::int64_t y1 = cell(py + kTolerance, origin_y_);
    for (std::int64_t cx = x0; cx <= x1; ++cx)
        for (std::int64_t cy = y0; cy <= y1; ++cy)
            visit(static_cast<std::uint64_t>(cx) << 32 | static_cast<std::uint64_t>(cy));
}

// The grid's origin and cell size from the extent of the points' tolerance
// boxes, as rounded where they are used; false when no point is finite.
bool SnapIndex::place_grid(std::span<const double> x, std::span<const double> y, std::size_t n) {
    double lo_x = std::numeric_limits<double>::infinity();
    double lo_y = lo_x;
    double hi_x = -lo_x;
    double hi_y = -lo_x;
    bool any = false;
    for (std::size_t i = 0; i < n; ++i) {
        if (!finite_point(x[i], y[i])) continue;
        lo_x = std::min(lo_x, x[i] - kTolerance);
        hi_x = std::max(hi_x, x[i] + kTolerance);
        lo_y = std::min(lo_y, y[i] - kTolerance);
        hi_y = std::max(hi_y, y[i] + kTolerance);
        any = true;
    }
    if (!any) return false;
    origin_x_ = lo_x;
    origin_y_ = lo_y;
    double size = std::max({kMinCellSize, (hi_x - lo_x) / kSpanCells, (hi_y - lo_y) / kSpanCells});
    if (!std::isfinite(size)) size = std::numeric_limits<double>::max();
    cells_per_unit_ = 1.0 / size;
    return true;
}

void SnapIndex::build(std::span<const double> x, std::span<const double> y, std::int32_t count) {
    slots_ = {};
    members_ = {};
    mask_ = 0;
    const auto n = static_cast<std::size_t>(count > 0 ? count : 0);
    if (!place_grid(x, y, n)) return;

    std::size_t entries = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (finite_point(x[i], y[i])) for_each_cell(x[i], y[i], [&](std::uint64_t) { ++entries; });
    // At most three quarters of the slots are taken, which keeps the probe runs short.
    std::size_t slots = 16;
    while (slots / 4 * 3 < entries) slots *= 2;
    slots_ = util::BigArray<Slot>(slots);
    for (Slot& slot : slots_.span()) slot = Slot{};
    mask_ = slots - 1;
    fill(x, y, n, entries);
}

// Every (cell, point) entry, grouped by the region of the table where its
// cell's probe starts and in table order within a region. Filling the table
// region after region keeps its slots and lists in the caches, where points
// in table order would touch them at random.
void SnapIndex::fill(std::span<const double> x, std::span<const double> y, std::size_t n, std::size_t entries) {
    constexpr int kRegionBits = 12;
    const int slot_bits = std::bit_width(mask_);
    const int shift = slot_bits > kRegionBits ? slot_bits - kRegionBits : 0;
    std::vector<std::size_t> region_next((mask_ >> shift) + 2, 0);
    for (std::size_t i = 0; i < n; ++i)
        if (finite_point(x[i], y[i]))
            for_each_cell(x[i], y[i], [&](std::uint64_t key) { ++region_next[(home(key) >> shift) + 1]; });
    for (std::size_t r = 1; r < region_next.size(); ++r) region_next[r] += region_next[r - 1];
    struct Entry {
        Member member;
        std::uint64_t key;  // the cell's key, then the number of its slot
    };
    // Every element is written before it is read: left uninitialised.
    util::BigArray<Entry> grouped(entries);
    const std::span<Entry> all = grouped.span();
    for (std::size_t i = 0; i < n; ++i) {
        if (!finite_point(x[i], y[i])) continue;
        const Member member{x[i], y[i], static_cast<std::int32_t>(i)};
        for_each_cell(x[i], y[i],
                      [&](std::uint64_t key) { grouped[region_next[home(key) >> shift]++] = {member, key}; });
    }

    // The size of every cell; where its list starts; then the lists, each
    // ascending since the entries of a cell keep their table order.
    for (Entry& e : all) {
        Slot& slot = insert(e.key);
        ++slot.end;
        e.key = static_cast<std::uint64_t>(&slot - slots_.data());
    }
    std::int32_t start = 0;
    for (Slot& slot : slots_.span()) {
        const std::int32_t size_of_cell = slot.end;
        slot.begin = start;
        slot.end = start;
        start += size_of_cell;
    }
    members_ = util::BigArray<Member>(static_cast<std::size_t>(start));
    for (const Entry& e : all) members_[static_cast<std::size_t>(slots_[e.key].end++)] = e.member;
}

std::int32_t SnapIndex::find(double vertex_x, double vertex_y) const {
    const std::uint64_t key = vertex_key(vertex_x, vertex_y);
    if (key == kNoKey) return -1;
    const Slot* slot = slot_of(key);
    return slot != nullptr ? first_snapping(*slot, vertex_x, vertex_y) : -1;
}

void SnapIndex::find_all(std::span<const double> x, std::span<const double> y, std::span<std::int32_t> out) const {
    // Three stages a few vertices apart: fetch the vertex's hash slot, then read
    // it and fetch the start of its cell's list, then compare.
    constexpr std::size_t kAhead = 16;
    constexpr std::size_t kMiddle = 8;
    std::uint64_t keys[kAhead];
    const Slot* found[kAhead];
    const std::size_t n = out.size();
    for (std::size_t k = 0; k < n + kAhead; ++k) {
        if (k < n) {
            const std::uint64_t key = vertex_key(x[k], y[k]);
            keys[k % kAhead] = key;
            if (key != kNoKey) prefetch(&slots_[home(key)]);
        }
        if (k >= kMiddle && k - kMiddle < n) {
            const std::size_t j = k - kMiddle;
            const std::uint64_t key = keys[j % kAhead];
            const Slot* slot = key == kNoKey ? nullptr : slot_of(key);
            found[j % kAhead] = slot;
            if (slot != nullptr && slot->begin < slot->end) prefetch(&members_[static_cast<std::size_t>(slot->begin)]);
        }
        if (k >= kAhead) {
            const std::size_t j = k - kAhead;
            const Slot* slot = found[j % kAhead];
            out[j] = slot != nullptr ? first_snapping(*slot, x[j], y[j]) : -1;
        }
    }
}

}  // namespace velmorak::mif2d12
