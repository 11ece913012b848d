// The geometry routines for C callers (conventions in capi/boundary.h).
// Results through pointers are written by the routines themselves, so a value
// a routine leaves alone stays as the caller had it.
#include "capi/boundary.h"
#include "util/geometry.h"

namespace geo = velmorak::util;
using velmorak::capi::guarded;
using velmorak::capi::logical;

float DISTANCE(float x1, float y1, float x2, float y2) { return geo::DISTANCE(x1, y1, x2, y2); }

float DISTANCE_8(double x1, double y1, double x2, double y2) { return geo::DISTANCE_8(x1, y1, x2, y2); }

float VECTOR_MAGNITUDE(float u, float v) { return geo::VECTOR_MAGNITUDE(u, v); }

float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    return geo::ANGLE2D(x1, y1, x2, y2, x3, y3, x4, y4);
}

int SAME_POINT(float x1, float y1, float x2, float y2, float tolerance) {
    return logical(geo::SAME_POINT(x1, y1, x2, y2, tolerance));
}

int SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance) {
    return logical(geo::SAME_POINT_8(x1, y1, x2, y2, tolerance));
}

float SAME_SIDE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    return geo::SAME_SIDE(x1, y1, x2, y2, x3, y3, x4, y4);
}

float SAME_SIDE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    return geo::SAME_SIDE_8(x1, y1, x2, y2, x3, y3, x4, y4);
}

int INTERSECT_POINT(float x1, float y1, float x2, float y2, float x3, float y3) {
    return logical(geo::INTERSECT_POINT(x1, y1, x2, y2, x3, y3));
}

int INTERSECT_LINE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    return logical(geo::INTERSECT_LINE(x1, y1, x2, y2, x3, y3, x4, y4));
}

int INTERSECT_LINE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4) {
    return logical(geo::INTERSECT_LINE_8(x1, y1, x2, y2, x3, y3, x4, y4));
}

int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4) {
    return geo::INTERSECT_LINE_V2(x1, y1, x2, y2, x3, y3, x4, y4);
}

int INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, float* x,
                       float* y) {
    return logical(geo::INTERSECTION_POINT(x1, y1, x2, y2, x3, y3, x4, y4, *x, *y));
}

int INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4,
                         double* x, double* y) {
    return logical(geo::INTERSECTION_POINT_8(x1, y1, x2, y2, x3, y3, x4, y4, *x, *y));
}

// The polygon walkers end the run on a bad part list.
int INSIDE_POLYGON(float px, float py, const float* x, const float* y, int32_t n, float xref, const int32_t* ends,
                   int32_t nparts) {
    return guarded([&] { return logical(geo::INSIDE_POLYGON(px, py, x, y, n, xref, ends, nparts)); });
}

int INSIDE_POLYGON_8(double px, double py, const double* x, const double* y, int32_t n, double xref,
                     const int32_t* ends, int32_t nparts) {
    return guarded([&] { return logical(geo::INSIDE_POLYGON_8(px, py, x, y, n, xref, ends, nparts)); });
}

int INTERPOLATE_TRIANGLE(float px, float py, const float* x, const float* y, const float* z, float* z_out) {
    return logical(geo::INTERPOLATE_TRIANGLE(px, py, x, y, z, *z_out));
}

int INTERPOLATE_TRIANGLE_8(double px, double py, const double* x, const double* y, const float* z, float* z_out) {
    return logical(geo::INTERPOLATE_TRIANGLE_8(px, py, x, y, z, *z_out));
}

int INTERPOLATE_ELEMENT_8(double px, double py, const double* x, const double* y, const float* z, int32_t nv,
                          double xref, float* z_out) {
    return guarded([&] { return logical(geo::INTERPOLATE_ELEMENT_8(px, py, x, y, z, nv, xref, *z_out)); });
}

void GEO_SHIFT(const double* x, const double* y, int32_t n, double x0, double y0, float angle, float* u, float* v) {
    geo::GEO_SHIFT(x, y, n, x0, y0, angle, u, v);
}

void SET_SUB_GRID_AREA(const float* x, const float* y, int32_t n, float size, int32_t cells_y, int32_t cells_x,
                       int32_t* lo_y, int32_t* lo_x, int32_t* hi_y, int32_t* hi_x, float* xmin, float* ymin,
                       float* xmax, float* ymax) {
    geo::SET_SUB_GRID_AREA(x, y, n, size, cells_y, cells_x, *lo_y, *lo_x, *hi_y, *hi_x, *xmin, *ymin, *xmax, *ymax);
}

void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float enable, float* area, float* width,
               float* perimeter) {
    geo::HYD_PARAM(x1, z1, x2, z2, level, enable, *area, *width, *perimeter);
}

void HYD_PARAM2(float x1, float z1, float enable1, float x2, float z2, float enable2, float level, float* area1,
                float* area2, float* width1, float* width2, float* perimeter1, float* perimeter2) {
    geo::HYD_PARAM2(x1, z1, enable1, x2, z2, enable2, level, *area1, *area2, *width1, *width2, *perimeter1,
                  *perimeter2);
}

float CIRCLE_WIDTH(float radius, float depth) { return geo::CIRCLE_WIDTH(radius, depth); }
