#include "mif/mid_reader.h"

#include <algorithm>
#include <string_view>

namespace velmorak::mif {
namespace {

// The readers see a row up to 1000 characters. A stray quote in a hand-edited
// file leaves a text open to the end of the file; the row still runs that far,
// but only its start is kept, so the rest of the file is not gathered in memory.
constexpr std::size_t kRowKept = 10000;

void append_kept(std::string& row, std::string_view text) {
    if (row.size() < kRowKept) row.append(text.substr(0, kRowKept - row.size()));
}

// True when the text leaves a double quote open, given whether one was open before it.
bool quote_open_after(std::string_view text, bool open) {
    return (static_cast<std::size_t>(std::count(text.begin(), text.end(), '"')) % 2 == 1) != open;
}

}  // namespace

io::LineStatus read_mid_row(io::InputFile& file, std::string& row) {
    row.clear();
    std::string_view line;
    io::LineStatus status = file.read_line(line);
    if (status != io::LineStatus::ok) return status;
    append_kept(row, line);
    bool open = quote_open_after(line, false);
    while (open) {
        status = file.read_line(line);
        if (status == io::LineStatus::eof) break;  // the file ended inside the text
        if (status == io::LineStatus::error) return status;
        append_kept(row, "\n");
        append_kept(row, line);
        open = quote_open_after(line, open);
    }
    return io::LineStatus::ok;
}

}  // namespace velmorak::mif
