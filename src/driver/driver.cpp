#include "driver/driver.h"

#include <exception>
#include <iostream>
#include <string_view>

#include "d12/convert_to_mif.h"
#include "d12/convert_to_xs.h"
#include "mif2d12/breaklines_3d.h"
#include "mif2d12/convert_to_12da.h"
#include "services/messages.h"
#include "io/platform.h"
#include "services/runtime.h"
#include "services/units.h"
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

// An option matches when the characters after "-" equal its word, ignoring case.
bool option_is(std::string_view arg, std::string_view word) {
    return util::ASAME(util::columns(arg, 2, 1 + word.size()), word);
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

    con.end_line();
    con.line("Build 2007-09-AB");
    con.end_line();

    services::RunOptions& opt = rt.options;
    opt = {};
    std::string file1;
    std::string file2;
    int names = 0;

    if (args.size() < 2) {
        for (std::string_view line : kUsage) con.line(line);
        services::STOPRUN();
    }

    con.line("Executable: " + std::string(util::rtrim(args[0])));

    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view arg = util::cut(args[i], kNameWidth);
        if (!arg.empty() && arg.front() == '-') {
            if (option_is(arg, "xs")) opt.xs = true;
            if (option_is(arg, "zln")) opt.zln = true;
            if (option_is(arg, "hip")) opt.hip = true;
            continue;
        }
        ++names;
        if (names == 1) file1 = arg;
        if (names == 2) file2 = arg;
    }

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
        services::protect_input(file1);
        services::protect_input(file2);
        if (opt.xs)
            d12::convert_12da_to_xs(file1, file2);
        else
            d12::convert_12da_to_mif(file1, file2);
    } else {
        services::run_time_pause(
            "ERROR - File 1 has an unrecognisable file extension.  Must be \".mif\", \".12da\" or \".4da\".");
        status = services::kStatusStopped;
    }

    // Outputs a conversion leaves open (the unsnapped points of -zln) are
    // closed here, and a write that failed stops the run before "Finished.".
    services::close_open_outputs();
    con.end_line();
    con.line("Finished.");
    services::run_time_pause("");
    return status;
}

int main_entry(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    io::platform::binary_standard_streams();
    // Interrupted, the run leaves no temporaries: every output stays as it was.
    io::platform::remove_temporaries_on_interrupt();
    std::vector<std::string> args(argv, argv + argc);
    services::ScopedRuntime scope(std::cin, std::cout);
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
