// The surfaces half of the 12d C interface (velmorak/d12.h), called as a C
// program calls it, in one table of files: each surface's kind, name, model,
// arrays of points and triangles (the visibility of each), attributes and
// members; read through twice (rewind); and damaged surfaces, whose error
// names the line.
#include "velmorak/d12.h"

#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <string>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::capi {
namespace {

std::string number(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

// kind|name|model|line|points|triangles|visible flags|first point|last triangle|attributes|members
std::string describe(velmorak_d12_tin_reader* r, const velmorak_d12_tin& t) {
    std::string s = std::to_string(t.kind) + '|' + t.name + '|' + t.model + '|' + std::to_string(t.line) + '|' +
                    std::to_string(t.point_count) + '|' + std::to_string(t.triangle_count) + '|';
    for (std::size_t i = 0; i < t.triangle_count; ++i) s += t.visible[i] ? '1' : '0';
    s += '|';
    if (t.point_count > 0) s += number(t.points[0]) + ' ' + number(t.points[1]) + ' ' + number(t.points[2]);
    s += '|';
    if (t.triangle_count > 0) {
        const uint32_t* k = t.triangles + 3 * (t.triangle_count - 1);
        s += std::to_string(k[0]) + ' ' + std::to_string(k[1]) + ' ' + std::to_string(k[2]);
    }
    s += '|';
    for (std::size_t i = 0; i < t.attribute_count; ++i) {
        const char* name = nullptr;
        const char* value = nullptr;
        velmorak_d12_attribute_kind kind = VELMORAK_D12_TEXT;
        EXPECT_EQ(velmorak_d12_tin_attribute(r, i, &name, &kind, &value), VELMORAK_D12_OK);
        s += std::string(name) + ':' + std::to_string(kind) + '=' + value + ';';
    }
    s += '|';
    for (std::size_t i = 0; i < t.member_count; ++i) s += std::string(velmorak_d12_tin_member(r, i)) + ';';
    EXPECT_EQ(velmorak_d12_tin_member(r, t.member_count), nullptr);
    return s;
}

struct Row {
    const char* name;
    std::string text;  // empty: the shared file `name`
    std::vector<std::string> tins;
    const char* error = "";  // a part of the error after them
};

TEST(D12TinApi, ReadsEachFileOfTheTable) {
    const std::filesystem::path corpus = std::filesystem::path(VELMORAK_REALWORLD_DATA) / "12da";
    const std::vector<Row> rows = {
        {"katana_super_tin.12da",
         "",
         {"0|NATURAL SURFACE||26|25|32|11111111111111111111111111111111|554000 6883500 19.6|19 23 24|Style:0=1;Faces:1=0;|",
          "0|PAD A||100|9|8|11111111|554040 6883550 22.2|5 7 8|Style:0=1;Faces:1=0;|",
          "0|PAD B||134|9|8|11111111|554140 6883630 18|5 7 8|Style:0=1;Faces:1=0;|",
          "2|COMBINED SURFACE||168|0|0||||Style:0=1;|NATURAL SURFACE;PAD A;PAD B;"}},
        {"katana_all_geometries_2025.12da", "", {"1|Natural Surface TIN|Ground TIN|159|3|1|1|501900 6959900 0|0 1 2||"}},
        {"full_tin.12da",
         "full_tin { name F points { -100 -100 0  -100 100 0  100 100 0  100 -100 0   0 0 5  10 0 6  0 10 7  10 10 8 }"
         " triangles { 5 7 6   6 7 8   1 5 6 } nulling { 2 1 2 } }\n",
         {"1|F||1|8|3|100|-100 -100 0|0 4 5||"}},
        {"damaged.12da", "tin { name G points { 0 0 0 1 0 0 0 1 0 } triangles { 1 2 3 } }\ntin {\n name B\n points {\n 0 0 0\n 1 0 0\n 0 1 0\n }\n triangles {\n 1 2 7\n }\n}\n",
         {"0|G||1|3|1|1|0 0 0|0 1 2||"}, "tin \"B\" triangle 1 names point 7 of 3 (line 10)"},
    };
    testing::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = row.text.empty() ? (corpus / row.name).string() : dir.write(row.name, row.text);
        velmorak_d12_tin_reader* r = nullptr;
        ASSERT_EQ(velmorak_d12_tin_open(path.c_str(), &r), VELMORAK_D12_OK);
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<std::string> got;
            velmorak_d12_tin t{};
            int status = VELMORAK_D12_OK;
            while ((status = velmorak_d12_tin_next(r, &t)) == VELMORAK_D12_OK) got.push_back(describe(r, t));
            EXPECT_EQ(got, row.tins);
            if (*row.error == '\0') {
                EXPECT_EQ(status, VELMORAK_D12_END);
                EXPECT_STREQ(velmorak_d12_tin_error(r), "");
            } else {
                EXPECT_EQ(status, VELMORAK_D12_ERROR);
                EXPECT_NE(std::string(velmorak_d12_tin_error(r)).find(row.error), std::string::npos)
                    << velmorak_d12_tin_error(r);
                EXPECT_EQ(velmorak_d12_tin_error_line(r), 10u);
            }
            EXPECT_EQ(velmorak_d12_tin_rewind(r), VELMORAK_D12_OK);
        }
        velmorak_d12_tin_close(r);
    }
    velmorak_d12_tin_reader* none = nullptr;
    EXPECT_EQ(velmorak_d12_tin_open((dir.path() / "missing.12da").string().c_str(), &none), VELMORAK_D12_ERROR);
    EXPECT_EQ(none, nullptr);
    EXPECT_NE(std::string(velmorak_d12_last_error()).find("missing.12da"), std::string::npos);
    EXPECT_EQ(velmorak_d12_tin_next(nullptr, nullptr), VELMORAK_D12_INVALID);
}

}  // namespace
}  // namespace velmorak::capi
