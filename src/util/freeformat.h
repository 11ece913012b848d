#pragma once
// A building block of the converter itself, not exported.
//
// Free-format (list-directed) reading of numbers and texts from one line.
//
// Values are separated by blanks or tabs and/or one comma. A double-quoted
// text keeps its blanks and commas, and a doubled quote inside it stands for
// one quote (as .mid files write it). An unquoted text ends at the first
// blank, tab or comma, and at a slash when the reader is asked to stop there
// (the 12d name line). Two commas with nothing between them give a null value.
//
// Numbers are parsed with std::from_chars: a leading "+" is accepted, the
// exponent may be written with E or D (Fortran double precision), "5." and
// ".5" are numbers, and so is a C99 hexadecimal float ("0x1.75p+18"). NaN, infinities and values out of range are bad values.
// Nothing allocates except the text read into a caller's std::string.
#include <cstdint>
#include <string>
#include <string_view>

#include "util/number_text.h"

namespace velmorak::util {

// What the reader saw in a plain decimal: its digits as one integer, how many
// stood before and after the point, its sign and whether it had a point.
struct PlainShape {
    std::uint64_t digits = 0;
    std::uint8_t whole = 0;
    std::uint8_t fraction = 0;
    bool negative = false;
    bool point = false;
};

enum class ReadStatus {
    ok,     // a value was read
    end,    // no value: the line ran out (fewer values than required)
    null,   // an empty field between commas: the target is left unchanged
    bad,    // a value that is not of the required kind (letters for a number)
};

// True only for ReadStatus::ok.
constexpr bool read_ok(ReadStatus s) noexcept { return s == ReadStatus::ok; }

class FreeFormat {
public:
    explicit FreeFormat(std::string_view text, bool slash_ends_text = false) noexcept
        : text_(text), slash_(slash_ends_text) {}

    ReadStatus read(double& value) noexcept;
    ReadStatus read(float& value) noexcept;
    ReadStatus read(std::int32_t& value) noexcept;
    ReadStatus read(std::int64_t& value) noexcept;
    // A text value: a quoted text gives its contents (doubled quotes undoubled).
    ReadStatus read_text(std::string& value);

    // Reads several numbers in order; the first status that is not ok is returned.
    template <typename... T>
    ReadStatus read_all(T&... values) noexcept {
        ReadStatus s = ReadStatus::ok;
        ((s == ReadStatus::ok ? (s = read(values), 0) : 0), ...);
        return s;
    }

    // The part of the line not read yet.
    std::string_view rest() const noexcept { return text_.substr(pos_); }
    // The raw token of the last value read (for error messages and tests).
    std::string_view last_token() const noexcept { return token_; }
    // The text of the last number read with its shape, for a writer that
    // copies its digits (put_digits_field); not plain unless the last value
    // read was a plain decimal read as a double or a float.
    void last_text(NumberText& text) const noexcept;

private:
    // Moves to the next value: past blanks and the one comma after a value.
    // ok with pos_ on its first character, or end / null.
    ReadStatus begin_value() noexcept;
    // The value's token from pos_ (quoted or up to a separator).
    ReadStatus scan_token() noexcept;
    ReadStatus next_token() noexcept;
    // A plain number at pos_ that ends at a separator or the line's end: taken
    // as value (token and position moved past it) and true.
    template <typename T>
    bool take_plain(T& value) noexcept;

    std::string_view text_;
    std::size_t pos_ = 0;
    bool slash_ = false;
    bool after_value_ = false;   // a value was read: one comma after it is a separator
    std::string_view token_;
    bool quoted_ = false;
    bool plain_ = false;  // the last value read was a plain decimal, of shape_
    PlainShape shape_;
};

// The vertex line of a survey file, "x y" or "x y z" as plain decimals
// separated by blanks or tabs, read in one pass with the texts of its numbers
// (each text pointer may be null): true, with `rest` the position just after
// the last value, when the line begins with such values. False, with the
// values unchanged (texts may have been written), for any other line (a comma,
// a sign "+", an exponent, too few values ...): the caller then reads it with
// FreeFormat, which gives the same values and texts for every line this takes.
bool read_plain_values(std::string_view line, std::size_t& rest, double& x, NumberText* x_text, double& y,
                       NumberText* y_text) noexcept;
bool read_plain_values(std::string_view line, std::size_t& rest, double& x, NumberText* x_text, double& y,
                       NumberText* y_text, float& z, NumberText* z_text) noexcept;

// Parses one whole token as a number (no separators allowed inside).
bool parse_number(std::string_view token, double& value) noexcept;
bool parse_number(std::string_view token, float& value) noexcept;
bool parse_number(std::string_view token, std::int32_t& value) noexcept;
bool parse_number(std::string_view token, std::int64_t& value) noexcept;

}  // namespace velmorak::util
