#include "vsi_source.h"

#include <cpl_vsi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "text.h"

namespace velmorak::gdal12 {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;
// `pending` holds a byte of a cut unit as 0x100 | byte, or a high surrogate as itself.
constexpr std::uint32_t kHalfUnit = 0x100;

enum class Text { bytes, utf8, utf16le, utf16be };

class VsiSource final : public io::ByteSource {
public:
    VsiSource(VSILFILE* f, std::uint64_t size) : f_(f), size_(size) {}
    ~VsiSource() override { VSIFCloseL(f_); }
    VsiSource(const VsiSource&) = delete;
    VsiSource& operator=(const VsiSource&) = delete;

    bool start() {
        unsigned char head[3] = {};
        const std::size_t got = VSIFReadL(head, 1, sizeof head, f_);
        std::size_t skip = 0;
        if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
            text_ = Text::utf8;
            skip = 3;
        } else if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
            text_ = Text::utf16le;
            skip = 2;
        } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
            text_ = Text::utf16be;
            skip = 2;
        }
        start_ = skip;
        return rewind();
    }

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        if (text_ != Text::utf16le && text_ != Text::utf16be) return raw_read(dst, n);
        // UTF-16: decoded a piece at a time into `decoded_`, handed out from there.
        while (taken_ == decoded_.size()) {
            if (ended_) return 0;
            decoded_.clear();
            taken_ = 0;
            raw_.resize(kPiece);
            const std::ptrdiff_t got = raw_read(raw_.data(), raw_.size());
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

    bool rewind() override {
        decoded_.clear();
        taken_ = 0;
        pending_ = 0;
        ended_ = false;
        return VSIFSeekL(f_, start_, SEEK_SET) == 0;
    }

    // Known only while the bytes pass unchanged.
    std::optional<std::uint64_t> size() const override {
        if (text_ == Text::utf16le || text_ == Text::utf16be) return std::nullopt;
        return size_ - std::min<std::uint64_t>(size_, start_);
    }
    const std::string& error() const override { return why_; }

private:
    static constexpr std::size_t kPiece = 1 << 19;

    std::ptrdiff_t raw_read(void* dst, std::size_t n) {
        const std::size_t got = VSIFReadL(dst, 1, n, f_);
        if (got < n && VSIFEofL(f_) == 0) {
            why_ = "the file could not be read";
            return -1;
        }
        return static_cast<std::ptrdiff_t>(got);
    }

    VSILFILE* f_;
    std::uint64_t size_;
    std::uint64_t start_ = 0;
    Text text_ = Text::bytes;
    std::vector<unsigned char> raw_;
    std::string decoded_;
    std::size_t taken_ = 0;
    std::uint32_t pending_ = 0;
    bool ended_ = false;
    std::string why_;
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
    auto source = std::make_unique<VsiSource>(f, static_cast<std::uint64_t>(st.st_size));
    if (!source->start()) {
        why = "the file cannot be read";
        return nullptr;
    }
    return source;
}

}  // namespace velmorak::gdal12
