// The helper library's native interface: plain functions named KAVRO_* with
// unmangled names (exported by name from the Windows build) and the records
// they fill.  Every Lua function of the helper library is a thin binding
// over the native function of the same name.
#pragma once

#include <SDL.h>
#include <cstdint>

// The records (KAVRO_Keyboard, KAVRO_Color, KAVRO_AudioChunk, ...), the
// export macro and KAVRO_GetGlobalEvent.
#include "binding/records.h"

extern "C" {

// ---- Start-up wrappers (keyboard tracker) ----
// SDL_Init / SDL_InitSubSystem, then the key-state array and the mode list.
KAVRO_EXPORT int KAVRO_Init(Uint32 flags);
KAVRO_EXPORT int KAVRO_InitSubSystem(Uint32 flags);

// ---- Keyboard state tracker ----
// Booleans are 0/1.  Keys are SDL key symbols; a key outside the key array,
// or any key before KAVRO_Init / KAVRO_InitSubSystem, answers 0 from both
// KAVRO_IsKeyDown and KAVRO_IsKeyUp.
KAVRO_EXPORT KAVRO_Keyboard KAVRO_CreateKeyboard(void);
KAVRO_EXPORT void KAVRO_GetKeyRepeat(KAVRO_Keyboard* keyboard);
// Reads SDL's array directly (no start-up needed); refreshes the record's
// numkeys when one is given.
KAVRO_EXPORT int KAVRO_GetKeyState(KAVRO_Keyboard* keyboard, int key);
KAVRO_EXPORT int KAVRO_IsKeyDown(int key);
KAVRO_EXPORT int KAVRO_IsKeyUp(int key);
KAVRO_EXPORT int KAVRO_HasKeyPressed(void);
KAVRO_EXPORT int KAVRO_HasKeyReleased(void);

// ---- Small value helpers ----
// 1.0.2 up to 1.6.x; a refused major or 1.0.0/1.0.1 sets SDL's error text.
KAVRO_EXPORT int KAVRO_RequiredVersion(Uint8 major, Uint8 minor, Uint8 patch);
KAVRO_EXPORT SDL_Rect KAVRO_CreateRect(Sint16 x, Sint16 y, Uint16 w, Uint16 h);
KAVRO_EXPORT SDL_Color KAVRO_CreateColor(Uint8 r, Uint8 g, Uint8 b);
KAVRO_EXPORT KAVRO_Color KAVRO_CreateColorRGB(Uint8 r, Uint8 g, Uint8 b);
KAVRO_EXPORT KAVRO_Color KAVRO_CreateColorRGBA(Uint8 r, Uint8 g, Uint8 b, Uint8 a);
// Copied into a 32-byte module buffer; "" when SDL has no driver.
KAVRO_EXPORT const char* KAVRO_VideoDriverName(void);
KAVRO_EXPORT const char* KAVRO_AudioDriverName(void);
// 0 on success, 255 on failure (also for a pointer that is not an open joystick).
KAVRO_EXPORT Uint8 KAVRO_JoystickGetBall(SDL_Joystick* joystick, int ball, SDL_Rect* rect);
// Coordinates into rect->x / rect->y when rect is given; answers the buttons.
KAVRO_EXPORT Uint8 KAVRO_GetMouseState(SDL_Rect* rect);
KAVRO_EXPORT Uint8 KAVRO_GetRelativeMouseState(SDL_Rect* rect);
KAVRO_EXPORT void KAVRO_GetRGB(Uint32 pixel, SDL_PixelFormat* format, KAVRO_Color* color);
KAVRO_EXPORT void KAVRO_GetRGBA(Uint32 pixel, SDL_PixelFormat* format, KAVRO_Color* color);
// The attribute's value; 0 when the query fails or no OpenGL mode is set.
KAVRO_EXPORT int KAVRO_GL_GetAttribute(int attribute);
KAVRO_EXPORT const char* KAVRO_WM_GetCaption(void);
KAVRO_EXPORT const char* KAVRO_WM_GetIconName(void);
KAVRO_EXPORT void KAVRO_WM_SetIcon(SDL_Surface* icon);
// Full-screen mode list.  KAVRO_SetListModes stores a copy of the sizes SDL
// lists and answers their count; when SDL lists nothing, answers "any size"
// ((SDL_Rect**)-1) or video is not started, it answers 0 and the stored list
// stays as it was.  KAVRO_GetModesCount is 1 before any list is stored and 0
// for an empty one; KAVRO_GetModeSize fills rect->w / rect->h of mode
// `index` and answers 0 when there is no such stored mode.
KAVRO_EXPORT int KAVRO_SetListModes(SDL_PixelFormat* format, Uint32 flags);
KAVRO_EXPORT Uint32 KAVRO_GetModesCount(void);
KAVRO_EXPORT int KAVRO_GetModeSize(Uint32 index, SDL_Rect* rect);

}  // extern "C"
