#pragma once
// Texts and numbers between 12d ASCII and GDAL: attribute values read as the
// field types they become, and texts handed to GDAL as UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

namespace velmorak::gdal12 {

// The whole text as one number (blanks around it allowed); false otherwise.
bool parse_integer(std::string_view text, std::int64_t& value);
bool parse_real(std::string_view text, double& value);

// The text as UTF-8: itself when it is valid UTF-8, otherwise read as
// Windows-1252 (files without a byte order mark, written by older programs
// on Windows), converted into `scratch`.
const std::string& as_utf8(const std::string& text, std::string& scratch);

// Appends the code point c as UTF-8.
void append_utf8(std::uint32_t c, std::string& out);

// ASCII lower case, for field names that GDAL compares in any case.
std::string lower_ascii(std::string_view text);

}  // namespace velmorak::gdal12
