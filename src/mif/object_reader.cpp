#include "mif/object_reader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/geometry.h"

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

void read_vertex(io::InputFile& file, double& x, double& y) {
    const std::string_view line = next_object_line(file);
    util::FreeFormat ff(line);
    check_read(ff.read_all(x, y), line);
}

float degrees(double dy, double dx) { return static_cast<float>(std::atan2(dy, dx) * (180.0 / std::numbers::pi)); }

// Reads the n vertex lines of one polyline section and works out its length,
// its label point at half the length and the direction of the segment there.
// Lengths are single precision, summed segment by segment.
void read_section(io::InputFile& file, std::int32_t count, std::int64_t capacity, std::span<double> x,
                  std::span<double> y, std::int32_t& n, double& label_x, double& label_y, float& direction,
                  float& length) {
    miCheckNodeLimit(count, capacity);
    const auto m = static_cast<std::size_t>(count);
    for (std::size_t k = 0; k < m; ++k) read_vertex(file, x[k], y[k]);
    n = count;

    auto segment = [&](std::size_t k) { return util::DISTANCE_8(x[k - 1], y[k - 1], x[k], y[k]); };
    length = 0.0f;
    for (std::size_t k = 1; k < m; ++k) length += segment(k);

    if (m < 2) {
        label_x = m == 1 ? x[0] : 0.0;
        label_y = m == 1 ? y[0] : 0.0;
        return;
    }
    const float half = length / 2.0f;
    float walked = 0.0f;
    std::size_t k = 1;
    float d = segment(k);
    while (k + 1 < m && walked + d < half) {
        walked += d;
        ++k;
        d = segment(k);
    }
    // A section of coincident vertices has no length to walk: its label is its first vertex.
    const double f = d > 0.0f ? static_cast<double>((half - walked) / d) : 0.0;
    label_x = x[k - 1] + f * (x[k] - x[k - 1]);
    label_y = y[k - 1] + f * (y[k] - y[k - 1]);
    direction = degrees(y[k] - y[k - 1], x[k] - x[k - 1]);
}

// Reads the polygons of a region into consecutive slots, each followed by a
// spare slot, and finds its label point (the Center clause, or the mean).
bool read_region(io::InputFile& file, miObject& object, std::int64_t capacity, std::span<double> x,
                 std::span<double> y, std::int32_t& n, double& label_x, double& label_y) {
    std::int64_t total = 0;
    for (std::int32_t p = 0; p < object.polygon_count; ++p) {
        const std::string_view count_line = next_object_line(file);
        util::FreeFormat ff(count_line);
        const std::int32_t m = read_count(ff, count_line);
        const auto start = static_cast<std::size_t>(total);
        total += static_cast<std::int64_t>(m) + 1;
        miCheckNodeLimit(total, capacity);
        for (std::size_t k = 0; k < static_cast<std::size_t>(m); ++k) read_vertex(file, x[start + k], y[start + k]);
        // The spare slot holds the polygon's second vertex (its first one when it
        // has only one); no reader of this program looks at it.
        const std::size_t spare = start + static_cast<std::size_t>(m);
        const std::size_t source = m >= 2 ? start + 1 : start;
        x[spare] = m >= 1 ? x[source] : 0.0;
        y[spare] = m >= 1 ? y[source] : 0.0;
        object.polygon_ends[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(total - 1);
    }
    n = static_cast<std::int32_t>(total);

    if (total < 5) {
        services::DMESSAGES().line[0] = "WARNING - Insufficient points for Region object in mif file.  Region ignored.";
        services::DMESSAGEXY(1, x[0], y[0]);
        return false;
    }

    // The style lines after the coordinates may hold a Center clause; the
    // search ends at the next object, which the caller must see again.
    miObject scratch;
    for (;;) {
        std::string_view line;
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::error) stop_bad_line(line);
        if (status == io::LineStatus::eof) break;
        std::string_view rest;
        const bool is_object = miObjectType(util::cut(line, kMifLineWidth), rest, scratch);
        if (scratch.center) {
            util::FreeFormat ff(rest);
            check_read(ff.read_all(label_x, label_y), rest);
            return true;
        }
        if (is_object) {
            file.back();
            break;
        }
    }
    const auto used = static_cast<std::size_t>(total - 2);
    double sx = 0.0;
    double sy = 0.0;
    for (std::size_t k = 0; k < used; ++k) {
        sx += x[k];
        sy += y[k];
    }
    label_x = sx / static_cast<double>(used);
    label_y = sy / static_cast<double>(used);
    return true;
}

struct Keyword {
    std::string_view text;
    bool miObject::*field;
};

// In the order they are tested; no keyword is a prefix of a later one except
// "PLINE" of "PLINE MULTIPLE", which is tested first.
constexpr Keyword kKeywords[] = {
    {"NONE", &miObject::none},
    {"ARC", &miObject::arc},
    {"ELLIPSE", &miObject::ellipse},
    {"LINE", &miObject::line},
    {"PLINE MULTIPLE", &miObject::pline_multiple},
    {"PLINE", &miObject::pline},
    {"POINT", &miObject::point},
    {"RECT", &miObject::rect},
    {"REGION", &miObject::region},
    {"ROUNDRECT", &miObject::roundrect},
    {"TEXT", &miObject::text},
    {"MULTIPOINT", &miObject::multipoint},
};

// The first letters of the keywords, "COLLECTION" and "CENTER", in either case.
constexpr auto kMayStartKeyword = [] {
    std::array<bool, 256> t{};
    for (const char c : std::string_view("NAELPRTMC")) {
        t[static_cast<unsigned char>(c)] = true;
        t[static_cast<unsigned char>(c - 'A' + 'a')] = true;
    }
    return t;
}();

// True when the text starts with the keyword (upper case), its letters in either case.
bool starts_with_keyword(std::string_view text, std::string_view keyword) {
    if (text.size() < keyword.size()) return false;
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        const char c = text[i];
        if (((c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c) != keyword[i]) return false;
    }
    return true;
}

// Every kind of kKeywords, and Center, cleared.
void clear_kinds(miObject& object) {
    object.none = object.arc = object.ellipse = object.line = object.pline_multiple = object.pline = false;
    object.point = object.rect = object.region = object.roundrect = object.text = object.multipoint = false;
    object.center = false;
}

}  // namespace

void miClearObject(miObject& object) {
    object.none = object.point = object.line = object.pline = object.pline_multiple = false;
    object.region = object.ellipse = object.rect = object.roundrect = object.reserved = false;
    object.arc = object.center = object.text = object.multipoint = false;
    object.section_count = 0;
    object.polygon_count = 0;
    object.text_value.clear();
}

bool miObjectType(std::string_view line, std::string_view& rest, miObject& object) {
    line = util::cut(line, kMifLineWidth);
    object.section_count = 1;
    object.polygon_count = 0;

    const std::size_t length = util::text_length(line);
    std::size_t pos = 0;
    while (pos + 1 < length && (line[pos] == ' ' || line[pos] == '\t')) ++pos;

    // Vertex and most style lines ("Symbol", "Brush", numbers) cannot start a
    // keyword: settled by their first character.
    clear_kinds(object);
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
    bool found = false;
    const char first = (head.front() >= 'a' && head.front() <= 'z') ? static_cast<char>(head.front() - 'a' + 'A')
                                                                     : head.front();
    for (const Keyword& k : kKeywords) {
        if (k.text.front() != first || !starts_with_keyword(head, k.text)) continue;
        object.*k.field = true;
        found = true;
        scan = pos + k.text.size();
        break;
    }

    if (object.pline_multiple || object.multipoint) {
        const std::string_view after = line.substr(scan);
        util::FreeFormat ff(after);
        object.section_count = read_count(ff, line);
    } else if (object.region) {
        const std::string_view after = line.substr(scan);
        util::FreeFormat ff(after);
        object.polygon_count = read_count(ff, line);
        if (object.polygon_count > kMaxPolygons) {
            services::show_message(
                1, "ERROR - Exceeded maximum number of polygons in region below of " + util::int_text(kMaxPolygons),
                util::rtrim(line));
            services::STOPRUN();
        }
    }

    object.center = starts_with_keyword(head, "CENTER");
    if (object.center) scan = pos + 6;

    rest = line.substr(std::min(scan, line.size()));
    return found;
}

bool miReadObject(std::string_view rest, int unit, miObject& object, std::span<double> x, std::span<double> y,
                  std::int32_t max_vertices, std::int32_t& n, double& label_x, double& label_y, float& direction,
                  float& length) {
    direction = 0.0f;
    length = 0.0f;
    // The arrays are never written beyond what the caller gave.
    const std::int64_t capacity = std::min({static_cast<std::int64_t>(max_vertices),
                                            static_cast<std::int64_t>(x.size()), static_cast<std::int64_t>(y.size())});
    io::InputFile& file = services::runtime().units.input(unit);

    if (object.point || object.multipoint) {
        if (object.multipoint) rest = next_object_line(file);
        util::FreeFormat ff(rest);
        double px = 0.0;
        double py = 0.0;
        check_read(ff.read_all(px, py), rest);
        n = 1;
        x[0] = px;
        y[0] = py;
        if (x.size() > 1 && y.size() > 1) {
            x[1] = px;
            y[1] = py;
        }
        label_x = px;
        label_y = py;
        return true;
    }
    if (object.line || object.rect || object.roundrect) {
        util::FreeFormat ff(rest);
        double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
        check_read(ff.read_all(x1, y1, x2, y2), rest);
        n = 2;
        x[0] = x1;
        y[0] = y1;
        x[1] = x2;
        y[1] = y2;
        length = util::DISTANCE_8(x1, y1, x2, y2);
        label_x = (x1 + x2) / 2.0;
        label_y = (y1 + y2) / 2.0;
        direction = degrees(y2 - y1, x2 - x1);
        return true;
    }
    if (object.arc || object.ellipse) {
        n = 0;
        return false;
    }
    if (object.pline) {
        // MapInfo writes the count of a single-section polyline on the keyword
        // line or, in some layouts, alone on the next line.
        util::FreeFormat ff(rest);
        std::int32_t count = 0;
        const ReadStatus status = ff.read(count);
        if (status == ReadStatus::end) {
            const std::string_view count_line = next_object_line(file);
            util::FreeFormat next(count_line);
            count = read_count(next, count_line);
        } else {
            check_read(status, rest);
            if (count < 0) stop_bad_line(rest);
        }
        read_section(file, count, capacity, x, y, n, label_x, label_y, direction, length);
        return true;
    }
    if (object.pline_multiple) {
        const std::string_view count_line = next_object_line(file);
        util::FreeFormat ff(count_line);
        const std::int32_t count = read_count(ff, count_line);
        read_section(file, count, capacity, x, y, n, label_x, label_y, direction, length);
        return true;
    }
    if (object.region) return read_region(file, object, capacity, x, y, n, label_x, label_y);
    n = 0;
    return false;
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
