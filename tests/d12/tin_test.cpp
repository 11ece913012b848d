// The surfaces of 12d ASCII files (tin, full_tin, super_tin) as the reader
// gives them to the GDAL driver and the C interface, in one table: the shared
// files other programs wrote, a hexadecimal-float copy made here, surfaces
// written on one line and in odd layouts, and damaged surfaces, which stop
// the reading with the line they were found on.
#include "d12/tin_records.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/support.h"
#include "test_paths.h"

namespace velmorak::d12 {
namespace {

using testing::TempDir;

const std::filesystem::path kCorpus = std::filesystem::path(VELMORAK_REALWORLD_DATA) / "12da";

// One text per surface: kind|name|model|header line|points|triangles|visible
// |members|attributes|first point|last triangle (1-based)|invisible triangles.
std::string describe(const Tin& t) {
    std::ostringstream s;
    s.precision(12);
    s << tin_kind_word(t.kind) << '|' << t.name << '|' << t.model << '|' << t.line << '|' << t.points.size() << '|'
      << t.triangles.size() << '|' << t.visible_count() << '|';
    for (const std::string& m : t.members) s << m << ';';
    s << '|';
    for (const StringAttribute& a : t.attributes) s << a.name << '=' << a.value << ';';
    s << '|';
    if (!t.points.empty()) s << t.points[0].x << ' ' << t.points[0].y << ' ' << t.points[0].z;
    s << '|';
    if (!t.triangles.empty())
        s << t.triangles.back()[0] + 1 << ' ' << t.triangles.back()[1] + 1 << ' ' << t.triangles.back()[2] + 1;
    s << '|';
    for (std::size_t i = 0; i < t.invisible.size(); ++i)
        if (t.invisible[i]) s << i + 1 << ';';
    return s.str();
}

struct Read {
    std::vector<std::string> tins;
    double height_sum = 0.0;  // of every point of every surface: a copy must agree to the bit
    std::string stop;         // the reader's message when it stopped
};

Read read(const std::string& path) {
    Read r;
    std::string why;
    const auto records = TinRecords::open(path, why);
    if (!records) {
        r.stop = why;
        return r;
    }
    Tin tin;
    for (;;) {
        const TinRecords::Step step = records->next(tin);
        if (step == TinRecords::Step::end) break;
        if (step == TinRecords::Step::stopped) {
            r.stop = records->stop_text();
            break;
        }
        r.tins.push_back(describe(tin));
        for (const TinPoint& p : tin.points) r.height_sum += p.x + p.y + p.z;
    }
    return r;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The file with each line of three decimals (a point) written as C99
// hexadecimal floats, as the package writes with output_tin_hex_floats.
std::string hex_copy(const std::string& text) {
    std::istringstream in(text);
    std::string out;
    for (std::string line; std::getline(in, line);) {
        // The export's settings stand in the header's comments (the file's first line here).
        if (out.empty() && line.rfind("//", 0) == 0) line = "// output_tin_hex_floats true";
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string x; words >> x;) w.push_back(x);
        double v[3];
        bool point = w.size() == 3;
        for (std::size_t i = 0; point && i < 3; ++i) {
            const auto [p, ec] = std::from_chars(w[i].data(), w[i].data() + w[i].size(), v[i]);
            point = ec == std::errc{} && p == w[i].data() + w[i].size() && w[i].find('.') != std::string::npos;
        }
        if (!point) {
            out += line + '\n';
            continue;
        }
        out += "   ";
        for (const double d : v) {
            char buf[64];
            const bool negative = std::signbit(d);
            const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(d), std::chars_format::hex);
            out += std::string(negative ? " -0x" : " 0x") + std::string(buf, r.ptr);
        }
        out += '\n';
    }
    return out;
}

struct Row {
    const char* name;
    std::string text;  // the file's text, or empty to read `shared`
    const char* shared;
    std::vector<std::string> tins;  // what comes out before any stop
    const char* stop = "";          // a part of the reader's message (with its line), empty when it reads through
};

const std::string kAttrs = "Style=1;Faces=0;null_length=0.0;null_angle=0.0;";

std::vector<Row> rows() {
    std::vector<Row> r;
    const std::vector<std::string> four = {
        "tin|TIN SOUTH WEST||17|9|8|8||" + kAttrs + "|554000 6883000 10|6 8 9|",
        "tin|TIN SOUTH EAST||53|9|8|8||" + kAttrs + "|554250 6883000 12|6 8 9|",
        "tin|TIN NORTH WEST||89|9|8|8||" + kAttrs + "|554000 6883250 14|6 8 9|",
        "tin|TIN NORTH EAST||125|9|8|8||" + kAttrs + "|554250 6883250 16|6 8 9|"};
    r.push_back({"multiple_tins", "", "katana_multiple_tins.12da", four});
    r.push_back({"multiple_tins_hex", hex_copy(slurp(kCorpus / "katana_multiple_tins.12da")), "", four});
    r.push_back({"super_tin",
                 "",
                 "katana_super_tin.12da",
                 {"tin|NATURAL SURFACE||26|25|32|32||Style=1;Faces=0;|554000 6883500 19.6|20 24 25|",
                  "tin|PAD A||100|9|8|8||Style=1;Faces=0;|554040 6883550 22.2|6 8 9|",
                  "tin|PAD B||134|9|8|8||Style=1;Faces=0;|554140 6883630 18|6 8 9|",
                  "super_tin|COMBINED SURFACE||168|0|0|0|NATURAL SURFACE;PAD A;PAD B;|Style=1;|||"}});
    r.push_back({"full_tin_among_strings",
                 "",
                 "katana_all_geometries_2025.12da",
                 {"full_tin|Natural Surface TIN|Ground TIN|159|3|1|1|||501900 6959900 0|1 2 3|"}});
    // A full_tin on one line: construction points 1-4, nulling 1 (null) and 2 (visible).
    r.push_back({"full_tin_one_line",
                 "full_tin { name \"F\" points { -100 -100 0  -100 100 0  100 100 0  100 -100 0   0 0 5  10 0 6  "
                 "0 10 7  10 10 8 } triangles { 5 7 6   6 7 8   1 5 6 } neighbours { 0 2 3   1 0 0   0 1 0 } "
                 "nulling { 2 1 2 } }\nstring 3d {\n name S\n data {\n 1 2 3\n 4 5 6\n }\n}\n",
                 "",
                 {"full_tin|F||1|8|3|1|||-100 -100 0|1 5 6|2;3;"}});
    r.push_back({"hex_and_null_heights_before_a_model",
                 "tin {\n name T\n points { 0x1p+1 0x0p+0 null\n 0x1.8p+1 0 1 , 2 0x1p+0 1 }\n triangles {\n 1 2 3\n }\n}\n"
                 "model \"M\"\ntin { name U points { 0 0 0 1 0 0 0 1 0 } triangles { 3 2 1 } }\n",
                 "",
                 {"tin|T||1|3|1|1|||2 0 nan|1 2 3|", "tin|U|M|10|3|1|1|||0 0 0|3 2 1|"}});
    const std::string head = "tin {\n name \"D\"\n points {\n  0 0 1\n  10 0 2\n  0 10 3\n }\n";
    r.push_back({"index_out_of_range", head + " triangles {\n  1 2 3\n  2 4 3\n }\n}\n", "", {},
                 "tin \"D\" triangle 2 names point 4 of 3 (line 10)"});
    r.push_back({"index_zero", head + " triangles {\n  0 2 3\n }\n}\n", "", {}, "names point 0 of 3 (line 9)"});
    r.push_back({"degenerate", head + " triangles {\n  1 2 3\n\n  3 2 3\n }\n}\n", "", {},
                 "tin \"D\" triangle 2 is degenerate (point 3 twice) (line 11)"});
    r.push_back({"no_triangles", "model m\ntin {\n name \"E\"\n points { 0 0 0 }\n}\n", "", {},
                 "tin \"E\" has no triangles block (line 2)"});
    r.push_back({"no_points", "tin {\n name \"E\"\n triangles { 1 2 3 }\n}\n", "", {},
                 "tin \"E\" has no points block (line 1)"});
    r.push_back({"no_tins", "super_tin {\n name \"S\"\n}\n", "", {}, "super_tin \"S\" has no tins block (line 1)"});
    r.push_back({"short_point", head.substr(0, head.size() - 3) + "  5 5\n }\n triangles { 1 2 3 }\n}\n", "", {},
                 "has a point of fewer than three numbers (line 8)"});
    r.push_back({"letters_in_points", "tin {\n name \"L\"\n points {\n 0 0 0\n 1 x 0\n }\n}\n", "", {},
                 "holds \"x\" where a number belongs (line 5)"});
    r.push_back({"cut_off", head + " triangles {\n  1 2 3\n", "", {}, "tin \"D\" ends inside it (line 9)"});
    r.push_back({"nulling_count", "full_tin { name N points { 0 0 0 1 0 0 0 1 0 } triangles { 1 2 3 } "
                                  "nulling { 2 2 } }\n",
                 "", {}, "has 2 nulling flags for 1 triangles (line 1)"});
    // A damaged surface after a good one: the good one comes out first.
    r.push_back({"good_then_bad", "tin { name G points { 0 0 0 1 0 0 0 1 0 } triangles { 1 2 3 } }\n" + head +
                                      " triangles {\n  1 2 9\n }\n}\n",
                 "", {"tin|G||1|3|1|1|||0 0 0|1 2 3|"}, "triangle 1 names point 9 of 3 (line 10)"});
    return r;
}

TEST(D12Tin, SurfacesOfEachFileAndWhereDamagedOnesStop) {
    TempDir dir;
    for (const Row& row : rows()) {
        const std::string path =
            row.text.empty() ? (kCorpus / row.shared).string() : dir.write(std::string(row.name) + ".12da", row.text);
        const Read got = read(path);
        EXPECT_EQ(got.tins, row.tins) << row.name;
        if (*row.stop == '\0') {
            EXPECT_EQ(got.stop, "") << row.name;
        } else {
            EXPECT_NE(got.stop.find(row.stop), std::string::npos) << row.name << ": " << got.stop;
        }
    }
    // The hexadecimal copy gives every coordinate to the bit.
    const std::string hex = dir.write("hex.12da", hex_copy(slurp(kCorpus / "katana_multiple_tins.12da")));
    EXPECT_NE(slurp(hex).find(" 0x1.0e82p+19"), std::string::npos) << "the copy is written in hexadecimal";
    EXPECT_EQ(read(hex).height_sum, read((kCorpus / "katana_multiple_tins.12da").string()).height_sum);
}

}  // namespace
}  // namespace velmorak::d12
