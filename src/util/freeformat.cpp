#include "util/freeformat.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>
#include <string>

namespace velmorak::util {
namespace {

constexpr bool is_space(char c) noexcept { return c == ' ' || c == '\t'; }

// Character classes of the token scan, one table lookup per character.
enum : unsigned char { kSpaceClass = 1, kCommaClass = 2, kSlashClass = 4 };
constexpr auto kCharClass = [] {
    std::array<unsigned char, 256> t{};
    t[static_cast<unsigned char>(' ')] = kSpaceClass;
    t[static_cast<unsigned char>('\t')] = kSpaceClass;
    t[static_cast<unsigned char>(',')] = kCommaClass;
    t[static_cast<unsigned char>('/')] = kSlashClass;
    return t;
}();

// Drops a leading "+"; false when a second sign follows it ("+-1", "++1").
bool drop_plus(std::string_view& token) noexcept {
    if (token.empty() || token.front() != '+') return true;
    token.remove_prefix(1);
    return token.empty() || (token.front() != '+' && token.front() != '-');
}

// from_chars would also take "inf" and "nan": a coordinate or elevation never is one.
bool starts_like_a_number(std::string_view token) noexcept {
    if (token.empty()) return false;
    const char first = token.front() == '-' && token.size() > 1 ? token[1] : token.front();
    return first == '.' || (first >= '0' && first <= '9');
}

// Appends the run of digits at p to m (m * 10^n plus their value) and returns
// where the run ends. m wraps on runs past 19 digits; callers refuse those by
// their length.
const char* take_digits(const char* p, const char* end, std::uint64_t& m) noexcept {
    for (unsigned d = 0; p != end && (d = static_cast<unsigned char>(*p) - 48u) < 10; ++p) m = m * 10 + d;
    return p;
}

constexpr std::uint64_t kPow10Int[] = {1ULL,          10ULL,          100ULL,          1000ULL,
                                       10000ULL,      100000ULL,      1000000ULL,      10000000ULL,
                                       100000000ULL};

// take_digits for the eight characters at p, read as one little-endian word.
[[gnu::always_inline]] inline const char* take_digits_word(const char* p, const char* end, std::uint64_t chunk,
                                                           std::uint64_t& m) noexcept {
    // Each byte less '0': a digit is a byte from 0 to 9, anything else has
    // its top bit set in x | (x + 0x76), computed without carries between bytes.
    const std::uint64_t x = chunk ^ 0x3030303030303030ULL;
    const std::uint64_t other = (x | ((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
    if (other == 0) return take_digits(p, end, m);  // eight digits or more
    const int n = std::countr_zero(other) >> 3;
    if (n == 0) return p;
    // The n digits at the top of the word, below them zeros; then the digit
    // pairs, fours and eights are added up by multiplying.
    std::uint64_t v = x << (8 * (8 - n));
    v = (v * 10) + (v >> 8);
    v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
        32;
    m = m * kPow10Int[n] + v;
    return p + n;
}

// take_digits eight characters at a time where eight can be read at p: the
// digits of a survey file's numbers (six or seven before the point, two to
// four after it) are found and added up in one word, without a step per
// digit. A run of eight digits or more goes on one digit at a time, and so do
// the last few characters of a text, where a word would cost more than the
// digits.
[[gnu::always_inline]] inline const char* take_digits_fast(const char* p, const char* end, std::uint64_t& m) noexcept {
    if constexpr (std::endian::native != std::endian::little) {
        return take_digits(p, end, m);
    } else {
        if (end - p < 8) return take_digits(p, end, m);
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, p, 8);
        return take_digits_word(p, end, chunk, m);
    }
}

template <typename F>
[[gnu::always_inline]] inline bool scan_plain_decimal(const char* p, const char* end, F& value, const char*& stop,
                                                      PlainShape& shape) noexcept {
    constexpr std::uint64_t kMaxExact = std::is_same_v<F, float> ? (1ULL << 24) : (1ULL << 53);
    constexpr int kMaxPower = std::is_same_v<F, float> ? 10 : 22;
    static constexpr F kPow10[] = {F(1e0),  F(1e1),  F(1e2),  F(1e3),  F(1e4),  F(1e5),  F(1e6),  F(1e7),
                                   F(1e8),  F(1e9),  F(1e10), F(1e11), F(1e12), F(1e13), F(1e14), F(1e15),
                                   F(1e16), F(1e17), F(1e18), F(1e19), F(1e20), F(1e21), F(1e22)};
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    // The digits before the point, then after it; m may wrap past 19 digits,
    // but such tokens are refused by their length.
    std::uint64_t m = 0;
    const char* const whole = p;
    p = take_digits_fast(p, end, m);
    const auto whole_digits = p - whole;
    auto digits = whole_digits;
    std::ptrdiff_t decimals = 0;
    const bool point = p != end && *p == '.';
    if (point) {
        const char* const fraction = ++p;
        p = take_digits_fast(p, end, m);
        decimals = p - fraction;
        digits += decimals;
    }
    stop = p;
    if (digits == 0 || digits > 19 || m > kMaxExact || decimals > kMaxPower) return false;
    const F v = static_cast<F>(m) / kPow10[decimals];
    value = negative ? -v : v;
    shape = {m, static_cast<std::uint8_t>(whole_digits), static_cast<std::uint8_t>(decimals), negative, point};
    return true;
}

// Plain integers ("1234", "-7") short enough that they cannot overflow I.
template <typename I>
bool scan_plain_integer(const char* p, const char* end, I& value, const char*& stop) noexcept {
    const bool negative = p != end && *p == '-';
    if (negative) ++p;
    std::uint64_t m = 0;
    const char* const first = p;
    p = take_digits(p, end, m);
    stop = p;
    const auto digits = p - first;
    if (digits == 0 || digits > std::numeric_limits<I>::digits10) return false;
    const auto v = static_cast<I>(m);
    value = negative ? static_cast<I>(-v) : v;
    return true;
}

template <typename F>
bool parse_plain_decimal(std::string_view token, F& value) noexcept {
    const char* end = token.data() + token.size();
    const char* stop = nullptr;
    F v{};
    PlainShape shape;
    if (!scan_plain_decimal(token.data(), end, v, stop, shape) || stop != end) return false;
    value = v;
    return true;
}

// A C99 hexadecimal float ("0x1.7593eff21e508p+18", "-0x0p+0"), as the
// package writes a surface exported with "output_tin_hex_floats": exact in
// base 2. from_chars reads the digits after the "0x" and the exponent. The
// binary exponent is required, as printf's %a always writes it: "0x10" is no
// number of any file we read.
template <typename F>
bool parse_hex_real(std::string_view token, F& value) noexcept {
    const bool negative = !token.empty() && token.front() == '-';
    if (negative) token.remove_prefix(1);
    if (token.size() < 3 || token[0] != '0' || (token[1] != 'x' && token[1] != 'X')) return false;
    token.remove_prefix(2);
    // Hexadecimal digits with at most one point, then "p", one sign at most
    // and decimal digits: the shape is checked here, since from_chars takes
    // some texts of another shape ("0x1D.p+-1").
    const std::size_t p = token.find_first_of("pP");
    if (p == std::string_view::npos || p == 0) return false;
    std::size_t digits = 0;
    std::size_t points = 0;
    for (const char c : token.substr(0, p)) {
        if (c == '.') {
            ++points;
        } else if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
            ++digits;
        } else {
            return false;
        }
    }
    std::string_view exponent = token.substr(p + 1);
    if (!exponent.empty() && (exponent.front() == '+' || exponent.front() == '-')) exponent.remove_prefix(1);
    if (digits == 0 || points > 1 || exponent.empty() ||
        exponent.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    F v{};
    const char* end = token.data() + token.size();
    const auto [ptr, ec] = std::from_chars(token.data(), end, v, std::chars_format::hex);
    if (ec != std::errc{} || ptr != end || !std::isfinite(v)) return false;
    value = negative ? -v : v;
    return true;
}

template <typename F>
bool parse_real(std::string_view token, F& value) noexcept {
    if (!drop_plus(token) || !starts_like_a_number(token)) return false;
    if (parse_plain_decimal(token, value)) return true;
    if (parse_hex_real(token, value)) return true;
    F v{};
    const char* end = token.data() + token.size();
    auto [ptr, ec] = std::from_chars(token.data(), end, v, std::chars_format::general);
    if (ec == std::errc{} && ptr != end && (*ptr == 'd' || *ptr == 'D')) {
        // A Fortran double-precision exponent ("1.5D3"): parse a copy with "e".
        std::string copy(token);  // rare: only tokens written with a D exponent
        copy[static_cast<std::size_t>(ptr - token.data())] = 'e';
        const auto r = std::from_chars(copy.data(), copy.data() + copy.size(), v, std::chars_format::general);
        ec = r.ec;
        ptr = r.ptr == copy.data() + copy.size() ? end : token.data();
    }
    if (ec != std::errc{} || ptr != end || !std::isfinite(v)) return false;
    value = v;
    return true;
}

template <typename I>
bool parse_integer(std::string_view token, I& value) noexcept {
    if (!drop_plus(token) || token.empty()) return false;
    I v{};
    const char* stop = nullptr;
    if (scan_plain_integer(token.data(), token.data() + token.size(), v, stop) &&
        stop == token.data() + token.size()) {
        value = v;
        return true;
    }
    const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    if (ec != std::errc{} || ptr != token.data() + token.size()) return false;
    value = v;
    return true;
}

}  // namespace

bool parse_number(std::string_view token, double& value) noexcept { return parse_real(token, value); }
bool parse_number(std::string_view token, float& value) noexcept { return parse_real(token, value); }
bool parse_number(std::string_view token, std::int32_t& value) noexcept { return parse_integer(token, value); }
bool parse_number(std::string_view token, std::int64_t& value) noexcept { return parse_integer(token, value); }

// Inlined into every read: it runs once per value.
[[gnu::always_inline]] inline ReadStatus FreeFormat::begin_value() noexcept {
    const std::size_t size = text_.size();
    auto skip_spaces = [&] {
        while (pos_ < size && is_space(text_[pos_])) ++pos_;
    };
    skip_spaces();
    if (pos_ < size && text_[pos_] == ',' && after_value_) {
        ++pos_;  // the one comma that separates this value from the last
        skip_spaces();
    }
    after_value_ = true;
    quoted_ = false;
    plain_ = false;
    token_ = {};
    if (pos_ >= size) return ReadStatus::end;
    const char c = text_[pos_];
    if (c == ',') return ReadStatus::null;  // nothing between two commas
    if (slash_ && c == '/') {
        pos_ = size;
        return ReadStatus::end;
    }
    return ReadStatus::ok;
}

ReadStatus FreeFormat::next_token() noexcept {
    const ReadStatus s = begin_value();
    if (s != ReadStatus::ok) return s;
    return scan_token();
}

template <typename T>
[[gnu::always_inline]] inline bool FreeFormat::take_plain(T& value) noexcept {
    const char* const begin = text_.data() + pos_;
    const char* const end = text_.data() + text_.size();
    const char* stop = nullptr;
    T v{};
    bool plain = false;
    PlainShape shape;
    if constexpr (std::is_floating_point_v<T>)
        plain = scan_plain_decimal(begin, end, v, stop, shape);
    else
        plain = scan_plain_integer(begin, end, v, stop);
    if (!plain) return false;
    const unsigned char separators = kSpaceClass | kCommaClass | (slash_ ? kSlashClass : 0);
    if (stop != end && (kCharClass[static_cast<unsigned char>(*stop)] & separators) == 0) return false;
    value = v;
    if constexpr (std::is_floating_point_v<T>) {
        shape_ = shape;
        plain_ = true;
    }
    token_ = std::string_view(begin, static_cast<std::size_t>(stop - begin));
    pos_ = static_cast<std::size_t>(stop - text_.data());
    return true;
}

ReadStatus FreeFormat::scan_token() noexcept {
    const std::size_t size = text_.size();
    const char c = text_[pos_];
    if (c == '"') {
        const std::size_t start = ++pos_;
        while (pos_ < size) {
            if (text_[pos_] == '"') {
                if (pos_ + 1 < size && text_[pos_ + 1] == '"') {
                    pos_ += 2;
                    continue;
                }
                break;
            }
            ++pos_;
        }
        token_ = text_.substr(start, pos_ - start);
        if (pos_ < size) ++pos_;  // the closing quote
        quoted_ = true;
        return ReadStatus::ok;
    }
    const std::size_t start = pos_;
    const unsigned char stop = kSpaceClass | kCommaClass | (slash_ ? kSlashClass : 0);
    while (pos_ < size && (kCharClass[static_cast<unsigned char>(text_[pos_])] & stop) == 0) ++pos_;
    token_ = text_.substr(start, pos_ - start);
    return ReadStatus::ok;
}

namespace {
template <typename T>
ReadStatus read_number(ReadStatus s, bool quoted, std::string_view token, T& value) noexcept {
    if (s != ReadStatus::ok) return s;
    if (quoted) return ReadStatus::bad;
    return parse_number(token, value) ? ReadStatus::ok : ReadStatus::bad;
}
}  // namespace

// A plain number is scanned and converted in one pass; anything else takes
// the token scan and the general parse.
ReadStatus FreeFormat::read(double& value) noexcept {
    const ReadStatus s = begin_value();
    if (s != ReadStatus::ok || take_plain(value)) return s;
    const ReadStatus t = scan_token();
    return read_number(t, quoted_, token_, value);
}
ReadStatus FreeFormat::read(float& value) noexcept {
    const ReadStatus s = begin_value();
    if (s != ReadStatus::ok || take_plain(value)) return s;
    const ReadStatus t = scan_token();
    return read_number(t, quoted_, token_, value);
}
ReadStatus FreeFormat::read(std::int32_t& value) noexcept {
    const ReadStatus s = begin_value();
    if (s != ReadStatus::ok || take_plain(value)) return s;
    const ReadStatus t = scan_token();
    return read_number(t, quoted_, token_, value);
}
ReadStatus FreeFormat::read(std::int64_t& value) noexcept {
    const ReadStatus s = begin_value();
    if (s != ReadStatus::ok || take_plain(value)) return s;
    const ReadStatus t = scan_token();
    return read_number(t, quoted_, token_, value);
}

namespace {

// The text of a plain decimal into `text`, with the shape its scan saw; a text
// too long for it is not kept.
[[gnu::always_inline]] inline void keep_text(NumberText& text, const char* begin, const char* stop,
                                             const PlainShape& shape) noexcept {
    const auto size = static_cast<std::size_t>(stop - begin);
    if (size > NumberText::kCapacity) {
        text.clear();
        return;
    }
    copy_short(text.text, begin, size);
    text.size = static_cast<std::uint8_t>(size);
    text.whole = shape.whole;
    text.fraction = shape.fraction;
    text.negative = shape.negative;
    text.point = shape.point;
    text.digits = shape.digits;
    text.plain = true;
    const char first = begin[shape.negative ? 1 : 0];
    text.as_written = shape.whole > 0 && (shape.whole == 1 || first != '0') && !(shape.negative && shape.digits == 0);
}

// One value of read_plain_values: blanks, then a plain decimal that ends at a
// blank or the end of the line, as take_plain takes it.
template <typename F>
[[gnu::always_inline]] inline bool take_plain_value(const char*& p, const char* end, F& value,
                                                    NumberText* text) noexcept {
    while (p != end && is_space(*p)) ++p;
    const char* stop = nullptr;
    PlainShape shape;
    F v{};
    if (p == end || !scan_plain_decimal(p, end, v, stop, shape)) return false;
    if (stop != end && !is_space(*stop)) return false;
    value = v;
    if (text != nullptr) keep_text(*text, p, stop, shape);
    p = stop;
    return true;
}

}  // namespace

bool read_plain_values(std::string_view line, std::size_t& rest, double& x, NumberText* x_text, double& y,
                       NumberText* y_text) noexcept {
    const char* p = line.data();
    const char* const end = p + line.size();
    double vx = 0.0;
    double vy = 0.0;
    if (!take_plain_value(p, end, vx, x_text) || !take_plain_value(p, end, vy, y_text)) return false;
    x = vx;
    y = vy;
    rest = static_cast<std::size_t>(p - line.data());
    return true;
}

bool read_plain_values(std::string_view line, std::size_t& rest, double& x, NumberText* x_text, double& y,
                       NumberText* y_text, float& z, NumberText* z_text) noexcept {
    const char* p = line.data();
    const char* const end = p + line.size();
    double vx = 0.0;
    double vy = 0.0;
    float vz = 0.0f;
    if (!take_plain_value(p, end, vx, x_text) || !take_plain_value(p, end, vy, y_text) ||
        !take_plain_value(p, end, vz, z_text))
        return false;
    x = vx;
    y = vy;
    z = vz;
    rest = static_cast<std::size_t>(p - line.data());
    return true;
}

void FreeFormat::last_text(NumberText& text) const noexcept {
    if (!plain_) {
        text.clear();
        return;
    }
    keep_text(text, token_.data(), token_.data() + token_.size(), shape_);
}

ReadStatus FreeFormat::read_text(std::string& value) {
    const ReadStatus s = next_token();
    if (s != ReadStatus::ok) return s;
    value.clear();
    if (!quoted_) {
        value.assign(token_);
        return ReadStatus::ok;
    }
    for (std::size_t i = 0; i < token_.size(); ++i) {
        value.push_back(token_[i]);
        if (token_[i] == '"' && i + 1 < token_.size() && token_[i + 1] == '"') ++i;
    }
    return ReadStatus::ok;
}

}  // namespace velmorak::util
