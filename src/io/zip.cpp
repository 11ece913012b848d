// No ZIP library is packaged for both of our builds (Debian and the Windows
// cross build), so the archive's directory is read here, by the published
// layout of the format: the end record (searched for from the end, within
// the longest comment it may carry), its ZIP64 locator and record, the
// central directory and the member's local header. Every offset and size read
// from the archive is checked against the file's real size before it is used,
// and ZIP64 fields stand in for the 32-bit ones only where those say so. The
// member's sizes, CRC-32 and method come from the central directory: writers
// that stream (Info-ZIP reading from a pipe, for one) leave them zero in the
// local header. zlib inflates the member in fixed buffers.
#include "io/zip.h"

#include <zlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "io/system_file.h"
#include "io/zip_format.h"

namespace velmorak::io {
namespace {

using namespace zip_format;

constexpr std::uint64_t kEndSize = 22;
constexpr std::uint64_t kZip64LocatorSize = 20;
constexpr std::uint64_t kZip64EndSize = 56;
constexpr std::uint64_t kCentralSize = 46;
constexpr std::uint64_t kLocalSize = 30;
constexpr std::uint64_t kMaxComment = 0xFFFF;
constexpr std::size_t kInflateInput = 1 << 18;  // compressed bytes read at a time

std::uint16_t get16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t get64(const unsigned char* p) { return get32(p) | (static_cast<std::uint64_t>(get32(p + 4)) << 32); }

// Streams one member: inflated through zlib, or copied when stored. Its CRC-32
// and length are compared with the directory's at its end; a member that would
// grow past its declared size fails at once, so a ZIP bomb ends early.
class MemberSource final : public ByteSource {
public:
    MemberSource(std::unique_ptr<RandomAccessBytes> file, ZipEntry member, std::uint64_t data_offset)
        : file_(std::move(file)), member_(std::move(member)), data_offset_(data_offset), input_(kInflateInput) {}
    ~MemberSource() override {
        if (inflating_) inflateEnd(&zs_);
    }
    MemberSource(const MemberSource&) = delete;
    MemberSource& operator=(const MemberSource&) = delete;

    bool start() {
        if (member_.method == kDeflated) {
            zs_ = {};
            // Negative window bits: a raw DEFLATE stream, without zlib's header.
            if (inflateInit2(&zs_, -MAX_WBITS) != Z_OK) {
                why_ = "zlib could not start inflating";
                return false;
            }
            inflating_ = true;
        }
        return rewind();
    }

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        if (failed_) return -1;
        if (done_ || n == 0) return 0;
        n = std::min<std::size_t>(n, 1u << 30);  // zlib counts in unsigned int
        std::size_t got = 0;
        if (member_.method == kStored) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, member_.size - produced_));
            if (want > 0 && !file_->read_at(data_offset_ + produced_, dst, want)) return fail(file_->error());
            got = want;
            crc_ = crc32(crc_, static_cast<const Bytef*>(dst), static_cast<uInt>(got));
            produced_ += got;
            if (produced_ == member_.size) return finish(got);
            return static_cast<std::ptrdiff_t>(got);
        }
        zs_.next_out = static_cast<Bytef*>(dst);
        zs_.avail_out = static_cast<uInt>(n);
        while (zs_.avail_out > 0) {
            if (zs_.avail_in == 0 && consumed_ < member_.compressed) {
                const std::size_t want =
                    static_cast<std::size_t>(std::min<std::uint64_t>(input_.size(), member_.compressed - consumed_));
                if (!file_->read_at(data_offset_ + consumed_, input_.data(), want)) return fail(file_->error());
                consumed_ += want;
                zs_.next_in = input_.data();
                zs_.avail_in = static_cast<uInt>(want);
            }
            const int ret = inflate(&zs_, Z_NO_FLUSH);
            got = n - zs_.avail_out;
            if (produced_ + got > member_.size)
                return fail("Member " + member_.name + " inflates to more bytes than the archive's directory gives it.");
            if (ret == Z_STREAM_END) {
                crc_ = crc32(crc_, static_cast<const Bytef*>(dst), static_cast<uInt>(got));
                produced_ += got;
                if (produced_ != member_.size)
                    return fail("Member " + member_.name + " inflates to fewer bytes than the archive's directory gives it.");
                return finish(got);
            }
            if (ret == Z_BUF_ERROR && (zs_.avail_in > 0 || consumed_ >= member_.compressed))
                return fail("The compressed data of member " + member_.name + " ends early: the archive is damaged.");
            if (ret != Z_OK && ret != Z_BUF_ERROR)
                return fail("The compressed data of member " + member_.name + " is damaged" +
                            (zs_.msg != nullptr ? std::string(" (") + zs_.msg + ")." : std::string(".")));
        }
        crc_ = crc32(crc_, static_cast<const Bytef*>(dst), static_cast<uInt>(got));
        produced_ += got;
        return static_cast<std::ptrdiff_t>(got);
    }

    bool rewind() override {
        if (member_.method == kDeflated && inflateReset(&zs_) != Z_OK) return false;
        zs_.avail_in = 0;
        consumed_ = produced_ = 0;
        crc_ = crc32(0, Z_NULL, 0);
        done_ = failed_ = false;
        why_.clear();
        return true;
    }
    std::optional<std::uint64_t> size() const override { return member_.size; }
    const std::string& error() const override { return why_; }

private:
    std::ptrdiff_t fail(std::string why) {
        failed_ = true;
        why_ = std::move(why);
        return -1;
    }
    std::ptrdiff_t finish(std::size_t got) {
        if (crc_ != member_.crc) return fail("Member " + member_.name + " fails its CRC-32 check: the archive is damaged.");
        done_ = true;
        return static_cast<std::ptrdiff_t>(got);
    }

    std::unique_ptr<RandomAccessBytes> file_;
    ZipEntry member_;
    std::uint64_t data_offset_;  // behind the local header
    std::vector<unsigned char> input_;
    z_stream zs_{};
    bool inflating_ = false;
    std::uint64_t consumed_ = 0;  // compressed bytes handed to zlib
    std::uint64_t produced_ = 0;  // member bytes handed out
    std::uint32_t crc_ = 0;
    bool done_ = false;
    bool failed_ = false;
    std::string why_;
};

const char* const kOutside = "The archive's directory points outside the file.";
const char* const kNotZip = "Not a ZIP archive.";
const char* const kDamagedDirectory = "The archive's directory is damaged.";

// Finds the end of central directory record and, through ZIP64 where the
// 32-bit fields say so, the directory's offset, size and number of entries.
bool find_directory(RandomAccessBytes& file, std::uint64_t& offset, std::uint64_t& length, std::uint64_t& entries,
                    std::string& why) {
    const std::uint64_t size = file.size();
    if (size < kEndSize) {
        why = kNotZip;
        return false;
    }
    const std::uint64_t span = std::min(size, kEndSize + kMaxComment);
    std::vector<unsigned char> tail(static_cast<std::size_t>(span));
    if (!file.read_at(size - span, tail.data(), tail.size())) {
        why = "Cannot read the end of the file.";
        return false;
    }
    std::size_t at = tail.size() - kEndSize + 1;
    bool found = false;
    while (at-- > 0) {
        if (get32(&tail[at]) != kEndSignature) continue;
        // The comment must fit in what follows the record.
        if (at + kEndSize + get16(&tail[at + 20]) <= tail.size()) {
            found = true;
            break;
        }
    }
    if (!found) {
        // An archive cut short loses its end first; tell it from other files by its start.
        unsigned char head[4];
        why = file.read_at(0, head, 4) && get32(head) == kLocalSignature
                  ? "The archive is cut short: its directory is missing."
                  : kNotZip;
        return false;
    }
    const unsigned char* end = &tail[at];
    const std::uint64_t end_offset = size - span + at;
    if (get16(end + 4) != 0 || get16(end + 6) != 0) {
        why = "The archive is split over several files.";
        return false;
    }
    entries = get16(end + 10);
    length = get32(end + 12);
    offset = get32(end + 16);
    if (entries == 0xFFFF || length == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        unsigned char loc[kZip64LocatorSize];
        if (end_offset < kZip64LocatorSize || !file.read_at(end_offset - kZip64LocatorSize, loc, sizeof loc) ||
            get32(loc) != kZip64LocatorSignature) {
            why = "The archive's ZIP64 end record is missing.";
            return false;
        }
        const std::uint64_t record = get64(loc + 8);
        unsigned char z[kZip64EndSize];
        if (record > end_offset - kZip64LocatorSize || !file.read_at(record, z, sizeof z) ||
            get32(z) != kZip64EndSignature) {
            why = kOutside;
            return false;
        }
        if (get32(z + 16) != 0 || get32(z + 20) != 0) {
            why = "The archive is split over several files.";
            return false;
        }
        if (entries == 0xFFFF) entries = get64(z + 32);
        if (length == 0xFFFFFFFF) length = get64(z + 40);
        if (offset == 0xFFFFFFFF) offset = get64(z + 48);
    }
    if (offset > size || length > size - offset) {
        why = kOutside;
        return false;
    }
    // Every entry takes at least its fixed part.
    if (entries > length / kCentralSize) {
        why = kDamagedDirectory;
        return false;
    }
    return true;
}

// Replaces the 32-bit sizes and offset of an entry that says so with those of
// its ZIP64 extra field (which holds only the ones replaced, in this order).
bool apply_zip64(const unsigned char* extra, std::size_t n, std::uint32_t size32, std::uint32_t compressed32,
                 std::uint32_t offset32, ZipEntry& m) {
    if (size32 != 0xFFFFFFFF && compressed32 != 0xFFFFFFFF && offset32 != 0xFFFFFFFF) return true;
    for (std::size_t i = 0; i + 4 <= n;) {
        const std::uint16_t id = get16(extra + i);
        const std::size_t len = get16(extra + i + 2);
        if (i + 4 + len > n) break;
        if (id == kZip64Extra) {
            const unsigned char* p = extra + i + 4;
            std::size_t left = len;
            auto take = [&](std::uint64_t& field) {
                if (left < 8) return false;
                field = get64(p);
                p += 8;
                left -= 8;
                return true;
            };
            if (size32 == 0xFFFFFFFF && !take(m.size)) return false;
            if (compressed32 == 0xFFFFFFFF && !take(m.compressed)) return false;
            if (offset32 == 0xFFFFFFFF && !take(m.local_offset)) return false;
            return true;
        }
        i += 4 + len;
    }
    return false;
}

// Reads the central directory's entries.
bool read_entries(RandomAccessBytes& file, std::uint64_t offset, std::uint64_t length, std::uint64_t count,
                  std::vector<ZipEntry>& out, std::string& why) {
    std::vector<unsigned char> dir(static_cast<std::size_t>(length));
    if (!file.read_at(offset, dir.data(), dir.size())) {
        why = kOutside;
        return false;
    }
    std::size_t at = 0;
    for (std::uint64_t e = 0; e < count; ++e) {
        if (at + kCentralSize > dir.size() || get32(&dir[at]) != kCentralSignature) {
            why = kDamagedDirectory;
            return false;
        }
        const unsigned char* h = &dir[at];
        const std::size_t name_len = get16(h + 28);
        const std::size_t extra_len = get16(h + 30);
        const std::size_t comment_len = get16(h + 32);
        if (at + kCentralSize + name_len + extra_len + comment_len > dir.size()) {
            why = kDamagedDirectory;
            return false;
        }
        ZipEntry m;
        m.name.assign(reinterpret_cast<const char*>(h + kCentralSize), name_len);
        m.flags = get16(h + 8);
        m.method = get16(h + 10);
        m.crc = get32(h + 16);
        const std::uint32_t compressed32 = get32(h + 20);
        const std::uint32_t size32 = get32(h + 24);
        const std::uint32_t offset32 = get32(h + 42);
        m.compressed = compressed32;
        m.size = size32;
        m.local_offset = offset32;
        m.zip64_missing = !apply_zip64(h + kCentralSize + name_len, extra_len, size32, compressed32, offset32, m);
        out.push_back(std::move(m));
        at += kCentralSize + name_len + extra_len + comment_len;
    }
    return true;
}

// Checks a member's flags, method and sizes and finds its data behind the
// local header (at `data`).
bool locate_data(RandomAccessBytes& file, std::uint64_t directory, const ZipEntry& m, std::uint64_t& data,
                 std::string& why) {
    if (m.zip64_missing) {
        why = "The archive's ZIP64 sizes of member " + m.name + " are missing.";
        return false;
    }
    if ((m.flags & 0x0001) != 0 || (m.flags & 0x0040) != 0) {
        why = "Member " + m.name + " is encrypted.";
        return false;
    }
    if (m.method != kStored && m.method != kDeflated) {
        why = "Member " + m.name + " is compressed with method " + std::to_string(m.method) +
              "; only stored and DEFLATE members can be read.";
        return false;
    }
    if (m.method == kStored && m.compressed != m.size) {
        why = "The archive's sizes of stored member " + m.name + " disagree.";
        return false;
    }
    unsigned char h[kLocalSize];
    if (m.local_offset > directory || !file.read_at(m.local_offset, h, sizeof h)) {
        why = kOutside;
        return false;
    }
    if (get32(h) != kLocalSignature) {
        why = "The archive's directory does not point at member " + m.name + ".";
        return false;
    }
    data = m.local_offset + kLocalSize + get16(h + 26) + get16(h + 28);
    // The data lies before the directory.
    if (data > directory || m.compressed > directory - data) {
        why = "The archive is cut short, or its directory points outside the file.";
        return false;
    }
    return true;
}

// A plain file, read at offsets.
class FileBytes final : public RandomAccessBytes {
public:
    explicit FileBytes(std::unique_ptr<FileSource> file) : file_(std::move(file)) {}
    bool read_at(std::uint64_t offset, void* dst, std::size_t n) override { return file_->read_at(offset, dst, n); }
    std::uint64_t size() const override { return *file_->size(); }
    const std::string& error() const override { return file_->error(); }

private:
    std::unique_ptr<FileSource> file_;
};

}  // namespace

ZipArchive::ZipArchive(std::unique_ptr<RandomAccessBytes> file) : file_(std::move(file)) {}

ZipArchive::~ZipArchive() = default;

std::unique_ptr<ZipArchive> ZipArchive::open(std::string_view name, std::string& why) {
    std::unique_ptr<FileSource> file = FileSource::open(name, why);
    if (!file) return nullptr;
    return open(std::make_unique<FileBytes>(std::move(file)), why);
}

std::unique_ptr<ZipArchive> ZipArchive::open(std::unique_ptr<RandomAccessBytes> file, std::string& why) {
    std::unique_ptr<ZipArchive> zip(new ZipArchive(std::move(file)));
    std::uint64_t length = 0, count = 0;
    if (find_directory(*zip->file_, zip->directory_, length, count, why) &&
        read_entries(*zip->file_, zip->directory_, length, count, zip->entries_, why))
        return zip;
    // A read the system failed tells more than what the archive then seemed to be.
    if (!zip->file_->error().empty()) why = zip->file_->error();
    return nullptr;
}

std::unique_ptr<ByteSource> ZipArchive::open_member(std::size_t index, std::string& why, const ZipLimits& limits) {
    if (!file_ || index >= entries_.size()) {
        why = "No such member in the archive.";
        return nullptr;
    }
    const ZipEntry& m = entries_[index];
    std::uint64_t data = 0;
    if (!locate_data(*file_, directory_, m, data, why)) {
        if (!file_->error().empty()) why = file_->error();
        return nullptr;
    }
    const std::uint64_t archive = file_->size();
    const std::uint64_t limit = std::min(limits.max_output, archive > limits.max_output / limits.ratio
                                                                ? limits.max_output
                                                                : archive * limits.ratio);
    if (m.size > limit) {
        why = "Member " + m.name + " would inflate to " + std::to_string(m.size) + " bytes, more than " +
              (limit == limits.max_output ? std::to_string(limits.max_output >> 30) + " GiB"
                                          : std::to_string(limits.ratio) + " times the archive's size") +
              ": refused as a ZIP bomb.";
        return nullptr;
    }
    auto source = std::make_unique<MemberSource>(std::move(file_), m, data);
    if (!source->start()) {
        why = source->error();
        return nullptr;
    }
    return source;
}

}  // namespace velmorak::io
