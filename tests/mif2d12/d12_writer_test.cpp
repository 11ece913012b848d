#include "mif2d12/d12_writer.h"

#include <gtest/gtest.h>

#include <vector>

#include "d12/string_walk.h"
#include "services/units.h"
#include "support/support.h"

namespace velmorak::mif2d12 {
namespace {

// A name holding quotes, backslashes and commas is written as the package
// reads it (\" and \\) and comes back unchanged through the 12d reader.
TEST(D12Writer, NamesWithQuotesAndBackslashesReadBackUnchanged) {
    testing::TempDir dir;
    testing::Capture cap;
    services::INITSERVICES();
    const std::string path = dir.file("out.12da");
    const std::vector<double> x = {1.0, 2.0};
    const std::vector<double> y = {3.0, 4.0};
    {
        int unit = 0;
        services::OPENFILE(unit, "O ", path);
        write_12da_header(cap.rt().units.output(unit), "src");
        write_string_2d(cap.rt().units.output(unit), "Road \"A\", north\\ \\\"", x, y, 2);
        services::CLOSER(unit);
    }
    EXPECT_NE(dir.read("out.12da").find("  name      \"Road \\\"A\\\", north\\\\ \\\\\\\"\"\n"), std::string::npos);

    int unit = 0;
    services::OPENFILE(unit, "I ", path);
    d12::StringWalk walk(cap.rt().units.input(unit));
    ASSERT_TRUE(walk.start());
    ASSERT_TRUE(walk.next());
    const d12::d12Object& object = walk.object();
    EXPECT_EQ(object.name, "Road \"A\", north\\ \\\"");
}

}  // namespace
}  // namespace velmorak::mif2d12
