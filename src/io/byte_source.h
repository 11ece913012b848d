#pragma once
// Where an input file's bytes come from: a plain file on disk, or a member of
// an archive inflated as it is read. The line reader (InputFile) asks for
// bytes in large pieces and may go back to the first one. A source that can
// also be placed at any byte (a plain file) lets a reader go straight to a
// string whose place it noted; one that can only stream forward and start
// again (an archive member, a pipe) serves every reader all the same.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmorak::io {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to n bytes into dst: how many were read, 0 at the end, -1 on an error
    // (error() then says what went wrong, in words fit for the console).
    virtual std::ptrdiff_t read(void* dst, std::size_t n) = 0;
    // Starts again at the first byte; false when it cannot.
    virtual bool rewind() = 0;
    // How many bytes the source holds, when known: sizes the reader's buffer.
    virtual std::optional<std::uint64_t> size() const = 0;
    virtual const std::string& error() const = 0;
    // Whether seek() can place the source at any byte, cheaply.
    virtual bool seekable() const { return false; }
    // The next read starts at byte `offset`; false when the source cannot go there.
    virtual bool seek(std::uint64_t offset) {
        (void)offset;
        return false;
    }
};

// Bytes that can be read at any offset, without a position of their own: what
// the archive reader needs of the file that holds an archive (a plain file, or
// a file of GDAL's virtual file layer).
class RandomAccessBytes {
public:
    virtual ~RandomAccessBytes() = default;
    // Exactly n bytes from `offset`; false when they cannot all be read:
    // error() says why, and is empty when they lie beyond size().
    virtual bool read_at(std::uint64_t offset, void* dst, std::size_t n) = 0;
    virtual std::uint64_t size() const = 0;
    virtual const std::string& error() const = 0;
};

}  // namespace velmorak::io
