#pragma once
// The line lexer of 12d ASCII text: which lines count, where a line's comment
// begins, which braces open and close blocks, and how a quoted text reads.
// The object logic of reader.h works on what it hands out.
//
// The package writes a quote inside a quoted text as \" and a backslash as \\;
// any other backslash is itself (a folder name such as sub\XS1). A quoted text
// whose closing quote is missing runs to the end of its line. Braces and "//"
// inside quoted texts (attribute values such as "GNSS {RTK}", web addresses)
// are text; "//" outside them starts a comment.
//
// LineLexer counts the lines it reads, so that a message can name the line a
// string or a block began on. Nothing here allocates per line: lines are
// views into the file's buffer.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "io/input_file.h"
#include "util/freeformat.h"

namespace velmorak::d12 {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The position just after the quoted text that starts at line[pos] (a quote).
std::size_t skip_quoted(std::string_view line, std::size_t pos) noexcept;

// True when the line holds a brace anywhere, inside quoted text or not: the
// cheap test that spares most lines a look at their quotes.
inline bool any_brace(std::string_view line) noexcept {
    return !line.empty() && (std::memchr(line.data(), '}', line.size()) != nullptr ||
                             std::memchr(line.data(), '{', line.size()) != nullptr);
}

// The next brace outside quoted text at or after `pos` (which stands outside
// quoted text), or kNotFound.
std::size_t next_brace(std::string_view line, std::size_t pos) noexcept;

// True when the line holds a brace outside quoted text.
bool has_brace(std::string_view line) noexcept;

// Counts the line's braces into `level`. A closing brace with nothing open (one
// too many, as after a "model ... {" header line) is passed over.
void apply_braces(std::string_view line, int& level) noexcept;

// Where the line's comment begins: its first "//" outside quoted text, or kNotFound.
std::size_t comment_start(std::string_view line) noexcept;

// A value after a keyword: a quoted text (\" and \\ read as a quote and a
// backslash; a missing closing quote ends it at the end of the line), or an
// unquoted text read in free format, which ends at a blank, a comma or a slash.
util::ReadStatus read_text_value(std::string_view rest, std::string& value);

class LineLexer {
public:
    explicit LineLexer(io::InputFile& file) noexcept : file_(file) {}

    io::InputFile& file() noexcept { return file_; }

    // The next line of the file as it stands (counted).
    io::LineStatus read_line(std::string_view& raw);

    // The next line that is neither empty nor a comment line, in two views.
    // `text` is what values are read from: the line cut to `width`,
    // left-adjusted (blanks only), without its comment and trailing blanks.
    // `whole` is the same without the cut, for counting braces: a side block on
    // one line can run far past any buffer width. Both views live in the file's
    // buffer: they stay valid only until the file is asked anything else
    // (at_eof() may refill the buffer). False at the end of the file or on a
    // read error, with both views empty.
    bool next_significant(std::size_t width, std::string_view& text, std::string_view& whole);

    // Steps back to the start of the line read last.
    bool back();
    void rewind();
    bool at_eof() { return file_.at_eof(); }

    // The 1-based number of the line read last; 0 before the first.
    std::size_t line_number() const noexcept { return number_; }
    // After the file was placed on a line: the number of the line before it.
    void set_line_number(std::size_t number) noexcept { number_ = number; }

private:
    io::InputFile& file_;
    std::size_t number_ = 0;
};

}  // namespace velmorak::d12
