// A layer of triangles written as 12d TINs: the driver's own TIN layers
// (POLYGON Z triangles with the fields tin and triangle), or any layer of
// TIN Z, triangle or polyhedral surface features, each read back as the TIN
// it was. Points are shared by their coordinates, so a triangulation comes
// back with each point once and its triangles as triples of point numbers.
// A layer's features are gathered per TIN (by the field tin, else the
// layer's name) and written when the layer ends, each TIN with the fields of
// its first feature as its attributes.
#include <cpl_string.h>
#include <ogr_geometry.h>

#include <cstring>
#include <unordered_map>

#include "d12/tin_writer.h"
#include "ogr_12da.h"
#include "tin_layer.h"

namespace velmorak::gdal12 {

namespace {

// The fields the driver's TIN layers give beside the attributes.
bool is_tin_field(const char* name) {
    return EQUAL(name, "tin") || EQUAL(name, "triangle") || EQUAL(name, "member") || EQUAL(name, "rank");
}

struct PointKey {
    double x, y, z;
    bool operator==(const PointKey& o) const noexcept {
        return std::memcmp(this, &o, sizeof *this) == 0;
    }
};
struct PointHash {
    std::size_t operator()(const PointKey& k) const noexcept {
        std::uint64_t h = 1469598103934665603ULL;
        const auto* bytes = reinterpret_cast<const unsigned char*>(&k);
        for (std::size_t i = 0; i < sizeof k; ++i) h = (h ^ bytes[i]) * 1099511628211ULL;
        return static_cast<std::size_t>(h);
    }
};

// The triangles of a geometry, each as its ring's first three points; false
// when some part is no triangle.
bool triangles_of(const OGRGeometry& g, std::vector<const OGRLinearRing*>& rings) {
    const OGRwkbGeometryType flat = wkbFlatten(g.getGeometryType());
    if (flat == wkbPolygon || flat == wkbTriangle) {
        const OGRPolygon* p = g.toPolygon();
        const OGRLinearRing* ring = p->getExteriorRing();
        if (p->getNumInteriorRings() != 0 || ring == nullptr || ring->getNumPoints() != 4) return false;
        rings.push_back(ring);
        return true;
    }
    if (flat == wkbTIN || flat == wkbPolyhedralSurface) {
        const auto* s = dynamic_cast<const OGRPolyhedralSurface*>(&g);
        if (s == nullptr) return false;
        for (int i = 0; i < s->getNumGeometries(); ++i)
            if (!triangles_of(*s->getGeometryRef(i), rings)) return false;
        return true;
    }
    if (flat == wkbMultiPolygon) {
        const OGRGeometryCollection* c = g.toGeometryCollection();
        for (int i = 0; i < c->getNumGeometries(); ++i)
            if (!triangles_of(*c->getGeometryRef(i), rings)) return false;
        return true;
    }
    return false;
}

}  // namespace

class TinCollector {
public:
    explicit TinCollector(std::string layer) : layer_(std::move(layer)) {}

    OGRErr add(const OGRFeature& f) {
        const OGRGeometry* g = f.GetGeometryRef();
        rings_.clear();
        if (g == nullptr || g->IsEmpty() || !triangles_of(*g, rings_)) {
            if (!warned_)
                CPLError(CE_Warning, CPLE_AppDefined,
                         "Layer %s: a feature whose geometry is no triangle is passed over in a TIN (told once per "
                         "layer).",
                         layer_.c_str());
            warned_ = true;
            return OGRERR_NONE;
        }
        const int name_field = f.GetFieldIndex("tin");
        const std::string name =
            name_field >= 0 && f.IsFieldSetAndNotNull(name_field) ? f.GetFieldAsString(name_field) : layer_;
        auto it = by_name_.find(name);
        if (it == by_name_.end()) {
            it = by_name_.emplace(name, groups_.size()).first;
            Group& group = groups_.emplace_back();
            group.tin.name = name;
            take_attributes(f, group.tin);
        }
        Group& group = groups_[it->second];
        for (const OGRLinearRing* ring : rings_) {
            d12::TinTriangle t{};
            for (int i = 0; i < 3; ++i) {
                const PointKey key{ring->getX(i), ring->getY(i), ring->Is3D() ? ring->getZ(i) : 0.0};
                const auto [at, added] = group.index.emplace(key, static_cast<std::uint32_t>(group.tin.points.size()));
                if (added) group.tin.points.push_back({key.x, key.y, key.z});
                t[static_cast<std::size_t>(i)] = at->second;
            }
            // Three points, one of them twice, are no triangle of a TIN.
            if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2]) continue;
            group.tin.triangles.push_back(t);
            group.tin.invisible.push_back(false);
        }
        return OGRERR_NONE;
    }

    bool write(D12WriteDataset& ds) {
        for (Group& g : groups_) {
            g.index.clear();
            if (!d12::append_tin(ds.surface_output().buffer(), g.tin, [&] { return ds.commit(); })) return false;
        }
        groups_.clear();
        return true;
    }

private:
    struct Group {
        d12::Tin tin;
        std::unordered_map<PointKey, std::uint32_t, PointHash> index;
    };

    static void take_attributes(const OGRFeature& f, d12::Tin& tin) {
        const OGRFeatureDefn* defn = f.GetDefnRef();
        for (int i = 0; i < defn->GetFieldCount(); ++i) {
            const OGRFieldDefn* field = defn->GetFieldDefn(i);
            if (is_tin_field(field->GetNameRef()) || !f.IsFieldSetAndNotNull(i)) continue;
            std::string name = field->GetNameRef();
            // The driver's name for an attribute named like one of its fields.
            if (name.rfind("attributes/", 0) == 0) name.erase(0, 11);
            const OGRFieldType type = field->GetType();
            const d12::AttributeType kind = type == OFTInteger || type == OFTInteger64 ? d12::AttributeType::integer
                                            : type == OFTReal                         ? d12::AttributeType::real
                                                                                      : d12::AttributeType::text;
            tin.attributes.push_back({name, kind, f.GetFieldAsString(i)});
        }
    }

    std::string layer_;
    std::vector<Group> groups_;
    std::unordered_map<std::string, std::size_t> by_name_;
    std::vector<const OGRLinearRing*> rings_;
    bool warned_ = false;
};

std::shared_ptr<TinCollector> tin_collector_for(const OGRFeatureDefn& defn, const OGRFeature& first) {
    const OGRGeometry* g = first.GetGeometryRef();
    if (g == nullptr) return nullptr;
    const OGRwkbGeometryType flat = wkbFlatten(g->getGeometryType());
    const bool surface = flat == wkbTIN || flat == wkbTriangle || flat == wkbPolyhedralSurface;
    const bool own_triangles =
        flat == wkbPolygon && g->Is3D() && defn.GetFieldIndex("tin") >= 0 && defn.GetFieldIndex("triangle") >= 0;
    if (!surface && !own_triangles) return nullptr;
    return std::make_shared<TinCollector>(defn.GetName());
}

OGRErr add_to_tin(TinCollector& tins, const OGRFeature& f) { return tins.add(f); }

bool write_tins(TinCollector& tins, D12WriteDataset& ds) { return tins.write(ds); }

TextOutput& D12WriteDataset::surface_output() { return *out_; }

}  // namespace velmorak::gdal12
