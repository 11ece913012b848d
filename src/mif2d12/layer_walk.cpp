#include "mif2d12/layer_walk.h"

#include <algorithm>

#include "mif/mid_reader.h"
#include "mif/object_reader.h"
#include "services/runtime.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"

namespace velmorak::mif2d12 {
namespace {

[[noreturn]] void stop_with(std::string_view message) {
    services::Console& con = services::runtime().console;
    con.end_line();
    con.line(message);
    services::run_time_stop();
}

[[noreturn]] void stop_on_row(std::string_view row, std::string_view routine) {
    services::Console& con = services::runtime().console;
    con.end_line();
    std::string message = "ERROR - Reading .mid file, ";
    message.append(routine);
    message.append(".  Erroneous line is:");
    con.line(message);
    con.end_line();
    con.line(util::rtrim(row));
    con.end_line();
    services::run_time_stop();
}

bool next_mif_line(io::InputFile& mif, std::string& line) {
    std::string_view read;
    switch (mif.read_line(read)) {
        case io::LineStatus::ok:
            line.assign(read);
            return true;
        case io::LineStatus::eof:
            return false;
        case io::LineStatus::error:
            break;
    }
    stop_with("ERROR - Reading data");
}

void next_mid_row(io::InputFile& mid, std::string& row) {
    switch (mif::read_mid_row(mid, row)) {
        case io::LineStatus::ok:
            return;
        case io::LineStatus::eof:
            stop_with("ERROR - End of File encountered");
        case io::LineStatus::error:
            break;
    }
    stop_with("ERROR - Reading data");
}

}  // namespace

LayerWalk::LayerWalk(const mif::InputLayer& layer, Progress progress)
    : mif_(layer.mif), mid_(layer.mid), progress_(progress) {
    mif::miClearObject(object_);
}

bool LayerWalk::next() {
    if (!row_read_) row();  // the row of an object its caller passed over
    while (next_mif_line(mif_, line_)) {
        if (!mif::miObjectType(line_, rest_, object_)) continue;
        row_read_ = false;
        sections_left_ = object_.kind == mif::miKind::pline_multiple ? object_.section_count : 1;
        if (progress_ == Progress::objects) {
            ++shown_;
            text_.clear();
            util::put_int(text_, shown_, 8);
            services::runtime().console.put(text_);
        }
        return true;
    }
    return false;
}

bool LayerWalk::next_polyline() {
    while (next()) {
        switch (object_.kind) {
            case mif::miKind::pline_multiple:
                services::runtime().console.line("Disaggregating combined polyline into " +
                                                 util::int_text(object_.section_count) + " polylines...");
                return true;
            case mif::miKind::line:
            case mif::miKind::pline:
                return true;
            default:
                break;
        }
    }
    return false;
}

const std::string& LayerWalk::row() {
    if (!row_read_) {
        next_mid_row(mid_, row_);
        row_read_ = true;
    }
    return row_;
}

bool LayerWalk::next_section(std::span<double> x, std::span<double> y, std::int32_t max_vertices, std::int32_t& n) {
    while (sections_left_ > 0) {
        --sections_left_;
        if (!mif::miReadObject(rest_, mif_, object_, x, y, max_vertices, n)) continue;
        if (progress_ == Progress::polylines) {
            ++shown_;
            text_.assign("Polyline ");
            text_.append(util::int_text(shown_)).append(" with ").append(util::int_text(n)).append(" nodes...");
            services::runtime().console.put(text_);
        }
        return true;
    }
    return false;
}

void first_attribute_text(std::string_view row, std::string& name, std::string_view routine) {
    row = util::cut(row, kMidRowWidth);
    util::FreeFormat ff(row);
    switch (ff.read_text(name)) {
        case util::ReadStatus::ok:
            break;
        case util::ReadStatus::null:
            name.clear();
            return;
        case util::ReadStatus::end:
        case util::ReadStatus::bad:
            stop_on_row(row, routine);
    }
    if (name.size() > kNameWidth) name.resize(kNameWidth);
    // A NUL is no character of a name: the package would end the name there,
    // and the rest of the row shows what went wrong with the file.
    if (name.find('\0') != std::string::npos) stop_on_row(row, routine);
    std::replace(name.begin(), name.end(), '\n', ' ');
    name.resize(util::text_length(name));
}

float first_attribute_real(std::string_view row, std::string_view routine) {
    row = util::cut(row, kMidRowWidth);
    util::FreeFormat ff(row);
    float value = 0.0f;
    if (!util::read_ok(ff.read(value))) stop_on_row(row, routine);
    return value;
}

}  // namespace velmorak::mif2d12
