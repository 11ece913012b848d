#include "mif/header.h"

#include "mif/mid_reader.h"
#include "mif/object.h"
#include "mif/writer.h"
#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/text.h"

namespace velmorak::mif {
namespace {

// The header lines are recognised by their keyword in the first characters of
// the line, in any case; a keyword after leading blanks is not recognised.
bool starts_with_keyword(std::string_view line, std::string_view keyword) {
    return util::contains_nocase(util::columns(line, 1, keyword.size()), keyword);
}

// The CoordSys search shared by miFindCoordSys and miHeaderCoordSys: the line,
// empty at the end of the file; false on a read error.
bool search_coordsys(io::InputFile& file, std::string& found) {
    found.clear();
    std::string_view line = "XXX";
    for (;;) {
        if (starts_with_keyword(line, "CoordSys")) {
            found = util::rtrim(util::cut(line, kMifLineWidth));
            return true;
        }
        if (file.at_eof()) return true;
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::error) return false;
        if (status == io::LineStatus::eof) return true;
    }
}

void warn_missing_header(std::string_view name) {
    services::runtime().console.end_line();
    services::show_message(0, "WARNING - No MI Projection or mif header file " + std::string(name) + " found.",
                           "          Non-Earth Coordinates will be used.");
    services::PAUSEPROMPT();
}

// The delimiter a "Delimiter" line quotes, or `delimiter` unchanged when it quotes none.
void read_delimiter(std::string_view line, char& delimiter) {
    const std::size_t quote = line.find('"');
    if (quote != std::string_view::npos && quote + 2 < line.size() && line[quote + 2] == '"')
        delimiter = line[quote + 1];
}

}  // namespace

std::string miFindCoordSys(io::InputFile& mif) {
    std::string found;
    if (!search_coordsys(mif, found))
        services::show_message(1, "WARNING - Problems finding CoordSys line in .mif file");
    return found;
}

std::string miHeaderCoordSys(std::string_view header_name) {
    const std::string name(util::rtrim(util::TRIMF(header_name)));
    if (!io::file_exists(name)) {
        warn_missing_header(name);
        return std::string(kDefaultCoordSys);
    }
    int unit = 0;
    services::OPENFILE(unit, "I ", name);
    std::string found;
    if (!search_coordsys(services::runtime().units.input(unit), found)) {
        services::show_message(1, "WARNING - Problems finding CoordSys line in .mif file");
        services::PAUSEPROMPT();
        return std::string(kDefaultCoordSys);
    }
    return found.empty() ? std::string(kDefaultCoordSys) : found;
}

std::string miNormaliseProjection(std::string_view line) {
    line = util::cut(line, kMifLineWidth);
    return util::TRIMF(util::REMOVEQUOTES(util::REMOVETABS(util::REMOVESPACES(util::UPPERCASE(line)))));
}

bool miFindData(io::InputFile& file, char* delimiter) {
    file.rewind();
    char found = kDefaultDelimiter;
    std::string_view line = "XXX";
    for (;;) {
        if (starts_with_keyword(line, "Data") || file.at_eof()) {
            if (delimiter != nullptr) *delimiter = found;
            return true;
        }
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::ok && starts_with_keyword(line, "Delimiter")) read_delimiter(line, found);
        if (status == io::LineStatus::eof) {
            if (delimiter != nullptr) *delimiter = found;
            return true;
        }
        if (status == io::LineStatus::error) {
            services::show_message(1, "WARNING - Problems finding start of data in .mif file");
            services::PAUSEPROMPT();
            return false;
        }
    }
}

std::string_view miNotInterchange(io::InputFile& file) {
    file.rewind();
    bool described = false;
    for (;;) {
        std::string_view line;
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::error) break;
        if (status == io::LineStatus::eof) return "its header has no Data line";
        if (starts_with_keyword(line, "Data")) break;
        if (starts_with_keyword(line, "Version") || starts_with_keyword(line, "Columns")) described = true;
    }
    file.rewind();
    return described ? std::string_view() : "its header has neither a Version nor a Columns line";
}

bool miReadColumnCount(io::InputFile& file, std::int32_t& count) {
    file.rewind();
    // A copy: the count is read after asking for the end of the file, which
    // may move the file's buffer under the line read last.
    std::string line = "XXX";
    while (!starts_with_keyword(line, "Columns") && !file.at_eof()) {
        std::string_view view;
        const io::LineStatus status = file.read_line(view);
        line.assign(util::cut(view, kMifShortLineWidth));
        if (status == io::LineStatus::eof) break;
        if (status == io::LineStatus::error) {
            services::show_message(1, "WARNING - Problems finding start of attribute definitions in .mif file");
            services::PAUSEPROMPT();
            return false;
        }
    }
    util::FreeFormat ff(util::columns(line, 8, kMifShortLineWidth));
    std::int32_t value = 0;
    if (!util::read_ok(ff.read(value))) {
        services::show_message(1, "WARNING - Problems reading number of attributes in .mif file");
        services::PAUSEPROMPT();
        return false;
    }
    count = value;
    return true;
}

bool miReadColumnDef(io::InputFile& mif, std::string& name, std::string& type) {
    std::string_view line;
    if (mif.read_line(line) != io::LineStatus::ok) {
        services::show_message(1, "WARNING - Problems reading attribute definition in .mif file");
        services::PAUSEPROMPT();
        return false;
    }
    const std::string_view text = util::ltrim_blanks(util::cut(line, kMifLineWidth));
    const std::size_t blank = text.find(' ');
    const std::string_view before = text.substr(0, blank);
    const std::string_view after = blank == std::string_view::npos ? std::string_view{} : text.substr(blank + 1);
    name = util::rtrim(util::cut(before, kMifShortLineWidth));
    type = util::rtrim(util::cut(after, kMifShortLineWidth));
    return true;
}

void miCopyHeader(const InputLayer& from, OutputLayer& to) {
    services::Runtime& rt = services::runtime();
    rt.console.line("Copying header info from file unit " + util::int_text(from.mif_unit) + " to " +
                    util::int_text(to.mif_unit) + "...");
    io::InputFile& in = from.mif;
    io::OutputFile& out = to.mif;
    in.rewind();
    HeaderCopy copy(out);
    while (!in.at_eof()) {
        std::string_view line;
        const io::LineStatus status = in.read_line(line);
        if (status != io::LineStatus::ok) {
            rt.console.end_line();
            rt.console.line(status == io::LineStatus::eof ? "ERROR - End of File encountered (miCopyHeader)"
                                                                : "ERROR - Reading data (miCopyHeader)");
            services::STOPRUN();
        }
        line = util::cut(line, kMifLineWidth);
        // A layer of no attributes may have no Columns line: its Data line ends the header.
        if (starts_with_keyword(line, "Columns") || starts_with_keyword(line, "Data")) break;
        copy.line(util::rtrim(line));
    }
    copy.finish();
}

}  // namespace velmorak::mif
