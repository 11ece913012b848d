#pragma once
// Where an input file's bytes come from: a plain file on disk, or a member of
// an archive inflated as it is read. The line reader (InputFile) asks for
// bytes in large pieces and may go back to the first one; it never seeks
// anywhere else, so a source that can only stream forward and start again
// serves it.
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
};

}  // namespace velmorak::io
