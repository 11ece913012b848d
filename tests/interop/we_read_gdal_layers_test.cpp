// MIF layers written by GDAL's ogr2ogr from small GeoJSON inputs, converted
// by the program: the strings, their names and coordinates must be those of
// the GeoJSON features; the report layers of -zln must open in ogrinfo.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "interop/ogr.h"
#include "mif2d12/fixture_layers.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

// One string block of a .12da file as the conversions from MIF write it.
struct D12String {
    std::string kind;  // "2d" or "3d"
    std::string name;  // the text between the quotes of the name line
    std::vector<std::vector<double>> vertices;
};

std::vector<D12String> read_12da(const std::string& text) {
    std::vector<D12String> strings;
    std::istringstream in(text);
    std::string line;
    bool in_data = false;
    while (std::getline(in, line)) {
        if (line.rfind("string ", 0) == 0) {
            strings.push_back({line.substr(7, 2), {}, {}});
        } else if (strings.empty()) {
            continue;
        } else if (line.rfind("  name ", 0) == 0) {
            const std::size_t first = line.find('"');
            const std::size_t last = line.rfind('"');
            if (first != std::string::npos && last > first) {
                // A quote or a backslash inside the name is written \" or \\.
                const std::string quoted = line.substr(first + 1, last - first - 1);
                std::string& name = strings.back().name;
                for (std::size_t i = 0; i < quoted.size(); ++i) {
                    if (quoted[i] == '\\' && i + 1 < quoted.size() && (quoted[i + 1] == '"' || quoted[i + 1] == '\\')) ++i;
                    name.push_back(quoted[i]);
                }
            }
        } else if (line == "  data {") {
            in_data = true;
        } else if (line == "  }") {
            in_data = false;
        } else if (in_data) {
            std::istringstream values(line);
            std::vector<double> v;
            for (double d; values >> d;) v.push_back(d);
            strings.back().vertices.push_back(v);
        }
    }
    return strings;
}

// Each vertex compared within the writer's 5 decimals of X and Y (4 of Z).
void expect_string(const D12String& s, const std::string& kind, const std::string& name,
                   const std::vector<std::vector<double>>& vertices) {
    SCOPED_TRACE("string " + name);
    EXPECT_EQ(s.kind, kind);
    EXPECT_EQ(s.name, name);
    ASSERT_EQ(s.vertices.size(), vertices.size());
    for (std::size_t k = 0; k < vertices.size(); ++k) {
        ASSERT_EQ(s.vertices[k].size(), vertices[k].size()) << "vertex " << k;
        for (std::size_t c = 0; c < vertices[k].size(); ++c)
            EXPECT_NEAR(s.vertices[k][c], vertices[k][c], c < 2 ? 5e-6 : 5e-5) << "vertex " << k << " value " << c;
    }
}

const std::string kCrs = R"("crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::28355"}},)";

std::string feature(const std::string& properties, const std::string& geometry) {
    return R"({"type":"Feature","properties":{)" + properties + R"(},"geometry":)" + geometry + "}";
}

// A GeoJSON geometry of `type` with `coordinates` (JSON arrays).
std::string geometry(const std::string& type, const std::string& coordinates) {
    return R"({"type":")" + type + R"(","coordinates":)" + coordinates + "}";
}

std::string collection(const std::vector<std::string>& features) {
    std::string s = R"({"type":"FeatureCollection",)" + kCrs + R"("features":[)";
    for (std::size_t i = 0; i < features.size(); ++i) s += (i ? ",\n" : "\n") + features[i];
    return s + "]}";
}

// Writes <base>.geojson, converts it with ogr2ogr to <base>.mif/.mid and
// gives the layer a table saved before it (ogr2ogr writes none for a .mif).
void make_layer(const TempDir& dir, const std::string& base, const std::string& geojson) {
    dir.write(base + ".geojson", geojson);
    const ogr::Run made = ogr::ogr2ogr_mif(dir.file(base + ".geojson"), dir.file(base + ".mif"));
    ASSERT_EQ(made.status, 0) << made.errors;
    ASSERT_TRUE(dir.exists(base + ".mid"));
    add_table(dir, base);
}

// Lines, a multi-line, a point, a polygon with a hole, a feature without
// geometry and a two-vertex line (which GDAL writes as a Line object), named
// by texts with quotes, commas and a line break; coordinates in an Earth projection, one of
// them small enough for GDAL to write it with an exponent.
TEST(WeReadGdalLayers, LayerFromOgr2ogrConvertsToNamedStrings) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(make_layer(
        dir, "roads",
        collection({
            feature(R"("name":"Road \"A\", north","lanes":2)",
                    geometry("LineString", "[[500000.5,6000000.25],[500010.125,6000005],[500020,6000000]]")),
            feature(R"("name":"multi, two","lanes":4)",
                    geometry("MultiLineString", "[[[500001,6000002],[500003,6000004]],"
                                                "[[500005,6000006],[500007,6000008],[500009,6000010]]]")),
            feature(R"("name":"a point","lanes":0)", geometry("Point", "[500011.5,6000012.75]")),
            feature(R"("name":"park","lanes":0)",
                    geometry("Polygon", "[[[500000,6000000],[500100,6000000],[500100,6000100],[500000,6000000]],"
                                        "[[500010,6000010],[500020,6000010],[500020,6000020],[500010,6000010]]]")),
            feature(R"("name":"nothing","lanes":1)", "null"),
            feature(R"("name":"short","lanes":1)", geometry("LineString", "[[500030,6000030],[500031.5,6000032]]")),
            feature(R"("name":"two\nlines","lanes":5)", geometry("LineString", "[[1,2],[3,4]]")),
            feature(R"("name":"\"quoted\"","lanes":3)",
                    geometry("LineString", "[[0.00000015,-5.25],[-12.5,-7.125],[-1000,0]]")),
        })));
    const std::string mif = dir.read("roads.mif");
    for (const char* layout : {"\nPLINE MULTIPLE 2\n", "\nRegion 2\n", "\nNONE\n", "\nLine ", "\nPoint "})
        ASSERT_NE(mif.find(layout), std::string::npos) << layout << " in\n" << mif;
    ASSERT_NE(mif.find("e-07"), std::string::npos) << mif;
    ASSERT_NE(dir.read("roads.mid").find("\"Road \"\"A\"\", north\""), std::string::npos) << dir.read("roads.mid");

    const ProgramRun r = run_program({"roads.mif"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<D12String> s = read_12da(dir.read("roads.12da"));
    ASSERT_EQ(s.size(), 6u) << dir.read("roads.12da");
    expect_string(s[0], "2d", "Road \"A\", north", {{500000.5, 6000000.25}, {500010.125, 6000005}, {500020, 6000000}});
    expect_string(s[1], "2d", "multi, two", {{500001, 6000002}, {500003, 6000004}});
    expect_string(s[2], "2d", "multi, two", {{500005, 6000006}, {500007, 6000008}, {500009, 6000010}});
    expect_string(s[3], "2d", "short", {{500030, 6000030}, {500031.5, 6000032}});
    // GDAL writes the line break as a backslash and n; the name keeps both (README, Compatibility).
    expect_string(s[4], "2d", "two\\nlines", {{1, 2}, {3, 4}});
    expect_string(s[5], "2d", "\"quoted\"", {{0.00000015, -5.25}, {-12.5, -7.125}, {-1000, 0}});
}

// Points with their elevation first and a note with quotes and commas; lines
// whose integer elevation comes first. The first line snaps at both ends, each
// section of the multi-line at its first vertex only, the last line nowhere;
// one point snaps to no vertex.
TEST(WeReadGdalLayers, BreaklinesFromOgr2ogrPointsAndLinesLayers) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(make_layer(
        dir, "spots",
        collection({
            feature(R"("z":1.5,"note":"start, \"a\"")", geometry("Point", "[500000,6000000]")),
            feature(R"("z":3.5,"note":"end")", geometry("Point", "[500020,6000000]")),
            feature(R"("z":9.25,"note":"alone, away")", geometry("Point", "[500100,6000100]")),
            feature(R"("z":20,"note":"")", geometry("Point", "[500300,6000300]")),
        })));
    ASSERT_NO_FATAL_FAILURE(make_layer(
        dir, "kerbs",
        collection({
            feature(R"("z":5,"name":"a")",
                    geometry("LineString", "[[500000,6000000],[500010,6000000],[500020,6000000]]")),
            feature(R"("z":6,"name":"b, two")",
                    geometry("MultiLineString",
                             "[[[500000,6000000],[500000,6000050]],[[500300,6000300],[500310,6000300]]]")),
            feature(R"("z":7,"name":"c")", geometry("LineString", "[[500500,6000500],[500510,6000500]]")),
        })));
    ASSERT_NE(dir.read("kerbs.mif").find("  z Integer"), std::string::npos) << dir.read("kerbs.mif");

    const ProgramRun r = run_program({"spots.mif", "kerbs.mif", "-zln"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    const std::vector<D12String> s = read_12da(dir.read("kerbs.12da"));
    ASSERT_EQ(s.size(), 4u) << dir.read("kerbs.12da");
    expect_string(s[0], "3d", "00000001", {{500000, 6000000, 1.5}, {500010, 6000000, 2.5}, {500020, 6000000, 3.5}});
    expect_string(s[1], "3d", "00000002", {{500000, 6000000, 1.5}, {500000, 6000050, 1.5}});
    expect_string(s[2], "3d", "00000003", {{500300, 6000300, 20}, {500310, 6000300, 20}});
    expect_string(s[3], "3d", "00000004", {{500500, 6000500, 7}, {500510, 6000500, 7}});

    // The report layers take the lines layer's Earth projection.
    const ogr::Info kerbs = ogr::ogrinfo(dir.file("kerbs.mif"));
    const ogr::Info dangles = ogr::ogrinfo(dir.file("_dangles.mif"));
    const ogr::Info unsnapped = ogr::ogrinfo(dir.file("_unsnapped_points.mif"));
    ASSERT_EQ(kerbs.layers.size(), 1u) << kerbs.errors;
    ASSERT_EQ(dangles.layers.size(), 1u) << dangles.errors;
    ASSERT_EQ(unsnapped.layers.size(), 1u) << unsnapped.errors;
    EXPECT_EQ(dangles.errors.find("ERROR"), std::string::npos) << dangles.errors;
    EXPECT_EQ(unsnapped.errors.find("ERROR"), std::string::npos) << unsnapped.errors;
    EXPECT_NE(kerbs.layers[0].srs.find("GDA94"), std::string::npos) << kerbs.layers[0].srs;
    EXPECT_EQ(dangles.layers[0].srs, kerbs.layers[0].srs);
    EXPECT_EQ(unsnapped.layers[0].srs, kerbs.layers[0].srs);

    const auto& d = dangles.layers[0].features;
    ASSERT_EQ(d.size(), 2u);
    ogr::expect_geometry(d[0], "LINESTRING", {{{500000, 6000000}, {500000, 6000050}}});
    ogr::expect_geometry(d[1], "LINESTRING", {{{500300, 6000300}, {500310, 6000300}}});
    EXPECT_EQ(d[0].value("Z"), "6");
    EXPECT_EQ(d[1].value("Z"), "6");
    const auto& u = unsnapped.layers[0].features;
    ASSERT_EQ(u.size(), 1u);
    ogr::expect_geometry(u[0], "POINT", {{{500100, 6000100}}});
    EXPECT_EQ(u[0].value("Z"), "9.25");
}

// GDAL writes a null number as an empty field; a point without an elevation
// stops the 3D breakline conversion, naming its object (README, Compatibility).
TEST(WeReadGdalLayers, NullElevationFromOgr2ogrStopsTheBreaklineConversion) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    ASSERT_NO_FATAL_FAILURE(make_layer(
        dir, "mixed",
        collection({
            feature(R"("z":5,"name":"line")", geometry("LineString", "[[0,0],[10,0]]")),
            feature(R"("z":null,"name":"no z")", geometry("Point", "[0,0]")),
        })));
    ASSERT_NE(dir.read("mixed.mid").find("\n,\"no z\"\n"), std::string::npos) << dir.read("mixed.mid");
    const ProgramRun r = run_program({"mixed.mif", "-zln"}, "", dir.path());
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("\nERROR - Reading .mid file, tdrdmifblf.  The row of object 2 holds no elevation.\n"),
              std::string::npos)
        << r.out;
}

}  // namespace
}  // namespace velmorak::testing
