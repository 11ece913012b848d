#pragma once
// The 3D breakline conversion: the Point objects of a points layer, each with
// its elevation as the first attribute, are snapped onto the vertices of the
// Line and Pline objects of a lines layer (the same layer when one holds
// both). Every polyline, and every section of a Pline Multiple, becomes a
// "string 3d" named 00000001 onwards in a .12da beside the lines layer;
// elevations between snapped vertices are interpolated along the polyline,
// those beyond the first and last snapped vertex copied from it, and a
// polyline without a snapped vertex keeps its own elevation from the .mid.
//
// Two report layers are written into the current folder: "_dangles" (each
// section whose first or last vertex did not snap, as a Pline or Line with
// its elevation) and "_unsnapped_points" (each point no vertex took), both
// with the lines layer's header. Both layers must be newer than their .tab
// tables, or the run waits for a re-export; a missing table stops it. Read
// errors end the run at once (see layer_walk.h).
#include <string_view>

namespace velmorak::mif2d12 {

void tdrdmifblf(std::string_view points_layer, std::string_view lines_layer);

}  // namespace velmorak::mif2d12
