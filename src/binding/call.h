// The binding template.  A binding is one table row naming the Lua function,
// the library function and one argument kind per parameter:
//
//   KV_FN(SDL_FillRect, &SDL_FillRect, Box<box::Surface>, Opt<Box<box::Rect>>, U32)
//
// From the kinds the template derives, in this order: the exact argument
// count check, the kind checks from the first argument to the last (the
// first failure stops the call with a Lua error), then the admission of the
// values (live objects, memory large enough: a refusal answers the call's
// failure value without reaching the library), and only then the library
// call and the push of its result.  Nothing is allocated or called before
// every check has passed.  The result is pushed by its C type (see
// results.h) unless the row names a result kind (KV_FNR).
//
// Each kind's C type must be exactly its parameter's type; a row that
// converts on purpose says so with Conv<K>.
//
// A library function whose first parameter is lua_State* is a shim with
// logic of its own: it receives the converted arguments, pushes its own
// results and returns their count.
#pragma once

#include <SDL.h>
#include <lua.hpp>

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "binding/error.h"
#include "binding/kinds.h"
#include "binding/lifetime.h"
#include "binding/results.h"

namespace kv {

template <size_t N>
struct FixedString {
  char s[N];
  constexpr FixedString(const char (&str)[N]) { std::copy_n(str, N, s); }
};

template <class F>
struct FnTraits;
template <class R, class... P>
struct FnTraits<R (*)(P...)> {
  using Result = R;
  using Params = std::tuple<P...>;
  static constexpr size_t arity = sizeof...(P);
};
template <class R, class... P>
struct FnTraits<R (*)(P...) noexcept> : FnTraits<R (*)(P...)> {};

template <class F>
inline constexpr bool kIsShim = [] {
  if constexpr (FnTraits<F>::arity == 0) {
    return false;
  } else {
    return std::is_same_v<std::tuple_element_t<0, typename FnTraits<F>::Params>, lua_State*>;
  }
}();

// What a kind's value is kept as between its check and the call.
template <class K>
struct StoredType {
  using type = typename K::type;
};
template <class K>
  requires requires { typename K::stored; }
struct StoredType<K> {
  using type = typename K::stored;
};
template <class K>
using StoredOf = typename StoredType<K>::type;

template <class K, class Args>
concept Admits = requires(lua_State* L, typename K::type v, const Args& a) {
  { K::admit(L, 1, v, a) } -> std::same_as<bool>;
};
template <class K>
concept Releases = requires { K::releases; };
template <class K>
concept FreesStream = requires { K::freesStream; };
template <class R>
concept ReadsArg = requires { R::reads; };
template <class K>
concept Converts = requires { K::converts; };

// Index of the first kind satisfying Pred, or -1.
template <template <class> class Pred, class... Kinds>
constexpr int FirstIndex() {
  constexpr bool hits[] = {false, Pred<Kinds>::value...};
  for (size_t i = 1; i < sizeof hits; ++i)
    if (hits[i]) return int(i) - 1;
  return -1;
}
template <class K>
struct IsReleased : std::bool_constant<Releases<K>> {};
template <class K>
struct IsFreeSrc : std::bool_constant<FreesStream<K>> {};

// Closes a stream the library was to close (a free-source flag of a call
// that was refused).
void CloseStream(void* rw);

// Count and kind checks; raises the argument errors.
template <FixedString Name, class... Kinds>
struct ArgCheck {
  static constexpr int count = sizeof...(Kinds);
  using Slots = std::tuple<StoredOf<Kinds>...>;

  template <class K>
  static inline bool one(lua_State* L, int idx, StoredOf<K>& slot) {
    if constexpr (Fetch<K>::enabled) {
      return Fetch<K>::fetch(L, idx, slot);
    } else {
      return K::check(L, idx);
    }
  }

  template <size_t... I>
  static inline void kinds(lua_State* L, Slots& slots, std::index_sequence<I...>) {
    int failed = 0;
    // && folds left to right and stops at the first failing argument.
    (void)((one<Kinds>(L, int(I) + 1, std::get<I>(slots)) || ((failed = int(I) + 1), false)) && ...);
    if (__builtin_expect(failed != 0, 0)) {
      static constexpr const char* names[] = {Kinds::name...};
      ArgTypeError(L, Name.s, failed, names[failed - 1]);
    }
  }

  // The values of kinds read only after every check has passed.
  template <size_t... I>
  static inline void rest(lua_State* L, Slots& slots, std::index_sequence<I...>) {
    (
        [&] {
          if constexpr (!Fetch<Kinds>::enabled) std::get<I>(slots) = Kinds::get(L, int(I) + 1);
        }(),
        ...);
  }

  static inline void run(lua_State* L, Slots& slots) {
    int top = lua_gettop(L);
    if (__builtin_expect(top != count, 0)) ArgCountError(L, Name.s, top, count);
    if constexpr (count > 0) {
      kinds(L, slots, std::index_sequence_for<Kinds...>{});
      rest(L, slots, std::index_sequence_for<Kinds...>{});
    }
  }
};

template <FixedString Name, auto Fn, class Result, class... Kinds>
struct Binding {
  using F = decltype(Fn);
  using Traits = FnTraits<F>;
  using R = typename Traits::Result;
  static constexpr bool shim = kIsShim<F>;
  static constexpr size_t offset = shim ? 1 : 0;
  static_assert(Traits::arity == sizeof...(Kinds) + offset, "the row's kinds do not match the function's parameters");

  template <size_t I, class K>
  static constexpr bool KindFits() {
    using P = std::tuple_element_t<I + offset, typename Traits::Params>;
    using T = typename K::type;
    if constexpr (Converts<K>) {
      return std::is_convertible_v<T, P>;
    } else if constexpr (std::is_pointer_v<T> && std::is_pointer_v<P>) {
      // A pointer may gain const on its way in.
      return std::is_same_v<std::add_const_t<std::remove_pointer_t<T>>, std::remove_pointer_t<P>> ||
             std::is_same_v<T, P>;
    } else {
      return std::is_same_v<T, P>;
    }
  }
  template <size_t... I>
  static constexpr bool KindsFit(std::index_sequence<I...>) {
    return (KindFits<I, Kinds>() && ...);
  }
  static_assert(KindsFit(std::index_sequence_for<Kinds...>{}),
                "an argument kind's type is not exactly its parameter's (Conv<K> converts on purpose)");
  static_assert((std::is_trivially_destructible_v<StoredOf<Kinds>> && ...),
                "arguments must be trivially destructible: a Lua error skips destructors");

  using Check = ArgCheck<Name, Kinds...>;
  using Slots = typename Check::Slots;

  static constexpr bool admits = (Admits<Kinds, Slots> || ...);
  static constexpr int released = FirstIndex<IsReleased, Kinds...>();
  static constexpr int freeSrc = FirstIndex<IsFreeSrc, Kinds...>();
  static_assert(!shim || (released < 0 && freeSrc < 0 && !ReadsArg<Result>),
                "a shim keeps its own lifetimes");

  template <size_t I>
  using KindAt = std::tuple_element_t<I, std::tuple<Kinds...>>;

  // The value handed to the library: enumerations become their type only
  // here, as the argument itself.
  template <size_t I>
  static inline typename KindAt<I>::type arg(const Slots& s) {
    return static_cast<typename KindAt<I>::type>(std::get<I>(s));
  }

  template <size_t... I>
  static inline bool AdmitAll(lua_State* L, const Slots& s, std::index_sequence<I...>) {
    return ([&] {
      if constexpr (Admits<KindAt<I>, Slots>) {
        return KindAt<I>::admit(L, int(I) + 1, arg<I>(s), s);
      } else {
        return true;
      }
    }() && ...);
  }

  // A refused call: a free-source flag still hands the (live) stream over,
  // as the library would have closed it whatever happened.
  static int Refused(lua_State* L, const Slots& s) {
    if constexpr (freeSrc >= 0) {
      constexpr int streamAt = KindAt<freeSrc>::freesStream - 1;
      void* stream = static_cast<void*>(arg<streamAt>(s));
      if (std::get<freeSrc>(s) != 0 && IsLive(Live::RWops, stream) &&
          ReleaseNow(L, Live::RWops, stream, &CloseStream))
        CloseStream(stream);
    }
    if constexpr (shim) {
      return Result::template fail<void*>(L);
    } else {
      return Result::template fail<R>(L);
    }
  }

  template <size_t... I>
  static inline decltype(auto) Call(lua_State* L, const Slots& s, std::index_sequence<I...>) {
    if constexpr (shim) {
      return Fn(L, arg<I>(s)...);
    } else {
      (void)L;
      return Fn(arg<I>(s)...);
    }
  }

  // The library release of an argument that waited for its readers.
  static void Release(void* p) {
    using P = std::tuple_element_t<0, typename Traits::Params>;
    Fn(static_cast<P>(p));
  }

  // What the object made by the call will keep reading (argument N): an
  // object, script memory at stack index N, or the buffer of an object.
  // Found before the call, while the made object cannot be taken for it.
  struct ReadTarget {
    Live type;
    const void* object;
    bool anchor;
  };
  template <int N>
  static ReadTarget Resolve(lua_State* L, const Slots& s) {
    using K = KindAt<N - 1>;
    if constexpr (requires { K::live; }) {
      return {K::live, arg<N - 1>(s), false};
    } else if (lua_type(L, N) == LUA_TUSERDATA) {
      return {Live::None, nullptr, true};
    } else {
      Span span = FindBuffer(lua_touserdata(L, N));
      return {span.ownerType, span.owner, false};
    }
  }

  // The made object keeps reading the target; a consumed object's anchors
  // pass to it.
  template <int N>
  static void Link(lua_State* L, const ReadTarget& target, const void* made, bool consumed) {
    constexpr Live madeLive = ResultLive<R>();
    static_assert(madeLive != Live::None, "only a tracked object can keep reading");
    if (target.anchor) {
      Anchor(L, madeLive, made, N);
    } else if (consumed) {
      PassAnchors(L, target.type, target.object, madeLive, made);
    } else if (target.object) {
      Hold(L, madeLive, made, target.type, target.object);
    }
  }

  static int call(lua_State* L) {
    Slots s{};
    Check::run(L, s);
    constexpr auto seq = std::index_sequence_for<Kinds...>{};
    if constexpr (admits) {
      if (!AdmitAll(L, s, seq)) return Refused(L, s);
    }
    if constexpr (released >= 0) {
      static_assert(Traits::arity == 1 && !shim, "a release binding takes the object alone");
      if (!ReleaseNow(L, KindAt<released>::live, static_cast<void*>(arg<released>(s)), &Release)) {
        if constexpr (std::is_void_v<R>) {
          return 0;
        } else {
          lua_pushnumber(L, 0);
          return 1;
        }
      }
    }
    if constexpr (shim && std::is_void_v<R>) {
      Call(L, s, seq);
      return 0;
    } else if constexpr (shim) {
      return Call(L, s, seq);
    } else if constexpr (freeSrc >= 0) {
      constexpr int streamAt = KindAt<freeSrc>::freesStream - 1;
      void* stream = static_cast<void*>(arg<streamAt>(s));
      const bool consume = std::get<freeSrc>(s) != 0;
      const bool held = consume && IsHeld(Live::RWops, stream);
      // A stream another object still reads is not handed over: it closes
      // when that reader is released.
      if (held) std::get<freeSrc>(s) = 0;
      ReadTarget target{};
      if constexpr (ReadsArg<Result>) target = Resolve<Result::reads>(L, s);
      R r = Call(L, s, seq);
      int n = Result::template push<R>(L, r);
      if constexpr (ReadsArg<Result>) {
        if (r) Link<Result::reads>(L, target, r, consume && !held && Result::reads == streamAt + 1);
      }
      if (consume) {
        if (held) {
          ReleaseNow(L, Live::RWops, stream, &CloseStream);
        } else {
          Kill(L, Live::RWops, stream);
        }
      }
      return n;
    } else if constexpr (std::is_void_v<R>) {
      Call(L, s, seq);
      return 0;
    } else {
      ReadTarget target{};
      if constexpr (ReadsArg<Result>) target = Resolve<Result::reads>(L, s);
      R r = Call(L, s, seq);
      int n = Result::template push<R>(L, r);
      if constexpr (ReadsArg<Result>) {
        if (r) Link<Result::reads>(L, target, r, false);
      }
      return n;
    }
  }
};

}  // namespace kv

// A row of a binding table: Lua name (also the name in its messages), the
// function, the argument kinds.
#define KV_FN(lname, fn, ...) \
  luaL_Reg { #lname, &::kv::Binding<#lname, fn, ::kv::AutoResult __VA_OPT__(, ) __VA_ARGS__>::call }
// The same with an explicit result kind (AsBool, NoResult, Reads<N>, ...).
#define KV_FNR(lname, fn, result, ...) \
  luaL_Reg { #lname, &::kv::Binding<#lname, fn, result __VA_OPT__(, ) __VA_ARGS__>::call }
