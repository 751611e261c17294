#include "host/searcher.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/vfs.h"

LoaderSlot g_loaderSlot = {nullptr, 0};

namespace {

// Raises `text` as a Lua error without a location prefix. Callers free their
// own buffers first: nothing after this point runs.
[[noreturn]] void RaiseText(lua_State* L, const char* text) {
  lua_pushstring(L, text);
  lua_error(L);
  abort();  // lua_error does not return
}

// Closes the loader slot's file, if any, and empties the slot.
void LoaderSlotClose() {
  if (g_loaderSlot.handle != nullptr) PHYSFS_close(g_loaderSlot.handle);
  LoaderSlotReset();
}

// Module name a.b\c -> a/b/c.lua in a malloc'd buffer; null when out of memory.
char* ModulePath(const char* name, size_t length) {
  static const char kSuffix[] = ".lua";
  char* path = static_cast<char*>(malloc(length + sizeof kSuffix));
  if (path == nullptr) return nullptr;
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    path[i] = (c == '.' || c == '\\') ? '/' : c;
  }
  memcpy(path + length, kSuffix, sizeof kSuffix);
  return path;
}

// Reads the whole file at `path` through the loader slot into a malloc'd
// buffer. Returns null (slot empty, nothing allocated) when the file cannot
// be opened or read, or memory runs out; *outOfMemory tells which.
char* ReadModule(const char* path, size_t* size, bool* outOfMemory) {
  *outOfMemory = false;
  g_loaderSlot.handle = PHYSFS_openRead(path);
  if (g_loaderSlot.handle == nullptr) {
    LoaderSlotReset();
    return nullptr;
  }
  g_loaderSlot.mode = 1;
  PHYSFS_sint64 length = PHYSFS_fileLength(g_loaderSlot.handle);
  if (length < 0 || static_cast<PHYSFS_uint64>(length) >= SIZE_MAX) {
    LoaderSlotClose();
    return nullptr;
  }
  // One spare byte so an empty module still gets a valid buffer.
  char* buffer = static_cast<char*>(malloc(static_cast<size_t>(length) + 1));
  if (buffer == nullptr) {
    LoaderSlotClose();
    *outOfMemory = true;
    return nullptr;
  }
  PHYSFS_sint64 got = PHYSFS_readBytes(g_loaderSlot.handle, buffer, static_cast<PHYSFS_uint64>(length));
  LoaderSlotClose();
  if (got != length) {
    free(buffer);
    return nullptr;
  }
  *size = static_cast<size_t>(length);
  return buffer;
}

}  // namespace

void LoaderSlotReset() {
  g_loaderSlot.handle = nullptr;
  g_loaderSlot.mode = 0;
}

int SearcherRegister(lua_State* L, lua_CFunction searcher, int position) {
  lua_getglobal(L, "package");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    RaiseText(L, "Can't register searcher: package table does not exist.");
  }
  lua_getfield(L, -1, "loaders");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 2);
    RaiseText(L, "Can't register searcher: package.loaders table does not exist.");
  }
  lua_pushcfunction(L, searcher);
  int loaders = lua_gettop(L) - 1;
  int n = static_cast<int>(lua_objlen(L, loaders));

  if (position == -1) {
    position = n + 1;
  } else if (position < 0) {
    position = n + position + 1;
  }
  // Keep the list a sequence: before the first entry or after the last one
  // would leave a hole that require stops at.
  if (position < 1) position = 1;
  if (position > n + 1) position = n + 1;

  for (int i = n; i >= position; --i) {
    lua_rawgeti(L, loaders, i);
    lua_rawseti(L, loaders, i + 1);
  }
  lua_rawseti(L, loaders, position);  // pops the searcher
  lua_pop(L, 2);
  return 0;
}

int ModuleSearcher(lua_State* L) {
  int count = lua_gettop(L);
  if (count < 1) {
    lua_pushfstring(L, "Incorrect number of arguments. Got [%d], expected [%d-%d]", count, 1, 1);
    lua_error(L);
  }
  if (!lua_isstring(L, -1)) {
    lua_pushfstring(L, "%s: Argument %d should be of type %s", "ModuleSearcher", count, "string");
    lua_error(L);
  }
  size_t nameLength = 0;
  const char* name = lua_tolstring(L, -1, &nameLength);
  printf("\n loader \n");
  fflush(stdout);

  char* path = ModulePath(name, nameLength);
  if (path == nullptr) return 0;

  if (!VfsExists(path)) {
    printf("\n loader : %s \n", path);
    fflush(stdout);
    free(path);
    lua_pushvalue(L, -1);
    return 1;
  }
  if (count != 1) {
    free(path);
    lua_pushfstring(L, "Incorrect number of arguments. Got [%d], expected [%d-%d]", count, 1, 1);
    lua_error(L);
  }

  size_t size = 0;
  bool outOfMemory = false;
  char* buffer = ReadModule(path, &size, &outOfMemory);
  if (buffer == nullptr) {
    if (!outOfMemory) {
      printf("\nCould not read file %s\n", path);
      fflush(stdout);
    }
    free(path);
    if (outOfMemory) return 0;
    // Nothing to load: report like a module that is not there.
    lua_pushvalue(L, 1);
    return 1;
  }

  int status = luaL_loadbuffer(L, buffer, size, path);
  free(buffer);
  free(path);
  if (status == LUA_ERRSYNTAX) {
    lua_pushfstring(L, "Syntax error: %s\n", lua_tostring(L, -1));
    lua_error(L);
  }
  if (status == LUA_ERRMEM) {
    lua_pushfstring(L, "Memory allocation error: %s\n", lua_tostring(L, -1));
    lua_error(L);
  }
  return 1;
}
