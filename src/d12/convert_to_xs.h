#pragma once
// The 12d ASCII to cross-section conversion (-xs): every 3D string of a
// .12da/.4da file becomes a cross-section file "<ID>.csv" of chainage against
// elevation in File 1's folder, one Pline in the line layer (File 1 +
// ".Lines") and one Point per vertex with a real elevation in the point layer
// (File 1 + ".Points"); both layers take their header from a header .mif
// (File 2). The ID is the string's name, or "xs" and a six-digit number for an
// unnamed string. Strings without 3D data are reported, paused on and skipped.
//
// An ID whose file-name part is longer than 12 characters, or one that would
// put its .csv outside File 1's folder (absolute, with a drive, or climbing
// out with ".."), stops the run. Errors in the 12d ASCII text stop it too
// (see d12/reader.h and d12/string_walk.h); a missing header .mif gives a NonEarth header.
#include <string_view>

namespace velmorak::d12 {

void convert_12da_to_xs(std::string_view file1, std::string_view file2);

}  // namespace velmorak::d12
