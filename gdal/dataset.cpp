#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "layer_names.h"
#include "ogr_12da.h"
#include "deferred_delete.h"
#include "io/utf8_text.h"
#include "tin_layer.h"
#include "util/value_text.h"
#include "vsi_source.h"

namespace velmorak::gdal12 {
namespace {

using util::lower_ascii;
using util::parse_integer;
using util::parse_real;

AttributeKind kind_of(const Attribute& a) {
    std::int64_t i = 0;
    double r = 0.0;
    if (a.type == AttributeKind::integer && parse_integer(a.value, i)) return AttributeKind::integer;
    if (a.type != AttributeKind::text && parse_real(a.value, r)) return AttributeKind::real;
    return AttributeKind::text;
}

// One field holds every value of its name: integers and reals meet as reals, anything else as texts.
AttributeKind wider(AttributeKind a, AttributeKind b) {
    if (a == b) return a;
    if (a == AttributeKind::text || b == AttributeKind::text) return AttributeKind::text;
    return AttributeKind::real;
}

}  // namespace

void report(CPLErr level, const std::string& path, std::uint64_t line, const std::string& text) {
    if (line > 0)
        CPLError(level, CPLE_AppDefined, "%s, line %llu: %s", path.c_str(), static_cast<unsigned long long>(line),
                 text.c_str());
    else
        CPLError(level, CPLE_AppDefined, "%s: %s", path.c_str(), text.c_str());
}

bool is_point(const StringRecord& s) {
    const std::size_t n = s.x.size();
    // A closed string of one vertex comes with the copy that closes it.
    return n == 1 || (n == 2 && s.closed && s.x[0] == s.x[1] && s.y[0] == s.y[1]);
}

GDALDataset* D12Dataset::open(GDALOpenInfo* info) {
    // Update access is declined quietly, as GDAL's read-only drivers do:
    // programs (QGIS) ask for it first and open for reading after.
    if (info->eAccess == GA_Update) return nullptr;
    // A file whose deletion was noted is gone for whoever opens it.
    carry_out_deletions();
    if (!identify(info)) {
        if (info->fpL != nullptr && has_12d_extension(info->pszFilename))
            report(CE_Failure, info->pszFilename, 0,
                   "not a 12d ASCII file (neither its first lines nor a .12da member in a ZIP archive)");
        return nullptr;
    }
    auto ds = std::make_unique<D12Dataset>();
    ds->path_ = info->pszFilename;
    // The converter's limit, unless the caller sets another.
    const char* limit = CSLFetchNameValueDef(info->papszOpenOptions, "MAX_VERTICES", "1000000");
    const long long capacity = std::atoll(limit);
    if (capacity < 1 || capacity > (1LL << 31)) {
        CPLError(CE_Failure, CPLE_IllegalArg, "MAX_VERTICES=%s: a number of vertices from 1 to 2147483648 is needed.",
                 limit);
        return nullptr;
    }
    // Null heights among real ones are filled along the string unless the
    // caller asks for NaN or names a number: GeoJSON, for one, cannot hold a
    // NaN height, and a shapefile's heights are read back as zeros.
    const char* null_height = CSLFetchNameValueDef(info->papszOpenOptions, "NULL_HEIGHT", "INTERPOLATE");
    ds->interpolate_ = EQUAL(null_height, "INTERPOLATE");
    if (EQUAL(null_height, "NAN")) {
        ds->null_height_ = std::numeric_limits<double>::quiet_NaN();
    } else if (!ds->interpolate_) {
        char* end = nullptr;
        ds->null_height_ = CPLStrtod(null_height, &end);
        if (end == null_height || *end != '\0' || std::isnan(ds->null_height_)) {
            CPLError(CE_Failure, CPLE_IllegalArg, "NULL_HEIGHT=%s: INTERPOLATE, NaN or a number is needed.",
                     null_height);
            return nullptr;
        }
    }
    std::string why;
    ds->source_ = StringRecords::open(ds->path_, static_cast<std::size_t>(capacity), why, open_vsi_source);
    if (!ds->source_) {
        report(CE_Failure, ds->path_, 0, why);
        return nullptr;
    }
    ds->SetDescription(info->pszFilename);
    // Arcs as curves unless asked for lines: GDAL's writers of formats without curves make them linear.
    const char* arcs = CSLFetchNameValueDef(info->papszOpenOptions, "ARCS", "CURVES");
    if (EQUAL(arcs, "DENSIFY")) {
        ds->arc_mode_ = ArcMode::densify;
    } else if (EQUAL(arcs, "CHORDS")) {
        ds->arc_mode_ = ArcMode::chords;
    } else if (!EQUAL(arcs, "CURVES")) {
        CPLError(CE_Failure, CPLE_IllegalArg, "ARCS=%s: CURVES, DENSIFY or CHORDS is needed.", arcs);
        return nullptr;
    }
    const char* tolerance = CSLFetchNameValueDef(info->papszOpenOptions, "ARC_TOLERANCE", "0.01");
    char* tolerance_end = nullptr;
    ds->arc_tolerance_ = CPLStrtod(tolerance, &tolerance_end);
    if (tolerance_end == tolerance || *tolerance_end != '\0' || !(ds->arc_tolerance_ > 0.0) ||
        !std::isfinite(ds->arc_tolerance_)) {
        CPLError(CE_Failure, CPLE_IllegalArg, "ARC_TOLERANCE=%s: a distance above 0 is needed.", tolerance);
        return nullptr;
    }
    bool srs_ok = true;
    ds->srs_ = crs_of_12d_file(ds->path_, CSLFetchNameValue(info->papszOpenOptions, "SRS"), srs_ok);
    if (!srs_ok) return nullptr;
    ds->seekable_ = ds->source_->seekable();
    if (!ds->scan()) return nullptr;
    if (!attach_tins(*ds, info, ds->source_->passed_tins() > 0, ds->tins_, ds->tin_layers_)) return nullptr;
    return ds.release();
}

bool D12Dataset::scan() {
    std::unordered_map<std::string, std::size_t> by_model;
    std::vector<LayerScan> scans;
    bool layers_cut = false;
    StringRecord& s = record_;
    std::string scratch;
    // Only the range of the heights counts here: their extremes are made as written after the scan.
    source_->keep_raw_heights(true);
    for (;;) {
        const StringRecords::Step step = source_->next(s);
        if (step == StringRecords::Step::end) break;
        if (step == StringRecords::Step::stopped) {
            // What came before the damage is read; the damage is told once, here.
            stop_after_ = position_;
            report(CE_Warning, path_, source_->stop_line(),
                   source_->stop_text() + " The strings after this point are not read.");
            stop_reported_ = true;
            break;
        }
        position_ = s.number;
        StringEntry entry;
        entry.offset = s.offset;
        entry.line = s.line;
        if (s.x.empty()) {
            index_.add(entry);
            continue;
        }
        auto it = by_model.find(s.model);
        if (it == by_model.end()) {
            if (scans.size() == kMaxLayers) {
                if (!layers_cut) report(CE_Warning, path_, s.line, "more than " + std::to_string(kMaxLayers) +
                                                                        " models; the strings of the others are left out.");
                layers_cut = true;
                index_.add(entry);
                continue;
            }
            it = by_model.emplace(s.model, scans.size()).first;
            scans.emplace_back();
            LayerScan& l = scans.back();
            l.index = static_cast<std::uint32_t>(scans.size() - 1);
            l.model = s.model;
            models_.push_back(s.model);
            l.name = s.model.empty() ? std::string(CPLGetBasename(path_.c_str()))
                                     : layer_name_of_model(io::as_utf8(s.model, scratch));
            l.first = s.number;
        }
        LayerScan& l = scans[it->second];
        l.last = s.number;
        ++l.count;
        const bool point = is_point(s);
        (point ? l.points : l.lines) = true;
        l.heights = l.heights || s.has_heights;
        l.curves = l.curves || !s.radius.empty();
        if (s.has_heights && !l.null_gaps)
            l.null_gaps = std::any_of(s.z.begin(), s.z.end(), [](double z) { return std::isnan(z); });
        entry.layer = l.index;
        const OGREnvelope box = string_box(s.x.data(), s.y.data(), s.x.size(), s.radius.empty() ? nullptr : s.radius.data(),
                                           s.major.data(), arc_mode_);
        entry.box = {box.MinX, box.MinY, box.MaxX, box.MaxY};
        index_.add(entry);
        // The layer's plan extent is the union of its strings' boxes.
        OGREnvelope3D& e = l.extent;
        e.MinX = std::min(e.MinX, box.MinX);
        e.MaxX = std::max(e.MaxX, box.MaxX);
        e.MinY = std::min(e.MinY, box.MinY);
        e.MaxY = std::max(e.MaxY, box.MaxY);
        for (std::size_t i = 0; s.has_heights && i < s.z.size(); ++i) {
            if (s.z[i] == s.z[i]) {
                e.MinZ = std::min(e.MinZ, s.z[i]);
                e.MaxZ = std::max(e.MaxZ, s.z[i]);
            }
        }
        for (const Attribute& a : s.attributes) {
            const AttributeKind kind = kind_of(a);
            const std::string& name = io::as_utf8(a.name, scratch);
            std::string key = lower_ascii(name);
            const auto f = l.field_index.find(key);
            if (f != l.field_index.end()) {
                AttributeKind& k = l.fields[static_cast<std::size_t>(f->second)].kind;
                k = wider(k, kind);
            } else if (l.fields.size() < kMaxFields) {
                l.field_index.emplace(std::move(key), static_cast<int>(l.fields.size()));
                l.fields.push_back({name, kind});
            } else if (!l.fields_cut) {
                l.fields_cut = true;
                report(CE_Warning, path_, s.line,
                       "layer " + l.name + " has more than " + std::to_string(kMaxFields) +
                           " attribute names; the values of the others are left out.");
            }
        }
    }
    source_->keep_raw_heights(false);
    // The record of the last string scanned holds its heights as read: no layer may take it for a feature.
    record_.number = 0;
    for (LayerScan& l : scans) {
        OGREnvelope3D& e = l.extent;
        if (e.MinZ <= e.MaxZ) {
            e.MinZ = d12::height_as_written(static_cast<float>(e.MinZ));
            e.MaxZ = d12::height_as_written(static_cast<float>(e.MaxZ));
        }
        layers_.push_back(std::make_unique<D12Layer>(*this, std::move(l), interpolate_, null_height_));
        if (srs_) layers_.back()->GetLayerDefn()->GetGeomFieldDefn(0)->SetSpatialRef(srs_.get());
    }
    return true;
}

OGRLayer* D12Dataset::GetLayer(int i) {
    if (i < 0 || i >= GetLayerCount()) return nullptr;
    if (static_cast<std::size_t>(i) >= layers_.size()) return tin_layers_[static_cast<std::size_t>(i) - layers_.size()];
    return layers_[static_cast<std::size_t>(i)].get();
}

int D12Dataset::TestCapability(const char* cap) { return EQUAL(cap, ODsCZGeometries); }

void D12Dataset::report_stop() {
    if (stop_reported_) return;
    stop_reported_ = true;
    report(CE_Failure, path_, source_->stop_line(), source_->stop_text());
}

bool D12Dataset::read_after(std::uint64_t after, StringRecord& s) {
    if (position_ > after) {
        source_->rewind();
        position_ = 0;
        at_end_ = false;
    }
    while (!at_end_ && position_ < stop_after_) {
        const StringRecords::Step step = source_->next(s);
        if (step == StringRecords::Step::string) {
            position_ = s.number;
            if (s.number > after) return true;
            continue;
        }
        at_end_ = true;
        if (step == StringRecords::Step::stopped) report_stop();
    }
    return false;
}

bool D12Dataset::read_string(std::uint64_t number, StringRecord& s) {
    if (number == 0) return false;
    // The string read last is still in the record (a host that asks for one feature twice over).
    if (&s == &record_ && position_ == number && record_.number == number) return true;
    // Any string but the next one read is gone to where the first scan found it.
    StringEntry e;
    if (index_.find(number, e) && e.layer != kNoLayer && e.offset != kUnknownOffset &&
        (number != position_ + 1 || at_end_) && source_->seek(e.offset, e.line, models_[e.layer], number)) {
        position_ = number - 1;
        at_end_ = false;
    }
    return read_after(number - 1, s) && s.number == number;
}

}  // namespace velmorak::gdal12
