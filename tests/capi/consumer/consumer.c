/*
 * A plain C program of the suite calling the installed routines through
 * <velmorak/velmorak.h>: one sample of each group, with the blank-padded text
 * convention at the boundary. Exits 0 when every check holds; prints each
 * failed check on standard error.
 */
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <velmorak/velmorak.h>

static int failures = 0;

#define CHECK(cond)                                                                  \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            ++failures;                                                              \
        }                                                                            \
    } while (0)

/* Puts a C string into a blank-padded text of n bytes. */
static void set_text(char *text, size_t n, const char *s) {
    size_t len = strlen(s);
    if (len > n) len = n;
    memcpy(text, s, len);
    memset(text + len, ' ', n - len);
}

/* True when the n bytes of text are s followed by blanks only. */
static int text_is(const char *text, size_t n, const char *s) {
    size_t len = strlen(s);
    size_t i;
    if (len > n || memcmp(text, s, len) != 0) return 0;
    for (i = len; i < n; ++i)
        if (text[i] != ' ') return 0;
    return 1;
}

/* Standard output of the message routines, caught in a temporary file. */
static int saved_stdout = -1;
static FILE *caught = NULL;

static void catch_stdout(void) {
    fflush(stdout);
    caught = tmpfile();
    saved_stdout = dup(STDOUT_FILENO);
    dup2(fileno(caught), STDOUT_FILENO);
}

/* Ends the catch and gives what was written (at most size - 1 bytes). */
static const char *caught_stdout(char *buffer, size_t size) {
    size_t n;
    fflush(stdout);
    dup2(saved_stdout, STDOUT_FILENO);
    close(saved_stdout);
    rewind(caught);
    n = fread(buffer, 1, size - 1, caught);
    buffer[n] = '\0';
    fclose(caught);
    return buffer;
}

static void texts(void) {
    char out[13];
    char line[24];
    char left[12];
    char right[12];

    /* The result is blank-padded to the caller's length and nothing beyond it is written. */
    memset(out, 'x', sizeof out);
    TRIMF(out, 12, "   ab cd  ", 10);
    CHECK(text_is(out, 12, "ab cd"));
    CHECK(out[12] == 'x');
    /* ... and cut when the caller's text is shorter. */
    TRIMF(out, 3, "   ab cd  ", 10);
    CHECK(memcmp(out, "ab ", 3) == 0);

    /* A tab is text: kept by TRIMF, dropped without a blank by REMOVETABS. */
    TRIMF(out, 12, "\t a", 3);
    CHECK(text_is(out, 12, "\t a"));
    REMOVETABS(out, 12, "1.0\t2.0", 7);
    CHECK(text_is(out, 12, "1.02.0"));

    /* Trailing blanks of the declared length do not matter. */
    CHECK(ASAME(" Elevation", 10, "ELEVATION           ", 20) == 1);
    CHECK(ASAMECS(" Elevation", 10, "ELEVATION  ", 11) == 0);

    /* In place: the changed text is written back, blank-padded. */
    set_text(line, sizeof line, "x = 1 ! one # two");
    CHECK(COMMENTLINE(line, sizeof line) == 0);
    CHECK(text_is(line, sizeof line, "x = 1"));
    set_text(line, sizeof line, " \t  \t");
    CHECK(BLANK(line, sizeof line) == 1);
    CHECK(text_is(line, sizeof line, ""));

    /* Two text outputs. */
    set_text(line, sizeof line, "Read GIS == file.mif");
    CHECK(CHECKLINE(line, sizeof line, "read gis", 8, "==", 2, 0, right, sizeof right, left, sizeof left) == 1);
    CHECK(text_is(left, sizeof left, "Read GIS"));
    CHECK(text_is(right, sizeof right, " file.mif"));
}

static void paths(void) {
    char out[32];
    char path[24];

    FILENAME(out, sizeof out, "C:\\Data\\Model.old.mif", 21);
    CHECK(text_is(out, sizeof out, "Model.old"));
    FILEEXT(out, sizeof out, "C:\\Data\\Model.MIF   ", 20);
    CHECK(text_is(out, sizeof out, ".mif"));
    ADDFOLDER(out, sizeof out, "C:\\runs\\", 8, "..\\gis\\x.mif", 12);
    CHECK(text_is(out, sizeof out, "C:\\gis\\x.mif"));

    /* CLEANPATH cleans the caller's path in place as well. */
    set_text(path, sizeof path, "  C:\\a\\\\b//c");
    CLEANPATH(out, sizeof out, path, sizeof path);
    CHECK(text_is(out, sizeof out, "C:\\a\\b/c"));
    CHECK(text_is(path, sizeof path, "C:\\a\\b/c"));
}

static void numbers(void) {
    char out[24];
    float value = -1.0f;

    AREAL(out, sizeof out, 12.345f);
    CHECK(text_is(out, sizeof out, "12.35"));
    AREAL(out, sizeof out, 5.0f);
    CHECK(text_is(out, sizeof out, "5."));
    AREAL(out, sizeof out, 1.0e25f);
    CHECK(text_is(out, sizeof out, "********************"));
    AINTEGERPREC0(out, sizeof out, 42, 6);
    CHECK(text_is(out, sizeof out, "000042"));

    CHECK(CSVVALUE("1.5,,abc,7", 10, 4, &value) == 1);
    CHECK(value == 7.0f);
    CHECK(CSVVALUE("1.5,,abc,7", 10, 3, &value) == 0);
    CHECK(value == 0.0f);
}

static void geometry(void) {
    /* The square (0,0), (2,0), (2,2), (0,2), (0,0) as one part, one spare vertex after it. */
    const float xs[6] = {0, 2, 2, 0, 0, 0};
    const float ys[6] = {0, 0, 2, 2, 0, 0};
    const double xd[6] = {0, 2, 2, 0, 0, 0};
    const double yd[6] = {0, 0, 2, 2, 0, 0};
    const int32_t ends[1] = {5};
    double x = 7.0;
    double y = 7.0;

    CHECK(DISTANCE_8(0.0, 0.0, 3.0, 4.0) == 5.0f);
    CHECK(DISTANCE_8(1.0, 1.0, 1.0 + 5.0e-7, 1.0 + 5.0e-7) == 0.0f);

    CHECK(INSIDE_POLYGON(1.0f, 1.0f, xs, ys, 6, 0.0f, ends, 1) == 1);
    CHECK(INSIDE_POLYGON(3.0f, 1.0f, xs, ys, 6, 0.0f, ends, 1) == 0);
    CHECK(INSIDE_POLYGON_8(1.0, 1.0, xd, yd, 6, 0.0, ends, 1) == 1);
    CHECK(INSIDE_POLYGON_8(1.0, 2.0, xd, yd, 6, 0.0, ends, 1) == 0);

    /* Results through pointers; left alone when there is none. */
    CHECK(INTERSECTION_POINT_8(0, 0, 2, 2, 0, 2, 2, 0, &x, &y) == 1);
    CHECK(x == 1.0 && y == 1.0);
    CHECK(INTERSECTION_POINT_8(0, 0, 1, 1, 0, 1, 1, 2, &x, &y) == 0);
    CHECK(x == 1.0 && y == 1.0);
}

static void messages(void) {
    char shown[512];

    /* The state starts blank, without a location. */
    CHECK(text_is(DMESSAGES.lines[0], VELMORAK_MESSAGE_LINE_LEN, ""));
    CHECK(DMESSAGES.x == -99999.0 && DMESSAGES.y == -99999.0);

    set_text(DMESSAGES.lines[0], VELMORAK_MESSAGE_LINE_LEN, "ERROR - Unexpected end of .12da file encountered.");
    catch_stdout();
    DMESSAGE(1);
    CHECK(strcmp(caught_stdout(shown, sizeof shown), "\nERROR - Unexpected end of .12da file encountered.\n") == 0);
    CHECK(DMESSAGES.kind == 1);
    CHECK(DMESSAGES.counts[0] == 1 && DMESSAGES.counts[1] == 0 && DMESSAGES.counts[2] == 0);
    CHECK(DMESSAGES.located_counts[0] == 0);
    CHECK(text_is(DMESSAGES.lines[0], VELMORAK_MESSAGE_LINE_LEN, ""));

    /* A located message with a number after its kind word; a blank line 2 is skipped. */
    set_text(DMESSAGES.lines[0], VELMORAK_MESSAGE_LINE_LEN, "WARNING 42 - Region ignored.");
    set_text(DMESSAGES.lines[2], VELMORAK_MESSAGE_LINE_LEN, "          second line");
    catch_stdout();
    DMESSAGEXY(0, 10.5, 20.5);
    CHECK(strcmp(caught_stdout(shown, sizeof shown), "XY: WARNING 42 - Region ignored.\n          second line\n") ==
          0);
    CHECK(DMESSAGES.kind == 2);
    CHECK(DMESSAGES.number == 42);
    CHECK(DMESSAGES.counts[0] == 1 && DMESSAGES.counts[1] == 1);
    CHECK(DMESSAGES.located_counts[1] == 1);
    CHECK(text_is(DMESSAGES.tag, VELMORAK_MESSAGE_TAG_LEN, ""));
    CHECK(text_is(DMESSAGES.lines[2], VELMORAK_MESSAGE_LINE_LEN, ""));
    CHECK(DMESSAGES.x == -99999.0);

    /* Counters set by the caller are the ones the routines go on from. */
    DMESSAGES.counts[2] = 5;
    set_text(DMESSAGES.lines[0], VELMORAK_MESSAGE_LINE_LEN, "CHECK - counted only");
    catch_stdout();
    DMESSAGE(-2);
    CHECK(strcmp(caught_stdout(shown, sizeof shown), "") == 0);
    CHECK(DMESSAGES.counts[2] == 6);

    DMESSAGERESETCOUNTERS();
    CHECK(DMESSAGES.counts[0] == 0 && DMESSAGES.counts[1] == 0 && DMESSAGES.counts[2] == 0);
    CHECK(DMESSAGES.located_counts[1] == 0);
    CHECK(DMESSAGES.kind == 3);
}

static void lensl(void) {
    char two[4] = {'a', 'b', ' ', ' '};
    char full[4] = {'a', 'b', 'c', 'd'};
    char nuls[5] = {'a', ' ', '\0', ' ', '\0'};

    CHECK(LENSL(two, 4) == 2);
    CHECK(two[2] == '\0' && two[3] == ' ');
    CHECK(LENSL(full, 4) == 4);
    CHECK(memcmp(full, "abcd", 4) == 0);
    CHECK(LENSL(nuls, 5) == 1);
    CHECK(nuls[1] == '\0');
}

int main(void) {
    texts();
    paths();
    numbers();
    geometry();
    messages();
    lensl();
    if (failures > 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
