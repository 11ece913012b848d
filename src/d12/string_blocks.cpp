#include "d12/string_blocks.h"

#include "d12/reader.h"
#include "d12/string_details.h"
#include "util/fixed_text.h"
#include "util/text.h"

namespace velmorak::d12 {
namespace {

// The word a line opens a block with: the line's first word (after blanks and
// tabs) when a "{" follows it; `brace` is that brace's position.
BlockWord block_word(std::string_view line, std::size_t& brace) {
    std::size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '{') ++pos;
    const std::string_view word = line.substr(start, pos - start);
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    if (word.empty() || pos >= line.size() || line[pos] != '{') return BlockWord::other;
    brace = pos;
    if (same_word(word, "data")) return BlockWord::data;
    if (same_word(word, "data_2d")) return BlockWord::data_2d;
    if (same_word(word, "data_3d")) return BlockWord::data_3d;
    if (same_word(word, "hipdata")) return BlockWord::hipdata;
    if (same_word(word, "horizontal_data")) return BlockWord::horizontal_data;
    return BlockWord::other;
}

}  // namespace

bool has_keyword(std::string_view text, std::string_view keyword) { return util::contains_nocase(text, keyword); }

bool starts_with_keyword(std::string_view line, std::string_view keyword) {
    return util::contains_nocase(util::cut(line, keyword.size()), keyword);
}

bool same_word(std::string_view word, std::string_view keyword) {
    return word.size() == keyword.size() && util::contains_nocase(word, keyword);
}

bool is_string_header(std::string_view line) {
    const std::size_t brace = next_brace(line, 0);
    return brace != kNotFound && line[brace] == '{' && has_keyword(line.substr(0, brace), "string");
}

std::string_view type_word(std::string_view line) {
    const std::size_t brace = line.find('{');  // 0-based: the brace is in column brace + 1
    if (brace == std::string_view::npos || brace < 8) return {};
    return util::rtrim(util::cut(util::columns(line, 8, brace - 1), kTypeWidth));
}

void set_header_flags(std::string_view line, d12Object& o) {
    o.is2d = has_keyword(line, "2d") || has_keyword(line, "alignment") || has_keyword(line, "pipeline");
    o.is3d = has_keyword(line, "3d") || has_keyword(line, "4d") || has_keyword(line, "drainage") || has_keyword(line, "face") ||
             has_keyword(line, "interface") || has_keyword(line, "pipe");
    o.isSuper = has_keyword(line, "super");
    o.isPolyline = has_keyword(line, "polyline");
    o.isSuperAlignment = o.isSuper && has_keyword(line, "alignment");
}

void set_data_flags(std::string_view line, d12Object& o) {
    o.data2d = o.is2d || has_keyword(line, "data_2d");
    o.data3d = o.is3d || o.isPolyline || has_keyword(line, "data_3d");
    o.hipData = has_keyword(line, "hipdata");
    o.alignmentPlan = false;
}

BlockWord data_block(std::string_view line, const d12Object& o, std::size_t& brace) {
    if (o.level != 1 && o.level != o.planLevel) return BlockWord::other;
    const BlockWord word = block_word(line, brace);
    if (o.level != 1) return word == BlockWord::data_2d ? word : BlockWord::other;
    return word == BlockWord::horizontal_data ? BlockWord::other : word;
}

void step_over(std::string_view line, d12Object& o) {
    const int before = o.level;
    apply_braces(line, o.level);
    std::size_t brace = 0;
    if (before == 1 && o.level == 2 && o.isSuperAlignment && block_word(line, brace) == BlockWord::horizontal_data)
        o.planLevel = 2;
    else if (o.level < o.planLevel)
        o.planLevel = 0;
}

void open_data_block(std::string_view line, BlockWord word, std::size_t brace, d12Object& o) {
    o.alignmentPlan = o.level != 1;
    if (o.alignmentPlan) {
        // The plan of a super alignment is its horizontal geometry: converted as hipdata is.
        o.data2d = true;
        o.data3d = false;
        o.hipData = true;
    } else {
        o.data2d = o.is2d || word == BlockWord::data_2d;
        o.data3d = o.is3d || o.isPolyline || word == BlockWord::data_3d;
        o.hipData = word == BlockWord::hipdata;
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

void pass_over(LineLexer& lines, d12Object& o, StringDetails* details) {
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && lines.next_significant(kLineWidth, text, whole)) {
        if (details != nullptr) details->line(whole, o.level);
        apply_braces(whole, o.level);
    }
    end_of_file(o);
}

void find_next_block(LineLexer& lines, d12Object& o) {
    o.more = false;
    std::string_view text;
    std::string_view whole;
    while (o.level > 0 && lines.next_significant(kVertexLineWidth, text, whole)) {
        std::size_t brace = 0;
        if (data_block(whole, o, brace) != BlockWord::other) {
            o.more = true;
            lines.back();
            return;
        }
        if (o.details != nullptr) o.details->line(whole, o.level);
        step_over(whole, o);
    }
    end_of_file(o);
}

void end_of_file(d12Object& o) {
    if (o.level > 0) o.cutOff = true;
    o.level = 0;
}

}  // namespace velmorak::d12
