#pragma once
// The 12d ASCII to MIF breakline conversion: every string of a .12da/.4da file
// becomes one Pline of a MIF/MID layer named after the file (File 1 + ".mif"
// and ".mid"), which takes its header, and so its projection, from a header
// .mif (File 2). A 3D string also gives one Point per vertex with a real
// elevation, because the layer's rows carry one elevation per object. Hipdata
// blocks of super strings are converted only with -hip.
//
// Rows: the elevation (16 columns, 3 decimals) and the quoted string type.
// A missing header .mif gives a warning, a pause and a NonEarth header; an
// unreadable 12d ASCII header leaves a layer with its table structure only;
// errors in the 12d ASCII text stop the run (see d12/reader.h and d12/string_walk.h).
#include <string_view>

namespace velmorak::d12 {

void convert_12da_to_mif(std::string_view file1, std::string_view file2);

}  // namespace velmorak::d12
