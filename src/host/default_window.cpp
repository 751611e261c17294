#include "host/default_window.h"

#include <cstdio>

#include "host/host.h"

namespace {

// The flags kept when a requested mode has to be retried: SDL_ANYFORMAT and
// the request's full-screen, OpenGL, resizable and frameless bits
// (SDL_OPENGLBLIT only when all of its bits are requested).
Uint32 FallbackFlags(Uint32 flags) {
  Uint32 out = SDL_ANYFORMAT;
  out |= flags & (SDL_FULLSCREEN | SDL_OPENGL | SDL_RESIZABLE | SDL_NOFRAME);
  if ((flags & SDL_OPENGLBLIT) == SDL_OPENGLBLIT) out |= SDL_OPENGLBLIT;
  return out;
}

// A non-zero request replaces the stored size; a zero one keeps it, or sets
// the default when nothing is stored yet.
int KeepOrSet(int32_t& stored, int requested, int fallback) {
  if (requested != 0) {
    stored = requested;
  } else if (stored == 0) {
    stored = fallback;
  }
  return stored;
}

}  // namespace

int VideoInit() {
  RuntimeState& rt = g_runtime;
  if (rt.videoReady) return 1;
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) {
    bool other = SDL_WasInit(SDL_INIT_AUDIO) || SDL_WasInit(SDL_INIT_JOYSTICK) ||
                 SDL_WasInit(SDL_INIT_CDROM) || SDL_WasInit(SDL_INIT_TIMER) ||
                 SDL_WasInit(SDL_INIT_EVERYTHING) || SDL_WasInit(SDL_INIT_NOPARACHUTE) ||
                 SDL_WasInit(SDL_INIT_EVENTTHREAD);
    int result = other ? SDL_InitSubSystem(SDL_INIT_VIDEO) : SDL_Init(SDL_INIT_VIDEO);
    if (result < 0) {
      std::printf("SDL ERROR : %s\n", SDL_GetError());
      std::fflush(stdout);
      return 0;
    }
  }
  if (SDL_WasInit(SDL_INIT_NOPARACHUTE) == 0) SDL_InitSubSystem(SDL_INIT_NOPARACHUTE);
  SDL_WM_SetCaption("KAVRO_app", nullptr);

  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_BUFFER_SIZE, 32);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ACCUM_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 1);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 2);

  rt.modeList = SDL_ListModes(nullptr, kDefaultVideoFlags | SDL_FULLSCREEN);
  if (rt.modeList == nullptr) {
    std::printf("No modes available!\n");
  } else if (rt.modeList == reinterpret_cast<SDL_Rect**>(-1)) {
    std::printf("All resolutions available.\n");
  }
  std::fflush(stdout);
  rt.videoReady = 1;
  return 1;
}

int VideoFindDepth(int width, int height, int depth, Uint32 flags) {
  if (!g_runtime.videoReady && !VideoInit()) return 0;
  int d = depth;
  for (;;) {
    if (SDL_VideoModeOK(width, height, d, flags)) return d;
    switch (d) {
      case 32:
        d = 24;
        break;
      case 24:
        d = 16;
        break;
      case 16:
        d = 15;
        break;
      case 15:
        return 0;
      default:
        d = 32;
        break;
    }
  }
}

SDL_Surface* VideoSetMode(int width, int height, int depth, Uint32 flags) {
  RuntimeState& rt = g_runtime;
  // A full-screen request sizes the full-screen pair, any other the window
  // pair; a zero side keeps the stored value.
  bool fullscreen = (flags & SDL_FULLSCREEN) != 0;
  int w = KeepOrSet(fullscreen ? rt.fullscreenWidth : rt.windowWidth, width, fullscreen ? 640 : 320);
  int h = KeepOrSet(fullscreen ? rt.fullscreenHeight : rt.windowHeight, height, fullscreen ? 480 : 240);
  rt.bitsPerPixel = depth;

  if (flags != 0) {
    rt.videoFlags = flags;
  } else {
    if (rt.videoFlags == 0) rt.videoFlags = kDefaultVideoFlags;
    rt.videoFlags &= ~static_cast<Uint32>(SDL_FULLSCREEN);
  }

  if (VideoFindDepth(w, h, depth, rt.videoFlags) == 0) {
    std::printf("KAVRO : %i bpp mode not available.\n", depth);
    std::fflush(stdout);
    rt.videoFlags = FallbackFlags(flags);
    if (VideoFindDepth(w, h, depth, rt.videoFlags) == 0) {
      std::printf("KAVRO : Video mode not available.\n");
      std::fflush(stdout);
      return nullptr;
    }
  }

  VideoCloseWindow();
  rt.screen = SDL_SetVideoMode(w, h, rt.bitsPerPixel, rt.videoFlags);
  if (rt.screen == nullptr) {
    rt.videoFlags = FallbackFlags(flags);
    rt.screen = SDL_SetVideoMode(w, h, rt.bitsPerPixel, rt.videoFlags);
    if (rt.screen == nullptr) {
      std::printf("SDL ERROR : %s\n", SDL_GetError());
      std::fflush(stdout);
      return nullptr;
    }
  }

  rt.clipRect.x = 0;
  rt.clipRect.y = 0;
  rt.clipRect.w = static_cast<Uint16>(w);
  rt.clipRect.h = static_cast<Uint16>(h);
  SDL_SetClipRect(rt.screen, &rt.clipRect);
  SDL_FillRect(rt.screen, nullptr, rt.fillColour);
  SDL_UpdateRect(rt.screen, 0, 0, 0, 0);
  rt.windowOpen = 1;
  rt.quitRequested = 0;
  return rt.screen;
}

void VideoCloseWindow() {
  RuntimeState& rt = g_runtime;
  if (rt.screen == nullptr) return;
  SDL_FreeSurface(rt.screen);
  rt.screen = nullptr;
  rt.windowOpen = 0;
  rt.quitRequested = 1;
}

int IdleLoop() {
  RuntimeState& rt = g_runtime;
  if (!rt.windowOpen &&
      VideoSetMode(rt.windowWidth, rt.windowHeight, rt.bitsPerPixel, rt.videoFlags) == nullptr) {
    return 1;
  }
  while (!rt.quitRequested) {
    SDL_FillRect(rt.screen, nullptr, rt.fillColour);
    if (!SDL_PollEvent(&rt.event)) continue;
    if (rt.event.type == SDL_QUIT ||
        (rt.event.type == SDL_KEYDOWN &&
         (rt.event.key.keysym.sym == SDLK_ESCAPE || rt.event.key.keysym.sym == SDLK_F10))) {
      rt.quitRequested = 1;
    }
    Flip();
  }
  rt.windowOpen = 0;
  rt.quitRequested = 0;
  return 0;
}

void Flip() {
  if (g_runtime.screen != nullptr) SDL_Flip(g_runtime.screen);
}
