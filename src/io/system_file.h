#pragma once
// Files the system holds open, read and written through the table of system
// calls (platform.h), the same way on every system.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "io/byte_source.h"
#include "io/platform.h"

namespace velmorak::io {

// A plain file opened for shared reading, read in sequence or at offsets.
// It remembers the size the file had when it was opened: a file that ends
// before that size was cut while it was read (another program rewrote it, a
// copy failed), and reading it fails instead of ending early.
class FileSource final : public ByteSource {
public:
    // `name` as inputs are found (the letter-case lookup); nullptr and the
    // reason in `why` for a folder, a device, a named pipe or a missing file.
    static std::unique_ptr<FileSource> open(std::string_view name, std::string& why);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    std::ptrdiff_t read(void* dst, std::size_t n) override;
    bool rewind() override;
    std::optional<std::uint64_t> size() const override { return opened_size_; }
    const std::string& error() const override { return why_; }
    bool seekable() const override { return true; }
    bool seek(std::uint64_t offset) override;
    // Exactly n bytes from `offset`; false when they cannot all be read:
    // error() says why, and is empty when they lie beyond the size the file
    // was opened with.
    bool read_at(std::uint64_t offset, void* dst, std::size_t n);

private:
    FileSource(platform::Handle file, std::uint64_t size) : file_(file), opened_size_(size) {}
    bool fail(int err);
    bool ended_early(std::uint64_t at);
    platform::Handle file_;
    std::uint64_t opened_size_;
    std::uint64_t position_ = 0;
    bool placed_ = false;  // seek() placed it: reads go by offset
    std::string why_;
};

// Where an output's bytes go. A replacing sink writes a temporary beside the
// file it replaces (platform::plan_output) and puts it in that file's place on
// commit(); discard() removes it, so the file replaced stays as it was. A
// sink written in place (a device, a named pipe, a file appended to) has
// nothing to commit or discard. Destroyed before commit(), a sink discards.
class FileSink {
public:
    // `to_disk`: the data goes to the disk before the file takes its name
    // (see OutputFile::create).
    static std::unique_ptr<FileSink> create(std::string_view name, bool append, std::string& why, bool to_disk = true);
    ~FileSink();
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    // Writes all n bytes; false (error() says why) when it cannot.
    bool write(const void* src, std::size_t n);
    // Closes the file; false when the system reports that not all was written.
    bool close();
    // After close(): the temporary takes the place of its target.
    bool commit();
    // Closes without report and removes the temporary.
    void discard() noexcept;
    const std::string& error() const { return why_; }
    // Written in place: what is written stays, also without commit().
    bool in_place() const noexcept { return plan_.temporary.empty(); }
    // The file written in place or replaced, when there was one (platform::file_identity).
    const std::optional<std::pair<std::uint64_t, std::uint64_t>>& identity() const noexcept { return plan_.identity; }

private:
    FileSink(platform::Handle file, platform::OutputPlan plan, int slot)
        : file_(file), plan_(std::move(plan)), slot_(slot) {}
    bool fail(int err);
    bool commit_unnamed();
    platform::Handle file_;
    bool closed_ = false;
    bool kept_ = false;  // file_ is the read-only handle that keeps a closed unnamed file
    bool to_disk_ = true;
    platform::OutputPlan plan_;
    int slot_;  // the temporary's slot for removal on an interrupt
    std::string why_;
};

}  // namespace velmorak::io
