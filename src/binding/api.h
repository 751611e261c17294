// The one seam where the script API is registered on a Lua state.
#pragma once

struct lua_State;

// Registers every binding, constant, metatable and the module searcher.
// Called by the script host inside a protected call; returns 0.
int RegisterApi(lua_State* L);
