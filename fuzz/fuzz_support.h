#pragma once
// What the fuzz targets share: the input written to a file the readers can
// open by name, and a run whose standard input is empty, so that every pause
// ends at once and every prompt ends the run.
//
// A stop of the run (STOPRUN, the run-time stop, the end of standard input at
// a prompt) is how the converter answers bad input: the targets catch RunStop
// and go on with the next input. Anything else that escapes is a defect.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "services/runtime.h"

namespace velmorak::fuzz {

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
