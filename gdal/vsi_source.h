#pragma once
// The bytes of a 12d ASCII file as the driver reads them: a plain file
// through GDAL's virtual file layer, so that /vsimem/, /vsizip/ and /vsicurl/
// paths open like plain files. The core's reader (d12/string_records.h) takes
// them from here, decodes them to UTF-8 and reads the strings; a .12daz goes
// through the core's archive reader instead.
#include <memory>
#include <string>

#include "io/byte_source.h"

namespace velmorak::gdal12 {

// Opens `path` with VSIFOpenL; nullptr and the reason in `why` when it cannot.
std::unique_ptr<io::ByteSource> open_vsi_source(const std::string& path, std::string& why);

}  // namespace velmorak::gdal12
