// Result kinds: how a binding pushes what the library returned, and what it
// answers when an argument is refused before the library is reached.
//
// A result kind has
//   push<R>(L, r) -> int     pushes the library's result, returns the count;
//   fail<R>(L) -> int        pushes the failure value of a refused call:
//                            nil for objects and strings, false for truth
//                            values, -1 for signed numbers, 0 for unsigned
//                            ones, nothing for a function without result.
#pragma once

#include <lua.hpp>

#include <type_traits>

#include "binding/boxes.h"
#include "binding/lifetime.h"

struct _TTF_Font;
struct _Mix_Music;
struct _TCPsocket;
struct _UDPsocket;
struct _SDLNet_SocketSet;

namespace kv {

// Library handle types: returned as light userdata, nil for null, and live
// from then on as their lifetime type.
template <class T>
struct HandleLive {
  static constexpr Live live = Live::None;
};
#define KV_HANDLE_TYPE(T, L)                \
  template <>                               \
  struct HandleLive<T> {                    \
    static constexpr Live live = Live::L;   \
  };
KV_HANDLE_TYPE(_TTF_Font, Font)
KV_HANDLE_TYPE(_Mix_Music, Music)
KV_HANDLE_TYPE(SDL_Joystick, Joystick)
KV_HANDLE_TYPE(SDL_mutex, Mutex)
KV_HANDLE_TYPE(SDL_sem, Sem)
KV_HANDLE_TYPE(SDL_cond, Cond)
KV_HANDLE_TYPE(_TCPsocket, TCPsocket)
KV_HANDLE_TYPE(_UDPsocket, UDPsocket)
KV_HANDLE_TYPE(_SDLNet_SocketSet, SocketSet)
#undef KV_HANDLE_TYPE

template <class T>
inline constexpr bool kDependentFalse = false;

// The lifetime type of a pointer result (None for plain addresses).
template <class R>
constexpr Live ResultLive() {
  if constexpr (std::is_pointer_v<R>) {
    using T = std::remove_cv_t<std::remove_pointer_t<R>>;
    if constexpr (requires { typename PointerBoxOf<T>::type; }) {
      return PointerBoxOf<T>::type::live;
    } else {
      return HandleLive<T>::live;
    }
  } else {
    return Live::None;
  }
}

// Pushes a result by its C type.  A pointer type without a box or handle
// mapping fails the build.
struct AutoResult {
  template <class R>
  static inline int push(lua_State* L, R r) {
    if constexpr (std::is_same_v<R, SDL_bool>) {
      lua_pushboolean(L, r != SDL_FALSE);
    } else if constexpr (std::is_enum_v<R>) {
      lua_pushnumber(L, static_cast<lua_Number>(static_cast<std::underlying_type_t<R>>(r)));
    } else if constexpr (std::is_arithmetic_v<R>) {
      lua_pushnumber(L, static_cast<lua_Number>(r));
    } else if constexpr (std::is_same_v<std::remove_cv_t<std::remove_pointer_t<R>>, char>) {
      if (r) lua_pushstring(L, r); else lua_pushnil(L);
    } else if constexpr (std::is_pointer_v<R>) {
      using T = std::remove_cv_t<std::remove_pointer_t<R>>;
      if (!r) {
        lua_pushnil(L);
      } else if constexpr (requires { typename PointerBoxOf<T>::type; }) {
        PushLive<typename PointerBoxOf<T>::type>(L, r);
      } else if constexpr (HandleLive<T>::live != Live::None) {
        lua_pushlightuserdata(L, const_cast<T*>(r));
        Track(L, HandleLive<T>::live, r);
      } else if constexpr (std::is_void_v<T>) {
        lua_pushlightuserdata(L, const_cast<T*>(r));
      } else {
        static_assert(kDependentFalse<R>, "no push mapping for this pointer type");
      }
    } else if constexpr (requires { typename ValueBoxOf<R>::type; }) {
      PushBox<typename ValueBoxOf<R>::type>(L, r);
    } else {
      static_assert(kDependentFalse<R>, "no push mapping for this result type");
    }
    return 1;
  }

  template <class R>
  static inline int fail(lua_State* L) {
    if constexpr (std::is_void_v<R>) {
      return 0;
    } else if constexpr (std::is_same_v<R, SDL_bool> || std::is_same_v<R, bool>) {
      lua_pushboolean(L, 0);
    } else if constexpr (std::is_enum_v<R> || std::is_signed_v<R>) {
      lua_pushnumber(L, -1);
    } else if constexpr (std::is_arithmetic_v<R>) {
      lua_pushnumber(L, 0);
    } else {
      lua_pushnil(L);
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
  template <class R>
  static inline int fail(lua_State* L) {
    lua_pushboolean(L, 0);
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
  template <class R>
  static inline int fail(lua_State* L) {
    lua_pushstring(L, "");
    return 1;
  }
};

// The library's result is not passed on.
struct NoResult {
  template <class R>
  static inline int push(lua_State*, R) {
    return 0;
  }
  template <class R>
  static inline int fail(lua_State*) {
    return 0;
  }
};

// A handle returned as `void*` (a shared object), live as `L`.
template <Live LiveType>
struct AsHandle {
  template <class R>
  static inline int push(lua_State* L, R r) {
    if (!r) {
      lua_pushnil(L);
    } else {
      lua_pushlightuserdata(L, r);
      Track(L, LiveType, r);
    }
    return 1;
  }
  template <class R>
  static inline int fail(lua_State* L) {
    lua_pushnil(L);
    return 1;
  }
};

// The result kind R with another failure value: the number V, where the
// library's own failure value is not the default one of its type.
template <int V, class R = AutoResult>
struct FailsWith : R {
  template <class T>
  static inline int fail(lua_State* L) {
    lua_pushnumber(L, V);
    return 1;
  }
};

// The object made by the call keeps reading what argument N designates:
// script memory (kept from collection), a buffer of another object, or an
// object (a stream).  Its reads are held for as long as it lives.
template <int N, class R = AutoResult>
struct Reads : R {
  static constexpr int reads = N;
};

}  // namespace kv
