// The function tables of the script API, one per family, each ending with
// a null name.  Every family's file ends with its table.
#pragma once

#include <lua.hpp>

extern const luaL_Reg kEventApi[];
