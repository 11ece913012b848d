#pragma once
// Compressed 12d ASCII archives (".12daz"): a ZIP archive that holds one
// ".12da" member, usually UTF-16LE and DEFLATE-compressed, named after the
// project rather than after the archive.
//
// open_12da_archive reads the archive's directory, picks its one member whose
// name ends in ".12da" (any case) and hands it back as an InputFile that
// inflates the member as the reader asks for lines (nothing is unpacked to
// disk or held whole in memory; a second thread inflates a few blocks ahead).
// What the directory shows - not a ZIP archive, no or several .12da members,
// an encrypted member, a method other than stored or DEFLATE, a cut archive,
// a directory pointing outside the file, a member that would inflate past 100
// times the archive's size or past 4 GiB - gives nullptr and one sentence in
// `why` before anything is read. What only the data shows - damaged
// compressed data, a CRC-32 or length that differs from the directory's -
// comes when it is met (at the end of the member for the CRC-32), through
// `on_failure`, which is meant to stop the run.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"

namespace velmorak::io {

// True for a name ending in ".12daz", any case.
bool is_12da_archive_name(std::string_view name);

struct ArchiveLimits {
    std::uint64_t ratio = 100;                       // output at most this many times the archive's size
    std::uint64_t max_output = std::uint64_t{1} << 32;  // and never more than 4 GiB
};

// `member` receives the name of the member read, as the archive stores it.
std::unique_ptr<InputFile> open_12da_archive(std::string_view name, std::string& member, std::string& why,
                                             std::function<void(const std::string&)> on_failure = {},
                                             const ArchiveLimits& limits = {});

// The same member as its bytes, undecoded, for a reader that decodes the text
// itself (the GDAL driver hands GDAL UTF-8 rather than Windows-1252).
std::unique_ptr<ByteSource> open_12da_member(std::string_view name, std::string& member, std::string& why,
                                             std::function<void(const std::string&)> on_failure = {},
                                             const ArchiveLimits& limits = {});

}  // namespace velmorak::io
