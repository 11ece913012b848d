#pragma once
// The geometry of a 12d string whose segments may be circular arcs (the
// radius and major flag of each vertex, d12/string_arcs.h), in the form the
// open option ARCS asks for:
//   CURVES   a CompoundCurve: its straight runs as LineStrings, its arcs as
//            CircularStrings through each arc's midpoint (GDAL linearises
//            them for formats without curves);
//   DENSIFY  a LineString with points along each arc, so that no chord lies
//            further than `tolerance` (in the file's units) from its arc;
//   CHORDS   a LineString of the vertices alone, as 12d's chords.
// A height along an arc goes linearly from the height at its start to the
// one at its end. gdal/python/ogr_12DA.py computes the same points with the
// same operations, so that both drivers give the same doubles.
#include <ogr_geometry.h>

#include <cstddef>

namespace velmorak::gdal12 {

enum class ArcMode { curves, densify, chords };

// The arc from (x0, y0) to (x1, y1) of signed radius `radius` (positive:
// clockwise) and the major flag: its centre and its sweep (radians, > 0).
// False when the radius is 0 or too short to span the chord: a straight segment.
bool arc_through(double x0, double y0, double x1, double y1, double radius, bool major, double& cx, double& cy,
                 double& a0, double& sweep);

// The string's geometry; `z` may be null (2D). `radius` and `major` hold n
// entries, or are null for a string of straight segments (a CompoundCurve of
// one LineString in CURVES).
OGRGeometry* arc_geometry(const double* x, const double* y, const double* z, std::size_t n, const double* radius,
                          const unsigned char* major, ArcMode mode, double tolerance);

// Widens `e` (x and y) to the arcs of the string, which may bulge beyond its vertices.
void add_arc_extent(const double* x, const double* y, std::size_t n, const double* radius, const unsigned char* major,
                    OGREnvelope& e);

}  // namespace velmorak::gdal12
