#include "io/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "io/names.h"
#include "io/platform.h"
#include "io/system_file.h"
#include "io/text_decoding.h"

namespace velmorak::io {
namespace {

constexpr std::size_t kChunk = 1 << 20;    // bytes read from a large file at a time
constexpr std::size_t kMinChunk = 1 << 14; // ... and from a small one
constexpr std::size_t kMaxLine = 1 << 20;  // longer lines are cut (every reader cuts far earlier)

}  // namespace

InputFile::InputFile(std::unique_ptr<ByteSource> source) : source_(std::move(source)) {}

InputFile::~InputFile() = default;

std::unique_ptr<InputFile> InputFile::from_source(std::unique_ptr<ByteSource> source) {
    std::unique_ptr<InputFile> f(new InputFile(std::move(source)));
    f->start();
    return f;
}

std::unique_ptr<InputFile> InputFile::open(std::string_view name, std::string* why) {
    if (has_nul(name)) {
        if (why) *why = platform::error_text(EINVAL);
        return nullptr;
    }
    std::string failure;
    std::unique_ptr<ByteSource> source = FileSource::open(name, failure);
    if (!source) {
        if (why) *why = failure;
        return nullptr;
    }
    return from_source(std::move(source));
}

void InputFile::start() {
    cur_ = end_ = no_lf_before_ = no_cr_before_ = 0;
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
    full_chunk_ = chunk_;
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
        no_lf_before_ = no_lf_before_ > keep ? no_lf_before_ - keep : 0;
        no_cr_before_ = no_cr_before_ > keep ? no_cr_before_ - keep : 0;
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
            // Reading on in sequence after a seek: larger pieces again.
            if (chunk_ < full_chunk_) chunk_ = std::min(2 * chunk_, full_chunk_);
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

bool InputFile::find_line_end(std::size_t from, std::size_t& end, std::size_t& next) {
    const char* base = buf_.data();
    // How far no LF and no CR stand is remembered: a file whose lines end in
    // CR alone is not searched to the end of the buffer for LF at every line,
    // nor one without CR for CR.
    const std::size_t lf_from = std::max(from, no_lf_before_);
    const char* lf = static_cast<const char*>(std::memchr(base + lf_from, '\n', end_ - lf_from));
    const std::size_t stop = lf != nullptr ? static_cast<std::size_t>(lf - base) : end_;
    no_lf_before_ = stop;
    const std::size_t cr_from = std::max(from, no_cr_before_);
    const char* cr = cr_from < end_ ? static_cast<const char*>(std::memchr(base + cr_from, '\r', end_ - cr_from)) : nullptr;
    no_cr_before_ = cr != nullptr ? static_cast<std::size_t>(cr - base) : end_;
    if (cr != nullptr && cr > base + stop) cr = nullptr;  // the line ends at its LF first
    if (cr == nullptr) {
        resume_ = end_;
        if (lf == nullptr) return false;
        end = stop;
        next = stop + 1;
        return true;
    }
    end = static_cast<std::size_t>(cr - base);
    if (end + 1 == end_ && !source_done_) {
        resume_ = end;  // the LF of a CRLF may come with the next read
        return false;
    }
    next = end + (end + 1 < end_ && base[end + 1] == '\n' ? 2 : 1);
    return true;
}

LineStatus InputFile::next_line(std::string_view& line) {
    line = {};
    unended_ = false;
    std::size_t end = 0;
    std::size_t next = 0;
    if (skip_rest_) {  // drop the rest of a line that was cut
        prev_ = SIZE_MAX;
        while (!find_line_end(cur_, end, next)) {
            cur_ = resume_;
            if (!fill()) {
                next = end_;
                break;
            }
        }
        cur_ = next;
        skip_rest_ = false;
    }
    std::size_t searched = cur_;
    for (;;) {
        if (find_line_end(searched, end, next)) {
            line = std::string_view(buf_.data() + cur_, std::min(end - cur_, kMaxLine));
            prev_ = cur_;
            cur_ = next;
            return LineStatus::ok;
        }
        if (end_ - cur_ >= kMaxLine) {
            line = std::string_view(buf_.data() + cur_, kMaxLine);
            prev_ = cur_;
            cur_ += kMaxLine;
            skip_rest_ = true;
            return LineStatus::ok;
        }
        const std::size_t offset = resume_ - cur_;
        if (!fill()) {
            if (error_) {
                cur_ = end_;  // nothing after a failed read is a line: callers reading to the end stop here
                return LineStatus::error;
            }
            if (cur_ < end_) {  // a last line without its line end (or ended by a CR alone)
                std::size_t len = end_ - cur_;
                unended_ = buf_[cur_ + len - 1] != '\r';
                if (!unended_) --len;
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
    if (error_) return true;
    if (cur_ < end_) return false;
    if (skip_rest_) return false;
    return !fill() && cur_ >= end_;
}

void InputFile::rewind() {
    forget_line();
    if (!source_->rewind()) {
        cur_ = end_ = no_lf_before_ = no_cr_before_ = 0;
        prev_ = SIZE_MAX;
        error_ = true;
        return;
    }
    start();
}

std::uint64_t InputFile::line_offset() const noexcept {
    const std::size_t at = prev_ != SIZE_MAX ? prev_ : cur_;
    // The buffer holds the bytes that end at raw_offset_.
    return raw_offset_ - (end_ - at);
}

bool InputFile::seek(std::uint64_t offset) {
    forget_line();
    if (!seekable()) return false;
    const std::uint64_t first = raw_offset_ - end_;  // the offset of buf_[0]
    if (offset >= first && offset <= raw_offset_) {
        cur_ = static_cast<std::size_t>(offset - first);
    } else {
        if (!source_->seek(offset)) return false;
        raw_offset_ = offset;
        cur_ = end_ = 0;
        source_done_ = false;
        // A string fetched by its place is a few lines: a full piece would be read for nothing.
        chunk_ = std::min(kMinChunk, full_chunk_);
    }
    prev_ = SIZE_MAX;
    no_lf_before_ = no_cr_before_ = resume_ = cur_;
    skip_rest_ = false;
    return true;
}

bool InputFile::back() {
    forget_line();
    if (prev_ == SIZE_MAX) return false;
    cur_ = no_lf_before_ = no_cr_before_ = prev_;
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

}  // namespace velmorak::io
