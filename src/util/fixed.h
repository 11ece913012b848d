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
#include <string>

namespace velmorak::util {

void put_fixed(std::string& out, double x, int width, int decimals);
// The same field written into field[0..width), which must hold blanks: for
// lines of several fields laid out blank at once.
void put_fixed_field(char* field, double x, int width, int decimals);

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

}  // namespace velmorak::util
