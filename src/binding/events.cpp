// Event bindings: the SDL event functions over the one global event record.
#include <SDL.h>

#include "binding/call.h"
#include "binding/registry.h"
#include "binding/records.h"

namespace {

// The record holds a single event: never let SDL read or write more.
int PeepEvents(SDL_Event* event, int numevents, Uint32 action, Uint32 mask) {
  if (numevents > 1) numevents = 1;
  return SDL_PeepEvents(event, numevents, static_cast<SDL_eventaction>(action), mask);
}

// SDL keeps a state only for the types below SDL_NUMEVENTS and indexes its
// table with the type unchecked (0xFF stands for every type).  Any other
// type has no state to read or change: it answers SDL_IGNORE.
Uint8 EventState(Uint8 type, int state) {
  if (type >= SDL_NUMEVENTS && type != 0xFF) return SDL_IGNORE;
  return SDL_EventState(type, state);
}

int QuitRequested() {
  SDL_PumpEvents();
  return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUITMASK);
}

}  // namespace

using namespace kv;

const luaL_Reg kEventApi[] = {
    KV_FN(SDL_PumpEvents, &SDL_PumpEvents),
    KV_FN(SDL_PeepEvents, &PeepEvents, Box<box::Event>, Int, U32, U32),
    KV_FN(SDL_PollEvent, &SDL_PollEvent, Box<box::Event>),
    KV_FN(SDL_WaitEvent, &SDL_WaitEvent, Box<box::Event>),
    KV_FN(SDL_PushEvent, &SDL_PushEvent, Box<box::Event>),
    KV_FN(SDL_EventState, &EventState, U8, Int),
    KV_FN(SDL_QuitRequested, &QuitRequested),
    KV_FN(KAVRO_GetGlobalEvent, &KAVRO_GetGlobalEvent),
    {nullptr, nullptr}};
