#pragma once
// The record of one 12d ASCII string object as the reader delivers it: one
// record per conversion, overwritten object by object. A super string comes
// out once per data block (data_2d, data_3d, hipdata ...), each time with the
// string's name and type and the flags of that block.
//
// The header flags are substring tests on the whole "string ... {" line, so
// one line can set several of them ("pipeline" is both 2D and 3D).
#include <cstddef>
#include <string>

namespace velmorak::d12 {

// The elevation of a string without a "z" line, and the null elevation a
// 12d ASCII file has until its "null" line says otherwise.
inline constexpr float kNoElevation = -99999.0f;

inline constexpr std::size_t kNameWidth = 100;  // a string name is cut to this
inline constexpr std::size_t kTypeWidth = 20;   // the type word is cut to this

struct d12Object {
    // From the string's header line.
    bool isString = false;    // the line holds "string" and "{"
    bool is2d = false;        // "2d", "alignment" or "pipeline"
    bool is3d = false;        // "3d", "4d", "drainage", "face", "interface" or "pipe"
    bool isSuper = false;     // "super"
    bool isPolyline = false;  // "polyline"
    // From the data-block line.
    bool data2d = false;   // is2d, or a "data_2d" block
    bool data3d = false;   // is3d or isPolyline, or a "data_3d" block
    bool hipData = false;  // a "hipdata" block
    // Another data block of the same super string follows. Callers set it
    // false before the first object; the vertex reader maintains it.
    bool more = false;
    bool closed = false;        // a polyline is closed unless its "closed" line says otherwise
    float z = kNoElevation;     // the constant elevation of a 2D string ("z" line)
    std::string name;           // empty when the string has no "name" line
    std::string type;           // the word between "string " and " {"; "unknown" for other lines
};

}  // namespace velmorak::d12
