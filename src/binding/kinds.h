// Argument kinds.  Each kind is a type with
//   name                     the type name printed by the argument message,
//   check(L, idx) -> bool    whether the value at idx is acceptable,
//   get(L, idx)   -> type    the converted value handed to the library,
// and a binding lists one kind per parameter (see call.h).
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "binding/boxes.h"
#include "binding/convert.h"

namespace kv {

// lua_isnumber and lua_tonumber in one step: false for a value that
// lua_isnumber refuses, else true with the number in `out`.  lua_tonumber
// gives 0 for anything refused, so only a 0 needs the second question.
inline bool ReadNumber(lua_State* L, int idx, lua_Number& out) {
  out = lua_tonumber(L, idx);
  return out != 0 || lua_isnumber(L, idx);
}

// A number converted to the C type T (any integer width, enum, float, double).
template <class T>
struct Num {
  using type = T;
  static constexpr const char* name = "number";
  static bool check(lua_State* L, int idx) { return lua_isnumber(L, idx); }
  static T get(lua_State* L, int idx) { return FromNumber<T>(lua_tonumber(L, idx)); }
};

using U8 = Num<Uint8>;
using S8 = Num<Sint8>;
using U16 = Num<Uint16>;
using S16 = Num<Sint16>;
using U32 = Num<Uint32>;
using S32 = Num<Sint32>;
using Int = Num<int>;
using U64 = Num<Uint64>;
using F32 = Num<float>;
using F64 = Num<double>;

// A string, or a number turned into its string form in place.
struct Str {
  using type = const char*;
  static constexpr const char* name = "string";
  static bool check(lua_State* L, int idx) { return lua_isstring(L, idx); }
  static const char* get(lua_State* L, int idx) { return lua_tostring(L, idx); }
};

// A Lua boolean only, handed over as 0 or 1.
struct Bool {
  using type = int;
  static constexpr const char* name = "boolean";
  static bool check(lua_State* L, int idx) { return lua_type(L, idx) == LUA_TBOOLEAN; }
  static int get(lua_State* L, int idx) { return lua_toboolean(L, idx); }
};

// Raw memory: any userdata; a full userdata gives its block address.
struct Mem {
  using type = void*;
  static constexpr const char* name = "userdata";
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static void* get(lua_State* L, int idx) { return lua_touserdata(L, idx); }
};

// Raw memory with its size: a full userdata knows its block's size, a light
// userdata's size cannot be known (size 0, full false).
struct MemRef {
  void* ptr;
  size_t size;
  bool full;
};
struct MemSized {
  using type = MemRef;
  static constexpr const char* name = "userdata";
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static MemRef get(lua_State* L, int idx) {
    bool full = lua_type(L, idx) == LUA_TUSERDATA;
    return {lua_touserdata(L, idx), full ? lua_objlen(L, idx) : 0, full};
  }
};

// A handle: an opaque library pointer carried by a light userdata.
template <class H, const char* TypeName>
struct Handle {
  using type = H*;
  static constexpr const char* name = TypeName;
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static H* get(lua_State* L, int idx) { return static_cast<H*>(lua_touserdata(L, idx)); }
};

// A box of type D: the stored pointer, or the address of the embedded value.
template <class D>
struct Box {
  using type = typename D::Type*;
  static constexpr const char* name = D::name;
  static bool check(lua_State* L, int idx) { return ToBox<D>(L, idx) != nullptr; }
  static type get(lua_State* L, int idx) { return PayloadOf<D>(lua_touserdata(L, idx)); }
};

// nil (handed over as a null pointer) or a value of kind K.
template <class K>
struct Opt {
  using type = typename K::type;
  static_assert(std::is_pointer_v<type>, "only pointer-valued kinds can be optional");
  static constexpr const char* name = K::name;
  static bool check(lua_State* L, int idx) { return lua_type(L, idx) == LUA_TNIL || K::check(L, idx); }
  static type get(lua_State* L, int idx) { return lua_type(L, idx) == LUA_TNIL ? nullptr : K::get(L, idx); }
};

// Kinds whose value can be read in the same step as their check, because
// reading it has no effect a script could see (nothing is converted in
// place or allocated), say so here with
//   fetch(L, idx, type& out) -> bool   the check; on success also the value;
// the template then keeps the value from the check instead of asking Lua a
// second time.  The specialisations name exact kinds: a kind derived from
// one of these (with a get of its own) is not matched and keeps check/get.
template <class K>
struct Fetch {
  static constexpr bool enabled = false;
};

template <class T>
struct Fetch<Num<T>> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, T& out) {
    lua_Number n;
    if (!ReadNumber(L, idx, n)) return false;
    out = FromNumber<T>(n);
    return true;
  }
};

template <class D>
struct Fetch<Box<D>> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, typename D::Type*& out) {
    void* block = ToBox<D>(L, idx);
    if (!block) return false;
    out = PayloadOf<D>(block);
    return true;
  }
};

// lua_touserdata gives null for anything lua_isuserdata refuses.
inline bool FetchUserdata(lua_State* L, int idx, void*& out) {
  out = lua_touserdata(L, idx);
  return out != nullptr || lua_isuserdata(L, idx);
}

template <>
struct Fetch<Mem> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, void*& out) { return FetchUserdata(L, idx, out); }
};

template <class H, const char* TypeName>
struct Fetch<Handle<H, TypeName>> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, H*& out) {
    void* p = nullptr;
    bool ok = FetchUserdata(L, idx, p);
    out = static_cast<H*>(p);
    return ok;
  }
};

template <class K>
struct Fetch<Opt<K>> {
  static constexpr bool enabled = Fetch<K>::enabled;
  static bool fetch(lua_State* L, int idx, typename K::type& out) {
    if (lua_type(L, idx) == LUA_TNIL) {
      out = nullptr;
      return true;
    }
    return Fetch<K>::fetch(L, idx, out);
  }
};

// Type names of the handle kinds.
inline constexpr char kTTF_Font[] = "TTF_Font";
inline constexpr char kMIX_Music[] = "MIX_Music";
inline constexpr char kSDL_Joystick[] = "SDL_Joystick";
inline constexpr char kSDL_mutex[] = "SDL_mutex";
inline constexpr char kSDL_sem[] = "SDL_sem";
inline constexpr char kSDL_cond[] = "SDL_cond";
inline constexpr char kTCPsocket[] = "TCPsocket";
inline constexpr char kUDPsocket[] = "UDPsocket";
inline constexpr char kNET_SocketSet[] = "NET_SocketSet";

}  // namespace kv
