#pragma once
// The coordinate reference system of a 12d file. 12d ASCII carries none:
// it comes from beside the file, in this order of precedence:
//   1. the open option SRS (anything OGRSpatialReference::SetFromUserInput
//      takes: "EPSG:28356", WKT, PROJJSON, a PROJ string, a file's name);
//   2. a .prj beside the file: site.12da.prj, else site.prj (ESRI WKT or
//      WKT, as GDAL and other GIS write them);
//   3. the CoordSys line of a Header.mif beside the file, the projection
//      header the converter takes for its MIF outputs, read through GDAL's
//      MapInfo driver.
// Writing puts the CRS of the layers in <output>.prj, in ESRI WKT as GDAL
// writes a shapefile's .prj.
#include <ogr_spatialref.h>

#include <memory>
#include <string>

namespace velmorak::gdal12 {

struct SrsDeleter {
    void operator()(OGRSpatialReference* srs) const {
        if (srs != nullptr) srs->Release();
    }
};
using SrsPointer = std::unique_ptr<OGRSpatialReference, SrsDeleter>;

// The CRS of the 12d file at `path`, or null when nothing beside it gives one.
// `option` is the SRS open option (null when not given); `ok` turns false,
// after a CPLError, when the option is set and GDAL cannot read it.
SrsPointer crs_of_12d_file(const std::string& path, const char* option, bool& ok);

// Writes `srs` to `path` (the output's name) + ".prj"; false after a CPLError.
bool write_prj(const std::string& path, const OGRSpatialReference& srs);

}  // namespace velmorak::gdal12
