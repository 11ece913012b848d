#include "io/system_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "io/platform.h"

namespace velmorak::io {

namespace platform {

SystemCalls& system_calls() {
    static SystemCalls calls{native::open,         native::read,   native::read_at, native::write,
                             native::close,        native::rewind, native::size,    native::rename,
                             native::link,         native::keep_unnamed,            native::sync,
                             native::remove,       native::open_folder,             native::next_in_folder,
                             native::close_folder};
    return calls;
}

// The temporaries being written, where an interrupt finds them: names in
// fixed storage and a flag each, so that the handler neither allocates nor
// meets a name half written.
namespace {
constexpr int kHeld = 128;
constexpr std::size_t kLongestName = 4096;
char g_held_names[kHeld][kLongestName];
std::atomic<bool> g_held[kHeld];
static_assert(std::atomic<bool>::is_always_lock_free);
}  // namespace

int hold_temporary(const std::string& native) {
    if (native.size() >= kLongestName) return -1;
    for (int i = 0; i < kHeld; ++i) {
        if (g_held[i].load(std::memory_order_acquire)) continue;
        std::memcpy(g_held_names[i], native.c_str(), native.size() + 1);
        g_held[i].store(true, std::memory_order_release);
        return i;
    }
    return -1;
}

void release_temporary(int slot) {
    if (slot >= 0 && slot < kHeld) g_held[slot].store(false, std::memory_order_release);
}

void remove_held_temporaries() noexcept {
    for (int i = 0; i < kHeld; ++i)
        if (g_held[i].load(std::memory_order_acquire)) native::remove(g_held_names[i]);
}

}  // namespace platform

using platform::system_calls;

// ---------------------------------------------------------------- reading

std::unique_ptr<FileSource> FileSource::open(std::string_view name, std::string& why) {
    const std::string path = platform::input_name(name);
    int err = 0;
    const platform::Handle file = system_calls().open(path.c_str(), platform::OpenFor::reading, err);
    if (file == platform::kNoHandle) {
        why = platform::error_text(err);
        return nullptr;
    }
    const std::int64_t size = system_calls().size(file);
    return std::unique_ptr<FileSource>(new FileSource(file, size > 0 ? static_cast<std::uint64_t>(size) : 0));
}

FileSource::~FileSource() {
    int ignored = 0;
    system_calls().close(file_, ignored);
}

bool FileSource::fail(int err) {
    why_ = platform::error_text(err);
    return false;
}

bool FileSource::ended_early(std::uint64_t at) {
    why_ = "The file ended after " + std::to_string(at) + " of its " + std::to_string(opened_size_) +
           " bytes: it was changed while it was read.";
    return false;
}

std::ptrdiff_t FileSource::read(void* dst, std::size_t n) {
    if (n == 0) return 0;
    int err = 0;
    // Once placed by seek(), the file is read at its offsets.
    const std::ptrdiff_t got = placed_ ? system_calls().read_at(file_, dst, n, position_, err)
                                       : system_calls().read(file_, dst, n, err);
    if (got < 0) {
        fail(err);
        return -1;
    }
    if (got == 0 && position_ < opened_size_) {
        ended_early(position_);
        return -1;
    }
    position_ += static_cast<std::uint64_t>(got);
    return got;
}

bool FileSource::rewind() {
    if (!system_calls().rewind(file_)) return false;
    position_ = 0;
    placed_ = false;
    return true;
}

bool FileSource::seek(std::uint64_t offset) {
    if (offset > opened_size_) return false;
    position_ = offset;
    placed_ = true;
    return true;
}

bool FileSource::read_at(std::uint64_t offset, void* dst, std::size_t n) {
    if (offset > opened_size_ || n > opened_size_ - offset) {
        why_.clear();  // no failure of the system: the caller tells what it means
        return false;
    }
    auto* p = static_cast<char*>(dst);
    while (n > 0) {
        int err = 0;
        const std::ptrdiff_t got = system_calls().read_at(file_, p, n, offset, err);
        if (got < 0) return fail(err);
        if (got == 0) return ended_early(offset);
        p += got;
        n -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

// ---------------------------------------------------------------- writing

namespace {

// Creates the temporary of a plan. Its name is held for removal on an
// interrupt before the file exists: a signal that comes while the system
// creates it (most of a small file's life) finds it all the same.
platform::Handle create_temporary(const platform::OutputPlan& plan, int& slot, int& err) {
    platform::SystemCalls& sys = system_calls();
    slot = platform::hold_temporary(plan.temporary);
    platform::Handle file = sys.open(plan.temporary.c_str(), platform::OpenFor::creating, err);
    if (file == platform::kNoHandle && err == EEXIST) {
        // Left by a killed run whose process number this one has now.
        sys.remove(plan.temporary.c_str());
        file = sys.open(plan.temporary.c_str(), platform::OpenFor::creating, err);
    }
    if (file == platform::kNoHandle) platform::release_temporary(slot);
    return file;
}

}  // namespace

std::unique_ptr<FileSink> FileSink::create(std::string_view name, bool append, std::string& why, bool to_disk) {
    platform::OutputPlan plan;
    int err = 0;
    int slot = -1;
    platform::Handle file = platform::kNoHandle;
    if (append) {
        plan.target = platform::native_name(name);
        plan.identity = platform::file_identity(name);
        file = system_calls().open(plan.target.c_str(), platform::OpenFor::appending, err);
    } else if (!platform::plan_output(name, false, plan, why)) {
        return nullptr;
    } else if (plan.temporary.empty()) {
        file = system_calls().open(plan.target.c_str(), platform::OpenFor::replacing, err);
    } else {
        if (plan.unnamed) file = system_calls().open(plan.target.c_str(), platform::OpenFor::unnamed, err);
        if (file == platform::kNoHandle) {
            // No unnamed files here: a named temporary, whose failure is the one reported.
            plan.unnamed = false;
            file = create_temporary(plan, slot, err);
            if (file == platform::kNoHandle && err == ENAMETOOLONG && platform::plan_output(name, true, plan, why)) {
                plan.unnamed = false;
                file = create_temporary(plan, slot, err);
            }
        }
    }
    if (file == platform::kNoHandle) {
        why = platform::error_text(err);
        return nullptr;
    }
    if (plan.permissions >= 0) platform::set_permissions(file, plan.permissions);
    std::unique_ptr<FileSink> sink(new FileSink(file, std::move(plan), slot));
    sink->to_disk_ = to_disk;
    return sink;
}

FileSink::~FileSink() { discard(); }

bool FileSink::fail(int err) {
    why_ = platform::error_text(err);
    return false;
}

bool FileSink::write(const void* src, std::size_t n) {
    if (closed_) return fail(EBADF);
    const char* p = static_cast<const char*>(src);
    while (n > 0) {
        int err = 0;
        const std::ptrdiff_t put = system_calls().write(file_, p, n, err);
        if (put <= 0) return fail(put < 0 ? err : ENOSPC);
        p += put;
        n -= static_cast<std::size_t>(put);
    }
    return true;
}

bool FileSink::close() {
    if (closed_) return true;
    closed_ = true;
    platform::SystemCalls& sys = system_calls();
    int err = 0;
    // The data goes to the disk before the file takes a name, so that a power
    // loss after the rename finds the file whole; written in place, it is the
    // file itself and as whole as what was written.
    if (to_disk_ && !in_place() && !sys.sync(file_, err)) return fail(err);
    platform::Handle keep = platform::kNoHandle;
    if (plan_.unnamed) {
        // Closed, an unnamed file would be gone: a second handle keeps it, so
        // that the writing one is closed, and its failure seen, before it has a name.
        keep = sys.keep_unnamed(file_, err);
        if (keep == platform::kNoHandle) return true;  // kept open until commit() names it
    }
    const bool ok = sys.close(file_, err);
    file_ = keep;
    kept_ = keep != platform::kNoHandle;
    if (!ok && kept_) {
        sys.close(keep, err);
        file_ = platform::kNoHandle;
        plan_.unnamed = false;  // gone with its handles
        plan_.temporary.clear();
    }
    return ok || fail(err);
}

bool FileSink::commit() {
    if (plan_.unnamed) return commit_unnamed();
    if (plan_.temporary.empty()) return true;
    int err = 0;
    const bool ok = system_calls().rename(plan_.temporary.c_str(), plan_.target.c_str(), err);
    if (!ok) {
        fail(err);
        system_calls().remove(plan_.temporary.c_str());
    }
    platform::release_temporary(slot_);
    plan_.temporary.clear();
    return ok;
}

// The unnamed file takes the output's name. When another program created
// the output meanwhile, it is given the temporary's name and replaces that
// file like any other. Then it is closed: a close that fails takes the
// output away again, as it would never have been renamed.
bool FileSink::commit_unnamed() {
    platform::SystemCalls& sys = system_calls();
    int err = 0;
    bool ok = sys.link(file_, plan_.target.c_str(), err);
    if (!ok && err == EEXIST) {
        slot_ = platform::hold_temporary(plan_.temporary);
        ok = sys.link(file_, plan_.temporary.c_str(), err);
        if (!ok && err == EEXIST) {  // left by a killed run whose process number this one has now
            sys.remove(plan_.temporary.c_str());
            ok = sys.link(file_, plan_.temporary.c_str(), err);
        }
        if (ok && !sys.rename(plan_.temporary.c_str(), plan_.target.c_str(), err)) {
            sys.remove(plan_.temporary.c_str());
            ok = false;
        }
        platform::release_temporary(slot_);
    }
    // The handle left is the one that kept the closed file, or the writing
    // one where no second handle could be had: only then does its close tell
    // whether all was written.
    int close_err = 0;
    const bool closed = sys.close(file_, close_err);
    file_ = platform::kNoHandle;
    if (ok && !closed && !kept_) {
        sys.remove(plan_.target.c_str());
        err = close_err;
        ok = false;
    }
    closed_ = true;
    plan_.unnamed = false;
    plan_.temporary.clear();
    return ok || fail(err);
}

void FileSink::discard() noexcept {
    closed_ = true;
    if (file_ != platform::kNoHandle) {
        int ignored = 0;
        system_calls().close(file_, ignored);
        file_ = platform::kNoHandle;
    }
    plan_.unnamed = false;  // gone with its descriptor
    if (plan_.temporary.empty()) return;
    system_calls().remove(plan_.temporary.c_str());
    platform::release_temporary(slot_);
    plan_.temporary.clear();
}

}  // namespace velmorak::io
