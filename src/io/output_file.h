#pragma once
// Buffered output: records are appended to one buffer that goes to the file
// a megabyte at a time. Lines end in "\n". A write that fails is remembered
// and reported by close(), which a caller must check.
//
// A file written anew goes to a temporary beside it (see FileSink) and takes
// its place in close(), so that the file is replaced only by a whole one. An
// output destroyed without close() (the run stopped) leaves the file as it was.
// A device, a named pipe and a file appended to are written in place.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmorak::io {

class FileSink;

class OutputFile {
public:
    // Creates or empties the file (or appends to it); nullptr with the reason on
    // failure, also at once for a named pipe that no program reads. With
    // `to_disk`, a file written anew is flushed to the disk (fdatasync) before
    // it takes its name, so that a power loss leaves the old file or the new
    // one; without, a power loss soon after the run may leave it empty.
    static std::unique_ptr<OutputFile> create(std::string_view name, bool append, std::string* why = nullptr,
                                              bool to_disk = true);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Append freely to buffer(), then call commit() once per record.
    std::string& buffer() noexcept { return buf_; }
    void commit() {
        if (buf_.size() >= kFlushAt) flush();
    }
    void write(std::string_view text) {
        buf_.append(text);
        commit();
    }
    void line(std::string_view text) {
        buf_.append(text);
        buf_.push_back('\n');
        commit();
    }
    bool flush();
    // finish() and then replace(): false when the file could not be written whole.
    bool close();
    // Writes what is left and closes the file; false when not all was written.
    bool finish();
    // After finish(): the file written takes the place of the one it replaces;
    // false when it cannot.
    bool replace();
    // Drops the file written, leaving the one it was to replace as it was
    // (a file written in place keeps what was written).
    void discard() noexcept;
    bool failed() const noexcept { return failed_; }
    // The file this one writes in place or replaces, when there was one.
    const std::optional<std::pair<std::uint64_t, std::uint64_t>>& identity() const noexcept { return identity_; }
    const std::string& failure() const noexcept { return why_; }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    explicit OutputFile(std::unique_ptr<FileSink> sink);
    std::unique_ptr<FileSink> sink_;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity_;
    std::string buf_;
    bool failed_ = false;
    std::string why_;
};

}  // namespace velmorak::io
