#include "mif/mid_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/runtime.h"
#include "support/support.h"
#include "util/freeformat.h"

namespace velmorak::mif {
namespace {

using testing::Capture;
using testing::TempDir;

std::vector<std::string> rows_of(const std::string& name) {
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    std::vector<std::string> rows;
    std::string row;
    io::LineStatus status;
    while ((status = read_mid_row(services::runtime().units.input(unit), row)) == io::LineStatus::ok)
        rows.push_back(row);
    EXPECT_EQ(status, io::LineStatus::eof);
    services::CLOSER(unit);
    return rows;
}

TEST(MidRow, QuotedTextsCarryTheirLineEndsIntoTheRow) {
    Capture cap;
    services::INITSERVICES();
    const auto rows = rows_of(testing::fixture("mif/multiline.mid").string());
    const std::vector<std::string> expected = {"\"Road 7\",12.5", "\"Two\nlines, here\",3",
                                               "\"He said \"\"hi\"\"\nand left\",4", "plain,5"};
    EXPECT_EQ(rows, expected);
}

TEST(MidRow, FirstValueOfAMultiLineRowReadsWhole) {
    Capture cap;
    services::INITSERVICES();
    const auto rows = rows_of(testing::fixture("mif/multiline.mid").string());
    ASSERT_EQ(rows.size(), 4u);
    util::FreeFormat ff(rows[1]);
    std::string name;
    ASSERT_EQ(ff.read_text(name), util::ReadStatus::ok);
    EXPECT_EQ(name, "Two\nlines, here");
    std::int32_t value = 0;
    ASSERT_EQ(ff.read(value), util::ReadStatus::ok);
    EXPECT_EQ(value, 3);
}

TEST(MidRow, AStrayQuoteRunsTheRowToTheEndOfTheFileKeepingOnlyItsStart) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    std::string rest;
    for (int i = 0; i < 5000; ++i) rest += "\"Road " + std::to_string(i) + "\",12.5\n";
    const auto rows = rows_of(dir.write("stray.mid", "\"Road 1,12.5\n" + rest));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].size(), 10000u);
    EXPECT_TRUE(rows[0].starts_with("\"Road 1,12.5\n\"Road 0\",12.5\n")) << rows[0].substr(0, 40);
}

TEST(MidRow, CrlfRowsReadLikeLfRows) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    const auto lf = rows_of(dir.write("lf.mid", "\"a\nb\",1\n2\n"));
    const auto crlf = rows_of(dir.write("crlf.mid", "\"a\r\nb\",1\r\n2\r\n"));
    EXPECT_EQ(lf, crlf);
    EXPECT_EQ(lf, (std::vector<std::string>{"\"a\nb\",1", "2"}));
}

TEST(MidRow, AFileEndingInsideAQuoteEndsTheRowThere) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    EXPECT_EQ(rows_of(dir.write("open.mid", "1\n\"open\nstill open\n")),
              (std::vector<std::string>{"1", "\"open\nstill open"}));
}

TEST(MidRow, EmptyLinesAreRowsAndAnEmptyFileHasNone) {
    TempDir dir;
    Capture cap;
    services::INITSERVICES();
    EXPECT_EQ(rows_of(dir.write("e.mid", "")), std::vector<std::string>{});
    EXPECT_EQ(rows_of(dir.write("b.mid", "\n1\n")), (std::vector<std::string>{"", "1"}));
}

}  // namespace
}  // namespace velmorak::mif
