#pragma once
// What the driver reads of a 12d ASCII file: its strings, one record each,
// in file order, with everything that becomes a feature's fields and
// geometry. The reading itself is the converter's own 12d walk; this is the
// driver's one door to it.
//
// The driver opens a file once per dataset and reads it through once for its
// first scan (layers, fields, counts, extents), then again for each pass of a
// layer over its features. Every string counts in the numbering, with or
// without vertices, so a string number (the feature id) names the same string
// whatever layer it falls in.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core_run.h"

namespace velmorak::gdal12 {

enum class AttributeKind { text, integer, real };

// One value of a string's "attributes" block. A value inside a nested group
// is named "group/attribute" (groups nested deeper add their names in turn).
struct Attribute {
    std::string name;
    AttributeKind kind = AttributeKind::text;
    std::string value;  // as written: a text without its quotes and escapes, a number as its digits
};

struct StringRecord {
    std::uint64_t number = 0;  // 1 for the file's first string
    std::uint64_t line = 0;    // the line of its "string ... {" header
    std::string model;         // the model it stands in; empty before any model line
    std::string type;          // the word after "string": super, 3d, 2d, interface ...
    std::string name;
    std::string colour;
    std::string style;
    std::string breakline;
    bool has_chainage = false;
    double chainage = 0.0;
    bool closed = false;  // its vertices end with a copy of the first
    std::vector<Attribute> attributes;
    // The vertices of its data blocks in order; a null height is NaN. A
    // string of keywords only (an arc, a circle) has none.
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> z;
    bool has_heights = false;  // some vertex has a real height
};

class StringSource {
public:
    // Opens a .12da or .4da through GDAL's file layer, or a .12daz through the
    // converter's archive reader; nullptr and the reason when it cannot. A
    // string of more than `capacity` vertices stops the reading.
    static std::unique_ptr<StringSource> open(const std::string& path, std::size_t capacity, std::string& why);
    virtual ~StringSource() = default;

    enum class Step { string, end, stopped };
    // The next string. `stopped` when the file is damaged beyond reading on:
    // stop_text() then holds the reader's message and stop_line() its line.
    virtual Step next(StringRecord& s) = 0;
    // Back to the first string.
    virtual void rewind() = 0;
    virtual const std::string& stop_text() const = 0;
    virtual std::uint64_t stop_line() const = 0;
};

}  // namespace velmorak::gdal12
