#include "d12/string_walk.h"

#include "d12/archive.h"
#include "d12/reader.h"
#include "d12/string_blocks.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"

namespace velmorak::d12 {

io::InputFile& open_12da_input(std::string_view file1) {
    int unit = 0;
    open_12d_file(unit, file1);
    return services::runtime().units.input(unit);
}

StringWalk::StringWalk(io::InputFile& file, std::size_t capacity) : lines_(file), capacity_(capacity) {
    line_.reserve(kLineWidth);
}

bool StringWalk::start() {
    object_ = d12Object{};
    object_.details = details_;
    unread_ = false;
    float null_value = kNoElevation;
    std::string model_line;
    const bool ok = d12ReadHeader(lines_, null_value, &model_line);
    object_.nullValue = null_value;
    note_model_line(model_line);
    return ok;
}

// The package writes one "model" line ahead of the strings of each model it
// exports into the file.
void StringWalk::note_model_line(std::string_view line) {
    model_.clear();
    if (line.size() > 5 && read_text_value(line.substr(5), model_) != util::ReadStatus::ok) model_.clear();
}

void StringWalk::pass_over_unread() {
    if (!unread_) return;
    unread_ = false;
    pass_over_block(lines_, object_, capacity_);
}

bool StringWalk::next() {
    pass_over_unread();
    while (!lines_.at_eof()) {
        if (!d12NextLine(line_, lines_)) continue;
        const bool same_string = object_.more;
        if (!same_string) {
            // Between objects: the line starts whatever comes next, a block or a string.
            top_line_ = lines_.line_number();
            if (starts_with_keyword(line_, "model")) note_model_line(line_);
        }
        if (!d12ObjectType(lines_, line_, object_)) continue;
        if (same_string) {
            ++block_index_;
        } else {
            block_index_ = 0;
            string_line_ = top_line_;
        }
        unread_ = true;
        return true;
    }
    report_cut_off();
    return false;
}

// A block left open at the end of the file took every line after its start,
// the strings among them: a stray brace, or a file cut off in a copy.
void StringWalk::report_cut_off() {
    if (!object_.cutOff) return;
    object_.cutOff = false;
    services::show_message(1, "WARNING - The .12da file ends inside the block that begins on line " +
                                  util::int_text(static_cast<std::int64_t>(top_line_)) +
                                  ": no string after that line was read.");
    services::PAUSEPROMPT();
}

bool StringWalk::read_vertices(std::span<double> x, std::span<double> y, std::span<float> z, std::size_t& count,
                               const VertexTextSpans& texts) {
    if (!unread_) return false;
    unread_ = false;
    return d12ReadVertices(lines_, object_, x, y, z, capacity_, count, texts);
}

bool StringWalk::more_blocks() {
    pass_over_unread();
    return object_.more;
}

}  // namespace velmorak::d12
