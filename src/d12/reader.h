#pragma once
// The object logic of the 12d ASCII reader: the four steps a walk over a
// .12da/.4da file is made of. They keep no model of the file: the caller owns
// one d12Object and one set of vertex arrays and consumes each object before
// asking for the next. Callers do not put these steps together themselves:
// StringWalk (string_walk.h) is the one walk, and it passes over whatever its
// caller does not read.
//
// Objects are read by their braces, counted outside double-quoted text. A
// string runs from its "string <type> {" line to its own closing brace. Only
// lines at its own level are its "name", "z" and "closed" lines, and only a
// "data", "data_2d", "data_3d" or "hipdata" block at its own level holds its
// vertices; every other block, in a string (attributes, side blocks such as
// radius_data or point_data, a drainage string's pits and pipes) or between
// strings (TINs, project attributes), is passed over whole. The exception is
// the plan of a super alignment: the data_2d block in its horizontal_data,
// which comes out flagged as hipdata. A string without a data block comes out
// without data flags.
//
// Keywords are found by case-insensitive tests; a line "starts with" a
// keyword when the keyword lies within its first characters. The "z" line is
// the word "z" alone ("zcentre" and "zone" are other keywords). Only blanks are
// removed before those tests, so a keyword indented with a tab is not seen
// (a data block's keyword is, as it stands before its brace). Comments and
// quoted texts are as line_lexer.h reads them. A height written as the word
// "null" is the null elevation.
//
// Bad input: a header without a readable start of data gives a warning and a
// pause (false); an unreadable "name" or "z" value, a vertex line that is not
// numbers or has too few of them, and more vertices than the caller's capacity
// are fatal: the message, then STOPRUN (which throws services::RunStop).
#include <cstddef>
#include <span>
#include <string>

#include "d12/line_lexer.h"
#include "d12/object.h"
#include "util/fixed.h"

namespace velmorak::d12 {

inline constexpr std::size_t kHeaderLineWidth = 100;    // lines of the header scan
inline constexpr std::size_t kLineWidth = 1000;         // the object scan's line buffer
inline constexpr std::size_t kVertexLineWidth = 10000;  // lines of a data block

// Rewinds the file and reads its header up to and including the "model" line,
// which is handed back in model_line when one is asked for (empty when the file
// ended first). A string header outside any block ends the header too, without
// a model line: it is left unread, to be the first object line. A "null" line
// before either replaces nullValue (and is reported on the console); "null
// null" leaves it as it is.
// True when the objects were reached or the file ended; false, after a warning
// and a pause, when the null value or a line could not be read.
bool d12ReadHeader(LineLexer& lines, float& nullValue, std::string* model_line = nullptr);

// The next significant line: left-adjusted (blanks only), cut to `width`,
// without its comment; empty lines and comment lines are skipped. False, with
// `line` cleared, at the end of the file or on a read error.
bool d12NextLine(std::string& line, LineLexer& lines, std::size_t width = kLineWidth);

// Classifies the line just read by d12NextLine (left-adjusted in place). For a
// string header, or for the next block of a super string when object.more is
// set, it reads the string's name, "z" and "closed" lines up to the data-block
// line, which is left in `line`, sets the object's data flags from it and
// returns true; the file then stands just after that line (or at its end). A
// string that closes without a data block gives true with no data flag set,
// `line` still its header line. Any other line: type "unknown", the data flags
// from that line, false; a block the line opens or stands in is passed over.
bool d12ObjectType(LineLexer& lines, std::string& line, d12Object& object);

// Where d12ReadVertices puts the texts of the numbers it reads, beside their
// values (index for index), for a writer that copies their digits; all empty
// when they are not wanted. A height that has no text of its own gets an
// empty one.
struct VertexTextSpans {
    std::span<util::NumberText> x;
    std::span<util::NumberText> y;
    std::span<util::NumberText> z;
};

// Reads the vertices of the data block d12ObjectType has just found into
// x[0..count), y, z (the file's vertex k is index k-1). A 2D block takes its
// elevations from object.z; further values on a vertex line are ignored. A
// closed polyline gets a copy of its first vertex at the end, so the arrays
// must hold capacity + 1 entries; so does a super string whose "closed" line
// says so. A block opened and closed on its data-block line holds the text
// between its braces as one vertex line. For a super string the rest of the
// string is scanned: object.more tells whether another data block follows, and
// the file is then stepped back onto that block's line for the next
// d12NextLine; the rest of any other string is passed over. False, with count
// unchanged, when there is no data block to read, no line could be read after
// the data-block line or the object is not a string.
bool d12ReadVertices(LineLexer& lines, d12Object& object, std::span<double> x, std::span<double> y,
                     std::span<float> z, std::size_t capacity, std::size_t& count, const VertexTextSpans& texts = {});

// Where a polyline's or drainage string's vertex lines, "x y z radius bulge",
// put their fourth and fifth values: the radius of the arc from the vertex to
// the next (0 for none) and its bulge (1: the major arc). Sized like x; a
// value missing or not a number reads as 0.
struct VertexArcs {
    std::span<double> radius;
    std::span<unsigned char> major;
};

// d12ReadVertices, also reading each vertex line's radius and bulge into `arcs`.
bool d12ReadVertices(LineLexer& lines, d12Object& object, std::span<double> x, std::span<double> y,
                     std::span<float> z, std::size_t capacity, std::size_t& count, const VertexArcs& arcs);

// d12ReadVertices for a block nobody wants: read all the same, up to `capacity`
// vertices, but stored nowhere, because only reading a super string's block
// finds out whether the string has another one. Any other string is passed
// over to its end unread.
void pass_over_block(LineLexer& lines, d12Object& object, std::size_t capacity);

}  // namespace velmorak::d12
