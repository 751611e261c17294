// Module state of the helper library's small value functions.
#include "helpers/kavro.h"

namespace {
SDL_Event g_globalEvent;  // zero at start, never freed
}  // namespace

extern "C" SDL_Event* KAVRO_GetGlobalEvent(void) { return &g_globalEvent; }

#include "binding/call.h"
#include "binding/registry.h"

using namespace kv;

const luaL_Reg kValueApi[] = {
    {nullptr, nullptr}};
