// Opens a fuzz input through the GDAL driver the way GDAL's programs do:
// identified among GDAL's formats by its content, scanned, every layer read
// through twice with its counts and extents, features fetched by number,
// and read again under a spatial and an attribute filter. An input that
// starts like a ZIP archive is opened as a .12daz through the archive reader.
// GDAL reports what it finds wrong through CPLError, here silenced; the host
// must never crash, hang or stop.
#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_support.h"

extern "C" void GDALRegister_12DA();

namespace {

void read_layer(OGRLayerH layer) {
    OGR_L_GetFeatureCount(layer, TRUE);
    OGREnvelope extent;
    OGR_L_GetExtent(layer, &extent, TRUE);
    GIntBig first = -1;
    GIntBig count = 0;
    for (int pass = 0; pass < 2; ++pass) {
        OGR_L_ResetReading(layer);
        count = 0;
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            if (first < 0) first = OGR_F_GetFID(f);
            ++count;
            OGR_F_Destroy(f);
        }
    }
    VELMORAK_FUZZ_CHECK(count == OGR_L_GetFeatureCount(layer, FALSE));
    if (first >= 0) {
        OGRFeatureH f = OGR_L_GetFeature(layer, first);
        VELMORAK_FUZZ_CHECK(f != nullptr);
        OGR_F_Destroy(f);
    }
    // A window over the middle of the layer: the features kept are what its
    // count says, whether the boxes or the strings read decided.
    if (count > 0) {
        const double w = (extent.MaxX - extent.MinX) / 4;
        const double h = (extent.MaxY - extent.MinY) / 4;
        OGR_L_SetSpatialFilterRect(layer, extent.MinX + w, extent.MinY + h, extent.MaxX - w, extent.MaxY - h);
        GIntBig kept = 0;
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            ++kept;
            OGR_F_Destroy(f);
        }
        VELMORAK_FUZZ_CHECK(kept == OGR_L_GetFeatureCount(layer, TRUE));
        OGR_L_GetExtent(layer, &extent, TRUE);
    }
    OGR_L_SetSpatialFilterRect(layer, 0, 0, 1000, 1000);
    OGR_L_SetAttributeFilter(layer, "name IS NOT NULL");
    while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) OGR_F_Destroy(f);
    OGR_L_SetSpatialFilter(layer, nullptr);
    OGR_L_SetAttributeFilter(layer, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    GDALRegister_12DA();
    CPLPushErrorHandler(CPLQuietErrorHandler);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string archive = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/velmorak-fuzz-" +
               std::to_string(::getpid()) + ".12daz";
    }();
    const bool zip = size >= 2 && data[0] == 'P' && data[1] == 'K';
    // The name tells GDAL nothing: a text is found 12d ASCII by its content.
    const std::string path = zip ? archive : std::string("/vsimem/fuzz_input");
    VSILFILE* f = VSIFOpenL(path.c_str(), "wb");
    if (f == nullptr) return 0;
    VSIFWriteL(data, 1, size, f);
    VSIFCloseL(f);
    const char* const drivers[] = {"12DA", nullptr};
    // Small enough that the vertex limit is reached by inputs of a few kilobytes.
    const char* const options[] = {"MAX_VERTICES=1000", nullptr};
    if (GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, drivers, options, nullptr)) {
        for (int i = 0; i < GDALDatasetGetLayerCount(ds); ++i) read_layer(GDALDatasetGetLayer(ds, i));
        GDALClose(ds);
    }
    VSIUnlink(path.c_str());
    CPLErrorReset();
    return 0;
}
