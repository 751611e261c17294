// What the video family does for the others.
#pragma once

struct lua_State;

// Video is about to stop (SDL_Quit, SDL_QuitSubSystem, SDL_VideoQuit,
// SDL_VideoInit while video runs): the screen and every object that lives
// with the video device die.
void VideoStopping(lua_State* L);
