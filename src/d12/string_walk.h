#pragma once
// The one walk over a 12d ASCII file (.12da/.4da): every conversion, test and
// reader of such files goes through StringWalk, which puts the reader's steps
// (reader.h) together in their one order. The calling pattern is
//
//     StringWalk walk(file);
//     if (!walk.start()) return;          // the header; false after its warning and pause
//     while (walk.next()) {               // the next data block of a string
//         const d12Object& o = walk.object();
//         if (wanted(o)) walk.read_vertices(x, y, z, count);
//     }
//
// A string comes out once per data block: a super string's data_2d, data_3d
// and hipdata blocks come out one after the other, each with the string's name
// and type and the flags of that block (block_index() 0, 1, 2 ...). A block
// the caller does not read is passed over by the next call of next(), so going
// on never loses a block of the same string or the strings after it.
//
// Besides the object, the walk tells which model the string lies in (the last
// top-level "model" line before it), the line its header stands on, and, once
// its block is read, whether another block of the same string follows. Nothing
// is allocated per string: the object's texts keep their capacity.
//
// The surfaces between the strings (tin, full_tin, super_tin: tin.h) come out
// of next() too, read whole into the caller's Tin record, when the caller
// asks for them with collect_tins(); is_tin() then tells them from strings.
// Otherwise they are passed over, and passed_tins() names them afterwards,
// so that a conversion that reads only strings can say what it left out.
#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "d12/line_lexer.h"
#include "d12/object.h"
#include "d12/reader.h"
#include "d12/tin.h"
#include "io/input_file.h"
#include "util/big_array.h"

namespace velmorak::d12 {

// Most vertices one string may hold in either conversion.
inline constexpr std::size_t kVertexCapacity = 1000000;

// The vertex arrays a conversion owns for the whole run, sized once (one slot
// more than the capacity, for the closing copy of a closed polyline's first
// vertex) and overwritten block by block. Memory is touched only as far as
// the longest string fills it.
struct VertexArrays {
    VertexArrays() : x(kVertexCapacity + 1), y(kVertexCapacity + 1), z(kVertexCapacity + 1) {}
    util::LazyVector<double> x;
    util::LazyVector<double> y;
    util::LazyVector<float> z;
    std::size_t count = 0;
};

// The texts of the numbers of a block, beside VertexArrays, for a conversion
// that writes its fields from the digits read (util::put_digits_field).
struct VertexTexts {
    VertexTexts() : x(kVertexCapacity + 1), y(kVertexCapacity + 1), z(kVertexCapacity + 1) {}
    VertexTextSpans spans() noexcept { return {x, y, z}; }
    util::LazyVector<util::NumberText> x;
    util::LazyVector<util::NumberText> y;
    util::LazyVector<util::NumberText> z;
};

// A vertex has an elevation unless it lies within 0.001 of the null value
// (absolute difference in single precision).
inline bool has_elevation(float z, float null_value) { return std::fabs(z - null_value) > 0.001f; }

// Opens File 1 of a conversion from 12d ASCII for reading, through the unit
// pool (with its console report and its prompt when the file is missing).
io::InputFile& open_12da_input(std::string_view file1);

class StringWalk {
public:
    // `capacity`: the most vertices one block may hold; more stop the run with
    // the node-limit error, also in a block that is passed over.
    explicit StringWalk(io::InputFile& file, std::size_t capacity = kVertexCapacity);

    // Reads the header. False, after the reader's warning and pause, when it
    // cannot be read: there is nothing to walk.
    bool start();

    // Asked before start(): each string's colour, style, breakline, chainage
    // and attributes are collected into `details` as it is walked.
    void collect_details(StringDetails* details) noexcept { details_ = details; }

    // Asked before start(): each surface is read whole into `tin` and comes
    // out of next() as an object of its own (type "tin", "full_tin" or
    // "super_tin", no data flags), with is_tin() true.
    void collect_tins(Tin* tin) noexcept { tin_ = tin; }
    // The object is a surface; after a stop, the stop came in a surface.
    bool is_tin() const noexcept { return is_tin_; }

    // The surfaces passed over so far (all of them, unless collected).
    struct PassedTin {
        TinKind kind = TinKind::tin;
        std::string name;
    };
    const std::vector<PassedTin>& passed_tins() const noexcept { return passed_; }
    // Tells the console, after a conversion's summary, which surfaces it left
    // out and what reads them; nothing when the file has none.
    void report_passed_tins() const;

    // The 1-based number of the line read last (for messages).
    std::size_t line_number() const noexcept { return lines_.line_number(); }

    // The null elevation: -99999 unless the header's "null" line sets another.
    float null_value() const noexcept { return object_.nullValue; }

    // Steps to the next data block of a string (or to a string without one,
    // which comes out without data flags). False at the end of the file; a
    // file that ends inside a block then gives one warning (and a pause)
    // naming the line that block began on: nothing after it was read as strings.
    bool next();

    const d12Object& object() const noexcept { return object_; }
    bool has_data() const noexcept { return object_.data2d || object_.data3d || object_.hipData; }

    // The line the object was found on: its data-block line, or its header
    // line when it has no data block. Cut to the reader's line width.
    std::string_view line() const noexcept { return line_; }

    // The name in the last top-level "model" line before the string (the
    // header's included); empty before any.
    std::string_view model() const noexcept { return model_; }

    // The 1-based number of the line holding the string's header.
    std::size_t string_line() const noexcept { return string_line_; }

    // Where the line holding the string's header begins in the file
    // (io::InputFile::line_offset): a place seek() goes back to.
    std::uint64_t string_offset() const noexcept { return string_offset_; }

    // Whether seek() can place the walk on a string (a file read in sequence only cannot).
    bool seekable() noexcept { return lines_.file().seekable(); }
    // The next call of next() gives the string whose header line begins at
    // `offset` (a string_offset() of this file), on line `line`, in `model`:
    // what the walk would know had it read the file that far. Only after
    // start(). False when the file cannot be placed there.
    bool seek(std::uint64_t offset, std::size_t line, std::string_view model);

    // 0 for a string's first data block, 1 for its second ...
    std::size_t block_index() const noexcept { return block_index_; }

    // Reads the vertices of the current block into x[0..count), y, z, which
    // must hold capacity + 1 entries (see d12ReadVertices). False, count
    // unchanged, when the block has none to read, or was read already.
    bool read_vertices(std::span<double> x, std::span<double> y, std::span<float> z, std::size_t& count,
                       const VertexTextSpans& texts = {});
    bool read_vertices(VertexArrays& v) { return read_vertices(v.x, v.y, v.z, v.count); }
    // The same, keeping the texts of the numbers beside them.
    bool read_vertices(VertexArrays& v, VertexTexts& texts) {
        return read_vertices(v.x, v.y, v.z, v.count, texts.spans());
    }
    // The same, also reading a polyline's or drainage string's radius and bulge values (reader.h).
    bool read_vertices(std::span<double> x, std::span<double> y, std::span<float> z, std::size_t& count,
                       const VertexArcs& arcs);

    // Whether another data block of the same string follows this one. Known
    // once the block is read; asked before, it passes over the block first.
    bool more_blocks();

private:
    void pass_over_unread();
    void note_model_line(std::string_view line);
    void report_cut_off();
    bool take_tin(TinKind kind);

    LineLexer lines_;
    std::size_t capacity_;
    d12Object object_;
    std::string line_;
    std::string model_;
    std::size_t top_line_ = 0;  // the line the last top-level object began on
    std::uint64_t top_offset_ = 0;  // ... and where that line begins
    std::size_t string_line_ = 0;
    std::uint64_t string_offset_ = 0;
    std::size_t block_index_ = 0;
    bool unread_ = false;  // the current block's vertices are still in the file
    StringDetails* details_ = nullptr;
    Tin* tin_ = nullptr;
    bool is_tin_ = false;
    Tin passed_over_;  // the name of a surface nobody collects
    std::vector<PassedTin> passed_;
};

}  // namespace velmorak::d12
