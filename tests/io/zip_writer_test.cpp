// The ZIP writer of compressed 12d ASCII archives: what it writes is read back
// by the converter's own archive reader with the same bytes, and, where they
// are installed, accepted by Info-ZIP's `unzip -t` and Python's zipfile.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "d12/archive.h"
#include "io/input_file.h"
#include "io/output_file.h"
#include "io/zip_writer.h"
#include "support/support.h"

namespace velmorak::testing {
namespace {

struct ZipCase {
    const char* label;
    std::string member;
    std::string text;
    bool zip64;
    std::size_t piece;  // the member is handed over in pieces of this size
};

std::string lines(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += "    " + std::to_string(321104.512 + i) + " 5812290.338 212.406\n";
    return s;
}

// Bytes that DEFLATE cannot shrink, so the compressed data outgrows zlib's buffer many times.
std::string noise(std::size_t n) {
    std::string s(n, '\0');
    std::uint64_t x = 0x9E3779B97F4A7C15ULL;
    for (char& c : s) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        c = static_cast<char>('!' + (x % 90));
        if (x % 61 == 0) c = '\n';
    }
    s.back() = '\n';
    return s;
}

bool tool(const char* name) {
    return posix_system() && std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string read_member(const std::string& archive, std::string& member) {
    std::string why;
    auto source = d12::open_12da_archive(archive, member, why);
    EXPECT_TRUE(source) << why;
    if (!source) return {};
    auto in = io::InputFile::from_source(std::move(source));
    std::string text;
    std::string_view line;
    while (in->read_line(line) == io::LineStatus::ok) {
        text.append(line);
        text.push_back('\n');
    }
    return text;
}

TEST(ZipWriter, ArchivesReadBackByEveryReader) {
    const ZipCase cases[] = {
        {"small", "site.12da", "null -999\nmodel \"site\"\n", false, 7},
        {"empty", "empty.12da", "", false, 1},
        {"non-ASCII name", "Łódź 測量.12da", lines(10), false, 1000},
        {"forced ZIP64", "Project Breaklines.12da", lines(20000), true, 1 << 16},
        {"incompressible", "noise.12da", noise(3 << 20), false, 1 << 20},
    };
    const bool unzip = tool("unzip");
    const bool python = tool("python3");
    TempDir dir;
    for (const ZipCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = dir.file(std::string(c.label) + ".12daz");
        std::string why;
        std::unique_ptr<io::OutputFile> out = io::OutputFile::create(path, false, &why);
        ASSERT_TRUE(out) << why;
        io::ZipOptions options;
        options.zip64 = c.zip64;
        io::ZipWriter zip(
            [&out](const void* p, std::size_t n, std::string&) {
                out->write(std::string_view(static_cast<const char*>(p), n));
                return true;
            },
            c.member, options);
        for (std::size_t at = 0; at < c.text.size(); at += c.piece)
            ASSERT_TRUE(zip.write(c.text.data() + at, std::min(c.piece, c.text.size() - at))) << zip.error();
        ASSERT_TRUE(zip.finish()) << zip.error();
        ASSERT_TRUE(out->close()) << out->failure();

        std::string member;
        const std::string back = read_member(path, member);
        EXPECT_TRUE(back == c.text) << back.size() << " bytes read back of " << c.text.size();
        EXPECT_EQ(member, c.member);
        if (unzip) {
            EXPECT_EQ(std::system(("unzip -tqq " + shell_quote(path)).c_str()), 0);
        }
        if (python) {
            const std::string script =
                "import sys, zipfile\n"
                "z = zipfile.ZipFile(sys.argv[1])\n"
                "assert z.testzip() is None\n"
                "[i] = z.infolist()\n"
                "assert i.filename == sys.argv[2], i.filename\n"
                "assert z.read(i) == open(sys.argv[3], 'rb').read()\n";
            const std::string expected = dir.write(std::string(c.label) + ".expected", c.text);
            const std::string py = dir.write("check.py", script);
            EXPECT_EQ(std::system(("python3 " + shell_quote(py) + " " + shell_quote(path) + " " + shell_quote(c.member) +
                                   " " + shell_quote(expected))
                                      .c_str()),
                      0);
        }
    }
}

TEST(ZipWriter, DestinationFailureIsKept) {
    int calls = 0;
    io::ZipWriter zip(
        [&calls](const void*, std::size_t, std::string& why) {
            why = "No space left on device";
            return ++calls < 2;
        },
        "a.12da");
    const std::string text = noise(1 << 20);
    const bool written = zip.write(text.data(), text.size());
    EXPECT_FALSE(written && zip.finish());
    EXPECT_EQ(zip.error(), "No space left on device");
    EXPECT_FALSE(zip.write("x", 1));
}

}  // namespace
}  // namespace velmorak::testing
