#include "d12/reader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

using io::InputFile;
using io::LineStatus;
using util::ReadStatus;

constexpr std::size_t kNone = std::string_view::npos;

InputFile& file_of(int unit) { return services::runtime().units.input(unit); }

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

// ---------------------------------------------------------------- quoted texts and braces
//
// The package writes a quote inside a quoted text as \" and a backslash as \\;
// any other backslash is itself (a folder name such as sub\XS1). A quoted text
// whose closing quote is missing runs to the end of its line. Braces and "//"
// inside quoted texts (attribute values such as "GNSS {RTK}" or web
// addresses) are text.

// The position just after the quoted text that starts at line[pos] (a quote).
std::size_t skip_quoted(std::string_view line, std::size_t pos) noexcept {
    const std::size_t size = line.size();
    for (++pos; pos < size; ++pos) {
        const char c = line[pos];
        if (c == '"') return pos + 1;
        if (c == '\\' && pos + 1 < size && (line[pos + 1] == '"' || line[pos + 1] == '\\')) ++pos;
    }
    return size;
}

// True when the line holds a brace anywhere; only then do its quotes need a look.
bool any_brace(std::string_view line) noexcept {
    return !line.empty() && (std::memchr(line.data(), '}', line.size()) != nullptr ||
                             std::memchr(line.data(), '{', line.size()) != nullptr);
}

// The next brace outside quoted text at or after `pos` (which stands outside quoted text), or kNone.
std::size_t next_brace(std::string_view line, std::size_t pos) noexcept {
    const std::size_t size = line.size();
    while (pos < size) {
        const char c = line[pos];
        if (c == '{' || c == '}') return pos;
        pos = c == '"' ? skip_quoted(line, pos) : pos + 1;
    }
    return kNone;
}

bool has_brace(std::string_view line) noexcept { return any_brace(line) && next_brace(line, 0) != kNone; }

// Counts the line's braces into `level`. A closing brace with nothing open (one
// too many, as after a "model ... {" header line) is passed over.
void apply_braces(std::string_view line, int& level) noexcept {
    if (!any_brace(line)) return;
    for (std::size_t pos = next_brace(line, 0); pos != kNone; pos = next_brace(line, pos + 1)) {
        if (line[pos] == '{')
            ++level;
        else if (level > 0)
            --level;
    }
}

// Where the line's comment begins: its first "//" outside quoted text, or kNone.
std::size_t comment_start(std::string_view line) noexcept {
    const std::size_t first = line.find("//");
    if (first == kNone || line.substr(0, first).find('"') == kNone) return first;
    for (std::size_t pos = 0; pos + 1 < line.size();) {
        if (line[pos] == '"')
            pos = skip_quoted(line, pos);
        else if (line[pos] == '/' && line[pos + 1] == '/')
            return pos;
        else
            ++pos;
    }
    return kNone;
}

// ---------------------------------------------------------------- lines

// The next line that is neither empty nor a comment line, in two views. `text`
// is what values are read from: the line cut to `width`, left-adjusted (blanks
// only), without its comment and trailing blanks. `whole` is the same without
// the cut, for counting braces: a side block on one line can run far past any
// buffer width. Both views live in the file's buffer: they stay valid only
// until the file is asked anything else (at_eof() may refill the buffer).
bool next_significant(InputFile& file, std::size_t width, std::string_view& text, std::string_view& whole) {
    for (;;) {
        std::string_view raw;
        if (file.read_line(raw) != LineStatus::ok) {
            text = whole = {};
            return false;
        }
        std::string_view line = util::ltrim_blanks(raw);
        const std::size_t lead = raw.size() - line.size();
        const std::string_view cut = line.substr(0, width - std::min(lead, width));
        if (cut.empty() || cut.starts_with("//")) continue;
        const std::size_t comment = comment_start(line);
        if (comment != kNone) line = line.substr(0, comment);
        whole = util::rtrim(line);
        text = util::rtrim(cut.substr(0, std::min(cut.size(), line.size())));
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

// ---------------------------------------------------------------- strings and blocks

// A string's header line: "string" before its first brace, which opens.
bool is_string_header(std::string_view line) {
    const std::size_t brace = next_brace(line, 0);
    return brace != kNone && line[brace] == '{' && has(line.substr(0, brace), "string");
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
    for (std::size_t pos = next_brace(line, brace + 1); pos != kNone; pos = next_brace(line, pos + 1)) {
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

// Reads on until the level is back at 0: the rest of a block passed over whole.
void pass_over(InputFile& file, d12Object& o) {
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && next_significant(file, kLineWidth, text, whole)) apply_braces(whole, o.level);
    o.level = 0;
}

[[noreturn]] void header_value_error(std::string_view line) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line("ERROR - Reading data (d12ObjectType)");
    con.line(util::rtrim(line));
    services::STOPRUN();
}

// The name after the keyword: a quoted text (with \" and \\ read as a quote and
// a backslash), or an unquoted text that ends at a blank, a comma or a slash.
ReadStatus read_name(std::string_view rest, std::string& name) {
    std::size_t pos = 0;
    while (pos < rest.size() && (rest[pos] == ' ' || rest[pos] == '\t')) ++pos;
    if (pos >= rest.size() || rest[pos] != '"') return util::FreeFormat(rest, true).read_text(name);
    name.clear();
    for (++pos; pos < rest.size() && rest[pos] != '"'; ++pos) {
        if (rest[pos] == '\\' && pos + 1 < rest.size() && (rest[pos + 1] == '"' || rest[pos + 1] == '\\')) ++pos;
        name.push_back(rest[pos]);
    }
    return ReadStatus::ok;
}

// Reads the "name", "z" and "closed" lines of a string's own level; other lines are skipped.
void read_own_level_line(std::string_view line, d12Object& o) {
    if (starts_with(line, "name")) {
        if (read_name(util::columns(line, 5, line.size()), o.name) != ReadStatus::ok) header_value_error(line);
        o.name.resize(util::text_length(util::cut(o.name, kNameWidth)));
    } else if (!line.empty() && (line.front() == 'z' || line.front() == 'Z')) {
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

// A vertex line whose height is written as the word "null": the null elevation.
// Tried only when the line did not read as three numbers.
ReadStatus read_null_height(std::string_view line, float null_value, double& x, double& y, float& z) {
    util::FreeFormat ff(line);
    ReadStatus status = ff.read_all(x, y);
    if (status != ReadStatus::ok) return status;
    status = ff.read(z);
    if (status != ReadStatus::bad || !is_null_word(ff.last_token())) return status;
    z = null_value;
    return ReadStatus::ok;
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

// Reads on through the rest of a super string to its next data block or its
// closing brace. The next block's line is stepped back over, so that the
// caller's next d12NextLine returns it and d12ObjectType, with `more` set,
// takes it as the next object of the same string.
void find_next_block(InputFile& file, d12Object& o) {
    o.more = false;
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && next_significant(file, kVertexLineWidth, text, whole)) {
        std::size_t brace = 0;
        if (data_block(whole, o, brace) != Word::other) {
            o.more = true;
            file.back();
            return;
        }
        step_over(whole, o);
    }
    o.level = 0;
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
            const ReadStatus status = ff.read(value);
            if (status == ReadStatus::ok) {
                nullValue = value;
                std::string text = "12D null value set to:";
                util::put_fixed(text, value, 12, 3);
                services::Console& con = services::runtime().console;
                con.end_line();
                con.line(text);
            } else if (status != ReadStatus::bad || !is_null_word(ff.last_token())) {
                break;
            }
            // "null null": the file spells its nulls as the word, and the null elevation stays as it is.
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
    std::string_view text;
    std::string_view whole;
    if (!next_significant(file_of(unit), width, text, whole)) {
        line.clear();
        return false;
    }
    line.assign(text);
    return true;
}

bool d12ObjectType(int unit, std::string& line, d12Object& o) {
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
    InputFile& file = file_of(unit);
    o.isString = o.level == 0 && is_string_header(line);
    if (!o.isString) {
        o.type.assign("unknown");
        set_data_flags(line, o);
        // A line inside a block, or one opening a block other than a string
        // (a TIN, the project's attributes ...): the block is passed over whole.
        apply_braces(line, o.level);
        pass_over(file, o);
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
    apply_braces(line, o.level);

    // The string's own level up to its first data block. Blocks nested in it
    // (attributes, groups, side blocks) are passed over with their name lines.
    std::string_view text;
    std::string_view whole;
    while (o.level > 0) {
        if (!next_significant(file, kLineWidth, text, whole)) {
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
        step_over(whole, o);
    }
    // The string closed without a data block (an arc or a circle is given by
    // its keywords alone): an object without data flags, which the caller
    // ignores. `line` is still the string's header line.
    return true;
}

bool d12ReadVertices(int unit, d12Object& o, std::span<double> x, std::span<double> y, std::span<float> z,
                     std::size_t capacity, std::size_t& count) {
    InputFile& file = file_of(unit);
    const std::size_t room = std::min({x.size(), y.size(), z.size()});
    // A super alignment's plan block is data_2d: x and y only.
    const bool three_values = o.data3d || (o.hipData && !o.alignmentPlan);
    std::size_t n = 0;
    if (o.inlineBlock) {
        // A block opened and closed on one line: the text between its braces is one vertex line.
        o.inlineBlock = false;
        if (!o.isString) return false;
        const std::string_view text = util::rtrim(util::ltrim_blanks(util::cut(o.inlineText, kVertexLineWidth)));
        if (!text.empty()) {
            double vx = 0.0;
            double vy = 0.0;
            float vz = o.z;
            if (capacity < 1 || room < 1) node_limit(1, capacity);
            ReadStatus status = ReadStatus::ok;
            if (three_values) {
                status = util::FreeFormat(text).read_all(vx, vy, vz);
                if (status == ReadStatus::bad) status = read_null_height(text, o.nullValue, vx, vy, vz);
            } else if (o.data2d) {
                status = util::FreeFormat(text).read_all(vx, vy);
            }
            if (status != ReadStatus::ok) vertex_error(status, text);
            x[0] = vx;
            y[0] = vy;
            z[0] = vz;
            n = 1;
        }
    } else {
        std::string_view line;
        std::string_view whole;
        // Nothing to read once the string is over (it had no data block, or the file ended before one).
        if (o.level == 0 || !next_significant(file, kVertexLineWidth, line, whole) || !o.isString) {
            o.more = false;
            return false;
        }
        const int inside = o.blockLevel + 1;  // the level of the block's vertex lines
        for (;;) {
            // Parse before asking for the end of the file, which may refill the buffer under `line`;
            // the verdict on the line waits until we know it is not the last line of the file.
            double vx = 0.0;
            double vy = 0.0;
            float vz = o.z;
            ReadStatus status = ReadStatus::ok;
            std::string_view rest = line;
            if (three_values) {
                util::FreeFormat ff(line);
                status = ff.read_all(vx, vy, vz);
                rest = ff.rest();
            } else if (o.data2d) {
                util::FreeFormat ff(line);
                status = ff.read_all(vx, vy);
                rest = ff.rest();
            }
            // Numbers hold no brace: of a line that read, only what follows them needs a look.
            const bool read = status == ReadStatus::ok && whole.size() == line.size();
            if (any_brace(read ? rest : whole) && has_brace(whole)) {
                // A line with braces is no vertex line. The brace that closes the block ends it.
                apply_braces(whole, o.level);
                if (o.level <= o.blockLevel || file.at_eof()) break;
            } else if (o.level != inside) {
                // A line of a block nested in the data block.
                if (file.at_eof()) break;
            } else {
                if (status == ReadStatus::bad && three_values)
                    status = read_null_height(line, o.nullValue, vx, vy, vz);
                std::string bad_line;  // only filled on the way to a stop
                if (status != ReadStatus::ok) bad_line.assign(line);
                if (file.at_eof()) break;  // a block cut off by the end of the file: its last line is not a vertex

                ++n;
                if (n > capacity || n > room) node_limit(n, capacity);
                if (status != ReadStatus::ok) vertex_error(status, bad_line);
                x[n - 1] = vx;
                y[n - 1] = vy;
                z[n - 1] = vz;
            }
            if (!next_significant(file, kVertexLineWidth, line, whole)) break;
        }
    }
    if ((o.isPolyline || o.isSuper) && o.closed && n > 0) {
        // The ring ends where it starts; the caller's arrays hold one more than the capacity for this.
        if (n >= room) node_limit(n + 1, capacity);
        x[n] = x[0];
        y[n] = y[0];
        z[n] = z[0];
        ++n;
    }
    count = n;

    if (o.isSuper) {
        find_next_block(file, o);
    } else {
        // The rest of the string (a drainage string's pits and pipes ...) is passed over.
        o.more = false;
        pass_over(file, o);
    }
    return true;
}

}  // namespace velmorak::d12
