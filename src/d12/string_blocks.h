#pragma once
// The block structure of a 12d ASCII string, as the reader's steps follow it:
// which line is a string's header, which block holds its vertices, how the
// brace level steps line by line, and how a block is passed over whole.
//
// The brace level lives in the d12Object (object.h): 0 between objects, 1 at
// a string's own level. A file that ends while a block is open closes that
// block there, and the object records that it was cut off.
#include <cstddef>
#include <string_view>

#include "d12/line_lexer.h"
#include "d12/object.h"

namespace velmorak::d12 {

// Keywords are matched in any case, anywhere in the tested text.
bool has_keyword(std::string_view text, std::string_view keyword);
// A line starts with a keyword when the keyword lies within as many leading characters as it is long.
bool starts_with_keyword(std::string_view line, std::string_view keyword);
bool same_word(std::string_view word, std::string_view keyword);

// A string's header line: "string" before its first brace, which opens.
bool is_string_header(std::string_view line);

// The type word stands from column 8 (after "string ") to two columns before the first "{".
std::string_view type_word(std::string_view line);

// The header flags from a string's header line, and the data flags from any other line.
void set_header_flags(std::string_view line, d12Object& o);
void set_data_flags(std::string_view line, d12Object& o);

enum class BlockWord { other, data, data_2d, data_3d, hipdata, horizontal_data };

// The data-block word of a line that opens a block holding vertices of the
// current string: one of the four data words at the string's own level, or
// data_2d inside a super alignment's horizontal_data. BlockWord::other
// otherwise; `brace` is the position of the block's opening brace.
BlockWord data_block(std::string_view line, const d12Object& o, std::size_t& brace);

// Counts a line of a string that opens no data block. At a super alignment's
// own level, its horizontal_data block is entered rather than passed over, so
// that the plan's data_2d block inside it is found.
void step_over(std::string_view line, d12Object& o);

// Takes `line` (standing at o.level) as the start of the current data block:
// its data flags, its braces, and the text of a block that closes on this line.
void open_data_block(std::string_view line, BlockWord word, std::size_t brace, d12Object& o);

// Reads on until the level is back at 0: the rest of a block passed over
// whole, shown to `details` when it is the rest of a string (string_details.h).
void pass_over(LineLexer& lines, d12Object& o, StringDetails* details = nullptr);

// Reads on through the rest of a super string to its next data block or its
// closing brace. The next block's line is stepped back over, so that the
// next d12NextLine returns it and d12ObjectType, with `more` set, takes it as
// the next object of the same string.
void find_next_block(LineLexer& lines, d12Object& o);

// The file ended where the object stands: whatever block is open ends here.
void end_of_file(d12Object& o);

}  // namespace velmorak::d12
