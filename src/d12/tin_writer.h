#pragma once
// A surface written as 12d ASCII: a "tin" object, as the package writes one
// and the reader (tin.h) reads it back, point for point:
//
//     tin {
//       name "DESIGN"
//       attributes {
//         text "Style" "1"
//       }
//       points {
//         x y z                 numbered from 1 in this order; a NaN height is the word null
//       }
//       triangles {
//         i j k                 the visible triangles only
//       }
//     }
//
// Numbers are written in the shortest form that reads back to the same
// double. Texts are quoted with \" and \\ for a quote and a backslash.
// The text is appended to the caller's buffer, and `commit` is called every
// few thousand lines, so that a large surface streams rather than waits in
// memory whole; writing stops when it returns false.
#include <functional>
#include <string>

#include "d12/tin.h"

namespace velmorak::d12 {

bool append_tin(std::string& b, const Tin& tin, const std::function<bool()>& commit);

}  // namespace velmorak::d12
