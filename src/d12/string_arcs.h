#pragma once
// The circular arcs of a 12d string, as its keywords give them:
//   - an "arc" string: its centre, start and end (xcentre ycentre zcentre,
//     xstart ..., xend ...) and its radius; a "circle" string: its centre
//     and radius;
//   - a super string's radius_data and major_data blocks, or its
//     geometry_data block (straight { } and arc { radius r major m }
//     elements): the arc, if any, from each vertex to the next.
// A positive radius runs clockwise from a vertex to the next (its centre to
// the right), a negative one anticlockwise; "major" takes the longer of the
// two arcs through both vertices. A radius of 0, and one too short to span
// its chord, is a straight segment.
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace velmorak::d12 {

struct StringArcs {
    static constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
    // Keywords of an arc or circle string; NaN where the string has none.
    double centre[3] = {kNone, kNone, kNone};
    double start[3] = {kNone, kNone, kNone};
    double end[3] = {kNone, kNone, kNone};
    double radius = kNone;
    // Per segment (vertex i to i + 1), in file order; empty for a string without.
    std::vector<double> segment_radius;
    std::vector<unsigned char> segment_major;

    void clear() {
        for (double* v : {centre, start, end}) v[0] = v[1] = v[2] = kNone;
        radius = kNone;
        segment_radius.clear();
        segment_major.clear();
    }
};

struct StringRecord;

// Puts the arcs into the record: the radius and major flag of each vertex
// where the string has arcs, and the vertices of an arc or circle string.
// Heights equal to the file's null value are null.
void apply_arcs(const StringArcs& arcs, float null_value, StringRecord& s);

}  // namespace velmorak::d12
