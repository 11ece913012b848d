#include "io/output_file.h"

#include <cerrno>

#include "io/names.h"
#include "io/platform.h"
#include "io/system_file.h"

namespace velmorak::io {

std::unique_ptr<OutputFile> OutputFile::create(std::string_view name, bool append, std::string* why, bool to_disk) {
    if (has_nul(name)) {
        if (why) *why = platform::error_text(EINVAL);
        return nullptr;
    }
    std::string failure;
    std::unique_ptr<FileSink> sink = FileSink::create(name, append, failure, to_disk);
    if (!sink) {
        if (why) *why = failure;
        return nullptr;
    }
    std::unique_ptr<OutputFile> f(new OutputFile(std::move(sink)));
    f->buf_.reserve(kFlushAt + 4096);
    return f;
}

OutputFile::OutputFile(std::unique_ptr<FileSink> sink) : sink_(std::move(sink)), identity_(sink_->identity()) {}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::flush() {
    if (!sink_ && !buf_.empty() && !failed_) {  // written after close()
        failed_ = true;
        why_ = platform::error_text(EBADF);
    }
    if (!failed_ && !buf_.empty() && !sink_->write(buf_.data(), buf_.size())) {
        failed_ = true;
        why_ = sink_->error();
    }
    buf_.clear();
    return !failed_;
}

bool OutputFile::finish() {
    if (!sink_) return !failed_;
    flush();
    if (!sink_->close() && !failed_) {
        failed_ = true;
        why_ = sink_->error();
    }
    return !failed_;
}

bool OutputFile::replace() {
    if (!sink_) return !failed_;
    if (failed_) {
        discard();
        return false;
    }
    if (!sink_->commit()) {
        failed_ = true;
        why_ = sink_->error();
    }
    sink_.reset();
    return !failed_;
}

bool OutputFile::close() {
    finish();
    return replace();  // drops the temporary when finish() failed
}

void OutputFile::discard() noexcept {
    if (!sink_) return;
    // A device, a named pipe or a file appended to gets what was written, as
    // it would have without a temporary; failures no longer matter here.
    if (sink_->in_place()) flush();
    sink_->discard();
    sink_.reset();
}

}  // namespace velmorak::io
