// Boxes: Lua full userdata holding a 32-bit type tag followed by a payload,
// either a pointer to an object that lives elsewhere or a copy of a
// structure.  Every box type is one row of KAVRO_BOX_TYPES; descriptors,
// PushBox, the argument check and the metatables all derive from it.
//
// The payload types are given beside their library's header (payload_*.h,
// and below for SDL's and kavro's own records), so that a file binding one
// library does not compile the others' headers.
#pragma once

#include <SDL.h>
#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "binding/lifetime.h"
#include "binding/records.h"

// X(Id, tag, type name, metatable name, Value | Pointer, live type, raw)
// live type: the lifetime type of a pointer box's object (None for value
// boxes and host records).  raw: Open boxes may be written as raw memory;
// Sealed ones hold pointers that the program or a library later trusts
// (a callback, a buffer to free), so no binding writes raw bytes into them.
#define KAVRO_BOX_TYPES(X)                                                                                   \
  X(AudioSpec, 1, "SDL_AudioSpec", "lua_SDL_AudioSpec_mt", Value, None, Sealed)                              \
  X(AudioCVT, 2, "SDL_AudioCVT", "lua_SDL_AudioCVT_mt", Value, None, Sealed)                                 \
  X(CDtrack, 3, "SDL_CDtrack", "lua_SDL_CDtrack_mt", Value, None, Open)                                      \
  X(CD, 4, "SDL_CD", "lua_SDL_CD_p_mt", Pointer, CD, Open)                                                   \
  X(ActiveEvent, 5, "SDL_ActiveEvent", "lua_SDL_ActiveEvent_mt", Value, None, Open)                          \
  X(KeyboardEvent, 6, "SDL_KeyboardEvent", "lua_SDL_KeyboardEvent_mt", Value, None, Open)                    \
  X(MouseMotionEvent, 7, "SDL_MouseMotionEvent", "lua_SDL_MouseMotionEvent_mt", Value, None, Open)           \
  X(MouseButtonEvent, 8, "SDL_MouseButtonEvent", "lua_SDL_MouseButtonEvent_mt", Value, None, Open)           \
  X(JoyAxisEvent, 9, "SDL_JoyAxisEvent", "lua_SDL_JoyAxisEvent_mt", Value, None, Open)                       \
  X(JoyBallEvent, 16, "SDL_JoyBallEvent", "lua_SDL_JoyBallEvent_mt", Value, None, Open)                      \
  X(JoyHatEvent, 17, "SDL_JoyHatEvent", "lua_SDL_JoyHatEvent_mt", Value, None, Open)                         \
  X(JoyButtonEvent, 18, "SDL_JoyButtonEvent", "lua_SDL_JoyButtonEvent_mt", Value, None, Open)                \
  X(ResizeEvent, 19, "SDL_ResizeEvent", "lua_SDL_ResizeEvent_mt", Value, None, Open)                         \
  X(ExposeEvent, 20, "SDL_ExposeEvent", "lua_SDL_ExposeEvent_mt", Value, None, Open)                         \
  X(QuitEvent, 21, "SDL_QuitEvent", "lua_SDL_QuitEvent_mt", Value, None, Open)                               \
  X(UserEvent, 22, "SDL_UserEvent", "lua_SDL_UserEvent_mt", Value, None, Open)                               \
  X(SysWMEvent, 23, "SDL_SysWMEvent", "lua_SDL_SysWMEvent_mt", Value, None, Open)                            \
  X(Event, 24, "SDL_Event", "lua_SDL_Event_p_mt", Pointer, Event, Open)                                      \
  X(Keysym, 25, "SDL_keysym", "lua_SDL_keysym_mt", Value, None, Open)                                        \
  X(Cursor, 32, "SDL_Cursor", "lua_SDL_Cursor_p_mt", Pointer, Cursor, Open)                                  \
  X(RWops, 33, "SDL_RWops", "lua_SDL_RWops_p_mt", Pointer, RWops, Open)                                      \
  X(Version, 34, "SDL_version", "lua_SDL_version_p_mt", Pointer, Version, Open)                              \
  X(Rect, 35, "SDL_Rect", "lua_SDL_Rect_mt", Value, None, Open)                                              \
  X(Color, 36, "SDL_Color", "lua_SDL_Color_mt", Value, None, Open)                                           \
  X(ColorArray, 36, "SDL_Color", "lua_SDL_Color_p_mt", Pointer, ColorArray, Open)                            \
  X(Palette, 37, "SDL_Palette", "lua_SDL_Palette_p_mt", Pointer, Palette, Open)                              \
  X(PixelFormat, 38, "SDL_PixelFormat", "lua_SDL_PixelFormat_p_mt", Pointer, PixelFormat, Open)              \
  X(Surface, 39, "SDL_Surface", "lua_SDL_Surface_p_mt", Pointer, Surface, Open)                              \
  X(VideoInfo, 40, "SDL_VideoInfo", "lua_SDL_VideoInfo_p_mt", Pointer, VideoInfo, Open)                      \
  X(Overlay, 41, "SDL_Overlay", "lua_SDL_Overlay_p_mt", Pointer, Overlay, Open)                              \
  X(MixChunk, 48, "MIX_Chunk", "lua_MIX_Chunk_p_mt", Pointer, Chunk, Open)                                   \
  X(NetAddress, 49, "NET_IPaddress", "lua_NET_IPaddress_p_mt", Pointer, NetAddress, Open)                    \
  X(NetPacket, 50, "NET_UDPpacket", "lua_NET_UDPpacket_p_mt", Pointer, NetPacket, Open)                      \
  X(GenericSocket, 51, "NET_GenericSocket", "lua_NET_GenericSocket_mt", Pointer, GenericSocket, Open)        \
  X(FpsManager, 52, "GFX_FPSmanager", "lua_GFX_FPSmanager_mt", Value, None, Open)                            \
  X(UnzGlobalInfo, 54, "unz_global_info", "lua_unz_global_info_mt", Value, None, Open)                       \
  X(TmUnz, 55, "tm_unz", "lua_tm_unz_mt", Value, None, Open)                                                 \
  X(UnzFileInfo, 56, "unz_file_info", "lua_unz_file_info_mt", Value, None, Open)                             \
  X(ZipFile, 57, "ZIP_File", "lua_ZIP_File_mt", Value, None, Sealed)                                         \
  X(AudioChunk, 64, "KAVRO_AudioChunk", "lua_KAVRO_AudioChunk_mt", Value, None, Sealed)                      \
  X(KColor, 65, "KAVRO_Color", "lua_KAVRO_Color_mt", Value, None, Open)                                      \
  X(Keyboard, 66, "KAVRO_Keyboard", "lua_KAVRO_Keyboard_mt", Value, None, Open)                              \
  X(Object, 67, "KAVRO_Object", "lua_KAVRO_Object_mt", Pointer, None, Sealed)                                \
  X(GlyphMetrics, 68, "KAVRO_TTF_GlyphMetrics", "lua_KAVRO_TTF_GlyphMetrics_mt", Value, None, Open)          \
  X(MixAudioSpec, 69, "KAVRO_MIX_AudioSpec", "lua_KAVRO_MIX_AudioSpec_mt", Value, None, Open)

namespace kv {

enum class Repr { Value, Pointer };
enum class Raw { Open, Sealed };

namespace detail {
enum BoxIndex : int {
#define KV_BOX_INDEX(Id, tag, name, mt, repr, live, raw) Id,
  KAVRO_BOX_TYPES(KV_BOX_INDEX)
#undef KV_BOX_INDEX
      kBoxTypeCount
};
}  // namespace detail

// One descriptor type per box type: box::Surface, box::Rect, ...  The
// payload type is Payload<D>::type, given where its library is included.
namespace box {
#define KV_BOX_DESCRIPTOR(Id, tagValue, typeName, mtName, repr, liveType, rawUse) \
  struct Id {                                                                      \
    static constexpr int32_t tag = tagValue;                                       \
    static constexpr const char* name = typeName;                                  \
    static constexpr const char* metatable = mtName;                               \
    static constexpr bool isPointer = Repr::repr == Repr::Pointer;                 \
    static constexpr Live live = Live::liveType;                                   \
    static constexpr bool sealed = Raw::rawUse == Raw::Sealed;                     \
    static constexpr int index = detail::Id;                                       \
  };
KAVRO_BOX_TYPES(KV_BOX_DESCRIPTOR)
#undef KV_BOX_DESCRIPTOR
}  // namespace box

inline constexpr int kBoxTypeCount = detail::kBoxTypeCount;

// The payload type of a box type, and the box types of a C type (a pointer
// result becomes a pointer box, a structure result a value box).
template <class D>
struct Payload;
template <class D>
using PayloadT = typename Payload<D>::type;
template <class T>
struct PointerBoxOf {};
template <class T>
struct ValueBoxOf {};

}  // namespace kv

// Gives the box type Id its payload type T, and T its box type (of the
// given trait: PointerBoxOf or ValueBoxOf).
#define KV_PAYLOAD(Id, T, BoxOfTrait, isPointerBox)                          \
  namespace kv {                                                             \
  template <>                                                                \
  struct Payload<box::Id> {                                                  \
    using type = T;                                                          \
  };                                                                         \
  template <>                                                                \
  struct BoxOfTrait<T> {                                                     \
    using type = box::Id;                                                    \
  };                                                                         \
  static_assert(box::Id::isPointer == isPointerBox, #Id " is another kind of box"); \
  }
#define KV_POINTER_PAYLOAD(Id, T) KV_PAYLOAD(Id, T, PointerBoxOf, true)
#define KV_VALUE_PAYLOAD(Id, T) KV_PAYLOAD(Id, T, ValueBoxOf, false)

KV_VALUE_PAYLOAD(AudioSpec, SDL_AudioSpec)
KV_VALUE_PAYLOAD(AudioCVT, SDL_AudioCVT)
KV_VALUE_PAYLOAD(CDtrack, SDL_CDtrack)
KV_POINTER_PAYLOAD(CD, SDL_CD)
KV_VALUE_PAYLOAD(ActiveEvent, SDL_ActiveEvent)
KV_VALUE_PAYLOAD(KeyboardEvent, SDL_KeyboardEvent)
KV_VALUE_PAYLOAD(MouseMotionEvent, SDL_MouseMotionEvent)
KV_VALUE_PAYLOAD(MouseButtonEvent, SDL_MouseButtonEvent)
KV_VALUE_PAYLOAD(JoyAxisEvent, SDL_JoyAxisEvent)
KV_VALUE_PAYLOAD(JoyBallEvent, SDL_JoyBallEvent)
KV_VALUE_PAYLOAD(JoyHatEvent, SDL_JoyHatEvent)
KV_VALUE_PAYLOAD(JoyButtonEvent, SDL_JoyButtonEvent)
KV_VALUE_PAYLOAD(ResizeEvent, SDL_ResizeEvent)
KV_VALUE_PAYLOAD(ExposeEvent, SDL_ExposeEvent)
KV_VALUE_PAYLOAD(QuitEvent, SDL_QuitEvent)
KV_VALUE_PAYLOAD(UserEvent, SDL_UserEvent)
KV_VALUE_PAYLOAD(SysWMEvent, SDL_SysWMEvent)
KV_POINTER_PAYLOAD(Event, SDL_Event)
KV_VALUE_PAYLOAD(Keysym, SDL_keysym)
KV_POINTER_PAYLOAD(Cursor, SDL_Cursor)
KV_POINTER_PAYLOAD(RWops, SDL_RWops)
KV_POINTER_PAYLOAD(Version, SDL_version)
KV_VALUE_PAYLOAD(Rect, SDL_Rect)
KV_VALUE_PAYLOAD(Color, SDL_Color)
// The colour-array form shares SDL_Color with the value form; no function
// returns an SDL_Color pointer, so it takes no PointerBoxOf entry.
namespace kv {
template <>
struct Payload<box::ColorArray> {
  using type = SDL_Color;
};
}  // namespace kv
KV_POINTER_PAYLOAD(Palette, SDL_Palette)
KV_POINTER_PAYLOAD(PixelFormat, SDL_PixelFormat)
KV_POINTER_PAYLOAD(Surface, SDL_Surface)
KV_POINTER_PAYLOAD(VideoInfo, SDL_VideoInfo)
KV_POINTER_PAYLOAD(Overlay, SDL_Overlay)
KV_VALUE_PAYLOAD(AudioChunk, KAVRO_AudioChunk)
KV_VALUE_PAYLOAD(KColor, KAVRO_Color)
KV_VALUE_PAYLOAD(Keyboard, KAVRO_Keyboard)
KV_POINTER_PAYLOAD(Object, RecordHeader)
KV_VALUE_PAYLOAD(GlyphMetrics, KAVRO_TTF_GlyphMetrics)
KV_VALUE_PAYLOAD(MixAudioSpec, KAVRO_MIX_AudioSpec)

namespace kv {

// The in-memory layout of a box; the compiler places the payload.
template <class T, bool Pointer>
struct Block;
template <class T>
struct Block<T, false> {
  int32_t tag;
  T payload;
};
template <class T>
struct Block<T, true> {
  int32_t tag;
  T* payload;
};
template <class D>
using BlockOf = Block<PayloadT<D>, D::isPointer>;

// Static description of every box type, in table order (for registration
// and tests).
struct BoxTypeInfo {
  int32_t tag;
  const char* name;
  const char* metatable;
  bool isPointer;
  bool sealed;
  size_t blockSize;
};
extern const BoxTypeInfo kBoxTypes[kBoxTypeCount];

// The payload address: the stored pointer of a pointer box, the embedded
// structure of a value box.
template <class D>
inline PayloadT<D>* PayloadOf(void* block) {
  auto* b = static_cast<BlockOf<D>*>(block);
  if constexpr (D::isPointer) {
    return b->payload;
  } else {
    return &b->payload;
  }
}

// The two SDL_Color forms share their tag and, on 32-bit builds, their
// block size; the metatable tells them apart.  A colour-array box carries
// the array metatable; a value colour never does.
bool CarriesColorArrayMetatable(lua_State* L, int idx);

// The block of a box of type D at `idx`, or null when the value is not one:
// a full userdata of D's block size whose tag is D's.
template <class D>
inline void* ToBox(lua_State* L, int idx) {
  // lua_touserdata is null for anything but userdata; lua_objlen is 0 for a
  // light userdata, which never equals a block's size.
  void* block = lua_touserdata(L, idx);
  if (!block || lua_objlen(L, idx) != sizeof(BlockOf<D>)) return nullptr;
  if (static_cast<int32_t*>(block)[0] != D::tag) return nullptr;
  if constexpr (D::index == box::Color::index || D::index == box::ColorArray::index) {
    if (CarriesColorArrayMetatable(L, idx) != (D::index == box::ColorArray::index)) return nullptr;
  }
  return block;
}

// Pushes the metatable registered under `name`, or nil when the registry
// holds no table there (a script may have removed or replaced it).
inline void PushBoxMetatable(lua_State* L, const char* name) {
  lua_getfield(L, LUA_REGISTRYINDEX, name);
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    lua_pushnil(L);
  }
}

template <class D>
inline BlockOf<D>* NewBlock(lua_State* L) {
  auto* b = static_cast<BlockOf<D>*>(lua_newuserdata(L, sizeof(BlockOf<D>)));
  b->tag = D::tag;
  return b;
}

// PushBox for pointer boxes: the caller has checked the pointer for null.
// Boxing an object does not make it live: see PushLive.
template <class D>
inline void PushBox(lua_State* L, const PayloadT<D>* object) requires(D::isPointer) {
  auto* b = NewBlock<D>(L);
  b->payload = const_cast<PayloadT<D>*>(object);
  PushBoxMetatable(L, D::metatable);
  lua_setmetatable(L, -2);
}

// PushBox for value boxes: the new box holds a copy of `value`.
template <class D>
inline void PushBox(lua_State* L, const PayloadT<D>& value) requires(!D::isPointer) {
  auto* b = NewBlock<D>(L);
  b->payload = value;
  PushBoxMetatable(L, D::metatable);
  lua_setmetatable(L, -2);
}

// A pointer box for an object the library made or handed out: boxed and
// tracked as live.
template <class D>
inline void PushLive(lua_State* L, const PayloadT<D>* object) requires(D::isPointer) {
  PushBox<D>(L, object);
  Track(L, D::live, object);
}

}  // namespace kv

// Creates the metatables of every box type (reusing any already registered).
void RegisterMetatables(lua_State* L);
