#pragma once
// The surfaces of a 12d ASCII file: "tin", "full_tin" and "super_tin" objects,
// which stand between the strings at the top level of the file.
//
//     tin       { name "T"  attributes { ... }  points { x y z ... }  triangles { i j k ... }  colour green }
//     full_tin  { name "T"  points { ... }  triangles { vertices { i j k ... } }  neighbours { ... }  nulling { ... } }
//     super_tin { name "S"  attributes { ... }  tins { "first member" "second member" ... } }
//
// Points are numbered from 1 in the order of their block. A tin lists only
// its visible triangles; a full_tin lists them all, its nulling block says
// which are null (1) and which visible (2), and its first four points are the
// construction points of the triangulation, whose triangles are no surface.
// Numbers may be in any layout (one point a line, or many on one line), and
// surfaces exported with "output_tin_hex_floats" are written as C99
// hexadecimal floats (0x1.75p+18), which the free-format reader takes.
//
// The reader keeps a surface as two compact arrays, never as text: 24 bytes a
// point and 12 a triangle, plus one bit a triangle for its visibility. The
// caller owns one Tin record and the walk (string_walk.h) fills it surface by
// surface, so memory stays at the largest surface's arrays.
//
// Bad input stops the reading (the message, then STOPRUN) with the line it
// was found on: a point or triangle block whose numbers are not whole
// triples, a triangle naming a point the surface does not have or the same
// point twice, a surface without its points or triangles block, a super TIN
// without its tins block, and a surface the end of the file cuts off.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "d12/line_lexer.h"
#include "d12/string_details.h"

namespace velmorak::d12 {

enum class TinKind { tin, full_tin, super_tin };

// The keyword of the kind: "tin", "full_tin" or "super_tin".
std::string_view tin_kind_word(TinKind kind) noexcept;

// The kind of surface a line at the top level of the file starts, when it
// starts one: the keyword alone, or before its opening brace.
std::optional<TinKind> tin_header(std::string_view line) noexcept;

struct TinPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;  // NaN where the file writes the word null
};

// Indices into the points, from 0 (the file's point k is index k - 1).
using TinTriangle = std::array<std::uint32_t, 3>;

struct Tin {
    TinKind kind = TinKind::tin;
    std::string name;
    std::string model;      // the model line before it; empty before any
    std::uint64_t line = 0;  // the line of its "tin {" header
    std::string colour;
    std::vector<StringAttribute> attributes;
    std::vector<TinPoint> points;
    std::vector<TinTriangle> triangles;
    std::vector<bool> invisible;        // one flag per triangle: null, or built on construction points
    std::vector<std::string> members;  // a super TIN's member tins, lowest rank first

    std::size_t visible_count() const noexcept;
    void clear() noexcept;
};

// Reads the surface whose header line is the next line of `lines` (the walk
// stepped back onto it) up to its closing brace, leaving the brace level at
// 0. With `store`, its points, triangles, attributes and members fill `tin`
// and every check is made; without, only its kind and name are kept and
// nothing stops the reading (a file that ends inside it comes back true in
// `cut_off`).
void read_tin(LineLexer& lines, Tin& tin, bool store, bool& cut_off);

}  // namespace velmorak::d12
