// The fields a conversion writes from the digits it read must be the fields
// the values would give. A fuzz input is a line of numbers: every number read
// from it by the free-format reader, as a double and as a float, is written
// into the converter's own fields (16.6 and 16.5 for coordinates, 16.3 and
// 12.4 for heights) and into one more chosen by the input, once from its
// digits (put_digits_field) and once from its value (put_fixed_field); where
// the digits were used the two fields must be the same, byte for byte.
//
// The one-pass reader of vertex lines (read_plain_values) must agree with the
// free-format reader on every line it takes: the same values bit for bit, the
// same texts and shapes, and the same position after the last value.
//
// Layout of an input: byte 0 = the width of the chosen field (0 to 31), byte 1
// = its decimals (0 to 9); the rest = the line.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "fuzz_support.h"
#include "util/fixed.h"
#include "util/freeformat.h"

namespace {

using namespace velmorak;
using util::FreeFormat;
using util::NumberText;
using util::Precision;
using util::ReadStatus;

struct Field {
    int width;
    int decimals;
};

template <typename T>
bool same_value(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool same_text(const NumberText& a, const NumberText& b) {
    if (a.plain != b.plain || a.as_written != b.as_written) return false;
    if (!a.plain) return true;
    return a.view() == b.view() && a.whole == b.whole && a.fraction == b.fraction && a.negative == b.negative &&
           a.point == b.point && a.digits == b.digits;
}

// The field from the digits, where they are used, against the field from the value.
template <typename F>
void check_field(const NumberText& text, F value, Field f) {
    constexpr Precision precision = std::is_same_v<F, float> ? Precision::single_value : Precision::double_value;
    char from_digits[40];
    char from_value[40];
    std::memset(from_digits, ' ', sizeof from_digits);
    std::memset(from_value, ' ', sizeof from_value);
    if (!util::put_digits_field(from_digits + 4, text, f.width, f.decimals, precision)) {
        // Nothing written when the digits are not used.
        for (const char c : from_digits) VELMORAK_FUZZ_CHECK(c == ' ');
        return;
    }
    util::put_fixed_field(from_value + 4, static_cast<double>(value), f.width, f.decimals);
    // The field and the blanks around it.
    VELMORAK_FUZZ_CHECK(std::memcmp(from_digits, from_value, sizeof from_digits) == 0);
}

// Every number of the line read as F, each written into every field.
template <typename F>
void check_numbers(std::string_view line, Field chosen) {
    static constexpr Field kConverterFields[] = {{16, 6}, {16, 5}, {16, 3}, {12, 4}};
    FreeFormat ff(line);
    for (std::size_t k = 0; k <= line.size(); ++k) {
        F value{};
        const ReadStatus status = ff.read(value);
        if (status == ReadStatus::end) return;
        if (status != ReadStatus::ok) continue;
        NumberText text;
        ff.last_text(text);
        if (text.plain) VELMORAK_FUZZ_CHECK(text.view() == ff.last_token());
        for (const Field f : kConverterFields) check_field(text, value, f);
        check_field(text, value, chosen);
    }
}

// read_plain_values against reading the same values one by one.
template <typename... F>
void check_plain_values(std::string_view line) {
    constexpr std::size_t kCount = sizeof...(F);
    double x = 0.0;
    double y = 0.0;
    float z = 0.0f;
    NumberText texts[3];
    std::size_t rest = 0;
    bool taken = false;
    if constexpr (kCount == 2)
        taken = util::read_plain_values(line, rest, x, &texts[0], y, &texts[1]);
    else
        taken = util::read_plain_values(line, rest, x, &texts[0], y, &texts[1], z, &texts[2]);
    if (!taken) return;
    FreeFormat ff(line);
    double rx = 0.0;
    double ry = 0.0;
    float rz = 0.0f;
    NumberText read[3];
    VELMORAK_FUZZ_CHECK(ff.read(rx) == ReadStatus::ok);
    ff.last_text(read[0]);
    VELMORAK_FUZZ_CHECK(ff.read(ry) == ReadStatus::ok);
    ff.last_text(read[1]);
    if constexpr (kCount == 3) {
        VELMORAK_FUZZ_CHECK(ff.read(rz) == ReadStatus::ok);
        ff.last_text(read[2]);
        VELMORAK_FUZZ_CHECK(same_value(z, rz));
    }
    VELMORAK_FUZZ_CHECK(same_value(x, rx) && same_value(y, ry));
    for (std::size_t i = 0; i < kCount; ++i) VELMORAK_FUZZ_CHECK(same_text(texts[i], read[i]));
    VELMORAK_FUZZ_CHECK(rest == line.size() - ff.rest().size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const Field chosen{data[0] % 32, data[1] % 10};
    const std::string_view line = fuzz::as_text(data + 2, size - 2);
    check_numbers<double>(line, chosen);
    check_numbers<float>(line, chosen);
    check_plain_values<double, double>(line);
    check_plain_values<double, double, float>(line);
    return 0;
}
