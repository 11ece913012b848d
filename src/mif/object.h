#pragma once
// The classification record of one MIF object line (`miObject`): which object
// keyword a .mif line starts with, the counts that follow some keywords, and
// the polygon end table a region fills. The object reader sets it line by
// line; the 12d-side conversions set its kind fields before writing an object.
#include <array>
#include <cstdint>
#include <string>

namespace velmorak::mif {

// Most polygons one region may hold.
constexpr int kMaxPolygons = 1000;

// Widths of the .mif line texts: general lines, and the header searches.
constexpr std::size_t kMifLineWidth = 1000;
constexpr std::size_t kMifShortLineWidth = 100;

struct miObject {
    bool none = false;            // "NONE"
    bool point = false;           // "POINT"
    bool line = false;            // "LINE"
    bool pline = false;           // "PLINE", single section (false whenever pline_multiple is true)
    bool pline_multiple = false;  // "PLINE MULTIPLE"
    bool region = false;          // "REGION"
    bool ellipse = false;         // "ELLIPSE"
    bool rect = false;            // "RECT"
    bool roundrect = false;       // "ROUNDRECT"
    bool reserved = false;        // never set by the reader
    bool arc = false;             // "ARC"
    bool center = false;          // a "CENTER" clause (not an object)
    bool text = false;            // "TEXT"
    bool multipoint = false;      // "MULTIPOINT"
    // Sections after "PLINE MULTIPLE", points after "MULTIPOINT"; the classifier
    // sets 1 for every other line. 0 after clearing.
    std::int32_t section_count = 0;
    // Polygons after "REGION"; 0 otherwise.
    std::int32_t polygon_count = 0;
    // For polygon p (0-based) of a region: the number of vertex slots used up to
    // and including its last vertex, which is the 0-based index of the polygon's
    // spare slot (and the 1-based index of its last vertex). Not cleared.
    std::array<std::int32_t, kMaxPolygons> polygon_ends{};
    // A 20-character text; blank after clearing, unused by reader and writer.
    std::string text_value;
};

}  // namespace velmorak::mif
