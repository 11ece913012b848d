#include "util/fixed.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace velmorak::util {
namespace {

void put_stars(std::string& out, int width) { out.append(static_cast<std::size_t>(width > 0 ? width : 0), '*'); }

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

}  // namespace

void put_fixed(std::string& out, double x, int width, int decimals) {
    if (!std::isfinite(x) || width <= 0 || decimals < 0) {
        put_stars(out, width);
        return;
    }
    char buf[400];
    const double a = std::fabs(x);
    if (a >= 1e300) {
        put_stars(out, width);
        return;
    }
    std::size_t n = magnitude_digits(buf, sizeof buf, a, decimals);
    if (n == 0) {
        put_stars(out, width);
        return;
    }
    if (decimals == 0) buf[n++] = '.';  // Fw.0 still writes its decimal point
    bool nonzero = false;
    for (std::size_t i = 0; i < n; ++i) nonzero = nonzero || (buf[i] >= '1' && buf[i] <= '9');
    const bool negative = std::signbit(x) && nonzero;
    const char* digits = buf;
    // The zero before the point is optional: dropped when the field is too narrow.
    if (static_cast<int>(n + (negative ? 1 : 0)) > width && n > 1 && buf[0] == '0' && buf[1] == '.') {
        ++digits;
        --n;
    }
    const int used = static_cast<int>(n) + (negative ? 1 : 0);
    if (used > width) {
        put_stars(out, width);
        return;
    }
    out.append(static_cast<std::size_t>(width - used), ' ');
    if (negative) out.push_back('-');
    out.append(digits, n);
}

void put_int(std::string& out, std::int64_t value, int width) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    const int n = static_cast<int>(r.ptr - buf);
    if (n > width) {
        put_stars(out, width);
        return;
    }
    out.append(static_cast<std::size_t>(width - n), ' ');
    out.append(buf, static_cast<std::size_t>(n));
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
