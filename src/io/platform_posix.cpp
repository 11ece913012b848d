// The file layer's system calls on POSIX (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
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

int descriptor(Handle file) { return static_cast<int>(file); }

// A failed call's result, with errno kept for the caller.
template <typename T>
T failed(T result, int& err) {
    err = errno;
    return result;
}

}  // namespace

namespace native {

Handle open(const char* name, OpenFor how, int& err) {
    if (how != OpenFor::reading) {
        // A named pipe nobody reads would hold the run in open() without
        // O_NONBLOCK; with it such a pipe fails like any output that cannot be created.
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK;
        flags |= how == OpenFor::creating ? O_EXCL : how == OpenFor::appending ? O_APPEND : O_TRUNC;
        const int fd = ::open(name, flags, 0666);
        if (fd < 0) return failed(kNoHandle, err);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        return fd;
    }
    // Without O_NONBLOCK a named pipe would hold the run until some other
    // program wrote to it; it is refused below like anything else that is not
    // a plain file, since the readers rewind and re-read their inputs.
    const int fd = ::open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return failed(kNoHandle, err);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        err = errno;
        ::close(fd);
        return kNoHandle;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        err = S_ISDIR(st.st_mode) ? EISDIR : kNotRegularFile;
        return kNoHandle;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::ptrdiff_t read(Handle file, void* dst, std::size_t n, int& err) {
    for (;;) {
        const ssize_t got = ::read(descriptor(file), dst, n);
        if (got >= 0) return got;
        if (errno != EINTR) return failed<std::ptrdiff_t>(-1, err);
    }
}

std::ptrdiff_t read_at(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err) {
    for (;;) {
        const ssize_t got = ::pread(descriptor(file), dst, n, static_cast<off_t>(offset));
        if (got >= 0) return got;
        if (errno != EINTR) return failed<std::ptrdiff_t>(-1, err);
    }
}

std::ptrdiff_t write(Handle file, const void* src, std::size_t n, int& err) {
    for (;;) {
        const ssize_t put = ::write(descriptor(file), src, n);
        if (put >= 0) return put;
        if (errno != EINTR) return failed<std::ptrdiff_t>(-1, err);
    }
}

bool close(Handle file, int& err) { return ::close(descriptor(file)) == 0 || failed(false, err); }

bool rewind(Handle file) { return ::lseek(descriptor(file), 0, SEEK_SET) == 0; }

std::int64_t size(Handle file) {
    struct stat st {};
    if (::fstat(descriptor(file), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

bool rename(const char* from, const char* to, int& err) { return ::rename(from, to) == 0 || failed(false, err); }

bool remove(const char* name) { return ::unlink(name) == 0; }

void* open_folder(const char* name) { return ::opendir(name); }

const char* next_in_folder(void* folder) {
    const dirent* entry = ::readdir(static_cast<DIR*>(folder));
    return entry != nullptr ? entry->d_name : nullptr;
}

void close_folder(void* folder) { ::closedir(static_cast<DIR*>(folder)); }

}  // namespace native

std::string native_name(std::string_view name) {
    std::string s(name);
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string input_name(std::string_view name) {
    std::string path = native_name(name);
    struct stat st {};
    if (path.empty() || stat_name(path, st)) return path;
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string_view leaf = slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
    if (leaf.empty() || leaf == "." || leaf == "..") return path;
    SystemCalls& sys = system_calls();
    void* dir = sys.open_folder(folder.c_str());
    if (dir == nullptr) return path;
    std::string found;
    int matches = 0;
    while (const char* entry = sys.next_in_folder(dir)) {
        if (!equal_ignoring_case(entry, leaf)) continue;
        found = entry;
        if (++matches > 1) break;
    }
    sys.close_folder(dir);
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
    if (!stat_name(native_name(a), sa) || !stat_name(native_name(b), sb)) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string error_text(int err) {
    if (err == kNotRegularFile) return "Not a regular file";
    return std::generic_category().message(err);
}

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

}  // namespace velmorak::io::platform
