// Argument kinds.  Each kind is a type with
//   type                     the C type handed to the library (a row's
//                            parameter must be exactly this type),
//   name                     the type name printed by the argument message,
//   check(L, idx) -> bool    whether the value at idx is acceptable,
//   get(L, idx)   -> type    the converted value,
// and a binding lists one kind per parameter (see call.h).  A kind may add
//   admit(L, idx, value, args) -> bool
// which runs after every argument has passed its check: false refuses the
// call without reaching the library (an object that is no longer live, a
// buffer smaller than the size given); admit sets SDL's error text and the
// binding answers its failure value (results.h).
#pragma once

#include <lua.hpp>

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>

#include "binding/boxes.h"
#include "binding/convert.h"
#include "binding/lifetime.h"

namespace kv {

// lua_isnumber and lua_tonumber in one step: false for a value that
// lua_isnumber refuses, else true with the number in `out`.  lua_tonumber
// gives 0 for anything refused, so only a 0 needs the second question.
inline bool ReadNumber(lua_State* L, int idx, lua_Number& out) {
  out = lua_tonumber(L, idx);
  return out != 0 || lua_isnumber(L, idx);
}

// The integer an enumeration value travels as: a script may pass any
// number where the library takes an enumeration, so such values are kept
// in their integer and become the enumeration only as the call's argument.
template <class T>
using StoredAs = typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>::type;

// A number converted to the C type T (any integer width, enum, float, double).
template <class T>
struct Num {
  using type = T;
  using stored = StoredAs<T>;
  static constexpr const char* name = "number";
  static bool check(lua_State* L, int idx) { return lua_isnumber(L, idx); }
  static stored get(lua_State* L, int idx) { return FromNumber<stored>(lua_tonumber(L, idx)); }
};

using U8 = Num<Uint8>;
using S8 = Num<Sint8>;
using U16 = Num<Uint16>;
using S16 = Num<Sint16>;
using U32 = Num<Uint32>;
using S32 = Num<Sint32>;
using Int = Num<int>;
using F32 = Num<float>;
using F64 = Num<double>;

// A row that converts on purpose: the kind's value goes to a parameter of
// another type by C's conversion (an int whose low 16 bits a Uint16
// parameter takes, as its function documents).  Visible in the row.
template <class K>
struct Conv : K {
  static constexpr bool converts = true;
};

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

// Any userdata, as the address it designates (a light userdata's pointer, a
// full userdata's block); for kinds that reach no memory through it.
struct Userdata {
  using type = void*;
  static constexpr const char* name = "userdata";
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static void* get(lua_State* L, int idx) { return lua_touserdata(L, idx); }
};

// ---- Library objects.

// A handle: an opaque library pointer carried by a light userdata.  Any
// userdata passes the check; one that is not a live object of the handle's
// type (released, never made by kavro, another kind of value) is refused.
template <class H, const char* TypeName, Live LiveType>
struct Handle {
  using type = H*;
  static constexpr const char* name = TypeName;
  static constexpr Live live = LiveType;
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static H* get(lua_State* L, int idx) { return static_cast<H*>(lua_touserdata(L, idx)); }
  template <class Args>
  static bool admit(lua_State*, int, H* v, const Args&) {
    if (IsLive(live, v)) return true;
    RefuseDead(live, v);
    return false;
  }
};

// A box of type D: the stored pointer, or the address of the embedded
// value.  A pointer box is admitted only while its object is live.
template <class D>
struct Box {
  using type = PayloadT<D>*;
  static constexpr const char* name = D::name;
  static constexpr Live live = D::live;
  static bool check(lua_State* L, int idx) { return ToBox<D>(L, idx) != nullptr; }
  static type get(lua_State* L, int idx) { return PayloadOf<D>(lua_touserdata(L, idx)); }
  template <class Args>
  static bool admit(lua_State*, int, type v, const Args&) requires(D::isPointer && D::live != Live::None) {
    if (IsLive(live, v)) return true;
    RefuseDead(live, v);
    return false;
  }
};

// nil (handed over as a null pointer) or a value of kind K.
template <class K>
struct Opt {
  using type = typename K::type;
  static_assert(std::is_pointer_v<type>, "only pointer-valued kinds can be optional");
  static constexpr const char* name = K::name;
  static bool check(lua_State* L, int idx) { return lua_type(L, idx) == LUA_TNIL || K::check(L, idx); }
  static type get(lua_State* L, int idx) { return lua_type(L, idx) == LUA_TNIL ? nullptr : K::get(L, idx); }
  template <class Args>
  static bool admit(lua_State* L, int idx, type v, const Args& args) requires requires { &K::template admit<Args>; } {
    return v == nullptr || K::admit(L, idx, v, args);
  }
};

// The argument whose object the call gives back to the library (a release
// binding).  After the call the object is no longer live; while another
// live object still reads it, the library call waits for that reader's
// release (see ReleaseNow).
template <class K>
struct Released : K {
  static constexpr bool releases = true;
};

// A free-source flag: non-zero hands the stream at argument StreamArg to
// the library, which closes it when done (at once, or when the object made
// from it is released).  The stream is no longer live afterwards, whether
// the call succeeded or not.
template <int StreamArg>
struct FreeSrc : Int {
  static constexpr int freesStream = StreamArg;
};

// ---- Memory bounded by other arguments of the same call.
//
// Size expressions over the converted arguments (1-based positions):
//   Arg<N>         the argument's value
//   U16Arg<N>      its low 16 bits, as a library that stores it in a Uint16
//   Eighths<N>     bytes for that many bits, rounded up
//   Times<A, B>    a product (64-bit, so two 32-bit sizes never wrap)
// A negative size is refused.
template <int N>
struct Arg {
  template <class Args>
  static int64_t bytes(const Args& a) {
    return static_cast<int64_t>(std::get<N - 1>(a));
  }
};
template <int N>
struct U16Arg {
  template <class Args>
  static int64_t bytes(const Args& a) {
    return static_cast<Uint16>(std::get<N - 1>(a));
  }
};
template <int N>
struct Eighths {
  template <class Args>
  static int64_t bytes(const Args& a) {
    int64_t bits = static_cast<int64_t>(std::get<N - 1>(a));
    return bits < 0 ? bits : (bits + 7) / 8;
  }
};
template <class A, class B>
struct Times {
  template <class Args>
  static int64_t bytes(const Args& a) {
    int64_t x = A::bytes(a), y = B::bytes(a);
    if (x < 0 || y < 0) return -1;
    return x * y;  // both below 2^32
  }
};

enum class Access { Read, Write };

// Checks memory the library will read or write for `needed` bytes: a full
// userdata is bounded by its block (and a block that holds pointers kavro
// trusts, or a Lua file, is never written); a light userdata by the rest of
// the live buffer it points into (a surface's pixels, ...); a light
// userdata pointing into nothing live is refused.  Sets SDL's error text
// when refusing.
bool AdmitMemory(lua_State* L, int idx, int64_t needed, Access access);

// Memory the library reads (In) or writes (Out), `Size` bytes of it.
template <class Size, class T = const void*>
struct In {
  using type = T;
  static constexpr const char* name = "userdata";
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static T get(lua_State* L, int idx) { return static_cast<T>(lua_touserdata(L, idx)); }
  template <class Args>
  static bool admit(lua_State* L, int idx, T, const Args& args) {
    return AdmitMemory(L, idx, Size::bytes(args), Access::Read);
  }
};
template <class Size, class T = void*>
struct Out : In<Size, T> {
  template <class Args>
  static bool admit(lua_State* L, int idx, T, const Args& args) {
    return AdmitMemory(L, idx, Size::bytes(args), Access::Write);
  }
};

// Kinds whose value can be read in the same step as their check, because
// reading it has no effect a script could see (nothing is converted in
// place or allocated), say so here with
//   fetch(L, idx, stored& out) -> bool   the check; on success also the value;
// the template then keeps the value from the check instead of asking Lua a
// second time.
template <class K>
struct Fetch {
  static constexpr bool enabled = false;
};

template <class T>
struct Fetch<Num<T>> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, StoredAs<T>& out) {
    lua_Number n;
    if (!ReadNumber(L, idx, n)) return false;
    out = FromNumber<StoredAs<T>>(n);
    return true;
  }
};

template <class D>
struct Fetch<Box<D>> {
  static constexpr bool enabled = true;
  static bool fetch(lua_State* L, int idx, PayloadT<D>*& out) {
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

template <class H, const char* TypeName, Live LiveType>
struct Fetch<Handle<H, TypeName, LiveType>> {
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

template <class K>
struct Fetch<Released<K>> : Fetch<K> {};
template <class K>
struct Fetch<Conv<K>> : Fetch<K> {};
template <int N>
struct Fetch<FreeSrc<N>> : Fetch<Int> {};

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
inline constexpr char kUserdataName[] = "userdata";

}  // namespace kv
