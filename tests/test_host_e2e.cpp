// The program end to end: each case copies the built program into its own
// scratch directory with that case's scripts and archives and runs it
// (headless; the window cases live in test_default_window_x11.cpp).
#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>
#include <vector>

#include "support/e2e.h"

namespace {

const std::string kVersionLine = "KAVRO v1.6.1\n";

class HostE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.path().empty());
    exe = dir.CopyProgram();
  }
  // Runs from "/" so that every relative name must be resolved against the
  // program's own directory.
  e2e::Result Run(const std::vector<std::string>& args = {}, int timeoutMs = 20000) {
    return e2e::Run(exe, args, {}, timeoutMs, "/");
  }
  // An archive holding one main.lua with the given text.
  void ZipMain(const std::string& archive, const std::string& text) {
    std::string src = "zsrc-" + archive;
    dir.Write(src + "/main.lua", text);
    ASSERT_TRUE(dir.Zip(archive, {"main.lua"}, src));
  }

  e2e::TempDir dir;
  std::string exe;
};

// ---- version query ----------------------------------------------------

TEST_F(HostE2E, VersionFlagsPrintOnlyTheVersion) {
  dir.Write("main.lua", "print('must not run')\n");
  for (const char* flag : {"-v", "--version"}) {
    e2e::Result r = Run({flag});
    EXPECT_EQ(r.status, 0) << flag;
    EXPECT_EQ(r.out, kVersionLine) << flag;
    EXPECT_FALSE(dir.Exists("kavro.log")) << flag << ": nothing else may start";
  }
}

TEST_F(HostE2E, OtherSpellingsAreOrdinaryArguments) {
  dir.Write("main.lua", "print('ran')\n");
  for (const char* arg : {"-version", "--v", "-V"}) {
    e2e::Result r = Run({arg});
    EXPECT_EQ(r.status, 0) << arg;
    EXPECT_EQ(r.out, kVersionLine + "ran\n") << arg;
  }
  // Only the first argument is examined.
  e2e::Result r = Run({"other", "-v"});
  EXPECT_EQ(r.out, kVersionLine + "ran\n");
}

// ---- log file ---------------------------------------------------------

TEST_F(HostE2E, LogHoldsExactlyTheVersionLineAndIsTruncatedEachRun) {
  dir.Write("kavro.log", "stale text from another run\n");
  dir.Write("main.lua", "local quiet = 1\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine);
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine);

  // A run that logs an error, then a silent one: only the last run's lines.
  dir.Write("main.lua", "error('first run')\n");
  Run();
  EXPECT_NE(dir.Read("kavro.log").find("first run"), std::string::npos);
  dir.Write("main.lua", "local quiet = 2\n");
  r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine);
}

// ---- archives ---------------------------------------------------------

TEST_F(HostE2E, ArchiveProbeOrderMountsOnlyTheFirstFound) {
  const std::vector<std::string> names = {"base.sdl", "base.res", "base.pak", "base.dat", "base.zip"};
  for (const auto& name : names) ZipMain(name, "print('from " + name + "')\n");
  for (const auto& name : names) {
    e2e::Result r = Run();
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, kVersionLine + "from " + name + "\n");
    std::remove((dir / name).c_str());
  }
}

TEST_F(HostE2E, OnlyTheProbedArchiveIsMountedEvenWhenItIsNotAnArchive) {
  // base.sdl is plain text: its mount fails, so the program reads that file
  // itself as the main script; base.zip is never looked at.
  dir.Write("base.sdl", "print('base.sdl read as a script')\n");
  ZipMain("base.zip", "print('from base.zip')\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine + "base.sdl read as a script\n");
}

TEST_F(HostE2E, PakThatIsAPlainZipRunsItsMainLua) {
  ZipMain("base.pak", "print('pak main'); print(KAVRO_PATH); print(KAVRO_VERSION_STRING)\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine + "pak main\n" + dir.path() + "/\n1.6.1\n");
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine);
}

TEST_F(HostE2E, LooseMainLuaBeatsTheArchiveCopy) {
  ZipMain("base.zip", "print('archive copy')\n");
  dir.Write("main.lua", "print('loose copy')\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.out, kVersionLine + "loose copy\n");
}

TEST_F(HostE2E, ArchiveWithoutMainLuaReportsFileNotFound) {
  dir.Write("zsrc/other.txt", "x");
  ASSERT_TRUE(dir.Zip("base.zip", {"other.txt"}, "zsrc"));
  // No main script: the default window follows, which under the dummy
  // driver (any full-screen size allowed) never ends, so the run is cut short.
  e2e::Result r = Run({}, 2000);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.out, kVersionLine + "Error: File not found \"main.lua\"\nAll resolutions available.\n");
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine + "Error: File not found \"main.lua\"\n");
}

TEST_F(HostE2E, NoMainScriptAtAllReportsCantOpen) {
  e2e::Result r = Run({}, 2000);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.out, kVersionLine + "Error: Can't open file \"main.lua\"\nAll resolutions available.\n");
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine + "Error: Can't open file \"main.lua\"\n");
}

TEST_F(HostE2E, ProbeStopsAtTheFirstArchiveEvenWithoutAMainLua) {
  // base.sdl has no main.lua; base.zip has one but is never mounted.
  dir.Write("zsrc/other.txt", "x");
  ASSERT_TRUE(dir.Zip("base.sdl", {"other.txt"}, "zsrc"));
  ZipMain("base.zip", "print('from base.zip')\n");
  e2e::Result r = Run({}, 2000);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.out, kVersionLine + "Error: File not found \"main.lua\"\nAll resolutions available.\n");
}

TEST_F(HostE2E, DefaultWindowWithoutVideoExitsWithStatusOne) {
  e2e::Result r = e2e::Run(exe, {}, {"SDL_VIDEODRIVER=no-such-driver"}, 20000, "/");
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 1);
  const std::string head = kVersionLine + "Error: Can't open file \"main.lua\"\nSDL ERROR : ";
  EXPECT_EQ(r.out.rfind(head, 0), 0u) << r.out;
  EXPECT_GT(r.out.size(), head.size() + 1);
  EXPECT_EQ(r.out.back(), '\n');
  // Video messages reach standard output only.
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine + "Error: Can't open file \"main.lua\"\n");
}

// ---- first argument ---------------------------------------------------

TEST_F(HostE2E, LuaExtensionIgnoresCaseAndKeepsTheName) {
  dir.Write("GAME.LUA", "print('game script')\n");
  dir.Write("main.lua", "print('main script')\n");
  e2e::Result r = Run({"GAME.LUA"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using main script: GAME.LUA\n\n" + kVersionLine + "game script\n");
  // The start-up line is not in the log: the log opens later.
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine);
}

TEST_F(HostE2E, BackslashesInTheArgumentBecomeSlashes) {
  dir.Write("sub/dir/game.lua", "print('nested script')\n");
  e2e::Result r = Run({"sub\\dir\\game.lua"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using main script: sub/dir/game.lua\n\n" + kVersionLine + "nested script\n");
}

TEST_F(HostE2E, ArgumentNamedZipWithoutDotIsMounted) {
  ZipMain("zip", "print('inside zip')\n");
  e2e::Result r = Run({"zip"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using resource file: zip\n\n" + kVersionLine + "inside zip\n");
}

TEST_F(HostE2E, UnknownExtensionIsIgnoredWithoutABaseArchive) {
  // readme.txt is in fact a zip, but its extension keeps it unmounted.
  ZipMain("readme.txt", "print('from readme.txt')\n");
  dir.Write("main.lua", "print('loose main')\n");
  e2e::Result r = Run({"readme.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine + "loose main\n");
}

TEST_F(HostE2E, UnmountableArgumentKeepsTheBaseArchive) {
  ZipMain("base.zip", "print('game from base.zip')\n");
  dir.Write("readme.txt", "just some notes\n");
  for (const char* arg : {"readme.txt", "missing.zip", "notes"}) {
    e2e::Result r = Run({arg});
    EXPECT_EQ(r.status, 0) << arg;
    EXPECT_EQ(r.out, kVersionLine + "game from base.zip\n") << arg;
  }
}

TEST_F(HostE2E, LuaArgumentWithBaseArchiveReadsTheFile) {
  ZipMain("base.zip", "print('archive main')\n");
  dir.Write("game.lua", "print('game.lua from the file')\n");
  e2e::Result r = Run({"game.lua"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using main script: game.lua\n\n" + kVersionLine + "game.lua from the file\n");
}

TEST_F(HostE2E, SecondArchiveIsMountedAfterTheProbedOne) {
  ZipMain("base.zip", "print('main from base.zip')\n");
  ZipMain("other.zip", "print('main from other.zip')\n");
  e2e::Result r = Run({"other.zip"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using resource file: other.zip\n\n" + kVersionLine + "main from base.zip\n");

  // Alone, the argument's archive provides the main script.
  std::remove((dir / "base.zip").c_str());
  r = Run({"other.zip"});
  EXPECT_EQ(r.out, "Using resource file: other.zip\n\n" + kVersionLine + "main from other.zip\n");
}

TEST_F(HostE2E, OverlongArgumentIsCutAt512Characters) {
  // The first 512 characters name an existing script; the rest is cut off.
  std::string kept;
  while (kept.size() < 512 - 6) kept += std::string(60, 'd') + "/";
  kept.resize(512 - 6);
  if (kept.back() == '/') kept.back() = 'e';
  kept += "/x.lua";
  ASSERT_EQ(kept.size(), 512u);
  std::string arg = kept + std::string(300, 'z') + ".lua";
  dir.Write(kept, "print('cut path ran')\n");
  e2e::Result r = Run({arg});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Using main script: " + kept + "\n\n" + kVersionLine + "cut path ran\n");
}

TEST_F(HostE2E, OverlongBaseDirectoryIsCutAt260Characters) {
  std::string deep;
  while (deep.size() < 300) deep += std::string(50, 'b') + "/";
  deep += "bin";
  std::string fullExe = dir.CopyProgram(deep + "/kavro");
  std::string fullDir = dir.path() + "/" + deep + "/";
  ASSERT_GT(fullDir.size(), 260u);
  // The cut directory does not exist, so the program stays in the directory
  // it was started from, which holds the script.
  dir.Write("main.lua", "print(KAVRO_PATH)\n");
  e2e::Result r = e2e::Run(fullExe, {}, {}, 20000, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine + fullDir.substr(0, 260) + "\n");
}

// ---- script errors ----------------------------------------------------

TEST_F(HostE2E, SyntaxErrorNamesMainTheChunkAndTheLine) {
  dir.Write("main.lua", "local a = 1\nlocal b = 2\nlocal c = = 3\nprint('never')\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  const std::string report =
      "error: can't run script \"Main\"\n[string \"local a = 1...\"]:3: unexpected symbol near '='\n";
  EXPECT_EQ(r.out, kVersionLine + report);
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine + report);
}

TEST_F(HostE2E, RunTimeErrorIsReportedAndTheProgramEndsNormally) {
  dir.Write("main.lua", "print('before')\nerror('boom')\nprint('after')\n");
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  const std::string report = "error: can't run script \"Main\"\n[string \"print('before')...\"]:2: boom\n";
  EXPECT_EQ(r.out, kVersionLine + "before\n" + report);
  EXPECT_EQ(dir.Read("kavro.log"), kVersionLine + report);
}

TEST_F(HostE2E, NonStringErrorValuesGetAPlaceholder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"error({})", "(error object is a table value)"},
      {"error()", "(error object is a nil value)"},
      {"error(true)", "(error object is a boolean value)"},
      {"error(42, 0)", "42"},
  };
  for (const auto& [code, text] : cases) {
    dir.Write("main.lua", code);
    e2e::Result r = Run();
    EXPECT_EQ(r.status, 0) << code;
    EXPECT_EQ(r.out, kVersionLine + "error: can't run script \"Main\"\n" + text + "\n") << code;
  }
}

TEST_F(HostE2E, EmptyMainLuaRunsNothingAndShowsNoWindow) {
  dir.Write("main.lua", "");
  // A default window would never end under the dummy driver.
  e2e::Result r = Run({}, 10000);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, kVersionLine);
}

TEST_F(HostE2E, PrecompiledChunkFailsToLoad) {
  // A real precompiled chunk: its text is cut at the first NUL byte.
  lua_State* L = luaL_newstate();
  ASSERT_EQ(luaL_loadstring(L, "print('compiled')"), 0);
  std::string bytes;
  lua_dump(
      L,
      [](lua_State*, const void* p, size_t n, void* ud) {
        static_cast<std::string*>(ud)->append(static_cast<const char*>(p), n);
        return 0;
      },
      &bytes);
  lua_close(L);
  ASSERT_NE(bytes.find('\0'), std::string::npos);
  dir.Write("main.lua", bytes);
  e2e::Result r = Run();
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(kVersionLine + "error: can't run script \"Main\"\n", 0), 0u) << r.out;
  EXPECT_EQ(r.out.find("compiled\n"), std::string::npos);
}

}  // namespace
