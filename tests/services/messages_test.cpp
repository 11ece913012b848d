#include "services/messages.h"

#include <gtest/gtest.h>

#include "services/runtime.h"
#include "support/support.h"

namespace velmorak::services {
namespace {

using testing::Capture;

TEST(Dmessage, ModeOneWritesAnEmptyLineThenTheMessageCountsAndClears) {
    Capture cap;
    DMESSAGES().line[0] = "ERROR - Unexpected end of .12da file encountered.";
    DMESSAGE(1);
    EXPECT_EQ(cap.out(), "\nERROR - Unexpected end of .12da file encountered.\n");
    EXPECT_EQ(DMESSAGES().counts[0], 1);
    EXPECT_EQ(DMESSAGES().kind, 1);
    EXPECT_TRUE(DMESSAGES().line[0].empty());
}

TEST(Dmessage, ModeZeroHasNoEmptyLineAndBlankContinuationLinesAreSkipped) {
    Capture cap;
    show_message(0, "WARNING - first", "", "          third");
    EXPECT_EQ(cap.out(), "WARNING - first\n          third\n");
    EXPECT_EQ(DMESSAGES().counts[1], 1);
}

TEST(Dmessage, NegativeModesWriteNothingButStillCount) {
    Capture cap;
    show_message(-1, "CHECK - one");
    show_message(-2, "CHECK - two");
    EXPECT_EQ(cap.out(), "");
    EXPECT_EQ(DMESSAGES().counts[2], 2);
}

TEST(Dmessage, KindWordsAreCaseSensitiveAndUnstableRaisesNoCounter) {
    Capture cap;
    show_message(0, "Error - mixed case");
    EXPECT_EQ(DMESSAGES().kind, 0);
    show_message(0, "UNSTABLE - model");
    EXPECT_EQ(DMESSAGES().kind, 4);
    EXPECT_EQ(DMESSAGES().counts, (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(cap.out(), "Error - mixed case\nUNSTABLE - model\n");
}

TEST(Dmessage, TheNumberAfterTheKindWordIsRead) {
    Capture cap;
    show_message(-2, "ERROR 1234 - numbered");
    EXPECT_EQ(DMESSAGES().number, 1234);
    show_message(-2, "WARNING - no number");
    EXPECT_EQ(DMESSAGES().number, 0);
}

TEST(Dmessagexy, TagsTheLineAndRaisesTheLocatedCounter) {
    Capture cap;
    DMESSAGES().line[0] = "WARNING - Insufficient points for Region object in mif file.  Region ignored.";
    DMESSAGEXY(1, 10.0, 20.0);
    EXPECT_EQ(cap.out(), "\nXY: WARNING - Insufficient points for Region object in mif file.  Region ignored.\n");
    EXPECT_EQ(DMESSAGES().located_counts[1], 1);
    EXPECT_EQ(DMESSAGES().counts[1], 1);
    EXPECT_TRUE(DMESSAGES().tag.empty());
    DMESSAGERESETCOUNTERS();
    EXPECT_EQ(DMESSAGES().located_counts[1], 0);
}

TEST(Dline, WritesEightyUnderscores) {
    Capture cap;
    DLINE(0);
    EXPECT_EQ(cap.out(), std::string(80, '_') + "\n");
}

}  // namespace
}  // namespace velmorak::services
