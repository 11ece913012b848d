#pragma once
// Buffered line input.
//
// InputFile streams a file through one large buffer and hands out each line
// as a view into it, with no allocation per line. It remembers where the last
// line began, so stepping back one line costs no re-read. Lines end at LF,
// CRLF or a CR alone (as classic Mac OS wrote them); the line end is not data. A file that begins with a UTF-8, UTF-16LE
// or UTF-16BE byte order mark (the terrain package writes its 12d ASCII
// exports as UTF-16LE) is decoded into Windows-1252, the 8-bit text the rest
// of the program works on; a character without such a byte becomes "?" and
// the file reports that it replaced something.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/byte_source.h"

namespace velmorak::io {

enum class LineStatus { ok, eof, error };

class InputFile {
public:
    // Opens a plain file for shared reading; nullptr (and errno-style text in
    // `why`) on failure. A folder, a named pipe or a device is refused: the
    // readers rewind their files, and a pipe or device may never end.
    static std::unique_ptr<InputFile> open(std::string_view name, std::string* why = nullptr);
    // Reads the lines of any byte source (an archive member, say) the same way.
    static std::unique_ptr<InputFile> from_source(std::unique_ptr<ByteSource> source);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // The next line without its line end. The view is valid until the file is
    // asked anything else (read_line, at_eof, rewind, back may all move the
    // buffer). Builds with VELMORAK_CHECK_LINE_VIEWS hand out every line in an
    // allocation of its own that the next of those calls frees, so that
    // AddressSanitizer reports a view that is kept too long.
    LineStatus read_line(std::string_view& line);
    // True when the line read last is the file's last and has no line end: a
    // file cut off in a copy, whose last line may be cut in the middle of a number.
    bool last_line_unended() const noexcept { return unended_; }
    // True when no further line can be read, also after a read failed.
    bool at_eof();
    void rewind();
    // Steps back to the start of the line read last; false when there is none.
    bool back();

    // Called once, the first time a character had to be replaced by "?".
    void on_replacement(std::function<void()> callback) { on_replace_ = std::move(callback); }

    // What went wrong when read_line gave LineStatus::error (empty otherwise).
    const std::string& failure() const noexcept { return source_->error(); }

    // Bytes of the file consumed so far (for progress and tests).
    std::uint64_t raw_offset() const noexcept { return raw_offset_; }

    // Where the line read last begins in the file (after back(), the line to
    // be read next): an offset seek() goes back to. Offsets count the bytes of
    // the source, so they name lines only where the file does not decode its
    // text (no byte order mark).
    std::uint64_t line_offset() const noexcept;
    // Whether seek() can place the file at a line.
    bool seekable() const noexcept { return encoding_ == Encoding::bytes && !error_ && source_->seekable(); }
    // The next line read is the one that begins at `offset` (from
    // line_offset()). Within the text in the buffer nothing is read; further
    // away the buffer starts again there, small, and grows as reading goes on
    // in sequence. False when the file cannot be placed there.
    bool seek(std::uint64_t offset);

    // Decodes `raw` (a whole file with byte order mark) as the reader would.
    static std::string decode_for_test(std::string_view raw, bool* replaced = nullptr);

private:
    enum class Encoding { bytes, utf8, utf16le, utf16be };
    explicit InputFile(std::unique_ptr<ByteSource> source);
    LineStatus next_line(std::string_view& line);
    // Where the line holding `from` ends in the buffer: `end` at its line end,
    // `next` after it. False (with resume_ where to search on) when the
    // buffer holds no whole line end from `from`.
    bool find_line_end(std::size_t from, std::size_t& end, std::size_t& next);
    void forget_line();  // ends the life of the line handed out last
    bool fill();  // reads more text after end_; false at the end of the file or on error
    void start();
    std::size_t decode(const unsigned char* p, std::size_t n, bool final);

    std::unique_ptr<ByteSource> source_;
    Encoding encoding_ = Encoding::bytes;
    std::vector<char> buf_;
    std::size_t chunk_ = 0;       // bytes asked of the file at a time
    std::size_t full_chunk_ = 0;  // ... when read in sequence from the start
    std::size_t cur_ = 0;         // next unread character
    std::size_t end_ = 0;         // end of valid text
    std::size_t prev_ = SIZE_MAX; // start of the line read last
    std::size_t no_lf_before_ = 0;  // no LF from cur_ up to here
    std::size_t no_cr_before_ = 0;  // no CR from cur_ up to here
    std::size_t resume_ = 0;      // where find_line_end stopped without a line end
    bool source_done_ = false;
    bool error_ = false;
    bool skip_rest_ = false;      // the line read last was cut: skip to its end
    bool unended_ = false;        // the line read last ended with the file, not a line end
    std::vector<unsigned char> raw_;  // undecoded bytes carried between reads
    std::uint64_t raw_offset_ = 0;
    bool replaced_ = false;
    std::function<void()> on_replace_;
    std::unique_ptr<char[]> checked_line_;  // VELMORAK_CHECK_LINE_VIEWS: the line handed out last
};

}  // namespace velmorak::io
