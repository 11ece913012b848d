#pragma once
// Attribute values of 12d strings read as the numbers they hold, and names
// compared in any letter case, for the readers that hand them to other
// programs (the GDAL driver's fields). Numbers through from_chars: no locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmorak::util {

// The whole text as one number (blanks and tabs around it, and a leading
// "+", allowed); false otherwise.
bool parse_integer(std::string_view text, std::int64_t& value);
bool parse_real(std::string_view text, double& value);

// ASCII lower case, for names that GDAL compares in any case.
std::string lower_ascii(std::string_view text);

}  // namespace velmorak::util
