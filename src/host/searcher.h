// The module searcher behind `require`: finds Lua modules in the virtual file
// system (base directory and mounted archives) ahead of Lua's own searchers.
#pragma once

#include <lua.hpp>
#include <physfs.h>

#include <cstdint>

// The one file the searcher reads through. Empty (null handle, mode 0)
// between searcher calls.
struct LoaderSlot {
  PHYSFS_File* handle;
  int32_t mode;  // 1 = open for reading
};

extern LoaderSlot g_loaderSlot;

// Empties the loader file slot (handle null, mode 0) without closing anything.
void LoaderSlotReset();

// Inserts `searcher` into package.loaders at the 1-based `position`; -1 appends,
// other negative positions count from the end. Raises a Lua error when package
// or package.loaders is missing. Returns 0.
int SearcherRegister(lua_State* L, lua_CFunction searcher, int position);

// The searcher: takes a module name a.b, looks for a/b.lua in the virtual file
// system and returns its loaded chunk, or the module name when it is not there.
int ModuleSearcher(lua_State* L);
