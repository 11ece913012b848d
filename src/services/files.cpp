#include "services/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "services/platform.h"

namespace velmorak::services {
namespace {

constexpr std::size_t kChunk = 1 << 20;    // bytes read from a large file at a time
constexpr std::size_t kMinChunk = 1 << 14; // ... and from a small one
constexpr std::size_t kMaxLine = 1 << 20;  // longer lines are cut (every reader cuts far earlier)

std::string native_string(std::string_view name) { return platform::native_name(name); }

std::string errno_text(int err) { return platform::error_text(err); }

// The system takes a name up to its first NUL: a name holding one would reach
// some other file, so it names none.
bool has_nul(std::string_view name) { return name.find('\0') != std::string_view::npos; }

// Windows-1252 bytes 0x80..0x9F for the Unicode characters they stand for.
struct Cp1252 {
    char32_t code;
    unsigned char byte;
};
constexpr Cp1252 kCp1252High[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
};

char to_cp1252(char32_t c, bool& replaced) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (const auto& e : kCp1252High)
        if (e.code == c) return static_cast<char>(e.byte);
    replaced = true;
    return '?';
}

// Decodes as much of p[0..n) as forms whole characters (all of it when `final`),
// writing Windows-1252 bytes to out. Returns the bytes consumed.
std::size_t decode_utf16(const unsigned char* p, std::size_t n, bool big_endian, bool final, char* out,
                         std::size_t& produced, bool& replaced) {
    std::size_t i = 0;
    auto unit = [&](std::size_t k) -> char32_t {
        return big_endian ? static_cast<char32_t>((p[k] << 8) | p[k + 1]) : static_cast<char32_t>(p[k] | (p[k + 1] << 8));
    };
    while (i + 1 < n) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF) {  // high surrogate: needs its partner
            if (i + 3 >= n && !final) break;
            if (i + 3 < n) {
                const char32_t v = unit(i + 2);
                if (v >= 0xDC00 && v <= 0xDFFF) {
                    out[produced++] = to_cp1252(0x10000 + ((u - 0xD800) << 10) + (v - 0xDC00), replaced);
                    i += 4;
                    continue;
                }
            }
            out[produced++] = to_cp1252(0xFFFD, replaced);
            i += 2;
            continue;
        }
        out[produced++] = (u >= 0xDC00 && u <= 0xDFFF) ? to_cp1252(0xFFFD, replaced) : to_cp1252(u, replaced);
        i += 2;
    }
    if (final && i < n) {  // an odd byte at the very end
        out[produced++] = to_cp1252(0xFFFD, replaced);
        i = n;
    }
    return i;
}

std::size_t decode_utf8(const unsigned char* p, std::size_t n, bool final, char* out, std::size_t& produced,
                        bool& replaced) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out[produced++] = static_cast<char>(b);
            ++i;
            continue;
        }
        const std::size_t len = (b >= 0xF0 && b <= 0xF4) ? 4 : (b >= 0xE0) && b < 0xF0 ? 3 : (b >= 0xC2 && b < 0xE0) ? 2 : 0;
        if (len == 0) {
            out[produced++] = to_cp1252(0xFFFD, replaced);
            ++i;
            continue;
        }
        if (i + len > n && !final) break;
        char32_t c = b & (0xFF >> (len + 1));
        std::size_t k = 1;
        for (; k < len && i + k < n && (p[i + k] & 0xC0) == 0x80; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        if (k < len) {
            out[produced++] = to_cp1252(0xFFFD, replaced);
            i += k;
            continue;
        }
        out[produced++] = to_cp1252(c, replaced);
        i += len;
    }
    return i;
}

}  // namespace

std::filesystem::path native_path(std::string_view name) { return std::filesystem::path(native_string(name)); }

bool file_exists(std::string_view name) { return !has_nul(name) && platform::exists(name); }

std::optional<std::int64_t> save_date(std::string_view name) {
    if (has_nul(name)) return std::nullopt;
    return platform::modified_seconds(name);
}

// The program never changes its working folder, so it is asked for once: a run
// that writes thousands of files would otherwise ask at every open.
const std::filesystem::path& working_folder(std::error_code& ec) {
    static std::error_code first_ec;
    static const std::filesystem::path folder = std::filesystem::current_path(first_ec);
    ec = first_ec;
    return folder;
}

std::string open_file_key(std::string_view name) {
    const std::filesystem::path p = native_path(name);
    if (p.is_absolute()) return p.lexically_normal().string();
    std::error_code ec;
    const std::filesystem::path& folder = working_folder(ec);
    if (ec) return native_string(name);
    return (folder / p).lexically_normal().string();
}

bool same_file(std::string_view a, std::string_view b) {
    if (open_file_key(a) == open_file_key(b)) return true;
    if (has_nul(a) || has_nul(b)) return false;
    return platform::same_existing_file(a, b);
}

// ---------------------------------------------------------------- input

InputFile::InputFile(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}

InputFile::~InputFile() = default;

std::unique_ptr<InputFile> InputFile::from_source(std::unique_ptr<ByteSource> source) {
    std::unique_ptr<InputFile> f(new InputFile(std::move(source)));
    f->start();
    return f;
}

std::unique_ptr<InputFile> InputFile::open(std::string_view name, std::string* why) {
    if (has_nul(name)) {
        if (why) *why = errno_text(EINVAL);
        return nullptr;
    }
    std::string failure;
    std::unique_ptr<ByteSource> source = platform::open_for_reading(name, failure);
    if (!source) {
        if (why) *why = failure;
        return nullptr;
    }
    return from_source(std::move(source));
}

void InputFile::start() {
    cur_ = end_ = 0;
    prev_ = SIZE_MAX;
    source_done_ = error_ = skip_rest_ = false;
    raw_.clear();
    raw_offset_ = 0;
    encoding_ = Encoding::bytes;
    // A small file is read in pieces of about its own size, so that opening
    // one does not clear megabytes of buffer it never fills.
    chunk_ = kChunk;
    if (const std::optional<std::uint64_t> size = source_->size())
        chunk_ = static_cast<std::size_t>(std::clamp<std::uint64_t>(*size, kMinChunk, kChunk));
    if (buf_.size() < 2 * chunk_) buf_.resize(2 * chunk_);
    // Look at the first bytes for a byte order mark.
    unsigned char head[3];
    std::size_t got = 0;
    while (got < sizeof head) {
        const std::ptrdiff_t n = source_->read(head + got, sizeof head - got);
        if (n < 0) {
            error_ = true;
            return;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    raw_offset_ = got;
    std::size_t skip = 0;
    if (got >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        encoding_ = Encoding::utf8;
        skip = 3;
    } else if (got >= 2 && head[0] == 0xFF && head[1] == 0xFE) {
        encoding_ = Encoding::utf16le;
        skip = 2;
    } else if (got >= 2 && head[0] == 0xFE && head[1] == 0xFF) {
        encoding_ = Encoding::utf16be;
        skip = 2;
    }
    if (encoding_ == Encoding::bytes) {
        std::memcpy(buf_.data(), head, got);
        end_ = got;
    } else {
        raw_.assign(head + skip, head + got);
    }
    if (got < sizeof head) source_done_ = true;
    if (source_done_ && !raw_.empty()) {
        std::size_t produced = 0;
        decode(raw_.data(), raw_.size(), true);
        (void)produced;
    }
}

std::size_t InputFile::decode(const unsigned char* p, std::size_t n, bool final) {
    if (buf_.size() < end_ + n + 4) buf_.resize(end_ + n + 4);
    std::size_t produced = 0;
    bool replaced = false;
    const std::size_t used =
        encoding_ == Encoding::utf8
            ? decode_utf8(p, n, final, buf_.data() + end_, produced, replaced)
            : decode_utf16(p, n, encoding_ == Encoding::utf16be, final, buf_.data() + end_, produced, replaced);
    end_ += produced;
    raw_.erase(raw_.begin(), raw_.begin() + static_cast<std::ptrdiff_t>(used));
    if (replaced && !replaced_) {
        replaced_ = true;
        if (on_replace_) on_replace_();
    }
    return produced;
}

bool InputFile::fill() {
    if (source_done_ || error_) return false;
    // Keep the line read last (for back()) and everything not read yet.
    const std::size_t keep = prev_ != SIZE_MAX ? std::min(prev_, cur_) : cur_;
    if (keep > 0) {
        std::memmove(buf_.data(), buf_.data() + keep, end_ - keep);
        end_ -= keep;
        cur_ -= keep;
        if (prev_ != SIZE_MAX) prev_ -= keep;
    }
    if (buf_.size() < end_ + chunk_) buf_.resize(end_ + chunk_);
    for (;;) {
        const std::size_t before = end_;
        std::ptrdiff_t n;
        if (encoding_ == Encoding::bytes) {
            n = source_->read(buf_.data() + end_, chunk_);
        } else {
            const std::size_t have = raw_.size();
            raw_.resize(have + chunk_);
            n = source_->read(raw_.data() + have, chunk_);
            raw_.resize(have + static_cast<std::size_t>(n > 0 ? n : 0));
        }
        if (n < 0) {
            error_ = true;
            return false;
        }
        raw_offset_ += static_cast<std::uint64_t>(n);
        if (n == 0) {
            source_done_ = true;
            if (encoding_ != Encoding::bytes && !raw_.empty()) decode(raw_.data(), raw_.size(), true);
            return end_ > before;
        }
        if (encoding_ == Encoding::bytes) {
            end_ += static_cast<std::size_t>(n);
            return true;
        }
        if (decode(raw_.data(), raw_.size(), false) > 0) return true;
    }
}

LineStatus InputFile::read_line(std::string_view& line) {
    forget_line();
    const LineStatus status = next_line(line);
#ifdef VELMORAK_CHECK_LINE_VIEWS
    if (status == LineStatus::ok) {
        checked_line_.reset(new char[line.size()]);
        if (!line.empty()) std::memcpy(checked_line_.get(), line.data(), line.size());
        line = std::string_view(checked_line_.get(), line.size());
    }
#endif
    return status;
}

void InputFile::forget_line() {
#ifdef VELMORAK_CHECK_LINE_VIEWS
    checked_line_.reset();
#endif
}

LineStatus InputFile::next_line(std::string_view& line) {
    line = {};
    if (skip_rest_) {  // drop the rest of a line that was cut
        prev_ = SIZE_MAX;
        for (;;) {
            const char* nl = static_cast<const char*>(std::memchr(buf_.data() + cur_, '\n', end_ - cur_));
            if (nl != nullptr) {
                cur_ = static_cast<std::size_t>(nl - buf_.data()) + 1;
                break;
            }
            cur_ = end_;
            if (!fill()) break;
        }
        skip_rest_ = false;
    }
    std::size_t searched = cur_;
    for (;;) {
        const char* base = buf_.data();
        const char* nl = static_cast<const char*>(std::memchr(base + searched, '\n', end_ - searched));
        if (nl != nullptr) {
            std::size_t len = static_cast<std::size_t>(nl - (base + cur_));
            if (len > 0 && base[cur_ + len - 1] == '\r') --len;
            if (len > kMaxLine) {
                len = kMaxLine;
            }
            line = std::string_view(base + cur_, len);
            prev_ = cur_;
            cur_ = static_cast<std::size_t>(nl - base) + 1;
            return LineStatus::ok;
        }
        if (end_ - cur_ >= kMaxLine) {
            line = std::string_view(base + cur_, kMaxLine);
            prev_ = cur_;
            cur_ += kMaxLine;
            skip_rest_ = true;
            return LineStatus::ok;
        }
        const std::size_t offset = end_ - cur_;
        if (!fill()) {
            if (error_) return LineStatus::error;
            if (cur_ < end_) {  // a last line without its line end
                std::size_t len = end_ - cur_;
                if (buf_[cur_ + len - 1] == '\r') --len;
                line = std::string_view(buf_.data() + cur_, len);
                prev_ = cur_;
                cur_ = end_;
                return LineStatus::ok;
            }
            return LineStatus::eof;
        }
        searched = cur_ + offset;
    }
}

bool InputFile::at_eof() {
    forget_line();
    if (cur_ < end_) return false;
    if (skip_rest_) return false;
    return !fill() && cur_ >= end_;
}

void InputFile::rewind() {
    forget_line();
    if (!source_->rewind()) {
        cur_ = end_ = 0;
        prev_ = SIZE_MAX;
        error_ = true;
        return;
    }
    start();
}

bool InputFile::back() {
    forget_line();
    if (prev_ == SIZE_MAX) return false;
    cur_ = prev_;
    prev_ = SIZE_MAX;
    skip_rest_ = false;
    return true;
}

std::string InputFile::decode_for_test(std::string_view raw, bool* replaced) {
    std::string out(raw.size() + 4, '\0');
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    std::size_t produced = 0;
    bool rep = false;
    if (raw.size() >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        decode_utf8(p + 3, raw.size() - 3, true, out.data(), produced, rep);
    else if (raw.size() >= 2 && p[0] == 0xFF && p[1] == 0xFE)
        decode_utf16(p + 2, raw.size() - 2, false, true, out.data(), produced, rep);
    else if (raw.size() >= 2 && p[0] == 0xFE && p[1] == 0xFF)
        decode_utf16(p + 2, raw.size() - 2, true, true, out.data(), produced, rep);
    else
        return std::string(raw);
    out.resize(produced);
    if (replaced) *replaced = rep;
    return out;
}

// ---------------------------------------------------------------- output

std::unique_ptr<OutputFile> OutputFile::create(std::string_view name, bool append, std::string* why) {
    if (has_nul(name)) {
        if (why) *why = errno_text(EINVAL);
        return nullptr;
    }
    std::string failure;
    std::unique_ptr<platform::ByteSink> sink = platform::open_for_writing(name, append, failure);
    if (!sink) {
        if (why) *why = failure;
        return nullptr;
    }
    std::unique_ptr<OutputFile> f(new OutputFile(std::move(sink)));
    f->buf_.reserve(kFlushAt + 4096);
    return f;
}

OutputFile::OutputFile(std::unique_ptr<platform::ByteSink> sink) : sink_(std::move(sink)) {}

OutputFile::~OutputFile() { close(); }

bool OutputFile::flush() {
    if (!sink_ && !buf_.empty() && !failed_) {  // written after close()
        failed_ = true;
        why_ = errno_text(EBADF);
    }
    if (!failed_ && !buf_.empty() && !sink_->write(buf_.data(), buf_.size())) {
        failed_ = true;
        why_ = sink_->error();
    }
    buf_.clear();
    return !failed_;
}

bool OutputFile::close() {
    if (!sink_) return !failed_;
    flush();
    if (!sink_->close() && !failed_) {
        failed_ = true;
        why_ = sink_->error();
    }
    sink_.reset();
    return !failed_;
}

}  // namespace velmorak::services
