// The reading half of the 12d C interface (velmorak/d12.h), called as a C
// program calls it: one table of files, each opened, read through, read again
// backwards by seeking to every string it gave, and closed; and the filling of
// null heights, row by row.
#include "velmorak/d12.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::capi {
namespace {

constexpr double kNull = std::numeric_limits<double>::quiet_NaN();

std::string number(double v) {
    if (std::isnan(v)) return "null";
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// One string as a line of text: what the table compares.
std::string render(velmorak_d12_reader* r, const velmorak_d12_string& s) {
    std::string out = std::to_string(s.number);
    out.append(" ").append(s.model).append("|").append(s.type).append("|").append(s.name);
    if (*s.colour) out.append(" colour=").append(s.colour);
    if (*s.style) out.append(" style=").append(s.style);
    if (*s.breakline) out.append(" breakline=").append(s.breakline);
    if (s.has_chainage) out.append(" chainage=").append(number(s.chainage));
    if (s.closed) out += " closed";
    out += s.has_heights ? " 3d" : " 2d";
    out.append(" n=").append(std::to_string(s.vertex_count));
    if (s.vertex_count > 0) out.append(" first=").append(number(s.x[0])).append(",").append(number(s.y[0])).append(" z=");
    for (std::size_t i = 0; i < s.vertex_count; ++i) {
        if (i > 0) out += ',';
        out += number(s.z[i]);
    }
    const double* radius = nullptr;
    const unsigned char* major = nullptr;
    if (velmorak_d12_arcs(r, &radius, &major) != VELMORAK_D12_OK) return out.append(" [arcs failed]");
    if ((radius == nullptr) != (major == nullptr)) return out.append(" [arcs half given]");
    for (std::size_t i = 0; radius != nullptr && i < s.vertex_count; ++i)
        out.append(i == 0 ? " arcs=" : ",").append(number(radius[i])).append(":").append(std::to_string(major[i]));
    for (std::size_t i = 0; i < s.attribute_count; ++i) {
        const char* name = nullptr;
        const char* value = nullptr;
        velmorak_d12_attribute_kind kind = VELMORAK_D12_TEXT;
        if (velmorak_d12_attribute(r, i, &name, &kind, &value) != VELMORAK_D12_OK) return out.append(" [attribute failed]");
        out.append(" ").append(name).append("=").append(1, "TIR"[kind]).append(":").append(value);
    }
    return out;
}

struct FileRow {
    const char* label;
    std::string path = {};  // a fixture, or the name of a file written with `bytes`
    std::string bytes = {};  // empty: `path` is a file of the project
    std::size_t max_vertices = 0;
    std::string open_error = {};  // a part of velmorak_d12_last_error when the open fails
    double null_value = -999;
    std::vector<std::string> strings = {};  // the strings the reader gives first
    int end = VELMORAK_D12_END;        // how the reading ends after them
    std::string error = {};            // a part of the error text at the end
    std::uint64_t error_line = 0;
};

std::string project(const std::string& relative) { return std::string(VELMORAK_TEST_DATA) + "/" + relative; }

const std::string kUtf16Text =
    "null -999\r\nmodel \"\xC5\x81\xC3\xB3\x64\xC5\xBA\"\r\nstring super {\r\n  name \"Stra\xC3\x9F\x65 \xE6\xB8\xAC\"\r\n"
    "  attributes { text \"Eigent\xC3\xBCmer\" \"\xE2\x82\xAC 5\" }\r\n  data_2d {\r\n    1 2\r\n    3 4\r\n  }\r\n}\r\n";

std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        std::uint32_t c = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
        for (int k = 1; k < len; ++k) c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += static_cast<std::size_t>(len);
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::vector<FileRow> file_rows() {
    const std::string damaged =
        "model \"m\"\nstring 3d {\n  data {\n    1 2 3\n  }\n}\nstring 3d {\n  data {\n    1 2 3\n    4 five 6\n  }\n}\n";
    const std::vector<std::string> site = {
        "1 creek_reach|3d|LB top colour=green 3d n=4 first=532410.125,6945120.5 z=12.84,12.91,null,13.05",
        "2 creek_reach|2d|road_cl 3d n=3 first=532400,6945100 z=14.5,14.5,14.5",
        "3 creek_reach|interface|XS_CH120 3d n=5 first=532420,6945160 z=13.4,12.1,11.35,12.25,13.62",
        "4 creek_reach|super|levee crest 3d n=2 first=532380,6945090 z=15.2,15.35",
        "5 creek_reach|polyline|pond closed 3d n=4 first=532460,6945180 z=11,11,11.1,11",
    };
    const std::vector<std::string> breaklines = {
        "1 fixture|2d|flat 3d n=3 first=100,200 z=12.5,12.5,12.5",
        "2 fixture|2d|noz 2d n=2 first=1,2 z=null,null",
        // -99999 is a height where the null value is -999.
        "3 fixture|3d|mixed 3d n=5 first=0,0 z=10,-99999,11,null,12",
        "4 fixture|3d|firstnull 3d n=2 first=5,5 z=null,7.25",
        "5 fixture|polyline|ring closed 3d n=4 first=0,0 z=1,2,3,1",
        "6 fixture|polyline|open 3d n=2 first=0,0 z=1,2",
        "7 fixture|text|label 2d n=0",
        "8 fixture|super|levee 3d n=2 first=50,60 z=15.2,null",
        "9 fixture|2d|empty 2d n=0",
    };
    return {
        {.label = "the example", .path = project("../../examples/site.12da"), .strings = site},
        {.label = "breaklines", .path = project("d12/breaklines.12da"), .strings = breaklines},
        // The terrain package's UTF-16LE export, compressed: the same strings.
        {.label = "utf-16 archive", .path = project("d12/archives/breaklines-utf16.12daz"), .strings = breaklines},
        {.label = "utf-16 file",
         .path = "utf16.12da",
         .bytes = utf16le(kUtf16Text),
         .strings = {"1 \xC5\x81\xC3\xB3\x64\xC5\xBA|super|Stra\xC3\x9F\x65 \xE6\xB8\xAC 2d n=2 first=1,2 z=null,null "
                     "Eigent\xC3\xBCmer=T:\xE2\x82\xAC 5"}},
        // Without a byte order mark and not UTF-8: Windows-1252 (0xE9 is "é", 0x80 the euro sign).
        {.label = "windows-1252",
         .path = "cp1252.12da",
         .bytes = "null null\nmodel \"Caf\xE9\"\nstring super {\n  name \"Pr\xE9\"\n  colour \"r\xF6t\"\n"
                  "  attributes {\n    integer \"N\xB0\" 3\n    real \"Co\xFBt\" 2.5\n    text \"Unit\xE9\" \"\x80\"\n  }\n"
                  "  data_3d {\n    1 2 3\n  }\n}\n",
         .null_value = -99999,
         .strings = {"1 Caf\xC3\xA9|super|Pr\xC3\xA9 colour=r\xC3\xB6t 3d n=1 first=1,2 z=3 N\xC2\xB0=I:3 "
                     "Co\xC3\xBBt=R:2.5 Unit\xC3\xA9=T:\xE2\x82\xAC"}},
        {.label = "details",
         .path = "details.12da",
         .bytes = "model \"Water\"\nstring super {\n  name \"WM\"\n  chainage 12.5\n  breakline line\n  style \"WATR\"\n"
                  "  attributes {\n    group {\n      name \"Asset\"\n      attributes { text \"Owner\" \"Coliban\" }\n"
                  "    }\n  }\n  data_2d {\n    1 2\n    3 4\n  }\n}\n",
         .null_value = -99999,
         .strings = {"1 Water|super|WM style=WATR breakline=line chainage=12.5 2d n=2 first=1,2 z=null,null "
                     "Asset/Owner=T:Coliban"}},
        // Arcs: an arc string three quarters round clockwise (the major arc), a circle run anticlockwise,
        // radius_data with major_data, and geometry_data; the radius of each vertex's segment to the next.
        {.label = "arcs",
         .path = "arcs.12da",
         .bytes = "model \"M\"\nstring arc {\n  chainage 0 interval 1 radius 15\n  xcentre 10 ycentre 0 zcentre 1\n"
                  "  xstart 25 ystart 0 zstart 2\n  xend 10 yend 15 zend 3\n}\nstring circle {\n  radius -2\n"
                  "  zcentre 4 xcentre 0 ycentre 0\n}\nstring super {\n  data_2d {\n    0 0\n    14 0\n    20 0\n  }\n"
                  "  radius_data { 10 0 0 }\n  major_data {\n    1\n    0\n    0\n  }\n}\nstring super {\n"
                  "  data_2d {\n    0 0\n    14 0\n  }\n  geometry_data {\n    arc { radius -10 major 0 }\n  }\n}\n"
                  "string super {\n  data_2d {\n    0 0\n    1 0\n  }\n  radius_data { 0 0 }\n}\n"
                  "string polyline {\n  data {\n    0 0 1 5 1\n    10 0 1 0 0\n  }\n}\n",
         .null_value = -99999,
         .strings = {"1 M|arc| chainage=0 3d n=2 first=25,0 z=2,3 arcs=15:1,0:0",
                     "2 M|circle| closed 3d n=3 first=2,0 z=4,4,4 arcs=-2:0,-2:0,0:0",
                     "3 M|super| 2d n=3 first=0,0 z=null,null,null arcs=10:1,0:0,0:0",
                     "4 M|super| 2d n=2 first=0,0 z=null,null arcs=-10:0,0:0", "5 M|super| 2d n=2 first=0,0 z=null,null",
                     "6 M|polyline| closed 3d n=3 first=0,0 z=1,1,1 arcs=5:1,0:0,0:0"}},
        {.label = "damaged",
         .path = "damaged.12da",
         .bytes = damaged,
         .null_value = -99999,
         .strings = {"1 m|3d| 3d n=1 first=1,2 z=3"},
         .end = VELMORAK_D12_ERROR,
         .error = "damaged.12da, line 10: ",
         .error_line = 10},
        {.label = "longer than allowed",
         .path = project("../../examples/site.12da"),
         .max_vertices = 3,
         .strings = {},
         .end = VELMORAK_D12_ERROR,
         .error = "site.12da, line "},
        // The member is inflated ahead as the archive opens: its damage is found there.
        {.label = "damaged archive",
         .path = project("broken/12daz-crc-mismatch/in/site.12daz"),
         .open_error = "fails its CRC-32 check"},
        {.label = "missing", .path = "missing.12da", .open_error = "No such file"},
        {.label = "archive without a 12da member",
         .path = project("broken/12daz-without-12da-member/in/site.12daz"),
         .open_error = ".12da"},
    };
}

TEST(D12ReaderApi, ReadsEachFileOfTheTable) {
    const testing::TempDir dir;
    for (const FileRow& row : file_rows()) {
        SCOPED_TRACE(row.label);
        const std::string path = row.bytes.empty() && row.path.find('/') != std::string::npos ? row.path
                                 : row.bytes.empty()                                       ? dir.file(row.path)
                                                                                           : dir.write(row.path, row.bytes);
        velmorak_d12_reader* r = nullptr;
        const int opened = velmorak_d12_open(path.c_str(), row.max_vertices, &r);
        if (!row.open_error.empty()) {
            EXPECT_EQ(opened, VELMORAK_D12_ERROR);
            EXPECT_EQ(r, nullptr);
            const std::string error = velmorak_d12_last_error();
            EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
            EXPECT_NE(error.find(row.open_error), std::string::npos) << error;
            continue;
        }
        ASSERT_EQ(opened, VELMORAK_D12_OK) << velmorak_d12_last_error();
        EXPECT_EQ(velmorak_d12_null_value(r), row.null_value);
        std::vector<std::string> got;
        std::vector<std::uint64_t> positions;
        velmorak_d12_string s{};
        int status = VELMORAK_D12_OK;
        while (got.size() < row.strings.size() && (status = velmorak_d12_next(r, &s)) == VELMORAK_D12_OK) {
            got.push_back(render(r, s));
            positions.push_back(s.position);
        }
        EXPECT_EQ(got, row.strings);
        if (status == VELMORAK_D12_OK) status = velmorak_d12_next(r, &s);
        EXPECT_EQ(status, row.end);
        const std::string error = velmorak_d12_error(r);
        if (row.end == VELMORAK_D12_ERROR) {
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            EXPECT_EQ(error.rfind(path, 0), 0u) << error;
            if (row.error_line != 0) {
                EXPECT_EQ(velmorak_d12_error_line(r), row.error_line);
            }
            EXPECT_NE(velmorak_d12_error_line(r), 0u);
            // Damage is told again, not taken for the end.
            EXPECT_EQ(velmorak_d12_next(r, &s), VELMORAK_D12_ERROR);
        } else {
            EXPECT_EQ(error, "");
            EXPECT_EQ(velmorak_d12_attribute(r, 0, nullptr, nullptr, nullptr), VELMORAK_D12_INVALID);
        }
        // Each string again, from the last back to the first, found by its position.
        for (std::size_t i = got.size(); i-- > 0;) {
            ASSERT_EQ(velmorak_d12_seek(r, positions[i]), VELMORAK_D12_OK) << velmorak_d12_error(r);
            ASSERT_EQ(velmorak_d12_next(r, &s), VELMORAK_D12_OK) << velmorak_d12_error(r);
            EXPECT_EQ(render(r, s), got[i]);
        }
        if (row.end == VELMORAK_D12_END) {
            // Forward from the first string to the last, and past the last.
            if (!got.empty()) {
                ASSERT_EQ(velmorak_d12_seek(r, positions.back()), VELMORAK_D12_OK);
                ASSERT_EQ(velmorak_d12_next(r, &s), VELMORAK_D12_OK);
                EXPECT_EQ(render(r, s), got.back());
            }
            EXPECT_EQ(velmorak_d12_seek(r, got.size() + 2), VELMORAK_D12_INVALID);
            EXPECT_STRNE(velmorak_d12_error(r), "");
            ASSERT_EQ(velmorak_d12_rewind(r), VELMORAK_D12_OK);
            std::size_t again = 0;
            while (velmorak_d12_next(r, &s) == VELMORAK_D12_OK) ++again;
            EXPECT_EQ(again, got.size());
        }
        velmorak_d12_close(r);
    }
#if defined(_WIN32)
    // A wide path, as Windows programs hold their names.
    const std::wstring wide = std::filesystem::path(project("../../examples/site.12da")).wstring();
    velmorak_d12_reader* w = nullptr;
    ASSERT_EQ(velmorak_d12_open_w(wide.c_str(), 0, &w), VELMORAK_D12_OK) << velmorak_d12_last_error();
    velmorak_d12_string first{};
    ASSERT_EQ(velmorak_d12_next(w, &first), VELMORAK_D12_OK);
    EXPECT_STREQ(first.name, "LB top");
    velmorak_d12_close(w);
#endif
    // Arguments a caller got wrong.
    velmorak_d12_reader* r = nullptr;
    EXPECT_EQ(velmorak_d12_open(nullptr, 0, &r), VELMORAK_D12_INVALID);
    EXPECT_STRNE(velmorak_d12_last_error(), "");
    EXPECT_EQ(velmorak_d12_next(nullptr, nullptr), VELMORAK_D12_INVALID);
    EXPECT_STREQ(velmorak_d12_error(nullptr), "");
    velmorak_d12_close(nullptr);
}

struct FillRow {
    const char* label;
    std::vector<double> x, y, z;
    std::vector<double> filled;
    std::size_t count;
};

TEST(D12ReaderApi, FillsNullHeightsAlongThePlanLength) {
    const double third = 10.0 + (16.0 - 10.0) * (5.0 / 15.0);
    const std::vector<FillRow> rows = {
        {"two in the middle, by plan length", {0, 3, 6, 9}, {0, 4, 8, 12}, {10, kNull, kNull, 16}, {10, third, 14, 16}, 2},
        // The plan length, not the vertex count: the gap stands 1 of 4 along.
        {"uneven segments", {0, 1, 4}, {0, 0, 0}, {0, kNull, 8}, {0, 2, 8}, 1},
        {"before the first", {0, 1, 2}, {0, 0, 0}, {kNull, kNull, 5}, {5, 5, 5}, 2},
        {"after the last", {0, 1, 2}, {0, 0, 0}, {5, kNull, kNull}, {5, 5, 5}, 2},
        {"both ends and between", {0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}, {kNull, 1, kNull, 3, kNull}, {1, 1, 2, 3, 3}, 3},
        {"all null stays", {0, 1}, {0, 0}, {kNull, kNull}, {kNull, kNull}, 0},
        {"no null", {0, 1}, {0, 0}, {1, 2}, {1, 2}, 0},
        {"neighbours on one spot take the earlier", {5, 5, 5}, {5, 5, 5}, {1, kNull, 3}, {1, 1, 3}, 1},
        {"a gap away from a spot shared further on", {0, 1, 1}, {0, 0, 0}, {1, kNull, 3}, {1, 3, 3}, 1},
        {"no vertices", {}, {}, {}, {}, 0},
    };
    for (const FillRow& row : rows) {
        SCOPED_TRACE(row.label);
        std::vector<double> z = row.z;
        EXPECT_EQ(velmorak_d12_fill_null_heights(row.x.data(), row.y.data(), z.data(), z.size()), row.count);
        ASSERT_EQ(z.size(), row.filled.size());
        for (std::size_t i = 0; i < z.size(); ++i) {
            if (std::isnan(row.filled[i]))
                EXPECT_TRUE(std::isnan(z[i])) << i;
            else
                EXPECT_DOUBLE_EQ(z[i], row.filled[i]) << i;
        }
    }
    double z = kNull;
    EXPECT_EQ(velmorak_d12_fill_null_heights(nullptr, nullptr, &z, 1), 0u);
}

}  // namespace
}  // namespace velmorak::capi
