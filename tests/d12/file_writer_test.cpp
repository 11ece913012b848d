// The 12d ASCII file writer of the C interface: strings it must refuse whole
// (the file stays as if they had not been given), the system's failures while
// it writes (an earlier file of the name stays, no new one and no temporary
// appears), and the UTF-16 text as the UTF-8 text encoded.
#include "d12/file_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "io/platform.h"
#include "io/text_encoding.h"
#include "support/support.h"

namespace velmorak::d12 {
namespace {

using mif2d12::AttributeType;
using testing::TempDir;
using Status = FileWriter::Status;

// One string: three vertices with heights and two attributes, one in a group.
struct Sample {
    std::vector<double> x{10.0, 20.0, 30.0};
    std::vector<double> y{1.0, 2.0, 3.0};
    std::vector<double> z{5.0, std::nan(""), 7.0};
    std::vector<AttributeOut> attributes{{"Asset/Valves", AttributeType::integer, "3"},
                                         {"Diameter", AttributeType::real, "0.15"}};
    StringOut out() const {
        StringOut s;
        s.header.name = "main";
        s.x = x;
        s.y = y;
        s.z = z;
        s.attributes = attributes;
        return s;
    }
};

std::unique_ptr<FileWriter> create(const std::string& path, TextEncoding encoding = TextEncoding::utf8) {
    std::string why;
    auto w = FileWriter::create(path, encoding, why);
    EXPECT_NE(w, nullptr) << why;
    return w;
}

// Each row spoils one thing of the sample. The string is refused with a reason
// naming what is wrong, the strings before and after it are written, and the
// file is the one written without it.
TEST(FileWriter, RefusesAStringThatCannotBeWrittenAsGivenAndWritesNothingOfIt) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    const std::string deep = [] {
        std::string path;
        for (std::size_t i = 0; i <= FileWriter::kMaxGroupDepth; ++i) path += "g/";
        return path + "value";
    }();
    const struct Row {
        const char* what;
        std::function<void(Sample&)> spoil;
        const char* reason;  // a part of the error text
    } rows[] = {
        {"integer with a word", [](Sample& s) { s.attributes[0].value = "3 valves"; }, "\"3 valves\" is not a whole"},
        {"integer with decimals", [](Sample& s) { s.attributes[0].value = "1.5"; }, "\"1.5\" is not a whole"},
        {"empty integer", [](Sample& s) { s.attributes[0].value = ""; }, "\"Asset/Valves\" is an integer"},
        {"integer with a blank", [](Sample& s) { s.attributes[0].value = " 3"; }, "\" 3\" is not"},
        {"integer too large", [](Sample& s) { s.attributes[0].value = "99999999999999999999"; }, "is not a whole"},
        {"real with a comma", [](Sample& s) { s.attributes[1].value = "0,15"; }, "\"0,15\" is not a number"},
        {"real nan", [](Sample& s) { s.attributes[1].value = "nan"; }, "\"Diameter\" is a real"},
        {"real inf", [](Sample& s) { s.attributes[1].value = "inf"; }, "\"inf\" is not a number"},
        {"attribute without a name", [](Sample& s) { s.attributes[0].name = ""; }, "has no name"},
        {"x not a number", [nan](Sample& s) { s.x[1] = nan; }, "the x of vertex 2"},
        {"y infinite", [inf](Sample& s) { s.y[2] = -inf; }, "the y of vertex 3"},
        {"height infinite", [inf](Sample& s) { s.z[0] = inf; }, "the height of vertex 1"},
        {"heights of another length", [](Sample& s) { s.z.pop_back(); }, "not of one length"},
        {"groups nested too deep", [&deep](Sample& s) { s.attributes[0].name = deep; }, "nested groups"},
        {"too many attributes",
         [](Sample& s) { s.attributes.resize(FileWriter::kMaxAttributes + 1, {"a", AttributeType::text, "v"}); },
         "keeps 10000 attributes of a string, and this one has 10001"},
    };
    TempDir dir;
    const Sample good;
    {
        auto w = create(dir.file("good.12da"));
        ASSERT_EQ(w->write_string(good.out()), Status::ok);
        ASSERT_EQ(w->write_string(good.out()), Status::ok);
        ASSERT_EQ(w->finish(), Status::ok);
    }
    const std::string expected = dir.read("good.12da");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Sample bad;
        row.spoil(bad);
        auto w = create(dir.file("out.12da"));
        ASSERT_EQ(w->write_string(good.out()), Status::ok);
        EXPECT_EQ(w->write_string(bad.out()), Status::invalid);
        EXPECT_NE(w->error().find("string 2: "), std::string::npos) << w->error();
        EXPECT_NE(w->error().find(row.reason), std::string::npos) << w->error();
        ASSERT_EQ(w->write_string(good.out()), Status::ok);
        ASSERT_EQ(w->finish(), Status::ok) << w->error();
        EXPECT_EQ(dir.read("out.12da"), expected);
    }
}

// The system fails while the file is written: at a write while strings are
// written, at the last write, at its close, or when it is to take its name.
// The call that meets the failure says why, every later call fails too, the
// earlier file of the name is as it was, and the folder holds nothing new.
io::platform::SystemCalls g_system;
int g_fault_at = 0;  // the number of the failing call of the kind hit, from 1
int g_calls = 0;

std::ptrdiff_t full_disk(io::platform::Handle file, const void* src, std::size_t n, int& err) {
    if (++g_calls == g_fault_at) {
        err = ENOSPC;
        return -1;
    }
    return g_system.write(file, src, n, err);
}

bool failing_close(io::platform::Handle file, int& err) {
    g_system.close(file, err);
    err = EIO;
    return false;
}

bool failing_rename(const char*, const char*, int& err) {
    err = EACCES;
    return false;
}

TEST(FileWriter, AFailureOfTheSystemLeavesTheEarlierFileAndNoOther) {
    const struct Row {
        const char* what;
        std::size_t vertices;  // of each of two strings: 100000 make more than the megabyte written at a time
        std::function<void(io::platform::SystemCalls&)> inject;
        Status at_strings;  // what writing the strings gives
        const char* reason;
    } rows[] = {
        {"disk full while strings are written", 100000,
         [](io::platform::SystemCalls& c) {
             g_fault_at = 1;
             c.write = full_disk;
         },
         Status::failed, "No space left on device"},
        {"disk full in a small file", 3,
         [](io::platform::SystemCalls& c) {
             g_fault_at = 1;
             c.write = full_disk;
         },
         Status::ok, "No space left on device"},
        {"close fails", 3, [](io::platform::SystemCalls& c) { c.close = failing_close; }, Status::ok,
         "Input/output error"},
        {"rename fails", 3, [](io::platform::SystemCalls& c) { c.rename = failing_rename; }, Status::ok,
         "Permission denied"},
    };
    for (const bool archive : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.what) + (archive ? " (.12daz)" : ""));
            TempDir dir;
            const std::string name = archive ? "site.12daz" : "site.12da";
            const std::string earlier = dir.write(name, "the earlier file\n");
            Sample s;
            s.x.assign(row.vertices, 1.0);
            s.y.assign(row.vertices, 2.0);
            s.z.assign(row.vertices, 3.0);
            // Numbers a deflater cannot shrink much, so the archive too is written as it grows.
            for (std::size_t i = 0; i < row.vertices; ++i) {
                s.x[i] = static_cast<double>((i * 7919) % 100003) / 8.0;
                s.y[i] = static_cast<double>((i * 104729) % 1000003) / 16.0;
                s.z[i] = static_cast<double>((i * 31) % 1009) / 4.0;
            }
            io::platform::SystemCalls& calls = io::platform::system_calls();
            g_system = calls;
            g_calls = 0;
            auto w = create(earlier);
            row.inject(calls);
            Status strings = w->model("m");
            for (int k = 0; k < 2 && strings == Status::ok; ++k) strings = w->write_string(s.out());
            const Status finished = strings == Status::ok ? w->finish() : Status::failed;
            calls = g_system;
            EXPECT_EQ(strings, row.at_strings) << w->error();
            EXPECT_EQ(finished, Status::failed);
            EXPECT_NE(w->error().find(name + ": "), std::string::npos) << w->error();
            EXPECT_NE(w->error().find(row.reason), std::string::npos) << w->error();
            EXPECT_EQ(w->write_string(s.out()), Status::failed);
            EXPECT_EQ(w->finish(), Status::failed);
            w.reset();
            EXPECT_EQ(dir.read(name), "the earlier file\n");
            std::vector<std::string> names;
            for (const auto& e : std::filesystem::directory_iterator(dir.path()))
                names.push_back(e.path().filename().string());
            EXPECT_EQ(names, std::vector<std::string>{name});
        }
    }
}

// UTF-16 text is the UTF-8 text, encoded with CRLF line ends, behind its own
// byte order mark; the ZIP archive's member is named after the archive.
TEST(FileWriter, Utf16AndArchivesHoldTheUtf8Text) {
    TempDir dir;
    Sample s;
    const std::string name = "Stra\xC3\x9F" "e \xE2\x86\x92 \xF0\x9F\x8C\x8A";
    for (const auto& [file, encoding] : {std::pair{"u8.12da", TextEncoding::utf8}, {"u16.12da", TextEncoding::utf16},
                                         {"Site.A.12DAZ", TextEncoding::utf8}}) {
        auto w = create(dir.file(file), encoding);
        ASSERT_EQ(w->model(name), Status::ok);
        StringOut out = s.out();
        out.header.name = name;
        ASSERT_EQ(w->write_string(out), Status::ok);
        ASSERT_EQ(w->finish(), Status::ok) << w->error();
        // Nothing more once finished.
        EXPECT_EQ(w->model("late"), Status::invalid);
        EXPECT_EQ(w->finish(), Status::invalid);
    }
    const std::string u8 = dir.read("u8.12da");
    ASSERT_EQ(u8.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(u8.find('\r'), std::string::npos);
    EXPECT_NE(u8.find("model \"" + name + "\"\n"), std::string::npos);
    std::string u16 = "\xFF\xFE";
    io::utf8_to_utf16le_crlf(u8.substr(3), u16);
    EXPECT_EQ(dir.read("u16.12da"), u16);
    // The member's name stands in the archive's local header, after its 30 bytes.
    const std::string zip = dir.read("Site.A.12DAZ");
    EXPECT_EQ(zip.substr(0, 4), "PK\x03\x04");
    EXPECT_EQ(zip.substr(30, 11), "Site.A.12da");
}

}  // namespace
}  // namespace velmorak::d12
