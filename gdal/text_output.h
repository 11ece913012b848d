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

#include "io/system_file.h"
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
    // Writes out what is left and completes the file; false when any write
    // failed, and then a file of the system that was to be replaced stays as
    // it was, and a new one is not left.
    bool close();
    // Ends the file as a failed one: nothing of it is left.
    void abandon();
    // A path of the system's files rather than one of GDAL's virtual files (/vsimem/, /vsizip/ ...).
    static bool is_system_path(const std::string& path);
    const std::string& error() const noexcept { return why_; }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    TextOutput(VSILFILE* f, Encoding encoding) : f_(f), encoding_(encoding) {}
    bool flush(bool all);
    bool put(const void* data, std::size_t n);
    bool write_out(const void* data, std::size_t n);
    bool fail(std::string why);

    VSILFILE* f_;  // a virtual file of GDAL's ...
    std::unique_ptr<io::FileSink> sink_;  // ... or a file of the system, replaced whole
    std::string path_;
    Encoding encoding_;
    std::unique_ptr<io::ZipWriter> zip_;
    std::string buf_;
    std::string encoded_;
    bool failed_ = false;
    bool closed_ = false;
    std::string why_;
};

}  // namespace velmorak::gdal12
