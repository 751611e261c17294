#include "binding/call.h"
#include "binding/registry.h"
#include "helpers/kavro.h"

extern "C" int KAVRO_Init(Uint32 flags) { return SDL_Init(flags); }
extern "C" int KAVRO_InitSubSystem(Uint32 flags) { return SDL_InitSubSystem(flags); }

using namespace kv;

const luaL_Reg kKeyboardApi[] = {
    {nullptr, nullptr}};
