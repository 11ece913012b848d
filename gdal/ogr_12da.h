#pragma once
// The GDAL vector driver "12DA": 12d ASCII files (.12da, .4da, and .12daz
// archives) as GDAL layers, one per 12d model, one feature per string; and
// any GDAL layer written as 12d ASCII strings.
//
// Reading: opening a file reads it through once (the first scan) to find its
// models, the fields of each and their feature counts and extents, and notes
// where each string begins (string_index.h). A layer's pass over its features
// reads its own strings, one at a time, going straight to each where the file
// can seek (a plain file of 8-bit or UTF-8 text); a feature fetched by id is
// read where it is. The layers of a dataset share one reader; one that cannot
// seek (a UTF-16 file, a .12daz member) steps back to the start when a layer
// asks for a string behind it, and reads on to the string wanted.
//
// Writing: each layer becomes a model, each feature one string per line, ring
// or point, streamed to the file as it comes.
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "arcs.h"
#include "d12/string_records.h"
#include "srs.h"
#include "string_index.h"
#include "text_output.h"

namespace velmorak::gdal12 {

inline constexpr const char* kDriverName = "12DA";

// The strings come from the core's one 12d reader, shared with the C interface.
using d12::StringRecord;
using d12::StringRecords;
using AttributeKind = d12::AttributeType;
using Attribute = d12::StringAttribute;

// ---------------------------------------------------------------- reading

// What the first scan learns about one model.
struct LayerScan {
    std::uint32_t index = 0;  // the layer's place in the dataset, as the string index names it
    std::string name;
    std::string model;  // as the file names it; empty for strings before any model line
    std::uint64_t first = 0;  // string numbers of its first and last features
    std::uint64_t last = 0;
    GIntBig count = 0;
    OGREnvelope3D extent;
    bool points = false;   // it has one-vertex strings ...
    bool lines = false;    // ... and strings of several vertices
    bool heights = false;  // some vertex has a real height
    bool null_gaps = false;  // some string has a null height among real ones
    bool curves = false;     // some string has an arc
    // The attribute fields in the order first met; the key is the field name in lower case.
    struct Field {
        std::string name;
        AttributeKind kind;
    };
    std::vector<Field> fields;
    std::unordered_map<std::string, int> field_index;
    bool fields_cut = false;  // more names than a layer takes were met
};

// A layer has at most this many attribute fields: a file with more names than
// any export has (a damaged one) must not give every feature thousands of empty ones.
inline constexpr std::size_t kMaxFields = 2000;
// ... and a dataset at most this many layers.
inline constexpr std::size_t kMaxLayers = 10000;

class D12Dataset;

// A string of one vertex is a point, also when it is closed and so carries a
// copy of that vertex.
bool is_point(const StringRecord& s);

class D12Layer final : public OGRLayer {
public:
    // What a null height in a string that has real ones reads as: the height
    // interpolated along the string (`interpolate`), else `null_height`: NaN,
    // or the caller's number.
    D12Layer(D12Dataset& ds, LayerScan scan, bool interpolate, double null_height);
    ~D12Layer() override;

    void ResetReading() override;
    OGRFeature* GetNextFeature() override;
    OGRFeature* GetFeature(GIntBig fid) override;
    GIntBig GetFeatureCount(int force) override;
    OGRErr GetExtent(OGREnvelope* extent, int force) override;
    OGRErr GetExtent(int geom_field, OGREnvelope* extent, int force) override;
    OGRFeatureDefn* GetLayerDefn() override { return defn_; }
    int TestCapability(const char* cap) override;

private:
    // The feature of a string of this layer, or nullptr when the filters pass it over.
    OGRFeature* translate(const StringRecord& s, bool filtered);
    // The spatial filter's envelope, which the boxes of the index are held against.
    PlanBox window() const noexcept;
    // Calls `take(box)` for each string of the layer that the spatial filter
    // keeps, reading only the strings whose box neither lies inside a
    // rectangular filter nor misses it; false when the file could not be read on.
    template <typename Take>
    bool for_each_kept(Take take);
    void set_fields(OGRFeature& f, const StringRecord& s);

    D12Dataset& ds_;
    LayerScan scan_;
    bool interpolate_;
    double null_height_;
    int null_heights_field_ = -1;  // the field that counts the heights filled; -1 when the layer has none
    int first_attribute_field_ = 0;
    std::vector<double> z_;  // heights with the null heights filled or put in
    std::string scratch_;    // UTF-8 of texts that are not UTF-8 in the file
    OGRFeatureDefn* defn_;
    std::uint64_t after_ = 0;  // the number of the string read last by GetNextFeature
    // The field of the string's attribute at each position, with the name it was found for.
    std::vector<std::pair<std::string, int>> attribute_field_;
};

class TinSet;

class D12Dataset final : public GDALDataset {
public:
    // Opens and scans the file; nullptr after a CPLError when it cannot be read.
    static GDALDataset* open(GDALOpenInfo* info);

    int GetLayerCount() override { return static_cast<int>(layers_.size() + tin_layers_.size()); }
    OGRLayer* GetLayer(int i) override;
    int TestCapability(const char* cap) override;

    // The layers' shared reader: positioned on the first string with a number
    // above `after`, whose record it fills. False at the end of the file, or
    // when the file cannot be read on (reported once, through CPLError).
    bool read_after(std::uint64_t after, StringRecord& s);
    // The string numbered `number`; false when there is none. Where the file
    // can seek, the reader goes straight to it.
    bool read_string(std::uint64_t number, StringRecord& s);
    const StringIndex& index() const noexcept { return index_; }
    // Whether read_string() goes straight to a string: a plain file of 8-bit
    // or UTF-8 text. A UTF-16 file and a .12daz's member are read on to it.
    bool seekable() const noexcept { return seekable_; }
    StringRecord& record() noexcept { return record_; }
    ArcMode arc_mode() const noexcept { return arc_mode_; }
    double arc_tolerance() const noexcept { return arc_tolerance_; }
    const std::string& path() const noexcept { return path_; }

private:
    bool scan();
    void report_stop();

    bool interpolate_ = true;
    double null_height_ = 0.0;
    SrsPointer srs_;  // of every layer; null when nothing gives one
    ArcMode arc_mode_ = ArcMode::curves;
    double arc_tolerance_ = 0.01;
    std::string path_;
    std::unique_ptr<StringRecords> source_;
    std::uint64_t position_ = 0;  // number of the string read last
    bool at_end_ = false;
    bool stop_reported_ = false;
    bool seekable_ = false;
    std::uint64_t stop_after_ = UINT64_MAX;  // the first scan stopped after this string
    StringRecord record_;
    StringIndex index_;
    std::vector<std::string> models_;  // the model of each layer, as the file names it
    std::vector<std::unique_ptr<D12Layer>> layers_;
    // The surfaces' layers (tin_layer.h), after the models'.
    std::shared_ptr<TinSet> tins_;
    std::vector<OGRLayer*> tin_layers_;
};

// ---------------------------------------------------------------- writing

class TextOutput;
class D12WriteDataset;
class TinCollector;

class D12WriteLayer final : public OGRLayer {
public:
    D12WriteLayer(D12WriteDataset& ds, const char* name, const OGRSpatialReference* srs, OGRwkbGeometryType type,
                  CSLConstList options);
    ~D12WriteLayer() override;

    void ResetReading() override {}
    OGRFeature* GetNextFeature() override { return nullptr; }
    OGRFeatureDefn* GetLayerDefn() override { return defn_; }
    int TestCapability(const char* cap) override;
    OGRErr CreateField(OGRFieldDefn* field, int approx_ok) override;

protected:
    OGRErr ICreateFeature(OGRFeature* feature) override;

private:
    // How the fields are written: found again whenever a field is added.
    struct Group {
        std::string name;
        std::vector<std::pair<int, std::string>> values;  // field, name within the group
        std::vector<Group> groups;
    };
    void plan_fields();
    bool write_part(const OGRFeature& f, const OGRSimpleCurve* line, const OGRPoint* point, bool ring);
    void write_attributes(const OGRFeature& f, const Group& g, int depth);
    bool has_values(const OGRFeature& f, const Group& g) const;

    D12WriteDataset& ds_;
    OGRFeatureDefn* defn_;
    std::shared_ptr<TinCollector> tins_;  // a layer of triangles, written as TINs (tin_layer.h)
    bool tins_checked_ = false;
    std::string name_option_;
    std::string colour_option_;
    bool planned_ = false;
    int name_field_ = -1;
    int colour_field_ = -1;
    int style_field_ = -1;
    int breakline_field_ = -1;
    int chainage_field_ = -1;
    int type_field_ = -1;
    int closed_field_ = -1;
    Group attributes_;
    std::string scratch_;
    std::string style_colour_;  // the colour of a feature's style string
    bool degrees_ = false;  // its CRS is geographic, and no vertex is written yet
    bool warned_empty_ = false;
};

class D12WriteDataset final : public GDALDataset {
public:
    static GDALDataset* create(const char* name, CSLConstList options);
    ~D12WriteDataset() override;

    int GetLayerCount() override { return static_cast<int>(layers_.size()); }
    OGRLayer* GetLayer(int i) override;
    int TestCapability(const char* cap) override;

    // The text of the file; `model` is the layer a string now belongs to.
    TextOutput& output(const std::string& model);
    // The text of the file at its top level, without a model line: where the TINs go.
    TextOutput& surface_output();
    // Passes the buffer on when it is large; false (after a CPLError) when the file cannot be written.
    bool commit();

protected:
    OGRLayer* ICreateLayer(const char* name, OGRSpatialReference* srs, OGRwkbGeometryType type,
                           char** options) override;

private:
    // Keeps the CRS of the first layer that has one for the file's .prj; warns
    // of a layer in another CRS.
    void note_srs(const char* layer, const OGRSpatialReference* srs);

    std::string path_;
    SrsPointer srs_;
    std::unique_ptr<TextOutput> out_;
    std::string model_;
    bool has_model_ = false;
    bool failed_ = false;
    std::vector<std::unique_ptr<D12WriteLayer>> layers_;
};

// ---------------------------------------------------------------- the driver

// TRUE when the content is 12d ASCII (its first lines) or a .12daz (a ZIP
// archive with a .12da member), whatever the name.
int identify(GDALOpenInfo* info);
// What GDAL is told: also a file only named as 12d ASCII goes to the driver,
// which refuses it with the reason.
int identify_for_gdal(GDALOpenInfo* info);
bool has_12d_extension(const char* path);

// Reports `text` through CPLError, with the file and line when they are known.
void report(CPLErr level, const std::string& path, std::uint64_t line, const std::string& text);

}  // namespace velmorak::gdal12
