#include "d12/reader.h"

#include <algorithm>
#include <string_view>

#include "services/files.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

using services::InputFile;
using services::LineStatus;
using util::ReadStatus;

InputFile& file_of(int unit) { return services::runtime().units.input(unit); }

// Keywords are matched in any case, anywhere in the tested text.
bool has(std::string_view text, std::string_view keyword) { return util::contains_nocase(text, keyword); }

// A line starts with a keyword when the keyword lies within as many leading characters as it is long.
bool starts_with(std::string_view line, std::string_view keyword) {
    return util::contains_nocase(util::cut(line, keyword.size()), keyword);
}

bool opens_data_block(std::string_view line) { return has(line, "data") && line.find('{') != std::string_view::npos; }

// The next line that is neither empty nor a comment line, cut to `width`, left-adjusted
// and without its trailing comment. The view lives in the file's buffer: it stays valid
// only until the file is asked anything else (at_eof() may refill the buffer).
bool next_significant(InputFile& file, std::size_t width, std::string_view& out) {
    for (;;) {
        std::string_view raw;
        if (file.read_line(raw) != LineStatus::ok) {
            out = {};
            return false;
        }
        std::string_view line = util::ltrim_blanks(util::cut(raw, width));
        if (util::all_blank(line) || line.starts_with("//")) continue;
        const std::size_t comment = line.find("//");
        if (comment != std::string_view::npos) line = line.substr(0, comment);
        out = util::rtrim(line);
        return true;
    }
}

void left_adjust(std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        line.clear();
    else if (first > 0)
        line.erase(0, first);
}

// The type word stands from column 8 (after "string ") to two columns before the first "{".
std::string_view type_word(std::string_view line) {
    const std::size_t brace = line.find('{');  // 0-based: the brace is in column brace + 1
    if (brace == std::string_view::npos || brace < 8) return {};
    return util::rtrim(util::cut(util::columns(line, 8, brace - 1), kTypeWidth));
}

void set_header_flags(std::string_view line, d12Object& o) {
    o.is2d = has(line, "2d") || has(line, "alignment") || has(line, "pipeline");
    o.is3d = has(line, "3d") || has(line, "4d") || has(line, "drainage") || has(line, "face") ||
             has(line, "interface") || has(line, "pipe");
    o.isSuper = has(line, "super");
    o.isPolyline = has(line, "polyline");
}

void set_data_flags(std::string_view line, d12Object& o) {
    o.data2d = o.is2d || has(line, "data_2d");
    o.data3d = o.is3d || o.isPolyline || has(line, "data_3d");
    o.hipData = has(line, "hipdata");
}

[[noreturn]] void header_value_error(std::string_view line) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("ERROR - Reading data (d12ObjectType)");
    con.line(util::rtrim(line));
    services::STOPRUN();
}

// Reads the "name", "z" and "closed" lines of a string's header part; other lines are skipped.
void read_header_part_line(std::string_view line, d12Object& o) {
    if (starts_with(line, "name")) {
        // An unquoted name ends at a blank, a comma or a slash.
        util::FreeFormat ff(util::columns(line, 5, line.size()), true);
        if (ff.read_text(o.name) != ReadStatus::ok) header_value_error(line);
        o.name.resize(util::text_length(util::cut(o.name, kNameWidth)));
    } else if (!line.empty() && (line.front() == 'z' || line.front() == 'Z')) {
        util::FreeFormat ff(util::columns(line, 2, line.size()));
        if (ff.read(o.z) != ReadStatus::ok) header_value_error(line);
    } else if (o.isPolyline && starts_with(line, "closed")) {
        o.closed = util::columns(line, 7, line.size()).find_first_of("1YyTt") != std::string_view::npos;
    }
}

[[noreturn]] void node_limit(std::size_t requested, std::size_t capacity) {
    std::string counts = "        Requested";
    util::put_int(counts, static_cast<std::int64_t>(requested), 8);
    counts += "        Limit";
    util::put_int(counts, static_cast<std::int64_t>(capacity), 8);
    services::show_message(1, "ERROR - Exceeded number of allowable nodes in a single polyline or region.", counts);
    services::STOPRUN();
}

[[noreturn]] void vertex_error(ReadStatus status, std::string_view line) {
    if (status == ReadStatus::end)
        services::show_message(1, "ERROR - Unexpected end of .12da file encountered.");
    else
        services::show_message(1, "ERROR - Reading .12da file.  Erroneous line is:", util::rtrim(line));
    services::STOPRUN();
}

}  // namespace

bool d12ReadHeader(int unit, float& nullValue) {
    InputFile& file = file_of(unit);
    file.rewind();
    // A copy, because asking for the end of the file may move the file's buffer.
    std::string line = "XXX";
    for (;;) {
        if (starts_with(line, "model") || file.at_eof()) return true;
        if (starts_with(line, "null")) {
            float value = nullValue;
            util::FreeFormat ff(util::columns(line, 6, kHeaderLineWidth));
            if (ff.read(value) != ReadStatus::ok) break;
            nullValue = value;
            std::string text = "12D null value set to:";
            util::put_fixed(text, value, 12, 3);
            services::Console& con = services::runtime().console;
            con.end_line();
            con.line(text);
        }
        std::string_view raw;
        if (file.read_line(raw) != LineStatus::ok) break;
        line.assign(util::ltrim_blanks(util::cut(raw, kHeaderLineWidth)));
    }
    services::show_message(1, "WARNING - Problems finding start of data in .12da file");
    services::PAUSEPROMPT();
    return false;
}

bool d12NextLine(std::string& line, int unit, std::size_t width) {
    std::string_view view;
    if (!next_significant(file_of(unit), width, view)) {
        line.clear();
        return false;
    }
    line.assign(view);
    return true;
}

bool d12ObjectType(int unit, std::string& line, d12Object& o) {
    if (!o.more) {
        left_adjust(line);
        o.isString = has(line, "string") && line.find('{') != std::string::npos;
        if (!o.isString) {
            o.type.assign("unknown");
            set_data_flags(line, o);
            return false;
        }
        o.name.clear();
        o.type.assign(type_word(line));
        set_header_flags(line, o);
    }
    // A continuation block of a super string starts here too: it keeps the
    // string's name and header flags but not its elevation.
    o.z = kNoElevation;
    o.closed = o.isPolyline;
    InputFile& file = file_of(unit);
    while (!opens_data_block(line) && !file.at_eof()) {
        if (!d12NextLine(line, unit)) break;  // only at the end of the file
        read_header_part_line(line, o);
    }
    set_data_flags(line, o);
    return true;
}

bool d12ReadVertices(int unit, d12Object& o, std::span<double> x, std::span<double> y, std::span<float> z,
                     std::size_t capacity, std::size_t& count) {
    InputFile& file = file_of(unit);
    std::string_view line;
    if (!next_significant(file, kVertexLineWidth, line) || !o.isString) return false;

    const std::size_t room = std::min({x.size(), y.size(), z.size()});
    const bool three_values = o.data3d || o.hipData;
    std::size_t n = 0;
    while (line.find('}') == std::string_view::npos) {
        // Parse before asking for the end of the file, which may refill the buffer under `line`;
        // the verdict on the line waits until we know it is not the last line of the file.
        double vx = 0.0;
        double vy = 0.0;
        float vz = o.z;
        ReadStatus status = ReadStatus::ok;
        if (three_values)
            status = util::FreeFormat(line).read_all(vx, vy, vz);
        else if (o.data2d)
            status = util::FreeFormat(line).read_all(vx, vy);
        std::string bad_line;  // only filled on the way to a stop
        if (status != ReadStatus::ok) bad_line.assign(line);
        if (file.at_eof()) break;  // a block cut off by the end of the file: its last line is not a vertex

        ++n;
        if (n > capacity || n > room) node_limit(n, capacity);
        if (status != ReadStatus::ok) vertex_error(status, bad_line);
        x[n - 1] = vx;
        y[n - 1] = vy;
        z[n - 1] = vz;
        if (!next_significant(file, kVertexLineWidth, line)) line = {};
    }
    if (o.isPolyline && o.closed && n > 0) {
        // The ring ends where it starts; the caller's arrays hold one more than the capacity for this.
        if (n >= room) node_limit(n + 1, capacity);
        x[n] = x[0];
        y[n] = y[0];
        z[n] = z[0];
        ++n;
    }
    count = n;

    if (!o.isSuper) {
        o.more = false;
        return true;
    }
    // Scan the rest of the super string for its next data block.
    int depth = 1;
    bool done = false;
    o.more = false;
    while (!done && !file.at_eof()) {
        if (!next_significant(file, kVertexLineWidth, line)) break;
        if (line.find('}') != std::string_view::npos)
            --depth;
        else if (line.find('{') != std::string_view::npos)
            ++depth;
        o.more = opens_data_block(line);
        done = o.more || depth == 0;
    }
    // The caller's next d12NextLine returns the data-block line again.
    if (o.more) file.back();
    return true;
}

}  // namespace velmorak::d12
