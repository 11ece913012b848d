#pragma once
// A building block of the converter itself, not exported.
//
// The fixed-layout writer: numbers in the right-aligned fixed-point fields that
// every output file and console line of the converter uses.
//
// put_fixed writes x as the Fortran edit Fw.d would: right-aligned in `width`
// columns with `decimals` decimals, rounded to nearest with exact halves away
// from zero, "0." before values below one when there is room, a minus sign for
// negatives (never for a value that rounds to zero), and `width` asterisks when
// the value does not fit (or is not a number). put_int is Iw. Nothing allocates
// beyond growing the caller's buffer; std::to_chars does the digits.
#include <cstdint>
#include <cstring>
#include <string>

#include "util/number_text.h"

namespace velmorak::util {

void put_fixed(std::string& out, double x, int width, int decimals);
// The same field written into field[0..width), which must hold blanks: for
// lines of several fields laid out blank at once.
void put_fixed_field(char* field, double x, int width, int decimals);

// Whether a value was read as a double or as a float (a 12d height).
enum class Precision { double_value, single_value };

// The field put_fixed_field writes for the number `text` was read as (a
// double, or a float for Precision::single_value), written from the text's own
// digits when that gives the same field: a plain decimal without leading zeros
// ("0.5", "12", "1." are such; ".5" and "007" are not), with no more decimals
// than the field, that fits the field as it stands, is not a negative zero,
// and whose value its type holds closely enough that rounding to `decimals`
// gives its digits back (at most 15 digits in all for a double; for a float a
// magnitude below the power of two whose spacing is less than one unit of the
// last decimal). The field is padded with zeros to `decimals`; like
// put_fixed_field, it writes into field[0..width), which must hold blanks.
// False, with nothing written, for any other text: the caller writes
// put_fixed_field of the value.
inline bool put_digits_field(char* field, const NumberText& text, int width, int decimals,
                             Precision precision = Precision::double_value);

// Appends `length` blanks to out and returns where they start.
inline char* append_blanks(std::string& out, std::size_t length) {
    const std::size_t old = out.size();
    out.append(length, ' ');
    return out.data() + old;
}
void put_int(std::string& out, std::int64_t value, int width);

// Convenience forms returning the field.
std::string fixed(double x, int width, int decimals);
std::string fixed_int(std::int64_t value, int width);
// Integer text without blanks.
std::string int_text(std::int64_t value);

// ---------------------------------------------------------------- put_digits_field
// Inline, so that the constant width and decimals of a caller's field fold
// into its tests: it runs for every coordinate of a conversion.

namespace detail {

// For a float read with d decimals: the exponent E of the smallest power of two
// whose values may come back from rounding to d decimals as other digits. Below
// 2^E the floats lie at most 2^(E-24) apart, so the float nearest to a decimal
// is within 2^(E-25) of it, less than half a unit of its last decimal while
// 2^(E-24) < 10^-d. Float fields of more than 7 decimals are never written
// from their digits.
inline constexpr int kSingleExponent[] = {23, 20, 17, 14, 10, 7, 4, 0};
inline constexpr std::uint64_t kPow10[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

}  // namespace detail

inline bool put_digits_field(char* field, const NumberText& t, int width, int decimals, Precision precision) {
    if (!t.as_written || t.fraction > decimals || decimals > 8) return false;
    if (precision == Precision::double_value) {
        // Below 10^15 units of its last decimal, a double is within 0.12 of a
        // unit of the decimal it was read from.
        if (t.whole + decimals > 15) return false;
    } else {
        // The value, digits / 10^fraction, below 2^E.
        if (decimals > 7) return false;
        const std::uint64_t bound = (std::uint64_t{1} << detail::kSingleExponent[decimals]) * detail::kPow10[t.fraction];
        if (t.digits >= bound) return false;
    }
    const int pad = decimals - t.fraction;
    const int used = t.size + (t.point ? 0 : 1) + pad;
    if (used > width) return false;
    char* const end = field + width;
    char* const o = end - used;
    // The padding zeros first, as one block where the field's text is that
    // long; the digits then overwrite those that are theirs.
    if (used >= 8)
        std::memcpy(end - 8, "00000000", 8);
    else
        for (int i = 1; i <= pad; ++i) end[-i] = '0';
    copy_short(o, t.text, t.size);
    if (!t.point) o[t.size] = '.';
    return true;
}

}  // namespace velmorak::util
