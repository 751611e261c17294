// Boxes: Lua full userdata holding a 32-bit type tag followed by a payload,
// either a pointer to an object that lives elsewhere or a copy of a
// structure.  Every box type is one row of KAVRO_BOX_TYPES; descriptors,
// PushBox, the argument check and the metatables all derive from it.
#pragma once

#include <SDL.h>
#include <SDL_framerate.h>
#include <SDL_mixer.h>
#include <SDL_net.h>
#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "archive/zip.h"
#include "helpers/kavro.h"
#include "host/records.h"

// X(Id, payload type, tag, type name, metatable name, Value | Pointer)
#define KAVRO_BOX_TYPES(X)                                                                             \
  X(AudioSpec, SDL_AudioSpec, 1, "SDL_AudioSpec", "lua_SDL_AudioSpec_mt", Value)                       \
  X(AudioCVT, SDL_AudioCVT, 2, "SDL_AudioCVT", "lua_SDL_AudioCVT_mt", Value)                           \
  X(CDtrack, SDL_CDtrack, 3, "SDL_CDtrack", "lua_SDL_CDtrack_mt", Value)                               \
  X(CD, SDL_CD, 4, "SDL_CD", "lua_SDL_CD_p_mt", Pointer)                                               \
  X(ActiveEvent, SDL_ActiveEvent, 5, "SDL_ActiveEvent", "lua_SDL_ActiveEvent_mt", Value)               \
  X(KeyboardEvent, SDL_KeyboardEvent, 6, "SDL_KeyboardEvent", "lua_SDL_KeyboardEvent_mt", Value)       \
  X(MouseMotionEvent, SDL_MouseMotionEvent, 7, "SDL_MouseMotionEvent", "lua_SDL_MouseMotionEvent_mt",  \
    Value)                                                                                             \
  X(MouseButtonEvent, SDL_MouseButtonEvent, 8, "SDL_MouseButtonEvent", "lua_SDL_MouseButtonEvent_mt",  \
    Value)                                                                                             \
  X(JoyAxisEvent, SDL_JoyAxisEvent, 9, "SDL_JoyAxisEvent", "lua_SDL_JoyAxisEvent_mt", Value)           \
  X(JoyBallEvent, SDL_JoyBallEvent, 16, "SDL_JoyBallEvent", "lua_SDL_JoyBallEvent_mt", Value)          \
  X(JoyHatEvent, SDL_JoyHatEvent, 17, "SDL_JoyHatEvent", "lua_SDL_JoyHatEvent_mt", Value)              \
  X(JoyButtonEvent, SDL_JoyButtonEvent, 18, "SDL_JoyButtonEvent", "lua_SDL_JoyButtonEvent_mt", Value)  \
  X(ResizeEvent, SDL_ResizeEvent, 19, "SDL_ResizeEvent", "lua_SDL_ResizeEvent_mt", Value)              \
  X(ExposeEvent, SDL_ExposeEvent, 20, "SDL_ExposeEvent", "lua_SDL_ExposeEvent_mt", Value)              \
  X(QuitEvent, SDL_QuitEvent, 21, "SDL_QuitEvent", "lua_SDL_QuitEvent_mt", Value)                      \
  X(UserEvent, SDL_UserEvent, 22, "SDL_UserEvent", "lua_SDL_UserEvent_mt", Value)                      \
  X(SysWMEvent, SDL_SysWMEvent, 23, "SDL_SysWMEvent", "lua_SDL_SysWMEvent_mt", Value)                  \
  X(Event, SDL_Event, 24, "SDL_Event", "lua_SDL_Event_p_mt", Pointer)                                  \
  X(Keysym, SDL_keysym, 25, "SDL_keysym", "lua_SDL_keysym_mt", Value)                                  \
  X(Cursor, SDL_Cursor, 32, "SDL_Cursor", "lua_SDL_Cursor_p_mt", Pointer)                              \
  X(RWops, SDL_RWops, 33, "SDL_RWops", "lua_SDL_RWops_p_mt", Pointer)                                  \
  X(Version, SDL_version, 34, "SDL_version", "lua_SDL_version_p_mt", Pointer)                          \
  X(Rect, SDL_Rect, 35, "SDL_Rect", "lua_SDL_Rect_mt", Value)                                          \
  X(Color, SDL_Color, 36, "SDL_Color", "lua_SDL_Color_mt", Value)                                      \
  X(ColorArray, SDL_Color, 36, "SDL_Color", "lua_SDL_Color_p_mt", Pointer)                             \
  X(Palette, SDL_Palette, 37, "SDL_Palette", "lua_SDL_Palette_p_mt", Pointer)                          \
  X(PixelFormat, SDL_PixelFormat, 38, "SDL_PixelFormat", "lua_SDL_PixelFormat_p_mt", Pointer)          \
  X(Surface, SDL_Surface, 39, "SDL_Surface", "lua_SDL_Surface_p_mt", Pointer)                          \
  X(VideoInfo, SDL_VideoInfo, 40, "SDL_VideoInfo", "lua_SDL_VideoInfo_p_mt", Pointer)                  \
  X(Overlay, SDL_Overlay, 41, "SDL_Overlay", "lua_SDL_Overlay_p_mt", Pointer)                          \
  X(MixChunk, Mix_Chunk, 48, "MIX_Chunk", "lua_MIX_Chunk_p_mt", Pointer)                               \
  X(NetAddress, IPaddress, 49, "NET_IPaddress", "lua_NET_IPaddress_p_mt", Pointer)                      \
  X(NetPacket, UDPpacket, 50, "NET_UDPpacket", "lua_NET_UDPpacket_p_mt", Pointer)                      \
  X(GenericSocket, _SDLNet_GenericSocket, 51, "NET_GenericSocket", "lua_NET_GenericSocket_mt", Pointer) \
  X(FpsManager, FPSmanager, 52, "GFX_FPSmanager", "lua_GFX_FPSmanager_mt", Value)                      \
  X(UnzGlobalInfo, unz_global_info, 54, "unz_global_info", "lua_unz_global_info_mt", Value)            \
  X(TmUnz, tm_unz, 55, "tm_unz", "lua_tm_unz_mt", Value)                                               \
  X(UnzFileInfo, unz_file_info, 56, "unz_file_info", "lua_unz_file_info_mt", Value)                    \
  X(ZipFile, ZIP_File, 57, "ZIP_File", "lua_ZIP_File_mt", Value)                                       \
  X(AudioChunk, KAVRO_AudioChunk, 64, "KAVRO_AudioChunk", "lua_KAVRO_AudioChunk_mt", Value)            \
  X(KColor, KAVRO_Color, 65, "KAVRO_Color", "lua_KAVRO_Color_mt", Value)                               \
  X(Keyboard, KAVRO_Keyboard, 66, "KAVRO_Keyboard", "lua_KAVRO_Keyboard_mt", Value)                    \
  X(Object, RecordHeader, 67, "KAVRO_Object", "lua_KAVRO_Object_mt", Pointer)                          \
  X(GlyphMetrics, KAVRO_TTF_GlyphMetrics, 68, "KAVRO_TTF_GlyphMetrics", "lua_KAVRO_TTF_GlyphMetrics_mt", \
    Value)                                                                                             \
  X(MixAudioSpec, KAVRO_MIX_AudioSpec, 69, "KAVRO_MIX_AudioSpec", "lua_KAVRO_MIX_AudioSpec_mt", Value)

namespace kv {

enum class Repr { Value, Pointer };

// The in-memory layout of a box; the compiler places the payload.
template <class T, Repr R>
struct Block;
template <class T>
struct Block<T, Repr::Value> {
  int32_t tag;
  T payload;
};
template <class T>
struct Block<T, Repr::Pointer> {
  int32_t tag;
  T* payload;
};

namespace detail {
enum BoxIndex : int {
#define KV_BOX_INDEX(Id, T, tag, name, mt, repr) Id,
  KAVRO_BOX_TYPES(KV_BOX_INDEX)
#undef KV_BOX_INDEX
      kBoxTypeCount
};
}  // namespace detail

// One descriptor type per box type: box::Surface, box::Rect, ...
namespace box {
#define KV_BOX_DESCRIPTOR(Id, T, tagValue, typeName, mtName, repr)            \
  struct Id {                                                                 \
    using Type = T;                                                           \
    static constexpr int32_t tag = tagValue;                                  \
    static constexpr const char* name = typeName;                             \
    static constexpr const char* metatable = mtName;                          \
    static constexpr Repr repr_ = Repr::repr;                                 \
    static constexpr bool isPointer = Repr::repr == Repr::Pointer;            \
    static constexpr int index = detail::Id;                                  \
    using BlockType = Block<T, Repr::repr>;                                   \
  };
KAVRO_BOX_TYPES(KV_BOX_DESCRIPTOR)
#undef KV_BOX_DESCRIPTOR
}  // namespace box

inline constexpr int kBoxTypeCount = detail::kBoxTypeCount;

// Static description of every box type, in table order (for registration
// and tests).
struct BoxTypeInfo {
  int32_t tag;
  const char* name;
  const char* metatable;
  bool isPointer;
  size_t blockSize;
};
extern const BoxTypeInfo kBoxTypes[kBoxTypeCount];

// The payload address: the stored pointer of a pointer box, the embedded
// structure of a value box.
template <class D>
inline typename D::Type* PayloadOf(void* block) {
  auto* b = static_cast<typename D::BlockType*>(block);
  if constexpr (D::isPointer) {
    return b->payload;
  } else {
    return &b->payload;
  }
}

// The block of a box of type D at `idx`, or null when the value is not one:
// a full userdata of D's block size whose tag is D's.
template <class D>
inline void* ToBox(lua_State* L, int idx) {
  // lua_touserdata is null for anything but userdata; lua_objlen is 0 for a
  // light userdata, which never equals a block's size.
  void* block = lua_touserdata(L, idx);
  if (!block || lua_objlen(L, idx) != sizeof(typename D::BlockType)) return nullptr;
  return static_cast<int32_t*>(block)[0] == D::tag ? block : nullptr;
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
inline typename D::BlockType* NewBlock(lua_State* L) {
  auto* b = static_cast<typename D::BlockType*>(lua_newuserdata(L, sizeof(typename D::BlockType)));
  b->tag = D::tag;
  return b;
}

// PushBox for pointer boxes: the caller has checked the pointer for null.
template <class D>
inline void PushBox(lua_State* L, const typename D::Type* object) requires(D::isPointer) {
  auto* b = NewBlock<D>(L);
  b->payload = const_cast<typename D::Type*>(object);
  PushBoxMetatable(L, D::metatable);
  lua_setmetatable(L, -2);
}

// PushBox for value boxes: the new box holds a copy of `value`.
template <class D>
inline void PushBox(lua_State* L, const typename D::Type& value) requires(!D::isPointer) {
  auto* b = NewBlock<D>(L);
  b->payload = value;
  PushBoxMetatable(L, D::metatable);
  lua_setmetatable(L, -2);
}

// Keeps the value at the absolute index `anchor` alive as long as the box on
// the top of the stack: it is held in the box's environment table (a
// surface or stream over a script's memory, a stream over an io file).
inline void KeepAlive(lua_State* L, int anchor) {
  lua_createtable(L, 1, 0);
  lua_pushvalue(L, anchor);
  lua_rawseti(L, -2, 1);
  lua_setfenv(L, -2);
}

// The pointer-box type for a library pointer returned by a binding.
template <class T>
struct BoxFor {};
#define KV_BOX_FOR(T, Id) \
  template <>             \
  struct BoxFor<T> {      \
    using type = box::Id; \
  };
KV_BOX_FOR(SDL_CD, CD)
KV_BOX_FOR(SDL_Cursor, Cursor)
KV_BOX_FOR(SDL_RWops, RWops)
KV_BOX_FOR(SDL_version, Version)
KV_BOX_FOR(SDL_Palette, Palette)
KV_BOX_FOR(SDL_PixelFormat, PixelFormat)
KV_BOX_FOR(SDL_Surface, Surface)
KV_BOX_FOR(SDL_VideoInfo, VideoInfo)
KV_BOX_FOR(SDL_Overlay, Overlay)
KV_BOX_FOR(Mix_Chunk, MixChunk)
KV_BOX_FOR(IPaddress, NetAddress)
KV_BOX_FOR(UDPpacket, NetPacket)
KV_BOX_FOR(SDL_Event, Event)
#undef KV_BOX_FOR

}  // namespace kv

// Creates the metatables of every box type (reusing any already registered).
void RegisterMetatables(lua_State* L);
