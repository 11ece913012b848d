#include "io/zip_writer.h"

#include <ctime>
#include <limits>

#include "io/zip_format.h"

namespace velmorak::io {
namespace {

using namespace zip_format;

constexpr std::uint16_t kDescriptorFollows = 0x0008;
constexpr std::uint16_t kUtf8Name = 0x0800;
constexpr std::uint16_t kVersionDeflate = 20;
constexpr std::uint16_t kVersionZip64 = 45;
constexpr std::uint16_t kMadeOnUnix = 3 << 8;
constexpr std::uint32_t kRegularFile = 0100644u << 16;  // -rw-r--r-- in the high half
constexpr std::uint64_t kMax32 = 0xFFFFFFFF;
constexpr std::size_t kBuffer = 1 << 18;

void put16(std::vector<unsigned char>& b, std::uint32_t v) {
    b.push_back(static_cast<unsigned char>(v));
    b.push_back(static_cast<unsigned char>(v >> 8));
}
void put32(std::vector<unsigned char>& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void put64(std::vector<unsigned char>& b, std::uint64_t v) {
    put32(b, static_cast<std::uint32_t>(v));
    put32(b, static_cast<std::uint32_t>(v >> 32));
}
std::uint32_t low32(std::uint64_t v, bool zip64) { return zip64 ? 0xFFFFFFFF : static_cast<std::uint32_t>(v); }

bool is_ascii(std::string_view s) {
    for (const char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

}  // namespace

void dos_time_of(std::int64_t seconds, std::uint16_t& time, std::uint16_t& date) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
#if defined(_WIN32)
    localtime_s(&tm, &t);
#else
    localtime_r(&t, &tm);
#endif
    if (tm.tm_year < 80) {  // MS-DOS dates start in 1980
        time = 0;
        date = 0x21;
        return;
    }
    time = static_cast<std::uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    date = static_cast<std::uint16_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
}

ZipWriter::ZipWriter(Out out, std::string member, ZipOptions options)
    : out_(std::move(out)), member_(std::move(member)), options_(options), buffer_(kBuffer) {
    crc_ = crc32(0, Z_NULL, 0);
    // Negative window bits: raw DEFLATE data, as ZIP stores it, without zlib's header.
    if (deflateInit2(&zs_, options_.level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        fail("zlib could not start deflating");
        return;
    }
    deflating_ = true;
}

ZipWriter::~ZipWriter() {
    if (deflating_) deflateEnd(&zs_);
}

bool ZipWriter::fail(std::string why) {
    if (!failed_) why_ = std::move(why);
    failed_ = true;
    return false;
}

bool ZipWriter::emit(const void* data, std::size_t n) {
    if (failed_) return false;
    std::string why;
    if (n > 0 && !out_(data, n, why)) return fail(why.empty() ? std::string("the archive cannot be written") : why);
    written_ += n;
    return true;
}

bool ZipWriter::deflate_some(int flush) {
    for (;;) {
        zs_.next_out = buffer_.data();
        zs_.avail_out = static_cast<uInt>(buffer_.size());
        const int ret = deflate(&zs_, flush);
        if (ret == Z_STREAM_ERROR) return fail("zlib failed while deflating");
        const std::size_t got = buffer_.size() - zs_.avail_out;
        compressed_ += got;
        if (!emit(buffer_.data(), got)) return false;
        if (flush == Z_FINISH ? ret == Z_STREAM_END : zs_.avail_out != 0) return true;
    }
}

bool ZipWriter::write(const void* data, std::size_t n) {
    if (failed_ || finished_) return failed_ ? false : fail("the archive is already finished");
    if (!started_) {
        // The local header: CRC-32 and sizes are not known yet; the data descriptor brings them.
        std::vector<unsigned char> h;
        put32(h, kLocalSignature);
        put16(h, options_.zip64 ? kVersionZip64 : kVersionDeflate);
        put16(h, kDescriptorFollows | (is_ascii(member_) ? 0 : kUtf8Name));
        put16(h, kDeflated);
        put16(h, options_.dos_time);
        put16(h, options_.dos_date);
        put32(h, 0);
        put32(h, 0);
        put32(h, 0);
        put16(h, static_cast<std::uint32_t>(member_.size()));
        put16(h, 0);
        h.insert(h.end(), member_.begin(), member_.end());
        started_ = true;
        if (!emit(h)) return false;
    }
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        // zlib counts in unsigned int.
        const std::size_t piece = std::min<std::size_t>(n, std::numeric_limits<uInt>::max());
        crc_ = crc32(crc_, p, static_cast<uInt>(piece));
        zs_.next_in = const_cast<Bytef*>(p);
        zs_.avail_in = static_cast<uInt>(piece);
        if (!deflate_some(Z_NO_FLUSH)) return false;
        size_ += piece;
        p += piece;
        n -= piece;
    }
    return true;
}

bool ZipWriter::finish() {
    if (failed_) return false;
    if (finished_) return true;
    if (!started_ && !write(nullptr, 0)) return false;
    zs_.next_in = nullptr;
    zs_.avail_in = 0;
    if (!deflate_some(Z_FINISH)) return false;
    const bool big = size_ >= kMax32 || compressed_ >= kMax32;
    // The member's local header stands at offset 0: only its sizes can need ZIP64.
    const bool zip64_entry = options_.zip64 || big;

    std::vector<unsigned char> d;
    put32(d, kDescriptorSignature);
    put32(d, crc_);
    if (zip64_entry) {
        put64(d, compressed_);
        put64(d, size_);
    } else {
        put32(d, static_cast<std::uint32_t>(compressed_));
        put32(d, static_cast<std::uint32_t>(size_));
    }
    if (!emit(d)) return false;

    const std::uint64_t directory = written_;
    std::vector<unsigned char> c;
    put32(c, kCentralSignature);
    put16(c, kMadeOnUnix | kVersionZip64);
    put16(c, zip64_entry ? kVersionZip64 : kVersionDeflate);
    put16(c, kDescriptorFollows | (is_ascii(member_) ? 0 : kUtf8Name));
    put16(c, kDeflated);
    put16(c, options_.dos_time);
    put16(c, options_.dos_date);
    put32(c, crc_);
    put32(c, low32(compressed_, zip64_entry));
    put32(c, low32(size_, zip64_entry));
    put16(c, static_cast<std::uint32_t>(member_.size()));
    put16(c, zip64_entry ? 28 : 0);  // the ZIP64 extra field: its header and three sizes
    put16(c, 0);                     // comment
    put16(c, 0);                     // disk
    put16(c, 0);                     // internal attributes
    put32(c, kRegularFile);
    put32(c, low32(0, zip64_entry));
    c.insert(c.end(), member_.begin(), member_.end());
    if (zip64_entry) {
        // In the order the format gives: size, compressed size, local header offset.
        put16(c, kZip64Extra);
        put16(c, 24);
        put64(c, size_);
        put64(c, compressed_);
        put64(c, 0);
    }
    if (!emit(c)) return false;
    const std::uint64_t directory_size = written_ - directory;

    std::vector<unsigned char> e;
    const bool zip64_end = options_.zip64 || directory >= kMax32;
    if (zip64_end) {
        const std::uint64_t record = written_;
        put32(e, kZip64EndSignature);
        put64(e, 44);  // the record's size after this field
        put16(e, kMadeOnUnix | kVersionZip64);
        put16(e, kVersionZip64);
        put32(e, 0);
        put32(e, 0);
        put64(e, 1);
        put64(e, 1);
        put64(e, directory_size);
        put64(e, directory);
        put32(e, kZip64LocatorSignature);
        put32(e, 0);
        put64(e, record);
        put32(e, 1);
    }
    put32(e, kEndSignature);
    put16(e, 0);
    put16(e, 0);
    put16(e, zip64_end ? 0xFFFF : 1);
    put16(e, zip64_end ? 0xFFFF : 1);
    put32(e, low32(directory_size, zip64_end));
    put32(e, low32(directory, zip64_end));
    put16(e, 0);
    if (!emit(e)) return false;
    finished_ = true;
    return true;
}

}  // namespace velmorak::io
