#pragma once
// The save-date check of a MIF export against the table it was exported from:
// a table saved after its export means the export is stale.
#include <string_view>

namespace velmorak::services {

// True when the caller may go on; false when the user was asked to re-export
// (error mode) and pressed Enter, and the caller must re-open and check again.
bool CHECKSAVEDATE(std::string_view exported_name, std::string_view source_name, int first_unit, int second_unit,
                   bool error_mode, int log_unit);

}  // namespace velmorak::services
