#include "mif/mid_reader.h"

#include <algorithm>

#include "services/runtime.h"
#include "services/units.h"

namespace velmorak::mif {
namespace {

// True when the text leaves a double quote open, given whether one was open before it.
bool quote_open_after(std::string_view text, bool open) {
    return (static_cast<std::size_t>(std::count(text.begin(), text.end(), '"')) % 2 == 1) != open;
}

}  // namespace

services::LineStatus read_mid_row(services::InputFile& file, std::string& row) {
    row.clear();
    std::string_view line;
    services::LineStatus status = file.read_line(line);
    if (status != services::LineStatus::ok) return status;
    row.append(line);
    bool open = quote_open_after(line, false);
    while (open) {
        status = file.read_line(line);
        if (status == services::LineStatus::eof) break;  // the file ended inside the text
        if (status == services::LineStatus::error) return status;
        row.push_back('\n');
        row.append(line);
        open = quote_open_after(line, open);
    }
    return services::LineStatus::ok;
}

services::LineStatus read_mid_row(int unit, std::string& row) {
    return read_mid_row(services::runtime().units.input(unit), row);
}

}  // namespace velmorak::mif
