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

[[noreturn]] void stop_on_empty(std::string_view routine, std::int32_t object) {
    std::string message = "ERROR - Reading .mid file, ";
    message.append(routine);
    message.append(".  The row of object ");
    message.append(util::int_text(object));
    message.append(" holds no elevation.");
    stop_with(message);
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

LayerWalk::LayerWalk(const mif::InputLayer& layer, Progress progress, char delimiter)
    : mif_(layer.mif), mid_(layer.mid), progress_(progress), delimiter_(delimiter) {
    mif::miClearObject(object_);
}

bool LayerWalk::next() {
    if (!row_read_) row();  // the row of an object its caller passed over
    while (next_mif_line(mif_, line_)) {
        if (!mif::miObjectType(line_, rest_, object_)) continue;
        row_read_ = false;
        ++objects_;
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
                ++passed_[static_cast<std::size_t>(object_.kind)];
                break;
        }
    }
    return false;
}

std::string LayerWalk::passed_over() const {
    struct Name {
        mif::miKind kind;
        std::string_view one, many;
    };
    // In the order of the format's keywords, which breaks ties of count.
    static constexpr Name kNames[] = {
        {mif::miKind::arc, "Arc", "Arcs"},          {mif::miKind::ellipse, "Ellipse", "Ellipses"},
        {mif::miKind::point, "Point", "Points"},    {mif::miKind::rect, "Rect", "Rects"},
        {mif::miKind::region, "Region", "Regions"}, {mif::miKind::roundrect, "RoundRect", "RoundRects"},
        {mif::miKind::text, "Text", "Texts"},       {mif::miKind::multipoint, "MultiPoint", "MultiPoints"}};
    std::array<const Name*, std::size(kNames)> order{};
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = &kNames[i];
    const auto count = [&](const Name* n) { return passed_[static_cast<std::size_t>(n->kind)]; };
    std::stable_sort(order.begin(), order.end(), [&](const Name* a, const Name* b) { return count(a) > count(b); });
    std::string text;
    for (const Name* n : order) {
        if (count(n) == 0) continue;
        if (!text.empty()) text.append(", ");
        text.append(util::int_text(count(n))).append(" ").append(count(n) == 1 ? n->one : n->many);
    }
    return text;
}

const std::string& LayerWalk::row() {
    if (!row_read_) {
        if (mid_ != nullptr)
            next_mid_row(*mid_, row_);
        else
            row_.clear();
        row_read_ = true;
    }
    return row_;
}

bool LayerWalk::next_section(std::span<double> x, std::span<double> y, std::int32_t max_vertices, std::int32_t& n,
                             const mif::miVertexTexts& texts) {
    while (sections_left_ > 0) {
        --sections_left_;
        if (!mif::miReadObject(rest_, mif_, object_, x, y, max_vertices, n, texts)) continue;
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

void LayerWalk::first_attribute_text(std::string& name, std::string_view routine) {
    const std::string_view text = util::cut(row(), kMidRowWidth);
    mif::first_field(text, delimiter_, name);
    if (name.size() > kNameWidth) name.resize(kNameWidth);
    // A NUL is no character of a name: the package would end the name there,
    // and the rest of the row shows what went wrong with the file.
    if (name.find('\0') != std::string::npos) stop_on_row(text, routine);
    std::replace(name.begin(), name.end(), '\n', ' ');
    name.resize(util::text_length(name));
}

float LayerWalk::first_attribute_real(std::string_view routine) {
    const std::string_view text = util::cut(row(), kMidRowWidth);
    mif::first_field(text, delimiter_, field_);
    // ogr2ogr writes a null number as an empty field.
    if (field_.empty()) stop_on_empty(routine, objects_);
    util::FreeFormat ff(field_);
    float value = 0.0f;
    if (!util::read_ok(ff.read(value))) stop_on_row(text, routine);
    return value;
}

}  // namespace velmorak::mif2d12
