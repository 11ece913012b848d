// The file layer's system calls on POSIX (Linux).
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdio>
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

int descriptor(Handle file) { return static_cast<int>(file); }

// A failed call's result, with errno kept for the caller.
template <typename T>
T failed(T result, int& err) {
    err = errno;
    return result;
}

// The folder part of a name: "." for a bare leaf.
std::string folder_of(const char* name) {
    const std::string_view path(name);
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? "." : slash == 0 ? "/" : std::string(path.substr(0, slash));
}

#if defined(__linux__) && defined(O_TMPFILE)
// An unnamed file is named through its /proc entry (linkat with
// AT_EMPTY_PATH would need a privilege); without /proc there are none.
bool proc_fd_usable() {
    static const bool usable = ::access("/proc/self/fd", X_OK) == 0;
    return usable;
}

Handle open_unnamed(const char* name, int& err) {
    if (!proc_fd_usable()) {
        err = ENOSYS;
        return kNoHandle;
    }
    const int fd = ::open(folder_of(name).c_str(), O_WRONLY | O_TMPFILE | O_CLOEXEC, 0666);
    return fd >= 0 ? fd : failed(kNoHandle, err);
}

bool link_unnamed(Handle file, const char* to, int& err) {
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", descriptor(file));
    for (;;) {
        if (::linkat(AT_FDCWD, proc, AT_FDCWD, to, AT_SYMLINK_FOLLOW) == 0) return true;
        if (errno != EINTR) return failed(false, err);
    }
}

Handle keep_unnamed_file(Handle file, int& err) {
    char proc[40];
    std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", descriptor(file));
    const int fd = ::open(proc, O_RDONLY | O_CLOEXEC);
    return fd >= 0 ? fd : failed(kNoHandle, err);
}
#else
Handle keep_unnamed_file(Handle, int& err) {
    err = ENOSYS;
    return kNoHandle;
}

Handle open_unnamed(const char*, int& err) {
    err = ENOSYS;
    return kNoHandle;
}

bool link_unnamed(Handle, const char*, int& err) {
    err = ENOSYS;
    return false;
}
#endif

}  // namespace

namespace native {

Handle open(const char* name, OpenFor how, int& err) {
    if (how == OpenFor::unnamed) return open_unnamed(name, err);
    if (how == OpenFor::creating) {
        const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd >= 0 ? fd : failed(kNoHandle, err);
    }
    if (how != OpenFor::reading) {
        // A named pipe nobody reads would hold the run in open() without
        // O_NONBLOCK; with it such a pipe fails like any output that cannot be created.
        const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (how == OpenFor::appending ? O_APPEND : O_TRUNC);
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

bool rename(const char* from, const char* to, int& err) {
    // A rename interrupted (a network file system, a signal held meanwhile) is
    // made again: the other file of a layer may have its name already.
    for (;;) {
        if (::rename(from, to) == 0) return true;
        if (errno != EINTR) return failed(false, err);
    }
}

bool link(Handle file, const char* to, int& err) { return link_unnamed(file, to, err); }

Handle keep_unnamed(Handle file, int& err) { return keep_unnamed_file(file, err); }

bool sync(Handle file, int& err) {
#if defined(__APPLE__)
    return ::fsync(descriptor(file)) == 0 || failed(false, err);
#else
    return ::fdatasync(descriptor(file)) == 0 || failed(false, err);
#endif
}

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

std::filesystem::path native_path(std::string_view name) { return std::filesystem::path(native_name(name)); }

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

std::optional<std::pair<std::uint64_t, std::uint64_t>> file_identity(std::string_view name) {
    struct stat st {};
    if (!stat_name(native_name(name), st)) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(st.st_dev, st.st_ino);
}

namespace {

// The file a chain of symbolic links ends at when that file does not exist;
// false for a loop, or a chain too long to follow.
bool dangling_target(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
        if (!S_ISLNK(st.st_mode)) return false;
        std::string to(4096, '\0');
        const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= to.size()) return false;
        to.resize(static_cast<std::size_t>(n));
        // A relative link is read from the folder the link is in.
        if (to.front() != '/') to = folder_of(path.c_str()) + "/" + to;
        path = to;
    }
    return false;
}

void name_temporary(OutputPlan& plan, bool shorter) {
    const std::size_t slash = plan.target.find_last_of('/');
    const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
    // ".site.12da.mif.velmorak-1234.tmp": hidden, and telling what it is and whose.
    plan.temporary.assign(plan.target, 0, leaf).push_back('.');
    if (!shorter) plan.temporary.append(plan.target, leaf).push_back('.');
    static const std::string pid = std::to_string(::getpid());
    plan.temporary.append("velmorak-").append(pid);
    // A short name (for a target whose name is too long to lengthen) is told
    // apart from the run's others by a count of its own: a layer's .mif and
    // .mid are open at once.
    static unsigned shortened = 0;
    if (shorter) plan.temporary.append("-").append(std::to_string(++shortened));
    plan.temporary.append(".tmp");
}

}  // namespace

bool plan_output(std::string_view name, bool shorter, OutputPlan& plan, std::string& why) {
    plan = {};
    plan.target = native_name(name);
    struct stat st {};
    if (::lstat(plan.target.c_str(), &st) != 0) {
        // Anything but a new file is left to the open, which reports it.
        if (errno != ENOENT) return true;
        plan.unnamed = true;
    } else {
        const bool link = S_ISLNK(st.st_mode);
        // A link that leads nowhere: the file it names is written like a new
        // one, through a temporary beside it, and the link stays.
        if (link && ::stat(plan.target.c_str(), &st) != 0) {
            if (errno != ENOENT || !dangling_target(plan.target)) return true;
            plan.unnamed = true;
            name_temporary(plan, shorter);
            return true;
        }
        plan.identity = std::pair<std::uint64_t, std::uint64_t>(st.st_dev, st.st_ino);
        if (!S_ISREG(st.st_mode)) return true;  // a device or a named pipe in place; a folder fails to open
        if (link) {
            // The link stays; the file it leads to is replaced.
            char* real = ::realpath(plan.target.c_str(), nullptr);
            if (real == nullptr) return true;
            plan.target = real;
            std::free(real);
        }
        // A file the user may not write is not replaced either.
        if (::access(plan.target.c_str(), W_OK) != 0) {
            why = error_text(errno);
            return false;
        }
        plan.permissions = static_cast<int>(st.st_mode & 07777);
    }
    name_temporary(plan, shorter);
    return true;
}

void set_permissions(Handle file, int permissions) {
    // What the user's umask left of them on a new file is no reason to fail.
    [[maybe_unused]] const int ignored = ::fchmod(descriptor(file), static_cast<mode_t>(permissions));
}

namespace {

extern "C" void remove_temporaries_and_exit(int signal) {
    remove_held_temporaries();
    ::_exit(128 + signal);
}

}  // namespace

namespace {
int g_holds = 0;  // only the run's own thread holds
}  // namespace

void hold_interrupts() noexcept {
    if (g_holds++ > 0) return;
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
}

void release_interrupts() noexcept {
    if (--g_holds > 0) return;
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, signal);
    // A signal that came meanwhile is delivered here, and ends the run.
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void remove_temporaries_on_interrupt() {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_exit;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction before {};
        // A signal the shell had ignored (a run started with nohup) stays ignored.
        if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        ::sigaction(signal, &action, nullptr);
    }
}

Handle lock_file(const char* name, void (*waiting)(void* context), void* context, int& err) {
    bool told = false;
    for (;;) {
        const int fd = ::open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) return failed(kNoHandle, err);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                err = errno;
                ::close(fd);
                return kNoHandle;
            }
            if (!told) waiting(context);
            told = true;
            while (::flock(fd, LOCK_EX) != 0) {
                if (errno == EINTR) continue;
                err = errno;
                ::close(fd);
                return kNoHandle;
            }
        }
        // The run before removed the file as it let go: this lock is on a file
        // no longer in the folder, which the next run would not see.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(name, &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino)
            return fd;
        ::close(fd);
    }
}

void unlock_file(Handle lock, const char* name) noexcept {
    if (lock == kNoHandle) return;
    ::unlink(name);  // while still held: a run waiting on it then tries the name again
    ::close(descriptor(lock));
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

// ------------------------------------------------ command line and console

std::vector<std::string> command_line(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool standard_input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

std::istream& console_input() { return std::cin; }

std::ostream& console_output() { return std::cout; }

std::ostream& console_error() { return std::cerr; }

void run_command(const std::string& command) { [[maybe_unused]] const int status = std::system(command.c_str()); }

}  // namespace velmorak::io::platform
