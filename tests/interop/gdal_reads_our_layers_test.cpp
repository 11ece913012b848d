// Every MIF layer the program writes, opened by GDAL's ogrinfo: the feature
// count, geometry kinds, attribute names and values, coordinates and
// coordinate system must be those written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "interop/ogr.h"
#include "mif2d12/fixture_layers.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

using ogr::Feature;
using ogr::Field;
using ogr::Layer;

// A 2D string, a 3D string with a vertex at the null elevation and a 3D
// (interface) string with negative elevations.
const std::string kBreaklines = R"(null -999
model "interop"

string 2d {
  name kerb
  z 12.5
  data {
    500100.25 6000200.5
    500110 6000200
    500120.125 6000205.75
  }
}
string 3d {
  name bank
  data {
    500000 6000000 10
    500001 6000000 -999
    500002 6000001.5 11.25
  }
}
string interface {
  name edge
  data {
    499990.5 5999990 -3.5
    499995 5999990.25 -4
  }
}
)";

// A named and an unnamed 3D string; the unnamed one starts at the null elevation.
const std::string kSections = R"(null -999
model "sections"

string 3d {
  name XS12
  data {
    500000 6000000 100.0
    500003 6000004 98.4
    500006 6000008 101.75
  }
}
string 3d {
  data {
    500010 6000010 -999
    500013 6000014 6
    500016 6000018 5.5
  }
}
)";

// One EPSG:28355 point, for a header .mif written by ogr2ogr.
const std::string kHeaderGeoJson = R"({"type":"FeatureCollection",
"crs":{"type":"name","properties":{"name":"urn:ogc:def:crs:EPSG::28355"}},
"features":[{"type":"Feature","properties":{"id":1},"geometry":{"type":"Point","coordinates":[500000,6000000]}}]})";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// The one layer ogrinfo finds in `file`, read without errors and with as many
// features listed as it counts.
Layer open_layer(const std::filesystem::path& file) {
    const ogr::Info info = ogr::ogrinfo(file);
    EXPECT_EQ(info.status, 0) << info.errors;
    EXPECT_EQ(info.errors.find("ERROR"), std::string::npos) << info.errors;
    if (info.layers.size() != 1) {
        ADD_FAILURE() << file << ": " << info.layers.size() << " layers";
        return {};
    }
    const Layer& layer = info.layers.front();
    EXPECT_EQ(layer.feature_count, static_cast<long>(layer.features.size())) << file;
    return layer;
}

void expect_fields(const Layer& layer, const std::vector<std::pair<std::string, std::string>>& fields) {
    ASSERT_EQ(layer.fields.size(), fields.size()) << layer.name;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(layer.fields[i].name, fields[i].first);
        EXPECT_EQ(layer.fields[i].type, fields[i].second);
    }
}

void expect_real(const Feature& f, const std::string& name, double value) {
    const std::string text = f.value(name);
    ASSERT_FALSE(text.empty()) << name;
    EXPECT_DOUBLE_EQ(std::stod(text), value) << name << " = " << text;
}

void expect_point(const Feature& f, double x, double y) { ogr::expect_geometry(f, "POINT", {{{x, y}}}); }

// The breakline layer of kBreaklines: one line per string, one point per vertex
// with an elevation after each 3D string.
void expect_breakline_layer(const Layer& layer) {
    expect_fields(layer, {{"Elevation", "Real"}, {"String_Type", "String"}});
    ASSERT_EQ(layer.features.size(), 7u);
    const auto& f = layer.features;
    ogr::expect_geometry(f[0], "LINESTRING", {{{500100.25, 6000200.5}, {500110, 6000200}, {500120.125, 6000205.75}}});
    expect_real(f[0], "Elevation", 12.5);
    EXPECT_EQ(f[0].value("String_Type"), "2d");

    ogr::expect_geometry(f[1], "LINESTRING", {{{500000, 6000000}, {500001, 6000000}, {500002, 6000001.5}}});
    expect_real(f[1], "Elevation", 0);
    expect_point(f[2], 500000, 6000000);
    expect_real(f[2], "Elevation", 10);
    expect_point(f[3], 500002, 6000001.5);
    expect_real(f[3], "Elevation", 11.25);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(f[i].value("String_Type"), "3d");

    ogr::expect_geometry(f[4], "LINESTRING", {{{499990.5, 5999990}, {499995, 5999990.25}}});
    expect_real(f[4], "Elevation", 0);
    expect_point(f[5], 499990.5, 5999990);
    expect_real(f[5], "Elevation", -3.5);
    expect_point(f[6], 499995, 5999990.25);
    expect_real(f[6], "Elevation", -4);
    for (int i = 4; i <= 6; ++i) EXPECT_EQ(f[i].value("String_Type"), "interface");
}

TEST(GdalReadsOurLayers, BreaklineLayerWithHeaderCopiedFromAnOgr2ogrLayer) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    dir.write("site.12da", kBreaklines);
    dir.write("proj.geojson", kHeaderGeoJson);
    const ogr::Run made = ogr::ogr2ogr_mif(dir.file("proj.geojson"), dir.file("proj.mif"));
    ASSERT_EQ(made.status, 0) << made.errors;
    const ProgramRun r = run_program({"site.12da", "proj.mif"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;

    const Layer header = open_layer(dir.file("proj.mif"));
    const Layer layer = open_layer(dir.file("site.12da.mif"));
    EXPECT_EQ(layer.name, "site.12da");
    EXPECT_NE(header.srs.find("Transverse Mercator"), std::string::npos) << header.srs;
    EXPECT_EQ(layer.srs, header.srs);
    expect_breakline_layer(layer);
}

TEST(GdalReadsOurLayers, BreaklineLayerWithNonEarthHeader) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    dir.write("site.12da", kBreaklines);
    const ProgramRun r = run_program({"site.12da"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    ASSERT_NE(r.out.find("Non-Earth Coordinates will be used."), std::string::npos) << r.out;

    const Layer layer = open_layer(dir.file("site.12da.mif"));
    EXPECT_NE(lower(layer.srs).find("nonearth"), std::string::npos) << layer.srs;
    expect_breakline_layer(layer);
}

void expect_section_layers(const Layer& lines, const Layer& points) {
    expect_fields(lines, {{"CSV_File", "String"}, {"Z_Minimum", "Real"}, {"Z_Maximum", "Real"}});
    ASSERT_EQ(lines.features.size(), 2u);
    ogr::expect_geometry(lines.features[0], "LINESTRING",
                         {{{500000, 6000000}, {500003, 6000004}, {500006, 6000008}}});
    EXPECT_EQ(lines.features[0].value("CSV_File"), "XS12.csv");
    expect_real(lines.features[0], "Z_Minimum", 98.4);
    expect_real(lines.features[0], "Z_Maximum", 101.75);
    ogr::expect_geometry(lines.features[1], "LINESTRING",
                         {{{500010, 6000010}, {500013, 6000014}, {500016, 6000018}}});
    EXPECT_EQ(lines.features[1].value("CSV_File"), "xs000001.csv");
    // The null elevation is no height: it counts in neither.
    expect_real(lines.features[1], "Z_Minimum", 5.5);
    expect_real(lines.features[1], "Z_Maximum", 6);

    expect_fields(points, {{"Z", "Real"}, {"MNR", "Real"}, {"LCR", "String"}, {"XS_ID", "String"}});
    struct Expected {
        double x, y, z;
        const char* lcr;
        const char* id;
    };
    const Expected want[] = {{500000, 6000000, 100, "L", "XS12"},
                             {500003, 6000004, 98.4, "C", "XS12"},
                             {500006, 6000008, 101.75, "C", "XS12"},
                             {500013, 6000014, 6, "L", "xs000001"},
                             {500016, 6000018, 5.5, "C", "xs000001"}};
    ASSERT_EQ(points.features.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const Feature& f = points.features[i];
        SCOPED_TRACE("point " + std::to_string(i + 1));
        expect_point(f, want[i].x, want[i].y);
        expect_real(f, "Z", want[i].z);
        expect_real(f, "MNR", -1);
        EXPECT_EQ(f.value("LCR"), want[i].lcr);
        EXPECT_EQ(f.value("XS_ID"), want[i].id);
    }
}

TEST(GdalReadsOurLayers, CrossSectionLineAndPointLayersWithCopiedHeader) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    dir.write("xs.12da", kSections);
    dir.write("Header.mif", read_file(fixture("d12/Header.mif")));
    const ProgramRun r = run_program({"xs.12da", "-xs"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;

    const Layer header = open_layer(dir.file("Header.mif"));
    const Layer lines = open_layer(dir.file("xs.12da.Lines.mif"));
    const Layer points = open_layer(dir.file("xs.12da.Points.mif"));
    EXPECT_NE(header.srs.find("Transverse Mercator"), std::string::npos) << header.srs;
    EXPECT_EQ(lines.srs, header.srs);
    EXPECT_EQ(points.srs, header.srs);
    expect_section_layers(lines, points);
}

TEST(GdalReadsOurLayers, CrossSectionLineAndPointLayersWithNonEarthHeader) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    dir.write("xs.12da", kSections);
    const ProgramRun r = run_program({"xs.12da", "-xs"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;

    const Layer lines = open_layer(dir.file("xs.12da.Lines.mif"));
    const Layer points = open_layer(dir.file("xs.12da.Points.mif"));
    EXPECT_NE(lower(lines.srs).find("nonearth"), std::string::npos) << lines.srs;
    EXPECT_NE(lower(points.srs).find("nonearth"), std::string::npos) << points.srs;
    expect_section_layers(lines, points);
}

// The report layers of the 3D breakline conversion copy the lines layer's
// NonEarth header; the layers from ogr2ogr with an Earth projection are read
// back in WeReadGdalLayers.
TEST(GdalReadsOurLayers, DanglesAndUnsnappedPointsLayers) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    place_layer(dir, "points");
    place_layer(dir, "lines");
    const ProgramRun r = run_program({"points.mif", "lines.mif", "-zln"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;

    const Layer dangles = open_layer(dir.file("_dangles.mif"));
    EXPECT_NE(lower(dangles.srs).find("nonearth"), std::string::npos) << dangles.srs;
    expect_fields(dangles, {{"Z", "Real"}});
    ASSERT_EQ(dangles.features.size(), 3u);
    ogr::expect_geometry(dangles.features[0], "LINESTRING", {{{0, 100}, {10, 100}, {20, 100}}});
    expect_real(dangles.features[0], "Z", 101);
    ogr::expect_geometry(dangles.features[1], "LINESTRING", {{{0, 200}, {5, 200}}});
    expect_real(dangles.features[1], "Z", 102);
    // The second section of a Pline Multiple, written as a polyline of its own.
    ogr::expect_geometry(dangles.features[2], "LINESTRING", {{{0, 1200}, {10, 1200}}});
    expect_real(dangles.features[2], "Z", 108);

    const Layer unsnapped = open_layer(dir.file("_unsnapped_points.mif"));
    EXPECT_EQ(unsnapped.srs, dangles.srs);
    expect_fields(unsnapped, {{"Z", "Real"}});
    ASSERT_EQ(unsnapped.features.size(), 3u);
    expect_point(unsnapped.features[0], 10.0011, 300);
    expect_real(unsnapped.features[0], "Z", 5);
    expect_point(unsnapped.features[1], 0, 700);
    expect_real(unsnapped.features[1], "Z", 10);
    expect_point(unsnapped.features[2], 500, 500);
    expect_real(unsnapped.features[2], "Z", 30);
}

// A 12d string of one vertex is a Point, one of none gives nothing: a Pline
// of fewer than two vertices would make GDAL read no feature after it.
TEST(GdalReadsOurLayers, StringsOfFewerThanTwoVerticesLeaveEveryFeatureReadable) {
    VELMORAK_REQUIRE_GDAL();
    TempDir dir;
    dir.write("short.12da",
              "null -999\nmodel \"m\"\n\n"
              "string 2d {\n  name a\n  z 1\n  data {\n    1 2\n    3 4\n  }\n}\n"
              "string 2d {\n  name none\n  z 2\n  data {\n  }\n}\n"
              "string 2d {\n  name one\n  z 2.5\n  data {\n    7 8\n  }\n}\n"
              "string 3d {\n  name one3\n  data {\n    9 10 4.5\n  }\n}\n"
              "string 2d {\n  name b\n  z 3\n  data {\n    5 6\n    7 8\n  }\n}\n");
    const ProgramRun r = run_program({"short.12da"}, "", dir.path());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\nConverted 4 string objects and ignored 1\n"), std::string::npos) << r.out;
    const Layer layer = open_layer(dir.file("short.12da.mif"));
    ASSERT_EQ(layer.features.size(), 4u);
    ogr::expect_geometry(layer.features[0], "LINESTRING", {{{1, 2}, {3, 4}}});
    expect_point(layer.features[1], 7, 8);
    expect_real(layer.features[1], "Elevation", 2.5);
    expect_point(layer.features[2], 9, 10);
    expect_real(layer.features[2], "Elevation", 4.5);
    ogr::expect_geometry(layer.features[3], "LINESTRING", {{{5, 6}, {7, 8}}});
}

}  // namespace
}  // namespace velmorak::testing
