// The binding protocol: count and kind checks in order, conversions of every
// width, result pushes and the error texts with their call-stack trail.
#include <cmath>
#include <limits>
#include <string>

#include "binding/call.h"
#include "support/lua_state.h"

using namespace kv;

namespace {

// What the test functions last received, and how often they ran.
struct Received {
  int calls = 0;
  long long i = 0;
  double d = 0;
  std::string s;
  const void* p = nullptr;
} got;

template <class T>
void Take(T v) {
  ++got.calls;
  if constexpr (std::is_floating_point_v<T>) got.d = v; else got.i = static_cast<long long>(v);
}
void TakeStr(const char* s) { ++got.calls; got.s = s ? s : "(null)"; }
void TakeBool(int b) { ++got.calls; got.i = b; }
void TakePtr(void* p) { ++got.calls; got.p = p; }
void TakeRect(SDL_Rect* r) { ++got.calls; got.p = r; }
int Fill(SDL_Surface* s, SDL_Rect* r, Uint32 c) { ++got.calls; got.p = s; got.i = c; return r ? 1 : 0; }
void Three(SDL_Surface*, SDL_Rect*, SDL_Surface*) { ++got.calls; }

Uint32 ReturnsBigUnsigned() { return 4294967295u; }
Sint16 ReturnsNegative() { return -5; }
SDL_bool ReturnsTrue() { return SDL_TRUE; }
const char* ReturnsNullString() { return nullptr; }
const char* ReturnsString() { return "hello"; }
SDL_Surface* ReturnsNullSurface() { return nullptr; }
SDL_Surface* ReturnsSurface() { return reinterpret_cast<SDL_Surface*>(0x1000); }
SDL_Rect ReturnsRect() { return SDL_Rect{-3, 4, 50, 60}; }
int ReturnsTwo() { return 2; }
int PushesTwo(lua_State* L, int a) {
  lua_pushnumber(L, a);
  lua_pushnumber(L, a * 2);
  return 2;
}

const luaL_Reg kTestApi[] = {
    KV_FN(T_U8, &Take<Uint8>, U8),
    KV_FN(T_S8, &Take<Sint8>, S8),
    KV_FN(T_U16, &Take<Uint16>, U16),
    KV_FN(T_S16, &Take<Sint16>, S16),
    KV_FN(T_U32, &Take<Uint32>, U32),
    KV_FN(T_S32, &Take<Sint32>, S32),
    KV_FN(T_F32, &Take<float>, F32),
    KV_FN(T_F64, &Take<double>, F64),
    KV_FN(T_Str, &TakeStr, Str),
    KV_FN(T_OptStr, &TakeStr, Opt<Str>),
    KV_FN(T_Bool, &TakeBool, Bool),
    KV_FN(T_Mem, &TakePtr, Userdata),
    KV_FN(T_Font, &TakePtr, Handle<void, kTTF_Font, Live::Font>),
    KV_FN(T_Rect, &TakeRect, Box<box::Rect>),
    KV_FN(T_Fill, &Fill, Box<box::Surface>, Opt<Box<box::Rect>>, U32),
    KV_FN(T_Three, &Three, Box<box::Surface>, Box<box::Rect>, Box<box::Surface>),
    KV_FN(T_BigUnsigned, &ReturnsBigUnsigned),
    KV_FN(T_Negative, &ReturnsNegative),
    KV_FN(T_True, &ReturnsTrue),
    KV_FN(T_NullString, &ReturnsNullString),
    KV_FN(T_String, &ReturnsString),
    KV_FN(T_NullSurface, &ReturnsNullSurface),
    KV_FN(T_Surface, &ReturnsSurface),
    KV_FN(T_Rect2, &ReturnsRect),
    KV_FNR(T_TwoAsBool, &ReturnsTwo, AsBool),
    KV_FNR(T_TwoDropped, &ReturnsTwo, NoResult),
    KV_FN(T_Shim, &PushesTwo, Int),
    {nullptr, nullptr}};

class Protocol : public LuaTest {
 protected:
  void SetUp() override {
    LuaTest::SetUp();
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    luaL_register(L, nullptr, kTestApi);
    lua_pop(L, 1);
    got = Received{};
    // A fake surface box, live for the layer (the test functions never
    // touch it), and a rectangle box for the box kinds.
    PushLive<box::Surface>(L, reinterpret_cast<SDL_Surface*>(0x2000));
    lua_setglobal(L, "surf");
    PushBox<box::Rect>(L, SDL_Rect{1, 2, 3, 4});
    lua_setglobal(L, "rect");
  }

  long long IntAfter(const std::string& call) {
    Exec(call);
    return got.i;
  }
};

TEST_F(Protocol, NumberKindAcceptsNumbersAndNumericStringsOnly) {
  EXPECT_EQ(IntAfter("T_S32('12')"), 12);
  EXPECT_EQ(IntAfter("T_S32(' 0x10 ')"), 16);
  EXPECT_EQ(Run("T_S32(true)"), "test:1: T_S32: Argument 1 should be of type number");
  EXPECT_EQ(Run("T_S32('twelve')"), "test:1: T_S32: Argument 1 should be of type number");
  EXPECT_EQ(Run("T_S32(nil)"), "test:1: T_S32: Argument 1 should be of type number");
  EXPECT_EQ(Run("T_S32({})"), "test:1: T_S32: Argument 1 should be of type number");
}

TEST_F(Protocol, StringKindTakesNumbersAsText) {
  Exec("T_Str(12)");
  EXPECT_EQ(got.s, "12");
  Exec("T_Str(1.5)");
  EXPECT_EQ(got.s, "1.5");
  EXPECT_EQ(Run("T_Str(true)"), "test:1: T_Str: Argument 1 should be of type string");
  EXPECT_EQ(Run("T_Str(rect)"), "test:1: T_Str: Argument 1 should be of type string");
  Exec("T_OptStr(nil)");
  EXPECT_EQ(got.s, "(null)");
}

TEST_F(Protocol, BooleanKindTakesBooleansOnly) {
  EXPECT_EQ(IntAfter("T_Bool(true)"), 1);
  EXPECT_EQ(IntAfter("T_Bool(false)"), 0);
  EXPECT_EQ(Run("T_Bool(1)"), "test:1: T_Bool: Argument 1 should be of type boolean");
  EXPECT_EQ(Run("T_Bool(nil)"), "test:1: T_Bool: Argument 1 should be of type boolean");
  EXPECT_EQ(Run("T_Bool('true')"), "test:1: T_Bool: Argument 1 should be of type boolean");
}

TEST_F(Protocol, RawMemoryAndHandlesTakeAnyUserdata) {
  lua_pushlightuserdata(L, reinterpret_cast<void*>(0x1234));
  lua_setglobal(L, "light");
  Exec("T_Mem(light)");
  EXPECT_EQ(got.p, reinterpret_cast<void*>(0x1234));
  // A full userdata gives the address of its block, tag included.
  Exec("T_Mem(rect)");
  lua_getglobal(L, "rect");
  EXPECT_EQ(got.p, lua_touserdata(L, -1));
  EXPECT_EQ(*static_cast<const int32_t*>(got.p), 35);
  lua_pop(L, 1);
  // A handle passes any userdata, but only a live one reaches the library.
  got = Received{};
  Exec("T_Font(light)");
  EXPECT_EQ(got.calls, 0);
  Track(L, Live::Font, reinterpret_cast<void*>(0x1234));
  Exec("T_Font(light)");
  EXPECT_EQ(got.p, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(Run("T_Font(5)"), "test:1: T_Font: Argument 1 should be of type TTF_Font");
  EXPECT_EQ(Run("T_Mem('x')"), "test:1: T_Mem: Argument 1 should be of type userdata");
}

TEST_F(Protocol, BoxKindChecksTheTag) {
  Exec("T_Rect(rect)");
  lua_getglobal(L, "rect");
  EXPECT_EQ(got.p, PayloadOf<box::Rect>(lua_touserdata(L, -1)));
  lua_pop(L, 1);
  lua_pushlightuserdata(L, reinterpret_cast<void*>(0x1234));
  lua_setglobal(L, "light");
  EXPECT_EQ(Run("T_Rect(light)"), "test:1: T_Rect: Argument 1 should be of type SDL_Rect");
  EXPECT_EQ(Run("T_Rect(surf)"), "test:1: T_Rect: Argument 1 should be of type SDL_Rect");
  // Userdata that are not boxes at all, even of size zero, are refused.
  EXPECT_EQ(Run("T_Rect(newproxy(false))"), "test:1: T_Rect: Argument 1 should be of type SDL_Rect");
  EXPECT_EQ(Run("T_Rect(io.stdout)"), "test:1: T_Rect: Argument 1 should be of type SDL_Rect");
  EXPECT_EQ(got.calls, 1);
}

TEST_F(Protocol, OptionalTakesExplicitNilButNeverAMissingArgument) {
  EXPECT_EQ(IntAfter("T_Fill(surf, nil, 7)"), 7);
  EXPECT_EQ(got.p, reinterpret_cast<void*>(0x2000));
  EXPECT_EQ(Num("T_Fill(surf, nil, 7)"), 0);
  EXPECT_EQ(Num("T_Fill(surf, rect, 7)"), 1);
  EXPECT_EQ(Run("T_Fill(surf, 0)"), "test:1: T_Fill: Got 2 arguments instead of 3");
  EXPECT_EQ(Run("T_Fill(surf, 0, 7)"), "test:1: T_Fill: Argument 2 should be of type SDL_Rect");
  EXPECT_EQ(Run("T_Fill(surf, nil, 7, nil)"), "test:1: T_Fill: Got 4 arguments instead of 3");
}

TEST_F(Protocol, OnlyTheFirstWrongArgumentIsReportedAndNothingRuns) {
  EXPECT_EQ(Run("T_Three(rect, rect, rect)"), "test:1: T_Three: Argument 1 should be of type SDL_Surface");
  EXPECT_EQ(Run("T_Three(surf, rect, rect)"), "test:1: T_Three: Argument 3 should be of type SDL_Surface");
  EXPECT_EQ(Run("T_Three()"), "test:1: T_Three: Got 0 arguments instead of 3");
  EXPECT_EQ(got.calls, 0);
  Exec("T_Three(surf, rect, surf)");
  EXPECT_EQ(got.calls, 1);
}

TEST_F(Protocol, IntegerConversionTruncatesAndKeepsLowBits) {
  EXPECT_EQ(IntAfter("T_S32(3.9)"), 3);
  EXPECT_EQ(IntAfter("T_S32(-3.9)"), -3);
  EXPECT_EQ(IntAfter("T_U32(-1)"), 4294967295LL);
  EXPECT_EQ(IntAfter("T_U32(4294967295)"), 4294967295LL);
  EXPECT_EQ(IntAfter("T_U32(4294967296)"), 0);
  EXPECT_EQ(IntAfter("T_U32(2147483648.7)"), 2147483648LL);
  EXPECT_EQ(IntAfter("T_U8(300)"), 44);
  EXPECT_EQ(IntAfter("T_U8(256)"), 0);
  EXPECT_EQ(IntAfter("T_U8(-1)"), 255);
  EXPECT_EQ(IntAfter("T_U8(40000)"), 0);  // beyond 16 bits: the minimum, low byte 0
  EXPECT_EQ(IntAfter("T_S8(200)"), -56);
  EXPECT_EQ(IntAfter("T_U16(70000)"), 4464);
  EXPECT_EQ(IntAfter("T_U16(-1)"), 65535);
  EXPECT_EQ(IntAfter("T_S16(40000)"), -32768);
  EXPECT_EQ(IntAfter("T_S16(-32768.9)"), -32768);
  EXPECT_EQ(IntAfter("T_S32(3000000000)"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(IntAfter("T_S32(2147483647.5)"), 2147483647);
}

TEST_F(Protocol, NanAndInfinitiesGiveTheIntermediateMinimum) {
  EXPECT_EQ(IntAfter("T_S32(0/0)"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(IntAfter("T_S32(1/0)"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(IntAfter("T_S32(-1/0)"), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(IntAfter("T_S16(1/0)"), -32768);
  EXPECT_EQ(IntAfter("T_U8(0/0)"), 0);
  EXPECT_EQ(IntAfter("T_U16(1/0)"), 0);       // 32-bit minimum, low 16 bits
  EXPECT_EQ(IntAfter("T_U32(1/0)"), 0);       // 64-bit minimum, low 32 bits
  EXPECT_EQ(IntAfter("T_U32(-1/0)"), 0);
}

TEST_F(Protocol, FloatingPointParametersReceiveTheDouble) {
  Exec("T_F64(0.1)");
  EXPECT_EQ(got.d, 0.1);
  Exec("T_F32(0.1)");
  EXPECT_EQ(got.d, static_cast<double>(0.1f));
  Exec("T_F64('2.5')");
  EXPECT_EQ(got.d, 2.5);
  // Rounded to float the way the hardware rounds: past the largest float
  // by half an ulp or more is infinite, NaN stays NaN.
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    const char* arg;
    double expected;
  } floats[] = {{"1e300", inf}, {"-1e300", -inf}, {"3.4028235677973366e38", inf},
                {"3.4028235677973362e38", double(std::numeric_limits<float>::max())}, {"1/0", inf}};
  for (const auto& f : floats) {
    Exec(std::string("T_F32(") + f.arg + ")");
    EXPECT_EQ(got.d, f.expected) << f.arg;
  }
  Exec("T_F32(0/0)");
  EXPECT_TRUE(std::isnan(got.d));
}

TEST_F(Protocol, ResultsArePushedByType) {
  EXPECT_EQ(Num("T_BigUnsigned()"), 4294967295.0);
  EXPECT_EQ(Num("T_Negative()"), -5);
  EXPECT_EQ(Type("T_True()"), "boolean");
  EXPECT_TRUE(Bool("T_True()"));
  EXPECT_EQ(Type("T_NullString()"), "nil");
  EXPECT_EQ(Str("T_String()"), "hello");
  EXPECT_EQ(Type("T_NullSurface()"), "nil");
  EXPECT_TRUE(Bool("getmetatable(T_Surface()) == debug.getregistry()['lua_SDL_Surface_p_mt']"));
  EXPECT_FALSE(Bool("T_Surface() == T_Surface()"));
  EXPECT_EQ(Num("T_Rect2().x"), -3);
  EXPECT_EQ(Num("T_Rect2().h"), 60);
  EXPECT_TRUE(Bool("T_TwoAsBool()"));
  EXPECT_EQ(Num("select('#', T_TwoDropped())"), 0);
  EXPECT_EQ(Num("select('#', T_Shim(4))"), 2);
  EXPECT_EQ(Num("select(2, T_Shim(4))"), 8);
}

TEST_F(Protocol, ErrorTrailNamesEveryLevel) {
  // Three Lua levels deep: the location prefix, then one piece per outer level.
  EXPECT_EQ(Run("local function a() T_U8('x') end\n"
                "local function b() a() end\n"
                "local function c() b() end\n"
                "c()"),
            "test:1: T_U8: Argument 1 should be of type number\n"
            "test:2 \n"
            "test:3 \n"
            "test:4 ");
}

TEST_F(Protocol, ThroughPcallTheMessageComesFirstAndNativeLevelsAreEmpty) {
  Exec("ok, msg = pcall(T_U8, 'x')");
  EXPECT_EQ(Str("msg"), "T_U8: Argument 1 should be of type number\ntest:1 ");
  Exec("local function f() T_U8() end\nok, msg = pcall(f)");
  EXPECT_EQ(Str("msg"), "test:1: T_U8: Got 0 arguments instead of 1\n\ntest:2 ");
}

TEST_F(Protocol, ATailCallLevelGivesAnEmptyPiece) {
  EXPECT_EQ(Run("local function a() T_U8('x') end\n"
                "local function b() return a() end\n"
                "b()"),
            "test:1: T_U8: Argument 1 should be of type number\n"
            "\n"
            "test:3 ");
}

TEST_F(Protocol, WithoutAScriptLevelTheMessageStandsAlone) {
  int rc = lua_cpcall(L, [](lua_State* s) -> int { ArgCountError(s, "SDL_Init", 0, 1); }, nullptr);
  ASSERT_NE(rc, 0);
  EXPECT_STREQ(lua_tostring(L, -1), "SDL_Init: Got 0 arguments instead of 1");
  lua_pop(L, 1);
}

TEST_F(Protocol, DeepCallStacksKeepTheStackBounded) {
  Exec("local function r(n) if n == 0 then T_U8('x') end return (r(n - 1)) end\n"
       "ok, msg = pcall(r, 5000)");
  std::string msg = Str("msg");
  EXPECT_EQ(msg.rfind("test:1: T_U8: Argument 1 should be of type number\n", 0), 0u);
  // 5000 recursive levels, the outermost call, then pcall and the chunk.
  size_t pieces = 0;
  for (char c : msg) pieces += c == '\n';
  EXPECT_EQ(pieces, 5000u + 2u);
}

}  // namespace

namespace {

// Enumeration members and parameters travel as their integers, whatever
// the number: no value outside the enumeration is ever loaded as one.
TEST_F(Protocol, EnumerationsTakeAnyNumberThroughTheirInteger) {
  Exec("ks = KAVRO_GetGlobalEvent().key.keysym");
  const struct {
    const char* value;
    double stored;
  } cases[] = {{"-7", 4294967289.0}, {"2^40", 0}, {"323", 323}};
  for (const auto& c : cases) {
    Exec(std::string("ks.sym = ") + c.value + " ks.mod = " + c.value);
    EXPECT_EQ(Num("ks.sym"), c.stored) << c.value;
    EXPECT_EQ(Num("ks.mod"), c.stored) << c.value;
    EXPECT_EQ(Type(std::string("SDL_GetKeyName(") + c.value + ")"), "string");
  }
}

}  // namespace
