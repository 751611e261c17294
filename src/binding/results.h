// Result kinds: how a binding pushes what the library returned.
#pragma once

#include <lua.hpp>

#include <type_traits>

#include "binding/boxes.h"

struct _TTF_Font;
struct _Mix_Music;

namespace kv {

// Library handle types: returned as light userdata, nil for null.
template <class T>
struct IsHandleType : std::false_type {};
#define KV_HANDLE_TYPE(T) \
  template <>             \
  struct IsHandleType<T> : std::true_type {};
KV_HANDLE_TYPE(_TTF_Font)
KV_HANDLE_TYPE(_Mix_Music)
KV_HANDLE_TYPE(SDL_Joystick)
KV_HANDLE_TYPE(SDL_mutex)
KV_HANDLE_TYPE(SDL_sem)
KV_HANDLE_TYPE(SDL_cond)
KV_HANDLE_TYPE(_TCPsocket)
KV_HANDLE_TYPE(_UDPsocket)
KV_HANDLE_TYPE(_SDLNet_SocketSet)
#undef KV_HANDLE_TYPE

// The value-box type whose payload is T (void when there is none).
template <class T>
struct ValueBoxFor {
  using type = void;
};
#define KV_VALUE_BOX_FOR(T, Id) \
  template <>                   \
  struct ValueBoxFor<T> {       \
    using type = box::Id;       \
  };
KV_VALUE_BOX_FOR(SDL_AudioSpec, AudioSpec)
KV_VALUE_BOX_FOR(SDL_AudioCVT, AudioCVT)
KV_VALUE_BOX_FOR(SDL_Rect, Rect)
KV_VALUE_BOX_FOR(SDL_Color, Color)
KV_VALUE_BOX_FOR(FPSmanager, FpsManager)
KV_VALUE_BOX_FOR(ZIP_File, ZipFile)
KV_VALUE_BOX_FOR(KAVRO_AudioChunk, AudioChunk)
KV_VALUE_BOX_FOR(KAVRO_Color, KColor)
KV_VALUE_BOX_FOR(KAVRO_Keyboard, Keyboard)
KV_VALUE_BOX_FOR(KAVRO_TTF_GlyphMetrics, GlyphMetrics)
KV_VALUE_BOX_FOR(KAVRO_MIX_AudioSpec, MixAudioSpec)
#undef KV_VALUE_BOX_FOR

template <class T>
inline constexpr bool kDependentFalse = false;

// Pushes a result by its C type.  A pointer type without a box or handle
// mapping fails the build.
struct AutoResult {
  template <class R>
  static inline int push(lua_State* L, R r) {
    if constexpr (std::is_same_v<R, SDL_bool>) {
      lua_pushboolean(L, r != SDL_FALSE);
    } else if constexpr (std::is_arithmetic_v<R> || std::is_enum_v<R>) {
      lua_pushnumber(L, static_cast<lua_Number>(r));
    } else if constexpr (std::is_same_v<std::remove_cv_t<std::remove_pointer_t<R>>, char>) {
      if (r) lua_pushstring(L, r); else lua_pushnil(L);
    } else if constexpr (std::is_pointer_v<R>) {
      using T = std::remove_cv_t<std::remove_pointer_t<R>>;
      if (!r) {
        lua_pushnil(L);
      } else if constexpr (std::is_void_v<T> || IsHandleType<T>::value) {
        lua_pushlightuserdata(L, const_cast<T*>(r));
      } else if constexpr (requires { typename BoxFor<T>::type; }) {
        PushBox<typename BoxFor<T>::type>(L, r);
      } else {
        static_assert(kDependentFalse<R>, "no push mapping for this pointer type");
      }
    } else if constexpr (!std::is_void_v<typename ValueBoxFor<R>::type>) {
      PushBox<typename ValueBoxFor<R>::type>(L, r);
    } else {
      static_assert(kDependentFalse<R>, "no push mapping for this result type");
    }
    return 1;
  }
};

// A truth value pushed as a boolean.
struct AsBool {
  template <class R>
  static inline int push(lua_State* L, R r) {
    lua_pushboolean(L, r != 0);
    return 1;
  }
};

// A library text pushed as a string; a null pointer pushes "".
struct TextOrEmpty {
  template <class R>
  static inline int push(lua_State* L, R r) {
    const char* text = r;
    lua_pushstring(L, text ? text : "");
    return 1;
  }
};

// The library's result is not passed on.
struct NoResult {
  template <class R>
  static inline int push(lua_State*, R) {
    return 0;
  }
};

}  // namespace kv
