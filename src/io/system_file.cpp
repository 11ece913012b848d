#include "io/system_file.h"

#include <cerrno>

#include "io/platform.h"

namespace velmorak::io {

namespace platform {

SystemCalls& system_calls() {
    static SystemCalls calls{native::open,   native::read,   native::read_at,        native::write,
                             native::close,  native::rewind, native::size,           native::rename,
                             native::remove, native::open_folder, native::next_in_folder, native::close_folder};
    return calls;
}

}  // namespace platform

using platform::system_calls;

// ---------------------------------------------------------------- reading

std::unique_ptr<FileSource> FileSource::open(std::string_view name, std::string& why) {
    const std::string path = platform::input_name(name);
    int err = 0;
    const platform::Handle file = system_calls().open(path.c_str(), platform::OpenFor::reading, err);
    if (file == platform::kNoHandle) {
        why = platform::error_text(err);
        return nullptr;
    }
    const std::int64_t size = system_calls().size(file);
    return std::unique_ptr<FileSource>(new FileSource(file, size > 0 ? static_cast<std::uint64_t>(size) : 0));
}

FileSource::~FileSource() {
    int ignored = 0;
    system_calls().close(file_, ignored);
}

bool FileSource::fail(int err) {
    why_ = platform::error_text(err);
    return false;
}

std::ptrdiff_t FileSource::read(void* dst, std::size_t n) {
    if (n == 0) return 0;
    int err = 0;
    const std::ptrdiff_t got = system_calls().read(file_, dst, n, err);
    if (got < 0) {
        fail(err);
        return -1;
    }
    position_ += static_cast<std::uint64_t>(got);
    return got;
}

bool FileSource::rewind() {
    if (!system_calls().rewind(file_)) return false;
    position_ = 0;
    return true;
}

bool FileSource::read_at(std::uint64_t offset, void* dst, std::size_t n) {
    if (offset > opened_size_ || n > opened_size_ - offset) return fail(EIO);
    auto* p = static_cast<char*>(dst);
    while (n > 0) {
        int err = 0;
        const std::ptrdiff_t got = system_calls().read_at(file_, p, n, offset, err);
        if (got < 0) return fail(err);
        if (got == 0) {
            why_ = "The file ended before its " + std::to_string(opened_size_) +
                   " bytes: it was changed while it was read.";
            return false;
        }
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// ---------------------------------------------------------------- writing

std::unique_ptr<FileSink> FileSink::create(std::string_view name, bool append, std::string& why) {
    const std::string path = platform::native_name(name);
    int err = 0;
    const platform::Handle file =
        system_calls().open(path.c_str(), append ? platform::OpenFor::appending : platform::OpenFor::replacing, err);
    if (file == platform::kNoHandle) {
        why = platform::error_text(err);
        return nullptr;
    }
    return std::unique_ptr<FileSink>(new FileSink(file));
}

FileSink::~FileSink() { close(); }

bool FileSink::fail(int err) {
    why_ = platform::error_text(err);
    return false;
}

bool FileSink::write(const void* src, std::size_t n) {
    if (file_ == platform::kNoHandle) return fail(EBADF);
    const char* p = static_cast<const char*>(src);
    while (n > 0) {
        int err = 0;
        const std::ptrdiff_t put = system_calls().write(file_, p, n, err);
        if (put <= 0) return fail(put < 0 ? err : ENOSPC);
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool FileSink::close() {
    if (file_ == platform::kNoHandle) return true;
    int err = 0;
    const bool ok = system_calls().close(file_, err);
    file_ = platform::kNoHandle;
    return ok || fail(err);
}

}  // namespace velmorak::io
