#include "d12/reader.h"

#include <algorithm>
#include <string_view>

#include "d12/string_details.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

using util::ReadStatus;

// Keywords are matched in any case, anywhere in the tested text.
bool has(std::string_view text, std::string_view keyword) { return util::contains_nocase(text, keyword); }

// A line starts with a keyword when the keyword lies within as many leading characters as it is long.
bool starts_with(std::string_view line, std::string_view keyword) {
    return util::contains_nocase(util::cut(line, keyword.size()), keyword);
}

bool same_word(std::string_view word, std::string_view keyword) {
    return word.size() == keyword.size() && util::contains_nocase(word, keyword);
}

// The word "null" stands for the null elevation where the package writes a height
// it does not know (files exported with its null keyword switched on).
bool is_null_word(std::string_view token) { return same_word(token, "null"); }

void left_adjust(std::string& line) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        line.clear();
    else if (first > 0)
        line.erase(0, first);
}

// ---------------------------------------------------------------- strings and blocks

// A string's header line: "string" before its first brace, which opens.
bool is_string_header(std::string_view line) {
    const std::size_t brace = next_brace(line, 0);
    return brace != kNotFound && line[brace] == '{' && has(line.substr(0, brace), "string");
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
    o.isSuperAlignment = o.isSuper && has(line, "alignment");
}

void set_data_flags(std::string_view line, d12Object& o) {
    o.data2d = o.is2d || has(line, "data_2d");
    o.data3d = o.is3d || o.isPolyline || has(line, "data_3d");
    o.hipData = has(line, "hipdata");
    o.alignmentPlan = false;
}

enum class Word { other, data, data_2d, data_3d, hipdata, horizontal_data };

// The word a line opens a block with: the line's first word (after blanks and
// tabs) when a "{" follows it; `brace` is that brace's position.
Word block_word(std::string_view line, std::size_t& brace) {
    std::size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '{') ++pos;
    const std::string_view word = line.substr(start, pos - start);
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (word.empty() || pos >= line.size() || line[pos] != '{') return Word::other;
    brace = pos;
    if (same_word(word, "data")) return Word::data;
    if (same_word(word, "data_2d")) return Word::data_2d;
    if (same_word(word, "data_3d")) return Word::data_3d;
    if (same_word(word, "hipdata")) return Word::hipdata;
    if (same_word(word, "horizontal_data")) return Word::horizontal_data;
    return Word::other;
}

// The data-block word of a line that opens a block holding vertices of the
// current string: one of the four data words at the string's own level, or
// data_2d inside a super alignment's horizontal_data. Word::other otherwise.
Word data_block(std::string_view line, const d12Object& o, std::size_t& brace) {
    if (o.level != 1 && o.level != o.planLevel) return Word::other;
    const Word word = block_word(line, brace);
    if (o.level != 1) return word == Word::data_2d ? word : Word::other;
    return word == Word::horizontal_data ? Word::other : word;
}

// Counts a line of a string that opens no data block. At a super alignment's
// own level, its horizontal_data block is entered rather than passed over, so
// that the plan's data_2d block inside it is found.
void step_over(std::string_view line, d12Object& o) {
    const int before = o.level;
    apply_braces(line, o.level);
    std::size_t brace = 0;
    if (before == 1 && o.level == 2 && o.isSuperAlignment && block_word(line, brace) == Word::horizontal_data)
        o.planLevel = 2;
    else if (o.level < o.planLevel)
        o.planLevel = 0;
}

// Takes `line` (standing at o.level) as the start of the current data block:
// its data flags, its braces, and the text of a block that closes on this line.
void open_data_block(std::string_view line, Word word, std::size_t brace, d12Object& o) {
    o.alignmentPlan = o.level != 1;
    if (o.alignmentPlan) {
        // The plan of a super alignment is its horizontal geometry: converted as hipdata is.
        o.data2d = true;
        o.data3d = false;
        o.hipData = true;
    } else {
        o.data2d = o.is2d || word == Word::data_2d;
        o.data3d = o.is3d || o.isPolyline || word == Word::data_3d;
        o.hipData = word == Word::hipdata;
    }
    o.blockLevel = o.level;
    o.inlineBlock = false;
    ++o.level;
    for (std::size_t pos = next_brace(line, brace + 1); pos != kNotFound; pos = next_brace(line, pos + 1)) {
        if (line[pos] == '{') {
            ++o.level;
        } else if (o.level > 0) {
            --o.level;
            if (o.level == o.blockLevel && !o.inlineBlock) {
                o.inlineBlock = true;
                o.inlineText.assign(line.substr(brace + 1, pos - brace - 1));
            }
        }
    }
}

// Reads on until the level is back at 0: the rest of a block passed over
// whole, shown to `details` when it is the rest of a string.
void pass_over(LineLexer& lines, d12Object& o, StringDetails* details = nullptr) {
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && lines.next_significant(kLineWidth, text, whole)) {
        if (details != nullptr) details->line(whole, o.level);
        apply_braces(whole, o.level);
    }
    o.level = 0;
}

[[noreturn]] void header_value_error(std::string_view line) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("ERROR - Reading data (d12ObjectType)");
    con.line(util::rtrim(line));
    services::STOPRUN();
}

// Reads the "name", "z" and "closed" lines of a string's own level; other lines are skipped.
void read_own_level_line(std::string_view line, d12Object& o) {
    if (starts_with(line, "name")) {
        if (read_text_value(util::columns(line, 5, line.size()), o.name) != ReadStatus::ok) header_value_error(line);
        o.name.resize(util::text_length(util::cut(o.name, kNameWidth)));
    } else if (!line.empty() && (line.front() == 'z' || line.front() == 'Z') &&
               (!o.zWordOnly || line.size() == 1 || line[1] == ' ' || line[1] == '\t')) {
        util::FreeFormat ff(util::columns(line, 2, line.size()));
        const ReadStatus status = ff.read(o.z);
        if (status == ReadStatus::bad && is_null_word(ff.last_token()))
            o.z = o.nullValue;
        else if (status != ReadStatus::ok)
            header_value_error(line);
    } else if ((o.isPolyline || o.isSuper) && starts_with(line, "closed")) {
        o.closed = util::columns(line, 7, line.size()).find_first_of("1YyTt") != std::string_view::npos;
    }
}

// ---------------------------------------------------------------- vertices

struct Vertex {
    double x = 0.0;
    double y = 0.0;
    float z = 0.0f;
};

// A vertex line whose height is written as the word "null": the null elevation.
// Tried only when the line did not read as three numbers.
ReadStatus read_null_height(std::string_view line, float null_value, Vertex& v, std::string_view& rest) {
    util::FreeFormat ff(line);
    ReadStatus status = ff.read_all(v.x, v.y);
    if (status != ReadStatus::ok) return status;
    status = ff.read(v.z);
    if (status != ReadStatus::bad || !is_null_word(ff.last_token())) return status;
    v.z = null_value;
    rest = ff.rest();
    return ReadStatus::ok;
}

// What one vertex line of the current block holds: x, y and z in a 3D block
// (and in a hipdata block other than a super alignment's plan, which is
// data_2d), x and y in a 2D block, whose elevation is the string's "z".
struct VertexLayout {
    explicit VertexLayout(const d12Object& o)
        : three_values(o.data3d || (o.hipData && !o.alignmentPlan)), two_values(o.data2d), z(o.z),
          null_value(o.nullValue) {}
    bool three_values;
    bool two_values;
    float z;
    float null_value;
};

// Reads one vertex line; `rest` is what follows the numbers read. Inlined: it
// runs once per vertex.
[[gnu::always_inline]] inline ReadStatus read_vertex(std::string_view line, const VertexLayout& layout, Vertex& v,
                                                     std::string_view& rest) {
    v = {0.0, 0.0, layout.z};
    rest = line;
    if (!layout.three_values && !layout.two_values) return ReadStatus::ok;
    util::FreeFormat ff(line);
    const ReadStatus status = layout.three_values ? ff.read_all(v.x, v.y, v.z) : ff.read_all(v.x, v.y);
    rest = ff.rest();
    if (status != ReadStatus::bad || !layout.three_values) return status;
    return read_null_height(line, layout.null_value, v, rest);
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

// Where the vertices of a block go: the caller's arrays, or nowhere for a
// block that is passed over (its vertices still count against the capacity).
struct VertexTarget {
    VertexTarget(std::span<double> x_, std::span<double> y_, std::span<float> z_, std::size_t capacity_, bool store_)
        : x(x_), y(y_), z(z_), capacity(capacity_), store(store_),
          room(store_ ? std::min({x_.size(), y_.size(), z_.size()}) : capacity_ + 1) {}
    std::span<double> x;
    std::span<double> y;
    std::span<float> z;
    std::size_t capacity;
    bool store;
    std::size_t room;  // entries the arrays hold

    // Vertex n + 1; the node limit is checked before the line's own fault.
    void put(std::size_t& n, const Vertex& v, ReadStatus status, std::string_view line) {
        ++n;
        if (n > capacity || n > room) node_limit(n, capacity);
        if (status != ReadStatus::ok) vertex_error(status, line);
        if (!store) return;
        x[n - 1] = v.x;
        y[n - 1] = v.y;
        z[n - 1] = v.z;
    }
};

// A block opened and closed on one line: the text between its braces is one vertex line.
std::size_t read_inline_block(d12Object& o, VertexTarget& target) {
    const std::string_view text = util::rtrim(util::ltrim_blanks(util::cut(o.inlineText, kVertexLineWidth)));
    if (text.empty()) return 0;
    Vertex v;
    std::string_view rest;
    const ReadStatus status = read_vertex(text, VertexLayout(o), v, rest);
    std::size_t n = 0;
    target.put(n, v, status, text);
    return n;
}

// The vertex lines of a block, from `line` (the first line after its
// data-block line) to the brace that closes it or the end of the file.
std::size_t read_block_lines(LineLexer& lines, d12Object& o, VertexTarget& target, std::string_view line,
                             std::string_view whole) {
    const int inside = o.blockLevel + 1;  // the level of the block's vertex lines
    const VertexLayout layout(o);
    std::size_t n = 0;
    do {
        // Parse before asking for the end of the file, which may refill the buffer under `line`;
        // the verdict on the line waits until we know it is not the last line of the file.
        Vertex v;
        std::string_view rest;
        const ReadStatus status = read_vertex(line, layout, v, rest);
        // Numbers hold no brace: of a line that read, only what follows them needs a look.
        const bool read = status == ReadStatus::ok && whole.size() == line.size();
        if (any_brace(read ? rest : whole) && has_brace(whole)) {
            // A line with braces is no vertex line. The brace that closes the block ends it.
            apply_braces(whole, o.level);
            if (o.level <= o.blockLevel || lines.at_eof()) break;
        } else if (o.level != inside) {
            // A line of a block nested in the data block.
            if (lines.at_eof()) break;
        } else {
            std::string bad_line;  // only filled on the way to a stop
            if (status != ReadStatus::ok) bad_line.assign(line);
            if (lines.at_eof()) break;  // a block cut off by the end of the file: its last line is not a vertex
            target.put(n, v, status, bad_line);
        }
    } while (lines.next_significant(kVertexLineWidth, line, whole));
    return n;
}

// A closed polyline, or a super string whose "closed" line says so, ends
// where it starts; the caller's arrays hold one more than the capacity for this.
std::size_t close_ring(const d12Object& o, VertexTarget& target, std::size_t n) {
    if (!(o.isPolyline || o.isSuper) || !o.closed || n == 0) return n;
    if (n >= target.room) node_limit(n + 1, target.capacity);
    if (target.store) {
        target.x[n] = target.x[0];
        target.y[n] = target.y[0];
        target.z[n] = target.z[0];
    }
    return n + 1;
}

// Reads on through the rest of a super string to its next data block or its
// closing brace. The next block's line is stepped back over, so that the
// next d12NextLine returns it and d12ObjectType, with `more` set, takes it as
// the next object of the same string.
void find_next_block(LineLexer& lines, d12Object& o) {
    o.more = false;
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && lines.next_significant(kVertexLineWidth, text, whole)) {
        std::size_t brace = 0;
        if (data_block(whole, o, brace) != Word::other) {
            o.more = true;
            lines.back();
            return;
        }
        if (o.details != nullptr) o.details->line(whole, o.level);
        step_over(whole, o);
    }
    o.level = 0;
}

bool read_vertices(LineLexer& lines, d12Object& o, VertexTarget& target, std::size_t& count) {
    std::size_t n = 0;
    if (o.inlineBlock) {
        o.inlineBlock = false;
        if (!o.isString) return false;
        n = read_inline_block(o, target);
    } else {
        std::string_view line;
        std::string_view whole;
        // Nothing to read once the string is over (it had no data block, or the file ended before one).
        if (o.level == 0 || !lines.next_significant(kVertexLineWidth, line, whole) || !o.isString) {
            o.more = false;
            return false;
        }
        n = read_block_lines(lines, o, target, line, whole);
    }
    count = close_ring(o, target, n);
    if (o.isSuper) {
        find_next_block(lines, o);
    } else {
        // The rest of the string (a drainage string's pits and pipes ...) is passed over.
        o.more = false;
        pass_over(lines, o, o.details);
    }
    return true;
}

// The null value of a header "null" line into nullValue. False when it cannot
// be read; "null null" (the file spells its nulls as the word) keeps the null
// elevation as it is.
bool read_null_line(std::string_view line, float& nullValue) {
    float value = nullValue;
    util::FreeFormat ff(util::columns(line, 6, kHeaderLineWidth));
    const ReadStatus status = ff.read(value);
    if (status != ReadStatus::ok) return status == ReadStatus::bad && is_null_word(ff.last_token());
    nullValue = value;
    std::string text = "12D null value set to:";
    util::put_fixed(text, value, 12, 3);
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line(text);
    return true;
}

}  // namespace

bool d12ReadHeader(LineLexer& lines, float& nullValue, std::string* model_line, bool strings_before_model) {
    lines.rewind();
    // A copy, because asking for the end of the file may move the file's buffer.
    std::string line = "XXX";
    for (;;) {
        if (starts_with(line, "model") || lines.at_eof()) {
            if (model_line != nullptr) {
                model_line->clear();
                if (starts_with(line, "model")) model_line->assign(line);
            }
            return true;
        }
        if (starts_with(line, "null") && !read_null_line(line, nullValue)) break;
        std::string_view raw;
        if (lines.read_line(raw) != io::LineStatus::ok) break;
        line.assign(util::ltrim_blanks(util::cut(raw, kHeaderLineWidth)));
        // Files that other programs write may start with strings and name no model:
        // the scan ends on the first string header, which is left to be read again.
        if (strings_before_model && !line.starts_with("//") && is_string_header(line) && lines.back()) {
            if (model_line != nullptr) model_line->clear();
            return true;
        }
    }
    services::show_message(1, "WARNING - Problems finding start of data in .12da file");
    services::PAUSEPROMPT();
    return false;
}

bool d12NextLine(std::string& line, LineLexer& lines, std::size_t width) {
    std::string_view text;
    std::string_view whole;
    if (!lines.next_significant(width, text, whole)) {
        line.clear();
        return false;
    }
    line.assign(text);
    return true;
}

bool d12ObjectType(LineLexer& lines, std::string& line, d12Object& o) {
    if (o.more) {
        // The next data block of the current super string, stepped back onto by
        // d12ReadVertices. The string keeps its name, type, header flags and
        // "closed"; its elevation goes back to none.
        o.z = kNoElevation;
        std::size_t brace = 0;
        const Word word = data_block(line, o, brace);
        if (word != Word::other) {
            open_data_block(line, word, brace, o);
        } else {
            set_data_flags(line, o);
            apply_braces(line, o.level);
        }
        return true;
    }
    left_adjust(line);
    o.isString = o.level == 0 && is_string_header(line);
    if (!o.isString) {
        o.type.assign("unknown");
        set_data_flags(line, o);
        // A line inside a block, or one opening a block other than a string
        // (a TIN, the project's attributes ...): the block is passed over whole.
        apply_braces(line, o.level);
        pass_over(lines, o);
        return false;
    }
    o.name.clear();
    o.type.assign(type_word(line));
    set_header_flags(line, o);
    o.z = kNoElevation;
    o.closed = o.isPolyline;
    o.data2d = o.data3d = o.hipData = o.alignmentPlan = false;
    o.inlineBlock = false;
    o.planLevel = 0;
    if (o.details != nullptr) o.details->clear();
    apply_braces(line, o.level);

    // The string's own level up to its first data block. Blocks nested in it
    // (attributes, groups, side blocks) are passed over with their name lines.
    std::string_view text;
    std::string_view whole;
    while (o.level > 0) {
        if (!lines.next_significant(kLineWidth, text, whole)) {
            // The file ends before a data block: the flags are the header's.
            set_data_flags(line, o);
            o.level = 0;
            return true;
        }
        std::size_t brace = 0;
        const Word word = data_block(whole, o, brace);
        if (word != Word::other) {
            line.assign(text);
            open_data_block(whole, word, brace, o);
            return true;
        }
        if (o.level == 1 && !has_brace(whole)) read_own_level_line(text, o);
        if (o.details != nullptr) o.details->line(whole, o.level);
        step_over(whole, o);
    }
    // The string closed without a data block (an arc or a circle is given by
    // its keywords alone): an object without data flags, which the caller
    // ignores. `line` is still the string's header line.
    return true;
}

bool d12ReadVertices(LineLexer& lines, d12Object& o, std::span<double> x, std::span<double> y, std::span<float> z,
                     std::size_t capacity, std::size_t& count) {
    VertexTarget target(x, y, z, capacity, true);
    return read_vertices(lines, o, target, count);
}

void pass_over_block(LineLexer& lines, d12Object& o, std::size_t capacity) {
    if (o.isSuper) {
        VertexTarget nowhere({}, {}, {}, capacity, false);
        std::size_t dropped = 0;
        read_vertices(lines, o, nowhere, dropped);
        return;
    }
    o.more = false;
    o.inlineBlock = false;
    pass_over(lines, o);
}

}  // namespace velmorak::d12
