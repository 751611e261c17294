// Object lifetimes: which library objects a script may still hand back.
//
// Every library object a script holds, as a pointer box or as a handle, is
// one of the types of KAVRO_LIVE_TYPES.  An object is live from the moment
// a binding hands it out (the result push tracks it) until a release
// binding gives it back, a call consumes it, or the library frees it on its
// own (a subsystem stops, a video mode replaces the screen).  Liveness is
// kept by address and type, not per box: every box of a live object is
// live, and a box or handle whose object is not live never reaches the
// library (see Live kinds in kinds.h).
//
// Beside liveness an object may have
// - anchors: Lua values kept from collection while the object lives (the
//   script memory a stream or surface reads, the io file under a stream);
// - holds: other objects it keeps reading (a font reading a stream).  A
//   held object released by the script is refused from then on, but the
//   library release waits until its last holder is released; a held object
//   the library frees on its own takes its holders with it.
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <cstdint>

// X(Id, type name in messages, counted): counted types are opened again by
// the library with a count (SDL_JoystickOpen of an open index, a shared
// object loaded twice); each release takes one count back.
#define KAVRO_LIVE_TYPES(X)                  \
  X(Surface, "SDL_Surface", false)           \
  X(PixelFormat, "SDL_PixelFormat", false)   \
  X(Palette, "SDL_Palette", false)           \
  X(ColorArray, "SDL_Color", false)          \
  X(VideoInfo, "SDL_VideoInfo", false)       \
  X(Overlay, "SDL_Overlay", false)           \
  X(RWops, "SDL_RWops", false)               \
  X(Cursor, "SDL_Cursor", false)             \
  X(CD, "SDL_CD", false)                     \
  X(Version, "SDL_version", false)           \
  X(Event, "SDL_Event", false)               \
  X(Joystick, "SDL_Joystick", true)          \
  X(Mutex, "SDL_mutex", false)               \
  X(Sem, "SDL_sem", false)                   \
  X(Cond, "SDL_cond", false)                 \
  X(SharedObject, "shared object", true)     \
  X(Font, "TTF_Font", false)                 \
  X(Music, "MIX_Music", false)               \
  X(Chunk, "MIX_Chunk", false)               \
  X(NetAddress, "NET_IPaddress", false)      \
  X(NetPacket, "NET_UDPpacket", false)       \
  X(GenericSocket, "NET_GenericSocket", false) \
  X(TCPsocket, "TCPsocket", false)           \
  X(UDPsocket, "UDPsocket", false)           \
  X(SocketSet, "NET_SocketSet", false)

namespace kv {

enum class Live : uint8_t {
  None,  // not a tracked object (value boxes, host records)
#define KV_LIVE_ENUM(Id, name, counted) Id,
  KAVRO_LIVE_TYPES(KV_LIVE_ENUM)
#undef KV_LIVE_ENUM
      Count
};

// The type name used in liveness messages.
const char* LiveName(Live type) noexcept;

// ---- The live set: an open-addressing table from address to a mask of
// the types live at that address.  The lookup is the hot path of every
// guarded argument.
struct LiveSlot {
  uintptr_t key;   // 0: empty
  uint64_t types;  // bit per Live type
};
struct LiveTable {
  LiveSlot* slots;
  uintptr_t mask;  // capacity - 1 (a power of two)
  unsigned shift;  // 64 - log2(capacity)
  size_t used;
};
extern LiveTable gLiveTable;

// Fibonacci hashing: the top bits of the product spread neighbouring heap
// addresses over the table.
inline uintptr_t LiveIndex(uintptr_t key, unsigned shift) {
  return static_cast<uintptr_t>((static_cast<uint64_t>(key) * 0x9E3779B97F4A7C15ull) >> shift);
}

// True when `p` is a live object of `type`.
inline bool IsLive(Live type, const void* p) noexcept {
  const uintptr_t key = reinterpret_cast<uintptr_t>(p);
  const LiveTable& t = gLiveTable;
  for (uintptr_t i = LiveIndex(key, t.shift);; i = (i + 1) & t.mask) {
    const LiveSlot& s = t.slots[i];
    if (s.key == key) return key != 0 && ((s.types >> static_cast<unsigned>(type)) & 1);
    if (s.key == 0) return false;
  }
}

// Sets SDL's error text for an argument whose object is not live:
// "<type> has been released" for an object kavro handed out and saw go,
// "<type> was never made by kavro" for any other value.
void RefuseDead(Live type, const void* p) noexcept;

// ---- Changes of liveness.  `L` is the state that runs the script (for
// anchors); every function here is safe to call with any pointer.

// The library made or handed out `p`: it is live from now on (counted
// types take one more count).
void Track(lua_State* L, Live type, const void* p) noexcept;

// The object is about to go: the library frees it as the caller's next
// step.  It stops being live, the objects that live inside it die (its
// type's `dying` hook), members the script wrote are put back (see
// KeepMember), its anchors are dropped, the objects it held are let go,
// and the objects holding it die with it.  Only these put-backs and hooks
// touch the object's memory.
void Kill(lua_State* L, Live type, const void* p) noexcept;

// The same for an object the library has already freed: nothing of its
// memory is touched.
void Forget(lua_State* L, Live type, const void* p) noexcept;

// Every live object of the type is gone (a subsystem stopped).
void KillAll(lua_State* L, Live type) noexcept;

// The objects reading `p` die: it stays, but the memory they read goes (a
// screen whose pixels a mode change replaces).
void KillReaders(lua_State* L, Live type, const void* p) noexcept;

// A script releases a live object.  True: call the library's release now
// (for a counted type with counts left, the object stays live).  False: the
// object is held by another live object, so it is refused from now on and
// `release` runs when its last holder is released.
bool ReleaseNow(lua_State* L, Live type, void* p, void (*release)(void*)) noexcept;

// True when another live object keeps reading `p`.
bool IsHeld(Live type, const void* p) noexcept;

// Keeps the Lua value at `idx` from collection while the object lives.
// With a slot name the value replaces what the slot kept before (a member
// written again).  Raises Lua's memory error when the anchor cannot be made.
void Anchor(lua_State* L, Live type, const void* p, int idx, const char* slot = nullptr);

// `holder` keeps reading `held`, and keeps its anchors alive: the library
// release of `held` waits for `holder`'s release.
void Hold(lua_State* L, Live holderType, const void* holder, Live heldType, const void* held) noexcept;

// `to` takes over the anchors of `from` (a stream consumed by the object
// that now reads its memory).  May raise Lua's memory error.
void PassAnchors(lua_State* L, Live fromType, const void* from, Live toType, const void* to);

// ---- Members the library frees or trusts at release (a surface's pixels,
// a cursor's data).  The field writer calls KeepMember before a script
// writes one (the library's value is kept the first time) and NoteMember
// after.  When the object dies, a member still holding what the script
// wrote gets the library's value back (only the `bits` of it), so the
// library never frees or walks memory it did not make.
void KeepMember(Live type, const void* obj, const void* member, size_t size, uint64_t bits) noexcept;
void NoteMember(Live type, const void* obj, const void* member, size_t size) noexcept;
// Puts the kept members back now, for an object that stays live while the
// library frees or replaces what they point to (the screen at a mode change).
void PutBackMembers(Live type, const void* obj) noexcept;

// ---- Buffers that light userdata may point into.
struct Span {
  const uint8_t* base;  // null: the pointer lies in no known buffer
  size_t size;          // bytes from the pointer to the buffer's end
  Live ownerType;
  const void* owner;
};
// The known buffers of one live object of a type (a surface's pixels, an
// overlay's planes); `visit` is called once per buffer.
using BufferVisitor = void (*)(void* ctx, const void* base, size_t size);
using BufferLister = void (*)(const void* object, BufferVisitor visit, void* ctx);

// What a family tells the layer about one of its types, once at start-up:
// its buffers, and the objects that live inside one and die with it (a
// surface's pixel format, a format's palette).
struct TypeHooks {
  BufferLister buffers;
  void (*dying)(lua_State* L, const void* object);
};
bool DescribeType(Live type, TypeHooks hooks) noexcept;
// The live buffer holding `p`, with the bytes left from `p` to its end (of
// overlapping buffers, the one reaching furthest).
Span FindBuffer(const void* p) noexcept;

// ---- Whole-module operations.
// Calls `visit` for every live object of `type`.
void ForEachLive(Live type, void (*visit)(void* ctx, void* object), void* ctx) noexcept;
// Forgets every object and anchor: a new Lua state starts with nothing
// live.  Called by RegisterApi.
void ResetLifetimes(lua_State* L) noexcept;

}  // namespace kv
