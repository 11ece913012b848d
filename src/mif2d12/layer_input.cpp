#include "mif2d12/layer_input.h"

#include <algorithm>

#include "mif/mid_reader.h"
#include "services/runtime.h"
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

}  // namespace

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
