#pragma once
// Exported library: C callers reach the upper-case routines through capi/path_api.cpp.
//
// Path and file-name routines: take paths apart and put them together on the
// text alone (the file system is never asked). Both "\" and "/" separate
// folders when a path is taken apart; joins insert "\". Paths are seen up to
// 1000 characters; results carry no trailing blanks.
#include <string>
#include <string_view>

namespace velmorak::util {

std::string FILEEXT(std::string_view path);          // ".ext" lower case, from the last "."
std::string FILE___EXT(std::string_view path);       // "_suffix" of the bare name, lower case
std::string FILENAME(std::string_view path);         // bare name: no folder, no extension
std::string FILENAMENO_(std::string_view path);      // bare name without its layer suffix
std::string FILENAMEPATH(std::string_view path);     // path without extension
std::string FILENAMEPATHNO_(std::string_view path);  // path without extension and layer suffix
std::string FILEFOLDERPATH(std::string_view path);   // folder part with its final separator
std::string ADDFOLDER(std::string_view folder, std::string_view file);
std::string REMOVEDOTDOT(std::string_view path);
std::string CLEANPATH(std::string& path);  // path is left-adjusted and cleaned in place too
bool RELATIVEPATH(std::string& path);      // internal; rewrites an absolute path

}  // namespace velmorak::util
