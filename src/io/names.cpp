#include "io/names.h"

#include "io/platform.h"

namespace velmorak::io {

bool has_nul(std::string_view name) { return name.find('\0') != std::string_view::npos; }

std::filesystem::path native_path(std::string_view name) { return platform::native_path(name); }

bool file_exists(std::string_view name) { return !has_nul(name) && platform::exists(name); }

std::optional<std::int64_t> save_date(std::string_view name) {
    if (has_nul(name)) return std::nullopt;
    return platform::modified_seconds(name);
}

std::string input_file_name(std::string_view name) {
    return has_nul(name) ? std::string(name) : platform::input_name(name);
}

// The program never changes its working folder, so it is asked for once: a run
// that writes thousands of files would otherwise ask at every open.
const std::filesystem::path& working_folder(std::error_code& ec) {
    static std::error_code first_ec;
    static const std::filesystem::path folder = std::filesystem::current_path(first_ec);
    ec = first_ec;
    return folder;
}

std::string open_file_key(std::string_view name) {
    const std::filesystem::path p = native_path(name);
    if (p.is_absolute()) return p.lexically_normal().string();
    std::error_code ec;
    const std::filesystem::path& folder = working_folder(ec);
    if (ec) return platform::native_name(name);
    return (folder / p).lexically_normal().string();
}

FileKey file_key(std::string_view name) {
    FileKey key{open_file_key(name), std::nullopt};
    if (!has_nul(name)) key.identity = platform::file_identity(name);
    return key;
}

bool same_file(std::string_view output, std::string_view input) { return file_key(output).same_as(file_key(input)); }

}  // namespace velmorak::io
