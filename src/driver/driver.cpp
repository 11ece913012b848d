#include "driver/driver.h"

#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "d12/convert_to_mif.h"
#include "d12/convert_to_xs.h"
#include "mif2d12/breaklines_3d.h"
#include "mif2d12/convert_to_12da.h"
#include "io/platform.h"
#include "services/messages.h"
#include "services/runtime.h"
#include "services/units.h"
#include "util/fixed.h"
#include "util/fixed_text.h"
#include "util/path.h"
#include "util/text.h"

namespace velmorak::driver {
namespace {

using services::runtime;

constexpr std::size_t kNameWidth = 1000;

constexpr std::string_view kUsage[] = {
    "",
    "CONVERT FROM MIF TO 12DA:",
    "1:  velmorak.exe <Points_and/or_Lines>.mif",
    "2:  velmorak.exe <Points>.mif <Lines>.mif",
    "First attribute in .mif file must be the elevation.",
    "Options:",
    "   -zln converts a KORVAN 3D breakline to 12da format, including",
    "        interpolation of Z values at intermediate vertices",
    "",
    "CONVERT FROM 12DA TO MIF:",
    "1:  velmorak.exe <12da_file>.12da <Header>.mif",
    ".4da extension also accepted",
    "<Header>.mif is any .mif file with the correct projection.",
    "   (Will use \"Header.mif\" if omitted.)",
    "Options:",
    "   -hip includes 12D hipdata polylines.",
    "   -xs  creates KORVAN .csv cross-section files and 1d_xs layer.",
    "",
    "Note: Can use .mif files to assign Material, n or RR values and",
    "      regenerate XS .csv files using brenmoss.exe",
    "",
};

// Printed after the usage text by --help only: the usage text itself stays as
// the program has always shown it without arguments.
constexpr std::string_view kHelpMore[] = {
    "Also:",
    "   -q   quiet, for batch files and scripts: no banner, pauses or prompts;",
    "        only warnings and errors (on standard error) and the result of",
    "        the conversion are shown.",
    "   --version shows the version; --help, -h, -? or /? shows this text.",
    "",
};

// An option matches when the characters after "-" equal its word, ignoring case.
bool option_is(std::string_view arg, std::string_view word) {
    return util::ASAME(util::columns(arg, 2, 1 + word.size()), word);
}

bool asks_for_help(std::string_view arg) {
    for (std::string_view word : {"--help", "-h", "-?", "/?"})
        if (util::ASAME(arg, word)) return true;
    return false;
}

// What the command line asks for, read before anything is shown (a quiet run
// shows no banner).
struct CommandLine {
    services::RunOptions options;
    bool quiet = false;
    bool help = false;
    bool version = false;
    std::string unknown;             // the first option that is none of the above
    std::vector<std::string> names;  // every other argument, in order
};

CommandLine read_command_line(const std::vector<std::string>& args) {
    CommandLine c;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = util::cut(args[i], kNameWidth);
        if (asks_for_help(arg)) {
            c.help = true;
        } else if (util::ASAME(arg, "--version")) {
            c.version = true;
        } else if (arg.empty() || arg.front() != '-') {
            c.names.emplace_back(arg);
        } else {
            // One argument may set several switches ("-xs", "-zln", "-hip" are
            // matched on their first letters, "-q" on its one).
            bool known = false;
            for (auto [word, flag] : {std::pair{"xs", &c.options.xs}, std::pair{"zln", &c.options.zln},
                                      std::pair{"hip", &c.options.hip}, std::pair{"q", &c.quiet}}) {
                if (!option_is(arg, word)) continue;
                *flag = true;
                known = true;
            }
            if (!known && c.unknown.empty()) c.unknown = arg;
        }
    }
    return c;
}

// A misspelt option ("-sx" for "-xs") would otherwise run another conversion
// than the one the user meant, so the run stops before it opens anything.
[[noreturn]] void stop_on_unknown_option(std::string_view option) {
    services::show_message(1, "ERROR - Unknown option \"" + std::string(option) +
                                  "\".  Options are -xs, -zln, -hip, -q, --help and --version.");
    services::STOPRUN();
}

// "velmorak *.12da" gives every file as an argument: the second one would be
// taken as the header and its text copied into the new layer.
[[noreturn]] void stop_on_header_not_mif(std::string_view file2) {
    services::show_message(1, "ERROR - File 2 \"" + std::string(util::rtrim(file2)) + "\" is not a .mif file.",
                           "        File 2 is the header .mif whose projection the new layers take;",
                           "        velmorak converts one file per run.");
    services::STOPRUN();
}

void warn_ignored_names(const std::vector<std::string>& names) {
    std::string text = "WARNING - Ignored " + util::int_text(static_cast<std::int64_t>(names.size() - 2)) +
                       " more file names (one conversion per run):";
    for (std::size_t i = 2; i < names.size(); ++i) text += " \"" + names[i] + "\"";
    services::show_message(1, text);
}

// A MIF layer is read as its .mif and .mid (the extension, when it is one of
// those, names the pair), checked against its .tab.
void protect_layer(std::string_view name) {
    const std::string ext = util::FILEEXT(name);
    const std::string base = (ext == ".mif" || ext == ".mid") ? util::FILENAMEPATH(name) : std::string(util::rtrim(name));
    for (const char* e : {".mif", ".mid", ".tab"}) services::protect_input(base + e);
}

}  // namespace

int run(const std::vector<std::string>& args) {
    services::INITSERVICES();
    services::DMESSAGECLEAR();
    services::Runtime& rt = runtime();
    services::Console& con = rt.console;
    const CommandLine cl = read_command_line(args);

    if (cl.version && !cl.help) {
        con.line("velmorak " VELMORAK_VERSION);
        return 0;
    }
    con.set_quiet(cl.quiet && !cl.help);

    con.end_line();
    con.line("Build 2007-09-AB");
    con.end_line();

    if (cl.help) {
        for (std::string_view line : kUsage) con.line(line);
        for (std::string_view line : kHelpMore) con.line(line);
        return 0;
    }

    services::RunOptions& opt = rt.options;
    opt = cl.options;

    if (args.size() < 2) {
        for (std::string_view line : kUsage) con.line(line);
        services::STOPRUN();
    }

    con.line("Executable: " + std::string(util::rtrim(args[0])));
    if (!cl.unknown.empty()) stop_on_unknown_option(cl.unknown);

    std::string file1 = cl.names.size() > 0 ? cl.names[0] : std::string();
    std::string file2 = cl.names.size() > 1 ? cl.names[1] : std::string();
    if (util::all_blank(util::FILENAME(file2))) {
        if (opt.zln && util::FILEEXT(file1) == ".mif")
            file2 = file1;
        else
            file2 = util::cut(util::ADDFOLDER(util::FILEFOLDERPATH(file1), "Header.mif"), kNameWidth);
    }

    con.end_line();
    con.line("File 1: " + std::string(util::rtrim(file1)));
    con.end_line();
    con.line("File 2: " + std::string(util::rtrim(file2)));
    if (cl.names.size() > 2) warn_ignored_names(cl.names);

    int status = 0;
    const std::string ext = util::FILEEXT(file1);
    if (ext == ".mif") {
        protect_layer(file1);
        if (opt.zln) {
            protect_layer(file2);
            mif2d12::tdrdmifblf(file1, file2);
        } else {
            mif2d12::convert_mif_to_12da(file1);
        }
    } else if (ext == ".12da" || ext == ".4da" || ext == ".12daz") {
        if (util::FILEEXT(file2) != ".mif") stop_on_header_not_mif(file2);
        services::protect_input(file1);
        services::protect_input(file2);
        if (opt.xs)
            d12::convert_12da_to_xs(file1, file2);
        else
            d12::convert_12da_to_mif(file1, file2);
    } else {
        services::run_time_pause(
            "ERROR - File 1 has an unrecognisable file extension.  Must be \".mif\", \".12da\", \".4da\" or "
            "\".12daz\".");
        status = services::kStatusStopped;
    }

    // Outputs a conversion leaves open (the unsnapped points of -zln) are
    // closed here, and a write that failed stops the run before "Finished.".
    services::close_open_outputs();
    // A quiet run ends on the last message or result line.
    if (!con.quiet()) {
        con.end_line();
        con.line("Finished.");
    }
    services::run_time_pause("");
    return status;
}

int main_entry(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    io::platform::binary_standard_streams();
    // Interrupted, the run leaves no temporaries: every output stays as it was.
    io::platform::remove_temporaries_on_interrupt();
    const std::vector<std::string> args = io::platform::command_line(argc, argv);
    services::ScopedRuntime scope(io::platform::console_input(), io::platform::console_output());
    scope.get().console.set_input_is_terminal(io::platform::standard_input_is_terminal());
    scope.get().console.set_error_stream(io::platform::console_error());
    int status = 0;
    try {
        status = run(args);
    } catch (const services::RunStop& stop) {
        status = stop.status;
    } catch (const std::exception& e) {
        scope.get().console.end_open_line();
        scope.get().console.line(std::string("ERROR - Run ended by an internal failure: ") + e.what());
        status = services::kStatusStopped;
    }
    return status;
}

}  // namespace velmorak::driver
