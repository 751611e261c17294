// The one seam where the script API is registered on a Lua state.
#pragma once

struct lua_State;

// What the program around the layer adds to a registration: the text of
// KAVRO_PATH, and a last step run on the state (the module searcher).
struct RegistrationHook {
  const char* (*basePath)();
  void (*finish)(lua_State* L);
};

// Installs the hook that every later RegisterApi uses (none: KAVRO_PATH is
// "" and no last step runs).
void SetRegistrationHook(const RegistrationHook* hook);

// Registers every binding, constant and metatable, then runs the hook's
// last step.  Objects tracked for an earlier state are forgotten.  Called
// by the script host inside a protected call; returns 0.
int RegisterApi(lua_State* L);
