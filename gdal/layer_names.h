#pragma once
// The name a 12d model gives its layer. GDAL's writers take layer names as
// file names (the MapInfo writer makes <layer>.tab, the shapefile writer
// <layer>.shp): a model named "../../x" or "SURVEY/Water" must not steer
// them out of their output folder. The model's own name stays in the
// layer's metadata item MODEL.
#include <string>
#include <string_view>

namespace velmorak::gdal12 {

// `model` (UTF-8) with every '/' and '\' and a leading ".." made '_'.
std::string layer_name_of_model(std::string_view model);

}  // namespace velmorak::gdal12
