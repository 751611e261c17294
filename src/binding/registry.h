// The function tables of the script API, one per family, each ending with
// a null name.  Every family's file ends with its table.
#pragma once

#include <lua.hpp>

#include <cstddef>

extern const luaL_Reg kEventApi[];     // binding/events.cpp
extern const luaL_Reg kVideoApi[];     // sdl/video.cpp
extern const luaL_Reg kRwopsApi[];     // sdl/rwops.cpp
extern const luaL_Reg kSystemApi[];    // sdl/system.cpp
extern const luaL_Reg kKeyboardApi[];  // helpers/keyboard.cpp
extern const luaL_Reg kValueApi[];     // helpers/values.cpp

// Every family's table with its name; together they hold the whole API.
struct ApiFamily {
  const char* name;
  const luaL_Reg* rows;
};
extern const ApiFamily kApiFamilies[];
extern const size_t kApiFamilyCount;
