#include "d12/archive.h"

#include <cerrno>

#include "io/names.h"
#include "io/platform.h"
#include "io/read_ahead.h"
#include "io/system_file.h"
#include "services/units.h"
#include "util/fixed_text.h"

namespace velmorak::d12 {
namespace {

bool ends_with_nocase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    text.remove_prefix(text.size() - tail.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != tail[i]) return false;
    }
    return true;
}

std::unique_ptr<io::ByteSource> open_file1(const std::string& name, std::string& why, std::string& note) {
    if (!is_12da_archive_name(name)) return io::FileSource::open(name, why);
    std::string member;
    auto source = open_12da_archive(name, member, why);
    if (!source) return nullptr;
    note = "Archive member: " + member;
    return source;
}

}  // namespace

bool is_12da_archive_name(std::string_view name) { return ends_with_nocase(util::rtrim(name), ".12daz"); }

bool may_be_zip_archive(const std::string& path) {
    std::string why;
    const std::unique_ptr<io::FileSource> f = io::FileSource::open(path, why);
    unsigned char head[2] = {};
    return !f || !f->read_at(0, head, sizeof head) || (head[0] == 'P' && head[1] == 'K');
}

std::unique_ptr<io::ByteSource> open_12da_archive(std::string_view name, std::string& member, std::string& why,
                                                  const io::ZipLimits& limits) {
    if (io::has_nul(name)) {
        why = io::platform::error_text(EINVAL);
        return nullptr;
    }
    std::unique_ptr<io::ZipArchive> zip = io::ZipArchive::open(name, why);
    if (!zip) return nullptr;
    return open_12da_member(std::move(zip), member, why, limits);
}

std::unique_ptr<io::ByteSource> open_12da_archive(std::unique_ptr<io::RandomAccessBytes> file, std::string& member,
                                                  std::string& why, const io::ZipLimits& limits) {
    std::unique_ptr<io::ZipArchive> zip = io::ZipArchive::open(std::move(file), why);
    if (!zip) return nullptr;
    return open_12da_member(std::move(zip), member, why, limits);
}

std::unique_ptr<io::ByteSource> open_12da_member(std::unique_ptr<io::ZipArchive> zip, std::string& member,
                                                 std::string& why, const io::ZipLimits& limits) {
    const std::vector<io::ZipEntry>& entries = zip->entries();
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (ends_with_nocase(entries[i].name, ".12da")) found.push_back(i);
    if (found.empty()) {
        why = "The archive holds no .12da file.";
        return nullptr;
    }
    if (found.size() > 1) {
        why = "The archive holds several .12da files:";
        for (std::size_t k = 0; k < found.size(); ++k) why += (k == 0 ? " " : ", ") + entries[found[k]].name;
        why += ".";
        return nullptr;
    }
    const std::string name_in_archive = entries[found.front()].name;
    auto source = zip->open_member(found.front(), why, limits);
    if (!source) return nullptr;
    member = name_in_archive;
    // The first block read ahead holds all of a small member, so a damaged
    // one is refused when the file is opened, before any output is.
    return io::read_ahead(std::move(source));
}

void open_12d_file(int& unit, std::string_view file1) { services::OPENFILE(unit, "I ", util::rtrim(file1), open_file1); }

}  // namespace velmorak::d12
