// Field access on boxes, checked in the C structures themselves: each box
// type's fields are described here from the library headers (offset and
// width by offsetof/sizeof, kind by the member's meaning), every field is
// written and read through Lua, and the bytes of the structure are inspected
// afterwards, including the bytes around the field.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_framerate.h>
#include <SDL_mixer.h>
#include <SDL_net.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "binding/boxes.h"
#include "binding/fields.h"
#include "binding/payload_gfx.h"
#include "binding/payload_mixer.h"
#include "binding/payload_net.h"
#include "binding/payload_zip.h"
#include "support/lua_state.h"

namespace {

enum class Kind { U8, U16, S16, U32, S32, F32, F64, Flag, Raw, Ref, Copy, Special };

struct Row {
  const char* name;
  Kind kind;
  size_t offset = 0;
  size_t size = 0;
  // Ref / Copy: the box the field reads as.
  int32_t tag = 0;
  const char* metatable = nullptr;
  void (*push)(lua_State* L, void* src) = nullptr;  // a box of that type from a pointer / value
  void* (*payload)(lua_State* L, int idx) = nullptr;
  size_t blockSize = 0;
  // Copy: a range of the embedded structure that an assignment keeps.
  size_t keepOffset = 0;
  size_t keepSize = 0;
};

template <class D>
struct Ops {
  static void Push(lua_State* L, void* src) {
    if constexpr (D::isPointer) {
      kv::PushBox<D>(L, static_cast<kv::PayloadT<D>*>(src));
    } else {
      kv::PushBox<D>(L, *static_cast<kv::PayloadT<D>*>(src));
    }
  }
  static void* Payload(lua_State* L, int idx) {
    void* block = kv::ToBox<D>(L, idx);
    return block ? static_cast<void*>(kv::PayloadOf<D>(block)) : nullptr;
  }
};

#define MSIZE(S, m) sizeof(static_cast<S*>(nullptr)->m)
#define NUM(S, m, K) Row{#m, Kind::K, offsetof(S, m), MSIZE(S, m)}
#define FLAG(S, m) Row{#m, Kind::Flag, offsetof(S, m), MSIZE(S, m)}
#define RAW(S, m) Row{#m, Kind::Raw, offsetof(S, m), MSIZE(S, m)}
#define REF(S, m, D, tagv, mt)                                                                                 \
  Row{#m, Kind::Ref, offsetof(S, m), MSIZE(S, m), tagv, mt, &Ops<kv::box::D>::Push, &Ops<kv::box::D>::Payload, \
      sizeof(kv::BlockOf<kv::box::D>)}
#define COPY(S, m, D, tagv, mt)                                                                                 \
  Row{#m, Kind::Copy, offsetof(S, m), MSIZE(S, m), tagv, mt, &Ops<kv::box::D>::Push, &Ops<kv::box::D>::Payload, \
      sizeof(kv::BlockOf<kv::box::D>)}
#define SPECIAL(name) Row{name, Kind::Special}

// A number assigned from Lua and the value the member must then hold.
struct NumCase {
  const char* lua;
  double expect;
};

size_t KindWidth(Kind k) {
  switch (k) {
    case Kind::U8: return 1;
    case Kind::U16:
    case Kind::S16: return 2;
    case Kind::U32:
    case Kind::S32:
    case Kind::F32: return 4;
    case Kind::F64: return 8;
    default: return 0;
  }
}

std::vector<NumCase> CasesFor(Kind k) {
  switch (k) {
    case Kind::U8:
      return {{"300", 44}, {"7.9", 7}, {"'12'", 12}, {"-1", 255}, {"255", 255}, {"40000", 0}, {"0/0", 0}};
    case Kind::U16:
      return {{"70000", 4464}, {"-1", 65535}, {"'12'", 12}, {"65535", 65535}, {"1.99", 1}, {"-2.5", 65534}};
    case Kind::S16:
      return {{"-5.7", -5}, {"'12'", 12}, {"-32768", -32768}, {"32767", 32767}, {"40000", -32768}, {"65535", -32768}};
    case Kind::U32:
      return {{"-1", 4294967295.0},       {"4294967295", 4294967295.0}, {"3000000000", 3000000000.0},
              {"'12'", 12},               {"2.5", 2},                   {"4294967296", 0},
              {"-4294967295", 1}};
    case Kind::S32:
      return {{"-7.9", -7}, {"2147483647", 2147483647.0}, {"'12'", 12}, {"-2147483648", -2147483648.0},
              {"3000000000", -2147483648.0}, {"1/0", -2147483648.0}};
    case Kind::F32:
      return {{"1.5", 1.5}, {"'12'", 12}, {"-0.25", -0.25}, {"0.1", static_cast<double>(0.1f)}};
    case Kind::F64:
      return {{"0.1", 0.1}, {"'12'", 12}, {"1e300", 1e300}, {"-7.75", -7.75}};
    default:
      return {};
  }
}

// A value read back through Lua after being put into the member from C.
double ReadSample(Kind k) {
  switch (k) {
    case Kind::U8: return 200;
    case Kind::U16: return 65000;
    case Kind::S16: return -2;
    case Kind::U32: return 4294967294.0;
    case Kind::S32: return -123456;
    case Kind::F32: return 0.75;
    case Kind::F64: return -2.5e-7;
    default: return 0;
  }
}

// Writes `v` into the member's bytes as the member's C type would hold it.
void PutNumber(uint8_t* p, Kind k, size_t size, double v) {
  if (k == Kind::F32) {
    float f = static_cast<float>(v);
    std::memcpy(p, &f, 4);
  } else if (k == Kind::F64) {
    std::memcpy(p, &v, 8);
  } else {
    // Two's complement, little-endian; an unsigned long member holding a
    // 32-bit value is zero-extended.
    int64_t i = static_cast<int64_t>(v);
    std::memcpy(p, &i, size);
  }
}

std::string Hex(const uint8_t* p, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

class FieldAccess : public LuaTest {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    LuaTest::SetUp();
  }
  void TearDown() override {
    LuaTest::TearDown();
    for (auto it = cleanups.rbegin(); it != cleanups.rend(); ++it) (*it)();
    cleanups.clear();
    SDL_Quit();
  }

  void InitVideo() { ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError(); }

  // A pointer box of `object` as the global `name`, live for the layer as
  // if a binding had handed it out.
  template <class D>
  kv::PayloadT<D>* ExposePtr(kv::PayloadT<D>* object, const char* name = "obj") {
    kv::PushLive<D>(L, object);
    lua_setglobal(L, name);
    return object;
  }

  // A value box holding a patterned structure as the global `name`; returns
  // the structure inside the box.
  template <class D>
  kv::PayloadT<D>* ExposeValue(const char* name = "obj") {
    kv::PayloadT<D> value;
    auto* bytes = reinterpret_cast<uint8_t*>(&value);
    for (size_t i = 0; i < sizeof value; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    kv::PushBox<D>(L, value);
    void* payload = Ops<D>::Payload(L, -1);
    lua_setglobal(L, name);
    return static_cast<kv::PayloadT<D>*>(payload);
  }

  // A full userdata of `size` bytes starting with `tag`, as a global.
  void FakeBlock(const char* name, size_t size, int32_t tag) {
    void* p = lua_newuserdata(L, size);
    std::memset(p, 0x5A, size);
    std::memcpy(p, &tag, sizeof tag);
    lua_setglobal(L, name);
  }

  std::string SetMsg(const char* expects, const char* type, const char* field) {
    return std::string("test:1: Attemp to assign a non-") + expects + " to " + type + "." + field;
  }

  // Every byte of the structure outside [off, off+len) equals `before`.
  void ExpectOnly(const uint8_t* obj, const std::vector<uint8_t>& before, size_t off, size_t len) {
    for (size_t i = 0; i < before.size(); ++i) {
      if (i >= off && i < off + len) continue;
      if (obj[i] != before[i]) {
        ADD_FAILURE() << "byte " << i << " outside the field [" << off << "," << off + len << ") changed from "
                      << int(before[i]) << " to " << int(obj[i]);
        return;
      }
    }
  }
  void ExpectUnchanged(const uint8_t* obj, const std::vector<uint8_t>& before) { ExpectOnly(obj, before, 0, 0); }

  // Checks the box at the top of the stack: tag, metatable and block size.
  void ExpectBoxOnTop(const Row& r) {
    ASSERT_EQ(lua_type(L, -1), LUA_TUSERDATA);
    EXPECT_EQ(lua_objlen(L, -1), r.blockSize);
    int32_t tag;
    std::memcpy(&tag, lua_touserdata(L, -1), sizeof tag);
    EXPECT_EQ(tag, r.tag);
    ASSERT_TRUE(lua_getmetatable(L, -1));
    luaL_getmetatable(L, r.metatable);
    EXPECT_TRUE(lua_rawequal(L, -1, -2)) << "metatable is not " << r.metatable;
    lua_pop(L, 2);
  }

  void CheckNumber(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    if (r.kind == Kind::U32) {
      ASSERT_TRUE(r.size == 4 || r.size == 8) << "member width " << r.size;
    } else {
      ASSERT_EQ(r.size, KindWidth(r.kind)) << "member width";
    }
    std::string f = std::string("obj.") + r.name;
    for (const NumCase& c : CasesFor(r.kind)) {
      SCOPED_TRACE(std::string("assigning ") + c.lua);
      Exec(f + " = " + c.lua);
      uint8_t expect[8] = {};
      PutNumber(expect, r.kind, r.size, c.expect);
      EXPECT_EQ(Hex(obj + r.offset, r.size), Hex(expect, r.size));
      ExpectOnly(obj, before, r.offset, r.size);
      EXPECT_EQ(Num(f), c.expect);
      std::memcpy(obj, before.data(), before.size());
    }
    PutNumber(obj + r.offset, r.kind, r.size, ReadSample(r.kind));
    EXPECT_EQ(Num(f), ReadSample(r.kind));
    std::memcpy(obj, before.data(), before.size());
    for (const char* bad : {"true", "'abc'", "nil", "{}", "obj", "'0x'"}) {
      EXPECT_EQ(Run(f + " = " + bad), SetMsg("number", type, r.name)) << bad;
      ExpectUnchanged(obj, before);
    }
  }

  void CheckFlag(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    ASSERT_EQ(r.size, 4u);
    std::string f = std::string("obj.") + r.name;
    int32_t v = 5;
    std::memcpy(obj + r.offset, &v, 4);
    EXPECT_EQ(Type(f), "boolean");
    EXPECT_TRUE(Bool(f));
    v = 0;
    std::memcpy(obj + r.offset, &v, 4);
    EXPECT_FALSE(Bool(f));
    Exec(f + " = true");
    std::memcpy(&v, obj + r.offset, 4);
    EXPECT_EQ(v, 1);
    ExpectOnly(obj, before, r.offset, 4);
    Exec(f + " = false");
    std::memcpy(&v, obj + r.offset, 4);
    EXPECT_EQ(v, 0);
    std::memcpy(obj, before.data(), before.size());
    for (const char* bad : {"1", "0", "'true'", "nil", "obj"}) {
      EXPECT_EQ(Run(f + " = " + bad), SetMsg("number", type, r.name)) << bad;
      ExpectUnchanged(obj, before);
    }
  }

  void CheckRaw(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    ASSERT_EQ(r.size, sizeof(void*));
    std::string f = std::string("obj.") + r.name;
    void* p = reinterpret_cast<void*>(uintptr_t{0x12345678});
    std::memcpy(obj + r.offset, &p, sizeof p);
    Exec("got = " + f);
    lua_getglobal(L, "got");
    EXPECT_EQ(lua_type(L, -1), LUA_TLIGHTUSERDATA);
    EXPECT_EQ(lua_touserdata(L, -1), p);
    lua_pop(L, 1);
    p = nullptr;
    std::memcpy(obj + r.offset, &p, sizeof p);
    Exec("got = " + f);
    lua_getglobal(L, "got");
    EXPECT_EQ(lua_type(L, -1), LUA_TLIGHTUSERDATA) << "a null pointer reads as a light userdata";
    EXPECT_EQ(lua_touserdata(L, -1), nullptr);
    lua_pop(L, 1);
    std::memcpy(obj, before.data(), before.size());

    void* light = reinterpret_cast<void*>(uintptr_t{0xBEEF0});
    lua_pushlightuserdata(L, light);
    lua_setglobal(L, "light");
    Exec(f + " = light");
    std::memcpy(&p, obj + r.offset, sizeof p);
    EXPECT_EQ(p, light);
    ExpectOnly(obj, before, r.offset, r.size);
    void* block = lua_newuserdata(L, 24);
    lua_setglobal(L, "full");
    Exec(f + " = full");
    std::memcpy(&p, obj + r.offset, sizeof p);
    EXPECT_EQ(p, block) << "a full userdata gives its block address";
    std::memcpy(obj, before.data(), before.size());
    for (const char* bad : {"5", "'x'", "true", "nil", "{}"}) {
      EXPECT_EQ(Run(f + " = " + bad), SetMsg("userdata", type, r.name)) << bad;
      ExpectUnchanged(obj, before);
    }
  }

  // Userdata that are not boxes of the row's type; each must be refused.
  void CheckRefusedBoxes(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    std::string f = std::string("obj.") + r.name;
    FakeBlock("wrongTag", r.blockSize, r.tag + 1);
    FakeBlock("wrongSize", r.blockSize + 8, r.tag);
    FakeBlock("shortBlock", 4, r.tag);
    SDL_version version{};
    kv::PushBox<kv::box::Version>(L, &version);
    lua_setglobal(L, "otherBox");
    lua_pushlightuserdata(L, obj);
    lua_setglobal(L, "light");
    for (const char* bad : {"5", "'x'", "nil", "true", "light", "otherBox", "wrongTag", "wrongSize", "shortBlock"}) {
      EXPECT_EQ(Run(f + " = " + bad), SetMsg("userdata", type, r.name)) << bad;
      ExpectUnchanged(obj, before);
    }
  }

  void CheckRef(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    ASSERT_EQ(r.size, sizeof(void*));
    std::string f = std::string("obj.") + r.name;
    void* current;
    std::memcpy(&current, obj + r.offset, sizeof current);
    lua_getglobal(L, "obj");
    lua_getfield(L, -1, r.name);
    if (current == nullptr) {
      EXPECT_EQ(lua_type(L, -1), LUA_TNIL);
    } else {
      ExpectBoxOnTop(r);
      EXPECT_EQ(r.payload(L, -1), current);
    }
    lua_pop(L, 2);

    alignas(16) static uint8_t storage[512];
    void* other = storage;
    std::memcpy(obj + r.offset, &other, sizeof other);
    lua_getglobal(L, "obj");
    lua_getfield(L, -1, r.name);
    ExpectBoxOnTop(r);
    EXPECT_EQ(r.payload(L, -1), other);
    lua_pop(L, 2);
    void* null = nullptr;
    std::memcpy(obj + r.offset, &null, sizeof null);
    EXPECT_EQ(Type(f), "nil") << "a null pointer reads as nil";
    std::memcpy(obj, before.data(), before.size());

    // The member takes only the object it holds: another one (here live,
    // read through the owner above) is refused and nothing changes.
    r.push(L, other);
    lua_setglobal(L, "src");
    Exec(f + " = src");
    ExpectUnchanged(obj, before);
    if (current != nullptr) {
      Exec("own = " + f + "; " + f + " = own");
      ExpectUnchanged(obj, before);
    }
    CheckRefusedBoxes(obj, before, r, type);
  }

  void CheckCopy(uint8_t* obj, const std::vector<uint8_t>& before, const Row& r, const char* type) {
    std::string f = std::string("obj.") + r.name;
    Exec("copy = " + f);
    lua_getglobal(L, "copy");
    ExpectBoxOnTop(r);
    auto* payload = static_cast<uint8_t*>(r.payload(L, -1));
    lua_pop(L, 1);
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(Hex(payload, r.size), Hex(obj + r.offset, r.size));
    // The copy is the box's own: changing it leaves the source alone.
    for (size_t i = 0; i < r.size; ++i) payload[i] = static_cast<uint8_t>(0xC3 ^ (i * 13));
    ExpectUnchanged(obj, before);
    // Assigning it copies it in.
    Exec(f + " = copy");
    std::vector<uint8_t> expect(payload, payload + r.size);
    if (r.keepSize) {
      std::memcpy(expect.data() + r.keepOffset, before.data() + r.offset + r.keepOffset, r.keepSize);
    }
    EXPECT_EQ(Hex(obj + r.offset, r.size), Hex(expect.data(), r.size));
    ExpectOnly(obj, before, r.offset, r.size);
    std::memcpy(obj, before.data(), before.size());
    CheckRefusedBoxes(obj, before, r, type);
  }

  // Unknown names, number keys and keys of other types, and direct calls
  // of the metatable's functions with a value that is not a box of it.
  void CheckUnknownKeys(uint8_t* obj, const std::vector<uint8_t>& before, const std::vector<Row>& rows) {
    EXPECT_EQ(Str("obj.nosuchfield"), "nosuchfield");
    EXPECT_EQ(Type("obj[1]"), "string");
    EXPECT_EQ(Str("obj[1]"), "1");
    EXPECT_EQ(Str("obj[2.5]"), "2.5");
    EXPECT_EQ(Str("obj['']"), "");
    EXPECT_TRUE(Bool("(function() local t = {} return rawequal(obj[t], t) end)()"));
    EXPECT_TRUE(Bool("obj[true] == true"));
    std::set<std::string> names;
    for (const Row& r : rows) names.insert(r.name);
    for (const Row& r : rows) {
      std::string upper = r.name;
      for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (names.count(upper)) continue;
      EXPECT_EQ(Str("obj['" + upper + "']"), upper) << "names are matched case-sensitively";
      EXPECT_EQ(Str("obj['" + std::string(r.name) + " ']"), std::string(r.name) + " ");
    }
    Exec("obj.nosuchfield = 5; obj[1] = 7; obj[{}] = 1; obj[true] = 2; obj[''] = 3");
    ExpectUnchanged(obj, before);
    Exec("obj.nosuchfield = 'abc'");
    EXPECT_EQ(Str("obj.nosuchfield"), "nosuchfield");

    // __index / __newindex called with something else than a box of their type.
    SDL_version version{1, 2, 3};
    kv::PushBox<kv::box::Version>(L, &version);
    lua_setglobal(L, "otherBox");
    kv::PushBox<kv::box::Rect>(L, SDL_Rect{1, 2, 3, 4});
    lua_setglobal(L, "rectBox");
    Exec("if getmetatable(obj) == getmetatable(otherBox) then otherBox = rectBox end");
    const char* name = rows.front().name;
    std::string n = std::string("'") + name + "'";
    EXPECT_EQ(Str("getmetatable(obj).__index(otherBox, " + n + ")"), name);
    EXPECT_EQ(Str("getmetatable(obj).__index(5, " + n + ")"), name);
    EXPECT_EQ(Str("getmetatable(obj).__index(nil, " + n + ")"), name);
    for (const Row& r : rows) {
      std::string call = std::string("getmetatable(obj).__newindex(otherBox, '") + r.name + "', 1)";
      EXPECT_EQ(Run(call), "") << call;
      EXPECT_EQ(Run(std::string("getmetatable(obj).__newindex({}, '") + r.name + "', 1)"), "");
    }
    EXPECT_EQ(version.major, 1);
    EXPECT_EQ(version.minor, 2);
    EXPECT_EQ(version.patch, 3);
    EXPECT_EQ(Num("rectBox.x + rectBox.y * 10 + rectBox.w * 100 + rectBox.h * 1000"), 4321);
    ExpectUnchanged(obj, before);
  }

  // Every field of the box `obj` (a box of D designating or holding `object`).
  template <class D>
  void CheckFields(kv::PayloadT<D>* object, const char* type, const std::vector<Row>& rows) {
    ASSERT_NE(object, nullptr);
    // Every listed field is there, and the type has no field beyond them.
    EXPECT_EQ(static_cast<size_t>(kv::FieldsOf<D>::table.count), rows.size()) << type;
    auto* obj = reinterpret_cast<uint8_t*>(object);
    std::vector<uint8_t> before(obj, obj + sizeof(kv::PayloadT<D>));
    for (const Row& r : rows) {
      SCOPED_TRACE(std::string(type) + "." + r.name);
      EXPECT_NE(Str(std::string("tostring(obj.") + r.name + ")"), r.name) << "not a field";
      switch (r.kind) {
        case Kind::Flag: CheckFlag(obj, before, r, type); break;
        case Kind::Raw: CheckRaw(obj, before, r, type); break;
        case Kind::Ref: CheckRef(obj, before, r, type); break;
        case Kind::Copy: CheckCopy(obj, before, r, type); break;
        case Kind::Special: break;
        default: CheckNumber(obj, before, r, type); break;
      }
      std::memcpy(obj, before.data(), before.size());
    }
    CheckUnknownKeys(obj, before, rows);
    std::memcpy(obj, before.data(), before.size());
  }

  void Defer(std::function<void()> f) { cleanups.push_back(std::move(f)); }

  std::vector<std::function<void()>> cleanups;
};

// ---- Audio and CD-ROM -----------------------------------------------------

void SpecCallback(void*, Uint8*, int) {}

TEST_F(FieldAccess, AudioSpec) {
  auto* spec = ExposeValue<kv::box::AudioSpec>();
  CheckFields<kv::box::AudioSpec>(
      spec, "SDL_AudioSpec",
      {NUM(SDL_AudioSpec, freq, S32), NUM(SDL_AudioSpec, format, U16), NUM(SDL_AudioSpec, channels, U8),
       NUM(SDL_AudioSpec, silence, U8), NUM(SDL_AudioSpec, samples, U16), NUM(SDL_AudioSpec, padding, U16),
       NUM(SDL_AudioSpec, size, U32), RAW(SDL_AudioSpec, userdata)});
}

TEST_F(FieldAccess, AudioCVT) {
  auto* cvt = ExposeValue<kv::box::AudioCVT>();
  CheckFields<kv::box::AudioCVT>(
      cvt, "SDL_AudioCVT",
      {NUM(SDL_AudioCVT, needed, S32), NUM(SDL_AudioCVT, src_format, U16), NUM(SDL_AudioCVT, dst_format, U16),
       NUM(SDL_AudioCVT, rate_incr, F64), RAW(SDL_AudioCVT, buf), NUM(SDL_AudioCVT, len, S32),
       NUM(SDL_AudioCVT, len_cvt, S32), NUM(SDL_AudioCVT, len_mult, S32), NUM(SDL_AudioCVT, len_ratio, F64),
       NUM(SDL_AudioCVT, filter_index, S32)});
}

TEST_F(FieldAccess, CDtrack) {
  auto* track = ExposeValue<kv::box::CDtrack>();
  CheckFields<kv::box::CDtrack>(track, "SDL_CDtrack",
                                {NUM(SDL_CDtrack, id, U8), NUM(SDL_CDtrack, type, U8), NUM(SDL_CDtrack, unused, U16),
                                 NUM(SDL_CDtrack, length, U32), NUM(SDL_CDtrack, offset, U32)});
}

TEST_F(FieldAccess, CD) {
  auto* cd = static_cast<SDL_CD*>(std::calloc(1, sizeof(SDL_CD)));
  Defer([cd] { std::free(cd); });
  cd->numtracks = 3;
  cd->track[0].length = 1234;
  ExposePtr<kv::box::CD>(cd);
  CheckFields<kv::box::CD>(cd, "SDL_CD",
                           {NUM(SDL_CD, id, S32), NUM(SDL_CD, status, S32), NUM(SDL_CD, numtracks, S32),
                            NUM(SDL_CD, cur_track, S32), NUM(SDL_CD, cur_frame, S32), SPECIAL("track")});

  // `track` reads as the address of the embedded array and cannot be written.
  Exec("t = obj.track");
  lua_getglobal(L, "t");
  EXPECT_EQ(lua_type(L, -1), LUA_TLIGHTUSERDATA);
  EXPECT_EQ(lua_touserdata(L, -1), static_cast<void*>(cd->track));
  lua_pop(L, 1);
  std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(cd), reinterpret_cast<uint8_t*>(cd) + sizeof(SDL_CD));
  lua_pushlightuserdata(L, &before);
  lua_setglobal(L, "elsewhere");
  EXPECT_EQ(Run("obj.track = elsewhere"), "");
  EXPECT_EQ(Run("obj.track = 5"), "");
  EXPECT_EQ(Run("obj.track = nil"), "");
  ExpectUnchanged(reinterpret_cast<uint8_t*>(cd), before);
  EXPECT_EQ(cd->track[0].length, 1234u);
}

TEST_F(FieldAccess, MixChunk) {
  auto* chunk = static_cast<Mix_Chunk*>(std::calloc(1, sizeof(Mix_Chunk)));
  Defer([chunk] { std::free(chunk); });
  chunk->allocated = 0;
  chunk->alen = 16;
  chunk->volume = 128;
  ExposePtr<kv::box::MixChunk>(chunk);
  CheckFields<kv::box::MixChunk>(chunk, "MIX_Chunk",
                                 {NUM(Mix_Chunk, allocated, S32), RAW(Mix_Chunk, abuf), NUM(Mix_Chunk, alen, U32),
                                  NUM(Mix_Chunk, volume, U8)});
}

TEST_F(FieldAccess, AudioChunk) {
  auto* chunk = ExposeValue<kv::box::AudioChunk>();
  chunk->spec.callback = &SpecCallback;
  Row spec = COPY(KAVRO_AudioChunk, spec, AudioSpec, 1, "lua_SDL_AudioSpec_mt");
  // The callback is not a field of SDL_AudioSpec: assigning a spec keeps it.
  spec.keepOffset = offsetof(SDL_AudioSpec, callback);
  spec.keepSize = sizeof(chunk->spec.callback);
  CheckFields<kv::box::AudioChunk>(
      chunk, "KAVRO_AudioChunk",
      {spec, RAW(KAVRO_AudioChunk, buffer), NUM(KAVRO_AudioChunk, length, U32), NUM(KAVRO_AudioChunk, id, U32),
       NUM(KAVRO_AudioChunk, position, U32), FLAG(KAVRO_AudioChunk, loop), FLAG(KAVRO_AudioChunk, play)});

  chunk->loop = 0;
  EXPECT_EQ(Run("obj.loop = 1"), "test:1: Attemp to assign a non-number to KAVRO_AudioChunk.loop");
  EXPECT_EQ(chunk->loop, 0);
  Exec("obj.loop = true");
  EXPECT_EQ(chunk->loop, 1);
  EXPECT_EQ(chunk->spec.callback, &SpecCallback);
}

TEST_F(FieldAccess, MixAudioSpec) {
  auto* spec = ExposeValue<kv::box::MixAudioSpec>();
  CheckFields<kv::box::MixAudioSpec>(spec, "KAVRO_MIX_AudioSpec",
                                     {NUM(KAVRO_MIX_AudioSpec, frequency, S32), NUM(KAVRO_MIX_AudioSpec, channels, S32),
                                      NUM(KAVRO_MIX_AudioSpec, format, U16)});
}

// ---- Events ----------------------------------------------------------------

TEST_F(FieldAccess, ActiveEvent) {
  auto* e = ExposeValue<kv::box::ActiveEvent>();
  CheckFields<kv::box::ActiveEvent>(
      e, "SDL_ActiveEvent",
      {NUM(SDL_ActiveEvent, type, U8), NUM(SDL_ActiveEvent, gain, U8), NUM(SDL_ActiveEvent, state, U8)});
}

TEST_F(FieldAccess, KeyboardEvent) {
  auto* e = ExposeValue<kv::box::KeyboardEvent>();
  CheckFields<kv::box::KeyboardEvent>(
      e, "SDL_KeyboardEvent",
      {NUM(SDL_KeyboardEvent, type, U8), NUM(SDL_KeyboardEvent, which, U8), NUM(SDL_KeyboardEvent, state, U8),
       COPY(SDL_KeyboardEvent, keysym, Keysym, 25, "lua_SDL_keysym_mt")});
}

TEST_F(FieldAccess, MouseMotionEvent) {
  auto* e = ExposeValue<kv::box::MouseMotionEvent>();
  CheckFields<kv::box::MouseMotionEvent>(
      e, "SDL_MouseMotionEvent",
      {NUM(SDL_MouseMotionEvent, type, U8), NUM(SDL_MouseMotionEvent, which, U8),
       NUM(SDL_MouseMotionEvent, state, U8), NUM(SDL_MouseMotionEvent, x, U16), NUM(SDL_MouseMotionEvent, y, U16),
       NUM(SDL_MouseMotionEvent, xrel, S16), NUM(SDL_MouseMotionEvent, yrel, S16)});
}

TEST_F(FieldAccess, MouseButtonEvent) {
  auto* e = ExposeValue<kv::box::MouseButtonEvent>();
  CheckFields<kv::box::MouseButtonEvent>(
      e, "SDL_MouseButtonEvent",
      {NUM(SDL_MouseButtonEvent, type, U8), NUM(SDL_MouseButtonEvent, which, U8),
       NUM(SDL_MouseButtonEvent, state, U8), NUM(SDL_MouseButtonEvent, button, U8),
       NUM(SDL_MouseButtonEvent, x, U16), NUM(SDL_MouseButtonEvent, y, U16)});
}

TEST_F(FieldAccess, JoyAxisEvent) {
  auto* e = ExposeValue<kv::box::JoyAxisEvent>();
  CheckFields<kv::box::JoyAxisEvent>(e, "SDL_JoyAxisEvent",
                                     {NUM(SDL_JoyAxisEvent, type, U8), NUM(SDL_JoyAxisEvent, which, U8),
                                      NUM(SDL_JoyAxisEvent, axis, U8), NUM(SDL_JoyAxisEvent, value, S16)});
}

TEST_F(FieldAccess, JoyBallEvent) {
  auto* e = ExposeValue<kv::box::JoyBallEvent>();
  CheckFields<kv::box::JoyBallEvent>(
      e, "SDL_JoyBallEvent",
      {NUM(SDL_JoyBallEvent, type, U8), NUM(SDL_JoyBallEvent, which, U8), NUM(SDL_JoyBallEvent, ball, U8),
       NUM(SDL_JoyBallEvent, xrel, S16), NUM(SDL_JoyBallEvent, yrel, S16)});
}

TEST_F(FieldAccess, JoyHatEvent) {
  auto* e = ExposeValue<kv::box::JoyHatEvent>();
  CheckFields<kv::box::JoyHatEvent>(e, "SDL_JoyHatEvent",
                                    {NUM(SDL_JoyHatEvent, type, U8), NUM(SDL_JoyHatEvent, which, U8),
                                     NUM(SDL_JoyHatEvent, hat, U8), NUM(SDL_JoyHatEvent, value, U8)});
}

TEST_F(FieldAccess, JoyButtonEvent) {
  auto* e = ExposeValue<kv::box::JoyButtonEvent>();
  CheckFields<kv::box::JoyButtonEvent>(e, "SDL_JoyButtonEvent",
                                       {NUM(SDL_JoyButtonEvent, type, U8), NUM(SDL_JoyButtonEvent, which, U8),
                                        NUM(SDL_JoyButtonEvent, state, U8), NUM(SDL_JoyButtonEvent, button, U8)});
}

TEST_F(FieldAccess, ResizeEvent) {
  auto* e = ExposeValue<kv::box::ResizeEvent>();
  CheckFields<kv::box::ResizeEvent>(
      e, "SDL_ResizeEvent", {NUM(SDL_ResizeEvent, type, U8), NUM(SDL_ResizeEvent, w, S32), NUM(SDL_ResizeEvent, h, S32)});
}

TEST_F(FieldAccess, ExposeEvent) {
  auto* e = ExposeValue<kv::box::ExposeEvent>();
  CheckFields<kv::box::ExposeEvent>(e, "SDL_ExposeEvent", {NUM(SDL_ExposeEvent, type, U8)});
}

TEST_F(FieldAccess, QuitEvent) {
  auto* e = ExposeValue<kv::box::QuitEvent>();
  CheckFields<kv::box::QuitEvent>(e, "SDL_QuitEvent", {NUM(SDL_QuitEvent, type, U8)});
}

TEST_F(FieldAccess, UserEvent) {
  auto* e = ExposeValue<kv::box::UserEvent>();
  CheckFields<kv::box::UserEvent>(e, "SDL_UserEvent",
                                  {NUM(SDL_UserEvent, type, U8), NUM(SDL_UserEvent, code, S32),
                                   RAW(SDL_UserEvent, data1), RAW(SDL_UserEvent, data2)});
}

TEST_F(FieldAccess, SysWMEvent) {
  auto* e = ExposeValue<kv::box::SysWMEvent>();
  CheckFields<kv::box::SysWMEvent>(e, "SDL_SysWMEvent", {NUM(SDL_SysWMEvent, type, U8), RAW(SDL_SysWMEvent, msg)});
}

TEST_F(FieldAccess, Keysym) {
  auto* k = ExposeValue<kv::box::Keysym>();
  CheckFields<kv::box::Keysym>(k, "SDL_keysym",
                               {NUM(SDL_keysym, scancode, U8), NUM(SDL_keysym, sym, U32), NUM(SDL_keysym, mod, U32),
                                NUM(SDL_keysym, unicode, U16)});
}

TEST_F(FieldAccess, Event) {
  SDL_Event event;
  std::memset(&event, 0x3C, sizeof event);
  ExposePtr<kv::box::Event>(&event);
  CheckFields<kv::box::Event>(
      &event, "SDL_Event",
      {NUM(SDL_Event, type, U8), COPY(SDL_Event, active, ActiveEvent, 5, "lua_SDL_ActiveEvent_mt"),
       COPY(SDL_Event, key, KeyboardEvent, 6, "lua_SDL_KeyboardEvent_mt"),
       COPY(SDL_Event, motion, MouseMotionEvent, 7, "lua_SDL_MouseMotionEvent_mt"),
       COPY(SDL_Event, button, MouseButtonEvent, 8, "lua_SDL_MouseButtonEvent_mt"),
       COPY(SDL_Event, jaxis, JoyAxisEvent, 9, "lua_SDL_JoyAxisEvent_mt"),
       COPY(SDL_Event, jball, JoyBallEvent, 16, "lua_SDL_JoyBallEvent_mt"),
       COPY(SDL_Event, jhat, JoyHatEvent, 17, "lua_SDL_JoyHatEvent_mt"),
       COPY(SDL_Event, jbutton, JoyButtonEvent, 18, "lua_SDL_JoyButtonEvent_mt"),
       COPY(SDL_Event, resize, ResizeEvent, 19, "lua_SDL_ResizeEvent_mt"),
       COPY(SDL_Event, expose, ExposeEvent, 20, "lua_SDL_ExposeEvent_mt"),
       COPY(SDL_Event, quit, QuitEvent, 21, "lua_SDL_QuitEvent_mt"),
       COPY(SDL_Event, user, UserEvent, 22, "lua_SDL_UserEvent_mt"),
       COPY(SDL_Event, syswm, SysWMEvent, 23, "lua_SDL_SysWMEvent_mt")});
}

TEST_F(FieldAccess, EventMembersAreCopiesAndAssignBackWithTheirType) {
  SDL_Event event;
  std::memset(&event, 0, sizeof event);
  event.type = SDL_KEYUP;
  event.key.keysym.sym = SDLK_a;
  ExposePtr<kv::box::Event>(&event);
  // The member is read whatever the event's type is.
  EXPECT_EQ(Num("obj.resize.type"), SDL_KEYUP);
  EXPECT_EQ(Num("obj.key.keysym.sym"), SDLK_a);
  Exec("k = obj.key; ks = k.keysym; ks.sym = 27; ks.mod = 3");
  EXPECT_EQ(event.key.keysym.sym, SDLK_a);
  Exec("k.keysym = ks");
  EXPECT_EQ(event.key.keysym.sym, SDLK_a) << "a member of a copy is not the event";
  Exec("k.type = 2; k.state = 1");
  EXPECT_EQ(event.type, SDL_KEYUP);
  Exec("obj.key = k");
  EXPECT_EQ(event.type, SDL_KEYDOWN) << "the member's type byte becomes the event's type";
  EXPECT_EQ(event.key.state, 1);
  EXPECT_EQ(event.key.keysym.sym, SDLK_ESCAPE);
  EXPECT_EQ(event.key.keysym.mod, 3);

  Exec("u = obj.user; u.type = 30; u.code = -7; obj.user = u");
  EXPECT_EQ(event.type, 30);
  EXPECT_EQ(event.user.code, -7);
  Exec("obj.type = 12");
  EXPECT_EQ(event.type, 12);
  EXPECT_EQ(event.user.code, -7);

  // A sub-event of another kind is refused whole.
  EXPECT_EQ(Run("obj.key = obj.user"), "test:1: Attemp to assign a non-userdata to SDL_Event.key");
  EXPECT_EQ(Run("obj.user = obj"), "test:1: Attemp to assign a non-userdata to SDL_Event.user");
  EXPECT_EQ(event.type, 12);
}

// ---- Video ---------------------------------------------------------------------

TEST_F(FieldAccess, Rect) {
  auto* r = ExposeValue<kv::box::Rect>();
  CheckFields<kv::box::Rect>(
      r, "SDL_Rect", {NUM(SDL_Rect, x, S16), NUM(SDL_Rect, y, S16), NUM(SDL_Rect, w, U16), NUM(SDL_Rect, h, U16)});
  *r = SDL_Rect{0, 0, 0, 0};
  Exec("obj.w = 70000; obj.x = -5.7; obj.h = '12'");
  EXPECT_EQ(r->w, 4464);
  EXPECT_EQ(r->x, -5);
  EXPECT_EQ(r->h, 12);
  EXPECT_EQ(Run("obj.x = true"), "test:1: Attemp to assign a non-number to SDL_Rect.x");
  // The message carries the caller's line and the outer levels.
  EXPECT_EQ(Run("local function f()\n  obj.y = {}\nend\nf()"),
            "test:2: Attemp to assign a non-number to SDL_Rect.y\ntest:4 ");
}

TEST_F(FieldAccess, Color) {
  auto* c = ExposeValue<kv::box::Color>();
  CheckFields<kv::box::Color>(c, "SDL_Color",
                              {NUM(SDL_Color, r, U8), NUM(SDL_Color, g, U8), NUM(SDL_Color, b, U8),
                               NUM(SDL_Color, unused, U8)});
  Exec("obj.r = 300");
  EXPECT_EQ(c->r, 44);
}

TEST_F(FieldAccess, KColor) {
  auto* c = ExposeValue<kv::box::KColor>();
  CheckFields<kv::box::KColor>(c, "KAVRO_Color",
                               {NUM(KAVRO_Color, r, U8), NUM(KAVRO_Color, g, U8), NUM(KAVRO_Color, b, U8),
                                NUM(KAVRO_Color, a, U8)});
}

TEST_F(FieldAccess, ColorArrayAndPaletteOfAnEightBitSurface) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 8, 0, 0, 0, 0);
  ASSERT_NE(s, nullptr);
  Defer([s] { SDL_FreeSurface(s); });
  SDL_Palette* pal = s->format->palette;
  ASSERT_NE(pal, nullptr);
  pal->colors[0] = SDL_Color{10, 20, 30, 40};
  pal->colors[1] = SDL_Color{50, 60, 70, 80};

  ExposePtr<kv::box::ColorArray>(pal->colors);
  CheckFields<kv::box::ColorArray>(pal->colors, "SDL_Color",
                                   {NUM(SDL_Color, r, U8), NUM(SDL_Color, g, U8), NUM(SDL_Color, b, U8),
                                    NUM(SDL_Color, unused, U8)});

  ExposePtr<kv::box::Palette>(pal);
  CheckFields<kv::box::Palette>(pal, "SDL_Palette",
                                {REF(SDL_Palette, colors, ColorArray, 36, "lua_SDL_Color_p_mt"),
                                 NUM(SDL_Palette, ncolors, S32)});

  // From the surface down to the first colour, through four boxes.
  ExposePtr<kv::box::Surface>(s, "s8");
  EXPECT_EQ(Num("s8.format.palette.ncolors"), 256);
  EXPECT_EQ(Num("s8.format.palette.colors.g"), 20);
  Exec("s8.format.palette.colors.g = 300");
  EXPECT_EQ(pal->colors[0].g, 44);
  EXPECT_EQ(pal->colors[1].g, 60);
  // A colour value box has the tag of the colour array but not its size.
  SDL_Color value{1, 2, 3, 4};
  kv::PushBox<kv::box::Color>(L, value);
  lua_setglobal(L, "colorValue");
  EXPECT_EQ(Run("s8.format.palette.colors = colorValue"),
            "test:1: Attemp to assign a non-userdata to SDL_Palette.colors");
  EXPECT_EQ(pal->colors[0].r, 10);
  EXPECT_EQ(Str("getmetatable(s8.format.palette.colors).__index(colorValue, 'r')"), "r");
}

TEST_F(FieldAccess, PixelFormat) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
  ASSERT_NE(s, nullptr);
  Defer([s] { SDL_FreeSurface(s); });
  ExposePtr<kv::box::PixelFormat>(s->format);
  EXPECT_EQ(Type("obj.palette"), "nil") << "a 32-bit format has no palette";
  CheckFields<kv::box::PixelFormat>(
      s->format, "SDL_PixelFormat",
      {REF(SDL_PixelFormat, palette, Palette, 37, "lua_SDL_Palette_p_mt"), NUM(SDL_PixelFormat, BitsPerPixel, U8),
       NUM(SDL_PixelFormat, BytesPerPixel, U8), NUM(SDL_PixelFormat, Rloss, U8), NUM(SDL_PixelFormat, Gloss, U8),
       NUM(SDL_PixelFormat, Bloss, U8), NUM(SDL_PixelFormat, Aloss, U8), NUM(SDL_PixelFormat, Rshift, U8),
       NUM(SDL_PixelFormat, Gshift, U8), NUM(SDL_PixelFormat, Bshift, U8), NUM(SDL_PixelFormat, Ashift, U8),
       NUM(SDL_PixelFormat, Rmask, U32), NUM(SDL_PixelFormat, Gmask, U32), NUM(SDL_PixelFormat, Bmask, U32),
       NUM(SDL_PixelFormat, Amask, U32), NUM(SDL_PixelFormat, colorkey, U32), NUM(SDL_PixelFormat, alpha, U8)});
  EXPECT_EQ(Num("obj.Amask"), 4278190080.0);
}

TEST_F(FieldAccess, Surface) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 40, 30, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  ASSERT_NE(s, nullptr);
  Defer([s] { SDL_FreeSurface(s); });
  ExposePtr<kv::box::Surface>(s);
  CheckFields<kv::box::Surface>(
      s, "SDL_Surface",
      {NUM(SDL_Surface, flags, U32), REF(SDL_Surface, format, PixelFormat, 38, "lua_SDL_PixelFormat_p_mt"),
       NUM(SDL_Surface, w, S32), NUM(SDL_Surface, h, S32), NUM(SDL_Surface, pitch, U16), RAW(SDL_Surface, pixels),
       NUM(SDL_Surface, offset, S32), COPY(SDL_Surface, clip_rect, Rect, 35, "lua_SDL_Rect_mt"),
       NUM(SDL_Surface, unused1, U32), NUM(SDL_Surface, locked, U32), NUM(SDL_Surface, format_version, U32),
       NUM(SDL_Surface, refcount, S32)});
}

TEST_F(FieldAccess, SurfaceThroughLiveObjects) {
  SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 40, 30, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  ASSERT_NE(s, nullptr);
  Defer([s] { SDL_FreeSurface(s); });
  ExposePtr<kv::box::Surface>(s, "surface");
  EXPECT_EQ(Num("surface.w"), 40);
  EXPECT_EQ(Num("surface.pitch"), s->pitch);
  EXPECT_EQ(Num("surface.format.BitsPerPixel"), 32);
  EXPECT_EQ(Type("surface.format.palette"), "nil");
  Uint8 oldLoss = s->format->Rloss;
  Exec("surface.format.Rloss = 3");
  EXPECT_EQ(s->format->Rloss, 3);
  s->format->Rloss = oldLoss;
  Exec("p = surface.pixels");
  lua_getglobal(L, "p");
  EXPECT_EQ(lua_touserdata(L, -1), s->pixels);
  lua_pop(L, 1);
  EXPECT_EQ(Run("surface.pixels = 5"), "test:1: Attemp to assign a non-userdata to SDL_Surface.pixels");
  EXPECT_EQ(Run("surface.format = surface.clip_rect"),
            "test:1: Attemp to assign a non-userdata to SDL_Surface.format");

  // The clip rectangle read is a copy; assigning it back sets all four members.
  EXPECT_EQ(s->clip_rect.w, 40);
  Exec("r = surface.clip_rect; r.x = 5; r.y = -6; r.w = 7; r.h = 8");
  EXPECT_EQ(s->clip_rect.x, 0);
  EXPECT_EQ(s->clip_rect.w, 40);
  EXPECT_EQ(s->clip_rect.h, 30);
  Exec("surface.clip_rect = r");
  EXPECT_EQ(s->clip_rect.x, 5);
  EXPECT_EQ(s->clip_rect.y, -6);
  EXPECT_EQ(s->clip_rect.w, 7);
  EXPECT_EQ(s->clip_rect.h, 8);

  // An unsigned 32-bit member never reads negative.
  Uint32 oldFlags = s->flags;
  s->flags = SDL_FULLSCREEN;
  EXPECT_EQ(Num("surface.flags"), 2147483648.0);
  s->flags = oldFlags;

  // Two boxes of one surface are two values designating the same surface.
  ExposePtr<kv::box::Surface>(s, "again");
  EXPECT_FALSE(Bool("surface == again"));
  Exec("again.w = 41");
  EXPECT_EQ(Num("surface.w"), 41);
  s->w = 40;
}

// Bit fields: (name, first bit, width) within one 32-bit word, as laid out
// by the compiler for the header's declaration; each entry also sets its
// member from C so the positions are confirmed by the compiler.
struct Bits {
  const char* name;
  int shift;
  int width;
  void (*set)(void* s, Uint32 v);
};
#define BITS(S, m, shift, width) Bits{#m, shift, width, [](void* s, Uint32 v) { static_cast<S*>(s)->m = v; }}

class BitFieldAccess : public FieldAccess {
 protected:
  // `word` is the offset of the word holding the bits in the structure.
  template <class S>
  void CheckBits(S* object, size_t word, const char* type, const std::vector<Bits>& bits) {
    auto* obj = reinterpret_cast<uint8_t*>(object);
    std::vector<uint8_t> before(obj, obj + sizeof(S));
    for (const Bits& b : bits) {
      SCOPED_TRACE(std::string(type) + "." + b.name);
      Uint32 mask = (b.width == 32 ? ~0u : ((1u << b.width) - 1)) << b.shift;
      // The compiler agrees on where the bits are.
      S zero;
      std::memset(&zero, 0, sizeof zero);
      b.set(&zero, ~0u);
      Uint32 w;
      std::memcpy(&w, reinterpret_cast<uint8_t*>(&zero) + word, 4);
      EXPECT_EQ(w, mask);

      std::string f = std::string("obj.") + b.name;
      for (Uint32 base : {0u, ~0u, 0xA5A55A5Au}) {
        std::memcpy(obj + word, &base, 4);
        EXPECT_EQ(Num(f), static_cast<double>((base & mask) >> b.shift));
        for (double v : {3.0, 2.0, 70.0, 74565.0, -1.0, 0.0}) {
          std::memcpy(obj + word, &base, 4);
          std::vector<uint8_t> start(obj, obj + sizeof(S));
          Exec(f + " = " + std::to_string(v));
          Uint32 bitsOfV = static_cast<Uint32>(static_cast<int64_t>(v));
          Uint32 expect = (base & ~mask) | ((bitsOfV << b.shift) & mask);
          std::memcpy(&w, obj + word, 4);
          EXPECT_EQ(w, expect) << "after assigning " << v << " to a word of " << base;
          ExpectOnly(obj, start, word, 4);
        }
        std::memcpy(obj + word, &base, 4);
        EXPECT_EQ(Run(f + " = true"), SetMsg("number", type, b.name));
        std::memcpy(&w, obj + word, 4);
        EXPECT_EQ(w, base);
      }
      std::memcpy(obj, before.data(), before.size());
    }
  }
};

TEST_F(BitFieldAccess, VideoInfo) {
  InitVideo();
  auto* info = const_cast<SDL_VideoInfo*>(SDL_GetVideoInfo());
  ASSERT_NE(info, nullptr);
  ExposePtr<kv::box::VideoInfo>(info);
  CheckFields<kv::box::VideoInfo>(
      info, "SDL_VideoInfo",
      {SPECIAL("hw_available"), SPECIAL("wm_available"), SPECIAL("UnusedBits1"), SPECIAL("UnusedBits2"),
       SPECIAL("blit_hw"), SPECIAL("blit_hw_CC"), SPECIAL("blit_hw_A"), SPECIAL("blit_sw"), SPECIAL("blit_sw_CC"),
       SPECIAL("blit_sw_A"), SPECIAL("blit_fill"), SPECIAL("UnusedBits3"), NUM(SDL_VideoInfo, video_mem, U32),
       REF(SDL_VideoInfo, vfmt, PixelFormat, 38, "lua_SDL_PixelFormat_p_mt"), NUM(SDL_VideoInfo, current_w, S32),
       NUM(SDL_VideoInfo, current_h, S32)});
  CheckBits(info, 0, "SDL_VideoInfo",
            {BITS(SDL_VideoInfo, hw_available, 0, 1), BITS(SDL_VideoInfo, wm_available, 1, 1),
             BITS(SDL_VideoInfo, UnusedBits1, 2, 6), BITS(SDL_VideoInfo, UnusedBits2, 8, 1),
             BITS(SDL_VideoInfo, blit_hw, 9, 1), BITS(SDL_VideoInfo, blit_hw_CC, 10, 1),
             BITS(SDL_VideoInfo, blit_hw_A, 11, 1), BITS(SDL_VideoInfo, blit_sw, 12, 1),
             BITS(SDL_VideoInfo, blit_sw_CC, 13, 1), BITS(SDL_VideoInfo, blit_sw_A, 14, 1),
             BITS(SDL_VideoInfo, blit_fill, 15, 1), BITS(SDL_VideoInfo, UnusedBits3, 16, 16)});

  // Assigning 3 to hw_available sets that one bit.
  Uint32 word = 0x0000FFFE;
  Uint32 saved;
  std::memcpy(&saved, info, 4);
  std::memcpy(info, &word, 4);
  Exec("obj.hw_available = 3");
  EXPECT_EQ(info->hw_available, 1u);
  EXPECT_EQ(info->wm_available, 1u);
  EXPECT_EQ(info->UnusedBits3, 0u);
  std::memcpy(&word, info, 4);
  EXPECT_EQ(word, 0x0000FFFFu);
  std::memcpy(info, &saved, 4);
  EXPECT_EQ(Num("obj.vfmt.BitsPerPixel"), info->vfmt->BitsPerPixel);
}

TEST_F(BitFieldAccess, Overlay) {
  InitVideo();
  SDL_Surface* screen = SDL_SetVideoMode(64, 48, 32, SDL_SWSURFACE);
  ASSERT_NE(screen, nullptr) << SDL_GetError();
  SDL_Overlay* overlay = SDL_CreateYUVOverlay(16, 8, SDL_YV12_OVERLAY, screen);
  ASSERT_NE(overlay, nullptr) << SDL_GetError();
  Defer([overlay] { SDL_FreeYUVOverlay(overlay); });
  ExposePtr<kv::box::Overlay>(overlay);
  EXPECT_EQ(Num("obj.format"), SDL_YV12_OVERLAY);
  EXPECT_EQ(Num("obj.planes"), 3);
  CheckFields<kv::box::Overlay>(overlay, "SDL_Overlay",
                                {NUM(SDL_Overlay, format, U32), NUM(SDL_Overlay, w, S32), NUM(SDL_Overlay, h, S32),
                                 NUM(SDL_Overlay, planes, S32), SPECIAL("hw_overlay"), SPECIAL("UnusedBits")});
  CheckBits(overlay, offsetof(SDL_Overlay, hwdata) + sizeof(void*), "SDL_Overlay",
            {BITS(SDL_Overlay, hw_overlay, 0, 1), BITS(SDL_Overlay, UnusedBits, 1, 31)});
}

TEST_F(FieldAccess, Cursor) {
  InitVideo();
  Uint8 data[2 * 8] = {};
  Uint8 mask[2 * 8] = {};
  SDL_Cursor* cursor = SDL_CreateCursor(data, mask, 16, 8, 3, 4);
  ASSERT_NE(cursor, nullptr) << SDL_GetError();
  Defer([cursor] { SDL_FreeCursor(cursor); });
  ExposePtr<kv::box::Cursor>(cursor);
  EXPECT_EQ(Num("obj.hot_x"), 3);
  EXPECT_EQ(Num("obj.area.w"), 16);
  CheckFields<kv::box::Cursor>(
      cursor, "SDL_Cursor",
      {COPY(SDL_Cursor, area, Rect, 35, "lua_SDL_Rect_mt"), NUM(SDL_Cursor, hot_x, S16), NUM(SDL_Cursor, hot_y, S16),
       RAW(SDL_Cursor, data), RAW(SDL_Cursor, mask), RAW(SDL_Cursor, wm_cursor)});
}

TEST_F(FieldAccess, RWops) {
  char buffer[16] = "abc";
  SDL_RWops* rw = SDL_RWFromMem(buffer, sizeof buffer);
  ASSERT_NE(rw, nullptr);
  Defer([rw] { SDL_FreeRW(rw); });
  ExposePtr<kv::box::RWops>(rw);
  CheckFields<kv::box::RWops>(rw, "SDL_RWops", {NUM(SDL_RWops, type, U32)});
}

TEST_F(FieldAccess, Version) {
  SDL_version v;
  SDL_VERSION(&v);
  ExposePtr<kv::box::Version>(&v);
  EXPECT_EQ(Num("obj.major"), SDL_MAJOR_VERSION);
  CheckFields<kv::box::Version>(&v, "SDL_version",
                                {NUM(SDL_version, major, U8), NUM(SDL_version, minor, U8), NUM(SDL_version, patch, U8)});
}

// ---- Network, graphics, archive, helper records -------------------------------------

TEST_F(FieldAccess, NetAddress) {
  IPaddress address{0x0100007F, 0x5000};
  ExposePtr<kv::box::NetAddress>(&address);
  CheckFields<kv::box::NetAddress>(&address, "NET_IPaddress",
                                   {NUM(IPaddress, host, U32), NUM(IPaddress, port, U16)});
}

TEST_F(FieldAccess, NetPacket) {
  UDPpacket* packet = SDLNet_AllocPacket(64);
  ASSERT_NE(packet, nullptr);
  Defer([packet] { SDLNet_FreePacket(packet); });
  packet->address.host = 0x0A0B0C0D;
  packet->address.port = 0x1234;
  ExposePtr<kv::box::NetPacket>(packet);
  EXPECT_EQ(Num("obj.maxlen"), 64);
  CheckFields<kv::box::NetPacket>(packet, "NET_UDPpacket",
                                  {NUM(UDPpacket, channel, S32), RAW(UDPpacket, data), NUM(UDPpacket, len, S32),
                                   NUM(UDPpacket, maxlen, S32), NUM(UDPpacket, status, S32), SPECIAL("address")});

  // `address` designates the packet's own address.
  Row addressRow = REF(UDPpacket, address, NetAddress, 49, "lua_NET_IPaddress_p_mt");
  lua_getglobal(L, "obj");
  lua_getfield(L, -1, "address");
  ExpectBoxOnTop(addressRow);
  EXPECT_EQ(addressRow.payload(L, -1), &packet->address);
  lua_pop(L, 2);
  EXPECT_EQ(Num("obj.address.port"), 0x1234);
  Exec("obj.address.host = 7");
  EXPECT_EQ(packet->address.host, 7u);

  // Assigning an address copies host and port into the packet.
  IPaddress other{0x01020304, 0x0815};
  ExposePtr<kv::box::NetAddress>(&other, "other");
  void* data = packet->data;
  Exec("obj.address = other");
  EXPECT_EQ(packet->address.host, 0x01020304u);
  EXPECT_EQ(packet->address.port, 0x0815);
  EXPECT_EQ(packet->data, data);
  other.port = 1;
  EXPECT_EQ(packet->address.port, 0x0815) << "a copy, not a link";
  std::vector<uint8_t> before(reinterpret_cast<uint8_t*>(packet), reinterpret_cast<uint8_t*>(packet) + sizeof *packet);
  for (const char* bad : {"5", "nil", "obj"}) {
    EXPECT_EQ(Run(std::string("obj.address = ") + bad),
              "test:1: Attemp to assign a non-userdata to NET_UDPpacket.address")
        << bad;
  }
  ExpectUnchanged(reinterpret_cast<uint8_t*>(packet), before);
}

TEST_F(FieldAccess, GenericSocket) {
  _SDLNet_GenericSocket socket{0};
  ExposePtr<kv::box::GenericSocket>(&socket);
  CheckFields<kv::box::GenericSocket>(&socket, "NET_GenericSocket", {NUM(_SDLNet_GenericSocket, ready, S32)});
}

TEST_F(FieldAccess, FpsManager) {
  auto* m = ExposeValue<kv::box::FpsManager>();
  CheckFields<kv::box::FpsManager>(m, "GFX_FPSmanager",
                                   {NUM(FPSmanager, framecount, U32), NUM(FPSmanager, rateticks, F32),
                                    NUM(FPSmanager, baseticks, U32), NUM(FPSmanager, lastticks, U32),
                                    NUM(FPSmanager, rate, U32)});
}

TEST_F(FieldAccess, UnzGlobalInfo) {
  auto* g = ExposeValue<kv::box::UnzGlobalInfo>();
  CheckFields<kv::box::UnzGlobalInfo>(g, "unz_global_info",
                                      {NUM(unz_global_info, number_entry, U32), NUM(unz_global_info, size_comment, U32)});
}

TEST_F(FieldAccess, TmUnz) {
  auto* t = ExposeValue<kv::box::TmUnz>();
  CheckFields<kv::box::TmUnz>(t, "tm_unz",
                              {NUM(tm_unz, tm_sec, U32), NUM(tm_unz, tm_min, U32), NUM(tm_unz, tm_hour, U32),
                               NUM(tm_unz, tm_mday, U32), NUM(tm_unz, tm_mon, U32), NUM(tm_unz, tm_year, U32)});
}

TEST_F(FieldAccess, UnzFileInfo) {
  auto* i = ExposeValue<kv::box::UnzFileInfo>();
  CheckFields<kv::box::UnzFileInfo>(
      i, "unz_file_info",
      {NUM(unz_file_info, version, U32), NUM(unz_file_info, version_needed, U32), NUM(unz_file_info, flag, U32),
       NUM(unz_file_info, compression_method, U32), NUM(unz_file_info, dosDate, U32), NUM(unz_file_info, crc, U32),
       NUM(unz_file_info, compressed_size, U32), NUM(unz_file_info, uncompressed_size, U32),
       NUM(unz_file_info, size_filename, U32), NUM(unz_file_info, size_file_extra, U32),
       NUM(unz_file_info, size_file_comment, U32), NUM(unz_file_info, disk_num_start, U32),
       NUM(unz_file_info, internal_fa, U32), NUM(unz_file_info, external_fa, U32),
       COPY(unz_file_info, tmu_date, TmUnz, 55, "lua_tm_unz_mt")});
}

TEST_F(FieldAccess, ZipFile) {
  auto* z = ExposeValue<kv::box::ZipFile>();
  CheckFields<kv::box::ZipFile>(
      z, "ZIP_File",
      {RAW(ZIP_File, file), COPY(ZIP_File, file_info, UnzFileInfo, 56, "lua_unz_file_info_mt"),
       COPY(ZIP_File, global_info, UnzGlobalInfo, 54, "lua_unz_global_info_mt"), RAW(ZIP_File, buffer),
       FLAG(ZIP_File, match_case), FLAG(ZIP_File, encrypted)});
}

TEST_F(FieldAccess, Keyboard) {
  auto* k = ExposeValue<kv::box::Keyboard>();
  CheckFields<kv::box::Keyboard>(k, "KAVRO_Keyboard",
                                 {NUM(KAVRO_Keyboard, delay, S32), NUM(KAVRO_Keyboard, interval, S32),
                                  NUM(KAVRO_Keyboard, numkeys, S32)});
}

TEST_F(FieldAccess, GlyphMetrics) {
  auto* g = ExposeValue<kv::box::GlyphMetrics>();
  CheckFields<kv::box::GlyphMetrics>(
      g, "KAVRO_TTF_GlyphMetrics",
      {NUM(KAVRO_TTF_GlyphMetrics, minx, S32), NUM(KAVRO_TTF_GlyphMetrics, maxx, S32),
       NUM(KAVRO_TTF_GlyphMetrics, miny, S32), NUM(KAVRO_TTF_GlyphMetrics, maxy, S32),
       NUM(KAVRO_TTF_GlyphMetrics, advance, S32)});
}

// ---- The box model: tags, metatables, identity ------------------------------------

class BoxModel : public LuaTest {
 protected:
  // Pushes a box of D, checks its tag and metatable against the expected
  // row and checks the metatable's contents.
  template <class D>
  void Check(int32_t tag, const char* type, const char* metatable, bool pointer) {
    SCOPED_TRACE(metatable);
    EXPECT_EQ(D::tag, tag);
    EXPECT_STREQ(D::name, type);
    EXPECT_STREQ(D::metatable, metatable);
    EXPECT_EQ(D::isPointer, pointer);
    seen.insert(metatable);
    alignas(16) static uint8_t storage[4096];
    // An object box's collection releases the record it holds.
    RecordHeader record{1, 1000, nullptr};
    std::memcpy(storage, &record, sizeof record);
    for (const char* global : {"a", "b"}) {
      if constexpr (D::isPointer) {
        kv::PushBox<D>(L, reinterpret_cast<kv::PayloadT<D>*>(storage));
      } else {
        kv::PushBox<D>(L, kv::PayloadT<D>{});
      }
      lua_setglobal(L, global);
    }
    lua_getglobal(L, "a");
    int32_t blockTag;
    std::memcpy(&blockTag, lua_touserdata(L, -1), sizeof blockTag);
    EXPECT_EQ(blockTag, tag);
    if (pointer) {
      EXPECT_EQ(lua_objlen(L, -1), 16u) << "tag and pointer";
      void* held;
      std::memcpy(&held, static_cast<uint8_t*>(lua_touserdata(L, -1)) + 8, sizeof held);
      EXPECT_EQ(held, static_cast<void*>(storage));
    } else {
      EXPECT_GE(lua_objlen(L, -1), 4 + sizeof(kv::PayloadT<D>));
    }
    lua_pop(L, 1);
    lua_pushstring(L, metatable);
    lua_setglobal(L, "mtname");
    EXPECT_TRUE(Bool("getmetatable(a) == debug.getregistry()[mtname]"));
    EXPECT_EQ(Type("getmetatable(a)"), "table");
    EXPECT_TRUE(Bool("getmetatable(a) == getmetatable(b)"));
    EXPECT_TRUE(Bool("a ~= b and not rawequal(a, b)")) << "two boxes of one object are two values";
    EXPECT_TRUE(Bool("string.match(tostring(a), '^userdata: 0x%x+$') ~= nil")) << Str("tostring(a)");
    if (tag == 67) {
      EXPECT_EQ(Str("(function() local k = {} for n, v in pairs(getmetatable(a)) do k[#k+1] = n .. ':' .. type(v) end "
                    "table.sort(k) return table.concat(k, ' ') end)()"),
                "__gc:function");
    } else {
      EXPECT_EQ(Str("(function() local k = {} for n, v in pairs(getmetatable(a)) do k[#k+1] = n .. ':' .. type(v) end "
                    "table.sort(k) return table.concat(k, ' ') end)()"),
                "__index:function __newindex:function");
    }
    Exec("a = nil b = nil collectgarbage()");
  }

  std::set<std::string> seen;
};

TEST_F(BoxModel, TagsMetatablesAndIdentity) {
  using namespace kv::box;
  Check<AudioSpec>(1, "SDL_AudioSpec", "lua_SDL_AudioSpec_mt", false);
  Check<AudioCVT>(2, "SDL_AudioCVT", "lua_SDL_AudioCVT_mt", false);
  Check<CDtrack>(3, "SDL_CDtrack", "lua_SDL_CDtrack_mt", false);
  Check<CD>(4, "SDL_CD", "lua_SDL_CD_p_mt", true);
  Check<ActiveEvent>(5, "SDL_ActiveEvent", "lua_SDL_ActiveEvent_mt", false);
  Check<KeyboardEvent>(6, "SDL_KeyboardEvent", "lua_SDL_KeyboardEvent_mt", false);
  Check<MouseMotionEvent>(7, "SDL_MouseMotionEvent", "lua_SDL_MouseMotionEvent_mt", false);
  Check<MouseButtonEvent>(8, "SDL_MouseButtonEvent", "lua_SDL_MouseButtonEvent_mt", false);
  Check<JoyAxisEvent>(9, "SDL_JoyAxisEvent", "lua_SDL_JoyAxisEvent_mt", false);
  Check<JoyBallEvent>(16, "SDL_JoyBallEvent", "lua_SDL_JoyBallEvent_mt", false);
  Check<JoyHatEvent>(17, "SDL_JoyHatEvent", "lua_SDL_JoyHatEvent_mt", false);
  Check<JoyButtonEvent>(18, "SDL_JoyButtonEvent", "lua_SDL_JoyButtonEvent_mt", false);
  Check<ResizeEvent>(19, "SDL_ResizeEvent", "lua_SDL_ResizeEvent_mt", false);
  Check<ExposeEvent>(20, "SDL_ExposeEvent", "lua_SDL_ExposeEvent_mt", false);
  Check<QuitEvent>(21, "SDL_QuitEvent", "lua_SDL_QuitEvent_mt", false);
  Check<UserEvent>(22, "SDL_UserEvent", "lua_SDL_UserEvent_mt", false);
  Check<SysWMEvent>(23, "SDL_SysWMEvent", "lua_SDL_SysWMEvent_mt", false);
  Check<Event>(24, "SDL_Event", "lua_SDL_Event_p_mt", true);
  Check<Keysym>(25, "SDL_keysym", "lua_SDL_keysym_mt", false);
  Check<Cursor>(32, "SDL_Cursor", "lua_SDL_Cursor_p_mt", true);
  Check<RWops>(33, "SDL_RWops", "lua_SDL_RWops_p_mt", true);
  Check<Version>(34, "SDL_version", "lua_SDL_version_p_mt", true);
  Check<Rect>(35, "SDL_Rect", "lua_SDL_Rect_mt", false);
  Check<Color>(36, "SDL_Color", "lua_SDL_Color_mt", false);
  Check<ColorArray>(36, "SDL_Color", "lua_SDL_Color_p_mt", true);
  Check<Palette>(37, "SDL_Palette", "lua_SDL_Palette_p_mt", true);
  Check<PixelFormat>(38, "SDL_PixelFormat", "lua_SDL_PixelFormat_p_mt", true);
  Check<Surface>(39, "SDL_Surface", "lua_SDL_Surface_p_mt", true);
  Check<VideoInfo>(40, "SDL_VideoInfo", "lua_SDL_VideoInfo_p_mt", true);
  Check<Overlay>(41, "SDL_Overlay", "lua_SDL_Overlay_p_mt", true);
  Check<MixChunk>(48, "MIX_Chunk", "lua_MIX_Chunk_p_mt", true);
  Check<NetAddress>(49, "NET_IPaddress", "lua_NET_IPaddress_p_mt", true);
  Check<NetPacket>(50, "NET_UDPpacket", "lua_NET_UDPpacket_p_mt", true);
  Check<GenericSocket>(51, "NET_GenericSocket", "lua_NET_GenericSocket_mt", true);
  Check<FpsManager>(52, "GFX_FPSmanager", "lua_GFX_FPSmanager_mt", false);
  Check<UnzGlobalInfo>(54, "unz_global_info", "lua_unz_global_info_mt", false);
  Check<TmUnz>(55, "tm_unz", "lua_tm_unz_mt", false);
  Check<UnzFileInfo>(56, "unz_file_info", "lua_unz_file_info_mt", false);
  Check<ZipFile>(57, "ZIP_File", "lua_ZIP_File_mt", false);
  Check<AudioChunk>(64, "KAVRO_AudioChunk", "lua_KAVRO_AudioChunk_mt", false);
  Check<KColor>(65, "KAVRO_Color", "lua_KAVRO_Color_mt", false);
  Check<Keyboard>(66, "KAVRO_Keyboard", "lua_KAVRO_Keyboard_mt", false);
  Check<Object>(67, "KAVRO_Object", "lua_KAVRO_Object_mt", true);
  Check<GlyphMetrics>(68, "KAVRO_TTF_GlyphMetrics", "lua_KAVRO_TTF_GlyphMetrics_mt", false);
  Check<MixAudioSpec>(69, "KAVRO_MIX_AudioSpec", "lua_KAVRO_MIX_AudioSpec_mt", false);
  EXPECT_EQ(seen.size(), 45u);
  EXPECT_EQ(kv::kBoxTypeCount, 45);

  // The registry holds exactly these metatables under "lua_..._mt" names.
  std::set<std::string> registered;
  lua_pushnil(L);
  while (lua_next(L, LUA_REGISTRYINDEX)) {
    if (lua_type(L, -2) == LUA_TSTRING) {
      std::string key = lua_tostring(L, -2);
      if (key.rfind("lua_", 0) == 0 && key.size() > 3 && key.compare(key.size() - 3, 3, "_mt") == 0) {
        EXPECT_EQ(lua_type(L, -1), LUA_TTABLE) << key;
        registered.insert(key);
      }
    }
    lua_pop(L, 1);
  }
  EXPECT_EQ(registered, seen);
}

TEST_F(BoxModel, RegisteringAgainReusesTheMetatables) {
  luaL_getmetatable(L, "lua_SDL_Rect_mt");
  const void* first = lua_topointer(L, -1);
  lua_pop(L, 1);
  int top = lua_gettop(L);
  RegisterMetatables(L);
  EXPECT_EQ(lua_gettop(L), top);
  luaL_getmetatable(L, "lua_SDL_Rect_mt");
  EXPECT_EQ(lua_topointer(L, -1), first);
  lua_pop(L, 1);
  kv::PushBox<kv::box::Rect>(L, SDL_Rect{1, 2, 3, 4});
  lua_setglobal(L, "r");
  EXPECT_EQ(Num("r.w"), 3);
}

int g_destroyed = 0;
void CountDestroy(void*) { ++g_destroyed; }

TEST_F(BoxModel, ObjectBoxReleasesItsRecordWhenCollected) {
  RecordHeader record{42, 2, &CountDestroy};
  g_destroyed = 0;
  kv::PushBox<kv::box::Object>(L, &record);
  lua_setglobal(L, "o");
  Exec("o = nil collectgarbage() collectgarbage()");
  EXPECT_EQ(record.refs, 1);
  EXPECT_EQ(g_destroyed, 0);
  kv::PushBox<kv::box::Object>(L, &record);
  lua_setglobal(L, "o");
  Exec("o = nil collectgarbage() collectgarbage()");
  EXPECT_EQ(record.refs, 0);
  EXPECT_EQ(g_destroyed, 1);
  // __gc called by hand with something that is not an object box does nothing.
  EXPECT_EQ(Run("local gc = debug.getregistry()['lua_KAVRO_Object_mt'].__gc gc(5) gc({}) gc(nil)"), "");
  EXPECT_EQ(g_destroyed, 1);
  // A box holding no record is collected quietly.
  kv::PushBox<kv::box::Object>(L, static_cast<RecordHeader*>(nullptr));
  lua_setglobal(L, "o");
  Exec("o = nil collectgarbage()");
  EXPECT_EQ(g_destroyed, 1);
}

}  // namespace
