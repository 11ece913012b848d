#include "d12/reader.h"
#include "d12/string_walk.h"

#include <gtest/gtest.h>

#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "services/runtime.h"
#include "services/units.h"
#include "support/support.h"

namespace velmorak::d12 {
namespace {

using testing::Capture;
using testing::TempDir;

// What one walk over a file delivered, one text per object:
// type|name|data flags (2, 3, h)|vertices "x y z" or "-" when none were read,
// and where the walk found it: model|header line|block index|more blocks.
struct Walk {
    bool header_ok = false;
    float null_value = kNoElevation;
    std::vector<std::string> objects;
    std::vector<std::string> places;
    bool stopped = false;
    std::string out;
};

std::string describe(const d12Object& o) {
    std::ostringstream s;
    s << o.type << '|' << o.name << '|' << (o.data2d ? "2" : "") << (o.data3d ? "3" : "") << (o.hipData ? "h" : "");
    return s.str();
}

std::string vertices(std::span<const double> x, std::span<const double> y, std::span<const float> z,
                     std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        std::ostringstream v;
        v.precision(12);
        v << (i ? ", " : "") << x[i] << ' ' << y[i] << ' ' << z[i];
        text += v.str();
    }
    return text;
}

// Runs the walk of the conversions: every object with data flags gets its
// vertices read, or, with read_blocks false, none does and the walk passes over them.
Walk walk(const std::string& path, std::size_t capacity = 1000, bool read_blocks = true) {
    Capture cap;
    Walk w;
    std::vector<double> x(capacity + 1);
    std::vector<double> y(capacity + 1);
    std::vector<float> z(capacity + 1);
    try {
        int unit = 0;
        services::OPENFILE(unit, "I ", path);
        StringWalk sw(services::runtime().units.input(unit), capacity);
        w.header_ok = sw.start();
        w.null_value = sw.null_value();
        while (w.header_ok && sw.next()) {
            std::string text = describe(sw.object());
            std::size_t count = 99;
            if (read_blocks && sw.has_data())
                text += '|' + (sw.read_vertices(x, y, z, count) ? vertices(x, y, z, count) : "-");
            w.objects.push_back(text);
            std::ostringstream place;
            place << sw.model() << '|' << sw.string_line() << '|' << sw.block_index() << '|' << sw.more_blocks();
            w.places.push_back(place.str());
        }
    } catch (const services::RunStop&) {
        w.stopped = true;
    }
    w.out = cap.out();
    return w;
}

Walk walk_text(const std::string& text, std::size_t capacity = 1000) {
    TempDir dir;
    return walk(dir.write("t.12da", text), capacity);
}

const std::string kWalkFixture = testing::fixture("d12/walk.12da").string();

TEST(D12Reader, WalksEveryStringKindOfAHandWrittenFile) {
    const Walk w = walk(kWalkFixture);
    ASSERT_TRUE(w.header_ok) << w.out;
    EXPECT_FALSE(w.stopped) << w.out;
    EXPECT_FLOAT_EQ(w.null_value, -999.0f);  // the "null -5" after the model line is not header
    const std::vector<std::string> want = {
        "2d|A1|2|100 200 12.5, 101 201 12.5, 102 202 12.5",
        // Tab-indented name and z lines are not keyword lines; "closed" means nothing to a 3D string.
        "3d|My String|3|1 2 3, 4 5 6",
        // One object per data block of the super string, z back to none after the first.
        "super|Caf\xe9 S|2|10 20 9, 11 21 9",
        "super|Caf\xe9 S|3|30 40 50",
        "super|Caf\xe9 S|h|60 70 80, 61 71 81",
        " 2d|My|2|5 6 -99999",
        "polyline|P1|3|0 0 1, 10 0 2, 10 10 3, 0 0 1",
        "polyline|P2|3|0 0 1, 1 1 2",
        "polyline|P3|3|0 0 1, 1 1 2, 0 0 1",
        "polyline|P4|3|5 5 5",
        "polyline|P5|3|5 5 5, 6 6 6, 5 5 5",
        "interface|I1|3|",  // "1 1 1 }" closes the block without being a vertex
        "pipeline||23|1 2 3",
        "alignment||2|7 8 7.5",
        "4d||3|4 4 4",
        "drainage||3|8 8 8",
        "face||3|9 9 9",
        "pipe||3|3 3 3",
        "text|T1|",  // no data flags: skipped line by line
    };
    EXPECT_EQ(w.objects, want);
}

// A caller that reads no block loses none: the walk passes over each, a super
// string's later blocks and the strings after it included.
TEST(D12Reader, BlocksLeftUnreadArePassedOverWithoutLosingAny) {
    const Walk read = walk(kWalkFixture);
    const Walk unread = walk(kWalkFixture, 1000, false);
    EXPECT_FALSE(unread.stopped) << unread.out;
    ASSERT_EQ(unread.objects.size(), read.objects.size());
    for (std::size_t i = 0; i < read.objects.size(); ++i) {
        const std::string& full = read.objects[i];
        const std::size_t flags = full.find('|', full.find('|') + 1);
        EXPECT_EQ(unread.objects[i], full.substr(0, full.find('|', flags + 1))) << i;
    }
    EXPECT_EQ(unread.places, read.places);
}

TEST(D12Reader, TellsTheModelTheHeaderLineAndTheBlocksOfEachString) {
    const Walk w = walk_text("null -999\nmodel \"first\"\nstring 3d {\n data {\n  1 2 3\n }\n}\n"
                             "model \"DESIGN/Road 2\" // comment\n\nstring super {\n data_2d {\n  1 2\n }\n"
                             " data_3d {\n  1 2 3\n }\n}\n  model plain\nstring 2d {\n data {\n 1 2\n }\n}\n");
    EXPECT_FALSE(w.stopped) << w.out;
    EXPECT_EQ(w.places, (std::vector<std::string>{"first|3|0|0", "DESIGN/Road 2|10|0|1", "DESIGN/Road 2|10|1|0",
                                                  "plain|19|0|0"}));
    const Walk header_only = walk(kWalkFixture);
    ASSERT_FALSE(header_only.places.empty());
    EXPECT_EQ(header_only.places.front(), "walk|6|0|0");
    EXPECT_EQ(header_only.places[3], "walk|28|1|1");  // the super string's data_3d block
}

TEST(D12Reader, ReportsTheNullValueOnceOnTheConsole) {
    const Walk w = walk(kWalkFixture);
    EXPECT_NE(w.out.find("\n12D null value set to:    -999.000\n"), std::string::npos) << w.out;
    EXPECT_EQ(w.out.find("null value set to:", w.out.find("-999.000")), std::string::npos) << w.out;
}

std::string with_crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST(D12Reader, CrlfLineEndsGiveTheSameObjects) {
    const Walk lf = walk(kWalkFixture);
    const Walk crlf = walk_text(with_crlf(testing::read_file(kWalkFixture)));
    EXPECT_FALSE(crlf.stopped) << crlf.out;
    EXPECT_EQ(crlf.null_value, lf.null_value);
    EXPECT_EQ(crlf.objects, lf.objects);
}

TEST(D12Reader, Utf16CopyGivesTheSameObjectsAsThe8BitFile) {
    const std::string text = with_crlf(testing::read_file(kWalkFixture));
    std::string utf16 = "\xff\xfe";
    for (unsigned char c : text) {
        ASSERT_FALSE(c >= 0x80 && c < 0xA0) << "the fixture must stay within Latin-1";
        utf16 += static_cast<char>(c);  // Latin-1 is the first 256 code points
        utf16 += '\0';
    }
    const Walk eight = walk(kWalkFixture);
    const Walk wide = walk_text(utf16);
    EXPECT_FALSE(wide.stopped) << wide.out;
    EXPECT_EQ(wide.null_value, eight.null_value);
    EXPECT_EQ(wide.objects, eight.objects);
}

TEST(D12Reader, LinesAcrossManyBufferRefillsAreReadIntact) {
    // Several megabytes, so the file's buffer is refilled many times while vertex
    // lines and super-string blocks are in flight.
    std::string text = "model\n";
    double sum = 0.0;
    const int strings = 40;
    const int per_block = 4000;
    for (int s = 0; s < strings; ++s) {
        text += "string super {\n  name S" + std::to_string(s) + "\n  data_3d {\n";
        for (int i = 0; i < per_block; ++i) {
            const int v = s * per_block + i;
            text += "    " + std::to_string(v) + ".25 " + std::to_string(v % 977) + " " + std::to_string(v % 13) +
                    "   // vertex " + std::to_string(v) + "\n";
            sum += v + 0.25;
        }
        text += "  }\n  data_2d {\n    1 2\n  }\n}\n";
    }
    const Walk w = walk_text(text, per_block);
    ASSERT_FALSE(w.stopped) << w.out.substr(0, 2000);
    ASSERT_EQ(w.objects.size(), static_cast<std::size_t>(2 * strings));
    double got = 0.0;
    for (int s = 0; s < strings; ++s) {
        const std::string& block = w.objects[static_cast<std::size_t>(2 * s)];
        ASSERT_EQ(block.rfind("super|S" + std::to_string(s) + "|3|", 0), 0u) << block.substr(0, 60);
        std::istringstream in(block.substr(block.find('|', block.find('|', block.find('|') + 1) + 1) + 1));
        std::string item;
        int n = 0;
        while (std::getline(in, item, ',')) {
            got += std::stod(item);
            ++n;
        }
        EXPECT_EQ(n, per_block);
        EXPECT_EQ(w.objects[static_cast<std::size_t>(2 * s + 1)], "super|S" + std::to_string(s) + "|2|1 2 -99999");
    }
    EXPECT_EQ(got, sum);  // quarters add up exactly in double precision
}

// ---------------------------------------------------------------- header

// Files written by hand or by other readers of the format often have no model
// line: the first string outside a block ends the header, and is the first
// object. A string header inside a block before it (a TIN's) does not.
TEST(D12ReadHeader, WithoutAModelLineTheFirstStringEndsTheHeader) {
    const Walk w = walk_text("null -999\ntin {\n  string_list {\n  }\n}\nstring 2d {\n  z 1\n  data {\n    1 2\n  }\n}\n"
                             "string 2d {\n  data {\n    3 4\n  }\n}\n");
    EXPECT_TRUE(w.header_ok);
    EXPECT_EQ(w.objects, (std::vector<std::string>{"2d||2|1 2 1", "2d||2|3 4 -99999"}));
    EXPECT_EQ(w.places, (std::vector<std::string>{"|6|0|0", "|12|0|0"}));
    EXPECT_FLOAT_EQ(w.null_value, -999.0f);
    EXPECT_TRUE(walk_text("null -999\n// no string\n").objects.empty());
}

TEST(D12ReadHeader, UnreadableNullValueWarnsPausesAndFails) {
    for (const std::string head : {"null abc\nmodel\n", "null\nmodel\n"}) {
        const Walk w = walk_text(head + "string 2d {\n data {\n 1 2\n }\n}\n");
        EXPECT_FALSE(w.header_ok) << head;
        EXPECT_TRUE(w.objects.empty());
        EXPECT_FLOAT_EQ(w.null_value, kNoElevation);
        EXPECT_NE(w.out.find("\n\nWARNING - Problems finding start of data in .12da file\n"), std::string::npos)
            << w.out;
        EXPECT_NE(w.out.find("Press Enter to Continue"), std::string::npos) << w.out;
    }
}

TEST(D12ReadHeader, ModelLineIsConsumedAndAnyCaseMatches) {
    const Walk w = walk_text("NULL 12\nMODEL x\nstring 3d {\n data {\n 1 2 3\n }\n}\n");
    EXPECT_TRUE(w.header_ok);
    EXPECT_FLOAT_EQ(w.null_value, 12.0f);
    EXPECT_EQ(w.objects, std::vector<std::string>{"3d||3|1 2 3"});
}

TEST(D12ReadHeader, NullWrittenAsTheWordKeepsTheNullElevationAndANullHeightIsIt) {
    const Walk kept = walk_text("// null_keyword true\nnull null\nmodel\nstring 3d {\n data {\n 1 2 NULL\n }\n}\n");
    EXPECT_TRUE(kept.header_ok) << kept.out;
    EXPECT_EQ(kept.out.find("null value set to"), std::string::npos) << kept.out;
    EXPECT_EQ(kept.objects, std::vector<std::string>{"3d||3|1 2 -99999"});

    // Under another null elevation the word stands for that one, in a vertex line and in a "z" line.
    const Walk set = walk_text("null -999\nmodel\nstring 3d {\n data {\n 1 2 null\n }\n}\n"
                               "string 2d {\n z Null\n data {\n 3 4\n }\n}\n");
    EXPECT_FALSE(set.stopped) << set.out;
    EXPECT_EQ(set.objects, (std::vector<std::string>{"3d||3|1 2 -999", "2d||2|3 4 -999"}));

    // Only a height may be null.
    const Walk bad = walk_text("model\nstring 3d {\n data {\n null 2 3\n }\n}\n");
    EXPECT_TRUE(bad.stopped);
    EXPECT_NE(bad.out.find("ERROR - Reading .12da file.  Erroneous line is:\nnull 2 3\n"), std::string::npos) << bad.out;
}

// ---------------------------------------------------------------- lines

TEST(D12NextLine, SkipsEmptyAndCommentLinesCutsCommentsAndKeepsTabs) {
    TempDir dir;
    const std::string path = dir.write("l.12da", "\n   \n// c\n   // c\n   100 200 // note\n\tname A1\nlast");
    Capture cap;
    int unit = 0;
    services::OPENFILE(unit, "I ", path);
    LineLexer lines(services::runtime().units.input(unit));
    std::string line = "old";
    ASSERT_TRUE(d12NextLine(line, lines));
    EXPECT_EQ(line, "100 200");
    EXPECT_EQ(lines.line_number(), 5u);
    ASSERT_TRUE(d12NextLine(line, lines));
    EXPECT_EQ(line, "\tname A1");
    ASSERT_TRUE(d12NextLine(line, lines, 3));
    EXPECT_EQ(line, "las");
    EXPECT_FALSE(d12NextLine(line, lines));
    EXPECT_EQ(line, "");
}

// What next_significant hands out for each line, in one pass over it: the
// line without its leading blanks, its comment and its trailing blanks, cut to
// the width (text) and not cut (whole); blank and comment lines are passed
// over. The same for LF, CRLF and CR line ends.
TEST(LineLexer, NextSignificantFindsStartCommentAndEndOfEachLine) {
    struct Row {
        std::string line;
        std::size_t width;
        bool significant;
        std::string text;
        std::string whole;
    };
    const std::vector<Row> rows = {
        {"", 100, false, "", ""},
        {"     ", 100, false, "", ""},
        {"// comment", 100, false, "", ""},
        {"   // comment \"with a quote", 100, false, "", ""},
        {"    316211.306 6216306.595 15.735", 10000, true, "316211.306 6216306.595 15.735",
         "316211.306 6216306.595 15.735"},
        {"  1 2 3   ", 100, true, "1 2 3", "1 2 3"},
        {"  1 2 // note  ", 100, true, "1 2", "1 2"},
        {"name \"a//b\" // c", 100, true, "name \"a//b\"", "name \"a//b\""},
        {"name \"a \\\" // b\" // c", 100, true, "name \"a \\\" // b\"", "name \"a \\\" // b\""},
        {"name \"a\\\\\" // c", 100, true, "name \"a\\\\\"", "name \"a\\\\\""},
        {"name \"unclosed // here", 100, true, "name \"unclosed // here", "name \"unclosed // here"},
        {"a\"b//c\"d//e", 100, true, "a\"b//c\"d", "a\"b//c\"d"},
        {"{ \"}\" } // {", 100, true, "{ \"}\" }", "{ \"}\" }"},
        {"\tname A1", 100, true, "\tname A1", "\tname A1"},
        {"x/y 1 /", 100, true, "x/y 1 /", "x/y 1 /"},
        {"1 2 3/", 100, true, "1 2 3/", "1 2 3/"},
        {"1 2 3 //", 100, true, "1 2 3", "1 2 3"},
        // Cut to the width: the text, not the whole line.
        {"abcdef", 3, true, "abc", "abcdef"},
        {"ab   cd", 4, true, "ab", "ab   cd"},
        {"a // b", 2, true, "a", "a"},
        {"   abc", 3, false, "", ""},     // blank within the width
        {"  //x", 3, true, "", ""},        // one slash within the width: not a comment line
        {"  a \"b // c", 5, true, "a \"", "a \"b // c"},  // an unclosed quote: no comment
    };
    for (const char* line_end : {"\n", "\r\n", "\r"}) {
        std::string file_text;
        for (const Row& r : rows) file_text += r.line + line_end;
        TempDir dir;
        const std::string path = dir.write("l.12da", file_text);
        Capture cap;
        int unit = 0;
        services::OPENFILE(unit, "I ", path);
        LineLexer lines(services::runtime().units.input(unit));
        // Each significant row in turn, read with its own width; the rows passed over are skipped.
        std::size_t next = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            if (!r.significant) continue;
            // The rows before it that are passed over must be, at this width too.
            std::string_view text;
            std::string_view whole;
            while (next < i && !rows[next].significant) ++next;
            ASSERT_EQ(next, i);
            ASSERT_TRUE(lines.next_significant(r.width, text, whole)) << "row " << i;
            EXPECT_EQ(lines.line_number(), i + 1) << "row " << i << " \"" << r.line << '"';
            EXPECT_EQ(text, r.text) << "row " << i << " \"" << r.line << '"';
            EXPECT_EQ(whole, r.whole) << "row " << i << " \"" << r.line << '"';
            next = i + 1;
        }
        std::string_view text;
        std::string_view whole;
        EXPECT_FALSE(lines.next_significant(100, text, whole));
    }
}

TEST(D12ObjectType, OtherLinesAreUnknownAndKeepTheLastHeaderFlags) {
    TempDir dir;
    const std::string path = dir.write("o.12da", "string  2d {\n  data {\n");
    Capture cap;
    int unit = 0;
    services::OPENFILE(unit, "I ", path);
    LineLexer lines(services::runtime().units.input(unit));
    d12Object o;
    std::string line;
    ASSERT_TRUE(d12NextLine(line, lines));
    ASSERT_TRUE(d12ObjectType(lines, line, o));
    EXPECT_EQ(o.type, " 2d");
    EXPECT_EQ(line, "data {");  // the data-block line is left for the caller
    EXPECT_TRUE(o.data2d);

    line = "   data_3d hipdata {";
    EXPECT_FALSE(d12ObjectType(lines, line, o));
    EXPECT_EQ(line, "data_3d hipdata {");
    EXPECT_EQ(o.type, "unknown");
    EXPECT_FALSE(o.isString);
    EXPECT_TRUE(o.data2d);  // still the 2D string's flag
    EXPECT_TRUE(o.data3d);
    EXPECT_TRUE(o.hipData);
}

TEST(D12ObjectType, UnreadableNameOrZStops) {
    for (const std::string bad : {"z", "Z\tx", "name", "Name ,"}) {
        const Walk w = walk_text("model\nstring 2d {\n  " + bad + "\n  data {\n    1 2\n  }\n}\n");
        EXPECT_TRUE(w.stopped) << bad;
        EXPECT_TRUE(w.objects.empty()) << bad;
        EXPECT_NE(w.out.find("\nERROR - Reading data (d12ObjectType)\n" + bad + "\n"), std::string::npos) << w.out;
    }
}

// An arc, a circle or a feature gives its centre as "zcentre": a keyword of
// its own, passed over, not the string's z line.
TEST(D12ObjectType, OnlyTheWordZIsTheZLine) {
    const Walk w = walk_text("model\nstring circle {\n  zcentre 32.0 xcentre 1\n  zone 3\n}\n"
                             "string 2d {\n  zstart 1\n  z\t4.5\n  data {\n    1 2\n  }\n}\n");
    EXPECT_FALSE(w.stopped) << w.out;
    EXPECT_EQ(w.objects, (std::vector<std::string>{"circle||", "2d||2|1 2 4.5"}));
}

// ---------------------------------------------------------------- vertices

TEST(D12ReadVertices, EndOfFileInsideABlockDropsTheLastLine) {
    const Walk w = walk_text("model\nstring 3d {\n  data {\n    1 2 3\n    4 5 6\n    7 8");
    EXPECT_FALSE(w.stopped) << w.out;
    EXPECT_EQ(w.objects, std::vector<std::string>{"3d||3|1 2 3, 4 5 6"});
}

TEST(D12ReadVertices, EndOfFileBeforeTheDataLineGivesAnObjectWithoutVertices) {
    const Walk w = walk_text("model\nstring 3d {\n  name A\n");
    EXPECT_EQ(w.objects, std::vector<std::string>{"3d|A|3|-"});
}

TEST(D12ReadVertices, EmptyBlockGivesNoVerticesNotEvenAClosingOne) {
    const Walk w = walk_text("model\nstring polyline {\n  data {\n  }\n}\nstring 2d {\n data {\n }\n}\n");
    EXPECT_EQ(w.objects, (std::vector<std::string>{"polyline||3|", "2d||2|"}));
}

TEST(D12ReadVertices, TwoNumbersInA3dBlockStopWithUnexpectedEnd) {
    const Walk w = walk_text("model\nstring 2d {\n data {\n 1 2\n }\n}\nstring 3d {\n  data_3d {\n    1 2 3\n    4 5\n  }\n}\n");
    EXPECT_TRUE(w.stopped);
    EXPECT_EQ(w.objects, std::vector<std::string>{"2d||2|1 2 -99999"});
    EXPECT_NE(w.out.find("\n\nERROR - Unexpected end of .12da file encountered.\n"), std::string::npos) << w.out;
}

TEST(D12ReadVertices, LettersInAVertexLineStopWithTheLine) {
    const Walk w = walk_text("model\nstring 2d {\n  data {\n    1 2\n    1 x2   \n  }\n}\n");
    EXPECT_TRUE(w.stopped);
    EXPECT_NE(w.out.find("\n\nERROR - Reading .12da file.  Erroneous line is:\n1 x2\n"), std::string::npos) << w.out;
}

TEST(D12ReadVertices, NodeLimitCountsVertexLinesAndStops) {
    const std::string closed_three = "model\nstring polyline {\n data {\n 1 1 1\n 2 2 2\n 3 3 3\n }\n}\n";
    const Walk fits = walk_text(closed_three, 3);
    EXPECT_FALSE(fits.stopped) << fits.out;
    EXPECT_EQ(fits.objects, std::vector<std::string>{"polyline||3|1 1 1, 2 2 2, 3 3 3, 1 1 1"});

    const Walk over = walk_text("model\nstring 3d {\n data {\n 1 1 1\n 2 2 2\n 3 3 3\n 4 4 4\n 5 5 5\n }\n}\n", 3);
    EXPECT_TRUE(over.stopped);
    EXPECT_TRUE(over.objects.empty());
    EXPECT_NE(over.out.find("\n\nERROR - Exceeded number of allowable nodes in a single polyline or region.\n"
                            "        Requested       4        Limit       3\n"),
              std::string::npos)
        << over.out;
}

// Braces are counted on the whole line: a side block on one line runs past the
// line buffers on strings of many vertices.
TEST(D12ReadVertices, BlocksOnLinesLongerThanTheBuffersAreFollowedToTheirEnd) {
    std::string names;
    for (int i = 0; i < 2500; ++i) names += " \"" + std::to_string(1000 + i) + "\"";  // 17,500 characters
    const Walk w = walk_text("model\nstring super {\n attributes { text \"Note\"" + names.substr(0, 7 * 215) +
                             " }\n data_3d {\n 1 2 3\n }\n point_data {" + names + " }\n data_2d {\n 4 5\n }\n}\n"
                             "string 3d {\n name after\n data {\n 6 7 8\n }\n}\n");
    EXPECT_FALSE(w.stopped) << w.out.substr(0, 300);
    EXPECT_EQ(w.objects, (std::vector<std::string>{"super||3|1 2 3", "super||2|4 5 -99999", "3d|after|3|6 7 8"}));
}

TEST(D12ReadVertices, SuperStringWithLastBlockAtTheEndOfTheFileEndsCleanly) {
    const Walk w = walk_text("model\nstring super {\n data_3d {\n 1 2 3\n }\n hipdata {\n 4 5 6\n }");
    EXPECT_FALSE(w.stopped) << w.out;
    EXPECT_EQ(w.objects, (std::vector<std::string>{"super||3|1 2 3", "super||h|4 5 6"}));
}

}  // namespace
}  // namespace velmorak::d12
