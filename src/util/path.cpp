#include "util/path.h"

#include <algorithm>
#include <cstddef>

#include "util/fixed_text.h"
#include "util/text.h"

namespace velmorak::util {
namespace {

// Paths are worked on in 1000-character texts.
constexpr std::size_t kPathWork = 1000;

constexpr std::size_t npos = std::string_view::npos;

// The path as the routines see it: cut to the work length, no trailing blanks.
std::string_view work(std::string_view path) noexcept { return rtrim(cut(path, kPathWork)); }

// 1-based position of the last `c`, 0 when there is none.
std::size_t last_of(std::string_view s, char c) noexcept {
    const std::size_t at = s.rfind(c);
    return at == npos ? 0 : at + 1;
}

// 1-based position of the last folder separator, either kind.
std::size_t last_separator(std::string_view s) noexcept {
    return std::max(last_of(s, '\\'), last_of(s, '/'));
}

// 1-based position of the first `what`, 0 when there is none.
std::size_t first_of(std::string_view s, std::string_view what, std::size_t from = 0) noexcept {
    const std::size_t at = s.find(what, from);
    return at == npos ? 0 : at + 1;
}

void left_adjust_in_place(std::string& s) {
    std::size_t lead = 0;
    while (lead < s.size() && s[lead] == ' ') ++lead;
    s.erase(0, lead);
    s.resize(text_length(s));
}

// Deletes 1-based positions from..to.
void erase_columns(std::string& s, std::size_t from, std::size_t to) {
    if (from > s.size() || to < from) return;
    s.erase(from - 1, std::min(to, s.size()) - from + 1);
}

bool is_separator(char c) noexcept { return c == '\\' || c == '/'; }

// Reduces every run of the separator `c` (or of either separator when c is 0)
// from 0-based position `from` on to one character, in one pass.
void reduce_runs(std::string& s, std::size_t from, char c) {
    if (from >= s.size()) return;
    std::size_t out = from + 1;
    for (std::size_t i = from + 1; i < s.size(); ++i) {
        const char d = s[i];
        const bool reduced = c == 0 ? is_separator(d) : d == c;
        if (reduced && s[out - 1] == d) continue;
        s[out++] = d;
    }
    s.resize(out);
}

// Removing "\..\" steps. A step whose folder is itself ".." has nothing to
// cancel and is skipped over; otherwise the folder before the step and the
// step go together.
void resolve_parent_steps(std::string& s) {
    for (;;) {
        std::size_t p = first_of(s, "\\..\\");
        if (p <= 1) return;
        bool cancel = true;
        while (p > 2 && s[p - 3] == '.' && s[p - 2] == '.') {
            const std::size_t next = first_of(s, "\\..\\", p + 3);  // starts after position p + 3
            if (next == 0 || next == p + 4) {
                cancel = false;
                break;
            }
            p = next;
        }
        if (!cancel) return;
        const std::size_t k = last_of(std::string_view(s).substr(0, p - 1), '\\');
        erase_columns(s, k + 1, p + 3);
    }
}

}  // namespace

std::string FILEEXT(std::string_view path) {
    const std::string_view p = work(path);
    const std::size_t d = last_of(p, '.');
    if (d == 0) return {};
    return LOWERCASE(p.substr(d - 1));
}

std::string FILENAME(std::string_view path) {
    const std::string_view p = work(path);
    std::size_t d = last_of(p, '.');
    const std::size_t s = last_separator(p);
    if (s != 0) {
        // No dot in the name, or the name is nothing but its extension: keep it whole.
        if (d <= s + 1) d = p.size() + 1;
        return std::string(rtrim(columns(p, s + 1, d - 1)));
    }
    if (d == 0) return std::string(p);
    if (d == 1) return {};
    return std::string(rtrim(columns(p, 1, d - 1)));
}

std::string FILENAMENO_(std::string_view path) {
    std::string f = FILENAME(path);
    const std::size_t u = last_of(f, '_');
    if (u > 1) {
        f.resize(u - 1);
        f.resize(text_length(f));
    }
    return f;
}

std::string FILE___EXT(std::string_view path) {
    const std::string f = FILENAME(path);
    const std::size_t u = last_of(f, '_');
    if (u == 0) return {};
    return LOWERCASE(std::string_view(f).substr(u - 1));
}

std::string FILENAMEPATH(std::string_view path) {
    const std::string_view p = work(path);
    const std::size_t d = last_of(p, '.');
    const std::size_t s = last_separator(p);
    if (d > 1 && d > s) return std::string(rtrim(p.substr(0, d - 1)));
    return std::string(p);
}

std::string FILENAMEPATHNO_(std::string_view path) {
    std::string p = FILENAMEPATH(path);
    const std::size_t u = last_of(p, '_');
    const std::size_t s = last_separator(p);
    if (u > 1 && u > s) {
        p.resize(u - 1);
        p.resize(text_length(p));
    }
    return p;
}

std::string FILEFOLDERPATH(std::string_view path) {
    const std::string_view p = work(path);
    const std::size_t s = last_separator(p);
    if (s == 0) return {};
    return std::string(p.substr(0, s));
}

std::string ADDFOLDER(std::string_view folder, std::string_view file) {
    const std::string_view dir = work(folder);
    const std::string_view name = rtrim(ltrim_blanks(cut(file, kPathWork)));
    std::string joined;
    if (name.empty()) {
        joined = dir.empty() ? std::string(".") : std::string(ltrim_blanks(dir));
    } else if (dir.empty() || name.find("\\\\") != npos || name.find(':') != npos) {
        // A doubled backslash (network path) or a drive makes the file absolute.
        joined = name;
    } else {
        joined.reserve(dir.size() + 1 + name.size());
        joined = dir;
        if (dir.back() != '\\' && dir.back() != '/') joined.push_back('\\');
        joined.append(name);
    }
    return REMOVEDOTDOT(joined);
}

std::string REMOVEDOTDOT(std::string_view path) {
    std::string s(work(path));
    left_adjust_in_place(s);

    // Doubled backslashes, unless the first pair stands within the first two
    // characters (a network path's leading pair): then none is reduced.
    const std::size_t pair = s.find("\\\\");
    if (pair != npos && pair >= 2) reduce_runs(s, pair, '\\');

    resolve_parent_steps(s);

    // "\.\" steps, one pass: a step removed lets a step right after it follow the same backslash.
    if (s.find("\\.\\") != npos) {
        std::size_t out = 0;
        for (std::size_t i = 0; i < s.size();) {
            if (out > 0 && s[out - 1] == '\\' && s.compare(i, 2, ".\\") == 0) {
                i += 2;
                continue;
            }
            s[out++] = s[i++];
        }
        s.resize(out);
    }

    s.resize(text_length(s));
    return s;
}

std::string CLEANPATH(std::string& path) {
    if (path.size() > kPathWork) path.resize(kPathWork);
    left_adjust_in_place(path);
    // Runs of either separator become one. A network path's leading pair
    // survives, and with it every later pair of its kind; the other kind is
    // still reduced.
    const char keep = path.size() >= 2 && path[0] == path[1] && is_separator(path[0]) ? path[0] : 0;
    if (keep == 0)
        reduce_runs(path, 0, 0);
    else
        reduce_runs(path, 1, keep == '/' ? '\\' : '/');
    path.resize(text_length(path));
    return path;
}

bool RELATIVEPATH(std::string& path) {
    if (path.size() > kPathWork) path.resize(kPathWork);
    left_adjust_in_place(path);
    bool relative = true;

    const std::size_t colon = path.find(':');
    if (colon != npos) {
        std::string drive = UPPERCASE(std::string_view(path).substr(0, colon));
        drive.append(" Drive");
        drive.append(rtrim(std::string_view(path).substr(colon + 1)));
        path = cut(drive, kPathWork);
        path.resize(text_length(path));
        relative = false;
    }
    if (path.starts_with("\\\\") || path.starts_with("//")) {
        path.replace(0, 2, "URL\\");
        if (path.size() > kPathWork) path.resize(kPathWork);
        path.resize(text_length(path));
        relative = false;
    }
    return relative;
}

}  // namespace velmorak::util
