#include "io/utf8_text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace velmorak::io {
namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;
// `pending` holds a byte of a cut unit as 0x100 | byte, or a high surrogate as itself.
constexpr std::uint32_t kHalfUnit = 0x100;

enum class Text { bytes, utf8, utf16le, utf16be };

// The characters 0x80 to 0x9F of Windows-1252; the rest of its upper half is Latin-1's.
constexpr char16_t kCp1252High[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x2026, 0x2020, 0x2021, 0x02C6,
                                      0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD,
                                      0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// Any source's text as UTF-8 without a byte order mark.
class Utf8Text final : public ByteSource {
public:
    explicit Utf8Text(std::unique_ptr<ByteSource> inner) : inner_(std::move(inner)) {}

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
    // UTF-8 text and text without a mark pass unchanged, so that an offset in
    // the text is one in the file after its mark; UTF-16 is read in sequence.
    bool seekable() const override { return !is_utf16() && inner_->seekable(); }
    bool seek(std::uint64_t offset) override { return !is_utf16() && inner_->seek(offset + mark_); }

private:
    bool is_utf16() const noexcept { return text_ == Text::utf16le || text_ == Text::utf16be; }
    static constexpr std::size_t kPiece = 1 << 19;

    std::unique_ptr<ByteSource> inner_;
    Text text_ = Text::bytes;
    std::size_t mark_ = 0;
    std::vector<unsigned char> raw_;
    std::string decoded_;
    std::size_t taken_ = 0;
    std::uint32_t pending_ = 0;
    bool ended_ = false;
};

}  // namespace

bool is_utf8(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        std::uint32_t c = 0;
        std::uint32_t least = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            c = b & 0x1F;
            least = 0x80;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            c = b & 0x0F;
            least = 0x800;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            c = b & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (std::size_t k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

const std::string& as_utf8(const std::string& text, std::string& scratch) {
    if (is_utf8(text)) return text;
    scratch.clear();
    for (const char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        append_utf8(b < 0x80 ? b : b < 0xA0 ? kCp1252High[b - 0x80] : b, scratch);
    }
    return scratch;
}

void append_utf8(std::uint32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

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

std::unique_ptr<ByteSource> utf8_text(std::unique_ptr<ByteSource> inner) {
    auto text = std::make_unique<Utf8Text>(std::move(inner));
    if (!text->start()) return nullptr;
    return text;
}

}  // namespace velmorak::io
