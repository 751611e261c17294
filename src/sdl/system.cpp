// System bindings: initialisation, audio device, CD-ROM, processor features,
// error text, joysticks, keyboard state calls, mouse and cursors, shared
// objects, mutexes, semaphores, condition variables, timer, version, OpenGL.
//
// Objects that scripts hold as light userdata or release explicitly are kept
// in live sets: a handle or box the script still has after its object was
// released, or one of another kind, reaches SDL as NULL, never as a stale or
// foreign pointer.
#include <SDL.h>

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "binding/call.h"
#include "binding/registry.h"
#include "helpers/kavro.h"
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

constexpr char kUserdata[] = "userdata";

// Pointers handed to the script and not yet released, with the number of
// times each was handed out (SDL reference-counts joysticks and shared
// objects the same way).
class LiveSet {
 public:
  void Add(const void* p) noexcept {
    if (!p) return;
    try {
      ++refs_[p];
    } catch (...) {
      // Out of memory: left untracked, the object is then refused as unknown.
    }
  }
  bool Has(const void* p) const noexcept { return p && refs_.find(p) != refs_.end(); }
  // Takes one reference back; false for a pointer that is not live.
  bool Drop(const void* p) noexcept {
    auto it = p ? refs_.find(p) : refs_.end();
    if (it == refs_.end()) return false;
    if (--it->second == 0) refs_.erase(it);
    return true;
  }
  void Clear() noexcept { refs_.clear(); }

 private:
  std::unordered_map<const void*, int> refs_;
};

LiveSet gJoysticks, gMutexes, gSemaphores, gConds, gObjects, gDrives, gCursors;
// Cursors that SDL owns (its default cursor) as seen through SDL_GetCursor;
// they die with the video subsystem.
LiveSet gSystemCursors;

template <LiveSet& S>
bool In(const void* p) {
  return S.Has(p);
}
bool KnownCursor(const void* p) { return gCursors.Has(p) || gSystemCursors.Has(p); }

// A handle: any userdata passes; one that is not a live object of the kind
// is handed over as NULL.
template <class H, const char* TypeName, bool (*Known)(const void*)>
struct Live {
  using type = H*;
  static constexpr const char* name = TypeName;
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static H* get(lua_State* L, int idx) {
    void* p = lua_touserdata(L, idx);
    return Known(p) ? static_cast<H*>(p) : nullptr;
  }
};

// A pointer box whose object is handed over only while it is live.
template <class D, bool (*Known)(const void*)>
struct LiveBox : Box<D> {
  static typename D::Type* get(lua_State* L, int idx) {
    typename D::Type* p = Box<D>::get(L, idx);
    return Known(p) ? p : nullptr;
  }
};

using Joystick = Live<SDL_Joystick, kSDL_Joystick, &In<gJoysticks>>;
using Mutex = Live<SDL_mutex, kUserdata, &In<gMutexes>>;
using MutexToDestroy = Live<SDL_mutex, kSDL_mutex, &In<gMutexes>>;
using Sem = Live<SDL_sem, kUserdata, &In<gSemaphores>>;
using SemToDestroy = Live<SDL_sem, kSDL_sem, &In<gSemaphores>>;
using Cond = Live<SDL_cond, kUserdata, &In<gConds>>;
using CondToDestroy = Live<SDL_cond, kSDL_cond, &In<gConds>>;
using SharedObject = Live<void, kUserdata, &In<gObjects>>;
using Drive = LiveBox<box::CD, &In<gDrives>>;
using Cursor = LiveBox<box::Cursor, &KnownCursor>;

// Calls a constructor and records what it made.
template <auto Fn, LiveSet& S>
struct Tracked;
template <class T, class... A, T* (*Fn)(A...), LiveSet& S>
struct Tracked<Fn, S> {
  static T* Call(A... a) {
    T* p = Fn(a...);
    S.Add(p);
    return p;
  }
};

// Releases a live object; anything else is left alone.
template <auto Fn, LiveSet& S>
struct Released;
template <class T, void (*Fn)(T*), LiveSet& S>
struct Released<Fn, S> {
  static void Call(T* p) {
    if (S.Drop(p)) Fn(p);
  }
};

// A drive call on a closed or unknown drive fails instead of reaching SDL,
// which would take NULL for its default drive.
template <auto Fn>
struct OnOpenDrive;
template <class R, class... A, R (*Fn)(SDL_CD*, A...)>
struct OnOpenDrive<Fn> {
  static R Call(SDL_CD* cd, A... a) {
    if (!cd) {
      SDL_SetError("CD-ROM not opened");
      return static_cast<R>(CD_ERROR);
    }
    return Fn(cd, a...);
  }
};

// SDL tests these indexes against the upper end of their tables only and
// then indexes the tables with them.  A negative index is handed over as a
// past-the-end one, which SDL refuses with its own error text and result.
constexpr int kPastEnd = 0x7FFFFFFF;
template <auto Fn>
struct IndexedFromZero;
template <class R, R (*Fn)(int)>
struct IndexedFromZero<Fn> {
  static R Call(int index) { return Fn(index < 0 ? kPastEnd : index); }
};
template <class R, R (*Fn)(SDL_Joystick*, int)>
struct IndexedFromZero<Fn> {
  static R Call(SDL_Joystick* joystick, int index) { return Fn(joystick, index < 0 ? kPastEnd : index); }
};

// SDL indexes the drive's track table with start + count unchecked.
int CDPlayTracks(SDL_CD* cd, int startTrack, int startFrame, int tracks, int frames) {
  if (tracks < 0 || tracks > SDL_MAX_TRACKS) {
    SDL_SetError("Invalid play length");
    return CD_ERROR;
  }
  return OnOpenDrive<&SDL_CDPlayTracks>::Call(cd, startTrack, startFrame, tracks, frames);
}

// Objects that SDL frees itself when a subsystem stops: its joysticks, its
// own cursors, and the cursor in use when video stops (a script's cursor
// included, which must then not be freed a second time).
void ForgetObjectsOf(Uint32 flags, SDL_Cursor* current) {
  if (flags & SDL_INIT_JOYSTICK) gJoysticks.Clear();
  if (flags & SDL_INIT_VIDEO) {
    gSystemCursors.Clear();
    gCursors.Drop(current);
  }
}

SDL_Cursor* CursorInUse() { return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCursor() : nullptr; }

void Quit() {
  Win32RestoreDisplay();
  SDL_Cursor* current = CursorInUse();
  SDL_Quit();
  ForgetObjectsOf(SDL_INIT_EVERYTHING, current);
}

void QuitSubSystem(Uint32 flags) {
  constexpr Uint32 kBesideVideo = SDL_INIT_CDROM | SDL_INIT_JOYSTICK | SDL_INIT_NOPARACHUTE | SDL_INIT_EVENTTHREAD;
  if (flags == SDL_INIT_EVERYTHING || (flags & ~kBesideVideo) == SDL_INIT_VIDEO) Win32RestoreDisplay();
  SDL_Cursor* current = CursorInUse();
  SDL_QuitSubSystem(flags);
  ForgetObjectsOf(flags, current);
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

// How many of `n` bytes the memory can give: a full userdata bounds it by
// its block; a light userdata's extent is the script's word.
Uint32 Fit(const MemRef& m, Uint32 n) { return m.full && m.size < n ? static_cast<Uint32>(m.size) : n; }

void MixAudio(MemRef dst, MemRef src, Uint32 len, int volume) {
  if (!dst.ptr || !src.ptr) return;
  len = Fit(src, Fit(dst, len));
  SDL_MixAudio(static_cast<Uint8*>(dst.ptr), static_cast<const Uint8*>(src.ptr), len, volume);
}

bool VideoUp() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  SDL_SetError("Video subsystem has not been initialized");
  return false;
}

// SDL rounds the width up to a multiple of 8 and copies w/8 bytes per row
// from both masks.
SDL_Cursor* CreateCursor(MemRef data, MemRef mask, int w, int h, int hotX, int hotY) {
  if (!VideoUp()) return nullptr;
  uint64_t bytes = w > 0 && h > 0 ? (uint64_t(w) + 7) / 8 * uint64_t(h) : 0;
  if (!data.ptr || !mask.ptr || (data.full && bytes > data.size) || (mask.full && bytes > mask.size)) {
    SDL_SetError("Cursor data is smaller than its size");
    return nullptr;
  }
  SDL_Cursor* c = SDL_CreateCursor(static_cast<Uint8*>(data.ptr), static_cast<Uint8*>(mask.ptr), w, h, hotX, hotY);
  gCursors.Add(c);
  return c;
}

SDL_Cursor* GetCursor() {
  SDL_Cursor* c = SDL_GetCursor();
  if (c && !gCursors.Has(c)) gSystemCursors.Add(c);
  return c;
}

void* LoadFunction(void* object, const char* name) {
  if (!object) {
    SDL_SetError("Shared object not loaded");
    return nullptr;
  }
  return SDL_LoadFunction(object, name);
}

// SDL waits on the mutex's inner lock without testing the mutex for NULL.
int NoMutex() {
  SDL_SetError("Passed a NULL mutex");
  return -1;
}
int CondWait(SDL_cond* cond, SDL_mutex* mutex) { return mutex ? SDL_CondWait(cond, mutex) : NoMutex(); }
int CondWaitTimeout(SDL_cond* cond, SDL_mutex* mutex, Uint32 ms) {
  return mutex ? SDL_CondWaitTimeout(cond, mutex, ms) : NoMutex();
}

// SDL's OpenGL calls reach into the video device (which exists only while
// video runs) and into GL entry points loaded by an OpenGL video mode.
bool InGLMode(Uint32 flags) {
  SDL_Surface* screen = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetVideoSurface() : nullptr;
  return screen && (screen->flags & flags) == flags;
}

int GLSetAttribute(SDL_GLattr attr, int value) { return VideoUp() ? SDL_GL_SetAttribute(attr, value) : -1; }
void* GLGetProcAddress(const char* name) { return VideoUp() ? SDL_GL_GetProcAddress(name) : nullptr; }
void GLSwapBuffers() {
  if (VideoUp()) SDL_GL_SwapBuffers();
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
    KV_FN(SDL_Init, &KAVRO_Init, U32),
    KV_FN(SDL_InitSubSystem, &KAVRO_InitSubSystem, U32),
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
    KV_FN(SDL_MixAudio, &MixAudio, MemSized, MemSized, U32, Int),
    KV_FN(SDL_LockAudio, &SDL_LockAudio),
    KV_FN(SDL_UnlockAudio, &SDL_UnlockAudio),
    KV_FN(SDL_CloseAudio, &SDL_CloseAudio),

    // CD-ROM
    KV_FN(SDL_CDNumDrives, &SDL_CDNumDrives),
    KV_FNR(SDL_CDName, &IndexedFromZero<&SDL_CDName>::Call, TextOrEmpty, Int),
    KV_FN(SDL_CDOpen, (&Tracked<&IndexedFromZero<&SDL_CDOpen>::Call, gDrives>::Call), Int),
    KV_FN(SDL_CDStatus, &OnOpenDrive<&SDL_CDStatus>::Call, Drive),
    KV_FN(SDL_CDPlay, &OnOpenDrive<&SDL_CDPlay>::Call, Drive, Int, Int),
    KV_FN(SDL_CDPlayTracks, &CDPlayTracks, Drive, Int, Int, Int, Int),
    KV_FN(SDL_CDPause, &OnOpenDrive<&SDL_CDPause>::Call, Drive),
    KV_FN(SDL_CDResume, &OnOpenDrive<&SDL_CDResume>::Call, Drive),
    KV_FN(SDL_CDStop, &OnOpenDrive<&SDL_CDStop>::Call, Drive),
    KV_FN(SDL_CDEject, &OnOpenDrive<&SDL_CDEject>::Call, Drive),
    KV_FN(SDL_CDClose, (&Released<&SDL_CDClose, gDrives>::Call), Drive),

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
    KV_FN(SDL_JoystickOpen, (&Tracked<&SDL_JoystickOpen, gJoysticks>::Call), Int),
    KV_FN(SDL_JoystickOpened, &JoystickOpened, Int),
    KV_FN(SDL_JoystickIndex, &SDL_JoystickIndex, Joystick),
    KV_FN(SDL_JoystickNumAxes, &SDL_JoystickNumAxes, Joystick),
    KV_FN(SDL_JoystickNumBalls, &SDL_JoystickNumBalls, Joystick),
    KV_FN(SDL_JoystickNumHats, &SDL_JoystickNumHats, Joystick),
    KV_FN(SDL_JoystickNumButtons, &SDL_JoystickNumButtons, Joystick),
    KV_FN(SDL_JoystickUpdate, &JoystickUpdate),
    KV_FN(SDL_JoystickEventState, &SDL_JoystickEventState, Int),
    KV_FN(SDL_JoystickGetAxis, &IndexedFromZero<&SDL_JoystickGetAxis>::Call, Joystick, Int),
    KV_FN(SDL_JoystickGetHat, &IndexedFromZero<&SDL_JoystickGetHat>::Call, Joystick, Int),
    KV_FN(SDL_JoystickGetButton, &IndexedFromZero<&SDL_JoystickGetButton>::Call, Joystick, Int),
    KV_FN(SDL_JoystickClose, (&Released<&SDL_JoystickClose, gJoysticks>::Call), Joystick),

    // Keyboard
    KV_FN(SDL_EnableUNICODE, &SDL_EnableUNICODE, Int),
    KV_FN(SDL_EnableKeyRepeat, &SDL_EnableKeyRepeat, Int, Int),
    KV_FN(SDL_GetModState, &SDL_GetModState),
    KV_FN(SDL_SetModState, &SDL_SetModState, Num<SDLMod>),
    KV_FNR(SDL_GetKeyName, &SDL_GetKeyName, TextOrEmpty, Num<SDLKey>),

    // Mouse and cursor
    KV_FN(SDL_WarpMouse, &SDL_WarpMouse, U16, U16),
    KV_FN(SDL_CreateCursor, &CreateCursor, MemSized, MemSized, Int, Int, Int, Int),
    KV_FN(SDL_SetCursor, &SDL_SetCursor, Cursor),
    KV_FN(SDL_GetCursor, &GetCursor),
    KV_FN(SDL_FreeCursor, (&Released<&SDL_FreeCursor, gCursors>::Call), Cursor),
    KV_FN(SDL_ShowCursor, &SDL_ShowCursor, Int),

    // Shared objects
    KV_FN(SDL_LoadObject, (&Tracked<&SDL_LoadObject, gObjects>::Call), Str),
    KV_FN(SDL_LoadFunction, &LoadFunction, SharedObject, Str),
    KV_FN(SDL_UnloadObject, (&Released<&SDL_UnloadObject, gObjects>::Call), SharedObject),

    // Mutexes, semaphores and condition variables
    KV_FN(SDL_CreateMutex, (&Tracked<&SDL_CreateMutex, gMutexes>::Call)),
    KV_FN(SDL_LockMutex, &SDL_mutexP, Mutex),
    KV_FN(SDL_UnlockMutex, &SDL_mutexV, Mutex),
    KV_FN(SDL_DestroyMutex, (&Released<&SDL_DestroyMutex, gMutexes>::Call), MutexToDestroy),
    KV_FN(SDL_CreateSemaphore, (&Tracked<&SDL_CreateSemaphore, gSemaphores>::Call), U32),
    KV_FN(SDL_SemWait, &SDL_SemWait, Sem),
    KV_FN(SDL_SemTryWait, &SDL_SemTryWait, Sem),
    KV_FN(SDL_SemPost, &SDL_SemPost, Sem),
    KV_FN(SDL_SemWaitTimeout, &SDL_SemWaitTimeout, Sem, Int),
    KV_FN(SDL_SemValue, &SDL_SemValue, Sem),
    KV_FN(SDL_DestroySemaphore, (&Released<&SDL_DestroySemaphore, gSemaphores>::Call), SemToDestroy),
    KV_FN(SDL_CreateCond, (&Tracked<&SDL_CreateCond, gConds>::Call)),
    KV_FN(SDL_CondSignal, &SDL_CondSignal, Cond),
    KV_FN(SDL_CondBroadcast, &SDL_CondBroadcast, Cond),
    KV_FN(SDL_CondWait, &CondWait, Cond, Mutex),
    KV_FN(SDL_CondWaitTimeout, &CondWaitTimeout, Cond, Mutex, U32),
    KV_FN(SDL_DestroyCond, (&Released<&SDL_DestroyCond, gConds>::Call), CondToDestroy),

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
