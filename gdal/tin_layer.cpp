#include "tin_layer.h"

#include <cpl_string.h>
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>

#include "d12/tin_records.h"
#include "io/utf8_text.h"
#include "ogr_12da.h"
#include "util/value_text.h"
#include "vsi_source.h"

namespace velmorak::gdal12 {
namespace {

using d12::Tin;
using d12::TinKind;

OGRFieldType field_type(d12::AttributeType type) {
    switch (type) {
        case d12::AttributeType::integer: return OFTInteger64;
        case d12::AttributeType::real: return OFTReal;
        case d12::AttributeType::text: break;
    }
    return OFTString;
}

OGRPoint point_of(const Tin& tin, std::uint32_t k) {
    const d12::TinPoint& p = tin.points[k];
    return OGRPoint(p.x, p.y, p.z);
}

// One triangle as a polygon: its three points in the file's order, closed.
OGRPolygon* triangle_polygon(const Tin& tin, const d12::TinTriangle& t) {
    auto* ring = new OGRLinearRing();
    ring->setNumPoints(4);
    for (int i = 0; i < 4; ++i) {
        const d12::TinPoint& p = tin.points[t[i % 3]];
        ring->setPoint(i, p.x, p.y, p.z);
    }
    auto* polygon = new OGRPolygon();
    polygon->addRingDirectly(ring);
    return polygon;
}

OGRTriangulatedSurface* surface_of(const Tin& tin) {
    auto* surface = new OGRTriangulatedSurface();
    for (std::size_t t = 0; t < tin.triangles.size(); ++t) {
        if (tin.invisible[t]) continue;
        const d12::TinTriangle& k = tin.triangles[t];
        OGRTriangle triangle(point_of(tin, k[0]), point_of(tin, k[1]), point_of(tin, k[2]));
        surface->addGeometry(&triangle);
    }
    surface->set3D(TRUE);
    return surface;
}

class TinLayer final : public OGRLayer {
public:
    TinLayer(TinSet& set, const TinScan& scan) : set_(set), scan_(scan), members_(find_members(set, scan)) {
        defn_ = new OGRFeatureDefn(scan_.layer.c_str());
        defn_->Reference();
        SetDescription(defn_->GetName());
        const bool triangles = set_.geometry() == TinGeometry::triangles;
        defn_->SetGeomType(triangles ? wkbPolygon25D : wkbTINZ);
        add_field("tin", OFTString);
        if (super()) {
            member_field_ = add_field("member", OFTString);
            rank_field_ = add_field("rank", OFTInteger);
        }
        if (triangles) triangle_field_ = add_field("triangle", OFTInteger);
        first_attribute_ = defn_->GetFieldCount();
        // An attribute named like one of the layer's own fields keeps its
        // value under the name of the block it comes from.
        for (const d12::StringAttribute& a : scan_.attributes) {
            std::string name = a.name;
            if (defn_->GetFieldIndex(name.c_str()) >= 0) name = "attributes/" + name;
            attribute_fields_.push_back(add_field(name.c_str(), field_type(a.type)));
        }
    }
    ~TinLayer() override { defn_->Release(); }

    void ResetReading() override {
        member_ = 0;
        next_ = 0;
        fid_ = 0;
    }

    OGRFeature* GetNextFeature() override {
        for (;;) {
            if (!current()) return nullptr;
            OGRFeature* f = nullptr;
            if (set_.geometry() == TinGeometry::tin) {
                if (next_ > 0) {
                    step_member();
                    continue;
                }
                next_ = 1;
                f = feature(nullptr);
            } else {
                while (next_ < tin_.triangles.size() && tin_.invisible[next_]) ++next_;
                if (next_ >= tin_.triangles.size()) {
                    step_member();
                    continue;
                }
                f = feature(&tin_.triangles[next_]);
                ++next_;
            }
            if ((m_poFilterGeom == nullptr || FilterGeometry(f->GetGeometryRef())) &&
                (m_poAttrQuery == nullptr || m_poAttrQuery->Evaluate(f)))
                return f;
            delete f;
        }
    }

    GIntBig GetFeatureCount(int force) override {
        if (m_poFilterGeom != nullptr || m_poAttrQuery != nullptr) return OGRLayer::GetFeatureCount(force);
        GIntBig n = 0;
        for (const TinScan* m : members_)
            n += set_.geometry() == TinGeometry::tin ? 1 : static_cast<GIntBig>(m->visible);
        return n;
    }

    // With a spatial filter, the extent is that of the triangles it keeps, as
    // the string layers give theirs.
    OGRErr GetExtent(OGREnvelope* extent, int force) override {
        if (m_poFilterGeom != nullptr) return OGRLayer::GetExtent(extent, force);
        OGREnvelope e;
        for (const TinScan* m : members_)
            if (m->points > 0) e.Merge(m->extent);
        if (!e.IsInit()) return OGRERR_FAILURE;
        *extent = e;
        return OGRERR_NONE;
    }
    OGRErr GetExtent(int geom_field, OGREnvelope* extent, int force) override {
        if (geom_field == 0) return GetExtent(extent, force);
        return OGRLayer::GetExtent(geom_field, extent, force);
    }

    OGRFeatureDefn* GetLayerDefn() override { return defn_; }

    int TestCapability(const char* cap) override {
        if (EQUAL(cap, OLCFastFeatureCount)) return m_poFilterGeom == nullptr && m_poAttrQuery == nullptr;
        if (EQUAL(cap, OLCFastGetExtent)) return TRUE;
        if (EQUAL(cap, OLCStringsAsUTF8)) return TRUE;
        if (EQUAL(cap, OLCZGeometries)) return TRUE;
        return FALSE;
    }

private:
    bool super() const noexcept { return scan_.kind == TinKind::super_tin; }

    int add_field(const char* name, OGRFieldType type) {
        OGRFieldDefn field(name, type);
        defn_->AddFieldDefn(&field);
        return defn_->GetFieldCount() - 1;
    }

    // The surfaces whose triangles the layer gives: the surface itself, or a
    // super TIN's members that the file holds, lowest rank first. The set's
    // scans are all made before any layer, so the pointers stay valid.
    static std::vector<const TinScan*> find_members(const TinSet& set, const TinScan& scan) {
        if (scan.kind != TinKind::super_tin) return {&scan};
        std::vector<const TinScan*> found;
        for (const std::string& name : scan.members)
            if (const TinScan* m = set.find(name)) found.push_back(m);
        return found;
    }

    // The surface being read is in tin_: false when none is left.
    bool current() {
        while (member_ < members_.size()) {
            const TinScan* m = members_[member_];
            if (loaded_ == m->ordinal + 1) return true;
            if (set_.load(m->ordinal, tin_)) {
                loaded_ = m->ordinal + 1;
                rank_ = rank_of(m->name);
                return true;
            }
            ++member_;
        }
        return false;
    }

    int rank_of(const std::string& name) const {
        for (std::size_t i = 0; i < scan_.members.size(); ++i)
            if (scan_.members[i] == name) return static_cast<int>(i) + 1;
        return 0;
    }

    void step_member() {
        ++member_;
        next_ = 0;
    }

    OGRFeature* feature(const d12::TinTriangle* t) {
        auto* f = new OGRFeature(defn_);
        f->SetFID(++fid_);
        f->SetField(0, scan_.name.c_str());
        if (super()) {
            const TinScan* m = members_[member_];
            f->SetField(member_field_, m->name.c_str());
            f->SetField(rank_field_, rank_);
        }
        if (t != nullptr) {
            // The triangle's number among the file's triangles of its surface, visible or not.
            f->SetField(triangle_field_, static_cast<int>(t - tin_.triangles.data()) + 1);
            f->SetFID(super() ? fid_ : static_cast<GIntBig>(t - tin_.triangles.data()) + 1);
            f->SetGeometryDirectly(triangle_polygon(tin_, *t));
        } else {
            f->SetGeometryDirectly(surface_of(tin_));
        }
        for (std::size_t i = 0; i < scan_.attributes.size(); ++i) {
            const d12::StringAttribute& a = scan_.attributes[i];
            const int field = attribute_fields_[i];
            std::int64_t integer = 0;
            double real = 0.0;
            if (a.type == d12::AttributeType::integer && util::parse_integer(a.value, integer))
                f->SetField(field, static_cast<GIntBig>(integer));
            else if (a.type == d12::AttributeType::real && util::parse_real(a.value, real))
                f->SetField(field, real);
            else if (a.type == d12::AttributeType::text)
                f->SetField(field, a.value.c_str());
        }
        return f;
    }

    TinSet& set_;
    const TinScan& scan_;
    std::vector<const TinScan*> members_;
    OGRFeatureDefn* defn_;
    int member_field_ = -1;
    int rank_field_ = -1;
    int triangle_field_ = -1;
    int first_attribute_ = 0;
    std::vector<int> attribute_fields_;
    Tin tin_;
    std::size_t loaded_ = 0;  // the ordinal + 1 of the surface in tin_; 0 for none
    int rank_ = 0;
    std::size_t member_ = 0;  // the member being read
    std::size_t next_ = 0;    // its next triangle
    GIntBig fid_ = 0;
};

// A surface's layer is named after it and its model; a name another layer
// has already gets a number.
std::string layer_name(const TinScan& t, std::vector<std::string>& taken) {
    std::string base = t.name.empty() ? std::string(d12::tin_kind_word(t.kind)) : t.name;
    if (!t.model.empty()) base += " (" + t.model + ")";
    std::string name = base;
    for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n)
        name = base + " (" + std::to_string(n) + ")";
    taken.push_back(name);
    return name;
}

}  // namespace

bool tin_geometry_option(CSLConstList options, TinGeometry& geometry) {
    const char* value = CSLFetchNameValueDef(options, "TIN_GEOMETRY", "TRIANGLES");
    if (EQUAL(value, "TRIANGLES"))
        geometry = TinGeometry::triangles;
    else if (EQUAL(value, "TIN"))
        geometry = TinGeometry::tin;
    else if (EQUAL(value, "NONE"))
        geometry = TinGeometry::none;
    else {
        CPLError(CE_Failure, CPLE_IllegalArg, "TIN_GEOMETRY=%s: TRIANGLES, TIN or NONE is needed.", value);
        return false;
    }
    return true;
}

TinSet::TinSet(std::string path, TinGeometry geometry, std::vector<std::string> taken)
    : path_(std::move(path)), geometry_(geometry) {
    std::string why;
    const std::unique_ptr<d12::TinRecords> records = d12::TinRecords::open(path_, why, open_vsi_source);
    if (!records) {
        report(CE_Warning, path_, 0, why + " Its surfaces are not read.");
        return;
    }
    Tin tin;
    std::string scratch;
    for (std::size_t ordinal = 0;; ++ordinal) {
        const d12::TinRecords::Step step = records->next(tin);
        if (step == d12::TinRecords::Step::end) break;
        if (step == d12::TinRecords::Step::stopped) {
            report(CE_Warning, path_, records->stop_line(),
                   records->stop_text() + " The surfaces after this point are not read.");
            break;
        }
        TinScan& t = tins_.emplace_back();
        t.kind = tin.kind;
        t.ordinal = ordinal;
        t.name = io::as_utf8(tin.name, scratch);
        t.model = io::as_utf8(tin.model, scratch);
        t.line = tin.line;
        t.points = tin.points.size();
        t.triangles = tin.triangles.size();
        t.visible = tin.visible_count();
        for (const d12::TinPoint& p : tin.points) {
            t.extent.MinX = std::min(t.extent.MinX, p.x);
            t.extent.MaxX = std::max(t.extent.MaxX, p.x);
            t.extent.MinY = std::min(t.extent.MinY, p.y);
            t.extent.MaxY = std::max(t.extent.MaxY, p.y);
            if (!std::isnan(p.z)) {
                t.extent.MinZ = std::min(t.extent.MinZ, p.z);
                t.extent.MaxZ = std::max(t.extent.MaxZ, p.z);
            }
        }
        for (const d12::StringAttribute& a : tin.attributes) {
            // One field a name: the first value of a name that comes twice is kept.
            const std::string name = io::as_utf8(a.name, scratch);
            if (std::any_of(t.attributes.begin(), t.attributes.end(),
                            [&](const d12::StringAttribute& b) { return EQUAL(b.name.c_str(), name.c_str()); }))
                continue;
            t.attributes.push_back({name, a.type, io::as_utf8(a.value, scratch)});
        }
        for (const std::string& m : tin.members) t.members.push_back(io::as_utf8(m, scratch));
    }
    if (geometry_ == TinGeometry::none) return;
    for (TinScan& t : tins_) {
        t.layer = layer_name(t, taken);
        layers_.push_back(std::make_unique<TinLayer>(*this, t));
    }
}

TinSet::~TinSet() = default;

bool TinSet::load(std::size_t ordinal, Tin& tin) {
    std::string why;
    const std::unique_ptr<d12::TinRecords> records = d12::TinRecords::open(path_, why, open_vsi_source);
    if (!records) {
        report(CE_Failure, path_, 0, why);
        return false;
    }
    for (std::size_t k = 0;; ++k) {
        const d12::TinRecords::Step step = records->next(tin);
        if (step == d12::TinRecords::Step::stopped) {
            report(CE_Failure, path_, records->stop_line(), records->stop_text());
            return false;
        }
        if (step == d12::TinRecords::Step::end) {
            report(CE_Failure, path_, 0, "the file has changed since it was opened: a surface is missing.");
            return false;
        }
        if (k == ordinal) return true;
    }
}

const TinScan* TinSet::find(const std::string& name, bool super_too) const {
    for (const TinScan& t : tins_)
        if (t.name == name && (super_too || t.kind != TinKind::super_tin)) return &t;
    return nullptr;
}

void TinSet::add_subdatasets(CPLStringList& list, int first) const {
    int n = first;
    for (const TinScan& t : tins_) {
        const std::string name = std::string("12DA:\"") + path_ + "\":\"" + t.name + "\"";
        list.SetNameValue(CPLSPrintf("SUBDATASET_%d_NAME", n), name.c_str());
        list.SetNameValue(CPLSPrintf("SUBDATASET_%d_DESC", n),
                          CPLSPrintf("%s \"%s\"%s%s", t.kind == TinKind::super_tin ? "Super TIN" : "TIN",
                                     t.name.c_str(), t.model.empty() ? "" : " in model ", t.model.c_str()));
        ++n;
    }
}

bool attach_tins(GDALDataset& ds, GDALOpenInfo* info, bool has_tins, std::shared_ptr<TinSet>& set,
                 std::vector<OGRLayer*>& layers) {
    TinGeometry geometry = TinGeometry::triangles;
    if (!tin_geometry_option(info->papszOpenOptions, geometry)) return false;
    const bool vector = (info->nOpenFlags & GDAL_OF_VECTOR) != 0;
    const bool raster = (info->nOpenFlags & GDAL_OF_RASTER) != 0;
    if (!has_tins) return vector;
    // Nothing of the surfaces is asked for: they are not read.
    if (!raster && geometry == TinGeometry::none) return true;
    std::vector<std::string> taken;
    for (int i = 0; i < ds.GetLayerCount(); ++i) taken.emplace_back(ds.GetLayer(i)->GetName());
    set = std::make_shared<TinSet>(info->pszFilename, vector ? geometry : TinGeometry::none, std::move(taken));
    for (int i = 0; i < set->layer_count(); ++i) layers.push_back(set->layer(i));
    if (set->tins().empty()) return vector;
    // Listed to programs that look for rasters (gdalinfo, QGIS's raster
    // layers): a vector listing (ogrinfo) shows the layers alone.
    if (!raster) return true;
    CPLStringList list;
    set->add_subdatasets(list, 1);
    ds.SetMetadata(list.List(), "SUBDATASETS");
    return true;
}

}  // namespace velmorak::gdal12
