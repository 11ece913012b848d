#pragma once
// One cross-section of the -xs conversion: where its .csv goes, and the .csv
// itself, a profile of chainage against elevation along the string.
//
// The .csv lies in File 1's folder, named by the cross-section's ID (the
// string's name), with ".csv" appended unless the ID ends in it. An ID may
// name a folder below File 1's; one that would put its .csv outside that
// folder, or that holds a NUL, stops the run.
#include <string>
#include <string_view>

#include "d12/string_walk.h"

namespace velmorak::d12 {

// The ID as a path below File 1's folder, for joining to that folder: its
// "." steps and empty steps dropped and each ".." step taken out together with
// the folder before it, the steps joined by "\". False when the ID would name
// a file outside the folder: it begins with a separator, it holds a ":" or a
// doubled backslash (a drive or network path, which the join takes whole,
// dropping the folder), or its ".." steps climb above the folder.
bool path_below_folder(std::string_view id, std::string& path);

// The .csv name of the ID in `folder` (File 1's), into csv_name; `id_path` is
// scratch. Stops the run for an ID that holds a NUL or climbs out of the folder.
void csv_name_of(std::string_view id, std::string_view folder, std::string_view file1, std::string& id_path,
                 std::string& csv_name);

// The lowest and highest elevation of a profile, null elevations included.
struct ElevationRange {
    float lowest = 0.0f;
    float highest = 0.0f;
};

// Writes the profile of vertices 1..count to the .csv (opened and closed
// through the unit pool): the quoted ID, "X","Z", then chainage and elevation
// per vertex. A profile without vertices has no elevations: its range is the
// null elevation.
ElevationRange write_profile(std::string_view csv_name, std::string_view id, const VertexArrays& v,
                             float null_value);

}  // namespace velmorak::d12
