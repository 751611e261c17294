// The box payload that comes from SDL_mixer.
#pragma once

#include <SDL_mixer.h>

#include "binding/boxes.h"

KV_POINTER_PAYLOAD(MixChunk, Mix_Chunk)
