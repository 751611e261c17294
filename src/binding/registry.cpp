#include "binding/api.h"

#include <lua.hpp>

#include "binding/boxes.h"
#include "binding/constants.h"
#include "binding/registry.h"
#include "host/searcher.h"

namespace {

// Every family's table; together they hold the whole function API.
const luaL_Reg* const kApiFamilies[] = {
    kEventApi, kVideoApi, kRwopsApi, kSystemApi, kKeyboardApi, kValueApi,
};

}  // namespace

int RegisterApi(lua_State* L) {
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  int globals = lua_gettop(L);
  for (const luaL_Reg* family : kApiFamilies) luaL_register(L, nullptr, family);
  RegisterNumberConstants(L, globals);
  RegisterStringConstants(L, globals);
  RegisterEnumConstants(L);
  lua_pop(L, 1);
  RegisterMetatables(L);
  LoaderSlotReset();
  SearcherRegister(L, ModuleSearcher, 1);
  return 0;
}
