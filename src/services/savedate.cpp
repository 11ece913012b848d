#include "services/savedate.h"

#include <string>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "services/runtime.h"
#include "util/fixed_text.h"

namespace velmorak::services {
namespace {

void to_log(int log_unit, std::string_view text) {
    if (log_unit <= 0) return;
    if (io::OutputFile* log = runtime().units.output_or_null(log_unit)) log->line(text);
}

// Built by appending: GCC 12 at -O3 takes "\"" + std::string(...) for an overlapping copy (-Wrestrict).
std::string quoted(std::string_view name) {
    const std::string_view text = util::rtrim(name);
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    out.append(text);
    out.push_back('"');
    return out;
}

}  // namespace

bool CHECKSAVEDATE(std::string_view exported_name, std::string_view source_name, int first_unit, int second_unit,
                   bool error_mode, int log_unit) {
    Console& con = runtime().console;
    const std::string kind = error_mode ? "ERROR" : "WARNING";
    const auto exported_date = io::save_date(util::rtrim(exported_name));
    con.put("Checking save date is later than that of " + std::string(util::rtrim(source_name)) + "...");
    const auto source_date = io::save_date(util::rtrim(source_name));

    if (!exported_date || !source_date) {
        con.line("NOT OK");
        con.end_line();
        const std::string text = kind + " - Could not access save date of " + quoted(exported_name) +
                                 " to check with " + quoted(source_name);
        con.line(text);
        to_log(log_unit, text);
        if (!error_mode) return true;
        con.end_line();
        con.line("NOTE - If using KORVAN, use CHECK MI SAVE DATE == WARNING or OFF to suppress check");
        con.end_line();
        STOPRUN();
    }

    if (*source_date > *exported_date) {
        con.line("NOT OK");
        con.end_line();
        if (error_mode) {
            if (first_unit > 0) CLOSER(first_unit);
            if (second_unit > 0) CLOSER(second_unit);
            con.line("ERROR - Save date of " + quoted(source_name) + " file is later than that of " +
                     quoted(exported_name));
            if (!retry_pause("Re-export mif file and press Enter, or close window."))
                input_ended("the mif file to be re-exported");
            return false;
        }
        const std::string text = "WARNING - Save date of " + quoted(source_name) + " file is later than that of " +
                                 quoted(exported_name);
        con.line(text);
        to_log(log_unit, text);
        return true;
    }

    con.line("OK");
    con.end_line();
    return true;
}

}  // namespace velmorak::services
