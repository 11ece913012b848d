#include "io/input_file.h"
#include "io/names.h"
#include "io/output_file.h"
#include "io/platform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/driver.h"
#include "support/support.h"

namespace velmorak::io {
namespace {

using testing::TempDir;

std::vector<std::string> all_lines(InputFile& f) {
    std::vector<std::string> lines;
    std::string_view line;
    while (f.read_line(line) == LineStatus::ok) lines.emplace_back(line);
    return lines;
}

TEST(InputFile, ReadsLfCrlfAndCrLinesAlikeAndALastLineWithoutLineEnd) {
    TempDir dir;
    const std::vector<std::string> want = {"a b", "", "last"};
    for (const char* text : {"a b\n\nlast", "a b\r\n\r\nlast", "a b\r\rlast\r", "a b\r\n\rlast\n"}) {
        auto f = InputFile::open(dir.write("lines.txt", text));
        ASSERT_TRUE(f);
        EXPECT_EQ(all_lines(*f), want) << text;
        EXPECT_TRUE(f->at_eof());
    }
}

TEST(InputFile, AtEofOnlyAfterTheLastLine) {
    TempDir dir;
    auto f = InputFile::open(dir.write("x.txt", "one\ntwo\n"));
    std::string_view line;
    EXPECT_FALSE(f->at_eof());
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_FALSE(f->at_eof());
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_TRUE(f->at_eof());
    EXPECT_EQ(f->read_line(line), LineStatus::eof);
}

TEST(InputFile, BackStepsToTheLineReadLastAndRewindStartsAgain) {
    TempDir dir;
    auto f = InputFile::open(dir.write("x.txt", "one\ntwo\nthree\n"));
    std::string_view line;
    f->read_line(line);
    f->read_line(line);
    ASSERT_TRUE(f->back());
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_EQ(line, "two");
    f->rewind();
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_EQ(line, "one");
}

// Each kind of line end, also a CRLF whose CR ends one buffer and whose LF
// starts the next, and a file of CR alone, which is not searched for LF at
// every line.
TEST(InputFile, BackWorksAcrossBufferRefills) {
    TempDir dir;
    for (const char* end : {"\n", "\r\n", "\r"}) {
        std::string text;
        for (int i = 0; i < 300000; ++i) text.append("line ").append(std::to_string(i)).append(end);
        auto f = InputFile::open(dir.write("big.txt", text));
        std::string_view line;
        for (int i = 0; i < 300000; ++i) {
            ASSERT_EQ(f->read_line(line), LineStatus::ok);
            if (i % 997 == 0) {
                ASSERT_TRUE(f->back());
                ASSERT_EQ(f->read_line(line), LineStatus::ok);
            }
            ASSERT_EQ(line, "line " + std::to_string(i));
        }
        EXPECT_EQ(f->read_line(line), LineStatus::eof);
    }
}

// A small file is read in small pieces; one that grows after it was opened is
// then read in many of them, with lines (and a step back) across their borders.
TEST(InputFile, AFileThatGrowsAfterOpeningIsReadPieceByPiece) {
    TempDir dir;
    const std::string name = dir.write("grow.txt", "first\n");
    auto f = InputFile::open(name);
    ASSERT_TRUE(f);
    std::vector<std::string> want = {"first"};
    std::string more;
    for (int i = 0; i < 20000; ++i) want.push_back("vertex " + std::to_string(i * 7919));
    want.insert(want.begin() + 5000, std::string(40000, 'y'));
    for (std::size_t i = 1; i < want.size(); ++i) more += want[i] + "\n";
    auto grow = OutputFile::create(name, true);  // appended to: the file opened grows
    grow->write(more);
    ASSERT_TRUE(grow->close());

    std::string_view line;
    for (std::size_t i = 0; i < want.size(); ++i) {
        ASSERT_EQ(f->read_line(line), LineStatus::ok) << i;
        if (i % 1009 == 0) {
            ASSERT_TRUE(f->back());
            ASSERT_EQ(f->read_line(line), LineStatus::ok);
        }
        ASSERT_EQ(line, want[i]) << i;
    }
    EXPECT_TRUE(f->at_eof());
}

TEST(InputFile, VeryLongLinesAreCutAndTheNextLineStillReads) {
    TempDir dir;
    const std::string huge(3 << 20, 'x');
    auto f = InputFile::open(dir.write("long.txt", huge + "\nnext\n"));
    std::string_view line;
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_GE(line.size(), 10000u);
    EXPECT_LT(line.size(), huge.size());
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_EQ(line, "next");
}

TEST(InputFile, NulBytesAreData) {
    TempDir dir;
    auto f = InputFile::open(dir.write("zero.txt", std::string("a\0b\n", 4)));
    std::string_view line;
    ASSERT_EQ(f->read_line(line), LineStatus::ok);
    EXPECT_EQ(line, std::string_view("a\0b", 3));
}

std::string utf16(const std::u16string& s, bool big_endian) {
    std::string out = big_endian ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
    for (char16_t c : s) {
        const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
        if (big_endian) {
            out += hi;
            out += lo;
        } else {
            out += lo;
            out += hi;
        }
    }
    return out;
}

TEST(InputFile, Utf16WithByteOrderMarkIsDecodedToWindows1252) {
    TempDir dir;
    const std::u16string text = u"name \u00C9tang \u20AC\r\nnull -999\r\n";
    for (bool be : {false, true}) {
        auto f = InputFile::open(dir.write("u16.12da", utf16(text, be)));
        bool replaced = false;
        f->on_replacement([&] { replaced = true; });
        const std::vector<std::string> want = {"name \xC9tang \x80", "null -999"};
        EXPECT_EQ(all_lines(*f), want);
        EXPECT_FALSE(replaced);
    }
}

TEST(InputFile, CharactersWithoutAWindows1252ByteBecomeQuestionMarksOnce) {
    TempDir dir;
    int calls = 0;
    auto f = InputFile::open(dir.write("u16.txt", utf16(u"a\u4E2Db\u4E2D\n", false)));
    f->on_replacement([&] { ++calls; });
    EXPECT_EQ(all_lines(*f), std::vector<std::string>{"a?b?"});
    EXPECT_EQ(calls, 1);
}

TEST(InputFile, Utf8ByteOrderMarkIsDecodedAndPlainBytesPassUnchanged) {
    TempDir dir;
    auto u8 = InputFile::open(dir.write("u8.txt", "\xEF\xBB\xBFZ \xC3\xA9\n"));
    EXPECT_EQ(all_lines(*u8), std::vector<std::string>{"Z \xE9"});
    auto raw = InputFile::open(dir.write("raw.txt", "Z \xC3\xA9\n"));
    EXPECT_EQ(all_lines(*raw), std::vector<std::string>{"Z \xC3\xA9"});
}

TEST(InputFile, LargeUtf16FileDecodesAcrossChunks) {
    TempDir dir;
    std::u16string text;
    for (int i = 0; i < 200000; ++i) text += u"12345.678 98765.432 \u00E9\n";
    auto f = InputFile::open(dir.write("big16.txt", utf16(text, false)));
    int n = 0;
    std::string_view line;
    while (f->read_line(line) == LineStatus::ok) {
        ASSERT_EQ(line, "12345.678 98765.432 \xE9");
        ++n;
    }
    EXPECT_EQ(n, 200000);
}

TEST(InputFile, AFolderOrAMissingFileDoesNotOpen) {
    TempDir dir;
    std::string why;
    EXPECT_EQ(InputFile::open(dir.path().string(), &why), nullptr);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(InputFile::open(dir.file("missing.txt")), nullptr);
}

TEST(Paths, BackslashIsAFolderSeparatorForTheFileSystem) {
    TempDir dir;
    dir.write("sub/x.txt", "x\n");
    const std::string windows_style = dir.path().string() + "\\sub\\x.txt";
    EXPECT_TRUE(file_exists(windows_style));
    EXPECT_TRUE(save_date(windows_style).has_value());
    EXPECT_NE(InputFile::open(windows_style), nullptr);
    EXPECT_FALSE(save_date(dir.file("none")).has_value());
}

TEST(Paths, ANameHoldingANulNamesNoFile) {
    TempDir dir;
    const std::string a = dir.write("a", "kept\n");
    const std::string with_nul = a + std::string(1, '\0') + "b.csv";
    EXPECT_FALSE(file_exists(with_nul));
    EXPECT_FALSE(save_date(with_nul).has_value());
    EXPECT_EQ(InputFile::open(with_nul), nullptr);
    std::string why;
    EXPECT_EQ(OutputFile::create(with_nul, false, &why), nullptr);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(dir.read("a"), "kept\n");
}

// An input missing as spelled is the one file of its folder whose name differs
// from it only in letter case, as the Windows file system finds it; with two
// such files nothing is guessed. Each file holds its own name.
TEST(LetterCase, AMissingInputIsTheOneFileOfItsFolderNamedAlikeButForCase) {
    struct Case {
        std::vector<std::string> files;
        std::string asked;
        std::string found;  // "" when no file may be found
    };
    const Case cases[] = {
        {{"ROADS.MID"}, "roads.mid", "ROADS.MID"},
        {{"roads.tab"}, "ROADS.TAB", "roads.tab"},
        {{"sub/Header.MIF"}, "sub\\header.mif", "sub/Header.MIF"},
        {{"Roads.mid", "ROADS.MID"}, "ROADS.MID", "ROADS.MID"},
        {{"Roads.mid", "ROADS.MID"}, "roads.mid", ""},
        {{"roads.mid"}, "roads.mi", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        TempDir dir;
        for (const std::string& f : c.files) dir.write(f, f + "\n");
        std::size_t entries = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) entries += e.is_regular_file();
        if (entries < c.files.size()) continue;  // names in any case are one file here: no choice to make
        const std::string asked = dir.path().string() + "/" + c.asked;
        EXPECT_EQ(file_exists(asked), !c.found.empty());
        EXPECT_EQ(save_date(asked).has_value(), !c.found.empty());
        auto f = InputFile::open(asked);
        ASSERT_EQ(f != nullptr, !c.found.empty());
        if (!f) continue;
        std::string_view line;
        ASSERT_EQ(f->read_line(line), LineStatus::ok);
        EXPECT_EQ(line, c.found);
        // An output named as the input is found is the input, so a run does not empty it.
        EXPECT_TRUE(same_file(dir.file(c.found), input_file_name(asked)));
    }
}

// Counts the folders the file layer lists while it lives.
class FolderReads {
public:
    FolderReads() : saved_(platform::system_calls()) {
        count_ = 0;
        open_ = saved_.open_folder;
        platform::system_calls().open_folder = [](const char* name) {
            ++count_;
            return open_(name);
        };
    }
    ~FolderReads() { platform::system_calls() = saved_; }
    FolderReads(const FolderReads&) = delete;
    FolderReads& operator=(const FolderReads&) = delete;
    int count() const { return count_; }

private:
    static inline int count_ = 0;
    static inline void* (*open_)(const char*) = nullptr;
    platform::SystemCalls saved_;
};

// A run with -xs writes one .csv per string. Only inputs are looked up in
// their folders (here the missing Header.mif, once), never an output, neither
// when it is new nor when a second run writes it again: a run of 1,000
// profiles reads as many folders as a run of 10.
TEST(LetterCase, OutputsNeverListTheirFolder) {
    std::vector<int> reads;
    for (const int profiles : {10, 1000}) {
        TempDir dir;
        std::string text = "model \"site\"\n";
        for (int i = 0; i < profiles; ++i)
            text.append("string 3d {\n  name \"P").append(std::to_string(i)).append("\"\n  data {\n    0 0 1\n    1 1 2\n  }\n}\n");
        const std::string file1 = dir.write("site.12da", text);
        std::string last_csv = "P";
        last_csv += std::to_string(profiles - 1);
        last_csv += ".csv";
        for (int run = 0; run < 2; ++run) {
            testing::Capture cap;
            FolderReads counter;
            ASSERT_EQ(driver::run({"velmorak", file1, "-xs"}), 0) << cap.out();
            ASSERT_TRUE(dir.exists(last_csv)) << cap.out();
            reads.push_back(counter.count());
        }
    }
    ASSERT_EQ(reads.size(), 4u);
    EXPECT_EQ(reads[0], reads[2]);
    EXPECT_EQ(reads[1], reads[3]);
}

TEST(LetterCase, AnOutputIsCreatedAsSpelled) {
    TempDir dir;
    dir.write("layer.mif", "input\n");
    auto out = OutputFile::create(dir.file("LAYER.MIF"), false);
    ASSERT_TRUE(out);
    out->line("output");
    ASSERT_TRUE(out->close());
    if (dir.read("layer.mif") == "output\n") GTEST_SKIP() << "names in any case are one file here";
    EXPECT_EQ(dir.read("layer.mif"), "input\n");
    EXPECT_EQ(dir.read("LAYER.MIF"), "output\n");
}

TEST(OutputFile, ReplacesWhenClosedAppendsAndWritesLf) {
    TempDir dir;
    const std::string name = dir.write("out.txt", "old content\n");
    {
        auto dropped = OutputFile::create(name, false);
        dropped->line("never closed");
    }
    EXPECT_EQ(dir.read("out.txt"), "old content\n");
    auto f = OutputFile::create(name, false);
    ASSERT_TRUE(f);
    f->line("one");
    f->write("two");
    f->line("");
    EXPECT_EQ(dir.read("out.txt"), "old content\n");
    ASSERT_TRUE(f->close());
    EXPECT_EQ(dir.read("out.txt"), "one\ntwo\n");
    {
        auto appended = OutputFile::create(name, true);
        appended->line("three");
    }
    EXPECT_EQ(dir.read("out.txt"), "one\ntwo\nthree\n");
    // A new output is not seen before it is closed, and one that another
    // program creates meanwhile is replaced like any other.
    {
        auto dropped = OutputFile::create(dir.file("new.txt"), false);
        dropped->line("never closed");
    }
    EXPECT_FALSE(dir.exists("new.txt"));
    auto fresh = OutputFile::create(dir.file("new.txt"), false);
    ASSERT_TRUE(fresh);
    fresh->line("ours");
    {  // created by the system's own calls: a helper of this process would share our temporary's name
        int err = 0;
        const platform::Handle theirs =
            platform::native::open(platform::native_name(dir.file("new.txt")).c_str(), platform::OpenFor::creating, err);
        ASSERT_NE(theirs, platform::kNoHandle) << platform::error_text(err);
        ASSERT_EQ(platform::native::write(theirs, "theirs\n", 7, err), 7);
        ASSERT_TRUE(platform::native::close(theirs, err));
    }
    ASSERT_TRUE(fresh->close());
    EXPECT_EQ(dir.read("new.txt"), "ours\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2) << "a temporary was left";
    std::string why;
    EXPECT_EQ(OutputFile::create(dir.file("no/such/folder/x.txt"), false, &why), nullptr);
    EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace velmorak::io
