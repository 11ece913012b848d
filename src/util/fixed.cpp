#include "util/fixed.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace velmorak::util {
namespace {

void put_stars(char* field, int width) { std::memset(field, '*', static_cast<std::size_t>(width)); }

// True when a * 10^decimals may lie exactly halfway between two integers.
// Below 2^52 the product keeps its fraction exactly at a half, so a cheap look
// at it rules most values out. From 2^52 on the product has lost its fraction,
// yet a still holds a half when its last bit is worth 2^-(decimals+1) or less
// (a below 2^(52-decimals)); those rare large values are decided exactly.
bool may_be_half(double a, int decimals) {
    constexpr double two52 = 4503599627370496.0;
    const double t = a * std::pow(10.0, decimals);
    if (t < two52) return std::fabs(t - std::floor(t) - 0.5) < 1e-3;
    return decimals > 0 && decimals < 52 && a < std::ldexp(1.0, 52 - decimals);
}

// Digits of |x| with `decimals` decimals, rounded to nearest, exact halves away
// from zero. std::to_chars rounds exact halves to even, so a value that may lie
// exactly halfway is first written with 30 more decimals: the exact expansion
// of a half has decimals + 1 digits after the point, and any other double near
// it differs within those 30. An exact half is then cut and rounded up in the
// text itself (only dyadic values can be exact halves).
std::size_t magnitude_digits(char* buf, std::size_t cap, double a, int decimals) {
    if (may_be_half(a, decimals)) {
        char wide[400];
        const auto r = std::to_chars(wide, wide + sizeof wide, a, std::chars_format::fixed, decimals + 30);
        if (r.ec == std::errc{}) {
            const char* dot = static_cast<const char*>(std::memchr(wide, '.', static_cast<std::size_t>(r.ptr - wide)));
            if (dot != nullptr) {
                const char* half = dot + 1 + decimals;
                bool exact_half = half < r.ptr && *half == '5';
                for (const char* p = half + 1; exact_half && p < r.ptr; ++p) exact_half = *p == '0';
                if (exact_half) {
                    // Keep the point only when there are decimals, as to_chars would.
                    const std::size_t kept = static_cast<std::size_t>((decimals > 0 ? half : dot) - wide);
                    if (kept + 1 > cap) return 0;
                    std::memcpy(buf + 1, wide, kept);
                    std::size_t p = kept;
                    for (; p >= 1; --p) {
                        if (buf[p] == '.') continue;
                        if (buf[p] != '9') break;
                        buf[p] = '0';
                    }
                    if (p >= 1) {
                        ++buf[p];
                        std::memmove(buf, buf + 1, kept);
                        return kept;
                    }
                    buf[0] = '1';  // the carry ran through every digit: 9.95 -> 10.0
                    return kept + 1;
                }
            }
        }
    }
    const auto r = std::to_chars(buf, buf + cap, a, std::chars_format::fixed, decimals);
    return r.ec == std::errc{} ? static_cast<std::size_t>(r.ptr - buf) : 0;
}

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                             1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The common case of every coordinate and elevation, without the general
// formatter: a * 10^decimals rounded to an integer. The product carries one
// rounding error of at most one unit in its last place, which only matters when
// it lies that close to a half; such values (and products too large for exact
// integers) take the exact path instead.
bool fast_round(double a, int decimals, std::uint64_t& m) {
    if (decimals > 18) return false;
    const double t = a * kPow10[decimals];
    if (!(t < 4503599627370496.0)) return false;  // 2^52: no fraction left to round
    // t is not negative: truncation is its floor, and exact below 2^52.
    const auto whole = static_cast<std::uint64_t>(t);
    const double frac = t - static_cast<double>(whole);
    if (std::fabs(frac - 0.5) <= t * 4.5e-16 + 1e-300) return false;
    m = whole + (frac > 0.5 ? 1 : 0);
    return true;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly `count` digits of v (v < 10^count) ending at `end`.
char* put_digits(char* end, std::uint64_t v, int count) {
    char* p = end;
    for (; count >= 2; count -= 2) {
        const auto r = static_cast<std::size_t>(v % 100);
        v /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * r, 2);
    }
    if (count == 1) *--p = static_cast<char>('0' + v);
    return p;
}

// Writes exactly 8 digits of v (v < 10^8) ending at `end`; the four pairs are
// independent of each other, so they are worked out side by side.
char* put_eight(char* end, std::uint32_t v) {
    const std::uint32_t high = v / 10000;
    const std::uint32_t low = v % 10000;
    char* p = end - 8;
    std::memcpy(p, kDigitPairs + 2 * (high / 100), 2);
    std::memcpy(p + 2, kDigitPairs + 2 * (high % 100), 2);
    std::memcpy(p + 4, kDigitPairs + 2 * (low / 100), 2);
    std::memcpy(p + 6, kDigitPairs + 2 * (low % 100), 2);
    return p;
}

// Writes the digits of v, at least one, ending at `end`.
char* put_whole(char* end, std::uint64_t v) {
    char* p = end;
    while (v >= 100000000) {
        p = put_eight(p, static_cast<std::uint32_t>(v % 100000000));
        v /= 100000000;
    }
    auto w = static_cast<std::uint32_t>(v);
    while (w >= 100) {
        const std::uint32_t r = w % 100;
        w /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * r, 2);
    }
    if (w >= 10) {
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * w, 2);
    } else {
        *--p = static_cast<char>('0' + w);
    }
    return p;
}

// m / 10^D and its remainder by a constant, so the compiler multiplies instead of dividing.
template <int D>
char* split_text(char* end, std::uint64_t m) {
    constexpr std::uint64_t scale = [] {
        std::uint64_t s = 1;
        for (int i = 0; i < D; ++i) s *= 10;
        return s;
    }();
    char* p = put_digits(end, m % scale, D);
    *--p = '.';
    return put_whole(p, m / scale);
}

template <int... D>
char* split_text_by(char* end, std::uint64_t m, int decimals, std::integer_sequence<int, D...>) {
    char* result = nullptr;
    (void)((decimals == D + 1 ? (result = split_text<D + 1>(end, m), true) : false) || ...);
    return result;
}

// Writes the text of m / 10^decimals ending at `end`, with a zero before the
// point; returns its start.
char* rounded_text(char* end, std::uint64_t m, int decimals) {
    if (decimals == 0) {
        *--end = '.';
        return put_whole(end, m);
    }
    return split_text_by(end, m, decimals, std::make_integer_sequence<int, 18>{});
}

// Lays out the field (blank on entry): the text right-aligned after an
// optional minus sign, the zero before the point dropped when only that makes
// it fit, asterisks otherwise.
void lay_out(char* field, const char* text, std::size_t n, bool negative, int width) {
    if (static_cast<int>(n + (negative ? 1 : 0)) > width && n > 1 && text[0] == '0' && text[1] == '.') {
        ++text;
        --n;
    }
    const int used = static_cast<int>(n) + (negative ? 1 : 0);
    if (used > width) {
        put_stars(field, width);
        return;
    }
    char* o = field + (width - used);
    if (negative) *o++ = '-';
    std::memcpy(o, text, n);
}

constexpr std::uint64_t kPow10Int[] = {1ULL,
                                       10ULL,
                                       100ULL,
                                       1000ULL,
                                       10000ULL,
                                       100000ULL,
                                       1000000ULL,
                                       10000000ULL,
                                       100000000ULL,
                                       1000000000ULL,
                                       10000000000ULL,
                                       100000000000ULL,
                                       1000000000000ULL,
                                       10000000000000ULL,
                                       100000000000000ULL,
                                       1000000000000000ULL,
                                       10000000000000000ULL,
                                       100000000000000000ULL,
                                       1000000000000000000ULL,
                                       10000000000000000000ULL};

// The number of decimal digits of v, at least one.
int digit_count(std::uint64_t v) {
    // bit_width * log10(2), then corrected by one comparison.
    const std::uint64_t u = v | 1;
    const int guess = (static_cast<int>(std::bit_width(u)) * 1233) >> 12;
    return guess + (u >= kPow10Int[guess] ? 1 : 0);
}

// The common field: the rounded digits m with `decimals` decimals, a zero
// before the point and the sign fit the width as they are. Writes the text
// right to left into the blank field and returns true; false (nothing
// written) when the layout rules are needed.
bool put_plain_field(char* field, std::uint64_t m, int decimals, bool negative, int width) {
    const int whole_digits = std::max(digit_count(m) - decimals, 1);
    const int used = whole_digits + 1 + decimals + (negative ? 1 : 0);
    if (used > width) return false;
    char* p = field + width;
    int d = decimals;
    for (; d >= 2; d -= 2) {
        const auto r = static_cast<std::size_t>(m % 100);
        m /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * r, 2);
    }
    if (d == 1) {
        *--p = static_cast<char>('0' + m % 10);
        m /= 10;
    }
    *--p = '.';
    p = put_whole(p, m);
    if (negative) *--p = '-';
    return true;
}

}  // namespace

void put_fixed_field(char* field, double x, int width, int decimals) {
    if (width <= 0) return;
    if (!std::isfinite(x) || decimals < 0) {
        put_stars(field, width);
        return;
    }
    const double a = std::fabs(x);
    std::uint64_t m = 0;
    if (fast_round(a, decimals, m)) {
        if (put_plain_field(field, m, decimals, std::signbit(x) && m != 0, width)) return;
        char tmp[48];
        char* end = tmp + sizeof tmp;
        const char* text = rounded_text(end, m, decimals);
        lay_out(field, text, static_cast<std::size_t>(end - text), std::signbit(x) && m != 0, width);
        return;
    }
    char buf[400];
    std::size_t n = a < 1e300 ? magnitude_digits(buf, sizeof buf, a, decimals) : 0;
    if (n == 0) {
        put_stars(field, width);
        return;
    }
    if (decimals == 0) buf[n++] = '.';  // Fw.0 still writes its decimal point
    bool nonzero = false;
    for (std::size_t i = 0; i < n; ++i) nonzero = nonzero || (buf[i] >= '1' && buf[i] <= '9');
    lay_out(field, buf, n, std::signbit(x) && nonzero, width);
}

void put_fixed(std::string& out, double x, int width, int decimals) {
    if (width <= 0) return;
    const std::size_t old = out.size();
    out.append(static_cast<std::size_t>(width), ' ');
    put_fixed_field(out.data() + old, x, width, decimals);
}

void put_int(std::string& out, std::int64_t value, int width) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    const int n = static_cast<int>(r.ptr - buf);
    if (n > width) {
        out.append(static_cast<std::size_t>(width > 0 ? width : 0), '*');
        return;
    }
    char* field = append_blanks(out, static_cast<std::size_t>(width));
    std::memcpy(field + (width - n), buf, static_cast<std::size_t>(n));
}

std::string fixed(double x, int width, int decimals) {
    std::string s;
    put_fixed(s, x, width, decimals);
    return s;
}

std::string fixed_int(std::int64_t value, int width) {
    std::string s;
    put_int(s, value, width);
    return s;
}

std::string int_text(std::int64_t value) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

}  // namespace velmorak::util
