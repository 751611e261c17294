// System bindings: initialisation, audio device, CD-ROM, processor features,
// error text, joysticks, keyboard state calls, mouse and cursors, shared
// objects, mutexes, semaphores, condition variables, timer, version, OpenGL.
//
// Objects scripts hold (drives, joysticks, cursors, shared objects,
// mutexes, semaphores, conditions) are live from the call that made them
// to their release; joysticks die when the joystick subsystem stops, drives
// with the CD-ROM subsystem, cursors with video.
#include <SDL.h>

#include <cstdint>
#include <cstring>

#include "binding/call.h"
#include "binding/guards.h"
#include "binding/registry.h"
#include "helpers/kavro.h"
#include "sdl/video.h"
#include "sdl/win32_display.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#endif

using namespace kv;

namespace {

#ifdef _WIN32
// The system's millisecond counter, wrapping after 2^32.
Uint32 Ticks() { return GetTickCount(); }
#else
Uint32 Ticks() { return SDL_GetTicks(); }
#endif

using Joystick = Handle<SDL_Joystick, kSDL_Joystick, Live::Joystick>;
using Mutex = Handle<SDL_mutex, kUserdataName, Live::Mutex>;
using MutexToDestroy = Handle<SDL_mutex, kSDL_mutex, Live::Mutex>;
using Sem = Handle<SDL_sem, kUserdataName, Live::Sem>;
using SemToDestroy = Handle<SDL_sem, kSDL_sem, Live::Sem>;
using Cond = Handle<SDL_cond, kUserdataName, Live::Cond>;
using CondToDestroy = Handle<SDL_cond, kSDL_cond, Live::Cond>;
using SharedObject = Handle<void, kUserdataName, Live::SharedObject>;
using Drive = Box<box::CD>;
using Cursor = Box<box::Cursor>;

// A drive's track table is memory a light userdata (its `track` field) may
// point into.
void DriveTracks(const void* p, BufferVisitor visit, void* ctx) {
  auto* cd = static_cast<const SDL_CD*>(p);
  visit(ctx, cd->track, sizeof cd->track);
}
[[maybe_unused]] const bool kDescribed = DescribeType(Live::CD, {DriveTracks, nullptr});

// SDL tests these indexes against the upper end of their tables only.
template <auto Fn>
struct IndexedFromZero;
template <class R, R (*Fn)(int)>
struct IndexedFromZero<Fn> {
  static R Call(int index) { return Fn(FromZero(index)); }
};
template <class R, R (*Fn)(SDL_Joystick*, int)>
struct IndexedFromZero<Fn> {
  static R Call(SDL_Joystick* joystick, int index) { return Fn(joystick, FromZero(index)); }
};

// SDL indexes the drive's track table with start + count unchecked.
int CDPlayTracks(SDL_CD* cd, int startTrack, int startFrame, int tracks, int frames) {
  if (tracks < 0 || tracks > SDL_MAX_TRACKS) {
    SDL_SetError("Invalid play length");
    return CD_ERROR;
  }
  return SDL_CDPlayTracks(cd, startTrack, startFrame, tracks, frames);
}

// What dies when subsystems stop (only those running: SDL leaves the
// others alone, video started by SDL_VideoInit alone included).
void Stopping(lua_State* L, Uint32 flags) {
  Uint32 running = SDL_WasInit(flags);
  if (running & SDL_INIT_VIDEO) VideoStopping(L);
  if (running & SDL_INIT_JOYSTICK) KillAll(L, Live::Joystick);
  if (running & SDL_INIT_CDROM) KillAll(L, Live::CD);
}

// Starting video stops video that SDL_VideoInit alone started.
template <int (*Init)(Uint32)>
int Starting(lua_State* L, Uint32 flags) {
  if ((flags & SDL_INIT_VIDEO) && !SDL_WasInit(SDL_INIT_VIDEO) && VideoUp()) VideoStopping(L);
  lua_pushnumber(L, Init(flags));
  return 1;
}

void Quit(lua_State* L) {
  Win32RestoreDisplay();
  Stopping(L, SDL_INIT_EVERYTHING);
  SDL_Quit();
}

void QuitSubSystem(lua_State* L, Uint32 flags) {
  constexpr Uint32 kBesideVideo = SDL_INIT_CDROM | SDL_INIT_JOYSTICK | SDL_INIT_NOPARACHUTE | SDL_INIT_EVENTTHREAD;
  if (flags == SDL_INIT_EVERYTHING || (flags & ~kBesideVideo) == SDL_INIT_VIDEO) Win32RestoreDisplay();
  Stopping(L, flags);
  SDL_QuitSubSystem(flags);
}

// SDL keeps at most 127 bytes of each string argument, and five arguments:
// a longer text goes over in consecutive pieces (up to 635 bytes survive).
void SetError(const char* text) {
  constexpr size_t kPiece = 127;
  size_t len = std::strlen(text);
  const char* piece[5];
  for (size_t i = 0; i < 5; ++i) piece[i] = i * kPiece < len ? text + i * kPiece : "";
  SDL_SetError("%s%s%s%s%s", piece[0], piece[1], piece[2], piece[3], piece[4]);
}

// SDL reads the opened-flag table unchecked, and it exists only while the
// joystick subsystem runs.
int JoystickOpened(int index) {
  if (!SDL_WasInit(SDL_INIT_JOYSTICK) || index < 0 || index >= SDL_NumJoysticks()) return 0;
  return SDL_JoystickOpened(index);
}

void JoystickUpdate() {
  if (SDL_WasInit(SDL_INIT_JOYSTICK)) SDL_JoystickUpdate();
}

// SDL reads (w + 7) / 8 bytes per row of both masks (the row bounds them),
// keeps the size in 16 bits and sizes its save buffers, 8 bytes a pixel,
// in an int.
SDL_Cursor* CreateCursor(Uint8* data, Uint8* mask, int w, int h, int hotX, int hotY) {
  if (!VideoUp()) {
    SDL_SetError("Video subsystem has not been initialized");
    return nullptr;
  }
  if (w > 0xFFF8 || h > 0xFFFF || (int64_t{w} + 7) * h * 8 > INT32_MAX) {
    SDL_SetError("Cursor too large");
    return nullptr;
  }
  return SDL_CreateCursor(data, mask, w, h, hotX, hotY);
}

// SDL's OpenGL calls reach into the video device (which exists only while
// video runs) and into GL entry points loaded by an OpenGL video mode.
bool InGLMode(Uint32 flags) {
  SDL_Surface* screen = VideoUp() ? SDL_GetVideoSurface() : nullptr;
  return screen && (screen->flags & flags) == flags;
}

bool VideoRunning() {
  if (VideoUp()) return true;
  SDL_SetError("Video subsystem has not been initialized");
  return false;
}
int GLSetAttribute(SDL_GLattr attr, int value) { return VideoRunning() ? SDL_GL_SetAttribute(attr, value) : -1; }
void* GLGetProcAddress(const char* name) { return VideoRunning() ? SDL_GL_GetProcAddress(name) : nullptr; }
void GLSwapBuffers() {
  if (VideoRunning()) SDL_GL_SwapBuffers();
}

// The box holds one rectangle: at most one is passed.
void GLUpdateRects(int count, SDL_Rect* rect) {
  if (rect && count > 0 && InGLMode(SDL_OPENGLBLIT)) SDL_GL_UpdateRects(1, rect);
}

void GLLock() {
  if (InGLMode(SDL_OPENGL)) SDL_GL_Lock();
}
void GLUnlock() {
  if (InGLMode(SDL_OPENGL)) SDL_GL_Unlock();
}

}  // namespace

const luaL_Reg kSystemApi[] = {
    // Initialisation and application state
    KV_FN(SDL_Init, &Starting<&KAVRO_Init>, U32),
    KV_FN(SDL_InitSubSystem, &Starting<&KAVRO_InitSubSystem>, U32),
    KV_FN(SDL_QuitSubSystem, &QuitSubSystem, U32),
    KV_FN(SDL_WasInit, &SDL_WasInit, U32),
    KV_FN(SDL_Quit, &Quit),
    KV_FN(SDL_GetAppState, &SDL_GetAppState),

    // Audio device
    KV_FN(SDL_AudioInit, &SDL_AudioInit, Opt<Str>),
    KV_FN(SDL_AudioQuit, &SDL_AudioQuit),
    KV_FN(SDL_OpenAudio, &SDL_OpenAudio, Box<box::AudioSpec>, Opt<Box<box::AudioSpec>>),
    KV_FN(SDL_GetAudioStatus, &SDL_GetAudioStatus),
    KV_FN(SDL_PauseAudio, &SDL_PauseAudio, Int),
    KV_FN(SDL_MixAudio, &SDL_MixAudio, Out<Arg<3>, Uint8*>, In<Arg<3>, const Uint8*>, U32, Int),
    KV_FN(SDL_LockAudio, &SDL_LockAudio),
    KV_FN(SDL_UnlockAudio, &SDL_UnlockAudio),
    KV_FN(SDL_CloseAudio, &SDL_CloseAudio),

    // CD-ROM
    KV_FN(SDL_CDNumDrives, &SDL_CDNumDrives),
    KV_FNR(SDL_CDName, &IndexedFromZero<&SDL_CDName>::Call, TextOrEmpty, Int),
    KV_FN(SDL_CDOpen, &IndexedFromZero<&SDL_CDOpen>::Call, Int),
    KV_FN(SDL_CDStatus, &SDL_CDStatus, Drive),
    KV_FN(SDL_CDPlay, &SDL_CDPlay, Drive, Int, Int),
    KV_FN(SDL_CDPlayTracks, &CDPlayTracks, Drive, Int, Int, Int, Int),
    KV_FN(SDL_CDPause, &SDL_CDPause, Drive),
    KV_FN(SDL_CDResume, &SDL_CDResume, Drive),
    KV_FN(SDL_CDStop, &SDL_CDStop, Drive),
    KV_FN(SDL_CDEject, &SDL_CDEject, Drive),
    KV_FN(SDL_CDClose, &SDL_CDClose, Released<Drive>),

    // Processor features
    KV_FN(SDL_HasRDTSC, &SDL_HasRDTSC),
    KV_FN(SDL_HasMMX, &SDL_HasMMX),
    KV_FN(SDL_HasMMXExt, &SDL_HasMMXExt),
    KV_FN(SDL_Has3DNow, &SDL_Has3DNow),
    KV_FN(SDL_Has3DNowExt, &SDL_Has3DNowExt),
    KV_FN(SDL_HasSSE, &SDL_HasSSE),
    KV_FN(SDL_HasSSE2, &SDL_HasSSE2),
    KV_FN(SDL_HasAltiVec, &SDL_HasAltiVec),

    // Error text
    KV_FNR(SDL_GetError, &SDL_GetError, TextOrEmpty),
    KV_FN(SDL_SetError, &SetError, Str),
    KV_FN(SDL_ClearError, &SDL_ClearError),

    // Joystick
    KV_FN(SDL_NumJoysticks, &SDL_NumJoysticks),
    KV_FNR(SDL_JoystickName, &SDL_JoystickName, TextOrEmpty, Int),
    KV_FN(SDL_JoystickOpen, &SDL_JoystickOpen, Int),
    KV_FN(SDL_JoystickOpened, &JoystickOpened, Int),
    KV_FN(SDL_JoystickIndex, &SDL_JoystickIndex, Joystick),
    KV_FN(SDL_JoystickNumAxes, &SDL_JoystickNumAxes, Joystick),
    KV_FN(SDL_JoystickNumBalls, &SDL_JoystickNumBalls, Joystick),
    KV_FN(SDL_JoystickNumHats, &SDL_JoystickNumHats, Joystick),
    KV_FN(SDL_JoystickNumButtons, &SDL_JoystickNumButtons, Joystick),
    KV_FN(SDL_JoystickUpdate, &JoystickUpdate),
    KV_FN(SDL_JoystickEventState, &SDL_JoystickEventState, Int),
    KV_FNR(SDL_JoystickGetAxis, &IndexedFromZero<&SDL_JoystickGetAxis>::Call, FailsWith<0>, Joystick, Int),
    KV_FN(SDL_JoystickGetHat, &IndexedFromZero<&SDL_JoystickGetHat>::Call, Joystick, Int),
    KV_FN(SDL_JoystickGetButton, &IndexedFromZero<&SDL_JoystickGetButton>::Call, Joystick, Int),
    KV_FN(SDL_JoystickClose, &SDL_JoystickClose, Released<Joystick>),

    // Keyboard
    KV_FN(SDL_EnableUNICODE, &SDL_EnableUNICODE, Int),
    KV_FN(SDL_EnableKeyRepeat, &SDL_EnableKeyRepeat, Int, Int),
    KV_FN(SDL_GetModState, &SDL_GetModState),
    KV_FN(SDL_SetModState, &SDL_SetModState, Num<SDLMod>),
    KV_FNR(SDL_GetKeyName, &SDL_GetKeyName, TextOrEmpty, Num<SDLKey>),

    // Mouse and cursor
    KV_FN(SDL_WarpMouse, &SDL_WarpMouse, U16, U16),
    KV_FN(SDL_CreateCursor, &CreateCursor, In<Times<Eighths<3>, Arg<4>>, Uint8*>,
          In<Times<Eighths<3>, Arg<4>>, Uint8*>, Int, Int, Int, Int),
    KV_FN(SDL_SetCursor, &SDL_SetCursor, Cursor),
    KV_FN(SDL_GetCursor, &SDL_GetCursor),
    KV_FN(SDL_FreeCursor, &SDL_FreeCursor, Released<Cursor>),
    KV_FN(SDL_ShowCursor, &SDL_ShowCursor, Int),

    // Shared objects
    KV_FNR(SDL_LoadObject, &SDL_LoadObject, AsHandle<Live::SharedObject>, Str),
    KV_FN(SDL_LoadFunction, &SDL_LoadFunction, SharedObject, Str),
    KV_FN(SDL_UnloadObject, &SDL_UnloadObject, Released<SharedObject>),

    // Mutexes, semaphores and condition variables
    KV_FN(SDL_CreateMutex, &SDL_CreateMutex),
    KV_FN(SDL_LockMutex, &SDL_mutexP, Mutex),
    KV_FN(SDL_UnlockMutex, &SDL_mutexV, Mutex),
    KV_FN(SDL_DestroyMutex, &SDL_DestroyMutex, Released<MutexToDestroy>),
    KV_FN(SDL_CreateSemaphore, &SDL_CreateSemaphore, U32),
    KV_FN(SDL_SemWait, &SDL_SemWait, Sem),
    KV_FN(SDL_SemTryWait, &SDL_SemTryWait, Sem),
    KV_FN(SDL_SemPost, &SDL_SemPost, Sem),
    // The timeout is an int converted to SDL's Uint32 milliseconds.
    KV_FN(SDL_SemWaitTimeout, &SDL_SemWaitTimeout, Sem, Conv<Int>),
    KV_FN(SDL_SemValue, &SDL_SemValue, Sem),
    KV_FN(SDL_DestroySemaphore, &SDL_DestroySemaphore, Released<SemToDestroy>),
    KV_FN(SDL_CreateCond, &SDL_CreateCond),
    KV_FN(SDL_CondSignal, &SDL_CondSignal, Cond),
    KV_FN(SDL_CondBroadcast, &SDL_CondBroadcast, Cond),
    KV_FN(SDL_CondWait, &SDL_CondWait, Cond, Mutex),
    KV_FN(SDL_CondWaitTimeout, &SDL_CondWaitTimeout, Cond, Mutex, U32),
    KV_FN(SDL_DestroyCond, &SDL_DestroyCond, Released<CondToDestroy>),

    // Timer and version
    KV_FN(SDL_GetTicks, &Ticks),
    KV_FN(SDL_Delay, &SDL_Delay, U32),
    KV_FN(SDL_Linked_Version, &SDL_Linked_Version),

    // OpenGL
    KV_FN(SDL_GL_LoadLibrary, &SDL_GL_LoadLibrary, Str),
    KV_FN(SDL_GL_GetProcAddress, &GLGetProcAddress, Str),
    KV_FN(SDL_GL_SetAttribute, &GLSetAttribute, Num<SDL_GLattr>, Int),
    KV_FN(SDL_GL_SwapBuffers, &GLSwapBuffers),
    KV_FN(SDL_GL_UpdateRects, &GLUpdateRects, Int, Opt<Box<box::Rect>>),
    KV_FN(SDL_GL_Lock, &GLLock),
    KV_FN(SDL_GL_Unlock, &GLUnlock),
    {nullptr, nullptr}};
