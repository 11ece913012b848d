#include "d12/convert_to_xs.h"

#include "services/runtime.h"

namespace velmorak::d12 {

// Temporary entry point until the conversion lands.
void convert_12da_to_xs(std::string_view, std::string_view) {
    services::runtime().console.line("This conversion is not built yet.");
}

}  // namespace velmorak::d12
