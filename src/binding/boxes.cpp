#include "binding/boxes.h"

#include "binding/fields.h"
#include "binding/payload_gfx.h"
#include "binding/payload_mixer.h"
#include "binding/payload_net.h"
#include "binding/payload_zip.h"

namespace kv {

const BoxTypeInfo kBoxTypes[kBoxTypeCount] = {
#define KV_BOX_INFO(Id, tag, name, mt, repr, live, raw) \
  {tag, name, mt, box::Id::isPointer, box::Id::sealed, sizeof(BlockOf<box::Id>)},
    KAVRO_BOX_TYPES(KV_BOX_INFO)
#undef KV_BOX_INFO
};

bool CarriesColorArrayMetatable(lua_State* L, int idx) {
  if (!lua_getmetatable(L, idx)) return false;
  lua_getfield(L, LUA_REGISTRYINDEX, box::ColorArray::metatable);
  bool same = lua_rawequal(L, -1, -2) != 0;
  lua_pop(L, 2);
  return same;
}

[[noreturn]] void RaiseFieldError(lua_State* L, const FieldDef& f, const char* typeName) {
  RaiseScriptError(L, "Attemp to assign a non-%s to %s.%s", f.expects, typeName, f.name);
}

void RefuseForeign(Live type, const void* given) noexcept {
  if (IsLive(type, given)) {
    SDL_SetError("%s belongs to another object", LiveName(type));
  } else {
    RefuseDead(type, given);
  }
}

void AnchorRawField(lua_State* L, Live type, const void* obj, const FieldDef& f) { Anchor(L, type, obj, 3, f.name); }

namespace {

// KAVRO_Object boxes give their host record back when collected.
int ObjectGc(lua_State* L) {
  void* block = ToBox<box::Object>(L, 1);
  RecordHeader* record = block ? PayloadOf<box::Object>(block) : nullptr;
  if (record && --record->refs <= 0 && record->destroy) record->destroy(record);
  return 0;
}

template <class D>
void RegisterMetatable(lua_State* L) {
  luaL_newmetatable(L, D::metatable);
  if constexpr (D::index == box::Object::index) {
    static const luaL_Reg gc[] = {{"__gc", ObjectGc}, {nullptr, nullptr}};
    luaL_register(L, nullptr, gc);
  } else {
    static const luaL_Reg access[] = {
        {"__index", FieldIndex<D>}, {"__newindex", FieldNewIndex<D>}, {nullptr, nullptr}};
    luaL_register(L, nullptr, access);
  }
  lua_pop(L, 1);
}

}  // namespace
}  // namespace kv

void RegisterMetatables(lua_State* L) {
#define KV_REGISTER_MT(Id, tag, name, mt, repr, live, raw) kv::RegisterMetatable<kv::box::Id>(L);
  KAVRO_BOX_TYPES(KV_REGISTER_MT)
#undef KV_REGISTER_MT
}
