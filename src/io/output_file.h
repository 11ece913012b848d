#pragma once
// Buffered output: records are appended to one buffer that goes to the file
// a megabyte at a time. Lines end in "\n". A write that fails is remembered
// and reported by close(), which a caller must check.
#include <memory>
#include <string>
#include <string_view>

namespace velmorak::io {

class FileSink;

class OutputFile {
public:
    // Creates or empties the file (or appends to it); nullptr with the reason on
    // failure, also at once for a named pipe that no program reads.
    static std::unique_ptr<OutputFile> create(std::string_view name, bool append, std::string* why = nullptr);
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
    bool close();
    bool failed() const noexcept { return failed_; }
    const std::string& failure() const noexcept { return why_; }

private:
    static constexpr std::size_t kFlushAt = 1 << 20;
    explicit OutputFile(std::unique_ptr<FileSink> sink);
    std::unique_ptr<FileSink> sink_;
    std::string buf_;
    bool failed_ = false;
    std::string why_;
};

}  // namespace velmorak::io
