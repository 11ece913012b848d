// Reads a fuzz input as one free-format line with a sequence of reads chosen
// by the input itself, and checks what the reader promises: every value read
// as a number is finite, is what its token parses to and is the correctly
// rounded value of its digits (as the C library converts them), an unquoted text
// holds no separator, the line is used up in a bounded number of reads, and
// once the line has run out it stays run out.
//
// Layout of an input: byte 0 bit 0 = a slash ends unquoted texts; bytes 1..8
// = the kinds of the reads, used in turn; the rest = the line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "fuzz_support.h"
#include "util/freeformat.h"

namespace {

using namespace velmorak;
using util::FreeFormat;
using util::ReadStatus;

constexpr std::size_t kPlanBytes = 8;

template <typename T>
bool same_value(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The C library's correctly rounded conversion of a token the reader took as a
// real: its "+" dropped and a Fortran "D" exponent written as "e". In a
// hexadecimal float a "D" is a digit.
template <typename F>
F reference_value(std::string_view token) {
    std::string text(token);
    if (!text.empty() && text.front() == '+') text.erase(0, 1);
    const std::size_t digits = !text.empty() && text.front() == '-' ? 1 : 0;
    const bool hex = text.size() > digits + 1 && text[digits] == '0' && (text[digits + 1] == 'x' || text[digits + 1] == 'X');
    if (!hex)
        for (char& c : text)
            if (c == 'd' || c == 'D') c = 'e';
    char* end = nullptr;
    const F v = std::is_same_v<F, float> ? std::strtof(text.c_str(), &end) : std::strtod(text.c_str(), &end);
    VELMORAK_FUZZ_CHECK(end == text.c_str() + text.size());
    return v;
}

// A real read as ok must be finite and what the C library makes of its token:
// the reader's own fast path for plain decimals has to round the same way.
template <typename F>
void check_real(std::string_view token, F value) {
    VELMORAK_FUZZ_CHECK(std::isfinite(value));
    VELMORAK_FUZZ_CHECK(same_value(value, reference_value<F>(token)));
}

// A number read as ok must be equal to its own token parsed alone.
template <typename T>
void read_number(FreeFormat& ff, ReadStatus& status) {
    T value{};
    status = ff.read(value);
    if (status != ReadStatus::ok) return;
    if constexpr (std::is_floating_point_v<T>) check_real(ff.last_token(), value);
    T again{};
    VELMORAK_FUZZ_CHECK(util::parse_number(ff.last_token(), again));
    VELMORAK_FUZZ_CHECK(same_value(value, again));
}

// A text holds a separator only when it was quoted: its token then follows the opening quote.
void read_text(FreeFormat& ff, std::string_view line, bool slash, std::string& value, ReadStatus& status) {
    status = ff.read_text(value);
    if (status != ReadStatus::ok) return;
    const std::string_view token = ff.last_token();
    VELMORAK_FUZZ_CHECK(value.size() <= token.size());
    const auto at = static_cast<std::size_t>(token.data() - line.data());
    VELMORAK_FUZZ_CHECK(at <= line.size() && token.size() <= line.size() - at);
    const bool quoted = at > 0 && line[at - 1] == '"';
    if (value.find_first_of(slash ? " \t,/" : " \t,") != std::string::npos) VELMORAK_FUZZ_CHECK(quoted);
}

// Every kind of number parsed from the whole text, which may hold anything.
void parse_whole(std::string_view text) {
    double d = 0.0;
    float f = 0.0f;
    std::int32_t i = 0;
    std::int64_t l = 0;
    if (util::parse_number(text, d)) check_real(text, d);
    if (util::parse_number(text, f)) check_real(text, f);
    if (util::parse_number(text, i) && util::parse_number(text, l)) VELMORAK_FUZZ_CHECK(l == i);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1 + kPlanBytes) return 0;
    const bool slash = (data[0] & 1) != 0;
    const std::uint8_t* plan = data + 1;
    const std::string_view line = fuzz::as_text(data + 1 + kPlanBytes, size - 1 - kPlanBytes);
    parse_whole(line);

    FreeFormat ff(line, slash);
    std::string text;
    // Each read takes a value or a comma; a null (an empty field) may take nothing
    // once, when the comma before it still has to be passed.
    const std::size_t bound = 2 * line.size() + 2;
    bool ended = false;
    for (std::size_t k = 0;; ++k) {
        VELMORAK_FUZZ_CHECK(k <= bound);
        const std::size_t before = ff.rest().size();
        VELMORAK_FUZZ_CHECK(line.ends_with(ff.rest()));
        ReadStatus status = ReadStatus::ok;
        switch (plan[k % kPlanBytes] % 5) {
            case 0: read_number<double>(ff, status); break;
            case 1: read_number<float>(ff, status); break;
            case 2: read_number<std::int32_t>(ff, status); break;
            case 3: read_number<std::int64_t>(ff, status); break;
            default: read_text(ff, line, slash, text, status); break;
        }
        VELMORAK_FUZZ_CHECK(ff.rest().size() <= before);
        if (ended) VELMORAK_FUZZ_CHECK(status == ReadStatus::end);
        if (status == ReadStatus::end) {
            if (ended) break;
            ended = true;  // read once more: the end must hold
        }
    }
    return 0;
}
