#include "mif/header.h"

#include "mif/object.h"
#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/savedate.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/freeformat.h"
#include "util/path.h"
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

void to_log(int log_unit, std::string_view text) {
    if (log_unit <= 0) return;
    if (io::OutputFile* log = services::runtime().units.output_or_null(log_unit)) log->line(text);
}

void enter_into_workspace(std::string_view base, int log_unit, int workspace_unit, WorkspaceList& list) {
    for (int i = 0; i < list.count && i < static_cast<int>(list.names.size()); ++i)
        if (list.names[static_cast<std::size_t>(i)] == base) return;
    ++list.count;
    if (list.count >= list.limit) {
        const std::string_view text =
            "WARNING - Exceeded limit of input layers for MI workspace (.wor may not be complete)";
        services::runtime().console.line(text);
        to_log(log_unit, text);
        list.count = list.limit;
    }
    if (list.count <= 0) return;  // a limit of 0 leaves no room at all
    if (list.names.size() < static_cast<std::size_t>(list.count))
        list.names.resize(static_cast<std::size_t>(list.count));
    list.names[static_cast<std::size_t>(list.count - 1)] = base;
    services::runtime().units.output(workspace_unit).line("Open Table \"" + std::string(base) + "\"");
}

void check_projection(int mif_unit, std::string_view projection, bool projection_error) {
    io::InputFile& file = services::runtime().units.input(mif_unit);
    const std::string own = miNormaliseProjection(miFindCoordSys(mif_unit));
    file.rewind();
    if (util::rtrim(own) == util::rtrim(projection)) return;
    if (!projection_error) {
        services::show_message(1,
                               "WARNING - Projection of .mif file is different to that specified by the MI "
                               "Projection == command.");
        return;
    }
    services::show_message(
        1, "ERROR - Projection of .mif file is different to that specified by the MI Projection == command.",
        "Use \"MI Projection Check == WARNING\" to change message to a WARNING.");
    services::STOPRUN();
}

}  // namespace

void miOpen(std::string_view layer, int& mif_unit, int& mid_unit, std::string_view type, int log_unit,
            bool check_save_date, std::string_view table_ext, bool save_date_error, int workspace_unit,
            WorkspaceList* workspace, std::string_view projection, bool projection_error) {
    const bool single = mif_unit == -1;
    const bool input = type == "I ";
    const std::string name(util::rtrim(util::TRIMF(util::cut(layer, kMifLineWidth))));
    std::string base = name;
    const std::string ext = util::FILEEXT(name);
    if (ext == ".mif" || ext == ".mid") base = util::FILENAMEPATH(name);
    // A layer re-exported by the user is opened and checked again.
    for (;;) {
        bool layer_steps = true;
        if (single) {
            services::OPENFILE(mid_unit, type, name);
            layer_steps = ext == ".mid";
        } else {
            services::OPENFILE(mif_unit, type, base + ".mif");
            if (input && !util::all_blank(projection)) check_projection(mif_unit, projection, projection_error);
            services::OPENFILE(mid_unit, type, base + ".mid");
        }
        if (!layer_steps || !input) return;
        if (workspace_unit > 0 && workspace != nullptr)
            enter_into_workspace(base, log_unit, workspace_unit, *workspace);
        if (!check_save_date) return;
        if (services::CHECKSAVEDATE(base + ".mif", base + std::string(table_ext), single ? -1 : mif_unit, mid_unit,
                                    save_date_error, log_unit))
            return;
    }
}

std::string miFindCoordSys(int unit) {
    std::string found;
    if (!search_coordsys(services::runtime().units.input(unit), found))
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

bool miFindData(int unit) {
    io::InputFile& file = services::runtime().units.input(unit);
    file.rewind();
    std::string_view line = "XXX";
    for (;;) {
        if (starts_with_keyword(line, "Data") || file.at_eof()) return true;
        const io::LineStatus status = file.read_line(line);
        if (status == io::LineStatus::eof) return true;
        if (status == io::LineStatus::error) {
            services::show_message(1, "WARNING - Problems finding start of data in .mif file");
            services::PAUSEPROMPT();
            return false;
        }
    }
}

bool miReadColumnCount(int unit, std::int32_t& count) {
    io::InputFile& file = services::runtime().units.input(unit);
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

bool miReadColumnDef(int unit, std::string& name, std::string& type) {
    std::string_view line;
    if (services::runtime().units.input(unit).read_line(line) != io::LineStatus::ok) {
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

void miCopyHeader(int in_unit, int out_unit) {
    services::Runtime& rt = services::runtime();
    rt.console.line("Copying header info from file unit " + util::int_text(in_unit) + " to " +
                    util::int_text(out_unit) + "...");
    io::InputFile& in = rt.units.input(in_unit);
    io::OutputFile& out = rt.units.output(out_unit);
    in.rewind();
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
        if (starts_with_keyword(line, "Columns")) return;
        out.line(util::rtrim(line));
    }
}

}  // namespace velmorak::mif
