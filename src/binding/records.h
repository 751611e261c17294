// Records that boxes carry and that the helper library fills: kavro's own
// structures, plain C layouts over SDL's types.  A leaf: it includes SDL
// and nothing of the program's.
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

// The one event record that scripts reach; alive for the whole process.
KAVRO_EXPORT SDL_Event* KAVRO_GetGlobalEvent(void);

}  // extern "C"

// The head of every host record: a kind, a reference count and the
// function that destroys the record at its last release.
struct RecordHeader {
  int32_t kind;
  int32_t refs;
  void (*destroy)(void* record);
};
