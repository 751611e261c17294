// The default window shown when no main script can be loaded, and the
// video-mode negotiation behind it. State lives in g_runtime; messages go
// to standard output only.
#pragma once

#include <SDL.h>

// SDL_DOUBLEBUF | SDL_ANYFORMAT | SDL_RLEACCEL | SDL_HWACCEL | SDL_HWSURFACE
inline constexpr Uint32 kDefaultVideoFlags = 0x50004101u;

// Prepares the video subsystem once; 1 on success, 0 on failure.
int VideoInit();
// A depth SDL accepts on the chain depth, 32, 24, 16, 15 (see the source),
// or 0.
int VideoFindDepth(int width, int height, int depth, Uint32 flags);
// Sets the video mode with depth and flag fall-backs; null on failure.
SDL_Surface* VideoSetMode(int width, int height, int depth, Uint32 flags);
// Gives up the window's surface and asks the idle loop to end.
void VideoCloseWindow();
// Clears the window and polls events until Escape, F10 or a quit event.
// 0 after a normal quit, 1 when the window cannot be opened.
int IdleLoop();
// SDL_Flip of the default window's surface when there is one.
void Flip();
