#include "binding/registry.h"

#include <lua.hpp>

#include "binding/api.h"
#include "binding/boxes.h"
#include "binding/constants.h"
#include "binding/lifetime.h"

const ApiFamily kApiFamilies[] = {
    {"events", kEventApi}, {"video", kVideoApi},       {"rwops", kRwopsApi},
    {"system", kSystemApi}, {"keyboard", kKeyboardApi}, {"values", kValueApi},
};
const size_t kApiFamilyCount = sizeof kApiFamilies / sizeof kApiFamilies[0];

namespace {
const RegistrationHook* gHook = nullptr;
}  // namespace

void SetRegistrationHook(const RegistrationHook* hook) { gHook = hook; }

int RegisterApi(lua_State* L) {
  kv::ResetLifetimes(L);
  kv::Track(L, kv::Live::Event, KAVRO_GetGlobalEvent());
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  int globals = lua_gettop(L);
  for (size_t i = 0; i < kApiFamilyCount; ++i) luaL_register(L, nullptr, kApiFamilies[i].rows);
  RegisterNumberConstants(L, globals);
  RegisterStringConstants(L, globals, gHook && gHook->basePath ? gHook->basePath() : "");
  RegisterEnumConstants(L);
  lua_pop(L, 1);
  RegisterMetatables(L);
  if (gHook && gHook->finish) gHook->finish(L);
  return 0;
}
