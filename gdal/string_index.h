#pragma once
// Where each string of a 12d ASCII file is, and the plan box it covers:
// noted in the first scan, 48 bytes per string and no text, so that a feature
// fetched by id, a layer's pass over a file whose models are interleaved, and
// a pass with a spatial filter (a map panned or zoomed) go straight to their
// strings instead of reading the file again from its top.
#include <cstdint>
#include <vector>

namespace velmorak::gdal12 {

// A string that stands in no layer: one without vertices, or of a model left out.
inline constexpr std::uint32_t kNoLayer = UINT32_MAX;

inline constexpr std::uint64_t kUnknownOffset = UINT64_MAX;

// A plan box: min x, min y, max x, max y.
struct PlanBox {
    double min_x = 0.0;
    double min_y = 0.0;
    double max_x = 0.0;
    double max_y = 0.0;

    bool meets(const PlanBox& o) const noexcept {
        return !(max_x < o.min_x || min_x > o.max_x || max_y < o.min_y || min_y > o.max_y);
    }
    bool within(const PlanBox& o) const noexcept {
        return min_x >= o.min_x && max_x <= o.max_x && min_y >= o.min_y && max_y <= o.max_y;
    }
};

struct StringEntry {
    std::uint64_t offset = 0;  // where its header line begins in the file's text
    std::uint64_t line = 0;    // the number of that line
    std::uint32_t layer = kNoLayer;
    PlanBox box;  // its plan box, widened to its arcs
};

// The strings in file order: the entry of string number n is at n - 1.
class StringIndex {
public:
    void add(const StringEntry& e) {
        // A layer's number takes 16 bits beside the offset's 48: the driver
        // makes at most 10,000 layers, and a file's text stays below 256 TB.
        const std::uint64_t layer = e.layer == kNoLayer ? kNoLayer16 : e.layer;
        // An offset beyond that is kept as unknown: the string is then read on to, not gone to.
        const std::uint64_t offset = e.offset < kOffsetMask ? e.offset : kOffsetMask;
        entries_.push_back({offset | (layer << 48), e.line, e.box});
    }
    // The entry of string `number`; false when the scan did not reach it.
    // Its offset is kUnknownOffset where the index could not keep it.
    bool find(std::uint64_t number, StringEntry& e) const noexcept {
        if (number < 1 || number > entries_.size()) return false;
        const Packed& p = entries_[number - 1];
        const std::uint64_t offset = p.offset_layer & kOffsetMask;
        e.offset = offset == kOffsetMask ? kUnknownOffset : offset;
        e.line = p.line;
        e.layer = layer_of(p);
        e.box = p.box;
        return true;
    }
    // The number of the first string of `layer` after string `after`; 0 when there is none.
    std::uint64_t next_of_layer(std::uint64_t after, std::uint32_t layer) const noexcept {
        for (std::uint64_t n = after; n < entries_.size(); ++n)
            if (layer_of(entries_[n]) == layer) return n + 1;
        return 0;
    }
    // ... of those, the first whose box meets `window`.
    std::uint64_t next_meeting(std::uint64_t after, std::uint32_t layer, const PlanBox& window) const noexcept {
        for (std::uint64_t n = after; n < entries_.size(); ++n)
            if (layer_of(entries_[n]) == layer && entries_[n].box.meets(window)) return n + 1;
        return 0;
    }
    std::uint64_t size() const noexcept { return entries_.size(); }

private:
    static constexpr std::uint64_t kOffsetMask = (std::uint64_t{1} << 48) - 1;
    static constexpr std::uint64_t kNoLayer16 = 0xFFFF;
    struct Packed {
        std::uint64_t offset_layer;
        std::uint64_t line;
        PlanBox box;
    };
    static std::uint32_t layer_of(const Packed& p) noexcept {
        const auto layer = static_cast<std::uint32_t>(p.offset_layer >> 48);
        return layer == kNoLayer16 ? kNoLayer : layer;
    }
    std::vector<Packed> entries_;
};

}  // namespace velmorak::gdal12
