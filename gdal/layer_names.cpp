#include "layer_names.h"

namespace velmorak::gdal12 {

std::string layer_name_of_model(std::string_view model) {
    std::string name(model);
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    // "../x" is "__x" by now; "..x" would still climb out of a folder where a writer adds a separator.
    if (name.starts_with("..")) name.replace(0, 2, 1, '_');
    return name;
}

}  // namespace velmorak::gdal12
