#pragma once
// Compressed 12d ASCII archives (".12daz"): a ZIP archive that holds one
// ".12da" member, usually UTF-16LE and DEFLATE-compressed, named after the
// project rather than after the archive. The 12d conversions read their File 1
// through open_12d_file, which takes such an archive by its member and any
// other name as a plain file.
#include <memory>
#include <string>
#include <string_view>

#include "io/byte_source.h"
#include "io/zip.h"

namespace velmorak::d12 {

// True for a name ending in ".12daz", any case.
bool is_12da_archive_name(std::string_view name);

// False only for a file that can be read and does not begin as a ZIP archive
// does ("PK"): the readers other programs use (the C interface, the GDAL
// driver) read such a file named .12daz as the 12d text it holds, as the
// driver tells files by what they hold. The conversions refuse it.
bool may_be_zip_archive(const std::string& path);

// The archive's one member whose name ends in ".12da" (any case), inflated a
// few blocks ahead on a second thread; `member` receives its name as the
// archive stores it. No or several such members, and whatever the archive's
// directory shows wrong, give nullptr and one sentence in `why`. Damaged data
// fails a read where it is met.
std::unique_ptr<io::ByteSource> open_12da_archive(std::string_view name, std::string& member, std::string& why,
                                                  const io::ZipLimits& limits = {});

// The same of an archive held in `file` (read through GDAL's virtual file layer, say).
std::unique_ptr<io::ByteSource> open_12da_archive(std::unique_ptr<io::RandomAccessBytes> file, std::string& member,
                                                  std::string& why, const io::ZipLimits& limits = {});
// The same of an archive whose directory is read.
std::unique_ptr<io::ByteSource> open_12da_member(std::unique_ptr<io::ZipArchive> zip, std::string& member,
                                                 std::string& why, const io::ZipLimits& limits = {});

// OPENFILE of File 1 with code "I ": a .12daz by its .12da member, the
// member's name shown after the unit, and anything else as a plain file.
void open_12d_file(int& unit, std::string_view file1);

}  // namespace velmorak::d12
