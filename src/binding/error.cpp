#include "binding/error.h"

#include <cstdarg>

#include <lua.hpp>

namespace {

[[noreturn]] __attribute__((noinline)) void RaiseScriptErrorV(lua_State* L, const char* format, va_list args) {
  lua_Debug ar;
  if (!lua_getstack(L, 1, &ar)) {
    // Called directly by the host: the message alone.
    lua_pushvfstring(L, format, args);
    lua_error(L);
  }
  // The buffer keeps the stack small however deep the call stack is.
  luaL_Buffer b;
  luaL_buffinit(L, &b);
  lua_getinfo(L, "Sl", &ar);
  if (ar.currentline > 0) {
    lua_pushfstring(L, "%s:%d: ", ar.short_src, ar.currentline);
    luaL_addvalue(&b);
  }
  lua_pushvfstring(L, format, args);
  luaL_addvalue(&b);
  for (int level = 2; lua_getstack(L, level, &ar); ++level) {
    luaL_addchar(&b, '\n');
    lua_getinfo(L, "Sl", &ar);
    if (ar.currentline > 0) {
      lua_pushfstring(L, "%s:%d ", ar.short_src, ar.currentline);
      luaL_addvalue(&b);
    }
  }
  luaL_pushresult(&b);
  lua_error(L);
  __builtin_unreachable();
}

}  // namespace

void RaiseScriptError(lua_State* L, const char* format, ...) {
  va_list args;
  va_start(args, format);
  RaiseScriptErrorV(L, format, args);
}

void ArgTypeError(lua_State* L, const char* bindingName, int position, const char* typeName) {
  RaiseScriptError(L, "%s: Argument %d should be of type %s", bindingName, position, typeName);
}

void ArgCountError(lua_State* L, const char* bindingName, int received, int expected) {
  RaiseScriptError(L, "%s: Got %d arguments instead of %d", bindingName, received, expected);
}
