#include "d12/reader.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "d12/string_blocks.h"
#include "d12/string_details.h"
#include "d12/tin.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

using util::ReadStatus;

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

[[noreturn]] void header_value_error(std::string_view line) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("ERROR - Reading data (d12ObjectType)");
    con.line(util::rtrim(line));
    services::STOPRUN();
}

// The elevation line: the word "z" alone, in either case. Arcs, circles and
// features carry "zcentre", "zstart" and "zend" at the same level, which are
// other keywords.
bool is_z_line(std::string_view line) {
    return !line.empty() && (line.front() == 'z' || line.front() == 'Z') &&
           (line.size() == 1 || line[1] == ' ' || line[1] == '\t');
}

// Reads the "name", "z" and "closed" lines of a string's own level; other lines are skipped.
void read_own_level_line(std::string_view line, d12Object& o) {
    if (starts_with_keyword(line, "name")) {
        if (read_text_value(util::columns(line, 5, line.size()), o.name) != ReadStatus::ok) header_value_error(line);
        o.name.resize(util::text_length(util::cut(o.name, kNameWidth)));
    } else if (is_z_line(line)) {
        util::FreeFormat ff(util::columns(line, 2, line.size()));
        const ReadStatus status = ff.read(o.z);
        if (status == ReadStatus::bad && is_null_word(ff.last_token()))
            o.z = o.nullValue;
        else if (status != ReadStatus::ok)
            header_value_error(line);
    } else if ((o.isPolyline || o.isSuper) && starts_with_keyword(line, "closed")) {
        o.closed = util::columns(line, 7, line.size()).find_first_of("1YyTt") != std::string_view::npos;
    }
}

// ---------------------------------------------------------------- vertices

struct Vertex {
    double x = 0.0;
    double y = 0.0;
    float z = 0.0f;
};

// Where the texts of a vertex's numbers go, when the caller keeps them.
struct VertexText {
    util::NumberText* x = nullptr;
    util::NumberText* y = nullptr;
    util::NumberText* z = nullptr;
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

// Reads one vertex line; `rest` is what follows the numbers read. The texts
// of its numbers go where `text` says (a height without a text of its own,
// from the "z" line or the word null, gets an empty one). Inlined: it runs
// once per vertex.
[[gnu::always_inline]] inline ReadStatus read_vertex(std::string_view line, const VertexLayout& layout, Vertex& v,
                                                     std::string_view& rest, const VertexText& text = {}) {
    v = {0.0, 0.0, layout.z};
    rest = line;
    // Nearly every vertex line is plain decimals between blanks: read in one
    // pass, which sets the texts of all its numbers.
    std::size_t after = 0;
    if (layout.three_values ? util::read_plain_values(line, after, v.x, text.x, v.y, text.y, v.z, text.z)
                            : layout.two_values && util::read_plain_values(line, after, v.x, text.x, v.y, text.y)) {
        if (layout.two_values && text.z != nullptr) text.z->clear();
        rest = line.substr(after);
        return ReadStatus::ok;
    }
    if (text.x != nullptr) {
        text.x->clear();
        text.y->clear();
        text.z->clear();
    }
    if (!layout.three_values && !layout.two_values) return ReadStatus::ok;
    util::FreeFormat ff(line);
    ReadStatus status = ReadStatus::ok;
    if (text.x == nullptr) {
        status = layout.three_values ? ff.read_all(v.x, v.y, v.z) : ff.read_all(v.x, v.y);
    } else {
        status = ff.read(v.x);
        ff.last_text(*text.x);
        if (status == ReadStatus::ok) status = ff.read(v.y);
        ff.last_text(*text.y);
        if (status == ReadStatus::ok && layout.three_values) {
            status = ff.read(v.z);
            ff.last_text(*text.z);
        }
    }
    rest = ff.rest();
    if (status != ReadStatus::bad || !layout.three_values) return status;
    if (text.z != nullptr) text.z->clear();
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
// block that is passed over (its vertices still count against the capacity),
// and the texts of their numbers when the caller keeps them.
struct VertexTarget {
    VertexTarget(std::span<double> x_, std::span<double> y_, std::span<float> z_, std::size_t capacity_, bool store_,
                 const VertexTextSpans& texts_ = {})
        : x(x_), y(y_), z(z_), texts(texts_), capacity(capacity_), store(store_), keep_texts(!texts_.x.empty()),
          room(store_ ? std::min({x_.size(), y_.size(), z_.size()}) : capacity_ + 1) {
        if (keep_texts) room = std::min({room, texts.x.size(), texts.y.size(), texts.z.size()});
    }
    std::span<double> x;
    std::span<double> y;
    std::span<float> z;
    VertexTextSpans texts;
    std::size_t capacity;
    bool store;
    bool keep_texts;
    std::size_t room;  // entries the arrays hold

    // Where the texts of what may become vertex n + 1 go: they are copied
    // while the line they stand in is still in the file's buffer, and put()
    // comes only after asking for the end of the file.
    VertexText text_slots(std::size_t n) {
        if (!keep_texts || !store || n >= room) return {};
        return {&texts.x[n], &texts.y[n], &texts.z[n]};
    }

    const VertexArcs* arcs = nullptr;  // where the radius and bulge after the numbers go, if wanted

    // Vertex n + 1; the node limit is checked before the line's own fault.
    // `rest` is what follows the vertex's numbers on its line.
    void put(std::size_t& n, const Vertex& v, ReadStatus status, std::string_view line, std::string_view rest = {}) {
        ++n;
        if (n > capacity || n > room) node_limit(n, capacity);
        if (status != ReadStatus::ok) vertex_error(status, line);
        if (!store) return;
        x[n - 1] = v.x;
        y[n - 1] = v.y;
        z[n - 1] = v.z;
        if (arcs != nullptr && n - 1 < arcs->radius.size() && n - 1 < arcs->major.size()) {
            util::FreeFormat ff(rest);
            double radius = 0.0;
            double bulge = 0.0;
            if (ff.read(radius) != ReadStatus::ok || !std::isfinite(radius)) radius = 0.0;
            if (ff.read(bulge) != ReadStatus::ok) bulge = 0.0;
            arcs->radius[n - 1] = radius;
            arcs->major[n - 1] = bulge != 0.0 ? 1 : 0;
        }
    }
};

// A block opened and closed on one line: the text between its braces is one vertex line.
std::size_t read_inline_block(d12Object& o, VertexTarget& target) {
    const std::string_view text = util::rtrim(util::ltrim_blanks(util::cut(o.inlineText, kVertexLineWidth)));
    if (text.empty()) return 0;
    Vertex v;
    std::string_view rest;
    const ReadStatus status = read_vertex(text, VertexLayout(o), v, rest, target.text_slots(0));
    std::size_t n = 0;
    target.put(n, v, status, text, rest);
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
        const ReadStatus status = read_vertex(line, layout, v, rest, target.text_slots(n));
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
            // Asking for the end of the file may move the buffer the line and `rest` lie in:
            // a line that is taken is taken before, and a line whose verdict waits is copied.
            const bool unended = lines.file().last_line_unended();
            if (status == ReadStatus::ok && !unended) {
                // A block cut off by the end of the file (the walk warns of it) keeps
                // its last line as a vertex when the line has its line end ...
                target.put(n, v, status, {}, rest);
                if (lines.at_eof()) break;
            } else {
                // ... and without one it may be cut in the middle of a number.
                const std::string bad_line(status == ReadStatus::ok ? std::string_view() : line);
                const std::string rest_copy(rest);
                if (lines.at_eof()) break;
                target.put(n, v, status, bad_line, rest_copy);
            }
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
        if (target.keep_texts) {
            target.texts.x[n] = target.texts.x[0];
            target.texts.y[n] = target.texts.y[0];
            target.texts.z[n] = target.texts.z[0];
        }
        if (target.arcs != nullptr && n < target.arcs->radius.size() && n < target.arcs->major.size()) {
            target.arcs->radius[n] = 0.0;
            target.arcs->major[n] = 0;
        }
    }
    return n + 1;
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
        const bool any_line = o.level > 0 && lines.next_significant(kVertexLineWidth, line, whole);
        if (!any_line) end_of_file(o);
        if (!any_line || !o.isString) {
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

// The string's own level up to its first data block, whose line is left in
// `line`. Blocks nested in it (attributes, groups, side blocks) are passed
// over with their name lines. A string that closes without a data block (an
// arc or a circle is given by its keywords alone) is an object without data
// flags, which the caller ignores; `line` is then still its header line.
void read_to_first_block(LineLexer& lines, std::string& line, d12Object& o) {
    std::string_view text;
    std::string_view whole;
    while (o.level > 0) {
        if (!lines.next_significant(kLineWidth, text, whole)) {
            // The file ends before a data block: the flags are the header's.
            set_data_flags(line, o);
            end_of_file(o);
            return;
        }
        std::size_t brace = 0;
        const BlockWord word = data_block(whole, o, brace);
        if (word != BlockWord::other) {
            line.assign(text);
            open_data_block(whole, word, brace, o);
            return;
        }
        if (o.level == 1 && !has_brace(whole)) read_own_level_line(text, o);
        if (o.details != nullptr) o.details->line(whole, o.level);
        step_over(whole, o);
    }
}

}  // namespace

bool d12ReadHeader(LineLexer& lines, float& nullValue, std::string* model_line) {
    lines.rewind();
    if (model_line != nullptr) model_line->clear();
    // A copy, because asking for the end of the file may move the file's buffer.
    std::string line = "XXX";
    int level = 0;  // blocks before the first string (a TIN, the project's attributes)
    for (;;) {
        if (starts_with_keyword(line, "model") || lines.at_eof()) {
            if (model_line != nullptr && starts_with_keyword(line, "model")) model_line->assign(line);
            return true;
        }
        if (starts_with_keyword(line, "null") && !read_null_line(line, nullValue)) break;
        std::string_view raw;
        if (lines.read_line(raw) != io::LineStatus::ok) break;
        // Files written by hand or by other programs may have no model line:
        // the first string or surface ends the header all the same, and is
        // read as the first object.
        std::string_view code = util::ltrim_blanks(raw);
        code = code.substr(0, comment_start(code));
        if (level == 0 && (is_string_header(code) || tin_header(code))) {
            lines.back();
            return true;
        }
        apply_braces(code, level);
        line.assign(util::ltrim_blanks(util::cut(raw, kHeaderLineWidth)));
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
        const BlockWord word = data_block(line, o, brace);
        if (word != BlockWord::other) {
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
    read_to_first_block(lines, line, o);
    return true;
}

bool d12ReadVertices(LineLexer& lines, d12Object& o, std::span<double> x, std::span<double> y, std::span<float> z,
                     std::size_t capacity, std::size_t& count, const VertexTextSpans& texts) {
    VertexTarget target(x, y, z, capacity, true, texts);
    return read_vertices(lines, o, target, count);
}

bool d12ReadVertices(LineLexer& lines, d12Object& o, std::span<double> x, std::span<double> y, std::span<float> z,
                     std::size_t capacity, std::size_t& count, const VertexArcs& arcs) {
    VertexTarget target(x, y, z, capacity, true);
    target.arcs = &arcs;
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
