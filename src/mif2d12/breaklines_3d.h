#pragma once
#include <string_view>

namespace velmorak::mif2d12 {

void tdrdmifblf(std::string_view points_layer, std::string_view lines_layer);

}  // namespace velmorak::mif2d12
