// Small tests that several families make before calling SDL.
#pragma once

#include <SDL.h>

namespace kv {

// True while SDL's video device exists (after SDL_VideoInit, or SDL_Init
// with video, until SDL_VideoQuit): many video calls dereference the
// device without checking.
inline bool VideoUp() { return SDL_GetVideoInfo() != nullptr; }

// SDL tests some indexes against the upper end of their tables only and
// then indexes the tables with them.  A negative index is handed over as
// this past-the-end one, which SDL refuses with its own error text.
inline constexpr int kPastEnd = 0x7FFFFFFF;
inline int FromZero(int index) { return index < 0 ? kPastEnd : index; }

}  // namespace kv
