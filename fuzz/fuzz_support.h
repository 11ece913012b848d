#pragma once
// What the fuzz targets share: the input written to a file the readers can
// open by name, and a run whose standard input is empty, so that every pause
// ends at once and every prompt ends the run.
//
// In one input of four, reading the scratch file fails (as a disk does) at a
// byte chosen by a hash of the input, so that it moves as the fuzzer mutates
// it: a reader that loops or reads on after a failed read is then found as a
// hang or a crash.
//
// A stop of the run (STOPRUN, the run-time stop, the end of standard input at
// a prompt) is how the converter answers bad input: the targets catch RunStop
// and go on with the next input. Anything else that escapes is a defect.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <string_view>

#include "io/platform.h"
#include "services/runtime.h"

namespace velmorak::fuzz {

// The reads of armed files fail with EIO from a given byte, through the file
// layer's table of system calls.
class FailingReads {
public:
    static constexpr std::uint64_t kNever = ~std::uint64_t{0};

    // Reads of `path` opened from now on fail from byte `at` (kNever: they do not).
    static void arm(const std::string& path, std::uint64_t at) {
        static const bool installed = install();
        (void)installed;
        armed()[path] = at;
    }

    // The byte where reading an input of these bytes fails: in one input of four.
    static std::uint64_t choose(std::string_view bytes) {
        std::uint64_t h = 14695981039346656037ull;  // FNV-1a
        for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        const std::uint64_t at = bytes.empty() ? kNever : h % (4 * bytes.size());
        return at < bytes.size() ? at : kNever;
    }

private:
    using Handle = io::platform::Handle;
    struct Open {
        std::uint64_t at;
        std::uint64_t position;
    };
    static std::map<std::string, std::uint64_t>& armed() {
        static std::map<std::string, std::uint64_t> paths;
        return paths;
    }
    static std::map<Handle, Open>& files() {
        static std::map<Handle, Open> open;
        return open;
    }
    static io::platform::SystemCalls& system() {
        static io::platform::SystemCalls calls;
        return calls;
    }
    static bool install() {
        io::platform::SystemCalls& calls = io::platform::system_calls();
        system() = calls;
        calls.open = open;
        calls.read = read;
        calls.read_at = read_at;
        calls.close = close;
        return true;
    }
    static Handle open(const char* name, io::platform::OpenFor how, int& err) {
        const Handle file = system().open(name, how, err);
        const auto it = armed().find(name);
        if (file != io::platform::kNoHandle && it != armed().end()) files()[file] = {it->second, 0};
        return file;
    }
    static std::ptrdiff_t read(Handle file, void* dst, std::size_t n, int& err) {
        const auto it = files().find(file);
        if (it == files().end()) return system().read(file, dst, n, err);
        if (it->second.position + n > it->second.at) {
            err = EIO;
            return -1;
        }
        const std::ptrdiff_t got = system().read(file, dst, n, err);
        if (got > 0) it->second.position += static_cast<std::uint64_t>(got);
        return got;
    }
    static std::ptrdiff_t read_at(Handle file, void* dst, std::size_t n, std::uint64_t offset, int& err) {
        const auto it = files().find(file);
        if (it != files().end() && offset <= it->second.at && it->second.at < offset + n) {
            err = EIO;
            return -1;
        }
        return system().read_at(file, dst, n, offset, err);
    }
    static bool close(Handle file, int& err) {
        files().erase(file);
        return system().close(file, err);
    }
};

// One file per process, rewritten for every input: an anonymous memory file
// seen through /proc/self/fd, or a temporary file when the system has none.
class ScratchFile {
public:
    explicit ScratchFile(const char* tag) {
        fd_ = ::memfd_create(tag, MFD_CLOEXEC);
        if (fd_ >= 0) {
            path_ = "/proc/self/fd/" + std::to_string(fd_);
            return;
        }
        const char* dir = std::getenv("TMPDIR");
        std::string templ = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/velmorak-fuzz-XXXXXX";
        fd_ = ::mkstemp(templ.data());
        if (fd_ < 0) {
            std::perror("velmorak fuzz: no scratch file");
            std::abort();
        }
        path_ = templ;
        unlink_ = true;
    }
    ~ScratchFile() {
        if (unlink_) ::unlink(path_.c_str());
        if (fd_ >= 0) ::close(fd_);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents; returns the name to open it by.
    const std::string& write(std::string_view bytes) {
        if (::ftruncate(fd_, 0) != 0) fail();
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            if (n <= 0) fail();
            done += static_cast<std::size_t>(n);
        }
        FailingReads::arm(path_, FailingReads::choose(bytes));
        return path_;
    }

private:
    [[noreturn]] static void fail() {
        std::perror("velmorak fuzz: writing the scratch file");
        std::abort();
    }
    int fd_ = -1;
    std::string path_;
    bool unlink_ = false;
};

// A runtime over an empty standard input and a captured console.
class QuietRun {
public:
    QuietRun() : rt_(in_, out_) {}

private:
    std::istringstream in_;
    std::ostringstream out_;
    services::ScopedRuntime rt_;
};

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// A broken promise of the code under test: report it the way a sanitizer would.
#define VELMORAK_FUZZ_CHECK(cond)                                                        \
    do {                                                                                 \
        if (!(cond)) {                                                                   \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                \
        }                                                                                \
    } while (0)

}  // namespace velmorak::fuzz
