#include <cpl_string.h>
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>

#include "ogr_12da.h"
#include "styles.h"
#include "d12/null_heights.h"
#include "io/utf8_text.h"
#include "util/value_text.h"

namespace velmorak::gdal12 {
namespace {

using io::as_utf8;
using util::lower_ascii;
using util::parse_integer;
using util::parse_real;

// The string's own properties come first, in this order; its attributes follow.
enum FixedField { kName, kType, kColour, kStyle, kBreakline, kChainage, kClosed, kFixedFields };
constexpr const char* kFixedNames[kFixedFields] = {"name", "type", "colour", "style", "breakline", "chainage",
                                                   "closed"};

OGRFieldType field_type(AttributeKind kind) {
    switch (kind) {
        case AttributeKind::integer:
            return OFTInteger64;
        case AttributeKind::real:
            return OFTReal;
        case AttributeKind::text:
            break;
    }
    return OFTString;
}

OGRwkbGeometryType geometry_type(const LayerScan& l, ArcMode arcs) {
    // A layer with arcs read as curves gives each of its lines as a CompoundCurve.
    const OGRwkbGeometryType line = l.curves && arcs == ArcMode::curves ? wkbCompoundCurve : wkbLineString;
    const OGRwkbGeometryType flat = l.points && l.lines ? wkbUnknown : l.points ? wkbPoint : line;
    return l.heights ? OGR_GT_SetZ(flat) : flat;
}

// Where a layer holds strings with null heights among real ones, the count of
// heights filled in each follows the fixed fields.
constexpr const char* kNullHeights = "null_heights";

bool is_fixed_name(const std::string& lower, bool null_heights) {
    for (const char* name : kFixedNames)
        if (lower == name) return true;
    return null_heights && lower == kNullHeights;
}

}  // namespace

D12Layer::D12Layer(D12Dataset& ds, LayerScan scan, bool interpolate, double null_height)
    : ds_(ds), scan_(std::move(scan)), interpolate_(interpolate), null_height_(null_height) {
    defn_ = new OGRFeatureDefn(scan_.name.c_str());
    defn_->Reference();
    SetDescription(defn_->GetName());
    // What a null height reads as in a string with real ones.
    SetMetadataItem("NULL_HEIGHT", interpolate_             ? "INTERPOLATE"
                                   : std::isnan(null_height_) ? "NaN"
                                                              : CPLSPrintf("%.17g", null_height_));
    // The model's own name, which the layer's name may have had to change.
    if (!scan_.model.empty()) SetMetadataItem("MODEL", as_utf8(scan_.model, scratch_).c_str());
    defn_->SetGeomType(geometry_type(scan_, ds_.arc_mode()));
    for (int i = 0; i < kFixedFields; ++i) {
        OGRFieldDefn field(kFixedNames[i], i == kChainage ? OFTReal : i == kClosed ? OFTInteger : OFTString);
        if (i == kClosed) field.SetSubType(OFSTBoolean);
        defn_->AddFieldDefn(&field);
    }
    first_attribute_field_ = kFixedFields;
    if (interpolate_ && scan_.null_gaps) {
        OGRFieldDefn field(kNullHeights, OFTInteger);
        null_heights_field_ = first_attribute_field_++;
        defn_->AddFieldDefn(&field);
    }
    // An attribute named like one of the string's own properties keeps its
    // value under the name of the block it comes from.
    for (std::size_t i = 0; i < scan_.fields.size(); ++i) {
        LayerScan::Field& f = scan_.fields[i];
        if (is_fixed_name(lower_ascii(f.name), null_heights_field_ >= 0)) f.name = "attributes/" + f.name;
        OGRFieldDefn field(f.name.c_str(), field_type(f.kind));
        defn_->AddFieldDefn(&field);
    }
}

D12Layer::~D12Layer() { defn_->Release(); }

void D12Layer::ResetReading() { after_ = 0; }

PlanBox D12Layer::window() const noexcept {
    return {m_sFilterEnvelope.MinX, m_sFilterEnvelope.MinY, m_sFilterEnvelope.MaxX, m_sFilterEnvelope.MaxY};
}

OGRFeature* D12Layer::GetNextFeature() {
    StringRecord& s = ds_.record();
    // With a spatial filter, the strings whose box misses it are passed over unread.
    const bool boxes = m_poFilterGeom != nullptr;
    const PlanBox w = window();
    while (after_ < scan_.last) {
        // The layer's own strings only, found in the first scan's index.
        const std::uint64_t from = std::max(after_, scan_.first - 1);
        const std::uint64_t next = boxes ? ds_.index().next_meeting(from, scan_.index, w)
                                         : ds_.index().next_of_layer(from, scan_.index);
        if (next == 0 || !ds_.read_string(next, s)) {
            after_ = scan_.last;
            return nullptr;
        }
        after_ = s.number;
        if (s.x.empty() || s.model != scan_.model) continue;
        if (OGRFeature* f = translate(s, true)) return f;
    }
    return nullptr;
}

template <typename Take>
bool D12Layer::for_each_kept(Take take) {
    const PlanBox w = window();
    StringRecord& s = ds_.record();
    StringEntry e;
    for (std::uint64_t n = ds_.index().next_meeting(scan_.first - 1, scan_.index, w); n != 0;
         n = ds_.index().next_meeting(n, scan_.index, w)) {
        if (!ds_.index().find(n, e)) break;
        // Inside a rectangle, a string is kept whatever its line does.
        if (m_bFilterIsEnvelope && e.box.within(w)) {
            take(e.box);
            continue;
        }
        if (!ds_.read_string(n, s)) return false;
        if (s.x.empty() || s.model != scan_.model) continue;
        const std::unique_ptr<OGRFeature> f(translate(s, false));
        if (f != nullptr && FilterGeometry(f->GetGeometryRef())) take(e.box);
    }
    return true;
}

OGRFeature* D12Layer::GetFeature(GIntBig fid) {
    if (fid < 0 || static_cast<std::uint64_t>(fid) < scan_.first || static_cast<std::uint64_t>(fid) > scan_.last)
        return nullptr;
    StringEntry e;
    if (!ds_.index().find(static_cast<std::uint64_t>(fid), e) || e.layer != scan_.index) return nullptr;
    StringRecord& s = ds_.record();
    if (!ds_.read_string(static_cast<std::uint64_t>(fid), s) || s.x.empty() || s.model != scan_.model)
        return nullptr;
    return translate(s, false);
}

GIntBig D12Layer::GetFeatureCount(int force) {
    if (m_poAttrQuery != nullptr) return OGRLayer::GetFeatureCount(force);
    if (m_poFilterGeom == nullptr) return scan_.count;
    GIntBig count = 0;
    if (!for_each_kept([&](const PlanBox&) { ++count; })) return -1;
    return count;
}

// With a spatial filter, the extent is that of the strings it keeps, from
// their boxes. An attribute filter is not taken into account, as GDAL allows.
OGRErr D12Layer::GetExtent(OGREnvelope* extent, int /*force*/) {
    if (scan_.count == 0) return OGRERR_FAILURE;
    if (m_poFilterGeom == nullptr) {
        *extent = scan_.extent;
        return OGRERR_NONE;
    }
    OGREnvelope kept;
    const bool read = for_each_kept([&](const PlanBox& b) {
        kept.Merge(b.min_x, b.min_y);
        kept.Merge(b.max_x, b.max_y);
    });
    if (!read || !kept.IsInit()) return OGRERR_FAILURE;
    *extent = kept;
    return OGRERR_NONE;
}

OGRErr D12Layer::GetExtent(int geom_field, OGREnvelope* extent, int force) {
    if (geom_field == 0) return GetExtent(extent, force);
    return OGRLayer::GetExtent(geom_field, extent, force);
}

int D12Layer::TestCapability(const char* cap) {
    if (EQUAL(cap, OLCFastFeatureCount)) return m_poFilterGeom == nullptr && m_poAttrQuery == nullptr;
    if (EQUAL(cap, OLCFastGetExtent)) return TRUE;
    // Where the file can seek, a spatial filter reads only the strings whose box meets it.
    if (EQUAL(cap, OLCFastSpatialFilter)) return ds_.seekable();
    if (EQUAL(cap, OLCRandomRead)) return TRUE;
    if (EQUAL(cap, OLCStringsAsUTF8)) return TRUE;
    if (EQUAL(cap, OLCZGeometries)) return TRUE;
    return FALSE;
}

OGRFeature* D12Layer::translate(const StringRecord& s, bool filtered) {
    auto f = std::make_unique<OGRFeature>(defn_);
    f->SetFID(static_cast<GIntBig>(s.number));
    const double* z = s.has_heights ? s.z.data() : nullptr;
    std::size_t filled = 0;
    if (z == nullptr || std::none_of(s.z.begin(), s.z.end(), [](double h) { return std::isnan(h); })) {
        // Nothing to fill or put in: the record's heights as they are.
    } else if (interpolate_) {
        z_.assign(s.z.begin(), s.z.end());
        filled = d12::fill_null_heights(s.x.data(), s.y.data(), z_.data(), z_.size());
        z = z_.data();
    } else if (!std::isnan(null_height_)) {
        z_.assign(s.z.begin(), s.z.end());
        for (double& h : z_)
            if (std::isnan(h)) h = null_height_;
        z = z_.data();
    }
    if (is_point(s)) {
        f->SetGeometryDirectly(z != nullptr ? new OGRPoint(s.x[0], s.y[0], z[0]) : new OGRPoint(s.x[0], s.y[0]));
    } else if (!s.radius.empty() || (scan_.curves && ds_.arc_mode() == ArcMode::curves)) {
        f->SetGeometryDirectly(arc_geometry(s.x.data(), s.y.data(), z, s.x.size(),
                                            s.radius.empty() ? nullptr : s.radius.data(),
                                            s.radius.empty() ? nullptr : s.major.data(), ds_.arc_mode(),
                                            ds_.arc_tolerance()));
    } else {
        auto* line = new OGRLineString();
        line->setPoints(static_cast<int>(s.x.size()), s.x.data(), s.y.data(), z);
        f->SetGeometryDirectly(line);
    }
    f->GetGeometryRef()->assignSpatialReference(defn_->GetGeomFieldDefn(0)->GetSpatialRef());
    set_fields(*f, s);
    // The colour as a pen, which QGIS and GDAL's writers of styles (DXF, MapInfo, KML) draw with.
    if (!s.colour.empty()) {
        const std::string style = pen_style(as_utf8(s.colour, scratch_));
        if (!style.empty()) f->SetStyleString(style.c_str());
    }
    if (null_heights_field_ >= 0) f->SetField(null_heights_field_, static_cast<int>(filled));
    if (filtered && ((m_poFilterGeom != nullptr && !FilterGeometry(f->GetGeometryRef())) ||
                     (m_poAttrQuery != nullptr && !m_poAttrQuery->Evaluate(f.get()))))
        return nullptr;
    return f.release();
}

void D12Layer::set_fields(OGRFeature& f, const StringRecord& s) {
    std::string& scratch = scratch_;
    auto text = [&](int field, const std::string& value) {
        if (!value.empty()) f.SetField(field, as_utf8(value, scratch).c_str());
    };
    text(kName, s.name);
    text(kType, s.type);
    text(kColour, s.colour);
    text(kStyle, s.style);
    text(kBreakline, s.breakline);
    if (s.has_chainage) f.SetField(kChainage, s.chainage);
    f.SetField(kClosed, s.closed ? 1 : 0);
    for (std::size_t i = 0; i < s.attributes.size(); ++i) {
        const Attribute& a = s.attributes[i];
        // The strings of a layer mostly name their attributes alike, in the same order.
        if (i >= attribute_field_.size()) attribute_field_.resize(i + 1);
        auto& [name, index] = attribute_field_[i];
        if (name != a.name) {
            const auto it = scan_.field_index.find(lower_ascii(as_utf8(a.name, scratch)));
            name = a.name;
            index = it == scan_.field_index.end() ? -1 : it->second;
        }
        if (index < 0) continue;
        const int field = first_attribute_field_ + index;
        switch (scan_.fields[static_cast<std::size_t>(index)].kind) {
            case AttributeKind::integer: {
                std::int64_t v = 0;
                if (parse_integer(a.value, v)) f.SetField(field, static_cast<GIntBig>(v));
                break;
            }
            case AttributeKind::real: {
                double v = 0.0;
                if (parse_real(a.value, v)) f.SetField(field, v);
                break;
            }
            case AttributeKind::text:
                f.SetField(field, as_utf8(a.value, scratch).c_str());
                break;
        }
    }
}

}  // namespace velmorak::gdal12
