// Script error reporting: messages that carry the script location and the
// whole call stack, raised as Lua errors.
#pragma once

struct lua_State;

// Builds "<where>: <message>" followed by one "\n<where> " piece per outer
// call level and raises it.  Never returns.
[[noreturn]] void RaiseScriptError(lua_State* L, const char* format, ...);
[[noreturn]] void ArgTypeError(lua_State* L, const char* bindingName, int position, const char* typeName);
[[noreturn]] void ArgCountError(lua_State* L, const char* bindingName, int received, int expected);
