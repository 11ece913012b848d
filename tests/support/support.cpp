#include "support/support.h"

#include <atomic>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "io/system_file.h"
#include "test_paths.h"

namespace velmorak::testing {

Capture::Capture(std::string input) : in_(std::move(input)), rt_(in_, out_) {
    rt_.get().console.set_command_runner([this](const std::string& c) { commands.push_back(c); });
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("velmorak-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
    const auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    write_file(p, content);
    return p.string();
}

std::string TempDir::read(const std::string& name) const { return read_file(path_ / name); }

// Both go through the program's own file layer, as every file of the project does.
std::string read_file(const std::filesystem::path& p) {
    std::string why;
    auto f = io::FileSource::open(p.string(), why);
    if (!f) throw std::runtime_error("cannot read " + p.string() + ": " + why);
    std::string bytes(f->size().value_or(0), '\0');
    std::size_t have = 0;
    for (;;) {
        if (have == bytes.size()) bytes.resize(bytes.size() * 2 + 4096);
        const std::ptrdiff_t got = f->read(bytes.data() + have, bytes.size() - have);
        if (got < 0) throw std::runtime_error("cannot read " + p.string() + ": " + f->error());
        if (got == 0) break;
        have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
    return bytes;
}

void write_file(const std::filesystem::path& p, const std::string& content) {
    std::string why;
    auto f = io::FileSink::create(p.string(), false, why);
    if (!f || !f->write(content.data(), content.size()) || !f->close() || !f->commit())
        throw std::runtime_error("cannot write " + p.string() + ": " + (f ? f->error() : why));
}

std::filesystem::path fixture(const std::string& relative) { return std::filesystem::path(VELMORAK_TEST_DATA) / relative; }

std::string shell_quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

}  // namespace velmorak::testing
