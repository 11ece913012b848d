#pragma once
// Writes a ZIP archive of one member (a compressed 12d ASCII archive,
// ".12daz", holds one ".12da"), streamed: the member's bytes are deflated as
// they come and the archive goes out in order, with nothing written twice, so
// its destination need not be able to seek (a pipe will do). Hence the member
// carries a data descriptor (general purpose bit 3): its CRC-32 and sizes
// follow its data, and the central directory repeats them, which is where
// readers (ours, Info-ZIP's unzip, Python's zipfile) take them from.
//
// ZIP64 records are written where the classic 32-bit fields cannot hold a
// size or an offset (a member of 4 GiB or more), or everywhere when asked.
// A name that is not plain ASCII is stored as UTF-8 with bit 11 set.
//
// Failures (of zlib, or of the destination) are remembered: every later call
// returns false and error() says what went wrong.
#include <zlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velmorak::io {

struct ZipOptions {
    int level = Z_DEFAULT_COMPRESSION;  // zlib's compression level
    bool zip64 = false;                  // ZIP64 records even where the sizes do not need them
    std::uint16_t dos_time = 0;          // the member's modification time and date in MS-DOS
    std::uint16_t dos_date = 0x21;       // form (1980-01-01 when not given)
};

// MS-DOS time and date of a moment given in seconds since 1970 (local time).
void dos_time_of(std::int64_t seconds, std::uint16_t& time, std::uint16_t& date);

class ZipWriter {
public:
    // `out` receives the archive's bytes in order and answers false, with its
    // reason in `why`, when it cannot take them.
    using Out = std::function<bool(const void* data, std::size_t n, std::string& why)>;

    ZipWriter(Out out, std::string member, ZipOptions options = {});
    ~ZipWriter();
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;

    // Adds n bytes to the member.
    bool write(const void* data, std::size_t n);
    // Ends the member and writes the directory; the archive is complete once it returns true.
    bool finish();
    const std::string& error() const noexcept { return why_; }

private:
    bool emit(const void* data, std::size_t n);
    bool emit(const std::vector<unsigned char>& bytes) { return emit(bytes.data(), bytes.size()); }
    bool deflate_some(int flush);
    bool fail(std::string why);

    Out out_;
    std::string member_;
    ZipOptions options_;
    z_stream zs_{};
    bool deflating_ = false;
    bool started_ = false;
    bool finished_ = false;
    bool failed_ = false;
    std::uint32_t crc_ = 0;
    std::uint64_t size_ = 0;        // member bytes taken
    std::uint64_t compressed_ = 0;  // deflated bytes written
    std::uint64_t written_ = 0;     // archive bytes written
    std::vector<unsigned char> buffer_;
    std::string why_;
};

}  // namespace velmorak::io
