// In-process Lua fixture: a fresh state with the standard libraries and the
// whole script API, and helpers to run snippets and read results back.
#pragma once

#include <gtest/gtest.h>
#include <lua.hpp>

#include <string>

class LuaTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs a chunk named "=test"; returns "" on success, else the error text.
  std::string Run(const std::string& code);
  // Runs a chunk and fails the test on error.
  void Exec(const std::string& code);
  // Evaluates "return <expr>" and returns the first result as a number / string / boolean.
  double Num(const std::string& expr);
  std::string Str(const std::string& expr);
  bool Bool(const std::string& expr);
  // The Lua type name of "return <expr>".
  std::string Type(const std::string& expr);

  lua_State* L = nullptr;
};
