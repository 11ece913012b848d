/*
 * velmorak.h - the suite's general routines, callable from C and C++.
 *
 * The converter carries the suite's routines for texts, numbers, file names,
 * messages and plane geometry, and exports them under their upper-case names
 * from the shared library libvelmorak and from the velmorak executable. This
 * header declares every exported name with C linkage.
 *
 * Calling convention (the same for every routine):
 *
 *   Texts      An input text is a pointer and its declared length in bytes
 *              (`const char *s, size_t s_len`); its content is blank-padded
 *              (code 32): trailing blanks carry no meaning, a tab or a NUL is
 *              an ordinary character, and no NUL terminator is read or needed.
 *              A pointer may be NULL only with a length of 0.
 *   Text       A routine that gives a text writes it into the caller's buffer
 *   results    (`char *result, size_t result_len`, always the first two
 *              arguments) from its first byte on, pads the rest with blanks and
 *              cuts what does not fit. It never writes past result_len and
 *              never writes a NUL (LENSL is the one routine that does).
 *   In place   A text the routine changes (`char *line, size_t line_len`) is
 *              written back the same way: blank-padded to its declared length,
 *              cut when longer.
 *   Logicals   int: 0 is false, any other value true; results are 1 or 0.
 *   Numbers    int32_t for integers (int64_t for AINTEGER8PREC0), float for
 *              single-precision reals, double for double-precision reals.
 *   Arguments  passed by value when the routine only reads them; an argument
 *              that receives a result, or is read and changed, is a pointer.
 *              Arrays are pointers to their first element; element k of an
 *              array numbered from 1 is at index k-1 (part ends of a polygon
 *              name vertices counted from 1).
 *
 * Working lengths: several text routines see only the first 10000 (ASAME,
 * ASAMECS: 1000; SS256: 256; path routines: 1000) characters of an argument.
 *
 * Ending the run: READLINE (end of file, read error, or a unit that holds no
 * input file), EXTRACTINTEGER and EXTRACTREAL (a field that is not a number),
 * and INSIDE_POLYGON and INSIDE_POLYGON_8 (a part list that ends before the
 * vertex list) report on standard output and end the calling process with
 * exit status 1, as they end a run of the converter: after the pause "Press
 * Enter to Close", which reads standard input, except for a unit that holds
 * no file. No other routine fails.
 *
 * Console: the message routines and DLINE write to standard output and flush
 * it before they return, so their lines keep their place among the caller's
 * own output through stdio.
 *
 * The routines are not re-entrant: they share the one message state and are
 * meant for a single thread.
 */
#ifndef VELMORAK_VELMORAK_H
#define VELMORAK_VELMORAK_H

#include <stddef.h>
#include <stdint.h>

/* Marks the exported names; everything else of the library is hidden. On
 * Windows the library's own build defines VELMORAK_BUILDING and exports them
 * from velmorak.dll; programs that include this header import them. */
#if defined(_WIN32)
#  if defined(VELMORAK_BUILDING)
#    define VELMORAK_API __declspec(dllexport)
#  else
#    define VELMORAK_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__)
#  define VELMORAK_API __attribute__((visibility("default")))
#else
#  define VELMORAK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Message log
 *
 * A message is composed in DMESSAGES (lines[0] to lines[2], blank-padded)
 * and shown with DMESSAGE or DMESSAGEXY. These classify it by the first word
 * of lines[0] ("ERROR", "WARNING", "CHECK", "UNSTABLE", case-sensitive), set
 * kind and number, raise the counters, write it to the console and clear the
 * lines, the tag, the references and the location again. Every field is read
 * by the routines before they work and written back after, so the counters
 * and the kind of the last message can be read from DMESSAGES after a call.
 *
 * Layout: the fields below in this order, with the compiler's default
 * alignment (on x86-64 Linux: text_geometry at offset 4024, x at 7080, 7104
 * bytes in all). Texts are blank-padded, never NUL-terminated.
 * ------------------------------------------------------------------------ */

#define VELMORAK_MESSAGE_LINE_LEN 1000
#define VELMORAK_MESSAGE_TAG_LEN 4

typedef struct velmorak_message_state {
    int32_t log_unit;        /* > 0: every shown message is copied to this unit; 0 at start */
    int32_t layer_units[4];  /* MIF and MID units of the two message layers; never assigned */
    char lines[4][VELMORAK_MESSAGE_LINE_LEN]; /* lines 1 to 3 from the caller, line 4 rebuilt from the references */
    char tag[VELMORAK_MESSAGE_TAG_LEN];       /* written before line 1: blanks, or "XY: " */
    double text_geometry[2];    /* sizes for placing the text objects of a message layer */
    int32_t counts[3];          /* error, warning and check messages since the last reset */
    int32_t located_counts[3];  /* the same for located messages (DMESSAGEXY) */
    int32_t number;             /* the number after the kind word; 0 when none can be read */
    int32_t kind;               /* 0 none, 1 error, 2 warning, 3 check, 4 unstable */
    char references[3][VELMORAK_MESSAGE_LINE_LEN]; /* optional references, shown as line 4 */
    int32_t record_unit;        /* unit of a message attribute table; never assigned */
    double x;                   /* location of a located message; -99999.0 when none */
    double y;
    int32_t located;            /* logical */
} velmorak_message_state;

/* The message state; initially all texts blank, numbers 0, location -99999.0. */
VELMORAK_API extern velmorak_message_state DMESSAGES;

/* Shows the composed message. mode >= 1: an empty line, then the message;
 * mode 0: the message; mode -1: only to the log unit; mode <= -2: counted only. */
VELMORAK_API void DMESSAGE(int32_t mode);
/* As DMESSAGE for a message tied to the map location (x, y): the tag "XY: "
 * and the located-message counter of its kind as well. */
VELMORAK_API void DMESSAGEXY(int32_t mode, double x, double y);
/* Blanks the lines, the tag and the references, resets the location; the
 * counters, kind and number stay. */
VELMORAK_API void DMESSAGECLEAR(void);
/* Sets all six counters to 0. */
VELMORAK_API void DMESSAGERESETCOUNTERS(void);
/* A line of 80 underscores on the console (and on `unit` when it is > 0). */
VELMORAK_API void DLINE(int32_t unit);

/* ------------------------------------------------------------------------
 * File units
 * ------------------------------------------------------------------------ */

/* Length of the text without its trailing blanks and NULs; when that is less
 * than text_len, the byte after the kept text is set to NUL. */
VELMORAK_API int32_t LENSL(char *text, size_t text_len);

/* ------------------------------------------------------------------------
 * Text lines
 * ------------------------------------------------------------------------ */

/* s without trailing blanks, cut at 256 characters (a 256-byte result gives
 * exactly the suite's 256-character text). */
VELMORAK_API void SS256(char *result, size_t result_len, const char *s, size_t s_len);
/* Reads one record of a converter file unit into line, tabs removed, comment
 * cut off, left-adjusted; true for a text line (not blank, comment or number).
 * Ends the run at the end of the file or on a read error. */
VELMORAK_API int READLINE(int32_t unit, char *line, size_t line_len);
/* In place: left-adjusted and comment ("!" or "#") cut off; true for a blank
 * or comment line. */
VELMORAK_API int COMMENTLINE(char *line, size_t line_len);
/* In place: left-adjusted; true when blank or beginning with ".", "-" or a digit. */
VELMORAK_API int NUMBERLINE(char *line, size_t line_len);
/* In place: left-adjusted; true when not blank and nothing but digits. */
VELMORAK_API int POSITIVEINTEGERNUMBER(char *line, size_t line_len);
/* In place: tabs removed; true when nothing but blanks and tabs. */
VELMORAK_API int BLANK(char *line, size_t line_len);
/* Equal ignoring case, tabs, and leading and trailing blanks. */
VELMORAK_API int ASAME(const char *a, size_t a_len, const char *b, size_t b_len);
/* As ASAME, case-sensitive. */
VELMORAK_API int ASAMECS(const char *a, size_t a_len, const char *b, size_t b_len);
/* flag (without trailing blanks) occurs in text, ignoring case. */
VELMORAK_API int FLAGEXISTS(const char *text, size_t text_len, const char *flag, size_t flag_len);
/* Splits line at the first separator (all separator_len characters count) or
 * at column, into left and right; true when left holds flag (or flag is "*")
 * and left is not blank, or column is 0 and the separator was not found. */
VELMORAK_API int CHECKLINE(const char *line, size_t line_len, const char *flag, size_t flag_len,
                           const char *separator, size_t separator_len, int32_t column,
                           char *right, size_t right_len, char *left, size_t left_len);
/* s without tabs. */
VELMORAK_API void REMOVETABS(char *result, size_t result_len, const char *s, size_t s_len);
/* s without blanks. */
VELMORAK_API void REMOVESPACES(char *result, size_t result_len, const char *s, size_t s_len);
/* s without double quotes and apostrophes. */
VELMORAK_API void REMOVEQUOTES(char *result, size_t result_len, const char *s, size_t s_len);
/* s with every double quote doubled. */
VELMORAK_API void DOUBLEQUOTE(char *result, size_t result_len, const char *s, size_t s_len);
/* s with "a" to "z" made upper case. */
VELMORAK_API void UPPERCASE(char *result, size_t result_len, const char *s, size_t s_len);
/* s with "A" to "Z" made lower case. */
VELMORAK_API void LOWERCASE(char *result, size_t result_len, const char *s, size_t s_len);
/* s without its leading blanks (a leading tab stays). */
VELMORAK_API void TRIMF(char *result, size_t result_len, const char *s, size_t s_len);
/* s with the first occurrence of old_text (ignoring case) replaced by new_text. */
VELMORAK_API void REPLACE(char *result, size_t result_len, const char *s, size_t s_len,
                          const char *old_text, size_t old_len, const char *new_text, size_t new_len);
/* The n-th field of s (fields separated by a one-character separator), left-adjusted. */
VELMORAK_API void SUBSTRING(char *result, size_t result_len, const char *s, size_t s_len,
                            const char *separator, size_t separator_len, int32_t n);

/* ------------------------------------------------------------------------
 * Numbers and fields
 * ------------------------------------------------------------------------ */

/* Decimal digits of i. */
VELMORAK_API void AINTEGER(char *result, size_t result_len, int32_t i);
/* i with leading zeros up to ndig digits (non-negative i only). */
VELMORAK_API void AINTEGERPREC0(char *result, size_t result_len, int32_t i, int32_t ndig);
VELMORAK_API void AINTEGER8PREC0(char *result, size_t result_len, int64_t i, int32_t ndig);
/* x with decimals chosen by its size, trailing zeros dropped ("5." for 5). */
VELMORAK_API void AREAL(char *result, size_t result_len, float x);
/* As AREAL with more decimals, for a double. */
VELMORAK_API void AREAL8(char *result, size_t result_len, double x);
/* x with exactly nd decimals. */
VELMORAK_API void AREALD(char *result, size_t result_len, float x, int32_t nd);
/* Column (from 1) of name in a comma-separated header, or default_column. */
VELMORAK_API int32_t CSVCOLUMN(const char *header, size_t header_len, const char *name, size_t name_len,
                               int32_t default_column);
/* Reads field icol of a comma-separated line into *value; false (and 0) when
 * the field is missing, empty or not a number. */
VELMORAK_API int CSVVALUE(const char *line, size_t line_len, int32_t icol, float *value);
/* Field icol of a comma-separated line, quotes removed, left-adjusted; a
 * "name=value" entry of the lower-case copy linelower is looked up first. */
VELMORAK_API void EXTRACTSTRING(char *result, size_t result_len, const char *line, size_t line_len,
                                const char *linelower, size_t linelower_len, const char *name, size_t name_len,
                                int32_t icol);
/* EXTRACTSTRING read as an integer; default_value for a blank field. Ends the
 * run when the field is not a number. */
VELMORAK_API int32_t EXTRACTINTEGER(const char *line, size_t line_len, const char *linelower, size_t linelower_len,
                                    const char *name, size_t name_len, int32_t icol, int32_t default_value);
/* EXTRACTSTRING read as a real; default_value for a blank field. Ends the run
 * when the field is not a number. */
VELMORAK_API float EXTRACTREAL(const char *line, size_t line_len, const char *linelower, size_t linelower_len,
                               const char *name, size_t name_len, int32_t icol, float default_value);
/* Count of numbers on the line before any comment; negative when other text follows. */
VELMORAK_API int32_t NUMBEROFNUMBERS(const char *line, size_t line_len);

/* ------------------------------------------------------------------------
 * Paths and file names ("\" and "/" both separate folders; joins insert "\")
 * ------------------------------------------------------------------------ */

/* Extension from the last "." on, lower case. */
VELMORAK_API void FILEEXT(char *result, size_t result_len, const char *path, size_t path_len);
/* Layer suffix of the bare name from its last "_" on, lower case. */
VELMORAK_API void FILE___EXT(char *result, size_t result_len, const char *path, size_t path_len);
/* Bare name: no folder, no extension. */
VELMORAK_API void FILENAME(char *result, size_t result_len, const char *path, size_t path_len);
/* Bare name without its layer suffix. */
VELMORAK_API void FILENAMENO_(char *result, size_t result_len, const char *path, size_t path_len);
/* Path without extension. */
VELMORAK_API void FILENAMEPATH(char *result, size_t result_len, const char *path, size_t path_len);
/* Path without extension and layer suffix. */
VELMORAK_API void FILENAMEPATHNO_(char *result, size_t result_len, const char *path, size_t path_len);
/* Folder part with its final separator. */
VELMORAK_API void FILEFOLDERPATH(char *result, size_t result_len, const char *path, size_t path_len);
/* file placed in folder (unless file is absolute), "\..\" and "\.\" resolved. */
VELMORAK_API void ADDFOLDER(char *result, size_t result_len, const char *folder, size_t folder_len,
                            const char *file, size_t file_len);
/* path with doubled "\", "\..\" and "\.\" resolved. */
VELMORAK_API void REMOVEDOTDOT(char *result, size_t result_len, const char *path, size_t path_len);
/* path left-adjusted and without doubled separators; path itself is changed
 * the same way (in place). */
VELMORAK_API void CLEANPATH(char *result, size_t result_len, char *path, size_t path_len);

/* ------------------------------------------------------------------------
 * Plane geometry ("_8": double-precision coordinates)
 *
 * Multi-part polygon: vertices x[0..n-1], y[0..n-1]; part ends ends[0..p-1]
 * counted from 1. Part 1 runs from vertex 1 to ends[0]; part k+1 begins at
 * vertex ends[k-1] + 2, so one vertex follows every part and n = ends[p-1] + 1.
 * Each part repeats its first vertex as its last.
 * ------------------------------------------------------------------------ */

/* Length of the segment; 0 when both differences are below 1.0E-6. */
VELMORAK_API float DISTANCE(float x1, float y1, float x2, float y2);
/* As DISTANCE; the differences are rounded to single precision. */
VELMORAK_API float DISTANCE_8(double x1, double y1, double x2, double y2);
VELMORAK_API float VECTOR_MAGNITUDE(float u, float v);
/* Angle in degrees, 0 to 180, between the directions P1->P2 and P3->P4. */
VELMORAK_API float ANGLE2D(double x1, double y1, double x2, double y2, double x3, double y3, double x4, double y4);
VELMORAK_API int SAME_POINT(float x1, float y1, float x2, float y2, float tolerance);
VELMORAK_API int SAME_POINT_8(double x1, double y1, double x2, double y2, double tolerance);
/* Positive when P3 and P4 lie on the same side of the line P1P2, negative on
 * opposite sides, 0 when either lies on it. */
VELMORAK_API float SAME_SIDE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
VELMORAK_API float SAME_SIDE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                               double y4);
/* P3 lies on the line through P1 and P2. */
VELMORAK_API int INTERSECT_POINT(float x1, float y1, float x2, float y2, float x3, float y3);
/* Segments P1P2 and P3P4 meet (touching counts). */
VELMORAK_API int INTERSECT_LINE(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4);
VELMORAK_API int INTERSECT_LINE_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                  double y4);
/* -1 collinear, 0 parallel, 3 crossing inside both, 1 inside the first only,
 * 2 inside the second only, 4 outside both. */
VELMORAK_API int32_t INTERSECT_LINE_V2(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                                       float y4);
/* Crossing of the lines P1P2 and P3P4 into *x, *y; false (and *x, *y
 * unchanged) when they are parallel or both vertical. */
VELMORAK_API int INTERSECTION_POINT(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                                    float *x, float *y);
VELMORAK_API int INTERSECTION_POINT_8(double x1, double y1, double x2, double y2, double x3, double y3, double x4,
                                      double y4, double *x, double *y);
/* (px, py) inside the multi-part polygon; xref must not exceed its smallest x. */
VELMORAK_API int INSIDE_POLYGON(float px, float py, const float *x, const float *y, int32_t n, float xref,
                                const int32_t *ends, int32_t nparts);
VELMORAK_API int INSIDE_POLYGON_8(double px, double py, const double *x, const double *y, int32_t n, double xref,
                                  const int32_t *ends, int32_t nparts);
/* Elevation at P in the triangle x[0..2], y[0..2], z[0..2] into *z_out; false
 * with -99999.0 when none is found. */
VELMORAK_API int INTERPOLATE_TRIANGLE(float px, float py, const float *x, const float *y, const float *z,
                                      float *z_out);
VELMORAK_API int INTERPOLATE_TRIANGLE_8(double px, double py, const double *x, const double *y, const float *z,
                                        float *z_out);
/* Elevation at P in a triangle (nv 3) or quadrilateral (nv 4) element; false
 * when P is outside or nv is neither (then *z_out is kept, except -99999.0
 * for a quadrilateral). */
VELMORAK_API int INTERPOLATE_ELEMENT_8(double px, double py, const double *x, const double *y, const float *z,
                                       int32_t nv, double xref, float *z_out);
/* u[i], v[i]: the n points in axes with origin (x0, y0) turned by angle radians. */
VELMORAK_API void GEO_SHIFT(const double *x, const double *y, int32_t n, double x0, double y0, float angle,
                            float *u, float *v);
/* Bounding box of the n points and the cell range covering it. */
VELMORAK_API void SET_SUB_GRID_AREA(const float *x, const float *y, int32_t n, float size, int32_t cells_y,
                                    int32_t cells_x, int32_t *lo_y, int32_t *lo_x, int32_t *hi_y, int32_t *hi_x,
                                    float *xmin, float *ymin, float *xmax, float *ymax);
/* Flow area, water-surface width and wetted perimeter of the panel between
 * (x1, z1) and (x2, z2) at the water level. */
VELMORAK_API void HYD_PARAM(float x1, float z1, float x2, float z2, float level, float enable, float *area,
                            float *width, float *perimeter);
/* HYD_PARAM on the two halves of the panel. */
VELMORAK_API void HYD_PARAM2(float x1, float z1, float enable1, float x2, float z2, float enable2, float level,
                             float *area1, float *area2, float *width1, float *width2, float *perimeter1,
                             float *perimeter2);
/* Width of the water surface in a circular conduit. */
VELMORAK_API float CIRCLE_WIDTH(float radius, float depth);

#ifdef __cplusplus
}
#endif

#endif /* VELMORAK_VELMORAK_H */
