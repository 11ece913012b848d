#pragma once
// How the layers this program writes look in MapInfo: the style clause
// written after each object, and the bounds of the NonEarth coordinate system
// a layer gets when its header .mif is missing.
#include <string_view>

namespace velmorak::mif {

// Breaklines from 12d ASCII, and the cross-sections' lines.
inline constexpr std::string_view kBreaklinePen = "    Pen (1,2,0)";
// A vertex with an elevation, as a point of its own.
inline constexpr std::string_view kVertexSymbol = "    Symbol (35,0,4,\"MapInfo Symbols\",0,0)";
// The first point of a cross-section, its left end.
inline constexpr std::string_view kFirstVertexSymbol = "    Symbol (33,10502399,9)";
// A 3D breakline whose first or last vertex did not snap.
inline constexpr std::string_view kDanglePen = "    Pen (3,2,16711680)";
// A breakline point no vertex took.
inline constexpr std::string_view kUnsnappedSymbol = "    Symbol (41,16711935,24,\"MapInfo Symbols\",16,0)";

inline constexpr double kNonEarthMin = -9999999.0;
inline constexpr double kNonEarthMax = 9999999.0;

}  // namespace velmorak::mif
