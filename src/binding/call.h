// The binding template.  A binding is one table row naming the Lua function,
// the library function and one argument kind per parameter:
//
//   KV_FN(SDL_FillRect, &SDL_FillRect, Box<box::Surface>, Opt<Box<box::Rect>>, U32)
//
// From the kinds the template derives, in this order: the exact argument
// count check, the kind checks from the first argument to the last (the
// first failure stops the call), and only then the conversions, the library
// call and the push of its result.  Nothing is allocated or called before
// every check has passed.  The result is pushed by its C type (see
// results.h) unless the row names a result kind (KV_FNR).
//
// A library function whose first parameter is lua_State* is a shim with
// logic of its own: it receives the converted arguments, pushes its own
// results and returns their count.
#pragma once

#include <lua.hpp>

#include <algorithm>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "binding/error.h"
#include "binding/kinds.h"
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

// Where an argument waits between its check and the call: the value itself
// for kinds read while checking (see Fetch in kinds.h), nothing for the
// others, which are read by their get after all checks have passed.
template <class K, bool = Fetch<K>::enabled>
struct Slot {};
template <class K>
struct Slot<K, true> {
  typename K::type value;
};

// Count and kind checks; raises the argument errors.
template <FixedString Name, class... Kinds>
struct ArgCheck {
  static constexpr int count = sizeof...(Kinds);
  using Slots = std::tuple<Slot<Kinds>...>;

  template <class K>
  static inline bool one(lua_State* L, int idx, Slot<K>& slot) {
    if constexpr (Fetch<K>::enabled) {
      return Fetch<K>::fetch(L, idx, slot.value);
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

  static inline void run(lua_State* L, Slots& slots) {
    int top = lua_gettop(L);
    if (__builtin_expect(top != count, 0)) ArgCountError(L, Name.s, top, count);
    if constexpr (count > 0) kinds(L, slots, std::index_sequence_for<Kinds...>{});
  }
};

template <FixedString Name, auto Fn, class Result, class... Kinds>
struct Binding {
  using F = decltype(Fn);
  using Traits = FnTraits<F>;
  static constexpr bool shim = kIsShim<F>;
  static constexpr size_t offset = shim ? 1 : 0;
  static_assert(Traits::arity == sizeof...(Kinds) + offset, "the row's kinds do not match the function's parameters");

  template <size_t... I>
  static constexpr bool KindsFit(std::index_sequence<I...>) {
    return (std::is_convertible_v<typename Kinds::type, std::tuple_element_t<I + offset, typename Traits::Params>> &&
            ...);
  }
  static_assert(KindsFit(std::index_sequence_for<Kinds...>{}), "an argument kind does not fit its parameter");

  using Check = ArgCheck<Name, Kinds...>;

  // The converted argument: kept from the check, or read now.
  template <class K>
  static inline typename K::type take(lua_State* L, int idx, Slot<K>& slot) {
    if constexpr (Fetch<K>::enabled) {
      return slot.value;
    } else {
      return K::get(L, idx);
    }
  }

  template <size_t... I>
  static inline int invoke(lua_State* L, typename Check::Slots& slots, std::index_sequence<I...>) {
    if constexpr (shim) {
      return Fn(L, take<Kinds>(L, int(I) + 1, std::get<I>(slots))...);
    } else if constexpr (std::is_void_v<typename Traits::Result>) {
      Fn(take<Kinds>(L, int(I) + 1, std::get<I>(slots))...);
      return 0;
    } else {
      return Result::template push<typename Traits::Result>(
          L, Fn(take<Kinds>(L, int(I) + 1, std::get<I>(slots))...));
    }
  }

  static int call(lua_State* L) {
    typename Check::Slots slots{};
    Check::run(L, slots);
    return invoke(L, slots, std::index_sequence_for<Kinds...>{});
  }
};

}  // namespace kv

// A row of a binding table: Lua name (also the name in its messages), the
// function, the argument kinds.
#define KV_FN(lname, fn, ...) \
  luaL_Reg { #lname, &::kv::Binding<#lname, fn, ::kv::AutoResult __VA_OPT__(, ) __VA_ARGS__>::call }
// The same with an explicit result kind (AsBool, NoResult, ...).
#define KV_FNR(lname, fn, result, ...) \
  luaL_Reg { #lname, &::kv::Binding<#lname, fn, result __VA_OPT__(, ) __VA_ARGS__>::call }
