#include "support/lua_state.h"

#include "binding/api.h"
#include "host/script_host.h"

void LuaTest::SetUp() {
  L = luaL_newstate();
  ASSERT_NE(L, nullptr);
  luaL_openlibs(L);
  SetRegistrationHook(HostRegistrationHook());
  ASSERT_EQ(lua_cpcall(L, [](lua_State* s) { return RegisterApi(s); }, nullptr), 0);
}

void LuaTest::TearDown() {
  if (L) lua_close(L);
  L = nullptr;
}

std::string LuaTest::Run(const std::string& code) {
  int top = lua_gettop(L);
  std::string err;
  if (luaL_loadbuffer(L, code.data(), code.size(), "=test") != 0 || lua_pcall(L, 0, 0, 0) != 0) {
    const char* s = lua_tostring(L, -1);
    err = s ? s : "(non-string error)";
    if (err.empty()) err = "(empty error)";
  }
  lua_settop(L, top);
  return err;
}

void LuaTest::Exec(const std::string& code) {
  std::string err = Run(code);
  ASSERT_EQ(err, "") << "while running:\n" << code;
}

namespace {
bool Eval(lua_State* L, const std::string& expr) {
  std::string code = "return " + expr;
  if (luaL_loadbuffer(L, code.data(), code.size(), "=test") != 0 || lua_pcall(L, 0, 1, 0) != 0) {
    ADD_FAILURE() << "evaluating " << expr << ": " << lua_tostring(L, -1);
    lua_pop(L, 1);
    return false;
  }
  return true;
}
}  // namespace

double LuaTest::Num(const std::string& expr) {
  if (!Eval(L, expr)) return 0;
  EXPECT_EQ(lua_type(L, -1), LUA_TNUMBER) << expr;
  double v = lua_tonumber(L, -1);
  lua_pop(L, 1);
  return v;
}

std::string LuaTest::Str(const std::string& expr) {
  if (!Eval(L, expr)) return "";
  const char* s = lua_tostring(L, -1);
  std::string v = s ? s : "(nil)";
  lua_pop(L, 1);
  return v;
}

bool LuaTest::Bool(const std::string& expr) {
  if (!Eval(L, expr)) return false;
  EXPECT_EQ(lua_type(L, -1), LUA_TBOOLEAN) << expr;
  bool v = lua_toboolean(L, -1);
  lua_pop(L, 1);
  return v;
}

std::string LuaTest::Type(const std::string& expr) {
  if (!Eval(L, expr)) return "";
  std::string v = luaL_typename(L, -1);
  lua_pop(L, 1);
  return v;
}
