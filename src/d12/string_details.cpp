#include "d12/string_details.h"

#include <charconv>

#include "d12/line_lexer.h"
#include "d12/string_blocks.h"

namespace velmorak::d12 {
namespace {

std::string_view first_word(std::string_view line, std::string_view& rest) {
    std::size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '{' && line[pos] != '"') ++pos;
    rest = line.substr(pos);
    return line.substr(start, pos - start);
}

// The package's value types; a word it may add later reads as text.
AttributeType type_of(std::string_view word) {
    if (same_word(word, "integer") || same_word(word, "int") || same_word(word, "uid")) return AttributeType::integer;
    if (same_word(word, "real") || same_word(word, "double") || same_word(word, "float")) return AttributeType::real;
    return AttributeType::text;
}

}  // namespace

void StringDetails::clear() {
    colour.clear();
    style.clear();
    breakline.clear();
    has_chainage = false;
    chainage = 0.0;
    count = 0;
    frames_.clear();
    deeper_ = 0;
    groups_.clear();
    pending_ = 0;
    expect_group_name_ = false;
    arcs.clear();
    arc_block_ = ArcBlock::none;
    arc_depth_ = 0;
}

StringAttribute& StringDetails::add() {
    if (count == attributes.size()) attributes.emplace_back();
    return attributes[count++];
}

std::string StringDetails::path(std::string_view name) const {
    std::string p;
    for (const std::string& g : groups_) {
        if (g.empty()) continue;
        p += g;
        p += '/';
    }
    p += name;
    return p;
}

void StringDetails::line(std::string_view whole, int level) {
    if (arc_block_ != ArcBlock::none) {
        arc_block_line(whole);
        return;
    }
    if (frames_.empty()) {
        if (level != 1) return;
        std::string_view rest;
        const std::string_view word = first_word(whole, rest);
        const std::size_t brace = next_brace(rest, 0);
        const ArcBlock arc_block = same_word(word, "radius_data")     ? ArcBlock::radius
                                   : same_word(word, "major_data")    ? ArcBlock::major
                                   : same_word(word, "geometry_data") ? ArcBlock::geometry
                                                                      : ArcBlock::none;
        if (arc_block != ArcBlock::none && brace != kNotFound && rest[brace] == '{') {
            // Values given twice (radius_data and geometry_data) count once: the later block's.
            (arc_block == ArcBlock::major ? arcs.segment_major.clear() : arcs.segment_radius.clear());
            if (arc_block == ArcBlock::geometry) arcs.segment_major.clear();
            arc_block_ = arc_block;
            arc_depth_ = 1;
            element_value_ = 0;
            arc_block_line(rest.substr(brace + 1));
            return;
        }
        if (!same_word(word, "attributes") || brace == kNotFound || rest[brace] != '{') {
            if (!has_brace(whole)) own_level_line(whole);
            return;
        }
        // The string's own attributes block: its tokens from here to its closing brace.
        frames_.push_back(Frame::attributes);
        whole = rest.substr(brace + 1);
    }
    // Tokens: quoted texts, words, and braces outside quoted texts.
    std::size_t pos = 0;
    while (pos < whole.size() && !frames_.empty()) {
        const char c = whole[pos];
        if (c == ' ' || c == '\t' || c == ',') {
            ++pos;
        } else if (c == '"') {
            const std::size_t end = skip_quoted(whole, pos);
            scratch_.clear();
            read_text_value(whole.substr(pos, end - pos), scratch_);
            token(scratch_, true);
            pos = end;
        } else if (c == '{' || c == '}') {
            token(whole.substr(pos, 1), false);
            ++pos;
        } else {
            const std::size_t start = pos;
            while (pos < whole.size() && whole[pos] != ' ' && whole[pos] != '\t' && whole[pos] != '{' &&
                   whole[pos] != '}' && whole[pos] != '"' && whole[pos] != ',')
                ++pos;
            token(whole.substr(start, pos - start), false);
        }
    }
}

void StringDetails::own_level_line(std::string_view whole) {
    arc_keywords(whole);
    std::string_view rest;
    const std::string_view word = first_word(whole, rest);
    std::string* target = same_word(word, "colour")      ? &colour
                          : same_word(word, "style")     ? &style
                          : same_word(word, "breakline") ? &breakline
                                                         : nullptr;
    if (target != nullptr) {
        if (read_text_value(rest, *target) != util::ReadStatus::ok) target->clear();
        return;
    }
    if (same_word(word, "chainage")) {
        std::string_view after;
        const std::string_view number = first_word(rest, after);
        double v = 0.0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
        has_chainage = ec == std::errc() && end == number.data() + number.size() && !number.empty();
        chainage = has_chainage ? v : 0.0;
    }
}

// "xcentre 502600 ycentre 6960100 zcentre 31", "chainage 0 interval 1 radius 15":
// keywords and their numbers, several to a line, in any order.
void StringDetails::arc_keywords(std::string_view rest) {
    for (;;) {
        std::string_view after;
        const std::string_view word = first_word(rest, after);
        if (word.empty()) return;
        double* target = nullptr;
        static constexpr std::string_view kAxes[] = {"x", "y", "z"};
        for (int axis = 0; axis < 3 && target == nullptr; ++axis) {
            const std::string_view a = kAxes[axis];
            if (word.size() == a.size() + 6 && same_word(word.substr(0, 1), a) && same_word(word.substr(1), "centre"))
                target = &arcs.centre[axis];
            else if (word.size() == a.size() + 5 && same_word(word.substr(0, 1), a) && same_word(word.substr(1), "start"))
                target = &arcs.start[axis];
            else if (word.size() == a.size() + 3 && same_word(word.substr(0, 1), a) && same_word(word.substr(1), "end"))
                target = &arcs.end[axis];
        }
        if (target == nullptr && same_word(word, "radius")) target = &arcs.radius;
        rest = after;
        if (target == nullptr) continue;
        std::string_view next;
        const std::string_view number = first_word(rest, next);
        double v = 0.0;
        const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
        if (ec == std::errc() && end == number.data() + number.size() && !number.empty()) {
            *target = v;
            rest = next;
        }
    }
}

// A line of a radius_data, major_data or geometry_data block: its numbers,
// or its elements, up to the brace that closes it.
void StringDetails::arc_block_line(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && arc_block_ != ArcBlock::none) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == ',') {
            ++pos;
        } else if (c == '"') {
            pos = skip_quoted(text, pos);
        } else if (c == '{' || c == '}') {
            arc_token(text.substr(pos, 1));
            ++pos;
        } else {
            const std::size_t start = pos;
            while (pos < text.size() && text[pos] != ' ' && text[pos] != '\t' && text[pos] != '{' && text[pos] != '}' &&
                   text[pos] != '"' && text[pos] != ',')
                ++pos;
            arc_token(text.substr(start, pos - start));
        }
    }
}

void StringDetails::arc_token(std::string_view t) {
    // A damaged block must not fill memory: no more values than a string may have vertices of attributes.
    constexpr std::size_t kMaxSegments = 10000000;
    if (t == "{") {
        ++arc_depth_;
        if (arc_block_ == ArcBlock::geometry && arc_depth_ == 2) {
            element_radius_ = 0.0;
            element_major_ = 0;
            element_value_ = 0;
        }
        return;
    }
    if (t == "}") {
        --arc_depth_;
        if (arc_block_ == ArcBlock::geometry && arc_depth_ == 1 && arcs.segment_radius.size() < kMaxSegments) {
            arcs.segment_radius.push_back(element_radius_);
            arcs.segment_major.push_back(element_major_);
        }
        if (arc_depth_ <= 0) arc_block_ = ArcBlock::none;
        return;
    }
    double v = 0.0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    const bool number = ec == std::errc() && end == t.data() + t.size();
    if (arc_block_ == ArcBlock::geometry) {
        // Inside an element: "radius r", "major m"; other words (a line's start and end, a spiral's lengths) pass.
        if (arc_depth_ != 2) return;
        if (number && element_value_ == 1) element_radius_ = v;
        if (number && element_value_ == 2) element_major_ = v != 0.0 ? 1 : 0;
        element_value_ = same_word(t, "radius") ? 1 : same_word(t, "major") ? 2 : 0;
        return;
    }
    if (arc_depth_ != 1 || arcs.segment_radius.size() >= kMaxSegments || arcs.segment_major.size() >= kMaxSegments)
        return;
    if (arc_block_ == ArcBlock::radius) arcs.segment_radius.push_back(number ? v : 0.0);
    if (arc_block_ == ArcBlock::major) arcs.segment_major.push_back(number && v != 0.0 ? 1 : 0);
}

void StringDetails::token(std::string_view t, bool quoted) {
    const bool open = !quoted && t == "{";
    const bool close = !quoted && t == "}";
    if (deeper_ > 0 || (open && frames_.size() >= kMaxDepth)) {
        if (open) ++deeper_;
        if (close) --deeper_;
        return;
    }
    const Frame frame = frames_.back();
    if (close) {
        if (frame == Frame::group && !groups_.empty()) groups_.pop_back();
        frames_.pop_back();
        pending_ = 0;
        expect_group_name_ = false;
        return;
    }
    if (frame == Frame::other) {
        if (open) frames_.push_back(Frame::other);
        return;
    }
    if (frame == Frame::group) {
        if (expect_group_name_) {
            groups_.back().assign(t);
            expect_group_name_ = false;
        } else if (open) {
            // The attributes block of the group, or a block it has besides.
            frames_.push_back(pending_ == 1 ? Frame::attributes : Frame::other);
            pending_ = 0;
        } else if (!quoted && same_word(t, "name")) {
            expect_group_name_ = true;
        } else {
            pending_ = !quoted && same_word(t, "attributes") ? 1 : 0;
        }
        return;
    }
    // In an attributes block: a group, or a type word, a name and a value.
    if (open) {
        frames_.push_back(pending_ == 1 && same_word(pending_name_, "group") ? Frame::group : Frame::other);
        if (frames_.back() == Frame::group) groups_.emplace_back();
        pending_ = 0;
        return;
    }
    if (pending_ == 0) {
        pending_type_ = type_of(t);
        pending_name_.assign(t);  // kept to tell a group
        pending_ = 1;
    } else if (pending_ == 1) {
        pending_name_.assign(t);
        pending_ = 2;
    } else {
        pending_ = 0;
        if (count == kMaxAttributes) return;
        StringAttribute& a = add();
        a.name = path(pending_name_);
        a.type = pending_type_;
        a.value.assign(t);
    }
}

}  // namespace velmorak::d12
