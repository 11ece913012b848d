#pragma once
// The one walk over a MIF layer for the conversions to 12d ASCII: every object
// line of the .mif with the .mid row it owns, the sections of a Pline
// Multiple one by one, and the progress the console shows as it goes. A row
// its caller does not ask for is passed over, so rows keep pairing with their
// objects whatever the caller skips.
//
// A .mid row may run over several lines while a double-quoted text is open
// (multi-line text fields); it is read whole. Rows are seen up to 1000
// characters, names up to 100. The first attribute of a row is its first field
// (mif/mid_reader.h), up to the layer's delimiter. A layer without a .mid
// gives every object an empty row.
//
// Every failure ends the run at once through the run-time stop, after its
// console message (preceded by an empty line): "ERROR - Reading data" for a
// line or row that cannot be read, "ERROR - End of File encountered" for a
// .mid that ends while its object still needs a row, and for a first
// attribute that cannot be read the routine's "Erroneous line is:" message
// with the row between empty lines; an elevation field that is empty names
// the object whose row it is. The object reader's own errors stop the run as
// mif/object_reader.h says.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "mif/layer.h"
#include "mif/object.h"
#include "mif/object_reader.h"

namespace velmorak::mif2d12 {

constexpr std::size_t kMidRowWidth = 1000;
constexpr std::size_t kNameWidth = 100;

class LayerWalk {
public:
    // What the console shows: the number of every object (8 columns, on one
    // line), or "Polyline <k> with <n> nodes..." for every polyline section read.
    enum class Progress { objects, polylines };

    // Walks the layer from where its .mif stands (after miFindData: its
    // objects); `delimiter` is the one miFindData found.
    LayerWalk(const mif::InputLayer& layer, Progress progress, char delimiter);

    // The next object line of the .mif, of any kind; false at the .mif's end.
    bool next();

    // The next Line, Pline or Pline Multiple, the last announced as
    // "Disaggregating combined polyline into <n> polylines...".
    bool next_polyline();

    const mif::miObject& object() const noexcept { return object_; }

    // The objects next_polyline() stepped over that hold a geometry, by kind
    // in the words of the format, the most frequent first ("299 Regions,
    // 2 Points, 1 Text"); empty when there were none. NONE objects hold none.
    std::string passed_over() const;

    // The object's .mid row, read at the first ask.
    const std::string& row();

    // The first attribute of the object's row as a name: a line end inside a
    // quoted name becomes a blank, since a 12d ASCII name is one line; a name
    // holding a NUL cannot be read. `routine` names the conversion in the message.
    void first_attribute_text(std::string& name, std::string_view routine);

    // The first attribute of the object's row as a single-precision elevation,
    // read in free format; an empty one stops the run too.
    float first_attribute_real(std::string_view routine);

    // Reads the next section of the object into x[0..n) and y: a Pline
    // Multiple has its section count, every other object one. False when none
    // is left; a section the object reader does not read is passed over.
    // `texts`, when not empty, receives the texts of the numbers beside them.
    bool next_section(std::span<double> x, std::span<double> y, std::int32_t max_vertices, std::int32_t& n,
                      const mif::miVertexTexts& texts = {});

private:
    io::InputFile& mif_;
    io::InputFile* mid_;
    Progress progress_;
    char delimiter_;
    std::int32_t objects_ = 0;  // objects met so far: the number of the current one
    mif::miObject object_;
    std::string line_;
    std::string_view rest_;  // of line_, after the object keyword
    std::string row_;
    bool row_read_ = true;
    std::int32_t sections_left_ = 0;
    std::array<std::int64_t, static_cast<std::size_t>(mif::miKind::center) + 1> passed_ = {};
    std::int32_t shown_ = 0;  // objects or polylines shown so far
    std::string text_;
    std::string field_;
};

}  // namespace velmorak::mif2d12
