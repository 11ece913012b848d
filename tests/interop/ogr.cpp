#include "interop/ogr.h"

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "support/support.h"

namespace velmorak::testing::ogr {
namespace {

int exit_status(int raw) { return (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1; }

bool starts_with(const std::string& s, const std::string& prefix) { return s.rfind(prefix, 0) == 0; }

int bracket_balance(const std::string& line) {
    int depth = 0;
    for (char c : line) {
        if (c == '[') ++depth;
        if (c == ']') --depth;
    }
    return depth;
}

// The coordinates of a WKT text, one part per innermost parenthesised group.
std::vector<std::vector<Vertex>> wkt_parts(const std::string& wkt) {
    std::vector<std::vector<Vertex>> parts;
    std::size_t open = wkt.find('(');
    while (open != std::string::npos) {
        const std::size_t next_open = wkt.find('(', open + 1);
        const std::size_t close = wkt.find(')', open + 1);
        if (close == std::string::npos) break;
        if (next_open != std::string::npos && next_open < close) {
            open = next_open;
            continue;
        }
        std::vector<Vertex> part;
        std::istringstream group(wkt.substr(open + 1, close - open - 1));
        std::string vertex;
        while (std::getline(group, vertex, ',')) {
            std::istringstream xy(vertex);
            Vertex v;
            if (xy >> v.x >> v.y) part.push_back(v);
        }
        parts.push_back(std::move(part));
        open = wkt.find('(', close);
    }
    return parts;
}

// "  Name (Type) = value": the name, or empty when the line is not an attribute.
std::string attribute_name(const std::string& line, std::size_t eq) {
    const std::string head = line.substr(2, eq - 2);
    const std::size_t paren = head.rfind(" (");
    if (paren == std::string::npos || head.back() != ')') return {};
    return head.substr(0, paren);
}

std::vector<Layer> parse_ogrinfo(const std::string& text) {
    std::vector<Layer> layers;
    std::istringstream in(text);
    std::string line;
    int srs_depth = 0;
    bool in_srs = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (in_srs) {
            layers.back().srs += (layers.back().srs.empty() ? "" : "\n") + line;
            srs_depth += bracket_balance(line);
            in_srs = srs_depth > 0;
            continue;
        }
        if (starts_with(line, "Layer name: ")) {
            layers.emplace_back();
            layers.back().name = line.substr(12);
            continue;
        }
        if (layers.empty()) continue;
        Layer& layer = layers.back();
        if (starts_with(line, "OGRFeature(")) {
            layer.features.emplace_back();
            continue;
        }
        if (!layer.features.empty()) {
            if (!starts_with(line, "  ")) continue;
            Feature& f = layer.features.back();
            const std::size_t eq = line.find(" = ");
            const std::string name = eq == std::string::npos ? std::string() : attribute_name(line, eq);
            if (!name.empty()) {
                f.values.emplace_back(name, line.substr(eq + 3));
            } else if (eq == std::string::npos && line.size() > 2 &&
                       std::isupper(static_cast<unsigned char>(line[2]))) {
                const std::string wkt = line.substr(2);
                f.geometry = wkt.substr(0, wkt.find_first_of(" ("));
                f.parts = wkt_parts(wkt);
            }
            continue;
        }
        if (starts_with(line, "Geometry: ")) {
            layer.geometry = line.substr(10);
        } else if (starts_with(line, "Feature Count: ")) {
            layer.feature_count = std::stol(line.substr(15));
        } else if (starts_with(line, "Layer SRS WKT:")) {
            in_srs = true;
            srs_depth = 0;
            // A layer without SRS prints "(unknown)" on the next line, which has no brackets.
        } else if (!starts_with(line, "Extent: ") && !starts_with(line, "Data axis to CRS axis mapping")) {
            const std::size_t colon = line.rfind(": ");
            const std::size_t paren = line.rfind(" (");
            if (colon != std::string::npos && paren != std::string::npos && paren > colon && !line.empty() &&
                line[0] != ' ')
                layer.fields.push_back({line.substr(0, colon), line.substr(colon + 2, paren - colon - 2)});
        }
    }
    return layers;
}

}  // namespace

bool tools_available() {
    static const bool available =
        exit_status(std::system("command -v ogrinfo >/dev/null 2>&1 && command -v ogr2ogr >/dev/null 2>&1")) == 0;
    return available;
}

bool tools_required() { return std::getenv("VELMORAK_GDAL_REQUIRED") != nullptr; }

std::string Feature::value(const std::string& name) const {
    for (const auto& [n, v] : values)
        if (n == name) return v;
    ADD_FAILURE() << "feature has no attribute " << name;
    return {};
}

Info ogrinfo(const std::filesystem::path& file) {
    TempDir io;
    const std::string out = io.file("out.txt");
    const std::string err = io.file("err.txt");
    const std::string cmd = "ogrinfo -ro -al -nomd " + shell_quote(file.string()) + " >" + shell_quote(out) + " 2>" +
                            shell_quote(err);
    Info info;
    info.status = exit_status(std::system(cmd.c_str()));
    info.errors = read_file(err);
    info.layers = parse_ogrinfo(read_file(out));
    return info;
}

Run ogr2ogr_mif(const std::filesystem::path& source, const std::filesystem::path& mif) {
    TempDir io;
    const std::string err = io.file("err.txt");
    const std::string cmd = "cd " + shell_quote(mif.parent_path().string()) + " && ogr2ogr -f \"MapInfo File\" " +
                            shell_quote(mif.filename().string()) + " " + shell_quote(source.string()) +
                            " >/dev/null 2>" + shell_quote(err);
    Run r;
    r.status = exit_status(std::system(cmd.c_str()));
    r.errors = read_file(err);
    return r;
}

void expect_geometry(const Feature& f, const std::string& type, const std::vector<std::vector<Vertex>>& parts) {
    EXPECT_EQ(f.geometry, type);
    ASSERT_EQ(f.parts.size(), parts.size()) << f.geometry;
    for (std::size_t p = 0; p < parts.size(); ++p) {
        ASSERT_EQ(f.parts[p].size(), parts[p].size()) << "part " << p;
        for (std::size_t k = 0; k < parts[p].size(); ++k) {
            EXPECT_NEAR(f.parts[p][k].x, parts[p][k].x, 1e-6) << "part " << p << " vertex " << k;
            EXPECT_NEAR(f.parts[p][k].y, parts[p][k].y, 1e-6) << "part " << p << " vertex " << k;
        }
    }
}

}  // namespace velmorak::testing::ogr
