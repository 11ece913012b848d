#pragma once
#include <string_view>

namespace velmorak::mif2d12 {

void convert_mif_to_12da(std::string_view layer);

}  // namespace velmorak::mif2d12
