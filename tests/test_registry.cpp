// Registration of the script API: functions, constants, metatables and the
// searcher, on a fresh state.
#include <cstring>
#include <set>
#include <string>

#include "binding/api.h"
#include "binding/boxes.h"
#include "binding/constants.h"
#include "binding/registry.h"
#include "host/host.h"
#include "support/lua_state.h"

namespace {

const luaL_Reg* const kFamilies[] = {kEventApi, kVideoApi, kRwopsApi, kSystemApi, kKeyboardApi, kValueApi};

using Registry = LuaTest;

TEST_F(Registry, EveryFunctionIsAGlobalNativeFunctionWithoutUpvalues) {
  std::set<std::string> names;
  for (const luaL_Reg* family : kFamilies) {
    for (const luaL_Reg* r = family; r->name; ++r) {
      EXPECT_TRUE(names.insert(r->name).second) << "registered twice: " << r->name;
      lua_getglobal(L, r->name);
      EXPECT_TRUE(lua_iscfunction(L, -1)) << r->name;
      EXPECT_EQ(lua_getupvalue(L, -1, 1), nullptr) << r->name;
      lua_pop(L, 1);
    }
  }
  EXPECT_TRUE(names.count("SDL_PollEvent"));
  EXPECT_TRUE(names.count("KAVRO_GetGlobalEvent"));
}

TEST_F(Registry, NoConstantShadowsAFunctionAndConstantsAreNumbers) {
  std::set<std::string> functions;
  for (const luaL_Reg* family : kFamilies)
    for (const luaL_Reg* r = family; r->name; ++r) functions.insert(r->name);
  for (size_t i = 0; i < kNumberConstantCount; ++i) {
    EXPECT_FALSE(functions.count(kNumberConstants[i].name)) << kNumberConstants[i].name;
    lua_getglobal(L, kNumberConstants[i].name);
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << kNumberConstants[i].name;
    lua_pop(L, 1);
  }
  for (const EnumConstant* e = kEnumConstants; e->name; ++e) {
    EXPECT_FALSE(functions.count(e->name)) << e->name;
    lua_getglobal(L, e->name);
    EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << e->name;
    lua_pop(L, 1);
  }
}

TEST_F(Registry, StartUpValuesAsScriptsSeeThem) {
  EXPECT_EQ(Type("SDL_PollEvent"), "function");
  EXPECT_EQ(Num("SDL_INIT_VIDEO"), 32);
  EXPECT_EQ(Num("SDLK_ESCAPE"), 27);
  EXPECT_EQ(Num("KAVRO_VERSION"), 67073);
  EXPECT_EQ(Str("KAVRO_VERSION_STRING"), "1.6.1");
  EXPECT_EQ(Str("KAVRO_PATH"), std::string(g_runtime.baseDir));
  EXPECT_EQ(Num("SDL_ALLEVENTS"), 4294967295.0);
  EXPECT_EQ(Num("SDL_FULLSCREEN"), 2147483648.0);
  EXPECT_EQ(Num("SDL_QUERY"), -1);
  EXPECT_EQ(Num("MIX_CHANNEL_POST"), -2);
  // Globals are plain variables: a script may remove a binding.
  Exec("SDL_PollEvent = nil");
  EXPECT_EQ(Type("SDL_PollEvent"), "nil");
}

TEST_F(Registry, AllMetatablesExistUnderTheirNames) {
  for (const kv::BoxTypeInfo& t : kv::kBoxTypes) {
    lua_getfield(L, LUA_REGISTRYINDEX, t.metatable);
    EXPECT_EQ(lua_type(L, -1), LUA_TTABLE) << t.metatable;
    lua_pop(L, 1);
  }
  EXPECT_EQ(sizeof(kv::kBoxTypes) / sizeof(kv::kBoxTypes[0]), 45u);
}

TEST_F(Registry, SearcherComesFirstAndTheStackIsLeftAsFound) {
  EXPECT_EQ(Num("#package.loaders"), 5);
  EXPECT_FALSE(Bool("package.loaders[1] == package.preload"));
  EXPECT_EQ(Type("package.loaders[1]"), "function");
  lua_State* fresh = luaL_newstate();
  luaL_openlibs(fresh);
  lua_pushnumber(fresh, 7);
  ASSERT_EQ(lua_cpcall(fresh, [](lua_State* s) { return RegisterApi(s); }, nullptr), 0);
  EXPECT_EQ(lua_gettop(fresh), 1);
  lua_close(fresh);
}

TEST_F(Registry, MissingPackageLoadersIsAnErrorNotAPanic) {
  lua_State* fresh = luaL_newstate();
  luaL_openlibs(fresh);
  luaL_dostring(fresh, "package.loaders = nil");
  ASSERT_NE(lua_cpcall(fresh, [](lua_State* s) { return RegisterApi(s); }, nullptr), 0);
  EXPECT_STREQ(lua_tostring(fresh, -1), "Can't register searcher: package.loaders table does not exist.");
  lua_close(fresh);
}

}  // namespace

namespace {

TEST_F(Registry, NewBoxesTakeTheirMetatableFromTheRegistryByName) {
  Exec("reg = debug.getregistry(); saved = reg.lua_SDL_Rect_mt");
  EXPECT_TRUE(Bool("getmetatable(KAVRO_CreateRect(1, 2, 3, 4)) == saved"));
  Exec("reg.lua_SDL_Rect_mt = nil");
  EXPECT_EQ(Type("getmetatable(KAVRO_CreateRect(1, 2, 3, 4))"), "nil");
  Exec("reg.lua_SDL_Rect_mt = 42");
  EXPECT_EQ(Type("getmetatable(KAVRO_CreateRect(1, 2, 3, 4))"), "nil");
  Exec("replacement = {}; reg.lua_SDL_Rect_mt = replacement");
  EXPECT_TRUE(Bool("getmetatable(KAVRO_CreateRect(1, 2, 3, 4)) == replacement"));
  // A box made before keeps the table it was given.
  Exec("reg.lua_SDL_Rect_mt = saved");
  EXPECT_EQ(Num("KAVRO_CreateRect(1, 2, 3, 4).w"), 3);
}

}  // namespace
