// The helper library's native interface: plain functions named KAVRO_* with
// unmangled names (exported by name from the Windows build) and the records
// they fill.  Every Lua function of the helper library is a thin binding
// over the native function of the same name.
#pragma once

#include <SDL.h>
#include <cstdint>

#ifdef _WIN32
#define KAVRO_EXPORT __declspec(dllexport)
#else
#define KAVRO_EXPORT
#endif

extern "C" {

// Key-repeat settings and key count, snapshot by KAVRO_CreateKeyboard.
struct KAVRO_Keyboard {
  int32_t delay;
  int32_t interval;
  int32_t numkeys;
};

// The helper library's colour: four bytes r, g, b, a.
struct KAVRO_Color {
  Uint8 r;
  Uint8 g;
  Uint8 b;
  Uint8 a;
};

// A WAV sound loaded into the chunk player.  The script's copy mirrors the
// player's node; they are tied by `id` (0 marks an empty or freed chunk).
struct KAVRO_AudioChunk {
  SDL_AudioSpec spec;
  Uint8* buffer;
  Uint32 length;
  Uint32 position;
  int32_t id;
  int32_t loop;
  int32_t play;
};

// Out-values of TTF_GlyphMetrics.
struct KAVRO_TTF_GlyphMetrics {
  int32_t minx;
  int32_t maxx;
  int32_t miny;
  int32_t maxy;
  int32_t advance;
};

// Out-values of Mix_QuerySpec.
struct KAVRO_MIX_AudioSpec {
  int32_t frequency;
  int32_t channels;
  Uint16 format;
};

// ---- Events ----
// The one event record that scripts reach; alive for the whole process.
KAVRO_EXPORT SDL_Event* KAVRO_GetGlobalEvent(void);

// ---- Start-up wrappers (keyboard tracker) ----
// SDL_Init / SDL_InitSubSystem, then the key-state array and the mode list.
KAVRO_EXPORT int KAVRO_Init(Uint32 flags);
KAVRO_EXPORT int KAVRO_InitSubSystem(Uint32 flags);

}  // extern "C"
