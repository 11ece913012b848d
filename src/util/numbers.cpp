#include "util/numbers.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::util {
namespace {

// Number texts are built in a field of this width before they are left-adjusted.
constexpr int kField = 20;
// Comma-separated lines are seen up to this many characters.
constexpr std::size_t kWorkLength = 10000;
// Names are compared up to this many characters.
constexpr std::size_t kNameLength = 1000;

constexpr bool is_blank_or_tab(char c) noexcept { return c == ' ' || c == '\t'; }
constexpr char lower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }


std::string left_adjusted_int(std::int64_t i, int ndig) {
    std::string f;
    put_int(f, i, kField);
    if (i >= 0) {
        // Zeros fill the blank columns left of the number, up to ndig digits; the
        // last column always holds a digit, and the field is 20 columns at most.
        for (int c = std::max(kField - ndig, 0); c <= kField - 2; ++c) {
            if (f[static_cast<std::size_t>(c)] != ' ') break;
            f[static_cast<std::size_t>(c)] = '0';
        }
    }
    return TRIMF(f);
}

// x with `decimals` decimals and its trailing zeros dropped; the decimal point
// always stays, so a whole value reads "5.".
std::string trimmed_real(double x, int decimals) {
    std::string f;
    put_fixed(f, x, kField, decimals);
    while (!f.empty() && f.back() == '0') f.pop_back();
    return TRIMF(f);
}

// A field as the extraction routines give it: quotes and apostrophes dropped,
// then left-adjusted.
std::string cleaned_field(std::string_view field) { return TRIMF(REMOVEQUOTES(field)); }

// Lookup by name in "name = value" lists. The lower-cased name (blanks around it
// dropped) must start the line or follow a blank, a tab or a comma in the
// lower-case copy, and the next character after it that is not a blank or tab
// must be "="; the first such place wins. The value runs from after the "=" to
// the next comma or the end of the line and is taken from the line itself at
// the same positions, so it keeps its case. Without such a place (or with a
// blank name) the field is chosen by column.
bool named_value(std::string_view line, std::string_view linelower, std::string_view name, std::string_view& value) {
    name = cut(name, kNameLength);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    name = rtrim(name);
    if (name.empty()) return false;
    char key_buffer[kNameLength];
    const std::size_t key_size = name.size();
    std::transform(name.begin(), name.end(), key_buffer, lower);
    const std::string_view key(key_buffer, key_size);

    for (std::size_t p = linelower.find(key); p != std::string_view::npos; p = linelower.find(key, p + 1)) {
        if (p > 0 && !is_blank_or_tab(linelower[p - 1]) && linelower[p - 1] != ',') continue;
        std::size_t q = p + key.size();
        while (q < linelower.size() && is_blank_or_tab(linelower[q])) ++q;
        if (q >= linelower.size() || linelower[q] != '=') continue;
        const std::size_t start = std::min(q + 1, line.size());
        const std::size_t comma = line.find(',', start);
        value = line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        return true;
    }
    return false;
}

// A Fortran-style real field of the field's own width: blanks anywhere in it
// are ignored, and an exponent may also be written as a bare sign after the
// mantissa ("1.5-3" is 1.5E-3).
bool read_real_field(std::string_view field, float& value) noexcept {
    char buf[80];
    std::size_t n = 0;
    for (const char c : field) {
        if (c == ' ') continue;
        const bool bare_exponent = (c == '+' || c == '-') && n > 0 &&
                                   ((buf[n - 1] >= '0' && buf[n - 1] <= '9') || buf[n - 1] == '.');
        if (n + (bare_exponent ? 2 : 1) > sizeof buf) return false;
        if (bare_exponent) buf[n++] = 'E';
        buf[n++] = c;
    }
    return parse_number(std::string_view(buf, n), value);
}

[[noreturn]] void conversion_failed(std::string_view text, int icol, std::string_view kind, std::string_view name) {
    std::string msg = " Could not convert \"";
    msg.append(rtrim(text));
    msg.append("\" in column");
    put_int(msg, icol, 3);
    msg.append(" to ");
    msg.append(kind);
    msg.append(" value for the ");
    msg.append(rtrim(name));
    msg.append(" field.");
    services::runtime().console.line(msg);
    services::STOPRUN();
}

}  // namespace

std::string AINTEGER(std::int32_t i) { return left_adjusted_int(i, 0); }

std::string AINTEGERPREC0(std::int32_t i, int ndig) { return left_adjusted_int(i, ndig); }

std::string AINTEGER8PREC0(std::int64_t i, int ndig) { return left_adjusted_int(i, ndig); }

std::string AREAL(float x) {
    // Decimals by magnitude: 6 below 0.01, one fewer per decade, none from 1000 on.
    static constexpr float kBound[] = {0.01F, 0.1F, 1.0F, 10.0F, 100.0F, 1000.0F};
    static constexpr int kDecimals[] = {6, 5, 4, 3, 2, 1};
    const float a = x < 0 ? -x : x;
    int d = 0;  // also for a value that is not a number: no comparison holds
    for (std::size_t k = 0; k < std::size(kBound); ++k) {
        if (a < kBound[k]) {
            d = kDecimals[k];
            break;
        }
    }
    return trimmed_real(x, d);
}

std::string AREAL8(double x) {
    static constexpr double kBound[] = {0.01, 0.1, 1.0, 10.0, 100.0, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    static constexpr int kDecimals[] = {10, 10, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
    const double a = x < 0 ? -x : x;
    int d = 0;
    for (std::size_t k = 0; k < std::size(kBound); ++k) {
        if (a < kBound[k]) {
            d = kDecimals[k];
            break;
        }
    }
    return trimmed_real(x, d);
}

std::string AREALD(float x, int nd) {
    std::string f;
    put_fixed(f, x, kField, nd);
    return TRIMF(f);
}

int CSVCOLUMN(std::string_view header, std::string_view name, int default_column) {
    // The work copy loses its tabs first: a line of blanks and tabs has no columns.
    const std::string_view source = cut(header, kWorkLength);
    std::string work;
    work.reserve(source.size());
    for (const char c : source) {
        if (c != '\t') work.push_back(c);
    }
    std::string_view rest = work;
    int column = 0;
    while (!all_blank(rest)) {
        ++column;
        const std::size_t comma = rest.find(',');
        if (ASAME(rest.substr(0, comma), name)) return column;
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return default_column;
}

bool CSVVALUE(std::string_view line, int icol, float& value) {
    std::string_view work = cut(line, kWorkLength);
    for (int k = 1; k < icol; ++k) {
        const std::size_t comma = work.find(',');
        if (comma == std::string_view::npos) {
            value = 0.0F;
            return false;
        }
        work.remove_prefix(comma + 1);
    }
    work = rtrim(work.substr(0, work.find(',')));
    if (work.empty() || !read_real_field(work, value)) {
        value = 0.0F;
        return false;
    }
    return true;
}

std::string EXTRACTSTRING(std::string_view line, std::string_view linelower, std::string_view name, int icol) {
    line = cut(line, kWorkLength);
    std::string_view field;
    if (named_value(line, cut(linelower, kWorkLength), name, field)) return cleaned_field(field);
    if (icol < 1) return {};
    std::string_view rest = rtrim(line);
    for (int k = 1; k < icol; ++k) {
        const std::size_t comma = rest.find(',');
        if (comma == std::string_view::npos) return {};
        rest.remove_prefix(comma + 1);
    }
    return cleaned_field(rest.substr(0, rest.find(',')));
}

std::int32_t EXTRACTINTEGER(std::string_view line, std::string_view linelower, std::string_view name, int icol,
                            std::int32_t default_value) {
    const std::string s = EXTRACTSTRING(line, linelower, name, icol);
    if (all_blank(s)) return default_value;
    std::int32_t value = 0;
    FreeFormat ff(s);
    if (ff.read(value) != ReadStatus::ok) conversion_failed(s, icol, "an integer", name);
    return value;
}

float EXTRACTREAL(std::string_view line, std::string_view linelower, std::string_view name, int icol,
                  float default_value) {
    const std::string s = EXTRACTSTRING(line, linelower, name, icol);
    if (all_blank(s)) return default_value;
    float value = 0.0F;
    FreeFormat ff(s);
    if (ff.read(value) != ReadStatus::ok) conversion_failed(s, icol, "a real", name);
    return value;
}

int NUMBEROFNUMBERS(std::string_view line) {
    int count = 0;
    bool inside = false;
    for (const char c : rtrim(line)) {
        if ((c >= '0' && c <= '9') || c == '.' || c == '-' || c == 'E' || c == 'e') {
            if (!inside) {
                ++count;
                inside = true;
            }
        } else if (c == '!' || c == '#') {
            return count;  // the rest is a comment
        } else if (c == ' ' || c == '\t' || c == ',') {
            inside = false;
        } else {
            return -count;
        }
    }
    return count;
}

}  // namespace velmorak::util
