#pragma once
// Runs GDAL's command-line tools (ogrinfo, ogr2ogr) on layers in a test
// folder and reads what ogrinfo reports back into plain records: layers with
// their feature count, geometry kind, SRS and attribute definitions, and
// features with their printed values and WKT coordinates.
//
// The tools are external: a test that needs them calls
// VELMORAK_REQUIRE_GDAL() first and is skipped when they are not on PATH,
// or fails when the environment sets VELMORAK_GDAL_REQUIRED (tests/run.sh
// installs them and sets it, so the suite runs them for real).
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velmorak::testing::ogr {

// True when both ogrinfo and ogr2ogr are found on PATH.
bool tools_available();
// True when VELMORAK_GDAL_REQUIRED is set in the environment.
bool tools_required();

#define VELMORAK_REQUIRE_GDAL()                                                                  \
    do {                                                                                         \
        if (!::velmorak::testing::ogr::tools_available()) {                                      \
            if (::velmorak::testing::ogr::tools_required())                                      \
                FAIL() << "GDAL's ogrinfo/ogr2ogr are not on PATH and VELMORAK_GDAL_REQUIRED " \
                          "is set";                                                              \
            GTEST_SKIP() << "GDAL's ogrinfo/ogr2ogr are not on PATH (Debian package gdal-bin; " \
                            "tests/run.sh installs it)";                                         \
        }                                                                                        \
    } while (false)

struct Vertex {
    double x = 0;
    double y = 0;
};

struct Feature {
    // Attribute name and value as ogrinfo prints them ("(null)" for a null), in column order.
    std::vector<std::pair<std::string, std::string>> values;
    // The WKT type word: POINT, LINESTRING, MULTILINESTRING, POLYGON...; empty without geometry.
    std::string geometry;
    // Coordinates grouped by the innermost parentheses of the WKT: one part per
    // line string, ring or point.
    std::vector<std::vector<Vertex>> parts;

    // The printed value of attribute `name`; fails the test when there is none.
    std::string value(const std::string& name) const;
};

struct Field {
    std::string name;
    std::string type;  // Real, String, Integer...
};

struct Layer {
    std::string name;
    std::string geometry;  // the "Geometry:" line
    long feature_count = -1;
    std::string srs;  // the "Layer SRS WKT:" block, lines joined with '\n'
    std::vector<Field> fields;
    std::vector<Feature> features;
};

struct Info {
    int status = -1;
    std::string errors;  // ogrinfo's standard error
    std::vector<Layer> layers;
};

// `ogrinfo -ro -al -nomd <file>`, parsed.
Info ogrinfo(const std::filesystem::path& file);

struct Run {
    int status = -1;
    std::string errors;
};
// `ogr2ogr -f "MapInfo File" <mif> <source>` run in the folder of `mif`.
Run ogr2ogr_mif(const std::filesystem::path& source, const std::filesystem::path& mif);

// Checks one feature's geometry kind and coordinates (within 1e-6, the
// precision of six decimals) against `parts`.
void expect_geometry(const Feature& f, const std::string& type, const std::vector<std::vector<Vertex>>& parts);

}  // namespace velmorak::testing::ogr
