#pragma once
// A 12d ASCII file written anew from models and strings given one by one, for
// callers that make a whole file (the C interface of d12.h): "null -999",
// then each model's line and its strings as "string super" blocks, in the
// layout of mif2d12/d12_writer.h that the GDAL driver writes too. A string's
// attributes named "group/attribute" go into group blocks, the values of one
// group together in the order given.
//
// The text is UTF-8 with a byte order mark and LF line ends, or UTF-16LE with
// a byte order mark and CRLF line ends, as the terrain package writes its own
// exports; a name ending ".12daz" makes a ZIP archive of one member, named
// like the archive with ".12da". The file goes through the file layer's
// output (io::OutputFile): written under a temporary name, it takes its own
// name in finish() only, so a writer destroyed before, or a write that fails,
// leaves an earlier file of that name as it was.
//
// A string that cannot be written as given (an integer that is not a number,
// a vertex without coordinates) is refused whole, before any of it is
// written; the file stays good and the writer goes on. A failed write (a full
// disk) is remembered: every later call fails with its reason.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/output_file.h"
#include "io/zip_writer.h"
#include "mif2d12/d12_writer.h"

namespace velmorak::d12 {

enum class TextEncoding { utf8, utf16 };

struct AttributeOut {
    std::string_view name;  // "group/attribute" inside a group, "a/b/c" nested
    mif2d12::AttributeType type = mif2d12::AttributeType::text;
    std::string_view value;  // a number's text for an integer or a real
};

struct StringOut {
    mif2d12::SuperString header;
    std::span<const double> x;
    std::span<const double> y;
    // Empty for a string without heights, else one per vertex (NaN: a null height).
    std::span<const double> z;
    std::span<const AttributeOut> attributes;
};

class FileWriter {
public:
    enum class Status { ok, invalid, failed };

    // The reader keeps this many values of one string and this many nested
    // blocks (an attributes block and each group's two); the writer writes no
    // string the reader would cut.
    static constexpr std::size_t kMaxAttributes = 10000;
    static constexpr std::size_t kMaxGroupDepth = 31;

    // Creates the file under its temporary name; nullptr, with the reason in
    // `why` ("<name>: ..."), when it cannot.
    static std::unique_ptr<FileWriter> create(std::string_view name, TextEncoding encoding, std::string& why);
    ~FileWriter();
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    // The model the strings written next belong to; its line is written when it changes.
    Status model(std::string_view name);
    Status write_string(const StringOut& s);
    // Writes what is left and gives the file its name.
    Status finish();
    // Why the last call did not give ok; kept after a failure.
    const std::string& error() const noexcept { return why_; }

private:
    FileWriter(std::unique_ptr<io::OutputFile> file, std::string name, TextEncoding encoding);
    bool check(const StringOut& s);
    void plan_groups(std::span<const AttributeOut> attributes);
    void append_group(const StringOut& s, std::size_t group, int depth);
    bool put(const void* data, std::size_t n);
    bool flush();
    Status fail(std::string_view what, const std::string& reason);
    Status refuse(std::string text);

    static constexpr std::size_t kFlushAt = 1 << 20;
    std::unique_ptr<io::OutputFile> file_;
    std::unique_ptr<io::ZipWriter> zip_;  // after file_: destroyed before it
    std::string name_;
    TextEncoding encoding_;
    std::string text_;  // UTF-8, always ending at a line end when flushed
    std::string encoded_;
    std::string model_;
    bool has_model_ = false;
    bool failed_ = false;
    bool finished_ = false;
    std::uint64_t strings_ = 0;
    std::string why_;
    std::string number_;

    // The groups of the string being written, kept between strings for their capacity.
    struct Group {
        std::string_view name;
        std::size_t first_child, last_child, next_sibling;
        std::size_t first_value, last_value;
    };
    std::vector<Group> groups_;
    std::vector<std::size_t> next_value_;
    std::vector<std::string_view> leaf_;  // each attribute's name inside its group
};

}  // namespace velmorak::d12
