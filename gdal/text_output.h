#pragma once
// Where the driver's 12d text goes: a file through GDAL's virtual file layer,
// as UTF-8 with a byte order mark or, as the terrain package writes its own
// exports, as UTF-16LE with a byte order mark and CRLF line ends; for a
// ".12daz" destination inside a ZIP archive of one member. The text is
// gathered in a buffer and leaves it, encoded, a megabyte at a time, always up
// to a line end, so no character is cut between two pieces.
#include <cpl_vsi.h>

#include <memory>
#include <string>

#include "io/zip_writer.h"

namespace velmorak::gdal12 {

class TextOutput {
public:
    enum class Encoding { utf8, utf16 };
    // Creates the file (the archive when `member` is not empty); nullptr and the reason when it cannot.
    static std::unique_ptr<TextOutput> create(const std::string& path, Encoding encoding, const std::string& member,
                                              std::string& why);
    ~TextOutput();
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;

    // UTF-8 text with "\n" line ends; call commit() after each piece.
    std::string& buffer() noexcept { return buf_; }
    bool commit() { return buf_.size() < kFlushAt || flush(false); }
    // Writes out what is left and completes the file; false when any write failed.
    bool close();
    const std::string& error() const noexcept { return why_; }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    TextOutput(VSILFILE* f, Encoding encoding) : f_(f), encoding_(encoding) {}
    bool flush(bool all);
    bool put(const void* data, std::size_t n);
    bool fail(std::string why);

    VSILFILE* f_;
    Encoding encoding_;
    std::unique_ptr<io::ZipWriter> zip_;
    std::string buf_;
    std::string encoded_;
    bool failed_ = false;
    bool closed_ = false;
    std::string why_;
};

}  // namespace velmorak::gdal12
