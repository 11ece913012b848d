#pragma once
// File names as the file system sees them.
//
// Names come from users and from other programs of the suite, often written
// on Windows: a backslash in a name is a folder separator whenever the file
// system is asked (open, exists, save date). A name holding a NUL names no
// file: the system would read it only up to the NUL and reach another one.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace velmorak::io {

bool has_nul(std::string_view name);
// The name as the file system sees it: backslashes become folder separators.
std::filesystem::path native_path(std::string_view name);
// Inputs are found in any letter case where the name as spelled is missing
// (platform::input_name): file_exists and save_date ask of inputs that way,
// and input_file_name gives the name an input is found under. An output is
// written as spelled, so nothing here looks up an output's folder.
bool file_exists(std::string_view name);
// Last-modification time in whole seconds; empty when it cannot be read.
std::optional<std::int64_t> save_date(std::string_view name);
std::string input_file_name(std::string_view name);
// The key of the table of open files: the absolute, normalised path.
std::string open_file_key(std::string_view name);

// Where a name leads, as spelled: its key in the table of open files and,
// when the file exists, its identity (device and file number), which links
// and other spellings of one file share.
struct FileKey {
    std::string path;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> identity;
    bool same_as(const FileKey& other) const {
        return path == other.path || (identity.has_value() && identity == other.identity);
    }
};
FileKey file_key(std::string_view name);
// True when writing `output` would write the file `input` names (give an
// input as input_file_name found it).
bool same_file(std::string_view output, std::string_view input);

}  // namespace velmorak::io
