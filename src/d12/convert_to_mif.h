#pragma once
#include <string_view>

namespace velmorak::d12 {

void convert_12da_to_mif(std::string_view file1, std::string_view file2);

}  // namespace velmorak::d12
