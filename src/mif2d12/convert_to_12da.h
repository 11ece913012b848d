#pragma once
// The MIF to 12d ASCII conversion: every Line, Pline and section of a Pline
// Multiple of one MIF layer becomes a "string 2d" in a .12da beside the layer
// (same path and base name), named by the first attribute of the object's
// .mid row. Every other object is passed over together with its row.
//
// The layer's save date is checked against its .tab as a warning only.
// Unreadable lines or rows, a .mid that runs out and an unreadable name end
// the run at once (see layer_walk.h); the object reader's own errors stop it
// as the reader does.
#include <string_view>

namespace velmorak::mif2d12 {

void convert_mif_to_12da(std::string_view layer);

}  // namespace velmorak::mif2d12
