// The real-world corpus: MapInfo layers and 12d ASCII files that other
// programs and other projects wrote (../shared/data/realworld, whose
// SOURCES.md says where each comes from). They are read where they lie and
// never copied into the repository.
//
// One table: every .mif is converted to 12d ASCII, and with -zln where GDAL
// reads points and lines in it and its first attribute is a number (and in
// the two-layer run of the topographic tiles); every .12da goes through the
// breakline conversion, -hip and -xs. A run either converts, or stops with the
// ERROR line its row names. A MIF layer's strings are compared with GDAL's
// reading of the layer: as many line sections, each with its vertex count,
// and each named by its object's first attribute. Every layer a run writes
// must open in GDAL with every feature read and no error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "interop/ogr.h"
#include "support/support.h"
#include "test_paths.h"

namespace velmorak::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = VELMORAK_REALWORLD_DATA;

enum class Conversion { mif, zln, breaklines, hip, xs };

struct Row {
    const char* input;  // below the corpus folder
    Conversion run;
    // The line the run must print: the ERROR it stops with, or for a 12d
    // ASCII file the summary of a run that converts.
    const char* expect = nullptr;
    const char* lines = nullptr;  // the lines layer of a two-layer -zln run
};

constexpr const char* kNaN = "ERROR - Reading .mif file.  Erroneous line is:";

// The warning that ends a run over a layer of regions or points.
#define VELMORAK_PASSED_OVER(what)                                           \
    "WARNING - Passed over " what                                            \
    ": only Line and Pline objects become strings; `ogr2ogr -f 12DA` converts " \
    "regions and points."

const Row kTable[] = {
    {"mif/depthmapx_barnsbury_segment_lines.mif", Conversion::mif},
    {"mif/depthmapx_barnsbury_segment_pline.mif", Conversion::mif},
    {"mif/depthmapx_simple_axlines.mif", Conversion::mif},
    {"mif/depthmapx_simple_axlines_pline.mif", Conversion::mif},
    {"mif/ednald_NaN.mif", Conversion::mif, kNaN},
    {"mif/ednald_error.mif", Conversion::mif, kNaN},
    {"mif/ednald_segfault.mif", Conversion::mif},
    {"mif/ednald_test.mif", Conversion::mif},
    {"mif/ga250k_g56151_r.mif", Conversion::mif},
    {"mif/ga250k_g5615d_l.mif", Conversion::mif},
    {"mif/ga250k_g5615dqt.mif", Conversion::mif},
    {"mif/ga250k_g5615f_l.mif", Conversion::mif},
    {"mif/ga250k_g5615h_l.mif", Conversion::mif},
    {"mif/ga250k_g5615m_l.mif", Conversion::mif},
    {"mif/ga250k_g5615n_p.mif", Conversion::mif},
    {"mif/ga250k_g5615p_l.mif", Conversion::mif},
    {"mif/ga250k_g5615r_l.mif", Conversion::mif},
    {"mif/ga250k_g5615u_l.mif", Conversion::mif},
    {"mif/ga250k_g5615v_l.mif", Conversion::mif},
    {"mif/ga250k_g5615w_l.mif", Conversion::mif},
    {"mif/ga250k_g5615n_p.mif", Conversion::zln, nullptr, "mif/ga250k_g5615v_l.mif"},
    {"mif/gdal_empty_first_field_with_tab_delimiter.mif", Conversion::mif},
    {"mif/gdal_mitab_all_geoms.mif", Conversion::mif,
     "ERROR - MIF \"Collection\" objects not supported.  Delete or disaggregate object."},
    {"mif/gdal_mitab_all_possible_fields.mif", Conversion::mif},
    {"mif/gdal_mitab_multilinemid.mif", Conversion::mif},
    {"mif/gdal_mitab_proj_35.mif", Conversion::mif},
    {"mif/gdal_mitab_utf8.mif", Conversion::mif},
    {"mif/gdal_mitab_win1251_text.mif", Conversion::mif},
    {"mif/gdal_nomid.mif", Conversion::mif},
    {"mif/gdal_small.mif", Conversion::mif},
    {"mif/gdal_small_ntf.mif", Conversion::mif},
    {"mif/gdal_win1251.mif", Conversion::mif},
    {"mif/geotools_mixed.MIF", Conversion::mif},
    {"mif/josm_bg.mif", Conversion::mif},
    {"mif/mapyrus_streets.mif", Conversion::mif},
    // The second collection.
    {"mif/asposepy_data.mif", Conversion::mif, VELMORAK_PASSED_OVER("8 Points, 5 Regions")},
    {"mif/asposepy_gisnet1794_mapinfo.mif", Conversion::mif},
    // Decimal commas: GDAL reads "34,7415370" as 34; the run stops on the line.
    {"mif/asposepy_gisnet2013_output.mif", Conversion::mif, kNaN},
    {"mif/framemaker_sample2.mif", Conversion::mif,
     "ERROR - \"framemaker_sample2.mif\" is not a MapInfo Interchange file: its header has no Data line."},
    {"mif/ga250k_ART-g5615c_l.mif", Conversion::mif},
    {"mif/ga250k_g56153_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("77 Regions")},
    {"mif/ga250k_g5615a_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("13 Points")},
    {"mif/ga250k_g5615b_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("299 Regions")},
    {"mif/ga250k_g5615e_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("107 Points")},
    {"mif/ga250k_g5615f_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("143 Regions")},
    {"mif/ga250k_g5615g_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("6575 Points")},
    {"mif/ga250k_g5615l_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("413 Points")},
    {"mif/ga250k_g5615o_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("244 Regions")},
    {"mif/ga250k_g5615q_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("42 Regions")},
    {"mif/ga250k_g5615r_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("94 Points")},
    {"mif/ga250k_g5615t_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("947 Regions")},
    {"mif/ga250k_g5615u_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("199 Points")},
    {"mif/ga250k_g5615v_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("10 Points")},
    {"mif/ga250k_g5615w_r.mif", Conversion::mif, VELMORAK_PASSED_OVER("509 Regions")},
    {"mif/ga250k_g5615y_p.mif", Conversion::mif, VELMORAK_PASSED_OVER("32 Points")},
    {"mif/ga250k_goh.mif", Conversion::mif,
     "ERROR - \"ga250k_goh.mif\" is not a MapInfo Interchange file: its header has no Data line."},
    {"mif/ga250k_testfail.mif", Conversion::mif, VELMORAK_PASSED_OVER("2 Regions")},
    {"mif/gulfspatial_grids2017.mif", Conversion::mif, VELMORAK_PASSED_OVER("355 Regions")},
    {"mif/gulfspatial_scs.grids.mif", Conversion::mif, VELMORAK_PASSED_OVER("355 Regions")},
    {"mif/lsre_testpolykom.MIF", Conversion::mif, VELMORAK_PASSED_OVER("7360 Regions")},
    {"mif/mapinfojs_example.mif", Conversion::mif, VELMORAK_PASSED_OVER("17 Regions")},
    {"mif/mifparser_ua_Export_Output.mif", Conversion::mif, VELMORAK_PASSED_OVER("3551 Regions")},
    {"12da/katana_all_geometries.12da", Conversion::breaklines, "Converted 12 string objects and ignored 5"},
    {"12da/katana_all_geometries.12da", Conversion::hip, "Converted 15 string objects and ignored 5"},
    {"12da/katana_all_geometries.12da", Conversion::xs, "ERROR - XS ID \"Telstra Conduit 4-way HDPE\" exceeds 12 characters."},
    {"12da/katana_all_geometries_2025.12da", Conversion::breaklines, "Converted 10 string objects and ignored 2"},
    {"12da/katana_all_geometries_2025.12da", Conversion::hip, "Converted 12 string objects and ignored 2"},
    {"12da/katana_all_geometries_2025.12da", Conversion::xs,
     "ERROR - XS ID \"Telstra Conduit 4-way HDPE\" exceeds 12 characters."},
    {"12da/katana_drainage_strings.12da", Conversion::breaklines, "Converted 2 string objects and ignored 0"},
    {"12da/katana_drainage_strings.12da", Conversion::hip, "Converted 2 string objects and ignored 0"},
    {"12da/katana_drainage_strings.12da", Conversion::xs,
     "Converted 2 string objects to KORVAN cross-sections and ignored 0"},
    {"12da/katana_multiple_tins.12da", Conversion::breaklines, "Converted 0 string objects and ignored 0"},
    {"12da/katana_multiple_tins.12da", Conversion::hip, "Converted 0 string objects and ignored 0"},
    {"12da/katana_multiple_tins.12da", Conversion::xs, "Converted 0 string objects to KORVAN cross-sections and ignored 0"},
    {"12da/katana_symbols.12da", Conversion::breaklines, "Converted 6 string objects and ignored 0"},
    {"12da/katana_symbols.12da", Conversion::hip, "Converted 6 string objects and ignored 0"},
    {"12da/katana_symbols.12da", Conversion::xs, "Converted 1 string objects to KORVAN cross-sections and ignored 5"},
    {"12da/katana_super_tin.12da", Conversion::breaklines, "Converted 0 string objects and ignored 0"},
    {"12da/katana_super_tin.12da", Conversion::hip, "Converted 0 string objects and ignored 0"},
    {"12da/katana_super_tin.12da", Conversion::xs, "Converted 0 string objects to KORVAN cross-sections and ignored 0"},
    // A "breakline line" command before the model line changes nothing the conversions read.
    {"12da/katana_drainage_strings_breakline.12da", Conversion::breaklines, "Converted 2 string objects and ignored 0"},
    {"12da/katana_drainage_strings_breakline.12da", Conversion::hip, "Converted 2 string objects and ignored 0"},
    {"12da/katana_drainage_strings_breakline.12da", Conversion::xs,
     "Converted 2 string objects to KORVAN cross-sections and ignored 0"},
    {"12da/katana_symbols_breakline.12da", Conversion::breaklines, "Converted 6 string objects and ignored 0"},
    {"12da/katana_symbols_breakline.12da", Conversion::hip, "Converted 6 string objects and ignored 0"},
    {"12da/katana_symbols_breakline.12da", Conversion::xs,
     "Converted 1 string objects to KORVAN cross-sections and ignored 5"},
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string rtrim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

// A layer's .mif with its companions (.mid, .tab in any case) placed in `dir`.
void place_layer(const TempDir& dir, const fs::path& mif) {
    const std::string stem = lower(mif.stem().string());
    for (const auto& e : fs::directory_iterator(mif.parent_path()))
        if (lower(e.path().stem().string()) == stem) fs::copy_file(e.path(), dir.path() / e.path().filename());
}

// A string of a .12da this program wrote: its name and vertex count.
struct WrittenString {
    std::string name;
    std::size_t vertices = 0;
};

// The strings of a .12da written by the conversions from MIF: a "name" line
// with a quoted name (\" and \\ inside), then one data line per vertex.
std::vector<WrittenString> written_strings(const std::string& text) {
    std::vector<WrittenString> out;
    std::istringstream in(text);
    bool in_data = false;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("string ")) {
            out.emplace_back();
        } else if (line.starts_with("  name ") && !out.empty()) {
            const std::size_t open = line.find('"');
            for (std::size_t i = open + 1; i + 1 < line.size(); ++i) {
                if (line[i] == '\\') ++i;
                out.back().name.push_back(line[i]);
            }
        } else if (line == "  data {") {
            in_data = true;
        } else if (line == "  }") {
            in_data = false;
        } else if (in_data && !out.empty()) {
            ++out.back().vertices;
        }
    }
    return out;
}

// One line section as GDAL reads it: its vertex count and the first attribute of its feature.
struct Section {
    std::size_t vertices = 0;
    std::string name;
};

bool line_geometry(const ogr::Feature& f) { return f.geometry == "LINESTRING" || f.geometry == "MULTILINESTRING"; }

std::vector<Section> gdal_sections(const ogr::Layer& layer) {
    std::vector<Section> out;
    for (const ogr::Feature& f : layer.features) {
        if (!line_geometry(f)) continue;
        const std::string name = f.values.empty() ? std::string() : f.values.front().second;
        for (const auto& part : f.parts) out.push_back({part.size(), name == "(null)" ? std::string() : name});
    }
    return out;
}

bool numeric_type(const std::string& type) { return type == "Integer" || type == "Integer64" || type == "Real"; }

// GDAL prints numbers its own way ("2" for "          2", "0.00513608154980218"
// for "5.13608154980218015E-03"): a numeric first column is compared by value.
void expect_name(const std::string& ours, const std::string& gdal, bool numeric, std::size_t k) {
    if (!numeric) {
        EXPECT_EQ(rtrim(ours), rtrim(gdal)) << "string " << k + 1;
        return;
    }
    if (gdal.empty()) {
        EXPECT_EQ(ours, "") << "string " << k + 1;
        return;
    }
    const double a = std::stod(ours);
    const double b = std::stod(gdal);
    EXPECT_NEAR(a, b, 1e-9 * std::max(1.0, std::fabs(b))) << "string " << k + 1 << ": " << ours << " / " << gdal;
}

// The one layer GDAL reads in a .mif, or nothing when it cannot open it.
std::optional<ogr::Layer> gdal_layer(const fs::path& mif) {
    const ogr::Info info = ogr::ogrinfo(mif);
    if (info.status != 0 || info.layers.size() != 1) return std::nullopt;
    return info.layers.front();
}

// The Charset line of a .mif, empty without one.
std::string charset(const fs::path& mif) {
    std::istringstream in(read_file(mif));
    for (std::string line; std::getline(in, line);) {
        if (lower(line).starts_with("charset")) return lower(line);
        if (lower(line).starts_with("data")) break;
    }
    return {};
}

// ogrinfo prints texts in UTF-8 while the converter keeps a layer's bytes:
// names compare only for layers in UTF-8 or in a code page GDAL keeps as ASCII here.
bool names_compare(const fs::path& mif) {
    const std::string cs = charset(mif);
    return cs.empty() || cs.find("utf-8") != std::string::npos || cs.find("neutral") != std::string::npos ||
           cs.find("windowslatin1") != std::string::npos;
}

// Every feature of a layer we wrote is read, without an error.
void expect_gdal_reads(const fs::path& mif) {
    SCOPED_TRACE(mif.filename().string());
    const ogr::Info info = ogr::ogrinfo(mif);
    EXPECT_EQ(info.status, 0) << info.errors;
    EXPECT_EQ(info.errors.find("ERROR"), std::string::npos) << info.errors;
    ASSERT_EQ(info.layers.size(), 1u) << info.errors;
    EXPECT_EQ(info.layers[0].feature_count, static_cast<long>(info.layers[0].features.size()));
}

void expect_strings_as_gdal_reads(const fs::path& layer_mif, const std::vector<WrittenString>& ours, bool named) {
    const std::optional<ogr::Layer> layer = gdal_layer(layer_mif);
    if (!layer) return;  // GDAL cannot open it (josm_bg and the Version 900 layer with GDAL 3.6)
    const std::vector<Section> sections = gdal_sections(*layer);
    ASSERT_EQ(ours.size(), sections.size());
    const bool numeric = !layer->fields.empty() && numeric_type(layer->fields.front().type);
    const bool names = named && names_compare(layer_mif);
    for (std::size_t k = 0; k < ours.size(); ++k) {
        EXPECT_EQ(ours[k].vertices, sections[k].vertices) << "string " << k + 1;
        if (names) expect_name(ours[k].name, sections[k].name, numeric, k);
    }
}

// The layers GDAL reads with points and lines whose first attribute is a
// number: the ones a single-layer -zln run applies to.
bool zln_layer(const fs::path& mif) {
    const std::optional<ogr::Layer> layer = gdal_layer(mif);
    if (!layer || layer->fields.empty() || !numeric_type(layer->fields.front().type)) return false;
    const auto& f = layer->features;
    return std::any_of(f.begin(), f.end(), [](const ogr::Feature& x) { return x.geometry == "POINT"; }) &&
           std::any_of(f.begin(), f.end(), line_geometry);
}

std::string row_name(const Row& row) {
    static const char* const kRuns[] = {"mif", "zln", "breaklines", "hip", "xs"};
    std::string name = fs::path(row.input).stem().string() + "_" + kRuns[static_cast<int>(row.run)];
    std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
    return name;
}

class RealWorld : public ::testing::TestWithParam<Row> {};

TEST_P(RealWorld, ConvertsAsGdalReadsItOrStopsWithItsError) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no real-world corpus at " << kCorpus.string();
    VELMORAK_REQUIRE_GDAL();
    const Row& row = GetParam();
    const fs::path input = kCorpus / row.input;
    TempDir dir;
    std::vector<std::string> args;
    const std::string name = input.filename().string();
    if (row.run == Conversion::mif || row.run == Conversion::zln) {
        place_layer(dir, input);
        args.push_back(name);
        if (row.lines != nullptr) {
            place_layer(dir, kCorpus / row.lines);
            args.push_back(fs::path(row.lines).filename().string());
        }
        if (row.run == Conversion::zln) args.push_back("-zln");
    } else {
        fs::copy_file(input, dir.path() / name);
        args.push_back(name);
        if (row.run == Conversion::hip) args.push_back("-hip");
        if (row.run == Conversion::xs) args.push_back("-xs");
    }

    const ProgramRun r = run_program(args, "", dir.path(), 120);
    ASSERT_FALSE(r.timed_out) << r.out;
    const bool stops = row.expect != nullptr && std::string_view(row.expect).starts_with("ERROR");
    if (row.expect != nullptr) {
        EXPECT_NE(r.out.find("\n" + std::string(row.expect) + "\n"), std::string::npos) << r.out;
    }
    if (stops) {
        EXPECT_EQ(r.status, 1) << r.out;
        return;
    }
    ASSERT_EQ(r.status, 0) << r.out;

    const std::string stem = fs::path(name).stem().string();
    switch (row.run) {
        case Conversion::mif:
            expect_strings_as_gdal_reads(dir.path() / name, written_strings(dir.read(stem + ".12da")), true);
            break;
        case Conversion::zln: {
            const std::string lines = row.lines != nullptr ? fs::path(row.lines).filename().string() : name;
            const std::string lines_stem = fs::path(lines).stem().string();
            expect_strings_as_gdal_reads(dir.path() / lines, written_strings(dir.read(lines_stem + ".12da")), false);
            expect_gdal_reads(dir.path() / "_dangles.mif");
            expect_gdal_reads(dir.path() / "_unsnapped_points.mif");
            break;
        }
        case Conversion::breaklines:
        case Conversion::hip:
            expect_gdal_reads(dir.path() / (name + ".mif"));
            break;
        case Conversion::xs:
            expect_gdal_reads(dir.path() / (name + ".Lines.mif"));
            expect_gdal_reads(dir.path() / (name + ".Points.mif"));
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealWorld, ::testing::ValuesIn(kTable),
                         [](const ::testing::TestParamInfo<Row>& info) { return row_name(info.param); });

// The table holds every file of the corpus with every run it must have.
TEST(RealWorldCorpus, TheTableCoversEveryFile) {
    if (!fs::is_directory(kCorpus)) GTEST_SKIP() << "no real-world corpus at " << kCorpus.string();
    VELMORAK_REQUIRE_GDAL();
    std::set<std::pair<std::string, Conversion>> listed;
    for (const Row& row : kTable) listed.insert({row.input, row.run});
    for (const auto& e : fs::recursive_directory_iterator(kCorpus)) {
        const std::string ext = lower(e.path().extension().string());
        const std::string rel = fs::relative(e.path(), kCorpus).generic_string();
        if (ext == ".mif") {
            EXPECT_TRUE(listed.contains({rel, Conversion::mif})) << rel;
            if (zln_layer(e.path())) {
                EXPECT_TRUE(listed.contains({rel, Conversion::zln})) << rel << " -zln";
            }
        } else if (ext == ".12da") {
            for (const Conversion run : {Conversion::breaklines, Conversion::hip, Conversion::xs}) {
                EXPECT_TRUE(listed.contains({rel, run})) << rel << " " << static_cast<int>(run);
            }
        }
    }
}

}  // namespace
}  // namespace velmorak::testing
