// Windows only: a full-screen video mode first switches the display to a
// 60 Hz mode of the requested size and depth; the settings in force before
// the first switch are put back when video shuts down (SDL_Quit, or
// SDL_QuitSubSystem for video).  Elsewhere both calls do nothing.
#pragma once

#ifdef _WIN32
// Switches the display to a 60 Hz mode of that size and depth when the
// display offers one and accepts it; otherwise changes nothing.
void Win32PinDisplay60Hz(int width, int height, int bitsPerPixel);
// Restores the settings remembered by the first switch, if any.
void Win32RestoreDisplay();
#else
inline void Win32PinDisplay60Hz(int, int, int) {}
inline void Win32RestoreDisplay() {}
#endif
