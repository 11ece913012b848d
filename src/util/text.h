#pragma once
// Exported library: C callers reach the upper-case routines through capi/text_api.cpp.
//
// Text-line routines of the suite: reading, classifying, comparing and cleaning
// one line of fixed-length text (see util/fixed_text.h for the conventions).
//
// They keep no state. Inputs are seen up to the routine's working length
// (10000 characters, 1000 for ASAME/ASAMECS, 256 for SS256); results carry no
// trailing blanks, and a caller that needs a declared width cuts the result.
// Only READLINE can fail: it stops the run through the message log.
#include <string>
#include <string_view>

namespace velmorak::util {

std::string SS256(std::string_view s);
// Reads one record of `unit`, removes tabs, cuts comments, left-adjusts;
// true for a text line (not blank, not a comment, not a number line).
bool READLINE(int unit, std::string& line);
bool COMMENTLINE(std::string& line);            // in place: left-adjusted, comment cut
bool NUMBERLINE(std::string& line);             // in place: left-adjusted
bool POSITIVEINTEGERNUMBER(std::string& line);  // in place: left-adjusted
bool BLANK(std::string& line);                  // in place: tabs removed
bool ASAME(std::string_view a, std::string_view b);
bool ASAMECS(std::string_view a, std::string_view b);
bool FLAGEXISTS(std::string_view text, std::string_view flag);
bool CHECKLINE(std::string_view line, std::string_view flag, std::string_view separator, int column,
               std::string& right, std::string& left);
std::string REMOVETABS(std::string_view s);
std::string REMOVESPACES(std::string_view s);
std::string REMOVEQUOTES(std::string_view s);
std::string DOUBLEQUOTE(std::string_view s);
std::string UPPERCASE(std::string_view s);
std::string LOWERCASE(std::string_view s);
std::string TRIMF(std::string_view s);
std::string REPLACE(std::string_view s, std::string_view old_text, std::string_view new_text);
std::string SUBSTRING(std::string_view s, std::string_view separator, int n);

// Allocation-free helpers for the hot readers (same rules as the routines above).
// Case-insensitive search of `flag` (ASCII letters only) in `text`.
bool contains_nocase(std::string_view text, std::string_view flag) noexcept;
// `text` without its leading blanks (tabs stay).
std::string_view ltrim_blanks(std::string_view text) noexcept;

}  // namespace velmorak::util
