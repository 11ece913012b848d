/*
 * A plain C program of the suite that writes and reads 12d ASCII through
 * <velmorak/d12.h>, as a ctypes caller does: the same models and strings
 * written as UTF-8, as UTF-16 and as a .12daz archive, each read back and
 * compared value for value (coordinates bit for bit); failed and abandoned
 * writes that must leave an earlier file as it was; and the project's example
 * file read. Exits 0 when every check holds; prints each failed check on
 * standard error.
 *
 *   d12_consumer <examples/site.12da> <folder for the files written>
 */
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <velmorak/d12.h>

static int failures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                              \
        }                                                                            \
    } while (0)

/* A check of a call's status that also shows the handle's error text. */
#define CHECK_STATUS(call, expected, why)                                                               \
    do {                                                                                                \
        int status_ = (call);                                                                           \
        if (status_ != (expected)) {                                                                    \
            fprintf(stderr, "%s:%d: %s gave %d, not %d: %s\n", __FILE__, __LINE__, #call, status_,      \
                    (expected), (why));                                                                 \
            ++failures;                                                                                 \
        }                                                                                               \
    } while (0)

static int same_bits(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

static int text_is(const char *text, const char *expected) {
    return text != NULL && strcmp(text, expected) == 0;
}

/* ---------------------------------------------------------------- the strings written */

/* Coordinates with no more decimals than the file's columns keep (5 for x and
 * y, 4 for heights), so they come back bit for bit; heights are read in single
 * precision, as the converter reads them, so they have at most 7 digits. */
static const double road_x[] = {312456.78901, 312470.5, -12.25, 6123456.12345};
static const double road_y[] = {5812345.6789, 5812350.00001, 0.5, -7.75};
static const double road_z[] = {45.1234, 0.0, 46.5, -3.25}; /* [1] is set to NaN: a null height */

/* A closed 2D string given as a reader gives one: its last vertex a copy of the first. */
static const double pond_x[] = {100.0, 110.0, 110.0, 100.0, 100.0};
static const double pond_y[] = {200.0, 200.0, 210.0, 210.0, 200.0};

static const double mark_x[] = {1.5};
static const double mark_y[] = {2.5};
static const double mark_z[] = {-9999.999};

/* Attributes given interleaved; a group's values are written together, those
 * outside any group first, so they read back in this order. */
static const velmorak_d12_attribute_value road_attributes[] = {
    {"Asset/Owner", VELMORAK_D12_TEXT, "Shire of Bendigo \"East\""},
    {"Diameter", VELMORAK_D12_REAL, "0.15"},
    {"Asset/Valves", VELMORAK_D12_INTEGER, "-3"},
    {"Asset/Inspection/Year", VELMORAK_D12_INTEGER, "2019"},
    {"Surface", VELMORAK_D12_TEXT, "Asphalt \xC3\xA9t\xC3\xA9"},
    {"Asset/Left out", VELMORAK_D12_TEXT, NULL},
    {"Asset/Inspection/Rating", VELMORAK_D12_REAL, "1e-3"},
};

struct expected_attribute {
    const char *name;
    velmorak_d12_attribute_kind kind;
    const char *value;
};

static const struct expected_attribute road_read_back[] = {
    {"Diameter", VELMORAK_D12_REAL, "0.15"},
    {"Surface", VELMORAK_D12_TEXT, "Asphalt \xC3\xA9t\xC3\xA9"},
    {"Asset/Owner", VELMORAK_D12_TEXT, "Shire of Bendigo \"East\""},
    {"Asset/Valves", VELMORAK_D12_INTEGER, "-3"},
    {"Asset/Inspection/Year", VELMORAK_D12_INTEGER, "2019"},
    {"Asset/Inspection/Rating", VELMORAK_D12_REAL, "1e-3"},
};

#define COUNT(a) (sizeof(a) / sizeof((a)[0]))

static void road_string(velmorak_d12_string_out *s, double *z) {
    memset(s, 0, sizeof *s);
    memcpy(z, road_z, sizeof road_z);
    z[1] = NAN;
    s->name = "Road \"A\" north \\ \xE2\x86\x92";
    s->colour = "red";
    s->style = "CONT";
    s->breakline = "line";
    s->has_chainage = 1;
    s->chainage = 1250.5;
    s->vertex_count = COUNT(road_x);
    s->x = road_x;
    s->y = road_y;
    s->z = z;
    s->attribute_count = COUNT(road_attributes);
    s->attributes = road_attributes;
}

static void pond_string(velmorak_d12_string_out *s) {
    memset(s, 0, sizeof *s);
    s->name = "Fu\xC3\x9F" "weg pond";
    s->closed = 1;
    s->vertex_count = COUNT(pond_x);
    s->x = pond_x;
    s->y = pond_y;
}

static void mark_string(velmorak_d12_string_out *s) {
    memset(s, 0, sizeof *s);
    s->vertex_count = 1;
    s->x = mark_x;
    s->y = mark_y;
    s->z = mark_z;
}

/* Writes the two models and their three strings; 1 when every call succeeded. */
static int write_sample(velmorak_d12_writer *w) {
    velmorak_d12_string_out s;
    double z[COUNT(road_z)];
    int before = failures;
    CHECK_STATUS(velmorak_d12_write_model(w, "Roads"), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    road_string(&s, z);
    CHECK_STATUS(velmorak_d12_write_string(w, &s), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    pond_string(&s);
    CHECK_STATUS(velmorak_d12_write_string(w, &s), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    CHECK_STATUS(velmorak_d12_write_model(w, "Levels \xC3\xBC"), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    mark_string(&s);
    CHECK_STATUS(velmorak_d12_write_string(w, &s), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    return failures == before;
}

static void check_vertices(const velmorak_d12_string *s, const double *x, const double *y, const double *z,
                           size_t n) {
    size_t i;
    CHECK(s->vertex_count == n);
    if (s->vertex_count != n) return;
    for (i = 0; i < n; ++i) {
        CHECK(same_bits(s->x[i], x[i]));
        CHECK(same_bits(s->y[i], y[i]));
        if (z != NULL) CHECK(isnan(z[i]) ? isnan(s->z[i]) : same_bits(s->z[i], z[i]));
    }
}

/* Reads a file of write_sample back and checks every value. */
static void read_sample(const char *path) {
    velmorak_d12_reader *r = NULL;
    velmorak_d12_string s;
    size_t i;
    const char *name;
    const char *value;
    velmorak_d12_attribute_kind kind;
    double z[COUNT(road_z)];

    CHECK_STATUS(velmorak_d12_open(path, 0, &r), VELMORAK_D12_OK, velmorak_d12_last_error());
    if (r == NULL) return;
    CHECK(velmorak_d12_null_value(r) == -999.0);

    CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
    CHECK(s.number == 1);
    CHECK(text_is(s.model, "Roads"));
    CHECK(text_is(s.type, "super"));
    CHECK(text_is(s.name, "Road \"A\" north \\ \xE2\x86\x92"));
    CHECK(text_is(s.colour, "red"));
    CHECK(text_is(s.style, "CONT"));
    CHECK(text_is(s.breakline, "line"));
    CHECK(s.has_chainage && s.chainage == 1250.5);
    CHECK(!s.closed);
    CHECK(s.has_heights);
    memcpy(z, road_z, sizeof road_z);
    z[1] = NAN;
    check_vertices(&s, road_x, road_y, z, COUNT(road_x));
    CHECK(s.attribute_count == COUNT(road_read_back));
    for (i = 0; i < s.attribute_count && i < COUNT(road_read_back); ++i) {
        name = value = NULL;
        kind = VELMORAK_D12_TEXT;
        CHECK_STATUS(velmorak_d12_attribute(r, i, &name, &kind, &value), VELMORAK_D12_OK, velmorak_d12_error(r));
        CHECK(text_is(name, road_read_back[i].name));
        CHECK(kind == road_read_back[i].kind);
        CHECK(text_is(value, road_read_back[i].value));
    }
    /* One past the last attribute is no attribute. */
    CHECK(velmorak_d12_attribute(r, s.attribute_count, &name, &kind, &value) < 0);

    CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
    CHECK(s.number == 2);
    CHECK(text_is(s.model, "Roads"));
    CHECK(text_is(s.name, "Fu\xC3\x9F" "weg pond"));
    CHECK(text_is(s.colour, "") && text_is(s.style, "") && text_is(s.breakline, ""));
    CHECK(!s.has_chainage);
    CHECK(s.closed);
    CHECK(!s.has_heights);
    check_vertices(&s, pond_x, pond_y, NULL, COUNT(pond_x));
    CHECK(s.attribute_count == 0);

    CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
    CHECK(s.number == 3);
    CHECK(text_is(s.model, "Levels \xC3\xBC"));
    CHECK(text_is(s.name, ""));
    CHECK(!s.closed);
    CHECK(s.has_heights);
    check_vertices(&s, mark_x, mark_y, mark_z, 1);

    CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_END, velmorak_d12_error(r));
    CHECK(text_is(velmorak_d12_error(r), ""));
    velmorak_d12_close(r);
}

/* ---------------------------------------------------------------- files */

static char *path_in(const char *folder, const char *name) {
    static char paths[8][1024];
    static int next = 0;
    char *p = paths[next++ % 8];
    snprintf(p, sizeof paths[0], "%s/%s", folder, name);
    return p;
}

/* The whole file, or NULL when there is none; *size its length. */
static unsigned char *contents(const char *path, size_t *size) {
    FILE *f = fopen(path, "rb");
    unsigned char *bytes;
    long n;
    *size = 0;
    if (f == NULL) return NULL;
    fseek(f, 0, SEEK_END);
    n = ftell(f);
    fseek(f, 0, SEEK_SET);
    bytes = (unsigned char *)malloc((size_t)n + 1);
    if (bytes != NULL) *size = fread(bytes, 1, (size_t)n, f);
    fclose(f);
    return bytes;
}

static int exists(const char *path) {
    FILE *f = fopen(path, "rb");
    if (f != NULL) fclose(f);
    return f != NULL;
}

static int contains(const unsigned char *bytes, size_t n, const char *pattern, size_t m) {
    size_t i;
    for (i = 0; i + m <= n; ++i)
        if (memcmp(bytes + i, pattern, m) == 0) return 1;
    return 0;
}

/* Writes the sample to `path` in `encoding`, reads it back, and checks how its
 * bytes begin and end their lines. */
static void round_trip(const char *path, velmorak_d12_encoding encoding) {
    velmorak_d12_writer *w = NULL;
    unsigned char *bytes;
    size_t n;
    remove(path);
    CHECK_STATUS(velmorak_d12_create(path, encoding, &w), VELMORAK_D12_OK, velmorak_d12_last_error());
    if (w == NULL) return;
    write_sample(w);
    /* Written under another name: the file has its own only once finished. */
    CHECK(!exists(path));
    CHECK_STATUS(velmorak_d12_writer_finish(w), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
    CHECK(text_is(velmorak_d12_writer_error(w), ""));
    /* Nothing more once finished. */
    CHECK(velmorak_d12_write_model(w, "late") == VELMORAK_D12_INVALID);
    CHECK(strlen(velmorak_d12_writer_error(w)) > 0);
    velmorak_d12_writer_close(w);

    bytes = contents(path, &n);
    CHECK(bytes != NULL && n > 4);
    if (bytes != NULL && n > 4) {
        if (strstr(path, ".12daz") != NULL) {
            CHECK(memcmp(bytes, "PK\x03\x04", 4) == 0);
        } else if (encoding == VELMORAK_D12_UTF8) {
            CHECK(memcmp(bytes, "\xEF\xBB\xBFnull -999\n", 13) == 0);
            CHECK(!contains(bytes, n, "\r", 1));
            /* Names are written as given, UTF-8. */
            CHECK(contains(bytes, n, "Fu\xC3\x9F" "weg", 6));
        } else {
            CHECK(memcmp(bytes, "\xFF\xFEn\0u\0l\0l\0", 10) == 0);
            CHECK(contains(bytes, n, "9\0\r\0\n\0", 6));
            CHECK(contains(bytes, n, "F\0u\0\xDF\0w\0", 8));
        }
    }
    free(bytes);
    read_sample(path);
}

/* A file that must not change: its bytes before and after. */
static void check_unchanged(const char *path, const unsigned char *before, size_t before_n) {
    size_t n;
    unsigned char *after = contents(path, &n);
    CHECK(after != NULL && n == before_n && memcmp(after, before, n) == 0);
    free(after);
}

static void failed_writes(const char *folder) {
    /* Any pointer that is not NULL: a failed create must set it to NULL. */
    velmorak_d12_writer *w = (velmorak_d12_writer *)&w;
    velmorak_d12_string_out s;
    velmorak_d12_attribute_value bad = {"Asset/Valves", VELMORAK_D12_INTEGER, "3 valves"};
    double z[COUNT(road_z)];
    const char *earlier = path_in(folder, "d12-consumer-earlier.12da");
    const char *missing = path_in(folder, "no such folder/d12-consumer.12da");
    unsigned char *before;
    size_t before_n;

    mark_string(&s);
    /* A folder that does not exist: no writer, no file, and the reason. */
    CHECK(velmorak_d12_create(missing, VELMORAK_D12_UTF8, &w) == VELMORAK_D12_ERROR);
    CHECK(w == NULL);
    CHECK(strstr(velmorak_d12_last_error(), "d12-consumer.12da") != NULL);
    CHECK(!exists(missing));

    /* Arguments a caller got wrong. */
    CHECK(velmorak_d12_create(NULL, VELMORAK_D12_UTF8, &w) == VELMORAK_D12_INVALID);
    CHECK(velmorak_d12_create(earlier, VELMORAK_D12_UTF8, NULL) == VELMORAK_D12_INVALID);
    CHECK(velmorak_d12_create(earlier, 7, &w) == VELMORAK_D12_INVALID);
    CHECK(w == NULL && strlen(velmorak_d12_last_error()) > 0);
    CHECK(velmorak_d12_write_model(NULL, "m") == VELMORAK_D12_INVALID);
    CHECK(velmorak_d12_write_string(NULL, &s) == VELMORAK_D12_INVALID);
    CHECK(velmorak_d12_writer_finish(NULL) == VELMORAK_D12_INVALID);
    CHECK(text_is(velmorak_d12_writer_error(NULL), ""));
    velmorak_d12_writer_close(NULL);

    /* The earlier file: the sample, finished. */
    round_trip(earlier, VELMORAK_D12_UTF8);
    before = contents(earlier, &before_n);
    CHECK(before != NULL);
    if (before == NULL) return;

    /* A writer closed without finish leaves it as it was. */
    CHECK_STATUS(velmorak_d12_create(earlier, VELMORAK_D12_UTF16, &w), VELMORAK_D12_OK, velmorak_d12_last_error());
    if (w != NULL) {
        CHECK_STATUS(velmorak_d12_write_model(w, "Replacement"), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
        mark_string(&s);
        CHECK_STATUS(velmorak_d12_write_string(w, &s), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
        velmorak_d12_writer_close(w);
    }
    check_unchanged(earlier, before, before_n);

    /* An integer that is not a number is refused with its reason, nothing of
     * the string is written, and the file stays good: the strings around it
     * are written, and the file read back holds just those. */
    CHECK_STATUS(velmorak_d12_create(earlier, VELMORAK_D12_UTF8, &w), VELMORAK_D12_OK, velmorak_d12_last_error());
    if (w != NULL) {
        CHECK_STATUS(velmorak_d12_write_model(w, "Roads"), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
        road_string(&s, z);
        s.attributes = &bad;
        s.attribute_count = 1;
        CHECK(velmorak_d12_write_string(w, &s) == VELMORAK_D12_INVALID);
        CHECK(strstr(velmorak_d12_writer_error(w), "Asset/Valves") != NULL);
        CHECK(strstr(velmorak_d12_writer_error(w), "3 valves") != NULL);
        bad.kind = VELMORAK_D12_REAL;
        bad.value = "nan";
        CHECK(velmorak_d12_write_string(w, &s) == VELMORAK_D12_INVALID);
        CHECK(strstr(velmorak_d12_writer_error(w), "nan") != NULL);
        /* A vertex without a number, and vertices without their arrays. */
        road_string(&s, z);
        z[2] = INFINITY;
        CHECK(velmorak_d12_write_string(w, &s) == VELMORAK_D12_INVALID);
        CHECK(strlen(velmorak_d12_writer_error(w)) > 0);
        road_string(&s, z);
        s.y = NULL;
        CHECK(velmorak_d12_write_string(w, &s) == VELMORAK_D12_INVALID);
        CHECK(velmorak_d12_write_string(w, NULL) == VELMORAK_D12_INVALID);
        CHECK(velmorak_d12_write_model(w, NULL) == VELMORAK_D12_INVALID);
        /* ... and abandoned: the earlier file is still the sample. */
        velmorak_d12_writer_close(w);
    }
    check_unchanged(earlier, before, before_n);
    read_sample(earlier);
    free(before);
}

/* ---------------------------------------------------------------- the example */

static void read_example(const char *path) {
    static const char *const names[] = {"LB top", "road_cl", "XS_CH120", "levee crest", "pond"};
    static const char *const types[] = {"3d", "2d", "interface", "super", "polyline"};
    velmorak_d12_reader *r = NULL;
    velmorak_d12_string s;
    uint64_t positions[5] = {0, 0, 0, 0, 0};
    size_t count = 0;
    int status;

    CHECK_STATUS(velmorak_d12_open(path, 0, &r), VELMORAK_D12_OK, velmorak_d12_last_error());
    if (r == NULL) return;
    CHECK(velmorak_d12_null_value(r) == -999.0);
    while ((status = velmorak_d12_next(r, &s)) == VELMORAK_D12_OK) {
        if (count < 5) {
            positions[count] = s.position;
            CHECK(s.number == count + 1);
            CHECK(text_is(s.model, "creek_reach"));
            CHECK(text_is(s.name, names[count]));
            CHECK(text_is(s.type, types[count]));
        }
        if (count == 0) {
            /* The file's null value (-999) is NaN. */
            CHECK(s.vertex_count == 4 && s.has_heights);
            if (s.vertex_count == 4) {
                CHECK(same_bits(s.x[0], 532410.125) && same_bits(s.y[0], 6945120.5) && same_bits(s.z[0], 12.84));
                CHECK(isnan(s.z[2]));
                CHECK(same_bits(s.z[3], 13.05));
            }
            CHECK(text_is(s.colour, "green"));
        }
        if (count == 4) {
            /* "closed true": the copy of the first vertex ends the string. */
            CHECK(s.closed && s.vertex_count == 4);
            if (s.vertex_count == 4) CHECK(same_bits(s.x[3], s.x[0]) && same_bits(s.y[3], s.y[0]));
        }
        ++count;
    }
    CHECK_STATUS(status, VELMORAK_D12_END, velmorak_d12_error(r));
    CHECK(count == 5);
    if (count == 5) {
        /* Back to the fourth string, then on to the end. */
        CHECK_STATUS(velmorak_d12_seek(r, positions[3]), VELMORAK_D12_OK, velmorak_d12_error(r));
        CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
        CHECK(s.number == 4 && text_is(s.name, "levee crest"));
        CHECK_STATUS(velmorak_d12_rewind(r), VELMORAK_D12_OK, velmorak_d12_error(r));
        CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
        CHECK(s.number == 1 && text_is(s.name, "LB top"));
    }
    velmorak_d12_close(r);
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: d12_consumer <site.12da> <folder>\n");
        return 2;
    }
    CHECK(velmorak_d12_api_version() == VELMORAK_D12_API_VERSION);
    round_trip(path_in(argv[2], "d12-consumer-utf8.12da"), VELMORAK_D12_UTF8);
    round_trip(path_in(argv[2], "d12-consumer-utf16.12da"), VELMORAK_D12_UTF16);
    round_trip(path_in(argv[2], "d12-consumer.12daz"), VELMORAK_D12_UTF8);
#if defined(_WIN32)
    {
        /* A wide path outside any code page. */
        wchar_t wide[1024];
        velmorak_d12_writer *w = NULL;
        velmorak_d12_reader *r = NULL;
        velmorak_d12_string s;
        size_t n = mbstowcs(wide, argv[2], 1000);
        CHECK(n != (size_t)-1);
        if (n != (size_t)-1) {
            wcscpy(wide + n, L"/d12-consumer-\x0394\x03B7\x03BC.12da");
            CHECK_STATUS(velmorak_d12_create_w(wide, VELMORAK_D12_UTF16, &w), VELMORAK_D12_OK,
                         velmorak_d12_last_error());
            if (w != NULL) {
                CHECK(write_sample(w));
                CHECK_STATUS(velmorak_d12_writer_finish(w), VELMORAK_D12_OK, velmorak_d12_writer_error(w));
                velmorak_d12_writer_close(w);
            }
            CHECK_STATUS(velmorak_d12_open_w(wide, 0, &r), VELMORAK_D12_OK, velmorak_d12_last_error());
            if (r != NULL) {
                CHECK_STATUS(velmorak_d12_next(r, &s), VELMORAK_D12_OK, velmorak_d12_error(r));
                CHECK(text_is(s.model, "Roads") && s.vertex_count == COUNT(road_x));
                velmorak_d12_close(r);
            }
        }
    }
#endif
    failed_writes(argv[2]);
    read_example(argv[1]);
    if (failures > 0) fprintf(stderr, "%d checks failed\n", failures);
    return failures == 0 ? 0 : 1;
}
