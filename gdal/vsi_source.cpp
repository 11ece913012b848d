#include "vsi_source.h"

#include <cpl_conv.h>
#include <cpl_string.h>
#include <cpl_vsi.h>

#include <cstring>

#include "d12/archive.h"

namespace velmorak::gdal12 {
namespace {

// A file through GDAL's virtual file layer. GDAL's deflate handles
// (/vsizip/, /vsigzip/) do not always set the end-of-file flag on the short
// read that ends a file, so a read shorter than asked is taken as what there
// is, and a read of nothing as the end: GDAL 3.6 has no way to tell a failed
// read from the end.
class VsiFile final : public io::ByteSource {
public:
    VsiFile(VSILFILE* f, std::optional<std::uint64_t> size, bool seekable) : f_(f), size_(size), seekable_(seekable) {}
    ~VsiFile() override { VSIFCloseL(f_); }
    VsiFile(const VsiFile&) = delete;
    VsiFile& operator=(const VsiFile&) = delete;

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        return static_cast<std::ptrdiff_t>(VSIFReadL(dst, 1, n, f_));
    }
    bool rewind() override { return VSIFSeekL(f_, 0, SEEK_SET) == 0; }
    std::optional<std::uint64_t> size() const override { return size_; }
    const std::string& error() const override { return why_; }
    bool seekable() const override { return seekable_; }
    bool seek(std::uint64_t offset) override {
        return seekable_ && VSIFSeekL(f_, static_cast<vsi_l_offset>(offset), SEEK_SET) == 0;
    }

private:
    VSILFILE* f_;
    std::optional<std::uint64_t> size_;
    bool seekable_;
    std::string why_;
};

// A stream read once: every byte that passes is written to a temporary file
// as well, so that going back (a layer's pass after the first scan, a
// feature fetched by id) reads the copy instead. Its size is never asked:
// GDAL finds the size of standard input by reading it to its end.
class StreamCopy final : public io::ByteSource {
public:
    StreamCopy(VSILFILE* stream, VSILFILE* copy, std::string copy_name)
        : stream_(stream), copy_(copy), copy_name_(std::move(copy_name)) {}
    ~StreamCopy() override {
        if (stream_ != nullptr) VSIFCloseL(stream_);
        VSIFCloseL(copy_);
        VSIUnlink(copy_name_.c_str());
    }
    StreamCopy(const StreamCopy&) = delete;
    StreamCopy& operator=(const StreamCopy&) = delete;

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        if (stream_ == nullptr) return static_cast<std::ptrdiff_t>(VSIFReadL(dst, 1, n, copy_));
        const std::size_t got = VSIFReadL(dst, 1, n, stream_);
        if (got > 0 && VSIFWriteL(dst, 1, got, copy_) != got) return fail();
        if (got == 0) end_stream();
        return static_cast<std::ptrdiff_t>(got);
    }
    bool rewind() override { return seek(0); }
    std::optional<std::uint64_t> size() const override { return std::nullopt; }
    const std::string& error() const override { return why_; }
    bool seekable() const override { return true; }
    // Reads what is left of the stream into the copy first.
    bool seek(std::uint64_t offset) override {
        if (stream_ != nullptr) {
            char piece[1 << 16];
            std::ptrdiff_t got = 0;
            while ((got = read(piece, sizeof piece)) > 0) {
            }
            if (got < 0) return false;
        }
        return VSIFSeekL(copy_, static_cast<vsi_l_offset>(offset), SEEK_SET) == 0;
    }

private:
    void end_stream() {
        VSIFCloseL(stream_);
        stream_ = nullptr;
    }
    std::ptrdiff_t fail() {
        why_ = "the copy of the stream cannot be written to " + copy_name_ + " (is the disk full?)";
        return -1;
    }
    VSILFILE* stream_;
    VSILFILE* copy_;
    std::string copy_name_;
    std::string why_;
};

// The file that holds an archive, read at offsets.
class VsiBytes final : public io::RandomAccessBytes {
public:
    VsiBytes(VSILFILE* f, std::uint64_t size) : f_(f), size_(size) {}
    ~VsiBytes() override { VSIFCloseL(f_); }
    VsiBytes(const VsiBytes&) = delete;
    VsiBytes& operator=(const VsiBytes&) = delete;

    bool read_at(std::uint64_t offset, void* dst, std::size_t n) override {
        why_.clear();
        if (offset > size_ || n > size_ - offset) return false;
        if (VSIFSeekL(f_, static_cast<vsi_l_offset>(offset), SEEK_SET) != 0 || VSIFReadL(dst, 1, n, f_) != n) {
            why_ = "the archive cannot be read";
            return false;
        }
        return true;
    }
    std::uint64_t size() const override { return size_; }
    const std::string& error() const override { return why_; }

private:
    VSILFILE* f_;
    std::uint64_t size_;
    std::string why_;
};

// Where the copy of a stream goes: GDAL's temporary folder setting, else the system's.
std::string stream_copy_name() {
    const char* dir = CPLGetConfigOption("CPL_TMPDIR", nullptr);
    if (dir == nullptr) dir = CPLGetConfigOption("TMPDIR", nullptr);
    if (dir == nullptr) dir = CPLGetConfigOption("TEMP", nullptr);
#ifndef _WIN32
    if (dir == nullptr) dir = "/tmp";
#endif
    const std::string name = CPLGetFilename(CPLGenerateTempFilename("velmorak_12da_stream"));
    return dir != nullptr ? std::string(CPLFormFilename(dir, name.c_str(), nullptr)) : name;
}

}  // namespace

bool is_stream_path(const std::string& path) {
    return STARTS_WITH_CI(path.c_str(), "/vsistdin") || path.find("_streaming/") != std::string::npos;
}

std::unique_ptr<io::ByteSource> open_vsi_source(const std::string& path, std::string& why) {
    const bool stream = is_stream_path(path);
    VSIStatBufL st{};
    if (!stream) {
        if (VSIStatExL(path.c_str(), &st, VSI_STAT_NATURE_FLAG | VSI_STAT_SIZE_FLAG) != 0) {
            why = "no such file";
            return nullptr;
        }
        if (VSI_ISDIR(st.st_mode)) {
            why = "a folder, not a file";
            return nullptr;
        }
    }
    VSILFILE* f = VSIFOpenL(path.c_str(), "rb");
    if (f == nullptr) {
        why = "the file cannot be opened";
        return nullptr;
    }
    if (stream) {
        const std::string copy_name = stream_copy_name();
        VSILFILE* copy = VSIFOpenL(copy_name.c_str(), "w+b");
        if (copy == nullptr) {
            VSIFCloseL(f);
            why = "a stream is read once and kept in a temporary file, and " + copy_name + " cannot be created";
            return nullptr;
        }
        return std::make_unique<StreamCopy>(f, copy, copy_name);
    }
    // A ZIP archive is a .12daz whatever its name, read through its one .12da member.
    unsigned char head[4] = {};
    const std::size_t got = VSIFReadL(head, 1, sizeof head, f);
    if (got == sizeof head && std::memcmp(head, "PK\x03\x04", 4) == 0) {
        std::string member;
        return d12::open_12da_archive(std::make_unique<VsiBytes>(f, static_cast<std::uint64_t>(st.st_size)), member,
                                      why);
    }
    if (VSIFSeekL(f, 0, SEEK_SET) != 0) {
        VSIFCloseL(f);
        why = "the file cannot be read from its start";
        return nullptr;
    }
    return std::make_unique<VsiFile>(f, static_cast<std::uint64_t>(st.st_size), true);
}

}  // namespace velmorak::gdal12
