// The helper library's small value functions: constructors of rectangles and
// colours, colour reads by pixel format, mouse and joystick-ball state into a
// rectangle, driver names, window caption and icon, one OpenGL attribute, the
// list of full-screen video modes and the version check.
#include <cstdlib>

#include "binding/guards.h"
#include "binding/lifetime.h"
#include "helpers/kavro.h"
#include "helpers/modes.h"

namespace {
SDL_Event g_globalEvent;  // zero at start, never freed

// The full-screen mode sizes last listed by SDL.  SDL's own array belongs to
// the video driver and is freed by SDL_Quit, so the sizes are copied here.
// g_lastMode is the number of entries - 1; an empty list stores 0xFFFFFFFF
// and 0 is also the value before any list was taken.
SDL_Rect* g_modes = nullptr;
Uint32 g_lastMode = 0;

char g_videoDriver[32];
char g_audioDriver[32];

// X11's attribute query reaches GL entry points and a visual that exist only
// once an OpenGL mode has been set; other drivers without GL answer nothing.
bool InOpenGLMode() {
  const SDL_Surface* screen = kv::VideoUp() ? SDL_GetVideoSurface() : nullptr;
  return screen && (screen->flags & SDL_OPENGL);
}

const char* OrEmpty(const char* s) { return s ? s : ""; }

// The driver name copied into `buf` (always terminated), or "".
const char* DriverName(char* (*query)(char*, int), char (&buf)[32]) {
  buf[0] = '\0';
  const char* name = query(buf, int(sizeof buf));
  buf[sizeof buf - 1] = '\0';
  return name ? buf : "";
}

// A mouse query whose two coordinates go to the rectangle's x and y (when
// one is given); answers the button mask.
Uint8 MouseInto(Uint8 (*query)(int*, int*), SDL_Rect* rect) {
  int x = 0;
  int y = 0;
  Uint8 buttons = query(&x, &y);
  if (rect) {
    rect->x = Sint16(x);
    rect->y = Sint16(y);
  }
  return buttons;
}

// SDL reads a palettized pixel as an index into the palette without a
// bound; false for an index the palette does not have.
bool InPalette(Uint32 pixel, const SDL_PixelFormat* format) {
  const SDL_Palette* palette = format->palette;
  return !palette || (palette->colors && pixel < Uint32(palette->ncolors > 0 ? palette->ncolors : 0));
}

}  // namespace

namespace kavro {
bool ModeListTaken() { return g_lastMode != 0; }
}  // namespace kavro

extern "C" {

SDL_Event* KAVRO_GetGlobalEvent(void) { return &g_globalEvent; }

int KAVRO_RequiredVersion(Uint8 major, Uint8 minor, Uint8 patch) {
  if (major != 1 || (minor == 0 && patch <= 1)) {
    SDL_SetError("This version is not supported");
    return 0;
  }
  return minor <= 6 ? 1 : 0;
}

SDL_Rect KAVRO_CreateRect(Sint16 x, Sint16 y, Uint16 w, Uint16 h) { return SDL_Rect{x, y, w, h}; }

SDL_Color KAVRO_CreateColor(Uint8 r, Uint8 g, Uint8 b) { return SDL_Color{r, g, b, 0}; }

KAVRO_Color KAVRO_CreateColorRGB(Uint8 r, Uint8 g, Uint8 b) { return KAVRO_Color{r, g, b, 0}; }

KAVRO_Color KAVRO_CreateColorRGBA(Uint8 r, Uint8 g, Uint8 b, Uint8 a) { return KAVRO_Color{r, g, b, a}; }

const char* KAVRO_VideoDriverName(void) { return DriverName(&SDL_VideoDriverName, g_videoDriver); }

const char* KAVRO_AudioDriverName(void) { return DriverName(&SDL_AudioDriverName, g_audioDriver); }

Uint8 KAVRO_JoystickGetBall(SDL_Joystick* joystick, int ball, SDL_Rect* rect) {
  if (!kv::IsLive(kv::Live::Joystick, joystick)) return 255;
  int dx = 0;
  int dy = 0;
  int result = SDL_JoystickGetBall(joystick, kv::FromZero(ball), &dx, &dy);
  if (rect) {
    rect->x = Sint16(dx);
    rect->y = Sint16(dy);
  }
  return Uint8(result);
}

Uint8 KAVRO_GetMouseState(SDL_Rect* rect) { return MouseInto(&SDL_GetMouseState, rect); }

Uint8 KAVRO_GetRelativeMouseState(SDL_Rect* rect) { return MouseInto(&SDL_GetRelativeMouseState, rect); }

void KAVRO_GetRGB(Uint32 pixel, SDL_PixelFormat* format, KAVRO_Color* color) {
  if (!format || !color) return;
  if (InPalette(pixel, format)) {
    SDL_GetRGB(pixel, format, &color->r, &color->g, &color->b);
  } else {
    color->r = color->g = color->b = 0;
  }
}

void KAVRO_GetRGBA(Uint32 pixel, SDL_PixelFormat* format, KAVRO_Color* color) {
  if (!format || !color) return;
  if (InPalette(pixel, format)) {
    SDL_GetRGBA(pixel, format, &color->r, &color->g, &color->b, &color->a);
  } else {
    color->r = color->g = color->b = 0;
    color->a = SDL_ALPHA_OPAQUE;
  }
}

int KAVRO_GL_GetAttribute(int attribute) {
  int value = 0;
  if (InOpenGLMode()) SDL_GL_GetAttribute(static_cast<SDL_GLattr>(attribute), &value);
  return value;
}

const char* KAVRO_WM_GetCaption(void) {
  char* title = nullptr;
  SDL_WM_GetCaption(&title, nullptr);
  return OrEmpty(title);
}

const char* KAVRO_WM_GetIconName(void) {
  char* icon = nullptr;
  SDL_WM_GetCaption(nullptr, &icon);
  return OrEmpty(icon);
}

void KAVRO_WM_SetIcon(SDL_Surface* icon) {
  if (icon && kv::VideoUp()) SDL_WM_SetIcon(icon, nullptr);
}

int KAVRO_SetListModes(SDL_PixelFormat* format, Uint32 flags) {
  if (!kv::VideoUp()) return 0;
  SDL_Rect** modes = SDL_ListModes(format, flags);
  // Null: no mode fits.  (SDL_Rect**)-1: any size fits, which is not a list.
  if (!modes || modes == reinterpret_cast<SDL_Rect**>(-1)) return 0;
  Uint32 n = 0;
  while (modes[n]) ++n;
  SDL_Rect* copy = nullptr;
  if (n > 0) {
    copy = static_cast<SDL_Rect*>(std::malloc(n * sizeof(SDL_Rect)));
    if (!copy) return 0;
    for (Uint32 i = 0; i < n; ++i) copy[i] = *modes[i];
  }
  std::free(g_modes);
  g_modes = copy;
  g_lastMode = n - 1;  // 0xFFFFFFFF for an empty list
  return int(n);
}

Uint32 KAVRO_GetModesCount(void) { return g_lastMode + 1; }

int KAVRO_GetModeSize(Uint32 index, SDL_Rect* rect) {
  if (!g_modes || index > g_lastMode) return 0;
  if (rect) {
    rect->w = g_modes[index].w;
    rect->h = g_modes[index].h;
  }
  return 1;
}

}  // extern "C"

#include "binding/call.h"
#include "binding/registry.h"

using namespace kv;

const luaL_Reg kValueApi[] = {
    KV_FNR(KAVRO_RequiredVersion, &KAVRO_RequiredVersion, AsBool, U8, U8, U8),
    KV_FN(KAVRO_CreateRect, &KAVRO_CreateRect, S16, S16, U16, U16),
    KV_FN(KAVRO_CreateColor, &KAVRO_CreateColor, U8, U8, U8),
    KV_FN(KAVRO_CreateColorRGB, &KAVRO_CreateColorRGB, U8, U8, U8),
    KV_FN(KAVRO_CreateColorRGBA, &KAVRO_CreateColorRGBA, U8, U8, U8, U8),
    KV_FN(KAVRO_VideoDriverName, &KAVRO_VideoDriverName),
    KV_FN(KAVRO_AudioDriverName, &KAVRO_AudioDriverName),
    KV_FNR(KAVRO_JoystickGetBall, &KAVRO_JoystickGetBall, FailsWith<255>,
           Handle<SDL_Joystick, kUserdataName, Live::Joystick>, Int, Box<box::Rect>),
    KV_FN(KAVRO_GetMouseState, &KAVRO_GetMouseState, Opt<Box<box::Rect>>),
    KV_FN(KAVRO_GetRelativeMouseState, &KAVRO_GetRelativeMouseState, Opt<Box<box::Rect>>),
    KV_FN(KAVRO_GetRGB, &KAVRO_GetRGB, U32, Box<box::PixelFormat>, Box<box::KColor>),
    KV_FN(KAVRO_GetRGBA, &KAVRO_GetRGBA, U32, Box<box::PixelFormat>, Box<box::KColor>),
    KV_FN(KAVRO_GL_GetAttribute, &KAVRO_GL_GetAttribute, Int),
    KV_FN(KAVRO_WM_GetCaption, &KAVRO_WM_GetCaption),
    KV_FN(KAVRO_WM_GetIconName, &KAVRO_WM_GetIconName),
    KV_FN(KAVRO_WM_SetIcon, &KAVRO_WM_SetIcon, Box<box::Surface>),
    KV_FNR(KAVRO_SetListModes, &KAVRO_SetListModes, FailsWith<0>, Opt<Box<box::PixelFormat>>, U32),
    KV_FN(KAVRO_GetModesCount, &KAVRO_GetModesCount),
    KV_FNR(KAVRO_GetModeSize, &KAVRO_GetModeSize, AsBool, U32, Opt<Box<box::Rect>>),
    {nullptr, nullptr}};
