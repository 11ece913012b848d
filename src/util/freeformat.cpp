#include "util/freeformat.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace velmorak::util {
namespace {

constexpr bool is_space(char c) noexcept { return c == ' ' || c == '\t'; }

// Copies a numeric token into a small buffer the way from_chars wants it:
// no leading "+", and a Fortran "D" exponent turned into "e".
// Drops a leading "+"; false when a second sign follows it ("+-1", "++1").
bool drop_plus(std::string_view& token) noexcept {
    if (token.empty() || token.front() != '+') return true;
    token.remove_prefix(1);
    return token.empty() || (token.front() != '+' && token.front() != '-');
}

bool prepare_number(std::string_view token, char (&buf)[80], std::size_t& n) noexcept {
    if (!drop_plus(token)) return false;
    if (token.empty() || token.size() >= sizeof buf) return false;
    // from_chars would also take "inf" and "nan": a coordinate or elevation never is one.
    const char first = token.front() == '-' && token.size() > 1 ? token[1] : token.front();
    if (!(first == '.' || (first >= '0' && first <= '9'))) return false;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char c = token[i];
        buf[i] = (c == 'd' || c == 'D') ? 'e' : c;
    }
    n = token.size();
    return true;
}

template <typename F>
bool parse_real(std::string_view token, F& value) noexcept {
    char buf[80];
    std::size_t n = 0;
    if (!prepare_number(token, buf, n)) return false;
    F v{};
    const auto [ptr, ec] = std::from_chars(buf, buf + n, v, std::chars_format::general);
    if (ec != std::errc{} || ptr != buf + n || !std::isfinite(v)) return false;
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
    while (pos_ < size) {
        const char d = text_[pos_];
        if (is_space(d) || d == ',' || (slash_ && d == '/')) break;
        ++pos_;
    }
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
