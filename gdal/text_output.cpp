#include "text_output.h"

#include <ctime>

#include "io/text_encoding.h"

namespace velmorak::gdal12 {

std::unique_ptr<TextOutput> TextOutput::create(const std::string& path, Encoding encoding, const std::string& member,
                                               std::string& why) {
    std::unique_ptr<TextOutput> out(new TextOutput(nullptr, encoding));
    if (is_system_path(path)) {
        // A file of the system is written whole or not at all: to a temporary
        // beside it that takes its place once complete, as the converter writes.
        out->sink_ = io::FileSink::create(path, false, why);
        if (!out->sink_) return nullptr;
    } else {
        out->f_ = VSIFOpenL(path.c_str(), "wb");
        if (out->f_ == nullptr) {
            why = "the file cannot be created";
            return nullptr;
        }
        out->path_ = path;
    }
    if (!member.empty()) {
        io::ZipOptions options;
        io::dos_time_of(static_cast<std::int64_t>(std::time(nullptr)), options.dos_time, options.dos_date);
        TextOutput* self = out.get();
        out->zip_ = std::make_unique<io::ZipWriter>(
            [self](const void* data, std::size_t n, std::string& failure) {
                if (self->write_out(data, n)) return true;
                failure = "the archive cannot be written (is the disk full?)";
                return false;
            },
            member, options);
    }
    static const unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
    static const unsigned char kUtf16Mark[] = {0xFF, 0xFE};
    const bool marked = encoding == Encoding::utf8 ? out->put(kUtf8Mark, sizeof kUtf8Mark)
                                                   : out->put(kUtf16Mark, sizeof kUtf16Mark);
    if (!marked) {
        why = out->why_;
        return nullptr;
    }
    return out;
}

TextOutput::~TextOutput() {
    if (!closed_) close();
}

bool TextOutput::is_system_path(const std::string& path) { return !STARTS_WITH(path.c_str(), "/vsi"); }

bool TextOutput::write_out(const void* data, std::size_t n) {
    if (sink_) return sink_->write(data, n);
    return VSIFWriteL(data, 1, n, f_) == n;
}

bool TextOutput::fail(std::string why) {
    if (!failed_) why_ = std::move(why);
    failed_ = true;
    return false;
}

bool TextOutput::put(const void* data, std::size_t n) {
    if (failed_) return false;
    if (zip_) return zip_->write(data, n) || fail(zip_->error());
    if (write_out(data, n)) return true;
    return fail(sink_ && !sink_->error().empty() ? sink_->error() : "the file cannot be written (is the disk full?)");
}

bool TextOutput::flush(bool all) {
    std::size_t end = buf_.size();
    if (!all) {
        // Whole lines only: a character is never cut between two pieces.
        const std::size_t last = buf_.rfind('\n');
        if (last == std::string::npos) return !failed_;
        end = last + 1;
    }
    bool ok = true;
    if (encoding_ == Encoding::utf8) {
        ok = put(buf_.data(), end);
    } else {
        encoded_.clear();
        io::utf8_to_utf16le_crlf(std::string_view(buf_.data(), end), encoded_);
        ok = put(encoded_.data(), encoded_.size());
    }
    buf_.erase(0, end);
    return ok;
}

bool TextOutput::close() {
    if (closed_) return !failed_;
    closed_ = true;
    flush(true);
    if (zip_ && !failed_ && !zip_->finish()) fail(zip_->error());
    if (sink_) {
        // A file not written whole leaves the one it was to replace as it was, and no other.
        if (!failed_ && !sink_->close()) fail(sink_->error());
        if (!failed_ && !sink_->commit()) fail(sink_->error());
        if (failed_) sink_->discard();
        sink_.reset();
        return !failed_;
    }
    if (VSIFCloseL(f_) != 0) fail("the file cannot be completed (is the disk full?)");
    // GDAL's virtual files cannot be replaced whole: what a failed write left is removed.
    if (failed_) VSIUnlink(path_.c_str());
    return !failed_;
}

void TextOutput::abandon() {
    fail("the writing was abandoned");
    close();
}

}  // namespace velmorak::gdal12
