// A surface of a 12d ASCII file as an elevation raster: the subdataset
// 12DA:"path":"surface" of the file, one Float32 band, linear within each of
// the surface's visible triangles (the plane through its three points, so
// exact at the points) and nodata elsewhere. A super TIN's cell takes the
// highest-rank member that covers it: the members are drawn lowest rank
// first, each over the ones before.
//
// Cells are square. Their size is the open option RESOLUTION, by default
// about a thousandth of the surface's longer side (the next step of 1, 2, 5
// times a power of ten); their centres lie on multiples of it, so that a
// survey's points on a round grid fall on cell centres. EXTENT=minx,miny,maxx,maxy
// sets the area, by default the surface's points.
//
// The band is computed a band of rows at a time when GDAL asks for it:
// opening sorts the triangles into the bands of rows they cross, and a band
// is drawn triangle by triangle, each over the rows of its own box (scan
// lines), never by searching for the triangle of each cell.
#include <cpl_string.h>
#include <gdal_priv.h>

#include <algorithm>
#include <cmath>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "d12/tin_records.h"
#include "io/utf8_text.h"
#include "ogr_12da.h"
#include "tin_layer.h"
#include "vsi_source.h"

namespace velmorak::gdal12 {
namespace {

using d12::Tin;

constexpr double kNoData = -9999.0;
constexpr const char* kPrefix = "12DA:";

// "12DA:"path":"name"" into its path and name; the quotes may be left out
// of the name (a path with colons needs its quotes).
bool split_name(const char* full, std::string& path, std::string& name) {
    std::string_view s(full);
    if (s.size() < 5 || !EQUALN(full, kPrefix, 5)) return false;
    s.remove_prefix(5);
    if (!s.empty() && s.front() == '"') {
        const std::size_t end = s.find('"', 1);
        if (end == std::string_view::npos) return false;
        path.assign(s.substr(1, end - 1));
        s.remove_prefix(end + 1);
    } else {
        const std::size_t colon = s.find(':');
        if (colon == std::string_view::npos) return false;
        path.assign(s.substr(0, colon));
        s.remove_prefix(colon);
    }
    if (s.empty() || s.front() != ':') return false;
    s.remove_prefix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    name.assign(s);
    return !path.empty();
}

// The next step of 1, 2 and 5 times a power of ten at or above `size`.
double step_125(double size) {
    if (!(size > 0.0)) return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(size)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= size * (1.0 - 1e-12)) return m * power;
    return 10.0 * power;
}

struct Grid {
    double x0 = 0.0;  // the centre of column 0
    double y0 = 0.0;  // the centre of row 0 (the top row)
    double cell = 1.0;
    int width = 0;
    int height = 0;
};

class TinRasterDataset;

class TinBand final : public GDALRasterBand {
public:
    TinBand(TinRasterDataset& ds, int block_rows);
    double GetNoDataValue(int* success) override {
        if (success != nullptr) *success = TRUE;
        return kNoData;
    }

protected:
    CPLErr IReadBlock(int x_block, int y_block, void* image) override;
};

class TinRasterDataset final : public GDALDataset {
public:
    static GDALDataset* open(GDALOpenInfo* info);

    CPLErr GetGeoTransform(double* t) override {
        t[0] = grid_.x0 - grid_.cell / 2;
        t[1] = grid_.cell;
        t[2] = 0.0;
        t[3] = grid_.y0 + grid_.cell / 2;
        t[4] = 0.0;
        t[5] = -grid_.cell;
        return CE_None;
    }

    // Draws rows [first, first + rows) into `out` (rows x width values).
    void draw(int first, int rows, float* out) const;

private:
    friend class TinBand;
    void sort_into_bands(int block_rows);
    void draw_triangle(const Tin& tin, const d12::TinTriangle& t, int first, int rows, float* out) const;

    Grid grid_;
    std::vector<Tin> members_;  // lowest rank first; one for a plain surface
    // For each member, for each band of rows, the triangles that cross it.
    std::vector<std::vector<std::vector<std::uint32_t>>> bands_;
    int block_rows_ = 1;
};

TinBand::TinBand(TinRasterDataset& ds, int block_rows) {
    poDS = &ds;
    nBand = 1;
    eDataType = GDT_Float32;
    nBlockXSize = ds.GetRasterXSize();
    nBlockYSize = block_rows;
}

CPLErr TinBand::IReadBlock(int, int y_block, void* image) {
    auto& ds = static_cast<TinRasterDataset&>(*poDS);
    ds.draw(y_block * nBlockYSize, nBlockYSize, static_cast<float*>(image));
    return CE_None;
}

void TinRasterDataset::sort_into_bands(int block_rows) {
    block_rows_ = block_rows;
    const int count = (grid_.height + block_rows - 1) / block_rows;
    bands_.assign(members_.size(), std::vector<std::vector<std::uint32_t>>(static_cast<std::size_t>(count)));
    for (std::size_t m = 0; m < members_.size(); ++m) {
        const Tin& tin = members_[m];
        for (std::size_t t = 0; t < tin.triangles.size(); ++t) {
            if (tin.invisible[t]) continue;
            const d12::TinTriangle& k = tin.triangles[t];
            double ymin = tin.points[k[0]].y;
            double ymax = ymin;
            for (int i = 1; i < 3; ++i) {
                ymin = std::min(ymin, tin.points[k[i]].y);
                ymax = std::max(ymax, tin.points[k[i]].y);
            }
            // Rows whose centres lie within the triangle's span of y.
            const double top = std::ceil((grid_.y0 - ymax) / grid_.cell - 1e-9);
            const double bottom = std::floor((grid_.y0 - ymin) / grid_.cell + 1e-9);
            if (bottom < 0 || top >= grid_.height || top > bottom) continue;
            const int r0 = static_cast<int>(std::max(top, 0.0));
            const int r1 = static_cast<int>(std::min(bottom, static_cast<double>(grid_.height - 1)));
            for (int b = r0 / block_rows; b <= r1 / block_rows; ++b)
                bands_[m][static_cast<std::size_t>(b)].push_back(static_cast<std::uint32_t>(t));
        }
    }
}

void TinRasterDataset::draw(int first, int rows, float* out) const {
    std::fill(out, out + static_cast<std::size_t>(rows) * static_cast<std::size_t>(grid_.width),
              static_cast<float>(kNoData));
    const auto band = static_cast<std::size_t>(first / block_rows_);
    for (std::size_t m = 0; m < members_.size(); ++m) {
        if (band >= bands_[m].size()) continue;
        for (const std::uint32_t t : bands_[m][band]) draw_triangle(members_[m], members_[m].triangles[t], first, rows, out);
    }
}

// The plane through the triangle's points, over the cells whose centres lie
// in it (on its edges too: a neighbour's plane agrees there), row by row.
void TinRasterDataset::draw_triangle(const Tin& tin, const d12::TinTriangle& t, int first, int rows,
                                     float* out) const {
    const d12::TinPoint& a = tin.points[t[0]];
    const d12::TinPoint& b = tin.points[t[1]];
    const d12::TinPoint& c = tin.points[t[2]];
    if (std::isnan(a.z) || std::isnan(b.z) || std::isnan(c.z)) return;
    const double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
    if (det == 0.0) return;  // its points on one line: no area to fill
    const double dzdx = ((b.z - a.z) * (c.y - a.y) - (c.z - a.z) * (b.y - a.y)) / det;
    const double dzdy = ((b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z)) / det;
    const double ymin = std::min({a.y, b.y, c.y});
    const double ymax = std::max({a.y, b.y, c.y});
    const double cell = grid_.cell;
    const double eps = 1e-9;
    const int r0 = std::max(first, static_cast<int>(std::ceil((grid_.y0 - ymax) / cell - eps)));
    const int r1 = std::min(first + rows - 1, static_cast<int>(std::floor((grid_.y0 - ymin) / cell + eps)));
    const d12::TinPoint* p[3] = {&a, &b, &c};
    const double tolerance = eps * cell;
    for (int r = r0; r <= r1; ++r) {
        const double y = grid_.y0 - r * cell;
        double xl = HUGE_VAL;
        double xr = -HUGE_VAL;
        for (int e = 0; e < 3; ++e) {
            const d12::TinPoint& u = *p[e];
            const d12::TinPoint& v = *p[(e + 1) % 3];
            const double lo = std::min(u.y, v.y);
            const double hi = std::max(u.y, v.y);
            if (y < lo - tolerance || y > hi + tolerance) continue;
            if (u.y == v.y) {
                xl = std::min({xl, u.x, v.x});
                xr = std::max({xr, u.x, v.x});
            } else {
                const double s = std::clamp((y - u.y) / (v.y - u.y), 0.0, 1.0);
                const double x = u.x + s * (v.x - u.x);
                xl = std::min(xl, x);
                xr = std::max(xr, x);
            }
        }
        if (xl > xr) continue;
        const int c0 = std::max(0, static_cast<int>(std::ceil((xl - grid_.x0) / cell - eps)));
        const int c1 = std::min(grid_.width - 1, static_cast<int>(std::floor((xr - grid_.x0) / cell + eps)));
        float* row = out + static_cast<std::size_t>(r - first) * static_cast<std::size_t>(grid_.width);
        const double base = a.z + dzdy * (y - a.y);
        for (int col = c0; col <= c1; ++col)
            row[col] = static_cast<float>(base + dzdx * (grid_.x0 + col * cell - a.x));
    }
}

// The surface named `name` and, for a super TIN, its members, read from the file.
bool read_surface(const std::string& path, const std::string& name, std::vector<Tin>& members) {
    std::string why;
    const std::unique_ptr<d12::TinRecords> records = d12::TinRecords::open(path, why, open_vsi_source);
    if (!records) {
        report(CE_Failure, path, 0, why);
        return false;
    }
    // Every surface up to the one wanted, and for a super TIN all of them:
    // its members may stand before or after it.
    std::vector<Tin> all;
    std::string scratch;
    std::size_t wanted_at = SIZE_MAX;
    for (Tin tin;; tin = Tin{}) {
        const d12::TinRecords::Step step = records->next(tin);
        if (step == d12::TinRecords::Step::stopped) {
            report(CE_Failure, path, records->stop_line(), records->stop_text());
            return false;
        }
        if (step == d12::TinRecords::Step::end) break;
        const bool found = wanted_at == SIZE_MAX && io::as_utf8(tin.name, scratch) == name;
        all.push_back(std::move(tin));
        if (found) {
            wanted_at = all.size() - 1;
            if (all.back().kind != d12::TinKind::super_tin) break;
        }
    }
    if (wanted_at == SIZE_MAX) {
        report(CE_Failure, path, 0, "the file holds no TIN named \"" + name + "\".");
        return false;
    }
    const Tin* wanted = &all[wanted_at];
    if (wanted->kind != d12::TinKind::super_tin) {
        members.push_back(*wanted);
        return true;
    }
    for (const std::string& member : wanted->members) {
        const auto it = std::find_if(all.begin(), all.end(), [&](const Tin& t) {
            return t.name == member && t.kind != d12::TinKind::super_tin;
        });
        if (it == all.end()) {
            report(CE_Warning, path, wanted->line,
                   "super TIN \"" + name + "\": its member \"" + member + "\" is not in the file.");
            continue;
        }
        members.push_back(*it);
    }
    return true;
}

bool parse_extent(const char* text, double e[4]) {
    const CPLStringList parts(CSLTokenizeString2(text, ", ", 0));
    if (parts.size() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        char* end = nullptr;
        e[i] = CPLStrtod(parts[i], &end);
        if (end == parts[i] || *end != '\0' || !std::isfinite(e[i])) return false;
    }
    return e[0] < e[2] && e[1] < e[3];
}

GDALDataset* TinRasterDataset::open(GDALOpenInfo* info) {
    std::string path;
    std::string name;
    if (!split_name(info->pszFilename, path, name)) {
        CPLError(CE_Failure, CPLE_OpenFailed, "%s: a 12d TIN is named 12DA:\"file\":\"TIN name\".",
                 info->pszFilename);
        return nullptr;
    }
    if (info->eAccess == GA_Update) {
        CPLError(CE_Failure, CPLE_NotSupported, "The 12DA driver's TIN rasters are read only.");
        return nullptr;
    }
    auto ds = std::make_unique<TinRasterDataset>();
    if (!read_surface(path, name, ds->members_)) return nullptr;
    double box[4] = {HUGE_VAL, HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const Tin& t : ds->members_)
        for (const d12::TinPoint& p : t.points) {
            box[0] = std::min(box[0], p.x);
            box[1] = std::min(box[1], p.y);
            box[2] = std::max(box[2], p.x);
            box[3] = std::max(box[3], p.y);
        }
    if (const char* extent = CSLFetchNameValue(info->papszOpenOptions, "EXTENT")) {
        if (!parse_extent(extent, box)) {
            CPLError(CE_Failure, CPLE_IllegalArg, "EXTENT=%s: minx,miny,maxx,maxy is needed.", extent);
            return nullptr;
        }
    } else if (!(box[0] <= box[2])) {
        CPLError(CE_Failure, CPLE_AppDefined, "%s: TIN \"%s\" has no points.", path.c_str(), name.c_str());
        return nullptr;
    }
    double cell = step_125(std::max(box[2] - box[0], box[3] - box[1]) / 1000.0);
    if (const char* resolution = CSLFetchNameValue(info->papszOpenOptions, "RESOLUTION")) {
        char* end = nullptr;
        cell = CPLStrtod(resolution, &end);
        if (end == resolution || *end != '\0' || !(cell > 0.0) || !std::isfinite(cell)) {
            CPLError(CE_Failure, CPLE_IllegalArg, "RESOLUTION=%s: a cell size above 0 is needed.", resolution);
            return nullptr;
        }
    }
    // Cell centres on multiples of the cell size, covering the area.
    Grid& g = ds->grid_;
    g.cell = cell;
    const double c0 = std::floor(box[0] / cell + 1e-9);
    const double c1 = std::ceil(box[2] / cell - 1e-9);
    const double r0 = std::ceil(box[3] / cell - 1e-9);
    const double r1 = std::floor(box[1] / cell + 1e-9);
    const double width = c1 - c0 + 1;
    const double height = r0 - r1 + 1;
    if (width > INT_MAX / 2 || height > INT_MAX / 2 || width * height > 4e10) {
        CPLError(CE_Failure, CPLE_IllegalArg, "%s: TIN \"%s\" at a cell size of %g makes %.0f x %.0f cells: too many.",
                 path.c_str(), name.c_str(), cell, width, height);
        return nullptr;
    }
    g.x0 = c0 * cell;
    g.y0 = r0 * cell;
    g.width = static_cast<int>(width);
    g.height = static_cast<int>(height);
    ds->nRasterXSize = g.width;
    ds->nRasterYSize = g.height;
    // Bands of rows of about 16 MB.
    const int block_rows = std::clamp(static_cast<int>((1 << 22) / std::max(g.width, 1)), 1, std::min(256, g.height));
    ds->sort_into_bands(block_rows);
    ds->SetBand(1, new TinBand(*ds, block_rows));
    ds->GetRasterBand(1)->SetDescription("elevation");
    ds->SetDescription(info->pszFilename);
    ds->SetMetadataItem("TIN_NAME", name.c_str());
    return ds.release();
}

}  // namespace

bool is_tin_raster_name(const char* name) { return name != nullptr && EQUALN(name, kPrefix, 5); }

GDALDataset* open_tin_raster(GDALOpenInfo* info) { return TinRasterDataset::open(info); }

}  // namespace velmorak::gdal12
