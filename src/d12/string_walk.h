#pragma once
// What the two conversions from 12d ASCII share while they walk a file string
// by string: the vertex arrays they own for the whole conversion, the test for
// a real elevation, and the way an unwanted data block is passed over.
//
// The arrays are sized once per conversion (1,000,000 vertices, plus one slot
// for the closing copy of a closed polyline's first vertex) and overwritten
// object by object; nothing is allocated per string or per vertex.
#include <cmath>
#include <cstddef>
#include <vector>

#include "d12/object.h"
#include "util/big_array.h"

namespace velmorak::d12 {

// Most vertices one string may hold in either conversion.
inline constexpr std::size_t kVertexCapacity = 1000000;

struct VertexArrays {
    VertexArrays() : x(kVertexCapacity + 1), y(kVertexCapacity + 1), z(kVertexCapacity + 1) {}
    util::LazyVector<double> x;
    util::LazyVector<double> y;
    util::LazyVector<float> z;
    std::size_t count = 0;
};

// A vertex has an elevation unless it lies within 0.001 of the null value
// (absolute difference in single precision).
inline bool has_elevation(float z, float null_value) { return std::fabs(z - null_value) > 0.001f; }

// Passes over a data block the conversion does not convert. A block of a super
// string is still read (and dropped), because only reading a block tells the
// reader whether the string has another block: left unread, the reader would
// take the block's vertex lines, and the strings after it, for the next block
// of the same string. Any other block is left to the scan, which rejects its
// next line and passes over the rest of the string.
void pass_over_block(int unit, d12Object& object, VertexArrays& v);

}  // namespace velmorak::d12
