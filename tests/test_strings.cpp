// Path and string utilities.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/host.h"
#include "host/strings.h"

namespace {

// Takes ownership of a caller-owned result and returns it as a std::string
// ("<null>" for null).
std::string Own(char* s) {
  if (s == nullptr) return "<null>";
  std::string out = s;
  StrRelease(&s);
  return out;
}

TEST(StrBoundedCopy, CutsAtTheLimitAndTerminates) {
  std::string longDir(300, 'd');
  char baseDir[kBaseDirMax + 1 + 8];
  std::memset(baseDir, 'X', sizeof baseDir);
  StrBoundedCopy(baseDir, longDir.c_str(), kBaseDirMax);
  EXPECT_EQ(std::string(baseDir), std::string(260, 'd'));
  // Nothing written past the terminator.
  EXPECT_EQ(baseDir[kBaseDirMax + 1], 'X');

  std::string longPath(700, 'p');
  char mainPath[kMainPathMax + 1 + 8];
  std::memset(mainPath, 'X', sizeof mainPath);
  StrBoundedCopy(mainPath, longPath.c_str(), kMainPathMax);
  EXPECT_EQ(std::string(mainPath), std::string(512, 'p'));
  EXPECT_EQ(mainPath[kMainPathMax + 1], 'X');

  // Exactly at the limit, shorter, empty, and limit 0 (whole source).
  std::string exact(260, 'e');
  StrBoundedCopy(baseDir, exact.c_str(), kBaseDirMax);
  EXPECT_EQ(std::string(baseDir), exact);
  StrBoundedCopy(baseDir, "abc", kBaseDirMax);
  EXPECT_STREQ(baseDir, "abc");
  StrBoundedCopy(baseDir, "", kBaseDirMax);
  EXPECT_STREQ(baseDir, "");
  StrBoundedCopy(baseDir, "whole", 0);
  EXPECT_STREQ(baseDir, "whole");
  StrBoundedCopy(baseDir, "abcdef", 3);
  EXPECT_STREQ(baseDir, "abc");
}

TEST(StrDuplicateAndCase, CopiesAndFoldsOnlyAsciiLetters) {
  EXPECT_EQ(Own(StrDuplicate("Some\\Path/x.LUA")), "Some\\Path/x.LUA");
  EXPECT_EQ(StrDuplicate(nullptr), nullptr);
  EXPECT_EQ(Own(StrLower("GAME.Lua [Z]@\xC4")), "game.lua [z]@\xC4");
  EXPECT_EQ(Own(StrUpper("game.lua {a}`\xE4")), "GAME.LUA {A}`\xE4");
}

TEST(StrSubstring, RangesAndOutOfRange) {
  EXPECT_EQ(Own(StrSubstring("abc", 1, 0)), "bc");
  EXPECT_EQ(Own(StrSubstring("abc", 3, 0)), "");
  EXPECT_EQ(Own(StrSubstring("abc", 4, 0)), "");
  EXPECT_EQ(Own(StrSubstring("abcdef", 1, 3)), "bcd");
  EXPECT_EQ(Own(StrSubstring("abcdef", 3, 3)), "def");
  EXPECT_EQ(Own(StrSubstring("abcdef", 4, 3)), "");  // range past the end
  EXPECT_EQ(Own(StrSubstring("", 0, 0)), "");
  EXPECT_EQ(Own(StrSubstring("", 0, 2)), "");
  EXPECT_EQ(Own(StrSubstring("", 5, 1)), "");
}

TEST(StrFind, FirstOccurrenceFromStart) {
  int pos = -7;
  EXPECT_EQ(StrFind("hello", "lo", &pos, true, 0), 2u);
  EXPECT_EQ(pos, 3);
  pos = -7;
  EXPECT_EQ(StrFind("hello", "lo", &pos, true, 4), 0u);
  EXPECT_EQ(pos, -7);  // untouched when not found
  EXPECT_EQ(StrFind("hello", "l", &pos, true, 3), 1u);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(StrFind("hello", "", &pos, true, 0), 0u);
  EXPECT_EQ(StrFind("hello", "LO", &pos, true, 0), 0u);
  EXPECT_EQ(StrFind("hello", "LO", &pos, false, 0), 2u);
  EXPECT_EQ(pos, 3);
  EXPECT_EQ(StrFind("hello", "o", &pos, true, 5), 0u);
  EXPECT_EQ(StrFind("hello", "o", &pos, true, 99), 0u);  // start beyond the text
  EXPECT_EQ(StrFind("lo", "lol", &pos, true, 0), 0u);
}

TEST(StrFindLast, BackwardsWithDistanceAndCase) {
  EXPECT_EQ(StrFindLast("a/b/c", '/', true), 3);
  EXPECT_EQ(StrFindLast("a/b/c", '/', true, 2), 1);  // starts at 'b'
  EXPECT_EQ(StrFindLast("a/b/c", '/', true, 1), 3);
  EXPECT_EQ(StrFindLast("a/b/c", '\\', true), -1);
  EXPECT_EQ(StrFindLast("a/b/c", '/', true, 5), -1);  // distance beyond the text
  EXPECT_EQ(StrFindLast("a/b/c", '/', true, 50), -1);
  EXPECT_EQ(StrFindLast("", 'a', true), -1);
  EXPECT_EQ(StrFindLast("xAyaz", 'A', true), 1);
  EXPECT_EQ(StrFindLast("xAyaz", 'A', false), 3);
  EXPECT_EQ(StrFindLast("xAyaz", 'a', false, 2), 1);
}

TEST(StrExtension, AfterTheLastDot) {
  EXPECT_EQ(Own(StrExtension("archive.tar.gz")), "gz");
  EXPECT_EQ(Own(StrExtension("name.")), "");
  EXPECT_EQ(StrExtension("zip"), nullptr);
  EXPECT_EQ(Own(StrExtension("sub.dir/file")), "dir/file");

  // No dot: the holder keeps its previous result.
  StringHolder* holder = StringHolderNew();
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->header.kind, 23);
  EXPECT_EQ(holder->header.refs, 0);
  char* first = StrExtension("main.lua", holder);
  EXPECT_EQ(first, holder->result);
  EXPECT_STREQ(holder->result, "lua");
  EXPECT_EQ(StrExtension("README", holder), nullptr);
  EXPECT_STREQ(holder->result, "lua");
  StrExtension("x.pak", holder);
  EXPECT_STREQ(holder->result, "pak");
  StringHolderFree(holder);
  StringHolderFree(nullptr);
}

TEST(StrDirectoryPart, KeepsTheSeparator) {
  EXPECT_EQ(Own(StrDirectoryPart("D:\\games\\run.exe")), "D:\\games\\");
  EXPECT_EQ(Own(StrDirectoryPart("a/b\\c")), "a/");
  EXPECT_EQ(Own(StrDirectoryPart("/usr/lib/kavro")), "/usr/lib/");
  // Both cuts apply in turn: after the "/", then after the "\\" before it.
  EXPECT_EQ(Own(StrDirectoryPart("a\\b/c")), "a\\");
  EXPECT_EQ(Own(StrDirectoryPart("plain")), "plain");
}

TEST(StrReplaceAll, AdjacentAndTrailingMatches) {
  // Two backslashes in a row and one at the end: all three replaced.
  EXPECT_EQ(Own(StrReplaceAll("C:\\games\\\\kavro\\", "\\", "/", true)), "C:/games//kavro/");
  EXPECT_EQ(Own(StrReplaceAll("aaaa", "aa", "b", true)), "bb");
  EXPECT_EQ(Own(StrReplaceAll("aaa", "aa", "xyz", true)), "xyza");  // no overlaps
  EXPECT_EQ(Own(StrReplaceAll("sub\\dir\\game.lua", "\\", "/", true)), "sub/dir/game.lua");
  EXPECT_EQ(Own(StrReplaceAll("one.two.three", ".", "", true)), "onetwothree");
  EXPECT_EQ(Own(StrReplaceAll("Xx-xX", "x", "#", false)), "##-##");
  EXPECT_EQ(Own(StrReplaceAll("Xx-xX", "x", "#", true)), "X#-#X");
  EXPECT_EQ(StrReplaceAll("no match", "\\", "/", true), nullptr);
  EXPECT_EQ(StrReplaceAll("text", "", "/", true), nullptr);

  StringHolder* holder = StringHolderNew();
  ASSERT_NE(holder, nullptr);
  StrReplaceAll("a\\b", "\\", "/", true, holder);
  EXPECT_STREQ(holder->result, "a/b");
  EXPECT_EQ(StrReplaceAll("ab", "\\", "/", true, holder), nullptr);
  EXPECT_STREQ(holder->result, "a/b");
  StringHolderFree(holder);
}

TEST(StrEquals, WithAndWithoutCase) {
  EXPECT_EQ(StrEquals("LUA", "lua", false), 1);
  EXPECT_EQ(StrEquals("LUA", "lua", true), 0);
  EXPECT_EQ(StrEquals("lua", "lua", true), 1);
  EXPECT_EQ(StrEquals("", "", true), 1);
  EXPECT_EQ(StrEquals("lua", "luac", true), 0);
  EXPECT_EQ(StrEquals("luac", "lua", false), 0);
  EXPECT_EQ(StrEquals("", "a", false), 0);
  EXPECT_EQ(StrEquals("rb", "rw", true), 0);

  EXPECT_EQ(StrPrefixLength("hello", "help", true), 3u);
  EXPECT_EQ(StrPrefixLength("HELlo", "help", false), 3u);
  EXPECT_EQ(StrPrefixLength("HELlo", "help", true), 0u);
  EXPECT_EQ(StrPrefixLength("", "help", true), 0u);
}

TEST(StrRelease, FreesAndClears) {
  char* s = StrDuplicate("x");
  StrRelease(&s);
  EXPECT_EQ(s, nullptr);
  StrRelease(&s);  // already null
  StrRelease(nullptr);
}

}  // namespace
