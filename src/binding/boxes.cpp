#include "binding/boxes.h"

#include "binding/fields.h"

namespace kv {

const BoxTypeInfo kBoxTypes[kBoxTypeCount] = {
#define KV_BOX_INFO(Id, T, tag, name, mt, repr) \
  {tag, name, mt, box::Id::isPointer, sizeof(box::Id::BlockType)},
    KAVRO_BOX_TYPES(KV_BOX_INFO)
#undef KV_BOX_INFO
};

[[noreturn]] void RaiseFieldError(lua_State* L, const FieldDef& f, const char* typeName) {
  RaiseScriptError(L, "Attemp to assign a non-%s to %s.%s", f.expects, typeName, f.name);
}

namespace {

// KAVRO_Object boxes give their host record back when collected.
int ObjectGc(lua_State* L) {
  void* block = ToBox<box::Object>(L, 1);
  if (block) {
    RecordHeader* record = PayloadOf<box::Object>(block);
    if (record) Release(record);
  }
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
#define KV_REGISTER_MT(Id, T, tag, name, mt, repr) kv::RegisterMetatable<kv::box::Id>(L);
  KAVRO_BOX_TYPES(KV_REGISTER_MT)
#undef KV_REGISTER_MT
}
