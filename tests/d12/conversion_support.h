#pragma once
// Helpers for the end-to-end tests of the conversions from 12d ASCII: a run
// folder holding copies of fixtures, and byte-for-byte comparison of an output
// file with its golden file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/support.h"

namespace velmorak::testing {

// Copies tests/data/d12/<name> into the run folder (as `as`, by default the same name).
inline void copy_fixture(const TempDir& dir, const std::string& name, const std::string& as = "") {
    dir.write(as.empty() ? name : as, read_file(fixture("d12/" + name)));
}

// The console text from `from` up to (not including) `to`; empty when `from` is missing.
inline std::string console_part(const std::string& out, const std::string& from, const std::string& to) {
    const std::size_t a = out.find(from);
    if (a == std::string::npos) return {};
    const std::size_t b = out.find(to, a);
    return out.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

// The text as the terrain package writes its exports: UTF-16LE with a byte
// order mark and CRLF line ends. The text must stay within Latin-1.
inline std::string utf16le_crlf(const std::string& text) {
    std::string out = "\xff\xfe";
    for (const char c : text) {
        if (c == '\n') out += std::string("\r\0", 2);
        out += c;  // Latin-1 is the first 256 code points
        out += '\0';
    }
    return out;
}

// Places tests/data/d12/<name> in the run folder, as it is or as the package's UTF-16LE copy.
inline void place_fixture(const TempDir& dir, const std::string& name, bool utf16) {
    if (utf16)
        dir.write(name, utf16le_crlf(read_file(fixture("d12/" + name))));
    else
        copy_fixture(dir, name);
}

// Every named output file equals tests/data/d12/golden/<set>/<name>.
inline void expect_golden(const TempDir& dir, const std::string& set, std::initializer_list<std::string> names) {
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(dir.exists(name)) << name << " was not written";
        EXPECT_EQ(dir.read(name), read_file(fixture("d12/golden/" + set + "/" + name)));
    }
}

}  // namespace velmorak::testing
