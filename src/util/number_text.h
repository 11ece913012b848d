#pragma once
// A building block of the converter itself, not exported.
//
// The text a number was read from, kept beside its value, with the shape the
// free-format reader saw in it: a conversion writes the number's field from
// these digits (util::put_digits_field) where that gives the field the value
// would, instead of formatting the value again. Survey files write coordinates
// with as many decimals as the fields they go to, or fewer, so most fields are
// the input's digits padded with zeros.
//
// Only FreeFormat::last_text fills one, and only for a plain decimal
// ([-]digits[.digits], at most kCapacity characters) it parsed itself; any
// other token, and a value that came from elsewhere (a 2D block's height),
// leaves it not plain. It is a trivial type of fixed size, so that arrays of
// them can stand beside the vertex arrays a run sizes once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace velmorak::util {

struct NumberText {
    static constexpr std::size_t kCapacity = 23;

    char text[kCapacity];
    std::uint8_t size = 0;   // characters of text
    std::uint8_t whole = 0;  // digits before the point, leading zeros included
    std::uint8_t fraction = 0;  // digits after it
    bool plain = false;      // the shape below was read from the text
    bool negative = false;   // it begins with "-"
    bool point = false;      // it has a decimal point ("12" has none, "12." has)
    // Plain, and a field shows it as it stands: a digit before the point, no
    // leading zero ("0.5" is such, ".5" and "007.5" are not), and not a
    // negative zero, whose field has no sign.
    bool as_written = false;
    std::uint64_t digits = 0;  // the digits as one integer: the value is digits / 10^fraction

    void clear() noexcept {
        size = 0;
        plain = false;
        as_written = false;
    }
    std::string_view view() const noexcept { return {text, size}; }
};

// Copies n bytes (n <= 32) in overlapping blocks of fixed size: a token of a
// survey file (8 to 16 characters) costs two moves and no call.
inline void copy_short(char* to, const char* from, std::size_t n) noexcept {
    if (n >= 16) {
        std::memcpy(to, from, 16);
        std::memcpy(to + n - 16, from + n - 16, 16);
    } else if (n >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + n - 8, from + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + n - 4, from + n - 4, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
    }
}

}  // namespace velmorak::util
