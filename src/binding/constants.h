// The script API's global constants: numbers, strings and enumerations.
#pragma once

#include <cstddef>
#include <cstdint>

struct lua_State;

// The program's version, as printed and as KAVRO_VERSION_STRING.
inline constexpr const char* kKavroVersion = "1.6.1";

struct NumberConstant {
  const char* name;
  double value;
};

struct EnumConstant {
  const char* name;
  int32_t value;
};

// The number constants in registration order.
extern const NumberConstant kNumberConstants[];
extern const size_t kNumberConstantCount;

// The enumeration constants, ended by {nullptr, 0}.
extern const EnumConstant kEnumConstants[];

// Sets every number constant into the table at tableIndex (name, value,
// lua_settable), in table order.
void RegisterNumberConstants(lua_State* L, int tableIndex);

// Sets KAVRO_VERSION_STRING and KAVRO_PATH (the given base directory)
// into the table at tableIndex.
void RegisterStringConstants(lua_State* L, int tableIndex, const char* basePath);

// Sets every enumeration constant into the table on the top of the stack.
void RegisterEnumConstants(lua_State* L);
