// Field accessors: the __index and __newindex functions of the box
// metatables.  Each box type has a table of rows (name, member, kind) in the
// order in which keys are matched; the row makers below derive the read and
// the write of a row from its member pointer and kind.
#pragma once

#include <lua.hpp>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "binding/boxes.h"
#include "binding/convert.h"
#include "binding/error.h"
#include "binding/kinds.h"
#include "binding/lifetime.h"

namespace kv {

// A field's write tests the value's kind first (false: the field's message
// is raised) and stores it only into a live object: `obj` is null when the
// object behind the box is not live, and the value is then dropped.
struct FieldDef {
  const char* name;
  uint32_t len;
  void (*get)(lua_State* L, void* obj);              // pushes the value
  bool (*set)(lua_State* L, void* obj, int valueIdx);  // false: wrong kind; null: read-only
  const char* expects;                                 // "number" or "userdata", for the message
  bool raw = false;                                    // a raw pointer member
  // A kept member (see KeepMember): its address in an object, its size and
  // the bits of it the library's value is put back in.
  void* (*member)(void* obj) = nullptr;
  uint32_t size = 0;
  uint64_t keptBits = 0;
};

struct FieldTable {
  const FieldDef* rows;
  int count;
};

// Each box type's table, defined beside the others in fields_*.cpp.
template <class D>
struct FieldsOf {
  static const FieldTable table;
};

template <auto M>
struct Member;
template <class S, class T, T S::*M>
struct Member<M> {
  using Struct = S;
  using Type = T;
};

constexpr uint32_t NameLength(const char* s) { return static_cast<uint32_t>(std::string_view(s).size()); }

// Copies the members of a structure that its field table lists.  A whole
// copy, except where a type holds members a script cannot see.
template <class T>
inline void CopyListed(T* dst, const T* src) {
  *dst = *src;
}
template <>
inline void CopyListed<SDL_AudioSpec>(SDL_AudioSpec* dst, const SDL_AudioSpec* src) {
  dst->freq = src->freq;
  dst->format = src->format;
  dst->channels = src->channels;
  dst->silence = src->silence;
  dst->samples = src->samples;
  dst->padding = src->padding;
  dst->size = src->size;
  dst->userdata = src->userdata;
}

// An enumeration member is read and written through its integer's bytes
// (StoredAs): a script may store any number in it.

template <auto M>
inline StoredAs<typename Member<M>::Type> LoadMember(void* o) {
  auto& member = static_cast<typename Member<M>::Struct*>(o)->*M;
  if constexpr (std::is_enum_v<typename Member<M>::Type>) {
    StoredAs<typename Member<M>::Type> v;
    std::memcpy(&v, &member, sizeof v);
    return v;
  } else {
    return member;
  }
}

template <auto M>
inline void StoreMember(void* o, StoredAs<typename Member<M>::Type> v) {
  auto& member = static_cast<typename Member<M>::Struct*>(o)->*M;
  if constexpr (std::is_enum_v<typename Member<M>::Type>) {
    std::memcpy(&member, &v, sizeof v);
  } else {
    member = v;
  }
}

// A number member, converted as arguments are.  As names the C type the
// value is read and converted as, when it differs from the member's.
template <auto M, class As = StoredAs<typename Member<M>::Type>>
constexpr FieldDef num(const char* name) {
  using Stored = StoredAs<typename Member<M>::Type>;
  return {name, NameLength(name),
          [](lua_State* L, void* o) { lua_pushnumber(L, static_cast<lua_Number>(static_cast<As>(LoadMember<M>(o)))); },
          [](lua_State* L, void* o, int v) {
            lua_Number n;
            if (!ReadNumber(L, v, n)) return false;
            if (o) StoreMember<M>(o, static_cast<Stored>(FromNumber<As>(n)));
            return true;
          },
          "number"};
}

// A truth-value member: reads as a boolean, takes booleans only.
template <auto M>
constexpr FieldDef flag(const char* name) {
  using S = typename Member<M>::Struct;
  return {name, NameLength(name), [](lua_State* L, void* o) { lua_pushboolean(L, (static_cast<S*>(o)->*M) != 0); },
          [](lua_State* L, void* o, int v) {
            if (lua_type(L, v) != LUA_TBOOLEAN) return false;
            if (o) static_cast<S*>(o)->*M = lua_toboolean(L, v) ? 1 : 0;
            return true;
          },
          "number"};
}

// A raw pointer member: a light userdata; takes any userdata's address.
template <auto M>
constexpr FieldDef raw(const char* name) {
  using S = typename Member<M>::Struct;
  using T = typename Member<M>::Type;
  return {name, NameLength(name),
          [](lua_State* L, void* o) {
            lua_pushlightuserdata(L, const_cast<void*>(static_cast<const void*>(static_cast<S*>(o)->*M)));
          },
          [](lua_State* L, void* o, int v) {
            if (!lua_isuserdata(L, v)) return false;
            if (o) static_cast<S*>(o)->*M = static_cast<T>(lua_touserdata(L, v));
            return true;
          },
          "userdata", true};
}

// Refuses an object field write: the value is dropped and SDL's error text
// says why ("... has been released", "... belongs to another object").
void RefuseForeign(Live type, const void* given) noexcept;

// A pointer member read as a pointer box of D (nil when null); the object
// read through a live owner is live itself.  Written from a box of D only,
// and then only with the object the member already holds: the library
// frees what these members point to with their owner, so another object's
// (or a released one) is refused like a dead argument.
template <auto M, class D>
constexpr FieldDef ref(const char* name) {
  using S = typename Member<M>::Struct;
  static_assert(D::isPointer && D::live != Live::None);
  return {name, NameLength(name),
          [](lua_State* L, void* o) {
            auto p = static_cast<S*>(o)->*M;
            if (p) PushLive<D>(L, p); else lua_pushnil(L);
          },
          [](lua_State* L, void* o, int v) {
            void* block = ToBox<D>(L, v);
            if (!block) return false;
            const void* given = PayloadOf<D>(block);
            if (o && given != static_cast<S*>(o)->*M) RefuseForeign(D::live, given);
            return true;
          },
          "userdata"};
}

// An embedded structure read as a new value box holding a copy; written
// from a value box of D only, copying the members D lists.
template <auto M, class D>
constexpr FieldDef copy(const char* name) {
  using S = typename Member<M>::Struct;
  using T = typename Member<M>::Type;
  static_assert(!D::isPointer && std::is_same_v<T, PayloadT<D>>);
  return {name, NameLength(name), [](lua_State* L, void* o) { PushBox<D>(L, static_cast<S*>(o)->*M); },
          [](lua_State* L, void* o, int v) {
            void* block = ToBox<D>(L, v);
            if (!block) return false;
            if (o) CopyListed<T>(&(static_cast<S*>(o)->*M), PayloadOf<D>(block));
            return true;
          },
          "userdata"};
}

// The row `f` over a member the library frees or trusts at release: what
// the script writes there is undone when the object dies (only `bits` of a
// number member, such as one flag).
template <auto M>
constexpr FieldDef kept(FieldDef f, uint64_t bits = ~uint64_t{0}) {
  using S = typename Member<M>::Struct;
  f.member = [](void* o) -> void* { return &(static_cast<S*>(o)->*M); };
  f.size = sizeof(typename Member<M>::Type);
  f.keptBits = bits;
  return f;
}

// A bit field (no member pointer exists for one): stores only its own bits.
#define KV_BITFIELD(S, member)                                                                            \
  ::kv::FieldDef {                                                                                        \
    #member, ::kv::NameLength(#member),                                                                   \
        [](lua_State* L, void* o) { lua_pushnumber(L, static_cast<lua_Number>(static_cast<S*>(o)->member)); }, \
        [](lua_State* L, void* o, int v) {                                                                \
          if (!lua_isnumber(L, v)) return false;                                                          \
          if (o) static_cast<S*>(o)->member = ::kv::FromNumber<Uint32>(lua_tonumber(L, v));               \
          return true;                                                                                    \
        },                                                                                                \
        "number"                                                                                          \
  }

#define KV_FIELD_TABLE(Id, ...)                                                      \
  namespace {                                                                        \
  constexpr ::kv::FieldDef kRows_##Id[] = {__VA_ARGS__};                             \
  }                                                                                  \
  template <>                                                                        \
  const ::kv::FieldTable kv::FieldsOf<::kv::box::Id>::table = {                      \
      kRows_##Id, static_cast<int>(sizeof(kRows_##Id) / sizeof(kRows_##Id[0]))};

// Declarations of every box type's table (all but KAVRO_Object, which has
// no fields).
#define KV_DECLARE_FIELDS(Id, tag, name, mt, repr, live, raw) \
  template <>                                        \
  const FieldTable FieldsOf<box::Id>::table;
KAVRO_BOX_TYPES(KV_DECLARE_FIELDS)
#undef KV_DECLARE_FIELDS

// Field names are short: comparing them byte by byte costs less than a call
// to memcmp, and keeps the accessors free of calls while they search.
inline bool SameName(const char* name, const char* key, size_t len) {
  for (size_t i = 0; i < len; ++i)
    if (name[i] != key[i]) return false;
  return true;
}

inline const FieldDef* FindField(const FieldTable& t, const char* key, size_t len) {
  for (int i = 0; i < t.count; ++i) {
    const FieldDef& f = t.rows[i];
    if (f.len == len && SameName(f.name, key, len)) return &f;
  }
  return nullptr;
}

// The key as a field name: strings, and numbers turned into strings in
// place; null (with length 0) for any other key.
inline const char* FieldKey(lua_State* L, size_t* len) { return lua_tolstring(L, 2, len); }

// The object behind a box whose field is read or written: the payload, or
// null (with SDL's error text set) when the box's object is not live.
template <class D>
inline void* FieldObject(void* block) {
  PayloadT<D>* obj = PayloadOf<D>(block);
  if constexpr (D::isPointer && D::live != Live::None) {
    if (!IsLive(D::live, obj)) {
      RefuseDead(D::live, obj);
      return nullptr;
    }
  }
  return obj;
}

// __index: the field's value, or the key itself for a name the type lacks;
// nil for a field of an object that is no longer live.
template <class D>
int FieldIndex(lua_State* L) {
  void* block = ToBox<D>(L, 1);
  size_t len = 0;
  const char* key = FieldKey(L, &len);
  const FieldDef* f = (block && key && len) ? FindField(FieldsOf<D>::table, key, len) : nullptr;
  if (!f) {
    lua_settop(L, 2);
    return 1;
  }
  void* obj = FieldObject<D>(block);
  if (obj) f->get(L, obj); else lua_pushnil(L);
  return 1;
}

[[noreturn]] void RaiseFieldError(lua_State* L, const FieldDef& f, const char* typeName);

// Keeps a script's memory stored in a raw pointer member alive while the
// object lives.
void AnchorRawField(lua_State* L, Live type, const void* obj, const FieldDef& f);

// __newindex: stores a value of the right kind; a name the type lacks (or a
// read-only field) is ignored, and so is a write to an object that is no
// longer live (after the value's kind was checked).
template <class D>
int FieldNewIndex(lua_State* L) {
  void* block = ToBox<D>(L, 1);
  size_t len = 0;
  const char* key = FieldKey(L, &len);
  const FieldDef* f = (block && key && len) ? FindField(FieldsOf<D>::table, key, len) : nullptr;
  if (!f || !f->set) return 0;
  if constexpr (D::isPointer && D::live != Live::None) {
    PayloadT<D>* obj = PayloadOf<D>(block);
    const bool live = IsLive(D::live, obj);
    if (live && f->member) KeepMember(D::live, obj, f->member(obj), f->size, f->keptBits);
    if (!f->set(L, live ? obj : nullptr, 3)) RaiseFieldError(L, *f, D::name);
    if (live && f->member) NoteMember(D::live, obj, f->member(obj), f->size);
    if (!live) {
      RefuseDead(D::live, obj);
    } else if (f->raw && lua_type(L, 3) == LUA_TUSERDATA) {
      AnchorRawField(L, D::live, obj, *f);
    }
  } else {
    if (!f->set(L, PayloadOf<D>(block), 3)) RaiseFieldError(L, *f, D::name);
  }
  return 0;
}

}  // namespace kv
