#pragma once
// Members of ZIP archives, read as byte sources.
//
// ZipArchive::open reads an archive's directory: the end record, its ZIP64
// records and the entries. open_member hands back one member as a byte source
// that inflates it as it is read (nothing is unpacked to disk or held whole
// in memory). What the directory shows - not a ZIP archive, a cut archive, a
// directory pointing outside the file, an encrypted member, a method other
// than stored or DEFLATE, a member that would inflate past the limits - comes
// as one sentence in `why` before anything is read. What only the data shows -
// damaged compressed data, a CRC-32 or length that differs from the
// directory's - comes as a failed read when it is met (at the end of the
// member for the CRC-32), with the sentence in the source's error().
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_source.h"

namespace velmorak::io {

class FileSource;

struct ZipLimits {
    std::uint64_t ratio = 100;                          // a member at most this many times the archive's size
    std::uint64_t max_output = std::uint64_t{1} << 32;  // and never more than 4 GiB
};

// What the directory says of one member.
struct ZipEntry {
    std::string name;  // as the archive stores it
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0;
    std::uint64_t size = 0;
    std::uint64_t local_offset = 0;
    bool zip64_missing = false;  // its 32-bit fields defer to a ZIP64 field it lacks
};

class ZipArchive {
public:
    // The archive of this name, found as inputs are (letter case); nullptr and
    // the reason in `why` when it cannot be read or is no sound ZIP archive.
    static std::unique_ptr<ZipArchive> open(std::string_view name, std::string& why);
    // The archive in `file`, any bytes that can be read at offsets (a file of
    // GDAL's virtual file layer, say).
    static std::unique_ptr<ZipArchive> open(std::unique_ptr<RandomAccessBytes> file, std::string& why);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::vector<ZipEntry>& entries() const noexcept { return entries_; }
    // The member entries()[index], read from the start; the archive hands over
    // its file to it and is spent. nullptr and the reason in `why` when it
    // cannot be read.
    std::unique_ptr<ByteSource> open_member(std::size_t index, std::string& why, const ZipLimits& limits = {});

private:
    explicit ZipArchive(std::unique_ptr<RandomAccessBytes> file);
    std::unique_ptr<RandomAccessBytes> file_;
    std::vector<ZipEntry> entries_;
    std::uint64_t directory_ = 0;  // where the central directory starts: every member lies before it
};

}  // namespace velmorak::io
