#pragma once
// The strings of a 12d ASCII file, one record each, in file order, with
// everything another program makes of a string: its model, type, name,
// colour, style, breakline, chainage, whether it is closed, its vertices and
// its attributes. This is the one reader of 12d ASCII for programs other than
// the converter: the GDAL driver and the C interface (velmorak/d12.h) both
// read through StringRecords, over the converter's own walk (string_walk.h).
//
// A reader holds one string at a time and reads the file again from the
// start when asked to go back. Every string counts in the numbering, with or
// without vertices, so a string number names the same string on every pass.
// Texts come as the file holds them once decoded to UTF-8 where the file
// says its encoding (a byte order mark); the caller takes a text of a file
// without one through io::as_utf8. The core runs under a CoreRun of the
// reader's own: nothing is printed, nothing waits, and a stop of the reading
// (a damaged file) becomes Step::stopped with its reason.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "d12/string_details.h"
#include "io/byte_source.h"
#include "io/input_file.h"
#include "services/core_run.h"
#include "util/big_array.h"

namespace velmorak::d12 {

class StringWalk;

struct StringRecord {
    std::uint64_t number = 0;  // 1 for the file's first string
    std::uint64_t line = 0;    // the line of its "string ... {" header
    std::uint64_t offset = 0;  // where that line begins in the file's text: a place seek() goes to
    std::string model;         // the model it stands in; empty before any model line
    std::string type;          // the word after "string": super, 3d, 2d, interface ...
    std::string name;
    std::string colour;
    std::string style;
    std::string breakline;
    bool has_chainage = false;
    double chainage = 0.0;
    bool closed = false;  // its vertices end with a copy of the first
    // A value inside a nested group is named "group/attribute" (groups nested
    // deeper add their names in turn); a value is a text without its quotes
    // and escapes, or a number as written.
    std::vector<StringAttribute> attributes;
    // The vertices of its data blocks in order; a null height is NaN. A
    // string of keywords only (an arc, a circle) has none.
    std::vector<double> x;
    std::vector<double> y;
    std::vector<double> z;
    bool has_heights = false;  // some vertex has a real height
    // The arc from each vertex to the next (string_arcs.h): its signed radius,
    // 0 for a straight segment, and 1 where it is the major arc. Empty for a
    // string without arcs. An arc string's vertices are its start and end, a
    // circle string's the point east of its centre, the one opposite and the
    // first again, joined by arcs.
    std::vector<double> radius;
    std::vector<unsigned char> major;
};

class StringRecords {
public:
    // Where the bytes of a file come from: the GDAL driver reads through
    // GDAL's file layer, and opens a .12daz's member there too. Without one,
    // the file layer of the core (io::FileSource) opens it, and a .12daz
    // through the core's archive reader.
    using OpenBytes = std::function<std::unique_ptr<io::ByteSource>(const std::string& path, std::string& why)>;

    // Opens a .12da or .4da, or a .12daz by its one .12da member; nullptr and
    // the reason in `why` when it cannot. A string of more than `capacity`
    // vertices stops the reading.
    static std::unique_ptr<StringRecords> open(const std::string& path, std::size_t capacity, std::string& why,
                                               const OpenBytes& open_plain = {});
    ~StringRecords();
    StringRecords(const StringRecords&) = delete;
    StringRecords& operator=(const StringRecords&) = delete;

    enum class Step { string, end, stopped };
    // The next string. `stopped` when the file is damaged beyond reading on:
    // stop_text() then holds the reader's message and stop_line() its line.
    Step next(StringRecord& s);
    // Back to the first string.
    void rewind();
    // Whether seek() places the reader without reading what comes before:
    // a plain file of 8-bit or UTF-8 text. A UTF-16 file and an archive's
    // member are read in sequence only.
    bool seekable() noexcept;
    // The next string is the one whose record had this offset, line, model
    // and number; the header is read first when it was not. False when the
    // reader cannot be placed there (then rewind() and read on) or stopped in the header.
    bool seek(std::uint64_t offset, std::uint64_t line, const std::string& model, std::uint64_t number);
    // Reads the header, if no string was read yet: its null value is known
    // after. False when the reading stopped in it.
    bool read_header();
    // The file's null value (-99999 unless its header says another), once
    // the header is read.
    double null_value() const noexcept;
    const std::string& stop_text() const noexcept { return core_.stop_text(); }
    // How many surfaces (tin, full_tin, super_tin) the strings passed since the
    // start of the file stood among; d12::TinRecords reads them.
    std::size_t passed_tins() const noexcept;
    std::uint64_t stop_line() const noexcept { return stop_line_; }
    // Heights as read, in single precision, instead of the shortest decimal
    // of each: for a pass that wants only their range (a first scan), which
    // takes height_as_written() of its extremes. The text round trip is
    // monotonic, so the range is the same.
    void keep_raw_heights(bool raw) noexcept { raw_heights_ = raw; }

private:
    explicit StringRecords(std::size_t capacity);
    bool read_next(StringRecord& s);
    void start();
    void take_block(StringRecord& s, bool& plan_only, std::size_t count);
    void take_details(StringRecord& s);

    services::CoreRun core_;
    std::unique_ptr<io::InputFile> file_;
    std::unique_ptr<StringWalk> walk_;
    StringDetails details_;
    // Sized once for the longest string allowed, touched only as far as the longest string read.
    std::size_t capacity_;
    util::LazyVector<double> x_;
    util::LazyVector<double> y_;
    util::LazyVector<float> z_;
    // A polyline's or drainage string's radius and bulge values, read with its vertices.
    util::LazyVector<double> radius_;
    util::LazyVector<unsigned char> major_;
    std::uint64_t number_ = 0;
    std::uint64_t stop_line_ = 0;
    bool started_ = false;
    bool has_next_ = false;
    bool stopped_ = false;
    bool raw_heights_ = false;
};

// A height read in single precision as other programs get it: the shortest
// decimal that reads back as the same float (the file's 212.406, not
// 212.406005859375).
double height_as_written(float z);

// The text of a 12d file as its readers take it, decoded to UTF-8: a .12da or
// .4da (through `open_plain` when given), or a .12daz by its .12da member.
// nullptr and the reason in `why` when it cannot be opened; run it under the
// reader's CoreRun, since damage in the first bytes stops the run.
std::unique_ptr<io::InputFile> open_12d_text(const std::string& path, std::string& why,
                                             const StringRecords::OpenBytes& open_plain);

}  // namespace velmorak::d12
