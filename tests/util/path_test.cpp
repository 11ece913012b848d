#include "util/path.h"

#include <gtest/gtest.h>

#include <string>

namespace velmorak::util {
namespace {

TEST(FileExt, FromTheLastDotInLowerCase) {
    EXPECT_EQ(FILEEXT("C:\\Data\\Model.MIF"), ".mif");
    EXPECT_EQ(FILEEXT("README"), "");
    EXPECT_EQ(FILEEXT("a.b.c"), ".c");
    EXPECT_EQ(FILEEXT("site.12DA   "), ".12da");
    // The dot is looked for in the whole path, folders included.
    EXPECT_EQ(FILEEXT("C:\\a.b\\file"), ".b\\file");
    EXPECT_EQ(FILEEXT("C:\\Data\\"), "");
}

TEST(FileName, BareNameWithoutFolderAndExtension) {
    EXPECT_EQ(FILENAME("C:\\Data\\Model.old.mif"), "Model.old");
    EXPECT_EQ(FILENAME("C:\\Data\\Model"), "Model");
    EXPECT_EQ(FILENAME("dir/sub/x.12da"), "x");
    EXPECT_EQ(FILENAME("Model"), "Model");
    EXPECT_EQ(FILENAME("Model.mif"), "Model");
    EXPECT_EQ(FILENAME("C:\\Data\\"), "");
    // Mixed separators: the later one counts.
    EXPECT_EQ(FILENAME("a/b\\c.d/e.txt"), "e");
}

TEST(FileName, NamesThatAreOnlyAnExtension) {
    EXPECT_EQ(FILENAME("C:\\Data\\.mif"), ".mif");
    EXPECT_EQ(FILENAME(".mif"), "");
}

TEST(FileName, DotInAFolderNameIsNotAnExtension) {
    EXPECT_EQ(FILENAME("C:\\my.dir\\Model"), "Model");
    EXPECT_EQ(FILENAMEPATH("C:\\my.dir\\Model"), "C:\\my.dir\\Model");
    EXPECT_EQ(FILENAMEPATH("C:\\my.dir\\Model.mif"), "C:\\my.dir\\Model");
}

TEST(LayerSuffix, NameWithoutAndSuffixAlone) {
    EXPECT_EQ(FILENAMENO_("C:\\gis\\2d_zln_Road_L.mif"), "2d_zln_Road");
    EXPECT_EQ(FILENAMENO_("_L.mif"), "_L");
    EXPECT_EQ(FILENAMENO_("C:\\gis\\Road.mif"), "Road");
    EXPECT_EQ(FILE___EXT("C:\\gis\\2d_zln_Road_L.mif"), "_l");
    EXPECT_EQ(FILE___EXT("C:\\my_dir\\Road.mif"), "");  // only the bare name is searched
    EXPECT_EQ(FILE___EXT("_L.mif"), "_l");
}

TEST(FileNamePath, PathWithoutExtension) {
    EXPECT_EQ(FILENAMEPATH("C:\\Data\\Model.mif"), "C:\\Data\\Model");
    EXPECT_EQ(FILENAMEPATH("C:\\Data\\"), "C:\\Data\\");
    EXPECT_EQ(FILENAMEPATH(".mif"), ".mif");  // a dot at position 1 is kept
    EXPECT_EQ(FILENAMEPATH("a.b.c"), "a.b");
}

TEST(FileNamePath, WithoutLayerSuffix) {
    EXPECT_EQ(FILENAMEPATHNO_("C:\\gis\\2d_zln_Road_L.mif"), "C:\\gis\\2d_zln_Road");
    EXPECT_EQ(FILENAMEPATHNO_("C:\\my_dir\\Road.mif"), "C:\\my_dir\\Road");
    EXPECT_EQ(FILENAMEPATHNO_("_L.mif"), "_L");
}

TEST(FileFolderPath, FolderWithItsSeparator) {
    EXPECT_EQ(FILEFOLDERPATH("C:\\Data\\Model.mif"), "C:\\Data\\");
    EXPECT_EQ(FILEFOLDERPATH("Model.mif"), "");
    EXPECT_EQ(FILEFOLDERPATH("C:\\Data\\"), "C:\\Data\\");
    EXPECT_EQ(FILEFOLDERPATH("dir/sub/x.12da"), "dir/sub/");
}

TEST(PathParts, AllBlankPathGivesAllBlankParts) {
    for (const char* p : {"", "    "}) {
        EXPECT_EQ(FILEEXT(p), "");
        EXPECT_EQ(FILENAME(p), "");
        EXPECT_EQ(FILE___EXT(p), "");
        EXPECT_EQ(FILEFOLDERPATH(p), "");
        EXPECT_EQ(FILENAMEPATH(p), "");
    }
}

TEST(PathParts, PathsAreCutAtOneThousandCharacters) {
    const std::string folder = "C:\\" + std::string(990, 'd') + "\\";  // 994 characters
    EXPECT_EQ(FILENAME(folder + "abcdef.mif"), "abcdef");
    EXPECT_EQ(FILEEXT(folder + "abcdef.mif"), "");
    EXPECT_EQ(FILEEXT(folder + "ab.mif"), ".mif");
    EXPECT_EQ(FILEEXT(folder + "abc.mif"), ".mi");
}

TEST(AddFolder, JoinsRelativeFiles) {
    EXPECT_EQ(ADDFOLDER("..\\results", "out.mif"), "..\\results\\out.mif");
    EXPECT_EQ(ADDFOLDER("C:\\Data\\", "x.mif"), "C:\\Data\\x.mif");
    EXPECT_EQ(ADDFOLDER("gis/", "x.mif"), "gis/x.mif");
    EXPECT_EQ(ADDFOLDER("  C:\\runs  ", "  x.mif  "), "C:\\runs\\x.mif");
    // A leading single backslash is relative; the doubled one is reduced.
    EXPECT_EQ(ADDFOLDER("C:\\runs\\", "\\x.mif"), "C:\\runs\\x.mif");
}

TEST(AddFolder, ResolvesParentStepsOfTheJoin) {
    EXPECT_EQ(ADDFOLDER("C:\\runs\\", "..\\gis\\x.mif"), "C:\\gis\\x.mif");
    EXPECT_EQ(ADDFOLDER("C:\\a\\b", "..\\..\\x.mif"), "C:\\x.mif");
}

TEST(AddFolder, AbsoluteFilesIgnoreTheFolder) {
    EXPECT_EQ(ADDFOLDER("C:\\runs", "D:\\x.mif"), "D:\\x.mif");
    EXPECT_EQ(ADDFOLDER("C:\\runs", "\\\\srv\\share\\x.mif"), "\\\\srv\\share\\x.mif");
    EXPECT_EQ(ADDFOLDER("C:\\runs", "  D:x.mif"), "D:x.mif");
}

TEST(AddFolder, BlankParts) {
    EXPECT_EQ(ADDFOLDER("", ""), ".");
    EXPECT_EQ(ADDFOLDER("   ", "  "), ".");
    EXPECT_EQ(ADDFOLDER("  C:\\Data\\  ", ""), "C:\\Data\\");
    EXPECT_EQ(ADDFOLDER("", "  a\\..\\x.mif"), "x.mif");
}

TEST(RemoveDotDot, ParentSteps) {
    EXPECT_EQ(REMOVEDOTDOT("a\\b\\..\\c"), "a\\c");
    EXPECT_EQ(REMOVEDOTDOT("a\\b\\..\\..\\c"), "c");
    EXPECT_EQ(REMOVEDOTDOT("a\\..\\..\\b"), "..\\b");
    EXPECT_EQ(REMOVEDOTDOT("C:\\x\\y\\z\\..\\..\\w"), "C:\\x\\w");
}

TEST(RemoveDotDot, RunsOfLeadingParentStepsStay) {
    EXPECT_EQ(REMOVEDOTDOT("..\\..\\x"), "..\\..\\x");
    EXPECT_EQ(REMOVEDOTDOT("..\\..\\a\\..\\b"), "..\\..\\b");
    EXPECT_EQ(REMOVEDOTDOT("..\\..\\..\\..\\a"), "..\\..\\..\\..\\a");
    EXPECT_EQ(REMOVEDOTDOT("\\..\\x"), "\\..\\x");  // a step at position 1 has nothing before it
}

TEST(RemoveDotDot, StepsItDoesNotRecognise) {
    EXPECT_EQ(REMOVEDOTDOT("a\\b\\.."), "a\\b\\..");
    EXPECT_EQ(REMOVEDOTDOT("a/b/../c"), "a/b/../c");
}

TEST(RemoveDotDot, CurrentFolderSteps) {
    EXPECT_EQ(REMOVEDOTDOT("a\\.\\b"), "a\\b");
    EXPECT_EQ(REMOVEDOTDOT("a\\.\\.\\.\\b"), "a\\b");
    EXPECT_EQ(REMOVEDOTDOT(".\\b"), ".\\b");
}

TEST(RemoveDotDot, DoubledBackslashes) {
    EXPECT_EQ(REMOVEDOTDOT("C:\\a\\\\\\b"), "C:\\a\\b");
    EXPECT_EQ(REMOVEDOTDOT("   ab\\\\c  "), "ab\\c");
    // A network path's leading pair stops the reduction of any later pair.
    EXPECT_EQ(REMOVEDOTDOT("\\\\srv\\a\\\\b"), "\\\\srv\\a\\\\b");
    EXPECT_EQ(REMOVEDOTDOT("\\\\srv\\a\\..\\b"), "\\\\srv\\b");
}

// Long runs (a fuzz input of a thousand separators) reduce in one pass, chained
// current-folder steps included.
TEST(RemoveDotDot, LongRunsAndChainedCurrentFolderSteps) {
    std::string steps;
    for (int i = 0; i < 100; ++i) steps += ".\\";
    EXPECT_EQ(REMOVEDOTDOT("ab" + std::string(500, '\\') + "c\\" + steps + "d"), "ab\\c\\d");
    EXPECT_EQ(REMOVEDOTDOT("x" + std::string(600, '\\') + "y"), "x" + std::string(600, '\\') + "y");
    EXPECT_EQ(REMOVEDOTDOT("a\\.\\.\\.b\\.\\"), "a\\.b\\");
}

TEST(CleanPath, ReducesDoubledSeparatorsInPlace) {
    std::string path = "  C:\\a\\\\b//c  ";
    EXPECT_EQ(CLEANPATH(path), "C:\\a\\b/c");
    EXPECT_EQ(path, "C:\\a\\b/c");

    path = "a///b\\\\\\c";
    EXPECT_EQ(CLEANPATH(path), "a/b\\c");
}

TEST(CleanPath, KeepsTheLeadingPairOfANetworkPath) {
    std::string path = "\\\\srv\\a//b";
    EXPECT_EQ(CLEANPATH(path), "\\\\srv\\a/b");
    EXPECT_EQ(path, "\\\\srv\\a/b");

    // Once only the leading pair's kind is left, later pairs of that kind stay.
    path = "\\\\srv\\a//b\\\\c";
    EXPECT_EQ(CLEANPATH(path), "\\\\srv\\a/b\\\\c");
    path = "\\\\srv\\\\x";
    EXPECT_EQ(CLEANPATH(path), "\\\\srv\\\\x");
}

TEST(CleanPath, LongRunsOfEitherSeparator) {
    std::string path = "a" + std::string(500, '\\') + "b" + std::string(400, '/') + "c";
    EXPECT_EQ(CLEANPATH(path), "a\\b/c");
    path = "//" + std::string(300, '\\') + "s" + std::string(300, '/') + "t";
    EXPECT_EQ(CLEANPATH(path), "//\\s" + std::string(300, '/') + "t");
}

TEST(RelativePath, RelativePathIsLeftAlone) {
    std::string path = "  gis\\x.mif ";
    EXPECT_TRUE(RELATIVEPATH(path));
    EXPECT_EQ(path, "gis\\x.mif");
}

TEST(RelativePath, DrivesAndNetworkPathsBecomeFolders) {
    std::string path = "c:\\Model\\gis\\";
    EXPECT_FALSE(RELATIVEPATH(path));
    EXPECT_EQ(path, "C Drive\\Model\\gis\\");

    path = "\\\\server\\share\\x";
    EXPECT_FALSE(RELATIVEPATH(path));
    EXPECT_EQ(path, "URL\\server\\share\\x");

    path = "//server/share";
    EXPECT_FALSE(RELATIVEPATH(path));
    EXPECT_EQ(path, "URL\\server/share");
}

}  // namespace
}  // namespace velmorak::util
