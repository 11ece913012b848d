#include "util/freeformat.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
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

template <typename F>
bool parse_real(std::string_view token, F& value) noexcept {
    if (!drop_plus(token) || !starts_like_a_number(token)) return false;
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

ReadStatus FreeFormat::next_token() noexcept {
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

ReadStatus FreeFormat::read(double& value) noexcept {
    const ReadStatus s = next_token();
    return read_number(s, quoted_, token_, value);
}
ReadStatus FreeFormat::read(float& value) noexcept {
    const ReadStatus s = next_token();
    return read_number(s, quoted_, token_, value);
}
ReadStatus FreeFormat::read(std::int32_t& value) noexcept {
    const ReadStatus s = next_token();
    return read_number(s, quoted_, token_, value);
}
ReadStatus FreeFormat::read(std::int64_t& value) noexcept {
    const ReadStatus s = next_token();
    return read_number(s, quoted_, token_, value);
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
