#include "vsi_source.h"

#include <cpl_vsi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "services/runtime.h"
#include "text.h"

namespace velmorak::gdal12 {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;
// `pending` holds a byte of a cut unit as 0x100 | byte, or a high surrogate as itself.
constexpr std::uint32_t kHalfUnit = 0x100;

enum class Text { bytes, utf8, utf16le, utf16be };

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

// Any source's text as UTF-8 without a byte order mark.
class Utf8Text final : public io::ByteSource {
public:
    explicit Utf8Text(std::unique_ptr<io::ByteSource> inner) : inner_(std::move(inner)) {}

    // Looks at the first bytes for a byte order mark.
    bool start() {
        unsigned char head[3] = {};
        std::size_t got = 0;
        while (got < sizeof head) {
            const std::ptrdiff_t n = inner_->read(head + got, sizeof head - got);
            if (n < 0) return false;
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
            text_ = Text::utf8;
            mark_ = 3;
        } else if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
            text_ = Text::utf16le;
            mark_ = 2;
        } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
            text_ = Text::utf16be;
            mark_ = 2;
        }
        return rewind();
    }

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        if (text_ != Text::utf16le && text_ != Text::utf16be) return inner_->read(dst, n);
        // UTF-16: decoded a piece at a time into `decoded_`, handed out from there.
        while (taken_ == decoded_.size()) {
            if (ended_) return 0;
            decoded_.clear();
            taken_ = 0;
            raw_.resize(kPiece);
            const std::ptrdiff_t got = inner_->read(raw_.data(), raw_.size());
            if (got < 0) return -1;
            ended_ = got == 0;
            utf16_to_utf8(raw_.data(), static_cast<std::size_t>(got), text_ == Text::utf16be, ended_, pending_,
                          decoded_);
        }
        const std::size_t k = std::min(n, decoded_.size() - taken_);
        std::memcpy(dst, decoded_.data() + taken_, k);
        taken_ += k;
        return static_cast<std::ptrdiff_t>(k);
    }

    // Back to the first character after the byte order mark.
    bool rewind() override {
        decoded_.clear();
        taken_ = 0;
        pending_ = 0;
        ended_ = false;
        if (!inner_->rewind()) return false;
        unsigned char mark[3];
        std::size_t skipped = 0;
        while (skipped < mark_) {
            const std::ptrdiff_t n = inner_->read(mark, mark_ - skipped);
            if (n <= 0) return false;
            skipped += static_cast<std::size_t>(n);
        }
        return true;
    }

    // Known only while the bytes pass unchanged.
    std::optional<std::uint64_t> size() const override {
        const std::optional<std::uint64_t> raw = inner_->size();
        if (!raw || text_ == Text::utf16le || text_ == Text::utf16be) return std::nullopt;
        return *raw - std::min<std::uint64_t>(*raw, mark_);
    }
    const std::string& error() const override { return inner_->error(); }

private:
    static constexpr std::size_t kPiece = 1 << 19;

    std::unique_ptr<io::ByteSource> inner_;
    Text text_ = Text::bytes;
    std::size_t mark_ = 0;
    std::vector<unsigned char> raw_;
    std::string decoded_;
    std::size_t taken_ = 0;
    std::uint32_t pending_ = 0;
    bool ended_ = false;
};

}  // namespace

void utf16_to_utf8(const unsigned char* p, std::size_t n, bool big_endian, bool final, std::uint32_t& pending,
                   std::string& out) {
    std::size_t i = 0;
    auto unit_at = [&](unsigned char a, unsigned char b) -> std::uint32_t {
        return big_endian ? (static_cast<std::uint32_t>(a) << 8 | b) : (static_cast<std::uint32_t>(b) << 8 | a);
    };
    std::uint32_t high = 0;  // a high surrogate waiting for its low half
    if (pending >= 0xD800 && pending <= 0xDBFF) {
        high = pending;
    } else if (pending & kHalfUnit) {
        if (n == 0) {
            if (final) append_utf8(kReplacement, out);
            if (final) pending = 0;
            return;
        }
        const std::uint32_t unit = unit_at(static_cast<unsigned char>(pending & 0xFF), p[0]);
        i = 1;
        pending = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF)
            high = unit;
        else
            append_utf8(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, out);
    }
    pending = 0;
    for (; i + 1 < n; i += 2) {
        const std::uint32_t unit = unit_at(p[i], p[i + 1]);
        if (high != 0) {
            if (unit >= 0xDC00 && unit <= 0xDFFF) {
                append_utf8(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00), out);
                high = 0;
                continue;
            }
            append_utf8(kReplacement, out);
            high = 0;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF)
            high = unit;
        else
            append_utf8(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, out);
    }
    if (i < n) {
        // A unit cut in two: its first byte waits for the next piece. A
        // waiting high surrogate cannot wait as well; it has no partner yet.
        if (high != 0) append_utf8(kReplacement, out);
        high = 0;
        pending = kHalfUnit | p[i];
        if (final) {
            append_utf8(kReplacement, out);
            pending = 0;
        }
        return;
    }
    if (high != 0) {
        if (final)
            append_utf8(kReplacement, out);
        else
            pending = high;
    }
}

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

std::unique_ptr<io::ByteSource> utf8_text(std::unique_ptr<io::ByteSource> inner) {
    auto text = std::make_unique<Utf8Text>(std::move(inner));
    if (!text->start()) return nullptr;
    return text;
}

}  // namespace velmorak::gdal12
