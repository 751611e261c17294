// Memory arguments bounded by their call's sizes, and the stream release of
// refused free-source calls.
#include <SDL.h>

#include <cinttypes>
#include <cstdio>

#include "binding/call.h"

namespace kv {

namespace {

// A block whose bytes kavro or a library trusts: a sealed box (it holds a
// callback, an owned buffer, a host record) or a Lua file (its FILE*).
bool Sealed(lua_State* L, int idx) {
  void* block = lua_touserdata(L, idx);
  size_t size = lua_objlen(L, idx);
  if (size >= sizeof(int32_t)) {
    int32_t tag = static_cast<int32_t*>(block)[0];
    for (const BoxTypeInfo& t : kBoxTypes)
      if (t.sealed && t.tag == tag && t.blockSize == size) return true;
  }
  if (!lua_getmetatable(L, idx)) return false;
  lua_getfield(L, LUA_REGISTRYINDEX, LUA_FILEHANDLE);
  bool file = lua_rawequal(L, -1, -2) != 0;
  lua_pop(L, 2);
  return file;
}

bool TooSmall(size_t have, int64_t needed) {
  if (static_cast<uint64_t>(needed) <= have) return false;
  char text[96];
  std::snprintf(text, sizeof text, "Memory of %zu bytes is smaller than %" PRId64 " bytes", have, needed);
  SDL_SetError("%s", text);
  return true;
}

}  // namespace

bool AdmitMemory(lua_State* L, int idx, int64_t needed, Access access) {
  if (needed < 0) {
    SDL_SetError("Negative size");
    return false;
  }
  if (lua_type(L, idx) == LUA_TUSERDATA) {
    if (access == Access::Write && Sealed(L, idx)) {
      SDL_SetError("Memory holds pointers and cannot be written");
      return false;
    }
    return !TooSmall(lua_objlen(L, idx), needed);
  }
  Span span = FindBuffer(lua_touserdata(L, idx));
  if (!span.base) {
    SDL_SetError("Memory is not a buffer kavro knows");
    return false;
  }
  return !TooSmall(span.size, needed);
}

void CloseStream(void* rw) { SDL_RWclose(static_cast<SDL_RWops*>(rw)); }

}  // namespace kv
