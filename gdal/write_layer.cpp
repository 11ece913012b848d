#include <cpl_conv.h>
#include <cpl_string.h>
#include <ogr_geometry.h>

#include <charconv>
#include <cmath>

#include "mif2d12/d12_writer.h"
#include "ogr_12da.h"
#include "tin_layer.h"
#include "deferred_delete.h"
#include "styles.h"
#include "text_output.h"

namespace velmorak::gdal12 {
namespace {

using mif2d12::AttributeType;

int field_named(const OGRFeatureDefn& defn, std::initializer_list<const char*> names) {
    for (int i = 0; i < defn.GetFieldCount(); ++i)
        for (const char* name : names)
            if (EQUAL(defn.GetFieldDefn(i)->GetNameRef(), name)) return i;
    return -1;
}

bool is_set(const OGRFeature& f, int field) {
    if (field < 0 || !f.IsFieldSetAndNotNull(field)) return false;
    const OGRFieldType type = f.GetFieldDefnRef(field)->GetType();
    return type != OFTString || f.GetFieldAsString(field)[0] != '\0';
}

std::string_view text_of(const OGRFeature& f, int field) {
    return is_set(f, field) ? std::string_view(f.GetFieldAsString(field)) : std::string_view();
}

void number_text(double v, std::string& out) {
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v);
    out.assign(text, r.ec == std::errc{} ? static_cast<std::size_t>(r.ptr - text) : 0);
}

// The type the layer reads back as: a string per line or ring, a one-vertex
// string per point, so polygons come back as lines and multi-parts as their
// parts; a layer of both, or of anything, as unknown. Heights stay.
OGRwkbGeometryType read_back_type(OGRwkbGeometryType type) {
    const OGRwkbGeometryType flat = wkbFlatten(type);
    OGRwkbGeometryType back = wkbUnknown;
    if (flat == wkbNone) return wkbNone;
    if (flat == wkbPoint || flat == wkbMultiPoint) back = wkbPoint;
    if (flat == wkbLineString || flat == wkbMultiLineString || flat == wkbPolygon || flat == wkbMultiPolygon)
        back = wkbLineString;
    return OGR_GT_HasZ(type) && back != wkbUnknown ? OGR_GT_SetZ(back) : back;
}

bool is_undefined(const OGRSpatialReference& srs) {
    const char* name = srs.GetName();
    return name != nullptr && (EQUAL(name, "Undefined geographic SRS") || EQUAL(name, "Undefined Cartesian SRS"));
}

}  // namespace

// ---------------------------------------------------------------- the dataset

GDALDataset* D12WriteDataset::create(const char* name, CSLConstList options) {
    const char* encoding = CSLFetchNameValueDef(options, "ENCODING", "UTF-8");
    TextOutput::Encoding e = TextOutput::Encoding::utf8;
    if (EQUAL(encoding, "UTF-16") || EQUAL(encoding, "UTF-16LE")) {
        e = TextOutput::Encoding::utf16;
    } else if (!EQUAL(encoding, "UTF-8")) {
        CPLError(CE_Failure, CPLE_NotSupported, "ENCODING=%s: the 12DA driver writes UTF-8 or UTF-16.", encoding);
        return nullptr;
    }
    // GDAL asked to delete an earlier file of this name first: it is replaced
    // only once the new one is whole, and stays as it was if the writing fails.
    take_back_deletion(name);
    carry_out_deletions();
    // A .12daz archive holds one .12da, named after the archive.
    const bool archive = EQUAL(CPLGetExtension(name), "12daz");
    const std::string member = archive ? std::string(CPLGetBasename(name)) + ".12da" : std::string();
    std::string why;
    auto out = TextOutput::create(name, e, member, why);
    if (!out) {
        report(CE_Failure, name, 0, why);
        return nullptr;
    }
    auto ds = std::make_unique<D12WriteDataset>();
    ds->path_ = name;
    ds->out_ = std::move(out);
    ds->SetDescription(name);
    mif2d12::append_null_line(ds->out_->buffer());
    return ds.release();
}

D12WriteDataset::~D12WriteDataset() {
    layers_.clear();
    if (!out_) return;
    if (!out_->close()) {
        if (!failed_) report(CE_Failure, path_, 0, out_->error());
    } else if (srs_ && !failed_) {
        // The file written whole: its CRS beside it, where the reader looks first.
        write_prj(path_, *srs_);
    }
}

void D12WriteDataset::note_srs(const char* layer, const OGRSpatialReference* srs) {
    // GeoPackage's "Undefined geographic SRS" and "Undefined Cartesian SRS" are its words for none.
    if (srs == nullptr || is_undefined(*srs)) return;
    if (!srs_) {
        srs_.reset(srs->Clone());
        return;
    }
    // A 12d file has one CRS, in its .prj.
    if (!srs_->IsSame(srs))
        CPLError(CE_Warning, CPLE_AppDefined,
                 "Layer %s is in another CRS than the layers before it; the file's .prj keeps theirs (%s).", layer,
                 srs_->GetName() != nullptr ? srs_->GetName() : "unnamed");
}

OGRLayer* D12WriteDataset::GetLayer(int i) {
    if (i < 0 || i >= GetLayerCount()) return nullptr;
    return layers_[static_cast<std::size_t>(i)].get();
}

int D12WriteDataset::TestCapability(const char* cap) {
    return EQUAL(cap, ODsCCreateLayer) || EQUAL(cap, ODsCZGeometries);
}

OGRLayer* D12WriteDataset::ICreateLayer(const char* name, OGRSpatialReference* srs, OGRwkbGeometryType type,
                                        char** options) {
    note_srs(name, srs);
    layers_.push_back(std::make_unique<D12WriteLayer>(*this, name, srs, type, options));
    return layers_.back().get();
}

TextOutput& D12WriteDataset::output(const std::string& model) {
    // Layers written in turn give their model line again, which readers join up.
    if (!has_model_ || model != model_) {
        mif2d12::append_model(out_->buffer(), model);
        model_ = model;
        has_model_ = true;
    }
    return *out_;
}

bool D12WriteDataset::commit() {
    if (failed_) return false;
    if (out_->commit()) return true;
    failed_ = true;
    report(CE_Failure, path_, 0, out_->error());
    return false;
}

// ---------------------------------------------------------------- the layer

D12WriteLayer::D12WriteLayer(D12WriteDataset& ds, const char* name, const OGRSpatialReference* srs,
                             OGRwkbGeometryType type, CSLConstList options)
    : ds_(ds),
      name_option_(CSLFetchNameValueDef(options, "NAME_FIELD", "")),
      colour_option_(CSLFetchNameValueDef(options, "COLOUR_FIELD", "")) {
    defn_ = new OGRFeatureDefn(name);
    defn_->Reference();
    defn_->SetGeomType(read_back_type(type));
    degrees_ = srs != nullptr && srs->IsGeographic() && !is_undefined(*srs);
    if (srs != nullptr && defn_->GetGeomFieldCount() > 0) {
        OGRSpatialReference* copy = srs->Clone();
        defn_->GetGeomFieldDefn(0)->SetSpatialRef(copy);
        copy->Release();
    }
    SetDescription(name);
}

D12WriteLayer::~D12WriteLayer() {
    // A layer of triangles is written as its TINs once it has them all (tin_writer.cpp).
    if (tins_) write_tins(*tins_, ds_);
    defn_->Release();
}

int D12WriteLayer::TestCapability(const char* cap) {
    return EQUAL(cap, OLCSequentialWrite) || EQUAL(cap, OLCCreateField) || EQUAL(cap, OLCStringsAsUTF8) ||
           EQUAL(cap, OLCZGeometries);
}

OGRErr D12WriteLayer::CreateField(OGRFieldDefn* field, int /*approx_ok*/) {
    defn_->AddFieldDefn(field);
    planned_ = false;
    return OGRERR_NONE;
}

void D12WriteLayer::plan_fields() {
    planned_ = true;
    const OGRFeatureDefn& defn = *defn_;
    auto chosen = [&](const std::string& option, const char* what, std::initializer_list<const char*> names) {
        if (option.empty()) return field_named(defn, names);
        const int i = defn.GetFieldIndex(option.c_str());
        if (i < 0)
            CPLError(CE_Warning, CPLE_AppDefined, "Layer %s has no field %s for the strings' %s.", defn.GetName(),
                     option.c_str(), what);
        return i;
    };
    name_field_ = chosen(name_option_, "names", {"name"});
    if (name_option_.empty() && name_field_ < 0) {
        for (int i = 0; i < defn.GetFieldCount() && name_field_ < 0; ++i)
            if (defn.GetFieldDefn(i)->GetType() == OFTString) name_field_ = i;
    }
    colour_field_ = chosen(colour_option_, "colours", {"colour", "color"});
    style_field_ = field_named(defn, {"style"});
    breakline_field_ = field_named(defn, {"breakline"});
    chainage_field_ = field_named(defn, {"chainage"});
    type_field_ = field_named(defn, {"type"});
    closed_field_ = field_named(defn, {"closed"});
    // A number field "closed" (the read driver's) says which lines ending on their start are closed strings.
    if (closed_field_ >= 0 && defn.GetFieldDefn(closed_field_)->GetType() != OFTInteger &&
        defn.GetFieldDefn(closed_field_)->GetType() != OFTInteger64)
        closed_field_ = -1;
    if (chainage_field_ >= 0 && defn.GetFieldDefn(chainage_field_)->GetType() != OFTReal &&
        defn.GetFieldDefn(chainage_field_)->GetType() != OFTInteger &&
        defn.GetFieldDefn(chainage_field_)->GetType() != OFTInteger64)
        chainage_field_ = -1;
    // Every other field is an attribute; "a/b" is attribute b of group a.
    attributes_ = Group{};
    for (int i = 0; i < defn.GetFieldCount(); ++i) {
        if (i == name_field_ || i == colour_field_ || i == style_field_ || i == breakline_field_ ||
            i == chainage_field_)
            continue;
        std::string_view path = defn.GetFieldDefn(i)->GetNameRef();
        Group* g = &attributes_;
        for (std::size_t slash = path.find('/'); slash != std::string_view::npos && slash > 0 && slash + 1 < path.size();
             slash = path.find('/')) {
            const std::string_view group = path.substr(0, slash);
            auto it = std::find_if(g->groups.begin(), g->groups.end(), [&](const Group& c) { return c.name == group; });
            if (it == g->groups.end()) {
                g->groups.push_back(Group{std::string(group), {}, {}});
                it = g->groups.end() - 1;
            }
            g = &*it;
            path.remove_prefix(slash + 1);
        }
        g->values.emplace_back(i, std::string(path));
    }
}

bool D12WriteLayer::has_values(const OGRFeature& f, const Group& g) const {
    for (const auto& [field, name] : g.values)
        if (is_set(f, field)) return true;
    for (const Group& child : g.groups)
        if (has_values(f, child)) return true;
    return false;
}

void D12WriteLayer::write_attributes(const OGRFeature& f, const Group& g, int depth) {
    std::string& b = ds_.output(defn_->GetName()).buffer();
    for (const auto& [field, name] : g.values) {
        if (!is_set(f, field)) continue;
        // The reader's own fields go back only where they tell more than the string itself does.
        if (&g == &attributes_ && field == type_field_ && EQUAL(f.GetFieldAsString(field), "super")) continue;
        if (&g == &attributes_ && field == closed_field_) continue;
        const OGRFieldDefn* defn = f.GetFieldDefnRef(field);
        switch (defn->GetType()) {
            case OFTInteger:
            case OFTInteger64:
                scratch_ = std::to_string(f.GetFieldAsInteger64(field));
                mif2d12::append_attribute(b, depth, AttributeType::integer, name, scratch_);
                break;
            case OFTReal: {
                const double v = f.GetFieldAsDouble(field);
                if (!std::isfinite(v)) break;
                number_text(v, scratch_);
                mif2d12::append_attribute(b, depth, AttributeType::real, name, scratch_);
                break;
            }
            default:
                mif2d12::append_attribute(b, depth, AttributeType::text, name, f.GetFieldAsString(field));
                break;
        }
    }
    for (const Group& child : g.groups) {
        if (!has_values(f, child)) continue;
        mif2d12::append_group_start(b, depth + 1, child.name);
        write_attributes(f, child, depth + 2);
        mif2d12::append_block_end(b, depth + 2);
        mif2d12::append_block_end(b, depth + 1);
    }
}

OGRErr D12WriteLayer::ICreateFeature(OGRFeature* feature) {
    if (!tins_checked_ && feature->GetGeometryRef() != nullptr) {
        tins_checked_ = true;
        tins_ = tin_collector_for(*defn_, *feature);
    }
    if (tins_) return add_to_tin(*tins_, *feature);
    if (!planned_) plan_fields();
    const OGRGeometry* geom = feature->GetGeometryRef();
    std::unique_ptr<OGRGeometry> linear;
    if (geom != nullptr && geom->hasCurveGeometry()) {
        linear.reset(geom->getLinearGeometry());
        geom = linear.get();
    }
    // Every part of the geometry is a string of its own: the points and lines
    // of a collection, each ring of a polygon (marked, as it closes itself).
    std::vector<std::pair<const OGRGeometry*, bool>> parts;
    std::vector<std::pair<const OGRGeometry*, bool>> todo;
    if (geom != nullptr) todo.emplace_back(geom, false);
    while (!todo.empty()) {
        const auto [g, ring] = todo.back();
        todo.pop_back();
        const OGRwkbGeometryType flat = wkbFlatten(g->getGeometryType());
        if (flat == wkbPolygon || flat == wkbTriangle) {
            const OGRPolygon* poly = g->toPolygon();
            for (int i = poly->getNumInteriorRings(); i >= 0; --i)
                todo.emplace_back(i == 0 ? poly->getExteriorRing() : poly->getInteriorRing(i - 1), true);
        } else if (flat == wkbPolyhedralSurface || flat == wkbTIN) {
            const auto* s = dynamic_cast<const OGRPolyhedralSurface*>(g);
            for (int i = s != nullptr ? s->getNumGeometries() - 1 : -1; i >= 0; --i)
                todo.emplace_back(s->getGeometryRef(i), false);
        } else if (OGR_GT_IsSubClassOf(flat, wkbGeometryCollection)) {
            const OGRGeometryCollection* c = g->toGeometryCollection();
            for (int i = c->getNumGeometries() - 1; i >= 0; --i) todo.emplace_back(c->getGeometryRef(i), false);
        } else if (!g->IsEmpty() && (flat == wkbPoint || flat == wkbLineString)) {
            parts.emplace_back(g, ring);
        }
    }
    if (geom == nullptr || parts.empty()) {
        if (!warned_empty_)
            CPLError(CE_Warning, CPLE_AppDefined,
                     "Layer %s: a feature without geometry, or with an empty one, is passed over (told once per "
                     "layer).",
                     defn_->GetName());
        warned_empty_ = true;
        return OGRERR_NONE;
    }
    for (const auto& [part, ring] : parts) {
        const OGRwkbGeometryType flat = wkbFlatten(part->getGeometryType());
        const bool ok = flat == wkbPoint ? write_part(*feature, nullptr, part->toPoint(), false)
                                         : write_part(*feature, part->toSimpleCurve(), nullptr, ring);
        if (!ok) return OGRERR_FAILURE;
    }
    return OGRERR_NONE;
}

bool D12WriteLayer::write_part(const OGRFeature& f, const OGRSimpleCurve* line, const OGRPoint* point, bool ring) {
    const bool heights = line != nullptr ? line->Is3D() : point->Is3D();
    int n = line != nullptr ? line->getNumPoints() : 1;
    // A ring ends on its first vertex: the string says it is closed instead.
    bool closed = false;
    if (line != nullptr && n > 2 && line->getX(0) == line->getX(n - 1) && line->getY(0) == line->getY(n - 1) &&
        (ring || (is_set(f, closed_field_) && f.GetFieldAsInteger(closed_field_) != 0))) {
        closed = true;
        --n;
    }
    mif2d12::SuperString s;
    s.name = text_of(f, name_field_);
    s.colour = text_of(f, colour_field_);
    // Without a colour field, the colour of the feature's style (a DXF's or MapInfo layer's pen).
    if (colour_field_ < 0) {
        style_colour_ = colour_of_style(f.GetStyleString());
        s.colour = style_colour_;
    }
    s.style = text_of(f, style_field_);
    s.breakline = text_of(f, breakline_field_);
    s.has_chainage = is_set(f, chainage_field_);
    s.chainage = s.has_chainage ? f.GetFieldAsDouble(chainage_field_) : 0.0;
    s.closed = closed;
    std::string& b = ds_.output(defn_->GetName()).buffer();
    mif2d12::append_super_start(b, s);
    if (has_values(f, attributes_)) {
        mif2d12::append_attributes_start(b, 1);
        write_attributes(f, attributes_, 1);
        mif2d12::append_block_end(b, 1);
    }
    mif2d12::append_data_start(b, heights);
    for (int i = 0; i < n; ++i) {
        const double x = line != nullptr ? line->getX(i) : point->getX();
        const double y = line != nullptr ? line->getY(i) : point->getY();
        // Told once, where the layer's first vertex is in degrees: a GeoJSON file says WGS 84 of any numbers.
        if (degrees_) {
            degrees_ = false;
            if (std::fabs(x) <= 360.0 && std::fabs(y) <= 90.0)
                CPLError(CE_Warning, CPLE_AppDefined,
                         "Layer %s is in degrees: 12d ASCII keeps 5 decimals of a coordinate, about 1 m in degrees. "
                         "Reproject it to a projected CRS (ogr2ogr -t_srs) to keep its precision.",
                         defn_->GetName());
        }
        if (heights)
            mif2d12::append_vertex(b, x, y, line != nullptr ? line->getZ(i) : point->getZ());
        else
            mif2d12::append_vertex(b, x, y);
        if (!ds_.commit()) return false;
    }
    mif2d12::append_super_end(b);
    return ds_.commit();
}

}  // namespace velmorak::gdal12
