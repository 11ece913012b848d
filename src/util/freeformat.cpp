#include "util/freeformat.h"

#include <array>
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

// Clinger's fast path for the plain decimals that fill survey files
// ("532410.125", "-12.84"): the digits as an exact integer m and a division by
// an exact power of ten give the correctly rounded value in one step. Scans
// from p while it sees digits and one point; `stop` receives where it stopped,
// and the caller decides whether the token ends there. Anything else
// (exponents, too many digits, signs inside) is left to from_chars.
template <typename F>
bool scan_plain_decimal(const char* p, const char* end, F& value, const char*& stop) noexcept {
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
    p = take_digits(p, end, m);
    auto digits = p - whole;
    std::ptrdiff_t decimals = 0;
    if (p != end && *p == '.') {
        const char* const fraction = ++p;
        p = take_digits(p, end, m);
        decimals = p - fraction;
        digits += decimals;
    }
    stop = p;
    if (digits == 0 || digits > 19 || m > kMaxExact || decimals > kMaxPower) return false;
    const F v = static_cast<F>(m) / kPow10[decimals];
    value = negative ? -v : v;
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
    if (!scan_plain_decimal(token.data(), end, v, stop) || stop != end) return false;
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
    if (token.front() == '-' || token.front() == '+' || token.find_first_of("pP") == std::string_view::npos)
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
    if constexpr (std::is_floating_point_v<T>)
        plain = scan_plain_decimal(begin, end, v, stop);
    else
        plain = scan_plain_integer(begin, end, v, stop);
    if (!plain) return false;
    const unsigned char separators = kSpaceClass | kCommaClass | (slash_ ? kSlashClass : 0);
    if (stop != end && (kCharClass[static_cast<unsigned char>(*stop)] & separators) == 0) return false;
    value = v;
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
