// The 12d ASCII text of the conversions from MIF: field layouts at their limits.
#include "mif2d12/d12_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/support.h"

namespace velmorak::mif2d12 {
namespace {

TEST(D12Writer, FieldsTooWideBecomeAsterisksAndNamesLoseTrailingBlanks) {
    testing::TempDir dir;
    auto out = services::OutputFile::create(dir.file("w.12da"), false);
    ASSERT_TRUE(out);
    const std::vector<double> x{12345678901.5, -0.000005};
    const std::vector<double> y{-123456789.12345, 2.0};  // exactly 16 columns
    const std::vector<float> z{1.0e9f, -0.00006f};
    write_string_3d(*out, "Kerb   ", x, y, z, 2);
    write_string_2d(*out, "", x, y, 1);
    ASSERT_TRUE(out->close());
    EXPECT_EQ(dir.read("w.12da"),
              "string 3d {\n  name      \"Kerb\"\n  chainage  0\n  breakline line\n  colour    red\n"
              "  style     1\n\n  data {\n"
              "    ****************-123456789.12345************\n"
              "            -0.00001         2.00000     -0.0001\n"
              "  }\n}\n\n"
              "string 2d {\n  name      \"\"\n  chainage  0\n  breakline line\n  colour    red\n"
              "  style     1\n\n  data {\n"
              "    ****************-123456789.12345\n"
              "  }\n}\n\n");
}

}  // namespace
}  // namespace velmorak::mif2d12
