/*
 * d12.h - 12d ASCII files (.12da, .4da, .12daz) read and written from C.
 *
 * The converter's own 12d reader and writer, for programs in any language
 * that can call C: the GDAL Python driver and the QGIS plugin call it
 * through ctypes. It is exported from libvelmorak and velmorak.dll beside the
 * routines of velmorak.h.
 *
 * Conventions (the same for every function here):
 *
 *   Handles    A reader or writer is an opaque handle, made by an open or
 *              create function and freed by velmorak_d12_close or
 *              velmorak_d12_writer_close. Handles are independent: two
 *              threads may each use their own, never one together.
 *   Status     Every function that can fail returns an int status:
 *              VELMORAK_D12_OK, VELMORAK_D12_END (no further string) or a
 *              negative code. After a negative code, the handle's error text
 *              (or velmorak_d12_last_error for a failed open or create) says
 *              why, in one line, with the file and the line number where the
 *              file is at fault ("site.12da, line 12: ...").
 *   Texts      NUL-terminated UTF-8, in and out. A text the library gives is
 *              owned by the handle and stays valid until the next call on it.
 *              Texts of files written in 8-bit code pages (not valid UTF-8)
 *              are read as Windows-1252; UTF-16 files are decoded.
 *   Paths      UTF-8 texts; on Windows also wide texts (the _w functions).
 *   Heights    A vertex's height is a double; a null height (the file's null
 *              value, or the word null) is NaN, never a number.
 *   Errors     Nothing is printed, nothing waits for input, nothing ends the
 *              process, and no C++ exception crosses this interface: a damaged
 *              file gives VELMORAK_D12_ERROR with its reason.
 */
#ifndef VELMORAK_D12_H
#define VELMORAK_D12_H

#include <stddef.h>
#include <stdint.h>

#include "velmorak/velmorak.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The version of this interface: a caller compares it with the version it
 * was written for (a change that breaks callers raises it). */
#define VELMORAK_D12_API_VERSION 1
VELMORAK_API int velmorak_d12_api_version(void);

/* Status codes. */
#define VELMORAK_D12_OK 0
#define VELMORAK_D12_END 1        /* no further string */
#define VELMORAK_D12_ERROR (-1)   /* the file cannot be read or written on: see the error text */
#define VELMORAK_D12_INVALID (-2) /* a NULL handle or argument, or a call out of order */

/* The error text of the last open or create that failed on this thread. */
VELMORAK_API const char *velmorak_d12_last_error(void);

/* ------------------------------------------------------------------------
 * Reading
 *
 *   velmorak_d12_reader *r;
 *   if (velmorak_d12_open("site.12da", 0, &r) != VELMORAK_D12_OK) { ... last_error ... }
 *   velmorak_d12_string s;
 *   int status;
 *   while ((status = velmorak_d12_next(r, &s)) == VELMORAK_D12_OK) { ... }
 *   if (status < 0) { ... velmorak_d12_error(r) ... }
 *   velmorak_d12_close(r);
 *
 * Every string of the file comes out in file order, those without vertices
 * (a text, a feature) too, with a vertex count of 0; an arc or circle string
 * comes with the vertices velmorak_d12_arcs describes. A super string's
 * vertices are its data, data_2d and data_3d blocks in order (its hipdata
 * block only where it has no other).
 */
typedef struct velmorak_d12_reader velmorak_d12_reader;

typedef enum velmorak_d12_attribute_kind {
    VELMORAK_D12_TEXT = 0,
    VELMORAK_D12_INTEGER = 1,
    VELMORAK_D12_REAL = 2
} velmorak_d12_attribute_kind;

/* One string. Its texts and arrays belong to the reader and stay valid until
 * the reader's next call. */
typedef struct velmorak_d12_string {
    uint64_t number;   /* 1 for the file's first string: the GDAL feature id */
    uint64_t position; /* where the string is, for velmorak_d12_seek: the byte offset of its header line in
                        * the file's text (after a byte order mark; in a UTF-16 file or a .12daz, in the
                        * text as UTF-8). The feature id is `number`, not this. */
    uint64_t line;     /* the line of its header "string ... {" */
    const char *model; /* the model it stands in; "" before any model line */
    const char *type;  /* the word after "string": super, 3d, 2d, interface ... */
    const char *name;  /* "" for a string without a name */
    const char *colour;
    const char *style;
    const char *breakline;
    int has_chainage;
    double chainage;
    int closed;        /* its vertices end with a copy of the first */
    int has_heights;   /* some vertex has a real height */
    size_t vertex_count;
    const double *x;
    const double *y;
    const double *z;   /* NaN where the height is null */
    size_t attribute_count;
} velmorak_d12_string;

/* Opens a file for reading. `max_vertices` is the most vertices one string
 * may hold (0: the converter's limit, 1000000); a longer string ends the
 * reading with an error. */
VELMORAK_API int velmorak_d12_open(const char *path, size_t max_vertices, velmorak_d12_reader **reader);
#if defined(_WIN32)
VELMORAK_API int velmorak_d12_open_w(const wchar_t *path, size_t max_vertices, velmorak_d12_reader **reader);
#endif
VELMORAK_API void velmorak_d12_close(velmorak_d12_reader *reader);

/* The file's null value (the header's "null" line; -99999 without one). */
VELMORAK_API double velmorak_d12_null_value(const velmorak_d12_reader *reader);

/* The next string: VELMORAK_D12_OK with `s` filled, VELMORAK_D12_END after the
 * last, or VELMORAK_D12_ERROR when the file is damaged beyond reading on (the
 * strings before the damage have come out). */
VELMORAK_API int velmorak_d12_next(velmorak_d12_reader *reader, velmorak_d12_string *s);

/* Back to the first string. */
VELMORAK_API int velmorak_d12_rewind(velmorak_d12_reader *reader);

/* Makes the string at `position` (from velmorak_d12_string.position) the one
 * the next call of velmorak_d12_next gives. Take a position only from a
 * string this reader gave. In a plain file of 8-bit or UTF-8 text the reader
 * goes there at once, whatever it read before. A UTF-16 file and a .12daz
 * archive are read in sequence: going back reads the file again from its
 * start as far as that string, going forward reads on. VELMORAK_D12_INVALID
 * for a position the reader gave no string at. */
VELMORAK_API int velmorak_d12_seek(velmorak_d12_reader *reader, uint64_t position);

/* Attribute `index` (0 .. attribute_count - 1) of the string given last. A
 * value inside a group is named "group/attribute". `value` is a text without
 * its quotes and escapes, or a number as written. */
VELMORAK_API int velmorak_d12_attribute(velmorak_d12_reader *reader, size_t index, const char **name,
                                        velmorak_d12_attribute_kind *kind, const char **value);

/* The circular arcs of the string given last, one entry per vertex (as many
 * as its vertex_count): `radius` the signed radius of the arc from that
 * vertex to the next, 0 for a straight segment, positive where the arc runs
 * clockwise (its centre to the right), negative anticlockwise; `major` 1
 * where it is the longer of the two arcs of that radius through both
 * vertices. Both NULL for a string without arcs. They come from a super
 * string's radius_data, major_data and geometry_data blocks, and from the
 * "x y z radius bulge" vertex lines of polyline and drainage strings; an arc string's
 * vertices are its start and end, a circle string's the point east of its
 * centre, the one opposite and the first again, joined by arcs. Owned by the
 * reader, valid until its next call. */
VELMORAK_API int velmorak_d12_arcs(velmorak_d12_reader *reader, const double **radius, const unsigned char **major);

/* Why the last call failed; "" when none did. */
VELMORAK_API const char *velmorak_d12_error(const velmorak_d12_reader *reader);
/* The line of the file the error concerns; 0 when none. */
VELMORAK_API uint64_t velmorak_d12_error_line(const velmorak_d12_reader *reader);

/* Fills the null heights (NaN) of a string that has real ones, as the GDAL
 * driver does by default: a null height between two real ones takes the height
 * interpolated linearly along the string's plan length (the running sum of
 * sqrt(dx*dx + dy*dy) from the first vertex) between them; one before the first
 * real height or after the last takes that height; one whose two real
 * neighbours lie at the same plan distance takes the earlier one's. A string
 * whose heights are all null is left unchanged. Returns the number of heights
 * filled (0 also for a NULL array). Takes the arrays of a velmorak_d12_string
 * after copying its z, which belongs to the reader. */
VELMORAK_API size_t velmorak_d12_fill_null_heights(const double *x, const double *y, double *z, size_t n);

/* ------------------------------------------------------------------------
 * Writing
 *
 * A new file: "null -999", then each model and its strings, each string a
 * "string super" block with its own lines, its "attributes" block and its
 * vertices, as the GDAL driver writes them. A path ending in ".12daz" gives a
 * ZIP archive of one .12da member. The file is written under a temporary name
 * and takes its own name only when velmorak_d12_writer_finish succeeds: a
 * failed or abandoned write leaves an earlier file of that name untouched.
 */
typedef struct velmorak_d12_writer velmorak_d12_writer;

typedef enum velmorak_d12_encoding {
    VELMORAK_D12_UTF8 = 0,  /* UTF-8 with a byte order mark, LF line ends */
    VELMORAK_D12_UTF16 = 1  /* UTF-16LE with a byte order mark, CRLF line ends */
} velmorak_d12_encoding;

/* `encoding` is a velmorak_d12_encoding, taken as an int so that any other
 * value a caller passes is refused (VELMORAK_D12_INVALID), not undefined. */
VELMORAK_API int velmorak_d12_create(const char *path, int encoding, velmorak_d12_writer **writer);
#if defined(_WIN32)
VELMORAK_API int velmorak_d12_create_w(const wchar_t *path, int encoding, velmorak_d12_writer **writer);
#endif

/* The model the strings written next belong to. */
VELMORAK_API int velmorak_d12_write_model(velmorak_d12_writer *writer, const char *name);

/* One attribute of a string written: `name` may hold a group path
 * ("Asset/Owner"); the values of one group are written together in its block.
 * An integer or real value is written as given, and must be a number. */
typedef struct velmorak_d12_attribute_value {
    const char *name;
    velmorak_d12_attribute_kind kind;
    const char *value;
} velmorak_d12_attribute_value;

/* One string written. NULL texts are left out; `z` may be NULL for a string
 * without heights, and a NaN in it is written as a null height. */
typedef struct velmorak_d12_string_out {
    const char *name;
    const char *colour;
    const char *style;
    const char *breakline;
    int has_chainage;
    double chainage;
    int closed;
    size_t vertex_count;
    const double *x;
    const double *y;
    const double *z;
    size_t attribute_count;
    const velmorak_d12_attribute_value *attributes;
} velmorak_d12_string_out;

VELMORAK_API int velmorak_d12_write_string(velmorak_d12_writer *writer, const velmorak_d12_string_out *s);

/* Completes the file and gives it its name. */
VELMORAK_API int velmorak_d12_writer_finish(velmorak_d12_writer *writer);
VELMORAK_API const char *velmorak_d12_writer_error(const velmorak_d12_writer *writer);
/* Frees the writer; a file not finished is abandoned. */
VELMORAK_API void velmorak_d12_writer_close(velmorak_d12_writer *writer);

/* ------------------------------------------------------------------------
 * Surfaces (tin, full_tin and super_tin objects)
 *
 *   velmorak_d12_tin_reader *r;
 *   if (velmorak_d12_tin_open("site.12da", &r) != VELMORAK_D12_OK) { ... last_error ... }
 *   velmorak_d12_tin t;
 *   while ((status = velmorak_d12_tin_next(r, &t)) == VELMORAK_D12_OK) { ... }
 *   if (status < 0) { ... velmorak_d12_tin_error(r) ... }
 *   velmorak_d12_tin_close(r);
 *
 * Every surface of the file comes out in file order, whole, its strings
 * passed over. Points are numbered from 0 in the arrays (the file numbers
 * them from 1). A tin lists its visible triangles only; a full_tin's
 * nulled triangles, and those on its four construction points, come out
 * with visible 0. A super TIN has no points: its members are the names of
 * the surfaces it is made of, lowest rank first.
 */
typedef struct velmorak_d12_tin_reader velmorak_d12_tin_reader;

typedef enum velmorak_d12_tin_kind {
    VELMORAK_D12_TIN = 0,
    VELMORAK_D12_FULL_TIN = 1,
    VELMORAK_D12_SUPER_TIN = 2
} velmorak_d12_tin_kind;

/* One surface. Its texts and arrays belong to the reader and stay valid
 * until the reader's next call. */
typedef struct velmorak_d12_tin {
    velmorak_d12_tin_kind kind;
    uint64_t line;     /* the line of its header "tin {" */
    const char *model; /* the model it stands in; "" before any model line */
    const char *name;
    const char *colour;
    size_t point_count;
    const double *points;      /* x, y, z of each point in turn (3 * point_count values); z NaN where null */
    size_t triangle_count;
    const uint32_t *triangles; /* three point indices (from 0) of each triangle in turn */
    const unsigned char *visible; /* 1 for a visible triangle, 0 for an invisible one */
    size_t visible_count;
    size_t attribute_count;
    size_t member_count;
} velmorak_d12_tin;

VELMORAK_API int velmorak_d12_tin_open(const char *path, velmorak_d12_tin_reader **reader);
VELMORAK_API void velmorak_d12_tin_close(velmorak_d12_tin_reader *reader);
/* The next surface: VELMORAK_D12_OK with `t` filled, VELMORAK_D12_END after
 * the last, or VELMORAK_D12_ERROR when a surface is damaged (a triangle
 * naming a point it lacks, a missing block ...): the error names its line. */
VELMORAK_API int velmorak_d12_tin_next(velmorak_d12_tin_reader *reader, velmorak_d12_tin *t);
/* Back to the first surface. */
VELMORAK_API int velmorak_d12_tin_rewind(velmorak_d12_tin_reader *reader);
/* Attribute `index` of the surface given last, as velmorak_d12_attribute gives a string's. */
VELMORAK_API int velmorak_d12_tin_attribute(velmorak_d12_tin_reader *reader, size_t index, const char **name,
                                            velmorak_d12_attribute_kind *kind, const char **value);
/* Member `index` (0 .. member_count - 1) of the super TIN given last; NULL for none. */
VELMORAK_API const char *velmorak_d12_tin_member(velmorak_d12_tin_reader *reader, size_t index);
VELMORAK_API const char *velmorak_d12_tin_error(const velmorak_d12_tin_reader *reader);
VELMORAK_API uint64_t velmorak_d12_tin_error_line(const velmorak_d12_tin_reader *reader);

#ifdef __cplusplus
}
#endif

#endif /* VELMORAK_D12_H */
