#include "mif2d12/convert_to_12da.h"

#include "services/runtime.h"

namespace velmorak::mif2d12 {

// Temporary entry point until the conversion lands.
void convert_mif_to_12da(std::string_view) { services::runtime().console.line("This conversion is not built yet."); }

}  // namespace velmorak::mif2d12
