#pragma once
// Where each string of a 12d ASCII file is: noted in the first scan, a few
// bytes per string and no text, so that a feature fetched by id, and a
// layer's pass over a file whose models are interleaved, go straight to their
// strings instead of reading the file again from its top.
#include <cstdint>
#include <vector>

namespace velmorak::gdal12 {

// A string that stands in no layer: one without vertices, or of a model left out.
inline constexpr std::uint32_t kNoLayer = UINT32_MAX;

struct StringEntry {
    std::uint64_t offset = 0;  // where its header line begins in the file's text
    std::uint64_t line = 0;    // the number of that line
    std::uint32_t layer = kNoLayer;
    // Its plan box (min x, min y, max x, max y), for filters that want to pass strings over unread.
    double box[4] = {0.0, 0.0, 0.0, 0.0};
};

// The strings in file order: the entry of string number n is at n - 1.
class StringIndex {
public:
    void add(const StringEntry& e) { entries_.push_back(e); }
    // The entry of string `number`; nullptr when the scan did not reach it.
    const StringEntry* find(std::uint64_t number) const noexcept {
        return number >= 1 && number <= entries_.size() ? &entries_[number - 1] : nullptr;
    }
    // The number of the first string of `layer` after string `after`; 0 when there is none.
    std::uint64_t next_of_layer(std::uint64_t after, std::uint32_t layer) const noexcept {
        for (std::uint64_t n = after; n < entries_.size(); ++n)
            if (entries_[n].layer == layer) return n + 1;
        return 0;
    }
    std::uint64_t size() const noexcept { return entries_.size(); }

private:
    std::vector<StringEntry> entries_;
};

}  // namespace velmorak::gdal12
