// Keyboard state tracker: remembers where SDL's key-state array is and how
// long it is, so that scripts can ask about held keys without walking
// events.  The array belongs to SDL, which refreshes it whenever events are
// pumped.
#include "helpers/kavro.h"
#include "helpers/modes.h"

namespace {
int g_keyCount = 0;
Uint8* g_keys = nullptr;

// After SDL_Init / SDL_InitSubSystem, whatever they returned: the key array
// once per process, and the full-screen mode list while the stored last
// mode index is 0.
int AfterInit(int result) {
  if (!g_keys) {
    int count = 0;
    Uint8* keys = SDL_GetKeyState(&count);
    if (keys && count > 0) {
      g_keys = keys;
      g_keyCount = count;
    }
  }
  if (!kavro::ModeListTaken()) KAVRO_SetListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
  return result;
}

// Entry `key` of the tracked array; null outside it or before start-up.
const Uint8* TrackedEntry(int key) {
  if (!g_keys || key < 0 || key >= g_keyCount) return nullptr;
  return &g_keys[key];
}
}  // namespace

extern "C" {

int KAVRO_Init(Uint32 flags) { return AfterInit(SDL_Init(flags)); }

int KAVRO_InitSubSystem(Uint32 flags) { return AfterInit(SDL_InitSubSystem(flags)); }

KAVRO_Keyboard KAVRO_CreateKeyboard(void) {
  KAVRO_Keyboard keyboard{0, 0, 0};
  SDL_GetKeyRepeat(&keyboard.delay, &keyboard.interval);
  SDL_GetKeyState(&keyboard.numkeys);
  return keyboard;
}

void KAVRO_GetKeyRepeat(KAVRO_Keyboard* keyboard) {
  if (keyboard) SDL_GetKeyRepeat(&keyboard->delay, &keyboard->interval);
}

int KAVRO_GetKeyState(KAVRO_Keyboard* keyboard, int key) {
  int count = 0;
  const Uint8* keys = SDL_GetKeyState(&count);
  if (keyboard) keyboard->numkeys = count;
  return keys && key >= 0 && key < count && keys[key] != 0;
}

int KAVRO_IsKeyDown(int key) {
  const Uint8* entry = TrackedEntry(key);
  return entry && *entry != 0;
}

int KAVRO_IsKeyUp(int key) {
  const Uint8* entry = TrackedEntry(key);
  return entry && *entry == 0;
}

int KAVRO_HasKeyPressed(void) {
  if (!g_keys) return 0;
  for (int i = g_keyCount - 1; i >= 0; --i) {
    if (g_keys[i] != 0) return 1;
  }
  return 0;
}

int KAVRO_HasKeyReleased(void) { return !KAVRO_HasKeyPressed(); }

}  // extern "C"

#include "binding/call.h"
#include "binding/registry.h"

using namespace kv;

const luaL_Reg kKeyboardApi[] = {
    KV_FNR(KAVRO_HasKeyReleased, &KAVRO_HasKeyReleased, AsBool),
    KV_FNR(KAVRO_HasKeyPressed, &KAVRO_HasKeyPressed, AsBool),
    KV_FNR(KAVRO_IsKeyUp, &KAVRO_IsKeyUp, AsBool, Int),
    KV_FNR(KAVRO_IsKeyDown, &KAVRO_IsKeyDown, AsBool, Int),
    KV_FNR(KAVRO_GetKeyState, &KAVRO_GetKeyState, AsBool, Opt<Box<box::Keyboard>>, Int),
    KV_FN(KAVRO_GetKeyRepeat, &KAVRO_GetKeyRepeat, Box<box::Keyboard>),
    KV_FN(KAVRO_CreateKeyboard, &KAVRO_CreateKeyboard),
    {nullptr, nullptr}};
