#pragma once
// The classification record of one MIF object line (`miObject`): which object
// keyword a .mif line starts with, the counts that follow some keywords, and
// the polygon end table a region fills. The object reader sets it line by
// line; the writers take the kind of object to write.
#include <array>
#include <cstddef>
#include <cstdint>

namespace velmorak::mif {

// Most polygons one region may hold.
constexpr int kMaxPolygons = 1000;

// Widths of the .mif line texts: general lines, and the header searches.
constexpr std::size_t kMifLineWidth = 1000;
constexpr std::size_t kMifShortLineWidth = 100;

// What a .mif line starts with. Every kind from none to multipoint is an
// object, which owns one .mid row; `other` (style, vertex and blank lines) and
// a region's `center` clause are not.
enum class miKind : std::uint8_t {
    other,
    none,            // "NONE"
    point,           // "POINT"
    line,            // "LINE"
    pline,           // "PLINE", a single section
    pline_multiple,  // "PLINE MULTIPLE"
    region,          // "REGION"
    ellipse,         // "ELLIPSE"
    rect,            // "RECT"
    roundrect,       // "ROUNDRECT"
    arc,             // "ARC"
    text,            // "TEXT"
    multipoint,      // "MULTIPOINT"
    center,          // a "CENTER" clause
};

constexpr bool is_object(miKind kind) noexcept { return kind != miKind::other && kind != miKind::center; }

struct miObject {
    miKind kind = miKind::other;
    // Sections after "PLINE MULTIPLE", points after "MULTIPOINT"; the classifier
    // sets 1 for every other line. 0 after clearing.
    std::int32_t section_count = 0;
    // Polygons after "REGION"; 0 otherwise.
    std::int32_t polygon_count = 0;
    // For polygon p (0-based) of a region: the number of vertex slots used up to
    // and including its last vertex, which is the 0-based index of the polygon's
    // spare slot (and the 1-based index of its last vertex). Not cleared.
    std::array<std::int32_t, kMaxPolygons> polygon_ends{};
};

}  // namespace velmorak::mif
