#include "mif2d12/breaklines_3d.h"

#include "services/runtime.h"

namespace velmorak::mif2d12 {

// Temporary entry point until the conversion lands.
void tdrdmifblf(std::string_view, std::string_view) { services::runtime().console.line("This conversion is not built yet."); }

}  // namespace velmorak::mif2d12
