// The box payload that comes from SDL_gfx.
#pragma once

#include <SDL_framerate.h>

#include "binding/boxes.h"

KV_VALUE_PAYLOAD(FpsManager, FPSmanager)
