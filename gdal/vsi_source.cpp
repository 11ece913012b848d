#include "vsi_source.h"

#include <cpl_vsi.h>

#include "services/runtime.h"

namespace velmorak::gdal12 {
namespace {

// A plain file through GDAL's virtual file layer.
class VsiFile final : public io::ByteSource {
public:
    VsiFile(VSILFILE* f, std::uint64_t size) : f_(f), size_(size) {}
    ~VsiFile() override { VSIFCloseL(f_); }
    VsiFile(const VsiFile&) = delete;
    VsiFile& operator=(const VsiFile&) = delete;

    // A read that fails ends the reading, as a damaged archive does: the line
    // reader would otherwise take the failure for the end of the file.
    std::ptrdiff_t read(void* dst, std::size_t n) override {
        const std::size_t got = VSIFReadL(dst, 1, n, f_);
        if (got < n && VSIFEofL(f_) == 0) {
            why_ = "the file could not be read";
            services::runtime().console.line(why_);
            services::STOPRUN();
        }
        return static_cast<std::ptrdiff_t>(got);
    }
    bool rewind() override { return VSIFSeekL(f_, 0, SEEK_SET) == 0; }
    std::optional<std::uint64_t> size() const override { return size_; }
    const std::string& error() const override { return why_; }

private:
    VSILFILE* f_;
    std::uint64_t size_;
    std::string why_;
};

}  // namespace

std::unique_ptr<io::ByteSource> open_vsi_source(const std::string& path, std::string& why) {
    VSIStatBufL st{};
    if (VSIStatExL(path.c_str(), &st, VSI_STAT_NATURE_FLAG | VSI_STAT_SIZE_FLAG) != 0) {
        why = "no such file";
        return nullptr;
    }
    if (VSI_ISDIR(st.st_mode)) {
        why = "a folder, not a file";
        return nullptr;
    }
    VSILFILE* f = VSIFOpenL(path.c_str(), "rb");
    if (f == nullptr) {
        why = "the file cannot be opened";
        return nullptr;
    }
    return std::make_unique<VsiFile>(f, static_cast<std::uint64_t>(st.st_size));
}

}  // namespace velmorak::gdal12
