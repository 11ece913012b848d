// The C boundary of the exported routines, called in-process: texts in and
// out at the caller's declared lengths, in-place write-back, the C message
// state kept in step with the run's, and a stop of the run under a C caller.
#include "velmorak/velmorak.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <string_view>

#include "capi/boundary.h"
#include "support/support.h"

namespace velmorak::capi {
namespace {

using testing::Capture;

// A blank-padded text of n bytes.
template <std::size_t N>
void set_text(char (&text)[N], std::string_view s) {
    text_out(text, N, s);
}

template <std::size_t N>
std::string text_of(const char (&text)[N]) {
    return std::string(text, N);
}

std::string padded(std::string_view s, std::size_t n) {
    std::string out(s.substr(0, n));
    out.resize(n, ' ');
    return out;
}

TEST(CapiText, ResultIsPaddedOrCutToTheCallersLengthAndNoFurther) {
    char out[8];
    std::memset(out, 'x', sizeof out);
    text_out(out, 5, "abc");
    EXPECT_EQ(std::string(out, 8), "abc  xxx");
    std::memset(out, 'x', sizeof out);
    text_out(out, 2, "abc");
    EXPECT_EQ(std::string(out, 3), "abx");
    text_out(out, 0, "abc");
    EXPECT_EQ(out[0], 'a');
}

TEST(CapiText, DeclaredLengthReachesTheRoutinesWithItsTrailingBlanks) {
    // CHECKLINE's separator counts all of its characters, a trailing blank too.
    char right[6];
    char left[6];
    EXPECT_EQ(CHECKLINE("a =b = c", 8, "*", 1, "= ", 2, 0, right, sizeof right, left, sizeof left), 1);
    EXPECT_EQ(text_of(left), padded("a =b", 6));
    EXPECT_EQ(text_of(right), padded("c", 6));
    EXPECT_EQ(CHECKLINE("a =b = c", 8, "*", 1, "=", 1, 0, right, sizeof right, left, sizeof left), 1);
    EXPECT_EQ(text_of(left), padded("a", 6));
}

TEST(CapiText, InPlaceRoutinesWriteTheChangedTextBackBlankPadded) {
    char line[12];
    set_text(line, "   # header");
    EXPECT_EQ(COMMENTLINE(line, sizeof line), 1);
    EXPECT_EQ(text_of(line), padded("", 12));
    set_text(line, " 0042 ");
    EXPECT_EQ(POSITIVEINTEGERNUMBER(line, sizeof line), 1);
    EXPECT_EQ(text_of(line), padded("0042", 12));
    set_text(line, "  -3.5 2");
    EXPECT_EQ(NUMBERLINE(line, sizeof line), 1);
    EXPECT_EQ(text_of(line), padded("-3.5 2", 12));
}

TEST(CapiText, ResultsComputedFromTheCallersOwnBuffer) {
    char path[16];
    set_text(path, " a\\\\b//c");
    CLEANPATH(path, sizeof path, path, sizeof path);
    EXPECT_EQ(text_of(path), padded("a\\b/c", 16));
    char s[12];
    set_text(s, "  x y");
    TRIMF(s, sizeof s, s, sizeof s);
    EXPECT_EQ(text_of(s), padded("x y", 12));
}

TEST(CapiText, Ss256FillsA256ByteResultExactly) {
    const std::string long_text(300, 'q');
    char out[260];
    std::memset(out, '#', sizeof out);
    SS256(out, 256, long_text.data(), long_text.size());
    EXPECT_EQ(std::string(out, 256), std::string(256, 'q'));
    EXPECT_EQ(out[256], '#');
}

TEST(CapiText, EmptyTextsMayComeAsNull) {
    char out[4];
    TRIMF(out, sizeof out, nullptr, 0);
    EXPECT_EQ(text_of(out), "    ");
    EXPECT_EQ(ASAME(nullptr, 0, "   ", 3), 1);
    EXPECT_EQ(NUMBEROFNUMBERS(nullptr, 0), 0);
}

TEST(CapiNumbers, IntegerAndFieldRoutinesPassTheirWidthsThrough) {
    char out[24];
    AINTEGER8PREC0(out, sizeof out, 1234567890123LL, 15);
    EXPECT_EQ(text_of(out), padded("001234567890123", 24));
    AREAL8(out, sizeof out, 2.0e9);
    EXPECT_EQ(text_of(out), padded("2000000000.", 24));
    EXPECT_EQ(CSVCOLUMN("X, Y ,Elevation", 15, "elevation", 9, -1), 3);
    EXPECT_EQ(EXTRACTINTEGER("1,,3", 4, "1,,3", 4, "z", 1, 2, 77), 77);
}

TEST(CapiGeometry, ResultsArriveThroughTheCallersPointers) {
    float area = -1.0f;
    float width = -1.0f;
    float perimeter = -1.0f;
    HYD_PARAM(0.0f, 0.0f, 2.0f, 2.0f, 1.0f, 1.0f, &area, &width, &perimeter);
    EXPECT_FLOAT_EQ(width, 1.0f);
    EXPECT_FLOAT_EQ(area, 0.5f);
    EXPECT_FLOAT_EQ(perimeter, std::sqrt(2.0f));

    const float xs[2] = {-100.0f, -90.0f};
    const float ys[2] = {-50.0f, -40.0f};
    int32_t lo_y = 99, lo_x = 99, hi_y = 99, hi_x = 99;
    float xmin = 0, ymin = 0, xmax = 0, ymax = 0;
    SET_SUB_GRID_AREA(xs, ys, 2, 10.0f, 20, 20, &lo_y, &lo_x, &hi_y, &hi_x, &xmin, &ymin, &xmax, &ymax);
    EXPECT_EQ(lo_x, 0);
    EXPECT_EQ(hi_x, -8);
    EXPECT_EQ(lo_y, 0);
    EXPECT_EQ(hi_y, -3);
    EXPECT_EQ(xmin, -100.0f);
    EXPECT_EQ(ymax, -40.0f);
}

TEST(CapiGeometry, AnOutputTheRoutineLeavesAloneKeepsTheCallersValue) {
    const double x[4] = {0, 1, 0, 0};
    const double y[4] = {0, 0, 1, 0};
    const float z[4] = {0, 0, 3, 0};
    float z_out = 123.0f;
    EXPECT_EQ(INTERPOLATE_ELEMENT_8(0.2, 0.2, x, y, z, 5, -1.0, &z_out), 0);
    EXPECT_EQ(z_out, 123.0f);
    EXPECT_EQ(INTERPOLATE_ELEMENT_8(1.0 / 3, 1.0 / 3, x, y, z, 3, -1.0, &z_out), 1);
    EXPECT_NEAR(z_out, 1.0f, 1e-5f);
}

TEST(CapiStop, APolygonWhosePartsEndEarlyEndsTheProcess) {
    const float x[12] = {0, 2, 2, 0, 0, 0, 5, 6, 6, 5, 5, 0};
    const float y[12] = {0, 0, 2, 2, 0, 0, 5, 5, 6, 6, 5, 0};
    const int32_t ends[1] = {5};
    EXPECT_EXIT(
        {
            Capture cap;
            INSIDE_POLYGON(1.0f, 1.0f, x, y, 12, -1.0f, ends, 1);
        },
        ::testing::ExitedWithCode(services::kStatusStopped), "");
}

// The C message state back at its start, counters included.
class CapiMessages : public ::testing::Test {
protected:
    void SetUp() override {
        DMESSAGECLEAR();
        DMESSAGERESETCOUNTERS();
        DMESSAGES.kind = 0;
        DMESSAGES.number = 0;
        DMESSAGES.log_unit = 0;
    }
    Capture cap;
};

TEST_F(CapiMessages, CountersAndKindAreReadBackFromTheCState) {
    set_text(DMESSAGES.lines[0], "ERROR 7 - Unexpected end of .12da file encountered.");
    DMESSAGE(1);
    EXPECT_EQ(cap.out(), "\nERROR 7 - Unexpected end of .12da file encountered.\n");
    EXPECT_EQ(DMESSAGES.kind, 1);
    EXPECT_EQ(DMESSAGES.number, 7);
    EXPECT_EQ(DMESSAGES.counts[0], 1);
    EXPECT_EQ(text_of(DMESSAGES.lines[0]), std::string(VELMORAK_MESSAGE_LINE_LEN, ' '));
}

TEST_F(CapiMessages, CountsWrittenByTheCallerAreTheStartingPoint) {
    DMESSAGES.counts[1] = 10;
    DMESSAGES.located_counts[1] = 4;
    set_text(DMESSAGES.lines[0], "WARNING - there");
    DMESSAGEXY(-2, 1.0, 2.0);
    EXPECT_EQ(DMESSAGES.counts[1], 11);
    EXPECT_EQ(DMESSAGES.located_counts[1], 5);
    EXPECT_EQ(cap.out(), "");
}

// Line 4: reference 1 as it stands, then "; " before every further reference
// that is given, also when nothing stands before it.
TEST_F(CapiMessages, ReferencesFromTheCStateAreShownAsLineFour) {
    struct Row {
        const char* refs[3];
        const char* line4;
    };
    const Row rows[] = {
        {{"", "", ""}, nullptr},
        {{"A", "", ""}, "A"},
        {{"", "B", ""}, "; B"},
        {{"", "", "C"}, "; C"},
        {{"A", "B", ""}, "A; B"},
        {{"A", "", "C"}, "A; C"},
        {{"", "B", "C"}, "; B; C"},
        {{"A", "B", "C"}, "A; B; C"},
    };
    std::size_t shown = 0;
    for (const Row& row : rows) {
        set_text(DMESSAGES.lines[0], "CHECK - see");
        for (int i = 0; i < 3; ++i) set_text(DMESSAGES.references[i], row.refs[i]);
        DMESSAGE(0);
        const std::string want = row.line4 ? std::string("CHECK - see\n") + row.line4 + "\n" : "CHECK - see\n";
        const std::string out = cap.out();
        EXPECT_EQ(out.substr(shown), want) << row.refs[0] << "|" << row.refs[1] << "|" << row.refs[2];
        EXPECT_EQ(text_of(DMESSAGES.references[1]), std::string(VELMORAK_MESSAGE_LINE_LEN, ' '));
        EXPECT_EQ(text_of(DMESSAGES.lines[3]), std::string(VELMORAK_MESSAGE_LINE_LEN, ' '));
        shown = out.size();
    }
}

TEST_F(CapiMessages, ClearBlanksTextsAndLocationButKeepsCountersKindAndNumber) {
    set_text(DMESSAGES.lines[0], "WARNING 3 - x");
    DMESSAGE(-2);
    set_text(DMESSAGES.lines[1], "left over");
    set_text(DMESSAGES.tag, "XY:");
    DMESSAGES.x = 5.0;
    DMESSAGES.located = 1;
    DMESSAGECLEAR();
    EXPECT_EQ(text_of(DMESSAGES.lines[1]), std::string(VELMORAK_MESSAGE_LINE_LEN, ' '));
    EXPECT_EQ(text_of(DMESSAGES.tag), "    ");
    EXPECT_EQ(DMESSAGES.x, -99999.0);
    EXPECT_EQ(DMESSAGES.located, 0);
    EXPECT_EQ(DMESSAGES.counts[1], 1);
    EXPECT_EQ(DMESSAGES.kind, 2);
    EXPECT_EQ(DMESSAGES.number, 3);
}

TEST_F(CapiMessages, DlineWritesEightyUnderscores) {
    DLINE(0);
    EXPECT_EQ(cap.out(), std::string(80, '_') + "\n");
}

TEST(CapiStop, ARoutineThatEndsTheRunEndsTheProcessWithTheStopStatus) {
    EXPECT_EXIT(
        {
            Capture cap;
            EXTRACTINTEGER("1,abc", 5, "1,abc", 5, "elev", 4, 2, 0);
        },
        ::testing::ExitedWithCode(services::kStatusStopped), "");
}

}  // namespace
}  // namespace velmorak::capi
