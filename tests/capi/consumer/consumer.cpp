// A C++ program of the suite using the installed routines: the header gives
// them C linkage, so they link from C++ under their upper-case names.
#include <cstdio>
#include <cstring>

#include <velmorak/velmorak.h>

int main() {
    int failures = 0;
    char out[8];
    TRIMF(out, sizeof out, "  ab", 4);
    if (std::memcmp(out, "ab      ", sizeof out) != 0) {
        std::fprintf(stderr, "TRIMF gave \"%.8s\"\n", out);
        ++failures;
    }
    if (DISTANCE_8(0.0, 0.0, 3.0, 4.0) != 5.0f) {
        std::fprintf(stderr, "DISTANCE_8 is not 5\n");
        ++failures;
    }
    DMESSAGERESETCOUNTERS();
    std::memcpy(DMESSAGES.lines[0], "CHECK -", 7);
    DMESSAGE(-2);
    if (DMESSAGES.counts[2] != 1 || DMESSAGES.kind != 3) {
        std::fprintf(stderr, "CHECK message not counted\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
