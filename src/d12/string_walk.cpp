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
    is_tin_ = false;
    passed_.clear();
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
    is_tin_ = false;
    while (!lines_.at_eof()) {
        if (!d12NextLine(line_, lines_)) continue;
        const bool same_string = object_.more;
        if (!same_string) {
            // Between objects: the line starts whatever comes next, a block or a string.
            top_line_ = lines_.line_number();
            top_offset_ = lines_.file().line_offset();
            if (starts_with_keyword(line_, "model")) note_model_line(line_);
            if (object_.level == 0) {
                if (const std::optional<TinKind> kind = tin_header(line_)) {
                    if (take_tin(*kind)) return true;
                    continue;
                }
            }
        }
        if (!d12ObjectType(lines_, line_, object_)) continue;
        if (same_string) {
            ++block_index_;
        } else {
            block_index_ = 0;
            string_line_ = top_line_;
            string_offset_ = top_offset_;
        }
        unread_ = true;
        return true;
    }
    report_cut_off();
    return false;
}

bool StringWalk::seek(std::uint64_t offset, std::size_t line, std::string_view model) {
    if (line == 0 || !lines_.file().seek(offset)) return false;
    lines_.set_line_number(line - 1);
    // Between objects, as after the last block of the string before.
    unread_ = false;
    object_.more = false;
    object_.level = 0;
    object_.cutOff = false;
    model_.assign(model);
    return true;
}

// The surface whose header line was just read, read whole from that line
// (a surface may stand on one line, longer than the object scan's buffer).
// True when it comes out to the caller.
bool StringWalk::take_tin(TinKind kind) {
    lines_.back();
    Tin& tin = tin_ != nullptr ? *tin_ : passed_over_;
    tin.kind = kind;
    // Set before the reading, which stops on a damaged surface: the caller
    // tells damage in a surface from damage in a string by it.
    is_tin_ = tin_ != nullptr;
    bool cut_off = false;
    read_tin(lines_, tin, tin_ != nullptr, cut_off);
    tin.model.assign(model_);
    tin.line = top_line_;
    if (tin_ == nullptr) {
        passed_.push_back({kind, tin.name});
        // Like a string's block, a surface the end of the file cuts off took every line after it.
        object_.cutOff = object_.cutOff || cut_off;
        return false;
    }
    object_.type.assign(tin_kind_word(kind));
    object_.name.assign(tin.name);
    object_.isString = false;
    object_.data2d = object_.data3d = object_.hipData = object_.alignmentPlan = false;
    object_.more = false;
    object_.inlineBlock = false;
    block_index_ = 0;
    string_line_ = top_line_;
    string_offset_ = top_offset_;
    line_.clear();
    is_tin_ = true;
    return true;
}

void StringWalk::report_passed_tins() const {
    if (passed_.empty()) return;
    std::int64_t supers = 0;
    std::string names;
    for (const PassedTin& t : passed_) {
        if (t.kind == TinKind::super_tin) ++supers;
        names += names.empty() ? " \"" : ", \"";
        names += t.name;
        names += '"';
    }
    const std::int64_t tins = static_cast<std::int64_t>(passed_.size()) - supers;
    std::string what = "Ignored ";
    if (tins > 0) what += util::int_text(tins) + (tins == 1 ? " TIN" : " TINs");
    if (tins > 0 && supers > 0) what += " and ";
    if (supers > 0) what += util::int_text(supers) + (supers == 1 ? " super TIN" : " super TINs");
    services::Console& con = services::runtime().console;
    con.line(what + ":" + names);
    con.line("The GDAL driver 12DA reads them: each as a layer of triangles (ogrinfo) and a raster (gdalinfo).");
    con.end_line();
}

// A block left open at the end of the file took every line after its start,
// the strings among them: a stray brace, or a file cut off in a copy.
void StringWalk::report_cut_off() {
    if (!object_.cutOff) return;
    object_.cutOff = false;
    // The string named, when the block is one: its vertices read are kept,
    // and the user knows which string to look at.
    std::string named;
    if (object_.isString && !object_.name.empty()) named = ", string \"" + object_.name + "\"";
    services::show_message(1, "WARNING - The .12da file ends inside the block that begins on line " +
                                  util::int_text(static_cast<std::int64_t>(top_line_)) + named +
                                  ": no string after that line was read.");
    services::PAUSEPROMPT();
}

bool StringWalk::read_vertices(std::span<double> x, std::span<double> y, std::span<float> z, std::size_t& count,
                               const VertexTextSpans& texts) {
    if (!unread_) return false;
    unread_ = false;
    return d12ReadVertices(lines_, object_, x, y, z, capacity_, count, texts);
}

bool StringWalk::read_vertices(std::span<double> x, std::span<double> y, std::span<float> z, std::size_t& count,
                               const VertexArcs& arcs) {
    if (!unread_) return false;
    unread_ = false;
    return d12ReadVertices(lines_, object_, x, y, z, capacity_, count, arcs);
}

bool StringWalk::more_blocks() {
    pass_over_unread();
    return object_.more;
}

}  // namespace velmorak::d12
