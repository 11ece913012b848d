#pragma once
// The table side of a MIF/MID layer: opening the .mif/.mid pair of a layer
// (with the save-date check of an input layer against its table, the optional
// projection check and workspace entry), finding the CoordSys, Columns and
// Data lines of a .mif header, reading the column definitions and copying a
// header up to its Columns line into another .mif.
//
// Lines are seen up to 1000 characters (100 for the Data and Columns
// searches). Problems with the user's data are warnings followed by the
// continue pause and a false result; an unreadable header while copying and a
// projection mismatch in error mode end the run through STOPRUN.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmorak::mif {

// The CoordSys line used when a layer has no projection of its own.
inline constexpr std::string_view kDefaultCoordSys =
    "CoordSys NonEarth Units \"m\" Bounds(-9999999, -9999999) (9999999, 9999999)";

// The layers already entered into a MapInfo workspace (.wor), owned by the
// caller: names[0..count-1] are path and base names without extension; count
// never exceeds limit (the last entry is overwritten once it is reached).
struct WorkspaceList {
    std::vector<std::string> names;
    int count = 0;
    int limit = 0;
};

// Opens the .mif and .mid of a layer through OPENFILE. `layer` may carry
// ".mif" or ".mid" (any case) or no extension; any other extension stays part
// of the base name. When mif_unit is -1 on entry only `layer` itself is opened,
// unchanged, on mid_unit. For an input (type "I "): the projection check when
// `projection` (already normalised) is not blank, the workspace entry when
// workspace_unit > 0 and `workspace` is given, and the save-date check against
// base + table_ext when check_save_date is set; a layer the user re-exports is
// opened again. Both units stay open; the caller closes them with CLOSER.
void miOpen(std::string_view layer, int& mif_unit, int& mid_unit, std::string_view type, int log_unit,
            bool check_save_date, std::string_view table_ext, bool save_date_error, int workspace_unit = -1,
            WorkspaceList* workspace = nullptr, std::string_view projection = {}, bool projection_error = false);

// The CoordSys line of an open .mif, searched forward from the current line;
// empty when there is none (a read error also logs a warning).
std::string miFindCoordSys(int unit);

// The CoordSys line of a header .mif, or kDefaultCoordSys (with a warning and
// a pause when the file does not exist). The header file is left open.
std::string miHeaderCoordSys(std::string_view header_name);

// A projection line upper-cased, without blanks, tabs and double quotes.
std::string miNormaliseProjection(std::string_view line);

// Rewinds the .mif and positions it just after its Data line (at its end when
// there is none; still true). False, after a warning and a pause, on a read error.
bool miFindData(int unit);

// Rewinds and reads the attribute count from the Columns line. False after a
// warning and a pause when it cannot be found or read.
bool miReadColumnCount(int unit, std::int32_t& count);

// Reads the next line as one attribute definition: name before the first
// blank, type after it (each at most 100 characters). False after a warning
// and a pause at a read error or the end of the file.
bool miReadColumnDef(int unit, std::string& name, std::string& type);

// Copies the header lines of the input .mif (from its start) to the output up
// to, not including, its Columns line; the whole file when it has none.
void miCopyHeader(int in_unit, int out_unit);

}  // namespace velmorak::mif
