// Writes the benchmark inputs of the converter: synthetic but realistic 12d ASCII
// and MIF/MID files of a known size, the same bytes on every machine.
//
//   velmorak_generate <folder> <scale> [all|12da|xs|mif] [points-per-scale]
//
// Scale 1 writes, into <folder>:
//   big.12da + Header.mif   about 2,000,000 vertices in 3d, 2d, interface,
//                           polyline (open and closed) and super strings, the
//                           super strings with data_2d, data_3d and hipdata blocks
//   xs/xs.12da + Header.mif 20,000 3d strings of 50 vertices (cross-section runs
//                           write one .csv per string, so they get a folder of their own)
//   lines.mif/.mid          1,000,000 polyline vertices: Plines of about 100
//                           vertices, some Pline Multiple, a few Lines; first
//                           attribute an elevation (it also serves as a name)
//   points.mif/.mid         breakline points lying exactly on most line vertices,
//                           every section end among them except on a few dangling
//                           Plines, and one in twenty points off every vertex
//   manifest.txt            the counts of what was written, "key value" per line
// The mode "models" writes only models.12da and models-interleaved.12da:
// 200 models of 250 strings per scale, grouped and taking turns.
// The mode "tin" writes only tin.12da, a TIN of about 2,000,000 triangles per
// scale (a grid of 1 m cells, its points moved by up to 0.3 m, heights rough
// except in the plane region, where they lie on a known plane), its points
// again as tin-points.csv (x,y,z) for gdal_grid, and tin-plane.txt, the
// region (minx miny maxx maxy, inside its outer ring of triangles) and the
// plane (a b c x0 y0: z = a + b (x - x0) + c (y - y0)).
// Scale n multiplies every count by n; a scale written 1/d divides them by d
// (bench/run.sh counts instructions under callgrind on scale 1/4, where a run
// takes seconds instead of minutes; "models" and "tin" take whole scales
// only). The point count per scale unit defaults
// to 500,000 so that scale 2 still fits the 1,000,000 breakline points the 3D
// conversion holds.
//
// Everything comes from one fixed-seed splitmix64 stream and integer arithmetic
// in millimetres, so the files do not depend on the standard library's random
// distributions or on floating-point printing.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "io/system_file.h"

namespace {

namespace fs = std::filesystem;

// splitmix64: tiny, fast, and the same sequence everywhere.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform integer in [lo, hi]; the modulo bias is far below anything measured here.
    std::int64_t range(std::int64_t lo, std::int64_t hi) {
        return lo + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(hi - lo + 1));
    }
    // True with probability percent / 100.
    bool percent(int p) { return range(0, 99) < p; }

private:
    std::uint64_t state_;
};

// A buffered output file that reports failure instead of silently truncating.
class Out {
public:
    explicit Out(const fs::path& path) : path_(path) {
        std::string why;
        f_ = velmorak::io::FileSink::create(path.string(), false, why);
        if (!f_) throw std::runtime_error("cannot create " + path.string() + ": " + why);
        buf_.reserve(kFlushAt + 4096);
    }
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;

    std::string& buf() { return buf_; }
    void line(std::string_view text) {
        buf_.append(text);
        end();
    }
    void end() {
        buf_.push_back('\n');
        if (buf_.size() >= kFlushAt) flush();
    }
    std::uint64_t bytes() const { return written_ + buf_.size(); }
    void close() {
        flush();
        if (!f_->close() || !f_->commit()) throw std::runtime_error("cannot write " + path_.string() + ": " + f_->error());
    }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    void flush() {
        if (!buf_.empty() && !f_->write(buf_.data(), buf_.size()))
            throw std::runtime_error("cannot write " + path_.string() + ": " + f_->error());
        written_ += buf_.size();
        buf_.clear();
    }
    fs::path path_;
    std::unique_ptr<velmorak::io::FileSink> f_;
    std::string buf_;
    std::uint64_t written_ = 0;
};

void put_int(std::string& s, std::int64_t v) {
    char b[24];
    const auto r = std::to_chars(b, b + sizeof b, v);
    s.append(b, r.ptr);
}

// A length in millimetres as metres with three decimals: 1234567 -> "1234.567".
void put_mm(std::string& s, std::int64_t mm) {
    if (mm < 0) {
        s.push_back('-');
        mm = -mm;
    }
    put_int(s, mm / 1000);
    const auto frac = static_cast<int>(mm % 1000);
    s.push_back('.');
    s.push_back(static_cast<char>('0' + frac / 100));
    s.push_back(static_cast<char>('0' + frac / 10 % 10));
    s.push_back(static_cast<char>('0' + frac % 10));
}

void put_padded(std::string& s, std::int64_t v, int digits) {
    char b[24];
    const auto r = std::to_chars(b, b + sizeof b, v);
    for (auto n = r.ptr - b; n < digits; ++n) s.push_back('0');
    s.append(b, r.ptr);
}

// The survey area: 50 km by 50 km of a projected grid, in millimetres.
constexpr std::int64_t kX0 = 300'000'000;
constexpr std::int64_t kY0 = 6'200'000'000;
constexpr std::int64_t kSpan = 50'000'000;

struct Vertex {
    std::int64_t x, y, z;  // millimetres
};

// A wandering line of n vertices: steps of 0.5 m to 20 m with a slowly turning
// heading, elevations drifting by a few centimetres per vertex. Heading and
// drift are integer-valued so the walk is exact.
void walk(Rng& rng, int n, std::vector<Vertex>& v) {
    v.clear();
    std::int64_t x = kX0 + rng.range(0, kSpan);
    std::int64_t y = kY0 + rng.range(0, kSpan);
    std::int64_t z = rng.range(2'000, 120'000);
    // Heading as a direction vector of eight sectors with jitter.
    static constexpr int kDir[8][2] = {{1000, 0}, {707, 707}, {0, 1000}, {-707, 707},
                                       {-1000, 0}, {-707, -707}, {0, -1000}, {707, -707}};
    int heading = static_cast<int>(rng.range(0, 7));
    for (int i = 0; i < n; ++i) {
        v.push_back({x, y, z});
        if (rng.percent(15)) heading = (heading + (rng.percent(50) ? 1 : 7)) % 8;
        const std::int64_t step = rng.range(500, 20'000);  // mm
        x += kDir[heading][0] * step / 1000 + rng.range(-300, 300);
        y += kDir[heading][1] * step / 1000 + rng.range(-300, 300);
        z += rng.range(-50, 50);
    }
}

// The scale: every count is multiplied by `times` and divided by `parts`.
struct Scale {
    std::uint64_t times = 1;
    std::uint64_t parts = 1;
    std::uint64_t of(std::uint64_t count) const { return count * times / parts; }
};

struct Manifest {
    std::string text;
    void add(std::string_view key, std::uint64_t value) {
        text.append(key);
        text.push_back(' ');
        put_int(text, static_cast<std::int64_t>(value));
        text.push_back('\n');
    }
};

// A header .mif that carries the projection the 12d conversions copy.
void write_header_mif(const fs::path& path) {
    Out o(path);
    o.line("Version 300");
    o.line("Charset \"WindowsLatin1\"");
    o.line("Delimiter \",\"");
    o.line("CoordSys NonEarth Units \"m\" Bounds (0, 0) (10000000, 10000000)");
    o.line("Columns 1");
    o.line("  Name Char(20)");
    o.line("Data");
    o.close();
}

void write_mif_header(Out& o, std::string_view column) {
    o.line("Version 300");
    o.line("Charset \"WindowsLatin1\"");
    o.line("Delimiter \",\"");
    o.line("CoordSys NonEarth Units \"m\" Bounds (0, 0) (10000000, 10000000)");
    o.line("Columns 1");
    o.line(column);
    o.line("Data");
    o.line("");
}

// ---------------------------------------------------------------- 12d ASCII

// One vertex line of a data block: x y (2D) or x y z.
void vertex_line(Out& o, const Vertex& v, bool with_z, bool null_z, Rng& rng) {
    std::string& s = o.buf();
    s.append("    ");
    put_mm(s, v.x);
    s.push_back(' ');
    put_mm(s, v.y);
    if (with_z) {
        s.push_back(' ');
        if (null_z)
            s.append("-999");
        else
            put_mm(s, v.z);
    }
    if (rng.range(0, 999) == 0) s.append("  // checked");  // the odd trailing comment
    o.end();
}

void data_block(Out& o, std::string_view keyword, const Vertex* v, int n, bool with_z, Rng& rng) {
    std::string& s = o.buf();
    s.append("  ");
    s.append(keyword);
    s.append(" {");
    o.end();
    for (int i = 0; i < n; ++i) vertex_line(o, v[i], with_z, with_z && rng.range(0, 99) == 0, rng);
    o.line("  }");
}

void name_line(Out& o, std::string_view prefix, std::int64_t number, bool quoted_with_blank) {
    std::string& s = o.buf();
    s.append("  name ");
    if (quoted_with_blank) {
        s.push_back('"');
        s.append(prefix);
        s.push_back(' ');
        put_int(s, number);
        s.push_back('"');
    } else {
        s.append(prefix);
        put_padded(s, number, 6);
    }
    o.end();
}

void z_line(Out& o, std::int64_t z) {
    std::string& s = o.buf();
    s.append("  z ");
    put_mm(s, z);
    o.end();
}

void write_big_12da(const fs::path& folder, Scale scale, Manifest& m) {
    Rng rng(0x12DA'0001ULL);
    Out o(folder / "big.12da");
    o.line("// 12d ASCII benchmark model: synthetic breaklines");
    o.line("null -999");
    o.line("model \"bench\"");
    o.line("");

    const std::uint64_t target = scale.of(2'000'000ULL);
    std::uint64_t vertices = 0, strings = 0, blocks = 0;
    std::vector<Vertex> v;
    while (vertices < target) {
        ++strings;
        const int n = static_cast<int>(rng.range(100, 1000));
        walk(rng, n, v);
        if (strings % 50 == 0) {
            o.line("");
            std::string& s = o.buf();
            s.append("// section ");
            put_int(s, static_cast<std::int64_t>(strings / 50));
            o.end();
        }
        const int kind = static_cast<int>(rng.range(0, 99));
        const bool quoted = rng.percent(20);
        if (kind < 35) {  // 3d string
            o.line("string 3d {");
            name_line(o, "R3D", static_cast<std::int64_t>(strings), quoted);
            o.line("  chainage  0");
            o.line("  colour    green");
            o.line("  breakline line");
            data_block(o, "data", v.data(), n, true, rng);
            ++blocks;
        } else if (kind < 55) {  // 2d string, mostly with a constant elevation
            o.line("string 2d {");
            name_line(o, "C2D", static_cast<std::int64_t>(strings), quoted);
            if (rng.percent(80)) z_line(o, v[0].z);
            o.line("  colour    red");
            data_block(o, "data", v.data(), n, false, rng);
            ++blocks;
        } else if (kind < 60) {  // interface string: 3d
            o.line("string interface {");
            name_line(o, "IF", static_cast<std::int64_t>(strings), quoted);
            data_block(o, "data", v.data(), n, true, rng);
            ++blocks;
        } else if (kind < 75) {  // polyline, closed or open
            o.line("string polyline {");
            name_line(o, "PL", static_cast<std::int64_t>(strings), quoted);
            if (rng.percent(60))
                o.line("  closed true");
            else
                o.line("  closed false");
            data_block(o, "data", v.data(), n, true, rng);
            ++blocks;
        } else {  // super string: a 2d or 3d block, often followed by hipdata
            o.line("string super {");
            name_line(o, "SUP", static_cast<std::int64_t>(strings), quoted);
            const bool two_d = rng.percent(40);
            if (two_d) z_line(o, v[0].z);
            o.line("  colour    blue");
            const bool hip = rng.percent(70);
            const int first = hip ? n * 3 / 4 : n;
            data_block(o, two_d ? "data_2d" : "data_3d", v.data(), first, !two_d, rng);
            ++blocks;
            if (hip) {
                data_block(o, "hipdata", v.data() + first, n - first, true, rng);
                ++blocks;
            }
        }
        o.line("}");
        o.line("");
        vertices += static_cast<std::uint64_t>(n);
    }
    o.close();
    write_header_mif(folder / "Header.mif");
    m.add("big.12da.bytes", o.bytes());
    m.add("big.12da.strings", strings);
    m.add("big.12da.blocks", blocks);
    m.add("big.12da.vertices", vertices);
}

// Cross-sections: straight transects across a valley, a V-shaped profile with
// banks, every hundredth one without a name so the converter numbers it.
void write_xs_12da(const fs::path& folder, Scale scale, Manifest& m) {
    Rng rng(0x12DA'0002ULL);
    const fs::path dir = folder / "xs";
    fs::create_directories(dir);
    Out o(dir / "xs.12da");
    o.line("null -999");
    o.line("model \"cross sections\"");
    o.line("");
    const auto strings = static_cast<int>(scale.of(20'000));
    constexpr int kVertices = 50;
    std::uint64_t unnamed = 0;
    for (int k = 1; k <= strings; ++k) {
        o.line("string 3d {");
        if (k % 100 == 0) {
            ++unnamed;
        } else {
            std::string& s = o.buf();
            s.append("  name XS");
            put_padded(s, k, 6);
            o.end();
        }
        o.line("  data {");
        // Sections 20 m apart along a centreline running north-east.
        const std::int64_t cx = kX0 + static_cast<std::int64_t>(k) * 14'142;
        const std::int64_t cy = kY0 + static_cast<std::int64_t>(k) * 14'142;
        const std::int64_t bed = 20'000 + rng.range(-500, 500);
        for (int i = 0; i < kVertices; ++i) {
            const std::int64_t offset = (i - kVertices / 2) * 2'000 + rng.range(-200, 200);
            const std::int64_t depth = std::abs(offset) * 3 / 25 + rng.range(0, 100);
            Vertex p{cx - offset * 707 / 1000, cy + offset * 707 / 1000, bed + depth};
            vertex_line(o, p, true, false, rng);
        }
        o.line("  }");
        o.line("}");
    }
    o.close();
    write_header_mif(dir / "Header.mif");
    m.add("xs.12da.bytes", o.bytes());
    m.add("xs.12da.strings", static_cast<std::uint64_t>(strings));
    m.add("xs.12da.unnamed", unnamed);
    m.add("xs.12da.vertices", static_cast<std::uint64_t>(strings) * kVertices);
}

// ---------------------------------------------------------------- MIF layers

struct LineVertex {
    std::int64_t x, y, z;
    bool end;        // first or last vertex of a section
    bool no_point;   // an end left without a point: the Pline dangles
};

void xy_line(Out& o, std::string_view prefix, std::int64_t x, std::int64_t y) {
    std::string& s = o.buf();
    s.append(prefix);
    put_mm(s, x);
    s.push_back(' ');
    put_mm(s, y);
    o.end();
}

void write_mif_layers(const fs::path& folder, Scale scale, std::uint64_t points_per_scale, Manifest& m) {
    Rng rng(0x0311'F003ULL);
    const std::uint64_t target = scale.of(1'000'000ULL);

    Out mif(folder / "lines.mif");
    Out mid(folder / "lines.mid");
    write_mif_header(mif, "  Z Float");

    std::vector<LineVertex> all;
    all.reserve(target + 1000);
    std::vector<Vertex> v;
    std::uint64_t objects = 0, plines = 0, multiples = 0, sections = 0, lines = 0, dangling = 0;

    // One section: remembers its vertices and marks its ends.
    auto add_section = [&](const std::vector<Vertex>& w, int dangle_end) {
        const std::size_t n = w.size();
        for (std::size_t i = 0; i < n; ++i) {
            const bool end = i == 0 || i + 1 == n;
            const bool no_point = (dangle_end == 1 && i == 0) || (dangle_end == 2 && i + 1 == n);
            all.push_back({w[i].x, w[i].y, w[i].z, end, no_point});
        }
        ++sections;
    };

    while (all.size() < target) {
        ++objects;
        const int kind = static_cast<int>(rng.range(0, 99));
        const std::int64_t elevation = rng.range(2'000, 120'000);
        if (kind < 85) {  // Pline; a few leave one end without a point
            const int n = static_cast<int>(rng.range(50, 150));
            walk(rng, n, v);
            std::string& s = mif.buf();
            s.append("Pline ");
            put_int(s, n);
            mif.end();
            for (const Vertex& p : v) xy_line(mif, "", p.x, p.y);
            const int dangle_end = rng.percent(4) ? static_cast<int>(rng.range(1, 2)) : 0;
            if (dangle_end != 0) ++dangling;
            add_section(v, dangle_end);
            ++plines;
        } else if (kind < 95) {  // Pline Multiple of 2 to 4 sections, every end on a point
            const int k = static_cast<int>(rng.range(2, 4));
            std::string& s = mif.buf();
            s.append("Pline Multiple ");
            put_int(s, k);
            mif.end();
            for (int j = 0; j < k; ++j) {
                const int n = static_cast<int>(rng.range(20, 80));
                walk(rng, n, v);
                std::string& t = mif.buf();
                t.append("  ");
                put_int(t, n);
                mif.end();
                for (const Vertex& p : v) xy_line(mif, "", p.x, p.y);
                add_section(v, 0);
            }
            ++multiples;
        } else {  // Line
            walk(rng, 2, v);
            std::string& s = mif.buf();
            s.append("Line ");
            put_mm(s, v[0].x);
            s.push_back(' ');
            put_mm(s, v[0].y);
            s.push_back(' ');
            put_mm(s, v[1].x);
            s.push_back(' ');
            put_mm(s, v[1].y);
            mif.end();
            add_section(v, 0);
            ++lines;
        }
        mif.line("    Pen (1,2,0)");
        put_mm(mid.buf(), elevation);
        mid.end();
    }
    mif.close();
    mid.close();

    // Points: every section end that is to snap, then interior vertices drawn
    // by selection sampling (exactly the number still wanted), then one in
    // twenty off every vertex by 0.1 m to 5 m in X and in Y.
    const std::uint64_t total_points = scale.of(points_per_scale);
    const std::uint64_t off_points = total_points / 20;
    const std::uint64_t on_points = total_points - off_points;
    std::vector<Vertex> pts;
    pts.reserve(total_points);
    std::uint64_t interior = 0;
    for (const LineVertex& p : all) {
        if (p.end && !p.no_point) pts.push_back({p.x, p.y, p.z});
        if (!p.end) ++interior;
    }
    if (pts.size() > on_points) throw std::runtime_error("too few points asked for to cover every section end");
    std::uint64_t wanted = on_points - pts.size();
    if (wanted > interior) throw std::runtime_error("more points asked for than there are vertices");
    for (const LineVertex& p : all) {
        if (p.end) continue;
        if (wanted > 0 && rng.next() % interior < wanted) {
            pts.push_back({p.x, p.y, p.z});
            --wanted;
        }
        --interior;
    }
    for (std::uint64_t i = 0; i < off_points; ++i) {
        const LineVertex& p = all[static_cast<std::size_t>(rng.next() % all.size())];
        const std::int64_t dx = rng.range(100, 5'000) * (rng.percent(50) ? 1 : -1);
        const std::int64_t dy = rng.range(100, 5'000) * (rng.percent(50) ? 1 : -1);
        pts.push_back({p.x + dx, p.y + dy, p.z + rng.range(-500, 500)});
    }
    // Surveyed points come in their own order, not along the lines.
    for (std::size_t i = pts.size(); i > 1; --i) std::swap(pts[i - 1], pts[static_cast<std::size_t>(rng.next() % i)]);

    Out pmif(folder / "points.mif");
    Out pmid(folder / "points.mid");
    write_mif_header(pmif, "  Z Float");
    for (const Vertex& p : pts) {
        xy_line(pmif, "Point ", p.x, p.y);
        pmif.line("    Symbol (35,0,4,\"MapInfo Symbols\",0,0)");
        put_mm(pmid.buf(), p.z);
        pmid.end();
    }
    pmif.close();
    pmid.close();

    m.add("lines.mif.bytes", mif.bytes());
    m.add("lines.mid.bytes", mid.bytes());
    m.add("lines.objects", objects);
    m.add("lines.plines", plines);
    m.add("lines.multiples", multiples);
    m.add("lines.lines", lines);
    m.add("lines.sections", sections);
    m.add("lines.dangling", dangling);
    m.add("lines.vertices", all.size());
    m.add("points.mif.bytes", pmif.bytes());
    m.add("points.mid.bytes", pmid.bytes());
    m.add("points.count", pts.size());
    m.add("points.off_vertex", off_points);
}

// The same 50,000 strings of 200 models (250 strings each, 10 to 40
// vertices) written twice: models.12da with each model's strings together,
// as the terrain package exports, and models-interleaved.12da with the
// models taking turns string by string, as a file joined from several
// exports can hold them. String k of model m is the same in both files.
void write_models_12da(const fs::path& folder, int scale, Manifest& m) {
    const int models = 200;
    const int per_model = 250 * scale;
    struct Written {
        const char* file;
        bool interleaved;
    };
    for (const Written w : {Written{"models.12da", false}, Written{"models-interleaved.12da", true}}) {
        Out o(folder / w.file);
        o.line("// 12d ASCII benchmark: many models");
        o.line("null -999");
        std::vector<Vertex> v;
        for (int i = 0; i < models * per_model; ++i) {
            const int model = w.interleaved ? i % models : i / per_model;
            const int k = w.interleaved ? i / models : i % per_model;
            if (w.interleaved || k == 0) {
                std::string& s = o.buf();
                s.append("model \"site ");
                put_int(s, model);
                s.append("\"");
                o.end();
            }
            Rng rng(0x12DA'0100ULL + static_cast<std::uint64_t>(model) * 100'003ULL + static_cast<std::uint64_t>(k));
            const int n = static_cast<int>(rng.range(10, 40));
            walk(rng, n, v);
            o.line("string 3d {");
            name_line(o, "M", static_cast<std::int64_t>(model) * 100'000 + k, false);
            o.line("  colour    green");
            data_block(o, "data", v.data(), n, true, rng);
            o.line("}");
        }
        o.close();
        m.add(std::string(w.file) + ".bytes", o.bytes());
    }
    m.add("models.strings", static_cast<std::uint64_t>(models) * static_cast<std::uint64_t>(per_model));
}

// The plane region's grid points are moved by whole decimetres, so that
// their heights on a plane of slopes 1/50 and 1/100 are whole millimetres:
// the file holds the plane exactly.
void write_tin_12da(const fs::path& folder, int scale, Manifest& m) {
    int n = 1;  // cells a side: 2 n^2 triangles
    while (2LL * n * n < 2'000'000LL * scale) ++n;
    const std::int64_t x0 = kX0;
    const std::int64_t y0 = kY0;
    const int p0 = n / 4;  // the plane region: grid points p0 .. p1 in both directions
    const int p1 = n / 2;
    Rng rng(0x12DA'7100ULL + static_cast<std::uint64_t>(scale));
    Out o(folder / "tin.12da");
    Out csv(folder / "tin-points.csv");
    csv.line("x,y,z");
    o.line("// 12d ASCII benchmark: one TIN, a perturbed grid with a plane region");
    o.line("tin {");
    o.line("  name \"BENCH\"");
    o.line("  points {");
    std::string& b = o.buf();
    std::string& c = csv.buf();
    for (int r = 0; r <= n; ++r) {
        for (int k = 0; k <= n; ++k) {
            const bool plane = r >= p0 && r <= p1 && k >= p0 && k <= p1;
            const bool edge = r == 0 || k == 0 || r == n || k == n;
            std::int64_t dx = edge ? 0 : rng.range(-300, 300);
            std::int64_t dy = edge ? 0 : rng.range(-300, 300);
            if (plane) {
                dx = dx / 100 * 100;
                dy = dy / 100 * 100;
            }
            const std::int64_t x = x0 + k * 1000LL + dx;
            const std::int64_t y = y0 + r * 1000LL + dy;
            const std::int64_t z = plane ? 40'000 + (x - x0) / 50 + (y - y0) / 100
                                         : 30'000 + (r + k) * 5 + rng.range(-2'000, 2'000);
            b.append("    ");
            put_mm(b, x);
            b.push_back(' ');
            put_mm(b, y);
            b.push_back(' ');
            put_mm(b, z);
            o.end();
            put_mm(c, x);
            c.push_back(',');
            put_mm(c, y);
            c.push_back(',');
            put_mm(c, z);
            csv.end();
        }
    }
    o.line("  }");
    o.line("  triangles {");
    const auto id = [n](int r, int k) { return static_cast<std::int64_t>(r) * (n + 1) + k + 1; };
    for (int r = 0; r < n; ++r) {
        for (int k = 0; k < n; ++k) {
            for (const auto& t : {std::array<std::int64_t, 3>{id(r, k), id(r + 1, k), id(r, k + 1)},
                                  std::array<std::int64_t, 3>{id(r, k + 1), id(r + 1, k), id(r + 1, k + 1)}}) {
                b.append("    ");
                put_int(b, t[0]);
                b.push_back(' ');
                put_int(b, t[1]);
                b.push_back(' ');
                put_int(b, t[2]);
                o.end();
            }
        }
    }
    o.line("  }");
    o.line("}");
    m.add("tin.points", static_cast<std::uint64_t>(n + 1) * static_cast<std::uint64_t>(n + 1));
    m.add("tin.triangles", 2ULL * static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(n));
    m.add("tin.bytes", o.bytes());
    o.close();
    csv.close();
    // Inside the outer ring of the region's triangles: points move by 0.3 m at most.
    Out plane(folder / "tin-plane.txt");
    std::string& t = plane.buf();
    put_mm(t, x0 + p0 * 1000LL + 1'000);
    t.push_back(' ');
    put_mm(t, y0 + p0 * 1000LL + 1'000);
    t.push_back(' ');
    put_mm(t, x0 + p1 * 1000LL - 1'000);
    t.push_back(' ');
    put_mm(t, y0 + p1 * 1000LL - 1'000);
    t.append(" 40 0.02 0.01 ");
    put_mm(t, x0);
    t.push_back(' ');
    put_mm(t, y0);
    plane.end();
    plane.close();
}

int usage() {
    std::fputs("usage: velmorak_generate <folder> <scale> [all|12da|xs|mif|models|tin] [points-per-scale]\n", stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 5) return usage();
    const fs::path folder = argv[1];
    // "n", or "1/d" for a part of scale 1.
    const std::string_view scale_text = argv[2];
    Scale scale;
    if (scale_text.starts_with("1/"))
        scale.parts = std::strtoull(argv[2] + 2, nullptr, 10);
    else
        scale.times = std::strtoull(argv[2], nullptr, 10);
    const std::string what = argc > 3 ? argv[3] : "all";
    const std::uint64_t points_per_scale = argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 500'000;
    const bool whole_scale = what == "models" || what == "tin";
    if (scale.times < 1 || scale.parts < 1 || points_per_scale < 1 || (whole_scale && scale.parts != 1) ||
        (what != "all" && what != "12da" && what != "xs" && what != "mif" && !whole_scale))
        return usage();
    try {
        fs::create_directories(folder);
        Manifest m;
        m.text.append("scale ").append(scale_text).append("\n");
        if (what == "all" || what == "12da") write_big_12da(folder, scale, m);
        if (what == "all" || what == "xs") write_xs_12da(folder, scale, m);
        if (what == "all" || what == "mif") write_mif_layers(folder, scale, points_per_scale, m);
        if (what == "models") write_models_12da(folder, static_cast<int>(scale.times), m);
        if (what == "tin") write_tin_12da(folder, static_cast<int>(scale.times), m);
        Out man(folder / "manifest.txt");
        man.buf().append(m.text);
        man.close();
        std::fputs(m.text.c_str(), stdout);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmorak_generate: %s\n", e.what());
        return 1;
    }
    return 0;
}
