#pragma once
// The bytes of a 12d ASCII file as the driver reads them: through GDAL's
// virtual file layer, so that /vsimem/, /vsizip/, /vsigzip/, /vsicurl/ and
// /vsistdin/ paths open like plain files, and a .12daz archive (a ZIP archive
// with one .12da member) from any of them. The core's reader
// (d12/string_records.h) takes them from here, decodes them to UTF-8 and
// reads the strings.
#include <memory>
#include <string>

#include "io/byte_source.h"

namespace velmorak::gdal12 {

// Opens `path` with VSIFOpenL: the member of an archive (any file that
// begins as a ZIP archive does), or the file itself; nullptr and the reason
// in `why` when it cannot. A stream (/vsistdin/, the *_streaming/ files) is
// read once: what passes is kept in a temporary file, which later passes and
// seeks read.
std::unique_ptr<io::ByteSource> open_vsi_source(const std::string& path, std::string& why);

// A path that can be read only once, from start to end.
bool is_stream_path(const std::string& path);

}  // namespace velmorak::gdal12
