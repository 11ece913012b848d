#pragma once
// The object section of a .mif: classifies each line by its object keyword
// (miObjectType) and reads the coordinates of points, lines, rectangles,
// polylines (one section per call) and regions into caller-owned vertex
// arrays (miReadObject).
//
// Vertex arrays are 0-based: vertex k of an object is x[k-1], y[k-1]. They
// hold at least max_vertices entries and never fewer than 2. A region fills
// them polygon after polygon, each polygon followed by one spare slot.
//
// Bad input ends the run through the message log and STOPRUN: letters where
// numbers belong ("Reading .mif file"), lines or numbers missing ("Unexpected
// end"), too many vertices or polygons, and Collection objects. A region of
// fewer than 5 slots is only warned about and skipped.
#include <cstdint>
#include <span>
#include <string_view>

#include "io/input_file.h"
#include "mif/object.h"
#include "util/fixed.h"

namespace velmorak::mif {

// The kind to `other` and the counts to zero; the polygon end table stays.
void miClearObject(miObject& object);

// Classifies one .mif line. True when it starts (after blanks and tabs, any
// case) with an object keyword from "NONE" to "MULTIPOINT"; such a line owns
// one .mid row. A "CENTER" clause gives the kind center and false. `rest`
// receives the line after the keyword (after the leading blanks when none
// matched) as a view into `line`, valid as long as `line` is. Reads the counts
// after "PLINE MULTIPLE", "MULTIPOINT" and "REGION".
bool miObjectType(std::string_view line, std::string_view& rest, miObject& object);

// Reads the object classified last from `rest` and the following lines of the
// .mif, into x[0..n) and y, leaving the file at the first line after the
// object (a region without a Center clause steps back so the line that ended
// it is read again). A Pline Multiple is read one section per call. False for
// kinds not read (arc, ellipse, text, none) and for regions of fewer than 5 slots.
// texts: where the texts of the numbers go, beside x and y (index for index),
// for a writer that copies their digits; empty when they are not wanted.
struct miVertexTexts {
    std::span<util::NumberText> x;
    std::span<util::NumberText> y;
};
bool miReadObject(std::string_view rest, io::InputFile& mif, miObject& object, std::span<double> x,
                  std::span<double> y, std::int32_t max_vertices, std::int32_t& n, const miVertexTexts& texts = {});

// Returns when requested <= maximum; otherwise the node-limit error and STOPRUN.
void miCheckNodeLimit(std::int64_t requested, std::int64_t maximum);

}  // namespace velmorak::mif
