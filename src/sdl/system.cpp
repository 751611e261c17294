#include "binding/call.h"
#include "binding/registry.h"

using namespace kv;

const luaL_Reg kSystemApi[] = {
    {nullptr, nullptr}};
