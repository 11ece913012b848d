#pragma once
// Exported library: C callers reach the upper-case routines through capi/numbers_api.cpp.
//
// Number and field conversion: numbers to short texts for files and messages,
// and fields and numbers picked out of comma-separated text. Stateless; only
// EXTRACTINTEGER and EXTRACTREAL can fail (a console line, then STOPRUN).
#include <cstdint>
#include <string>
#include <string_view>

namespace velmorak::util {

std::string AINTEGER(std::int32_t i);
std::string AINTEGERPREC0(std::int32_t i, int ndig);
std::string AINTEGER8PREC0(std::int64_t i, int ndig);
std::string AREAL(float x);
std::string AREAL8(double x);
std::string AREALD(float x, int nd);
int CSVCOLUMN(std::string_view header, std::string_view name, int default_column);
bool CSVVALUE(std::string_view line, int icol, float& value);
// Field icol of a comma-separated line, quotes dropped and left-adjusted. A
// "name = value" pair wins over the column: the lower-cased name must start
// linelower (the caller's lower-case copy of line) or follow a blank, tab or
// comma there, and be followed by "=" after optional blanks; the value runs to
// the next comma and keeps the case of line.
std::string EXTRACTSTRING(std::string_view line, std::string_view linelower, std::string_view name, int icol);
std::int32_t EXTRACTINTEGER(std::string_view line, std::string_view linelower, std::string_view name, int icol,
                            std::int32_t default_value);
float EXTRACTREAL(std::string_view line, std::string_view linelower, std::string_view name, int icol,
                  float default_value);
int NUMBEROFNUMBERS(std::string_view line);

}  // namespace velmorak::util
