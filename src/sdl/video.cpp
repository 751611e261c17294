// Video, surface and window-manager bindings.
//
// Most rows hand their arguments straight to SDL.  The shims exist where
// SDL trusts its caller more than a script can be trusted:
// - several video calls dereference SDL's video device without checking
//   that video is up (NeedVideo answers with the call's failure value
//   instead);
// - update rectangles reach the driver and the shadow-surface copy
//   unclipped, so they are clipped to the surface here;
// - surfaces of negative width or height crash the first fill or blit;
// - SDL_LowerBlit does no clipping at all and crashes on NULL rectangles;
// - a colour-keyed surface blitted onto itself is RLE-encoded mid-blit,
//   which frees the pixels the blit then writes;
// - surfaces of 1 or 4 bits per pixel are addressed a byte per pixel;
// - SDL_SoftStretch and SDL_DisplayYUVOverlay divide by the destination's
//   width and height;
// - palette calls copy outside the palette for a negative first colour or
//   count, and copy a palette onto itself with overlapping memcpy;
// - software YUV overlays draw into their display surface clipped to the
//   screen's size, so the display must be the screen;
// - the dummy driver sizes its screen buffer for whole bytes per pixel.
//
// Lifetimes (see binding/lifetime.h): a surface owns its pixel format, a
// format its palette, a palette its colours; they die together.  The
// screen's format, palette and colours, shadow surface and overlays die at
// every mode change; the screen, the video information and cursors die too
// when video stops.
#include "sdl/video.h"

#include <SDL.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "binding/call.h"
#include "binding/guards.h"
#include "binding/registry.h"
#include "sdl/archive_first.h"
#include "sdl/win32_display.h"

namespace {

using namespace kv;

// ---- Lifetimes of the video objects.

void SurfaceDying(lua_State* L, const void* p) { Kill(L, Live::PixelFormat, static_cast<const SDL_Surface*>(p)->format); }
void FormatDying(lua_State* L, const void* p) {
  Kill(L, Live::Palette, static_cast<const SDL_PixelFormat*>(p)->palette);
}
void PaletteDying(lua_State* L, const void* p) {
  Kill(L, Live::ColorArray, static_cast<const SDL_Palette*>(p)->colors);
}

void SurfacePixels(const void* p, BufferVisitor visit, void* ctx) {
  auto* s = static_cast<const SDL_Surface*>(p);
  if (s->pixels && s->h > 0) visit(ctx, s->pixels, size_t{s->pitch} * size_t(s->h));
}
void PaletteColors(const void* p, BufferVisitor visit, void* ctx) {
  auto* pal = static_cast<const SDL_Palette*>(p);
  if (pal->colors && pal->ncolors > 0) visit(ctx, pal->colors, size_t(pal->ncolors) * sizeof(SDL_Color));
}

[[maybe_unused]] const bool kDescribed = DescribeType(Live::Surface, {SurfacePixels, SurfaceDying}) &&
                                         DescribeType(Live::PixelFormat, {nullptr, FormatDying}) &&
                                         DescribeType(Live::Palette, {PaletteColors, PaletteDying});

// What a mode change frees or re-formats: the overlays (made for the old
// screen's format), the video surface's format (SDL_VideoInfo.vfmt), and
// the public screen: a shadow surface is freed, the video surface itself
// stays with a new format.  When video stops, the screen goes too.
void ScreenChanging(lua_State* L, bool videoStops) {
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (!info) return;
  KillAll(L, Live::Overlay);
  SDL_Surface* screen = SDL_GetVideoSurface();
  if (screen) {
    bool shadow = screen->format != info->vfmt;
    if (shadow || videoStops) {
      Kill(L, Live::Surface, screen);
    } else {
      PutBackMembers(Live::Surface, screen);
      KillReaders(L, Live::Surface, screen);  // its pixels are replaced
      Kill(L, Live::PixelFormat, screen->format);
    }
  }
  Kill(L, Live::PixelFormat, info->vfmt);
  if (videoStops) {
    KillAll(L, Live::VideoInfo);
    KillAll(L, Live::Cursor);
  }
}

// Fn, but only while video is up; otherwise SDL's error is set and the
// call answers `Fail` (nothing for a void function).
template <auto Fn, auto Fail, class F = decltype(Fn)>
struct NeedVideo;
template <auto Fn, auto Fail, class R, class... P>
struct NeedVideo<Fn, Fail, R (*)(P...)> {
  static R call(P... args) {
    if (!VideoUp()) {
      SDL_SetError("Video subsystem has not been initialized");
      if constexpr (std::is_void_v<R>) {
        return;
      } else {
        return static_cast<R>(Fail);
      }
    }
    return Fn(args...);
  }
};

bool DummyDriver() {
  char name[16];
  return SDL_VideoDriverName(name, sizeof name) && std::strcmp(name, "dummy") == 0;
}

// The dummy driver allocates bpp / 8 bytes per pixel while the screen's
// pixel format takes (bpp + 7) / 8: a depth that is not a whole number of
// bytes would overflow the buffer at the first fill.  With that driver
// such depths are rounded up to the next whole byte.
int DriverDepth(int bpp) {
  if (bpp % 8 == 0 || bpp < 8 || bpp > 32 || !DummyDriver()) return bpp;
  return (bpp + 7) / 8 * 8;
}

// The dummy driver computes its buffer size in an int and its pitch in 16
// bits, unchecked: a mode past either would get a buffer smaller than its
// pixels.  It also frees the old buffer before allocating the new one and
// leaves the screen on the freed one when that fails, which its video
// shutdown then frees again: modes stay well below what could fail (256
// MiB).  A size or depth of 0 stands for the current one; SDL refuses
// negative sizes and other depths itself.
bool DriverFits(int width, int height, int bpp) {
  if (width < 0 || height < 0 || !DummyDriver()) return true;
  const SDL_VideoInfo* info = SDL_GetVideoInfo();
  if (width == 0) width = info->current_w;
  if (height == 0) height = info->current_h;
  if (bpp == 0 && info->vfmt) bpp = info->vfmt->BitsPerPixel;
  if (bpp < 8 || bpp > 32) return true;
  int64_t row = int64_t{width} * (bpp / 8);
  return row <= 0xFFFF && row * height <= (int64_t{1} << 28);
}

int VideoModeOK(int width, int height, int bpp, Uint32 flags) {
  bpp = DriverDepth(bpp);
  return DriverFits(width, height, bpp) ? SDL_VideoModeOK(width, height, bpp, flags) : 0;
}

int SetVideoMode(lua_State* L, int width, int height, int bpp, Uint32 flags) {
  // SDL starts video itself when it is down; doing it first tells the
  // driver.
  SDL_Surface* screen = nullptr;
  if (VideoUp() || SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) == 0) {
    bpp = DriverDepth(bpp);
    if (!DriverFits(width, height, bpp)) {
      SDL_SetError("Video mode too large for the dummy driver");
    } else {
      SDL_Surface* old = SDL_GetVideoSurface();
      ScreenChanging(L, false);
      if (flags & SDL_FULLSCREEN) Win32PinDisplay60Hz(width, height, bpp);
      screen = SDL_SetVideoMode(width, height, bpp, flags);
      // A screen SDL no longer shows (a failed change, or a driver that made
      // a new one) is not the script's to use.
      if (old && old != SDL_GetVideoSurface()) Forget(L, Live::Surface, old);
    }
  }
  if (screen) PushLive<box::Surface>(L, screen); else lua_pushnil(L);
  return 1;
}

int VideoInit(lua_State* L, const char* driver, Uint32 flags) {
  // SDL stops running video first.
  ScreenChanging(L, true);
  lua_pushnumber(L, SDL_VideoInit(driver, flags));
  return 1;
}

void VideoQuit(lua_State* L) {
  ScreenChanging(L, true);
  SDL_VideoQuit();
}

// SDL ignores the screen, and for a surface with other references drops
// one; anything else is freed (once its readers are released).
void FreeNow(void* s) { SDL_FreeSurface(static_cast<SDL_Surface*>(s)); }
void FreeSurface(lua_State* L, SDL_Surface* surface) {
  if (surface == SDL_GetVideoSurface()) return;
  if (surface->refcount > 1) {
    SDL_FreeSurface(surface);
    return;
  }
  if (ReleaseNow(L, Live::Surface, surface, &FreeNow)) FreeNow(surface);
}

// The part of (x, y, w, h) inside the surface; false when nothing is left.
bool ClipToSurface(const SDL_Surface* s, int64_t x, int64_t y, int64_t w, int64_t h, SDL_Rect* out) {
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(x + w, s->w), y1 = std::min<int64_t>(y + h, s->h);
  if (x1 <= x0 || y1 <= y0) return false;
  *out = SDL_Rect{static_cast<Sint16>(x0), static_cast<Sint16>(y0), static_cast<Uint16>(x1 - x0),
                  static_cast<Uint16>(y1 - y0)};
  return true;
}

// As in SDL: zero width or height stands for the surface's own, and a
// rectangle reaching past the right or bottom edge updates nothing.  The
// rectangle SDL would then hand on is also clipped at the top and left.
void UpdateRect(SDL_Surface* surface, int x, int y, Uint32 w, Uint32 h) {
  if (w == 0) w = surface->w;
  if (h == 0) h = surface->h;
  if (static_cast<int>(x + w) > surface->w || static_cast<int>(y + h) > surface->h) return;
  SDL_Rect r;
  if (ClipToSurface(surface, static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
                    static_cast<Uint16>(h), &r))
    SDL_UpdateRects(surface, 1, &r);
}

// The box holds one rectangle: a count above 1 still updates only that one.
void UpdateRects(SDL_Surface* surface, int count, SDL_Rect* rect) {
  SDL_Rect r;
  if (count > 0 && rect && ClipToSurface(surface, rect->x, rect->y, rect->w, rect->h, &r)) {
    SDL_UpdateRects(surface, 1, &r);
  }
}

bool Inside(const SDL_Surface* s, const SDL_Rect& r) {
  return r.x >= 0 && r.y >= 0 && r.x + r.w <= s->w && r.y + r.h <= s->h;
}

SDL_Rect Whole(const SDL_Surface* s) {
  return SDL_Rect{0, 0, static_cast<Uint16>(s->w), static_cast<Uint16>(s->h)};
}

SDL_Surface* CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 rmask, Uint32 gmask,
                              Uint32 bmask, Uint32 amask) {
  if (width < 0 || height < 0) {
    SDL_SetError("Negative surface width or height");
    return nullptr;
  }
  return SDL_CreateRGBSurface(flags, width, height, depth, rmask, gmask, bmask, amask);
}

// The pixel memory (bounded to pitch x height by the row) must give each
// row at least the width's pixels; SDL keeps the pitch in 16 bits.
SDL_Surface* CreateRGBSurfaceFrom(void* pixels, int width, int height, int depth, int pitch, Uint32 rmask,
                                  Uint32 gmask, Uint32 bmask, Uint32 amask) {
  int64_t row = (int64_t{width} * depth + 7) / 8;
  if (width < 0 || height < 0) {
    SDL_SetError("Negative surface width or height");
    return nullptr;
  }
  if (depth <= 0 || static_cast<Uint16>(pitch) < row) {
    SDL_SetError("Pixel rows shorter than the width");
    return nullptr;
  }
  return SDL_CreateRGBSurfaceFrom(pixels, width, height, depth, pitch, rmask, gmask, bmask, amask);
}

// A surface that asked for RLE acceleration is encoded at its next blit,
// conversion or unlock, and SDL frees its pixels then: the objects reading
// them (a stream or surface made over them) die first.
void BeforeEncoding(SDL_Surface* s) {
  if ((s->flags & SDL_RLEACCELOK) && IsHeld(Live::Surface, s)) KillReaders(nullptr, Live::Surface, s);
}

// SDL addresses the pixels of a surface of fewer than 8 bits per pixel as
// if each took a byte (a copy between two such surfaces, a conversion, a
// stretch, a source rectangle not starting at x = 0, the alpha blitters
// into one): such surfaces are filled and locked, never blitted.
bool WholeBytes(const SDL_PixelFormat* f) {
  if (f->BitsPerPixel >= 8) return true;
  SDL_SetError("Surfaces of fewer than 8 bits per pixel cannot be blitted");
  return false;
}

// Onto itself, a blit that encodes its source would write through the
// pixels SDL just freed.
template <auto Blit>
int NotOntoItself(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (!WholeBytes(src->format) || !WholeBytes(dst->format)) return -1;
  if (src->flags & (SDL_RLEACCEL | SDL_RLEACCELOK)) {
    if (src == dst) {
      SDL_SetError("An RLE-accelerated surface cannot be blitted onto itself");
      return -1;
    }
    BeforeEncoding(src);
  }
  return Blit(src, srcrect, dst, dstrect);
}

void UnlockSurface(SDL_Surface* s) {
  BeforeEncoding(s);
  SDL_UnlockSurface(s);
}

template <auto Convert, class... A>
SDL_Surface* Converted(SDL_Surface* s, A... a) {
  if (!WholeBytes(s->format)) return nullptr;
  BeforeEncoding(s);
  return Convert(s, a...);
}

SDL_Surface* ConvertSurface(SDL_Surface* s, SDL_PixelFormat* format, Uint32 flags) {
  return WholeBytes(format) ? Converted<&SDL_ConvertSurface>(s, format, flags) : nullptr;
}

// SDL divides by the destination area's width and height, and reads the
// source pixel at its rectangle's corner even when the source area is
// empty.  For an empty destination area, or a corner outside the source,
// the checks SDL makes first still answer -1; otherwise nothing is drawn
// and the answer is 0.
int SoftStretch(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  if (!WholeBytes(src->format) || !WholeBytes(dst->format)) return -1;
  SDL_Rect sr = srcrect ? *srcrect : Whole(src);
  SDL_Rect dr = dstrect ? *dstrect : Whole(dst);
  if (dr.w > 0 && dr.h > 0 && sr.x < src->w && sr.y < src->h) return SDL_SoftStretch(src, srcrect, dst, dstrect);
  if (src->format->BitsPerPixel != dst->format->BitsPerPixel) {
    SDL_SetError("Only works with same format surfaces");
    return -1;
  }
  if (!Inside(src, sr)) {
    SDL_SetError("Invalid source blit rectangle");
    return -1;
  }
  if (!Inside(dst, dr)) {
    SDL_SetError("Invalid destination blit rectangle");
    return -1;
  }
  return 0;
}

// Nil stands for the whole source and for the destination's origin.  Both
// rectangles must lie inside their surfaces; the copied area is the smaller
// of the two sizes.  The script's rectangles are not written.
int LowerBlit(SDL_Surface* src, SDL_Rect* srcrect, SDL_Surface* dst, SDL_Rect* dstrect) {
  SDL_Rect sr = srcrect ? *srcrect : Whole(src);
  SDL_Rect dr = dstrect ? *dstrect : Whole(dst);
  if (!Inside(src, sr) || !Inside(dst, dr)) {
    SDL_SetError("Blit rectangle outside the surface");
    return -1;
  }
  sr.w = dr.w = std::min(sr.w, dr.w);
  sr.h = dr.h = std::min(sr.h, dr.h);
  return SDL_LowerBlit(src, &sr, dst, &dr);
}

// The colour range kept inside the destination palette and inside the
// source array (a live palette's colours, whose length its palette
// knows; at most 256).  A range that had to be cut answers 0, as SDL does
// when not all colours were set.  The colours are copied aside first: SDL
// copies a palette onto itself with an overlapping memcpy.
template <class Set>
int SetPaletteRange(SDL_Surface* surface, const SDL_Color* colors, int first, int count, Set set) {
  SDL_Palette* pal = surface->format ? surface->format->palette : nullptr;
  int size = pal ? std::min(pal->ncolors, 256) : 0;
  if (!pal || first < 0 || count < 0 || first > size) return 0;
  Span source = FindBuffer(colors);
  int available = source.base ? static_cast<int>(std::min<size_t>(source.size / sizeof(SDL_Color), 256)) : 0;
  int fit = std::min({count, size - first, available});
  SDL_Color aside[256];
  std::copy_n(colors, fit, aside);
  int result = set(aside, fit);
  return fit == count ? result : 0;
}

int SetColors(SDL_Surface* surface, SDL_Color* colors, int first, int count) {
  return SetPaletteRange(surface, colors, first, count,
                         [&](SDL_Color* c, int n) { return SDL_SetColors(surface, c, first, n); });
}

int SetPalette(SDL_Surface* surface, int flags, SDL_Color* colors, int first, int count) {
  return SetPaletteRange(surface, colors, first, count,
                         [&](SDL_Color* c, int n) { return SDL_SetPalette(surface, flags, c, first, n); });
}

SDL_Surface* LoadBmp(const char* name) {
  return LoadArchiveFirst(
      name, [](SDL_RWops* stream) { return SDL_LoadBMP_RW(stream, 1); },
      [](const char* file) { return SDL_LoadBMP_RW(SDL_RWFromFile(file, "rb"), 1); });
}

int SaveBmp(SDL_Surface* surface, const char* name) {
  return SDL_SaveBMP_RW(surface, SDL_RWFromFile(name, "wb"), 1);
}

SDL_Overlay* CreateYUVOverlay(int width, int height, Uint32 format, SDL_Surface* display) {
  if (display != SDL_GetVideoSurface()) {
    SDL_SetError("YUV overlays display on the video surface only");
    return nullptr;
  }
  if (width <= 0 || height <= 0 || int64_t{width} * height > (int64_t{1} << 26)) {
    SDL_SetError("Invalid YUV overlay size");
    return nullptr;
  }
  return SDL_CreateYUVOverlay(width, height, format, display);
}

// An empty rectangle shows nothing (SDL answers 0 for 0 x 0 itself).
int DisplayYUVOverlay(SDL_Overlay* overlay, SDL_Rect* dstrect) {
  if (dstrect && (dstrect->w == 0 || dstrect->h == 0)) return 0;
  return SDL_DisplayYUVOverlay(overlay, dstrect);
}

}  // namespace

void VideoStopping(lua_State* L) { ScreenChanging(L, true); }

using Surf = Box<box::Surface>;
using OptRect = Opt<Box<box::Rect>>;
using Rw = Box<box::RWops>;

const luaL_Reg kVideoApi[] = {
    KV_FN(SDL_SetVideoMode, &SetVideoMode, Int, Int, Int, U32),
    KV_FN(SDL_VideoModeOK, (&NeedVideo<&VideoModeOK, 0>::call), Int, Int, Int, U32),
    KV_FN(SDL_GetVideoInfo, &SDL_GetVideoInfo),
    KV_FN(SDL_GetVideoSurface, &SDL_GetVideoSurface),
    KV_FN(SDL_VideoInit, &VideoInit, Opt<Str>, U32),
    KV_FN(SDL_VideoQuit, &VideoQuit),
    KV_FN(SDL_Flip, (&NeedVideo<&SDL_Flip, -1>::call), Surf),
    KV_FN(SDL_UpdateRect, (&NeedVideo<&UpdateRect, 0>::call), Surf, Int, Int, U32, U32),
    KV_FN(SDL_UpdateRects, (&NeedVideo<&UpdateRects, 0>::call), Surf, Int, OptRect),
    KV_FN(SDL_SetGamma, (&NeedVideo<&SDL_SetGamma, -1>::call), F32, F32, F32),
    KV_FNR(SDL_SetColors, &SetColors, FailsWith<0>, Surf, Box<box::ColorArray>, Int, Int),
    KV_FNR(SDL_SetPalette, &SetPalette, FailsWith<0>, Surf, Int, Box<box::ColorArray>, Int, Int),
    KV_FN(SDL_MapRGB, &SDL_MapRGB, Box<box::PixelFormat>, U8, U8, U8),
    KV_FN(SDL_MapRGBA, &SDL_MapRGBA, Box<box::PixelFormat>, U8, U8, U8, U8),
    KV_FN(SDL_CreateRGBSurface, &CreateRGBSurface, U32, Int, Int, Int, U32, U32, U32, U32),
    KV_FN(SDL_AllocSurface, &CreateRGBSurface, U32, Int, Int, Int, U32, U32, U32, U32),
    KV_FNR(SDL_CreateRGBSurfaceFrom, &CreateRGBSurfaceFrom, Reads<1>, Out<Times<U16Arg<5>, Arg<3>>>, Int, Int,
           Int, Int, U32, U32, U32, U32),
    KV_FN(SDL_FreeSurface, &FreeSurface, Surf),
    KV_FN(SDL_LockSurface, &SDL_LockSurface, Surf),
    KV_FN(SDL_UnlockSurface, &UnlockSurface, Surf),
    KV_FN(SDL_LoadBMP, &LoadBmp, Str),
    KV_FN(SDL_LoadBMP_RW, &SDL_LoadBMP_RW, Rw, FreeSrc<1>),
    KV_FN(SDL_SaveBMP, &SaveBmp, Surf, Str),
    KV_FN(SDL_SaveBMP_RW, &SDL_SaveBMP_RW, Surf, Rw, FreeSrc<2>),
    KV_FN(SDL_SetColorKey, &SDL_SetColorKey, Surf, U32, U32),
    KV_FN(SDL_SetAlpha, &SDL_SetAlpha, Surf, U32, U8),
    KV_FN(SDL_SetClipRect, &SDL_SetClipRect, Surf, OptRect),
    KV_FN(SDL_GetClipRect, &SDL_GetClipRect, Surf, Box<box::Rect>),
    KV_FN(SDL_ConvertSurface, &ConvertSurface, Surf, Box<box::PixelFormat>, U32),
    KV_FN(SDL_BlitSurface, &NotOntoItself<&SDL_UpperBlit>, Surf, OptRect, Surf, OptRect),
    KV_FN(SDL_UpperBlit, &NotOntoItself<&SDL_UpperBlit>, Surf, OptRect, Surf, OptRect),
    KV_FN(SDL_LowerBlit, &NotOntoItself<&LowerBlit>, Surf, OptRect, Surf, OptRect),
    KV_FN(SDL_SoftStretch, &SoftStretch, Surf, OptRect, Surf, OptRect),
    KV_FN(SDL_FillRect, &SDL_FillRect, Surf, OptRect, U32),
    KV_FN(SDL_DisplayFormat, (&NeedVideo<&Converted<&SDL_DisplayFormat>, nullptr>::call), Surf),
    KV_FN(SDL_DisplayFormatAlpha, (&NeedVideo<&Converted<&SDL_DisplayFormatAlpha>, nullptr>::call), Surf),
    KV_FN(SDL_CreateYUVOverlay, (&NeedVideo<&CreateYUVOverlay, nullptr>::call), Int, Int, U32, Surf),
    KV_FN(SDL_LockYUVOverlay, &SDL_LockYUVOverlay, Box<box::Overlay>),
    KV_FN(SDL_UnlockYUVOverlay, &SDL_UnlockYUVOverlay, Box<box::Overlay>),
    KV_FN(SDL_DisplayYUVOverlay, (&NeedVideo<&DisplayYUVOverlay, -1>::call), Box<box::Overlay>, OptRect),
    KV_FN(SDL_FreeYUVOverlay, &SDL_FreeYUVOverlay, Released<Box<box::Overlay>>),
    KV_FN(SDL_WM_SetCaption, &SDL_WM_SetCaption, Opt<Str>, Opt<Str>),
    KV_FN(SDL_WM_IconifyWindow, (&NeedVideo<&SDL_WM_IconifyWindow, 0>::call)),
    KV_FNR(SDL_WM_ToggleFullScreen, (&NeedVideo<&SDL_WM_ToggleFullScreen, 0>::call), FailsWith<0>, Surf),
    KV_FN(SDL_WM_GrabInput, &SDL_WM_GrabInput, Num<SDL_GrabMode>),
    {nullptr, nullptr}};
