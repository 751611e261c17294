#include <gtest/gtest.h>
#include <lua.hpp>
#include <physfs.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/host.h"
#include "host/searcher.h"

namespace fs = std::filesystem;

namespace {

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
}

int RegisterFromArg(lua_State* L) {
  return SearcherRegister(L, ModuleSearcher, static_cast<int>(lua_tonumber(L, 1)));
}

int MarkerSearcher(lua_State*) { return 0; }

int RegisterMarkerFromArg(lua_State* L) {
  return SearcherRegister(L, MarkerSearcher, static_cast<int>(lua_tonumber(L, 1)));
}

// A state with the standard libraries and the searcher first in
// package.loaders, over a virtual file system holding a loose directory and a
// zip archive made by the zip tool.
class SearcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kavro_searcher_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    loose_ = root_ / "loose";
    WriteFile(loose_ / "util.lua", "return {from = 'file', name = ...}\n");
    WriteFile(loose_ / "a" / "b" / "c.lua", "return 'abc:' .. ...\n");
    WriteFile(loose_ / "bad.lua", "local x = = 1\n");
    WriteFile(loose_ / "empty.lua", "");
    fs::create_directories(loose_ / "dirmod.lua");
    WriteFile(root_ / "outside" / "extra.lua", "return 'extra'\n");
    WriteFile(root_ / "zipsrc" / "game" / "player.lua",
              "local M = {name = ...}\nfunction M.fail() error('boom') end\nreturn M\n");
    std::string cmd = "cd '" + (root_ / "zipsrc").string() + "' && zip -q -r -X ../mods.zip game";
    ASSERT_EQ(system(cmd.c_str()), 0) << "zip tool failed";

    if (!PHYSFS_isInit()) {
      ASSERT_NE(PHYSFS_init(nullptr), 0);
    }
    ASSERT_NE(PHYSFS_mount(loose_.c_str(), nullptr, 1), 0);
    ASSERT_NE(PHYSFS_mount((root_ / "mods.zip").c_str(), nullptr, 1), 0);
    g_runtime.vfsReady = 1;

    L = luaL_newstate();
    luaL_openlibs(L);
    std::string paths = "package.path = '" + (root_ / "outside").string() + "/?.lua'; package.cpath = ''";
    ASSERT_EQ(luaL_dostring(L, paths.c_str()), 0);
    LoaderSlotReset();
    SearcherRegister(L, ModuleSearcher, 1);
    ASSERT_EQ(lua_gettop(L), 0);
  }

  void TearDown() override {
    lua_close(L);
    PHYSFS_deinit();
    g_runtime.vfsReady = 0;
    fs::remove_all(root_);
  }

  // Runs code; returns "" or the error text. Standard output of the run goes
  // to *out when given.
  std::string Run(const std::string& code, std::string* out = nullptr) {
    if (out != nullptr) {
      fflush(stdout);
      testing::internal::CaptureStdout();
    }
    int rc = luaL_loadbuffer(L, code.data(), code.size(), "=test");
    if (rc == 0) rc = lua_pcall(L, 0, 0, 0);
    std::string err;
    if (rc != 0) {
      err = lua_tostring(L, -1) != nullptr ? lua_tostring(L, -1) : "?";
      lua_pop(L, 1);
    }
    if (out != nullptr) {
      fflush(stdout);
      *out = testing::internal::GetCapturedStdout();
    }
    return err;
  }

  std::string Str(const std::string& expr) {
    std::string code = "return " + expr;
    if (luaL_dostring(L, code.c_str()) != 0) {
      std::string err = lua_tostring(L, -1);
      lua_pop(L, 1);
      return "ERROR: " + err;
    }
    std::string v = lua_tostring(L, -1) != nullptr ? lua_tostring(L, -1) : "(not a string)";
    lua_pop(L, 1);
    return v;
  }

  fs::path root_, loose_;
  lua_State* L = nullptr;
};

TEST_F(SearcherTest, LoadsLooseModulesAheadOfPreload) {
  std::string out;
  EXPECT_EQ(Run("package.preload.util = function() return {from = 'preload'} end\n"
                "u = require 'util'",
                &out),
            "");
  EXPECT_EQ(Str("u.from"), "file");
  EXPECT_EQ(Str("u.name"), "util");
  EXPECT_EQ(out, "\n loader \n");
  EXPECT_EQ(g_loaderSlot.handle, nullptr);
  EXPECT_EQ(g_loaderSlot.mode, 0);

  EXPECT_EQ(Run("abc = require 'a.b.c'"), "");
  EXPECT_EQ(Str("abc"), "abc:a.b.c");
  EXPECT_EQ(Run("e = require 'empty'"), "");
  EXPECT_EQ(Str("tostring(e)"), "true");

  // Already loaded: require asks no searcher.
  EXPECT_EQ(Run("require 'util'", &out), "");
  EXPECT_EQ(out, "");
}

TEST_F(SearcherTest, LoadsModuleFromArchiveNamedByPath) {
  EXPECT_EQ(Run("p = require 'game.player'"), "");
  EXPECT_EQ(Str("p.name"), "game.player");
  std::string err = Run("p.fail()");
  EXPECT_NE(err.find("game/player.lua\"]:2: boom"), std::string::npos) << err;
  EXPECT_EQ(Str("debug.getinfo(p.fail, 'S').source"), "game/player.lua");
}

TEST_F(SearcherTest, BackslashesAndDotsBecomeSlashes) {
  EXPECT_EQ(Str("package.loaders[1]('a\\\\b.c')('x')"), "abc:x");

  std::string out;
  EXPECT_EQ(Run("r = package.loaders[1]('no..where')", &out), "");
  EXPECT_EQ(out, "\n loader \n\n loader : no//where.lua \n");
  EXPECT_EQ(Str("r"), "no..where");

  // "a..b" is looked up as a//b.lua, with whatever PhysicsFS makes of it.
  bool exists = PHYSFS_exists("a//b.lua") != 0;
  EXPECT_EQ(Run("t = type(package.loaders[1]('a..b'))", &out), "");
  EXPECT_EQ(Str("t"), exists ? "function" : "string");
  if (!exists) {
    EXPECT_EQ(out, "\n loader \n\n loader : a//b.lua \n");
  }
}

TEST_F(SearcherTest, MissingModuleFallsThroughToLuaSearchers) {
  std::string out;
  std::string err = Run("require 'socket.core'", &out);
  EXPECT_EQ(out, "\n loader \n\n loader : socket/core.lua \n");
  const std::string head = "module 'socket.core' not found:socket.core\n\tno field package.preload['socket.core']";
  EXPECT_NE(err.find(head), std::string::npos) << err;

  // Not in the virtual file system but on package.path: Lua's file searcher finds it.
  EXPECT_EQ(Run("x = require 'extra'", &out), "");
  EXPECT_EQ(Str("x"), "extra");
  EXPECT_EQ(out, "\n loader \n\n loader : extra.lua \n");
}

TEST_F(SearcherTest, SyntaxErrorIsRaisedWithLuaMessage) {
  std::string err = Run("require 'bad'");
  const std::string lua = "[string \"bad.lua\"]:1: unexpected symbol near '='";
  EXPECT_EQ(err, "Syntax error: " + lua + "\n");
  EXPECT_EQ(g_loaderSlot.handle, nullptr);
  EXPECT_EQ(Run("assert(package.loaded.bad == nil)"), "");
}

TEST_F(SearcherTest, UnreadableFileFallsThroughWithoutReading) {
  ASSERT_NE(PHYSFS_exists("dirmod.lua"), 0);
  std::string out;
  std::string err = Run("require 'dirmod'", &out);
  EXPECT_EQ(out, "\n loader \n\nCould not read file dirmod.lua\n");
  EXPECT_NE(err.find("module 'dirmod' not found:dirmod\n"), std::string::npos) << err;
  EXPECT_EQ(g_loaderSlot.handle, nullptr);
  EXPECT_EQ(g_loaderSlot.mode, 0);
}

TEST_F(SearcherTest, DirectCallsCheckArguments) {
  std::string out;
  EXPECT_EQ(Run("package.loaders[1]()", &out), "Incorrect number of arguments. Got [0], expected [1-1]");
  EXPECT_EQ(out, "");
  EXPECT_EQ(Run("package.loaders[1]('x', 'util')"), "Incorrect number of arguments. Got [2], expected [1-1]");
  // Two arguments naming no module: the name on top is reported as not found.
  EXPECT_EQ(Str("package.loaders[1]('util', 'nothere')"), "nothere");
  EXPECT_EQ(Run("package.loaders[1]({})"), "ModuleSearcher: Argument 1 should be of type string");
  EXPECT_EQ(Run("package.loaders[1](nil)"), "ModuleSearcher: Argument 1 should be of type string");
  EXPECT_EQ(Str("type(package.loaders[1]('util'))"), "function");
}

class SearcherRegisterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    L = luaL_newstate();
    luaL_openlibs(L);
  }
  void TearDown() override { lua_close(L); }

  // Calls the registration with `position` in a protected call; "" or the error.
  std::string Register(lua_CFunction reg, int position) {
    lua_pushcfunction(L, reg);
    lua_pushnumber(L, position);
    std::string err;
    if (lua_pcall(L, 1, 0, 0) != 0) {
      err = lua_tostring(L, -1);
      lua_pop(L, 1);
    }
    EXPECT_EQ(lua_gettop(L), 0);
    return err;
  }

  // "1234" style: where each original loader now sits, "M" for the marker.
  std::string Layout() {
    luaL_dostring(L,
                  "local s = ''\n"
                  "for i = 1, #package.loaders do\n"
                  "  local f, tag = package.loaders[i], 'M'\n"
                  "  for j = 1, #orig do if orig[j] == f then tag = tostring(j) end end\n"
                  "  s = s .. tag\n"
                  "end\n"
                  "return s");
    std::string s = lua_tostring(L, -1);
    lua_pop(L, 1);
    return s;
  }

  void SaveOriginal() {
    ASSERT_EQ(luaL_dostring(L, "orig = {unpack(package.loaders)}; assert(#orig == 4)"), 0);
  }

  lua_State* L = nullptr;
};

TEST_F(SearcherRegisterTest, MissingPackageTables) {
  ASSERT_EQ(luaL_dostring(L, "package = nil"), 0);
  EXPECT_EQ(Register(RegisterFromArg, 1), "Can't register searcher: package table does not exist.");
  ASSERT_EQ(luaL_dostring(L, "package = 5"), 0);
  EXPECT_EQ(Register(RegisterFromArg, 1), "Can't register searcher: package table does not exist.");
  ASSERT_EQ(luaL_dostring(L, "package = {}"), 0);
  EXPECT_EQ(Register(RegisterFromArg, 1), "Can't register searcher: package.loaders table does not exist.");
}

TEST_F(SearcherRegisterTest, Positions) {
  SaveOriginal();
  EXPECT_EQ(Register(RegisterMarkerFromArg, 1), "");
  EXPECT_EQ(Layout(), "M1234");

  ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
  EXPECT_EQ(Register(RegisterMarkerFromArg, -1), "");
  EXPECT_EQ(Layout(), "1234M");

  ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
  // Other negative positions: n + position + 1, here 4 - 2 + 1 = 3.
  EXPECT_EQ(Register(RegisterMarkerFromArg, -2), "");
  EXPECT_EQ(Layout(), "12M34");

  ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
  EXPECT_EQ(Register(RegisterMarkerFromArg, -4), "");
  EXPECT_EQ(Layout(), "M1234");

  ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
  EXPECT_EQ(Register(RegisterMarkerFromArg, 3), "");
  EXPECT_EQ(Layout(), "12M34");

  // Out-of-range positions keep the list a sequence.
  for (int position : {0, -5, -100}) {
    ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
    EXPECT_EQ(Register(RegisterMarkerFromArg, position), "");
    EXPECT_EQ(Layout(), "M1234") << position;
    EXPECT_EQ(luaL_dostring(L, "assert(package.loaders[0] == nil)"), 0);
  }
  ASSERT_EQ(luaL_dostring(L, "package.loaders = {unpack(orig)}"), 0);
  EXPECT_EQ(Register(RegisterMarkerFromArg, 10), "");
  EXPECT_EQ(Layout(), "1234M");
}

TEST_F(SearcherRegisterTest, HostSearcherFirstAndRequireStillWorks) {
  SaveOriginal();
  EXPECT_EQ(Register(RegisterFromArg, 1), "");
  EXPECT_EQ(Layout(), "M1234");
  // Lua's own loaders still serve modules after ours declines.
  ASSERT_EQ(luaL_dostring(L, "package.preload.p = function() return 'pre' end"), 0);
  fflush(stdout);
  testing::internal::CaptureStdout();
  int rc = luaL_dostring(L, "return require 'p'");
  fflush(stdout);
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_EQ(rc, 0);
  EXPECT_STREQ(lua_tostring(L, -1), "pre");
  lua_pop(L, 1);
  EXPECT_EQ(out, "\n loader \n\n loader : p.lua \n");
}

}  // namespace
