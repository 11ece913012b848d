#pragma once
// Exported library: C callers reach the upper-case routines through capi/geometry_api.cpp.
//
// Plane geometry for terrain and hydraulic-model data, one topic a file in
// util/geometry/:
//   distances.h      lengths, angles, coincident points, turned local axes
//   intersections.h  side and intersection tests for segments and lines
//   polygons.h       point-in-polygon tests for polygons of several parts
//   grid_fill.h      grid cells inside such a polygon, sub-grid ranges
//   interpolation.h  elevations inside a triangle or a quadrilateral
//   hydraulics.h     flow area, width and wetted perimeter of a panel
// Nothing is kept between calls and nothing is read or written, except that a
// polygon walker given a bad part list writes one message to the console and
// ends the run through STOPRUN (services::RunStop is thrown).
//
// Precision. The plain routines work in single precision (float); an "_8" twin
// takes double coordinates and, where noted, still rounds to float: DISTANCE_8
// rounds the two differences to float before squaring, SAME_SIDE_8 rounds its
// six differences, and every distance and elevation result is a float. The
// small tolerance 1.0E-6 is the float 1.0e-6f (9.99999997e-7 when widened).
//
// Arrays. Vertex, point and value arrays are passed as a pointer and a count.
// The algorithms number elements from 1; element k is stored at index k-1.
#include "util/geometry/distances.h"
#include "util/geometry/grid_fill.h"
#include "util/geometry/hydraulics.h"
#include "util/geometry/interpolation.h"
#include "util/geometry/intersections.h"
#include "util/geometry/polygons.h"
