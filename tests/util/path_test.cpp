#include "util/path.h"

#include <gtest/gtest.h>

#include <string>

#include "util/tables.h"

namespace velmorak::util {
namespace {

using tables::expect_in_place;
using tables::expect_texts;

TEST(FileExt, FromTheLastDotInLowerCase) {
    expect_texts(FILEEXT, {{"C:\\Data\\Model.MIF", ".mif"}, {"README", ""}, {"a.b.c", ".c"}, {"site.12DA   ", ".12da"},
                           {"C:\\Data\\", ""},
                           {"C:\\a.b\\file", ".b\\file"}});  // the dot is looked for in folders too
}

TEST(FileName, BareNameWithoutFolderAndExtension) {
    expect_texts(FILENAME, {{"C:\\Data\\Model.old.mif", "Model.old"}, {"C:\\Data\\Model", "Model"},
                            {"dir/sub/x.12da", "x"}, {"Model", "Model"}, {"Model.mif", "Model"}, {"C:\\Data\\", ""},
                            {"a/b\\c.d/e.txt", "e"},          // mixed separators: the later one counts
                            {"C:\\my.dir\\Model", "Model"},  // a dot in a folder name is no extension
                            // Names that are only an extension.
                            {"C:\\Data\\.mif", ".mif"}, {".mif", ""}});
}

TEST(LayerSuffix, NameWithoutAndSuffixAlone) {
    expect_texts(FILENAMENO_,
                 {{"C:\\gis\\2d_zln_Road_L.mif", "2d_zln_Road"}, {"_L.mif", "_L"}, {"C:\\gis\\Road.mif", "Road"}});
    expect_texts(FILE___EXT, {{"C:\\gis\\2d_zln_Road_L.mif", "_l"}, {"_L.mif", "_l"},
                              {"C:\\my_dir\\Road.mif", ""}});  // only the bare name is searched
}

TEST(FileNamePath, PathWithoutExtensionAndLayerSuffix) {
    expect_texts(FILENAMEPATH, {{"C:\\Data\\Model.mif", "C:\\Data\\Model"}, {"C:\\Data\\", "C:\\Data\\"},
                                {".mif", ".mif"},  // a dot at position 1 is kept
                                {"a.b.c", "a.b"}, {"C:\\my.dir\\Model", "C:\\my.dir\\Model"},
                                {"C:\\my.dir\\Model.mif", "C:\\my.dir\\Model"}});
    expect_texts(FILENAMEPATHNO_, {{"C:\\gis\\2d_zln_Road_L.mif", "C:\\gis\\2d_zln_Road"},
                                   {"C:\\my_dir\\Road.mif", "C:\\my_dir\\Road"}, {"_L.mif", "_L"}});
}

TEST(FileFolderPath, FolderWithItsSeparator) {
    expect_texts(FILEFOLDERPATH, {{"C:\\Data\\Model.mif", "C:\\Data\\"}, {"Model.mif", ""},
                                  {"C:\\Data\\", "C:\\Data\\"}, {"dir/sub/x.12da", "dir/sub/"}});
}

TEST(PathParts, AllBlankPathGivesAllBlankParts) {
    for (const auto routine : {FILEEXT, FILENAME, FILE___EXT, FILEFOLDERPATH, FILENAMEPATH}) {
        expect_texts(routine, {{"", ""}, {"    ", ""}});
    }
}

TEST(PathParts, PathsAreCutAtOneThousandCharacters) {
    const std::string folder = "C:\\" + std::string(990, 'd') + "\\";  // 994 characters
    expect_texts(FILENAME, {{folder + "abcdef.mif", "abcdef"}});
    expect_texts(FILEEXT, {{folder + "abcdef.mif", ""}, {folder + "ab.mif", ".mif"}, {folder + "abc.mif", ".mi"}});
}

TEST(AddFolder, JoinsFolderAndFile) {
    const struct {
        const char* folder;
        const char* file;
        const char* want;
    } rows[] = {
        {"..\\results", "out.mif", "..\\results\\out.mif"}, {"C:\\Data\\", "x.mif", "C:\\Data\\x.mif"},
        {"gis/", "x.mif", "gis/x.mif"}, {"  C:\\runs  ", "  x.mif  ", "C:\\runs\\x.mif"},
        {"C:\\runs\\", "\\x.mif", "C:\\runs\\x.mif"},  // a single leading backslash is relative
        // Parent steps of the join are resolved.
        {"C:\\runs\\", "..\\gis\\x.mif", "C:\\gis\\x.mif"}, {"C:\\a\\b", "..\\..\\x.mif", "C:\\x.mif"},
        // Absolute files ignore the folder.
        {"C:\\runs", "D:\\x.mif", "D:\\x.mif"}, {"C:\\runs", "\\\\srv\\share\\x.mif", "\\\\srv\\share\\x.mif"},
        {"C:\\runs", "  D:x.mif", "D:x.mif"},
        // Blank parts.
        {"", "", "."}, {"   ", "  ", "."}, {"  C:\\Data\\  ", "", "C:\\Data\\"}, {"", "  a\\..\\x.mif", "x.mif"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ADDFOLDER(row.folder, row.file), row.want) << '"' << row.folder << "\" + \"" << row.file << '"';
    }
}

TEST(RemoveDotDot, ParentCurrentAndDoubledSteps) {
    expect_texts(REMOVEDOTDOT, {{"a\\b\\..\\c", "a\\c"}, {"a\\b\\..\\..\\c", "c"}, {"a\\..\\..\\b", "..\\b"},
                                {"C:\\x\\y\\z\\..\\..\\w", "C:\\x\\w"},
                                // Runs of leading parent steps stay; a step at position 1 has nothing before it.
                                {"..\\..\\x", "..\\..\\x"}, {"..\\..\\a\\..\\b", "..\\..\\b"},
                                {"..\\..\\..\\..\\a", "..\\..\\..\\..\\a"}, {"\\..\\x", "\\..\\x"},
                                // Steps it does not recognise.
                                {"a\\b\\..", "a\\b\\.."}, {"a/b/../c", "a/b/../c"},
                                // Current-folder steps.
                                {"a\\.\\b", "a\\b"}, {"a\\.\\.\\.\\b", "a\\b"}, {".\\b", ".\\b"},
                                // Doubled backslashes, but none after a network path's leading pair.
                                {"C:\\a\\\\\\b", "C:\\a\\b"}, {"   ab\\\\c  ", "ab\\c"},
                                {"\\\\srv\\a\\\\b", "\\\\srv\\a\\\\b"}, {"\\\\srv\\a\\..\\b", "\\\\srv\\b"}});
}

// Long runs (a fuzz input of a thousand separators) reduce in one pass, chained
// current-folder steps included.
TEST(RemoveDotDot, LongRunsAndChainedCurrentFolderSteps) {
    std::string steps;
    for (int i = 0; i < 100; ++i) steps += ".\\";
    expect_texts(REMOVEDOTDOT, {{"ab" + std::string(500, '\\') + "c\\" + steps + "d", "ab\\c\\d"},
                                {"x" + std::string(600, '\\') + "y", "x" + std::string(600, '\\') + "y"},
                                {"a\\.\\.\\.b\\.\\", "a\\.b\\"}});
}

// The result and the caller's path, cleaned in place, are the same text.
TEST(CleanPath, ReducesDoubledSeparatorsInPlace) {
    const std::string rows[][2] = {
        {"  C:\\a\\\\b//c  ", "C:\\a\\b/c"},
        {"a///b\\\\\\c", "a/b\\c"},
        // A network path keeps its leading pair; once only that pair's kind is
        // left, later pairs of that kind stay.
        {"\\\\srv\\a//b", "\\\\srv\\a/b"},
        {"\\\\srv\\a//b\\\\c", "\\\\srv\\a/b\\\\c"},
        {"\\\\srv\\\\x", "\\\\srv\\\\x"},
        // Long runs of either separator.
        {"a" + std::string(500, '\\') + "b" + std::string(400, '/') + "c", "a\\b/c"},
        {"//" + std::string(300, '\\') + "s" + std::string(300, '/') + "t", "//\\s" + std::string(300, '/') + "t"},
    };
    for (const auto& [in, want] : rows) {
        std::string path = in;
        EXPECT_EQ(CLEANPATH(path), want) << '"' << in << '"';
        EXPECT_EQ(path, want) << '"' << in << '"';
    }
}

TEST(RelativePath, DrivesAndNetworkPathsBecomeFolders) {
    expect_in_place(RELATIVEPATH, {{"  gis\\x.mif ", true, "gis\\x.mif"},
                                   {"c:\\Model\\gis\\", false, "C Drive\\Model\\gis\\"},
                                   {"\\\\server\\share\\x", false, "URL\\server\\share\\x"},
                                   {"//server/share", false, "URL\\server/share"}});
}

}  // namespace
}  // namespace velmorak::util
