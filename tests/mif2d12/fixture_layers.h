#pragma once
// Test layers for the conversions from MIF: fixture layers copied into a
// temporary folder with a table saved before them, and the expected outputs.
#include <chrono>
#include <filesystem>
#include <string>

#include "support/support.h"

namespace velmorak::testing {

// A table <base>.tab saved an hour before now, so the layer counts as exported after it.
inline void add_table(const TempDir& dir, const std::string& base) {
    const std::string tab = dir.write(base + ".tab", "!table\n");
    std::filesystem::last_write_time(tab, std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
}

inline std::string with_crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

// Copies tests/data/mif2d12/<base>.mif and .mid into the folder and gives them a table.
inline void place_layer(const TempDir& dir, const std::string& base, bool crlf = false) {
    for (const char* ext : {".mif", ".mid"}) {
        const std::string text = read_file(fixture("mif2d12/" + base + ext));
        dir.write(base + ext, crlf ? with_crlf(text) : text);
    }
    add_table(dir, base);
}

inline std::string expected(const std::string& name) { return read_file(fixture("mif2d12/expected/" + name)); }

}  // namespace velmorak::testing
