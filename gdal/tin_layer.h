#pragma once
// The surfaces of a 12d ASCII file in the 12DA driver: each tin and full_tin
// a vector layer named after it (and its model, where it stands in one), each
// super_tin a layer of its members' triangles; and each a raster subdataset
// 12DA:"path":"name" (tin_raster.cpp).
//
// The open option TIN_GEOMETRY says what a surface's features are:
//   TRIANGLES  one POLYGON Z feature per visible triangle, with the fields
//              tin, triangle (its number among the file's triangles, from 1)
//              and the surface's attributes; a super TIN's features also
//              carry member and rank (1 for the first member listed);
//   TIN        one TIN Z feature per surface (per member of a super TIN);
//   NONE       no surface layers.
//
// Opening reads the surfaces once for their names, counts and extents,
// keeping no points; a layer reads its surface again when its features are
// asked for and keeps it until the dataset closes.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "d12/string_details.h"
#include "d12/tin.h"

namespace velmorak::gdal12 {

enum class TinGeometry { triangles, tin, none };

// What the first reading learns about one surface (texts in UTF-8).
struct TinScan {
    d12::TinKind kind = d12::TinKind::tin;
    std::size_t ordinal = 0;  // its place among the file's surfaces, from 0
    std::string name;
    std::string model;
    std::string layer;  // its layer's name
    std::uint64_t line = 0;
    std::size_t points = 0;
    std::size_t triangles = 0;
    std::size_t visible = 0;
    OGREnvelope3D extent;
    std::vector<d12::StringAttribute> attributes;
    std::vector<std::string> members;  // of a super TIN, lowest rank first
};

class TinSet {
public:
    // Reads the surfaces of `path` (through GDAL's file layer). A damaged one
    // is reported as a warning with its line: the surfaces before it are kept.
    // `taken` holds the layer names used already (the models'): a surface's
    // layer is named apart from them.
    TinSet(std::string path, TinGeometry geometry, std::vector<std::string> taken);
    ~TinSet();

    const std::vector<TinScan>& tins() const noexcept { return tins_; }
    TinGeometry geometry() const noexcept { return geometry_; }
    const std::string& path() const noexcept { return path_; }
    // The surface at `ordinal` read whole into `tin`; false after a CPLError.
    bool load(std::size_t ordinal, d12::Tin& tin);
    // The first surface named `name` (UTF-8) that is no super TIN, or nullptr.
    const TinScan* find(const std::string& name, bool super_too = false) const;

    int layer_count() const noexcept { return static_cast<int>(layers_.size()); }
    OGRLayer* layer(int i) const { return layers_[static_cast<std::size_t>(i)].get(); }

    // The raster subdatasets, as GDAL's SUBDATASETS metadata lists them,
    // numbered from `first`.
    void add_subdatasets(CPLStringList& list, int first) const;

private:
    std::string path_;
    TinGeometry geometry_;
    std::vector<TinScan> tins_;
    std::vector<std::unique_ptr<OGRLayer>> layers_;
};

// TIN_GEOMETRY of the open options; false after a CPLError for a value it is not.
bool tin_geometry_option(CSLConstList options, TinGeometry& geometry);

// The surfaces of the file `ds` was opened on, after its string layers:
// their layers into `layers` (owned by `set`) and their rasters into the
// dataset's SUBDATASETS metadata, when the first scan passed any surface
// (`has_tins`). False, after a CPLError, for a TIN_GEOMETRY it does not
// know; false also, quietly, when only a raster was asked for and the file
// holds no surface.
bool attach_tins(GDALDataset& ds, GDALOpenInfo* info, bool has_tins, std::shared_ptr<TinSet>& set,
                 std::vector<OGRLayer*>& layers);

// Writing (tin_writer.cpp): the TINs of a layer whose first feature is a
// TIN, a triangle or a polyhedral surface, or a POLYGON Z of a layer with the
// fields tin and triangle (the driver's own TIN layers); nullptr for any
// other layer, whose features are strings. Its features are gathered and
// written as 12d TINs when the layer ends.
class TinCollector;
class D12WriteDataset;
std::shared_ptr<TinCollector> tin_collector_for(const OGRFeatureDefn& defn, const OGRFeature& first);
OGRErr add_to_tin(TinCollector& tins, const OGRFeature& f);
bool write_tins(TinCollector& tins, D12WriteDataset& ds);

// A raster of one surface, for a name 12DA:"path":"surface" (tin_raster.cpp).
GDALDataset* open_tin_raster(GDALOpenInfo* info);
bool is_tin_raster_name(const char* name);

}  // namespace velmorak::gdal12
