#include "d12/tin.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "d12/string_blocks.h"
#include "d12/reader.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The blocks of a surface whose contents the reader takes; any other block
// (neighbours, a full_tin's input settings, groups of attributes) is passed over.
enum class Block { surface, attributes, points, triangles, vertices, nulling, tins, other };

// Blocks nested deeper than this are only counted: a damaged file must not fill memory.
constexpr std::size_t kMaxDepth = 64;

bool is_separator(char c) noexcept { return c == ' ' || c == '\t' || c == ','; }

std::string line_text(std::uint64_t line) { return util::int_text(static_cast<std::int64_t>(line)); }

class TinReader {
public:
    TinReader(LineLexer& lines, Tin& tin, bool store) : lines_(lines), tin_(tin), store_(store) {}

    // False when the file ended before the surface's closing brace.
    bool run() {
        tin_.clear();
        std::string_view text;
        std::string_view whole;
        while (lines_.next_significant(kVertexLineWidth, text, whole)) {
            if (header_line_ == 0) header_line_ = lines_.line_number();
            scan(whole);
            if (done_) break;
        }
        if (!done_) {
            if (store_) stop("ends inside it", lines_.line_number());
            return false;
        }
        if (store_) finish();
        return true;
    }

private:
    // One line: braces, quoted texts and the words and numbers between them.
    void scan(std::string_view line) {
        // The lines of a block nobody reads (a surface passed over, its
        // neighbours) matter only for their braces: most have none.
        if (depth_ > 0 && (top() == Block::other || (!store_ && depth_ > 1)) && !any_brace(line) &&
            line.find('"') == std::string_view::npos)
            return;
        std::size_t pos = 0;
        const std::size_t size = line.size();
        while (pos < size && !done_) {
            const char c = line[pos];
            if (is_separator(c)) {
                ++pos;
            } else if (c == '{') {
                open();
                ++pos;
            } else if (c == '}') {
                close();
                ++pos;
            } else if (c == '"') {
                const std::size_t end = skip_quoted(line, pos);
                quoted_.clear();
                read_text_value(line.substr(pos, end - pos), quoted_);
                token(quoted_, true);
                pos = end;
            } else {
                std::size_t end = pos + 1;
                while (end < size && !is_separator(line[end]) && line[end] != '{' && line[end] != '}' &&
                       line[end] != '"')
                    ++end;
                token(line.substr(pos, end - pos), false);
                pos = end;
            }
        }
    }

    Block top() const noexcept { return depth_ > kMaxDepth ? Block::other : stack_[depth_ - 1]; }

    void open() {
        Block block = Block::other;
        if (depth_ == 0) {
            block = Block::surface;  // the surface's own brace
        } else if (store_ || top() == Block::surface) {
            block = child_block();
        }
        key_.clear();
        value_state_ = 0;
        ++depth_;
        if (depth_ <= kMaxDepth) stack_[depth_ - 1] = block;
        if (block == Block::points) seen_points_ = true;
        if (block == Block::triangles) {
            seen_triangles_ = true;
            triangles_line_ = lines_.line_number();
        }
        if (block == Block::tins) seen_tins_ = true;
    }

    // The block the word before a brace opens, where the reader wants it.
    Block child_block() const {
        const Block parent = top();
        if (parent == Block::surface) {
            if (same_word(key_, "attributes")) return store_ ? Block::attributes : Block::other;
            if (!store_) return Block::other;
            if (tin_.kind != TinKind::super_tin) {
                if (same_word(key_, "points")) return Block::points;
                if (same_word(key_, "triangles")) return Block::triangles;
                if (same_word(key_, "nulling")) return Block::nulling;
            } else if (same_word(key_, "tins")) {
                return Block::tins;
            }
        } else if (parent == Block::triangles) {
            if (same_word(key_, "vertices")) return Block::vertices;
            if (same_word(key_, "nulling")) return Block::nulling;
        }
        return Block::other;
    }

    void close() {
        if (depth_ == 0) return;  // a stray brace before the surface's own
        const Block block = top();
        if ((block == Block::points && pending_ != 0) ||
            ((block == Block::triangles || block == Block::vertices) && pending_ != 0))
            stop(block == Block::points ? "has a point of fewer than three numbers"
                                        : "has a triangle of fewer than three points",
                 lines_.line_number());
        pending_ = 0;
        if (block == Block::points) points_line_ = lines_.line_number();
        --depth_;
        key_.clear();
        value_state_ = 0;
        if (depth_ == 0) done_ = true;
    }

    void token(std::string_view word, bool quoted) {
        if (depth_ == 0) return;  // the keyword before the surface's brace
        switch (top()) {
            case Block::surface: surface_token(word); break;
            case Block::attributes: attribute_token(word, quoted); break;
            case Block::points: point_token(word, quoted); break;
            case Block::triangles:
            case Block::vertices:
                if (!quoted && !word.empty() && (word.front() < '0' || word.front() > '9'))
                    key_.assign(word);  // the word of a block in it (vertices, neighbours)
                else
                    triangle_token(word, quoted);
                break;
            case Block::nulling: nulling_token(word, quoted); break;
            case Block::tins: tin_.members.emplace_back(word); break;
            case Block::other: key_.assign(word); break;
        }
    }

    // A keyword and its value at the surface's own level ("name", "colour"),
    // or the word of the block that follows.
    void surface_token(std::string_view word) {
        if (key_.empty()) {
            key_.assign(word);
            return;
        }
        if (same_word(key_, "name"))
            tin_.name.assign(util::cut(word, kNameWidth));
        else if (store_ && same_word(key_, "colour"))
            tin_.colour.assign(word);
        key_.clear();
    }

    // "text|integer|real name value", as in a string's attributes.
    void attribute_token(std::string_view word, bool quoted) {
        switch (value_state_) {
            case 0:
                key_.assign(word);
                value_state_ = quoted ? 0 : 1;
                break;
            case 1:
                attribute_name_.assign(word);
                value_state_ = 2;
                break;
            default: {
                StringAttribute& a = tin_.attributes.emplace_back();
                a.name = attribute_name_;
                a.type = same_word(key_, "integer") ? AttributeType::integer
                         : same_word(key_, "real")  ? AttributeType::real
                                                    : AttributeType::text;
                a.value.assign(word);
                value_state_ = 0;
                key_.clear();
            }
        }
    }

    // x y z: a height written as the word null has none.
    void point_token(std::string_view word, bool quoted) {
        double v = 0.0;
        if (quoted || !util::parse_number(word, v)) {
            if (pending_ == 2 && !quoted && same_word(word, "null"))
                v = kNaN;
            else
                bad_number(word);
        }
        triple_[pending_++] = v;
        if (pending_ < 3) return;
        pending_ = 0;
        tin_.points.push_back({triple_[0], triple_[1], triple_[2]});
    }

    void triangle_token(std::string_view word, bool quoted) {
        std::int64_t k = 0;
        if (quoted || !util::parse_number(word, k)) bad_number(word);
        index_[pending_++] = k;
        if (pending_ < 3) return;
        pending_ = 0;
        // Indices are checked against the points once the points are all read,
        // which they are in every file the package writes (points come first).
        if (points_line_ != 0) check_triangle(tin_.triangles.size(), index_, lines_.line_number());
        TinTriangle t{};
        for (int i = 0; i < 3; ++i)
            t[i] = index_[i] > 0 && index_[i] <= kMaxIndex ? static_cast<std::uint32_t>(index_[i] - 1) : kBadIndex;
        tin_.triangles.push_back(t);
    }

    void nulling_token(std::string_view word, bool quoted) {
        std::int64_t flag = 0;
        if (quoted || !util::parse_number(word, flag)) bad_number(word);
        nulled_.push_back(flag == 1);
    }

    void check_triangle(std::size_t number, const std::array<std::int64_t, 3>& k, std::uint64_t line) const {
        const auto count = static_cast<std::int64_t>(tin_.points.size());
        for (int i = 0; i < 3; ++i) {
            if (k[i] < 1 || k[i] > count)
                stop("triangle " + util::int_text(static_cast<std::int64_t>(number + 1)) + " names point " +
                         util::int_text(k[i]) + " of " + util::int_text(count),
                     line);
        }
        if (k[0] == k[1] || k[1] == k[2] || k[0] == k[2])
            stop("triangle " + util::int_text(static_cast<std::int64_t>(number + 1)) + " is degenerate (point " +
                     util::int_text(k[0] == k[1] || k[0] == k[2] ? k[0] : k[1]) + " twice)",
                 line);
    }

    void finish() {
        if (tin_.kind == TinKind::super_tin) {
            if (!seen_tins_) stop("has no tins block", header_line_);
            return;
        }
        if (!seen_points_) stop("has no points block", header_line_);
        if (!seen_triangles_) stop("has no triangles block", header_line_);
        if (points_line_ == 0 || points_line_ > triangles_line_) {
            // Triangles before their points: checked now, against the triangles block's line.
            for (std::size_t t = 0; t < tin_.triangles.size(); ++t) {
                const TinTriangle& tri = tin_.triangles[t];
                std::array<std::int64_t, 3> k{};
                for (int i = 0; i < 3; ++i) k[i] = tri[i] == kBadIndex ? 0 : static_cast<std::int64_t>(tri[i]) + 1;
                check_triangle(t, k, triangles_line_);
            }
        }
        tin_.invisible.assign(tin_.triangles.size(), false);
        if (!nulled_.empty()) {
            if (nulled_.size() != tin_.triangles.size())
                stop("has " + util::int_text(static_cast<std::int64_t>(nulled_.size())) +
                         " nulling flags for " + util::int_text(static_cast<std::int64_t>(tin_.triangles.size())) +
                         " triangles",
                     header_line_);
            for (std::size_t t = 0; t < nulled_.size(); ++t) tin_.invisible[t] = nulled_[t];
        }
        // A full_tin's first four points frame the triangulation; a file of
        // four points or fewer was not written with them.
        if (tin_.kind == TinKind::full_tin && tin_.points.size() > 4) {
            for (std::size_t t = 0; t < tin_.triangles.size(); ++t) {
                const TinTriangle& tri = tin_.triangles[t];
                if (tri[0] < 4 || tri[1] < 4 || tri[2] < 4) tin_.invisible[t] = true;
            }
        }
    }

    [[noreturn]] void bad_number(std::string_view word) const {
        stop("holds \"" + std::string(util::cut(word, 40)) + "\" where a number belongs", lines_.line_number());
    }

    [[noreturn]] void stop(const std::string& what, std::uint64_t line) const {
        services::show_message(1, "ERROR - " + std::string(tin_kind_word(tin_.kind)) + " \"" + tin_.name + "\" " +
                                      what + " (line " + line_text(line) + ").");
        services::STOPRUN();
    }

    static constexpr std::int64_t kMaxIndex = std::numeric_limits<std::int32_t>::max();
    static constexpr std::uint32_t kBadIndex = std::numeric_limits<std::uint32_t>::max();

    LineLexer& lines_;
    Tin& tin_;
    bool store_;
    std::array<Block, kMaxDepth> stack_{};
    std::size_t depth_ = 0;
    bool done_ = false;
    std::string key_;  // the last word at this level, waiting for its value or its brace
    std::string quoted_;
    std::string attribute_name_;
    int value_state_ = 0;
    int pending_ = 0;  // numbers of the current point or triangle read so far
    std::array<double, 3> triple_{};
    std::array<std::int64_t, 3> index_{};
    std::vector<bool> nulled_;
    bool seen_points_ = false;
    bool seen_triangles_ = false;
    bool seen_tins_ = false;
    std::uint64_t header_line_ = 0;
    std::uint64_t points_line_ = 0;     // where the points block closed; 0 before
    std::uint64_t triangles_line_ = 0;  // where the triangles block opened
};

}  // namespace

std::string_view tin_kind_word(TinKind kind) noexcept {
    switch (kind) {
        case TinKind::full_tin: return "full_tin";
        case TinKind::super_tin: return "super_tin";
        case TinKind::tin: break;
    }
    return "tin";
}

std::optional<TinKind> tin_header(std::string_view line) noexcept {
    std::size_t end = 0;
    while (end < line.size() && (std::isalpha(static_cast<unsigned char>(line[end])) || line[end] == '_')) ++end;
    const std::string_view word = line.substr(0, end);
    std::string_view rest = util::ltrim_blanks(line.substr(end));
    if (!rest.empty() && rest.front() != '{') return std::nullopt;
    if (same_word(word, "tin")) return TinKind::tin;
    if (same_word(word, "full_tin")) return TinKind::full_tin;
    if (same_word(word, "super_tin")) return TinKind::super_tin;
    return std::nullopt;
}

std::size_t Tin::visible_count() const noexcept {
    std::size_t n = 0;
    for (std::size_t t = 0; t < triangles.size(); ++t) n += invisible.size() > t && invisible[t] ? 0 : 1;
    return n;
}

void Tin::clear() noexcept {
    name.clear();
    colour.clear();
    attributes.clear();
    points.clear();
    triangles.clear();
    invisible.clear();
    members.clear();
}

void read_tin(LineLexer& lines, Tin& tin, bool store, bool& cut_off) {
    TinReader reader(lines, tin, store);
    cut_off = !reader.run();
}

}  // namespace velmorak::d12
