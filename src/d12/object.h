#pragma once
// The record of one 12d ASCII string object as the reader delivers it: one
// record per conversion, overwritten object by object. A super string comes
// out once per data block (data_2d, data_3d, hipdata ...), each time with the
// string's name and type and the flags of that block.
//
// The header flags are substring tests on the whole "string ... {" line, so
// one line can set several of them ("pipeline" is both 2D and 3D).
//
// The record also carries the reader's place in the file between calls (the
// brace level and what the current data block looked like): the reader's
// steps keep no state of their own. StringWalk (string_walk.h) owns one.
#include <cstddef>
#include <string>

namespace velmorak::d12 {

class StringDetails;

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
    bool isSuperAlignment = false;  // "super" and "alignment": its plan lies in horizontal_data
    // From the data-block line.
    bool data2d = false;   // is2d, or a "data_2d" block
    bool data3d = false;   // is3d or isPolyline, or a "data_3d" block
    bool hipData = false;  // a "hipdata" block, or a super alignment's plan block
    // The data_2d block inside a super alignment's horizontal_data: its plan
    // geometry, flagged hipData, read as x and y like any data_2d block.
    bool alignmentPlan = false;
    // Another data block of the same super string follows: known once the
    // current block has been read. False before the first object.
    bool more = false;
    bool closed = false;        // a polyline is closed unless its "closed" line says otherwise; a super string when it says so
    float z = kNoElevation;     // the constant elevation of a 2D string ("z" line)
    std::string name;           // empty when the string has no "name" line
    std::string type;           // the word between "string " and " {"; "unknown" for other lines

    // What a height written as the word "null" reads as: the file's null
    // elevation, which the caller copies here from d12ReadHeader.
    float nullValue = kNoElevation;

    // The reader's place. Levels count the braces open outside quoted text:
    // 0 between objects, 1 at a string's own level.
    int level = 0;       // before the next line of the file
    int blockLevel = 0;  // of the line that opened the current data block
    int planLevel = 0;   // of the lines inside a super alignment's horizontal_data; 0 outside it
    // The file ended inside a block, which the end of the file closed.
    bool cutOff = false;
    // A data block opened and closed on its own line holds one vertex line:
    // the text between its braces.
    bool inlineBlock = false;
    std::string inlineText;

    // When set, the reader shows it every line of a string outside its data
    // blocks (string_details.h); nobody but the GDAL driver asks for them.
    StringDetails* details = nullptr;
};

}  // namespace velmorak::d12
