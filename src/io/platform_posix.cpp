// The file layer's system calls on POSIX (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <system_error>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "io/platform.h"

namespace velmorak::io::platform {
namespace {

bool stat_name(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

// A plain file read from its descriptor.
class DescriptorSource final : public ByteSource {
public:
    explicit DescriptorSource(int fd) : fd_(fd) {}
    ~DescriptorSource() override { ::close(fd_); }
    DescriptorSource(const DescriptorSource&) = delete;
    DescriptorSource& operator=(const DescriptorSource&) = delete;

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        for (;;) {
            const ssize_t got = ::read(fd_, dst, n);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) why_ = error_text(errno);
            return static_cast<std::ptrdiff_t>(got);
        }
    }
    bool rewind() override { return ::lseek(fd_, 0, SEEK_SET) == 0; }
    std::optional<std::uint64_t> size() const override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return std::nullopt;
        return static_cast<std::uint64_t>(st.st_size);
    }
    const std::string& error() const override { return why_; }

private:
    int fd_;
    std::string why_;
};

class DescriptorSink final : public ByteSink {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    ~DescriptorSink() override { close(); }
    DescriptorSink(const DescriptorSink&) = delete;
    DescriptorSink& operator=(const DescriptorSink&) = delete;

    bool write(const void* src, std::size_t n) override {
        const char* p = static_cast<const char*>(src);
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::write(fd_, p + done, n - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                why_ = error_text(got < 0 ? errno : ENOSPC);
                return false;
            }
            done += static_cast<std::size_t>(got);
        }
        return true;
    }
    bool close() override {
        if (fd_ < 0) return true;
        const bool ok = ::close(fd_) == 0;
        if (!ok) why_ = error_text(errno);
        fd_ = -1;
        return ok;
    }
    const std::string& error() const override { return why_; }

private:
    int fd_;
    std::string why_;
};

}  // namespace

std::string native_name(std::string_view name) {
    std::string s(name);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::filesystem::path native_path(std::string_view name) { return std::filesystem::path(native_name(name)); }

std::string input_name(std::string_view name) {
    std::string path = native_name(name);
    struct stat st {};
    if (path.empty() || stat_name(path, st)) return path;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string_view leaf = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..") return path;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return path;
    std::string found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!equal_ignoring_case(entry->d_name, leaf)) continue;
        found = entry->d_name;
        if (++matches > 1) break;
    }
    ::closedir(dir);
    if (matches != 1) return path;
    return path.substr(0, slash == std::string::npos ? 0 : slash + 1) + found;
}

bool exists(std::string_view name) {
    struct stat st {};
    return stat_name(input_name(name), st);
}

std::optional<std::int64_t> modified_seconds(std::string_view name) {
    struct stat st {};
    if (!stat_name(input_name(name), st)) return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtime);
}

bool same_existing_file(std::string_view a, std::string_view b) {
    struct stat sa {}, sb {};
    if (!stat_name(input_name(a), sa) || !stat_name(input_name(b), sb)) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::unique_ptr<ByteSource> open_for_reading(std::string_view name, std::string& why) {
    const std::string path = input_name(name);
    // Without O_NONBLOCK a named pipe would hold the run until some other
    // program wrote to it; it is refused below like anything else that is not
    // a plain file, since the readers rewind and re-read their inputs.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = error_text(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        why = error_text(errno);
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        why = S_ISDIR(st.st_mode) ? error_text(EISDIR) : std::string("Not a regular file");
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<DescriptorSource>(fd);
}

std::unique_ptr<ByteSink> open_for_writing(std::string_view name, bool append, std::string& why) {
    const std::string path = native_name(name);
    // A named pipe nobody reads would hold the run in open() without O_NONBLOCK;
    // with it such a pipe fails like any output that cannot be created.
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : O_TRUNC);
    const int fd = ::open(path.c_str(), flags, 0666);
    if (fd < 0) {
        why = error_text(errno);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<DescriptorSink>(fd);
}

std::string error_text(int err) { return std::generic_category().message(err); }

void* allocate_aligned(std::size_t alignment, std::size_t bytes, bool large) {
    const std::size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    void* p = std::aligned_alloc(alignment, rounded);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Only advice: where huge pages are off, the memory is ordinary pages.
    if (p != nullptr && large) ::madvise(p, rounded, MADV_HUGEPAGE);
#else
    (void)large;
#endif
    return p;
}

void free_aligned(void* p) noexcept { std::free(p); }

void binary_standard_streams() {}

// ------------------------------------------------ command line and console

std::vector<std::string> command_line(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool standard_input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

std::istream& console_input() { return std::cin; }

std::ostream& console_output() { return std::cout; }

void run_command(const std::string& command) { [[maybe_unused]] const int status = std::system(command.c_str()); }

}  // namespace velmorak::io::platform
