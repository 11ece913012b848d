#include "srs.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstring>
#include <memory>

namespace velmorak::gdal12 {
namespace {

// GDAL's own messages while a neighbour file is tried are not the user's concern.
struct Quiet {
    CPLErrorHandlerPusher handler{CPLQuietErrorHandler, nullptr};
    CPLErrorStateBackuper state;
};

SrsPointer new_srs() {
    SrsPointer srs(new OGRSpatialReference());
    // Coordinates come as easting, northing (longitude, latitude) whatever the CRS's own axis order.
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

bool exists(const std::string& path) {
    VSIStatBufL st;
    return VSIStatExL(path.c_str(), &st, VSI_STAT_EXISTS_FLAG | VSI_STAT_NATURE_FLAG) == 0 && !VSI_ISDIR(st.st_mode);
}

SrsPointer from_prj(const std::string& prj) {
    char** lines = CSLLoad2(prj.c_str(), 1000, 10000, nullptr);
    std::string text;
    for (char** l = lines; l != nullptr && *l != nullptr; ++l) text += *l;
    CSLDestroy(lines);
    SrsPointer srs = new_srs();
    bool read = false;
    {
        Quiet quiet;
        read = !text.empty() && srs->SetFromUserInput(text.c_str()) == OGRERR_NONE;
    }
    if (!read) {
        CPLError(CE_Warning, CPLE_AppDefined, "%s holds no coordinate reference system GDAL can read; it is passed over.",
                 prj.c_str());
        return nullptr;
    }
    return srs;
}

SrsPointer from_header_mif(const std::string& header) {
    const char* const drivers[] = {"MapInfo File", nullptr};
    Quiet quiet;
    std::unique_ptr<GDALDataset> ds(
        GDALDataset::Open(header.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, drivers, nullptr, nullptr));
    if (!ds || ds->GetLayerCount() < 1) return nullptr;
    const OGRSpatialReference* found = ds->GetLayer(0)->GetSpatialRef();
    if (found == nullptr) return nullptr;
    SrsPointer srs(found->Clone());
    srs->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

}  // namespace

SrsPointer crs_of_12d_file(const std::string& path, const char* option, bool& ok) {
    ok = true;
    if (option != nullptr && option[0] != '\0') {
        SrsPointer srs = new_srs();
        if (srs->SetFromUserInput(option) != OGRERR_NONE) {
            CPLError(CE_Failure, CPLE_IllegalArg, "SRS=%s: not a coordinate reference system GDAL knows.", option);
            ok = false;
            return nullptr;
        }
        return srs;
    }
    for (const std::string& prj : {path + ".prj", std::string(CPLResetExtension(path.c_str(), "prj"))})
        if (exists(prj)) return from_prj(prj);
    const std::string header = CPLFormFilename(CPLGetPath(path.c_str()), "Header.mif", nullptr);
    if (exists(header)) return from_header_mif(header);
    return nullptr;
}

bool write_prj(const std::string& path, const OGRSpatialReference& srs) {
    char* wkt = nullptr;
    const char* const esri[] = {"FORMAT=WKT1_ESRI", nullptr};
    {
        Quiet quiet;
        if (srs.exportToWkt(&wkt, esri) != OGRERR_NONE || wkt == nullptr || wkt[0] == '\0') {
            CPLFree(wkt);
            wkt = nullptr;
            // A CRS ESRI WKT cannot say (an engineering CRS) goes as WKT2.
            const char* const wkt2[] = {"FORMAT=WKT2_2019", nullptr};
            srs.exportToWkt(&wkt, wkt2);
        }
    }
    const std::string prj = path + ".prj";
    bool ok = wkt != nullptr;
    if (ok) {
        VSILFILE* f = VSIFOpenL(prj.c_str(), "wb");
        const std::size_t n = std::strlen(wkt);
        ok = f != nullptr && VSIFWriteL(wkt, 1, n, f) == n;
        if (f != nullptr && VSIFCloseL(f) != 0) ok = false;
    }
    CPLFree(wkt);
    if (!ok) CPLError(CE_Failure, CPLE_FileIO, "%s: the coordinate reference system cannot be written.", prj.c_str());
    return ok;
}

}  // namespace velmorak::gdal12
