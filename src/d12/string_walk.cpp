#include "d12/string_walk.h"

#include "d12/reader.h"

namespace velmorak::d12 {

void pass_over_block(int unit, d12Object& object, VertexArrays& v) {
    if (!object.isSuper) return;
    std::size_t dropped = 0;
    if (!d12ReadVertices(unit, object, v.x, v.y, v.z, kVertexCapacity, dropped)) object.more = false;
}

}  // namespace velmorak::d12
