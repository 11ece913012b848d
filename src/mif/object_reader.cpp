#include "mif/object_reader.h"

#include <algorithm>
#include <array>

#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"

namespace velmorak::mif {
namespace {

using util::ReadStatus;

[[noreturn]] void stop_unexpected_end() {
    services::show_message(1, "ERROR - Unexpected end of .mif file encountered.");
    services::STOPRUN();
}

[[noreturn]] void stop_bad_line(std::string_view text) {
    services::show_message(1, "ERROR - Reading .mif file.  Erroneous line is:", util::rtrim(text));
    services::STOPRUN();
}

// A line that ran out of values is a file that ended inside an object; any
// other failure (letters, an empty field between commas) is a bad line.
void check_read(ReadStatus status, std::string_view text) {
    if (status == ReadStatus::ok) return;
    if (status == ReadStatus::end) stop_unexpected_end();
    stop_bad_line(text);
}

// A count in front of vertex or polygon lines: a number that is not a
// non-negative integer makes the line unreadable.
std::int32_t read_count(util::FreeFormat& ff, std::string_view text) {
    std::int32_t count = 0;
    check_read(ff.read(count), text);
    if (count < 0) stop_bad_line(text);
    return count;
}

// The next line of an object that still needs one.
std::string_view next_object_line(io::InputFile& file) {
    std::string_view line;
    switch (file.read_line(line)) {
        case io::LineStatus::ok:
            return util::cut(line, kMifLineWidth);
        case io::LineStatus::eof:
            stop_unexpected_end();
        case io::LineStatus::error:
            break;
    }
    stop_bad_line(line);
}

// A coordinate read from a line of coordinates. A number followed at once by
// a comma is a decimal comma ("34,7415370 31,9691800", as some exports
// write in locales that use one), which the free-format reader would take as
// two numbers: the line is bad, as a line of letters is.
void read_coordinate(util::FreeFormat& ff, std::string_view text, double& value) {
    check_read(ff.read(value), text);
    const std::string_view token = ff.last_token();
    const std::size_t after = static_cast<std::size_t>(token.data() - text.data()) + token.size();
    if (after < text.size() && text[after] == ',') stop_bad_line(text);
}

// Where the vertices of an object go: the caller's arrays, and the texts of
// their numbers when the caller keeps them.
struct VertexTarget {
    std::span<double> x;
    std::span<double> y;
    miVertexTexts texts;
    bool keep_texts() const noexcept { return !texts.x.empty(); }

    // Reads the two coordinates of vertex k (0-based) from `text`.
    void read(util::FreeFormat& ff, std::string_view text, std::size_t k) {
        read_coordinate(ff, text, x[k]);
        if (keep_texts()) ff.last_text(texts.x[k]);
        read_coordinate(ff, text, y[k]);
        if (keep_texts()) ff.last_text(texts.y[k]);
    }
    void copy(std::size_t to, std::size_t from) {
        x[to] = x[from];
        y[to] = y[from];
        if (!keep_texts()) return;
        texts.x[to] = texts.x[from];
        texts.y[to] = texts.y[from];
    }
};

// A vertex line holds its two coordinates and nothing else: a third number is
// a line of another layout or of decimal commas, not a vertex to guess at.
void read_vertex(io::InputFile& file, VertexTarget& target, std::size_t k) {
    const std::string_view line = next_object_line(file);
    // Nearly every vertex line is two plain decimals between blanks: read in one pass.
    std::size_t after = 0;
    if (!util::read_plain_values(line, after, target.x[k], target.keep_texts() ? &target.texts.x[k] : nullptr,
                                 target.y[k], target.keep_texts() ? &target.texts.y[k] : nullptr)) {
        util::FreeFormat ff(line);
        target.read(ff, line, k);
        after = line.size() - ff.rest().size();
    }
    if (line.substr(after).find_first_not_of(" \t\r") != std::string_view::npos) stop_bad_line(line);
}

// Reads the n vertex lines of one polyline section.
void read_section(io::InputFile& file, std::int32_t count, std::int64_t capacity, VertexTarget& target,
                  std::int32_t& n) {
    miCheckNodeLimit(count, capacity);
    for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) read_vertex(file, target, k);
    n = count;
}

// Reads the polygons of a region into consecutive slots, each followed by a
// spare slot, and the style lines after them up to a Center clause or the next
// object, which the caller must see again.
bool read_region(io::InputFile& file, miObject& object, std::int64_t capacity, VertexTarget& target,
                 std::int32_t& n) {
    const std::span<double> x = target.x;
    const std::span<double> y = target.y;
    std::int64_t total = 0;
    for (std::int32_t p = 0; p < object.polygon_count; ++p) {
        const std::string_view count_line = next_object_line(file);
        util::FreeFormat ff(count_line);
        const std::int32_t m = read_count(ff, count_line);
        const auto start = static_cast<std::size_t>(total);
        total += static_cast<std::int64_t>(m) + 1;
        miCheckNodeLimit(total, capacity);
        for (std::size_t k = 0; k < static_cast<std::size_t>(m); ++k) read_vertex(file, target, start + k);
        // The spare slot holds the polygon's second vertex (its first one when it
        // has only one); no reader of this program looks at it.
        const std::size_t spare = start + static_cast<std::size_t>(m);
        const std::size_t source = m >= 2 ? start + 1 : start;
        if (m >= 1) {
            target.copy(spare, source);
        } else {
            x[spare] = 0.0;
            y[spare] = 0.0;
            if (target.keep_texts()) {
                target.texts.x[spare].clear();
                target.texts.y[spare].clear();
            }
        }
        object.polygon_ends[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(total - 1);
    }
    n = static_cast<std::int32_t>(total);

    if (total < 5) {
        services::DMESSAGES().line[0] = "WARNING - Insufficient points for Region object in mif file.  Region ignored.";
        services::DMESSAGEXY(1, x[0], y[0]);
        return false;
    }

    miObject scratch;
    for (;;) {
        std::string_view line;
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::error) stop_bad_line(line);
        if (status == io::LineStatus::eof) break;
        std::string_view rest;
        const bool is_object = miObjectType(util::cut(line, kMifLineWidth), rest, scratch);
        if (scratch.kind == miKind::center) {
            // The label point of the region: read only to hold the clause to its form.
            util::FreeFormat ff(rest);
            double label_x = 0.0;
            double label_y = 0.0;
            check_read(ff.read_all(label_x, label_y), rest);
            return true;
        }
        if (is_object) {
            file.back();
            break;
        }
    }
    return true;
}

struct Keyword {
    std::string_view text;
    miKind kind;
};

// In the order they are tested; no keyword is a prefix of a later one except
// "PLINE" of "PLINE MULTIPLE", which is tested first.
constexpr Keyword kKeywords[] = {
    {"NONE", miKind::none}, {"ARC", miKind::arc}, {"ELLIPSE", miKind::ellipse}, {"LINE", miKind::line},
    {"PLINE MULTIPLE", miKind::pline_multiple}, {"PLINE", miKind::pline}, {"POINT", miKind::point},
    {"RECT", miKind::rect}, {"REGION", miKind::region}, {"ROUNDRECT", miKind::roundrect}, {"TEXT", miKind::text},
    {"MULTIPOINT", miKind::multipoint}};

// The first letters of the keywords, "COLLECTION" and "CENTER", in either case.
constexpr auto kMayStartKeyword = [] {
    std::array<bool, 256> t{};
    for (const char c : std::string_view("NAELPRTMC")) {
        t[static_cast<unsigned char>(c)] = true;
        t[static_cast<unsigned char>(c - 'A' + 'a')] = true;
    }
    return t;
}();

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// True when the text starts with the keyword (upper case), its letters in either case.
bool starts_with_keyword(std::string_view text, std::string_view keyword) {
    if (text.size() < keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i)
        if (upper(text[i]) != keyword[i]) return false;
    return true;
}

// The count of a single-section polyline: MapInfo writes it on the keyword
// line or, in some layouts, alone on the next line.
std::int32_t pline_count(io::InputFile& file, std::string_view rest) {
    util::FreeFormat ff(rest);
    std::int32_t count = 0;
    const ReadStatus status = ff.read(count);
    if (status == ReadStatus::end) {
        const std::string_view count_line = next_object_line(file);
        util::FreeFormat next(count_line);
        return read_count(next, count_line);
    }
    check_read(status, rest);
    if (count < 0) stop_bad_line(rest);
    return count;
}

// The count after a keyword, read from the line after the scan position.
std::int32_t count_after(std::string_view line, std::size_t scan) {
    util::FreeFormat ff(line.substr(scan));
    return read_count(ff, line);
}

}  // namespace

void miClearObject(miObject& object) {
    object.kind = miKind::other;
    object.section_count = 0;
    object.polygon_count = 0;
}

bool miObjectType(std::string_view line, std::string_view& rest, miObject& object) {
    line = util::cut(line, kMifLineWidth);
    object.kind = miKind::other;
    object.section_count = 1;
    object.polygon_count = 0;

    const std::size_t length = util::text_length(line);
    std::size_t pos = 0;
    while (pos + 1 < length && (line[pos] == ' ' || line[pos] == '\t')) ++pos;

    // Vertex and most style lines ("Symbol", "Brush", numbers) cannot start a
    // keyword: settled by their first character.
    if (pos >= line.size() || !kMayStartKeyword[static_cast<unsigned char>(line[pos])]) {
        rest = line.substr(std::min(pos, line.size()));
        return false;
    }
    const std::string_view head = line.substr(pos);

    if (starts_with_keyword(head, "COLLECTION")) {
        services::show_message(1, "ERROR - MIF \"Collection\" objects not supported.  Delete or disaggregate object.");
        services::STOPRUN();
    }

    // The first keyword in order that starts the line.
    std::size_t scan = pos;
    for (const Keyword& k : kKeywords) {
        if (k.text.front() != upper(head.front()) || !starts_with_keyword(head, k.text)) continue;
        object.kind = k.kind;
        scan = pos + k.text.size();
        break;
    }

    if (object.kind == miKind::pline_multiple || object.kind == miKind::multipoint) {
        object.section_count = count_after(line, scan);
    } else if (object.kind == miKind::region) {
        object.polygon_count = count_after(line, scan);
        if (object.polygon_count > kMaxPolygons) {
            services::show_message(
                1, "ERROR - Exceeded maximum number of polygons in region below of " + util::int_text(kMaxPolygons),
                util::rtrim(line));
            services::STOPRUN();
        }
    } else if (object.kind == miKind::other && starts_with_keyword(head, "CENTER")) {
        object.kind = miKind::center;
        scan = pos + 6;
    }

    rest = line.substr(std::min(scan, line.size()));
    return is_object(object.kind);
}

bool miReadObject(std::string_view rest, io::InputFile& mif, miObject& object, std::span<double> x,
                  std::span<double> y, std::int32_t max_vertices, std::int32_t& n, const miVertexTexts& texts) {
    // The arrays are never written beyond what the caller gave.
    std::int64_t capacity = std::min({static_cast<std::int64_t>(max_vertices), static_cast<std::int64_t>(x.size()),
                                      static_cast<std::int64_t>(y.size())});
    if (!texts.x.empty())
        capacity = std::min({capacity, static_cast<std::int64_t>(texts.x.size()),
                             static_cast<std::int64_t>(texts.y.size())});
    VertexTarget target{x, y, texts};
    switch (object.kind) {
        case miKind::multipoint:
            rest = next_object_line(mif);
            [[fallthrough]];
        case miKind::point: {
            util::FreeFormat ff(rest);
            target.read(ff, rest, 0);
            n = 1;
            if (x.size() > 1 && y.size() > 1) {
                x[1] = x[0];
                y[1] = y[0];
                if (target.keep_texts() && texts.x.size() > 1 && texts.y.size() > 1) {
                    texts.x[1] = texts.x[0];
                    texts.y[1] = texts.y[0];
                }
            }
            return true;
        }
        case miKind::line:
        case miKind::rect:
        case miKind::roundrect: {
            util::FreeFormat ff(rest);
            target.read(ff, rest, 0);
            target.read(ff, rest, 1);
            n = 2;
            return true;
        }
        case miKind::pline:
            read_section(mif, pline_count(mif, rest), capacity, target, n);
            return true;
        case miKind::pline_multiple: {
            const std::string_view count_line = next_object_line(mif);
            util::FreeFormat ff(count_line);
            read_section(mif, read_count(ff, count_line), capacity, target, n);
            return true;
        }
        case miKind::region:
            return read_region(mif, object, capacity, target, n);
        default:
            n = 0;
            return false;
    }
}

void miCheckNodeLimit(std::int64_t requested, std::int64_t maximum) {
    if (requested <= maximum) return;
    std::string detail = "        Requested";
    util::put_int(detail, requested, 8);
    detail += "        Limit";
    util::put_int(detail, maximum, 8);
    services::show_message(1, "ERROR - Exceeded number of allowable nodes in a single polyline or region.", detail);
    services::STOPRUN();
}

}  // namespace velmorak::mif
