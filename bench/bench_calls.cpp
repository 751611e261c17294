// Cost of a call from Lua into a binding made with the declarative layer,
// against a hand-written lua_CFunction that does the same checks,
// conversions and pushes.  Also field reads and writes on an SDL_Rect box
// through the real metatable against a hand-written strcmp chain.
#include <SDL.h>
#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "binding/api.h"
#include "binding/call.h"
#include "binding/error.h"

namespace {

// The library functions behind both contenders.  Kept out of reach of the
// optimiser so that each call really happens.
volatile int g_value = 42;
volatile Uint32 g_sink;

__attribute__((noipa)) int BenchTicks() {
  return g_value;
}

__attribute__((noipa)) int BenchMapRGB(Uint8 r, Uint8 g, Uint8 b) {
  return (r << 16) | (g << 8) | b;
}

__attribute__((noipa)) int BenchFillRect(SDL_Surface* s, SDL_Rect* r, Uint32 color) {
  g_sink = color;
  return int(color & 0xff) + (r ? r->x : -1) + s->w;
}

}  // namespace

using namespace kv;

namespace {

// The surface kind without its liveness test, to measure what the test
// costs per guarded argument.
struct UnguardedSurface {
  using type = SDL_Surface*;
  static constexpr const char* name = "SDL_Surface";
  static bool check(lua_State* L, int idx) { return ToBox<box::Surface>(L, idx) != nullptr; }
  static type get(lua_State* L, int idx) { return PayloadOf<box::Surface>(lua_touserdata(L, idx)); }
};
}  // namespace
template <>
struct kv::Fetch<UnguardedSurface> : kv::Fetch<kv::Box<kv::box::Surface>> {};
namespace {

const luaL_Reg kLayerRows[] = {
    KV_FN(BENCH_Ticks, &BenchTicks),
    KV_FN(BENCH_MapRGB, &BenchMapRGB, U8, U8, U8),
    KV_FN(BENCH_FillRect, &BenchFillRect, Box<box::Surface>, Opt<Box<box::Rect>>, U32),
    KV_FN(BENCH_FillRectUnguarded, &BenchFillRect, UnguardedSurface, Opt<Box<box::Rect>>, U32),
    {nullptr, nullptr}};

// The same bindings written out by hand.
int HandTicks(lua_State* L) {
  int top = lua_gettop(L);
  if (top != 0) ArgCountError(L, "HAND_Ticks", top, 0);
  lua_pushnumber(L, BenchTicks());
  return 1;
}

int HandMapRGB(lua_State* L) {
  int top = lua_gettop(L);
  if (top != 3) ArgCountError(L, "HAND_MapRGB", top, 3);
  for (int i = 1; i <= 3; ++i)
    if (!lua_isnumber(L, i)) ArgTypeError(L, "HAND_MapRGB", i, "number");
  int r = BenchMapRGB(FromNumber<Uint8>(lua_tonumber(L, 1)), FromNumber<Uint8>(lua_tonumber(L, 2)),
                      FromNumber<Uint8>(lua_tonumber(L, 3)));
  lua_pushnumber(L, r);
  return 1;
}

int HandFillRect(lua_State* L) {
  int top = lua_gettop(L);
  if (top != 3) ArgCountError(L, "HAND_FillRect", top, 3);
  void* surface = ToBox<box::Surface>(L, 1);
  if (!surface) ArgTypeError(L, "HAND_FillRect", 1, "SDL_Surface");
  void* rect = nullptr;
  if (lua_type(L, 2) != LUA_TNIL) {
    rect = ToBox<box::Rect>(L, 2);
    if (!rect) ArgTypeError(L, "HAND_FillRect", 2, "SDL_Rect");
  }
  if (!lua_isnumber(L, 3)) ArgTypeError(L, "HAND_FillRect", 3, "number");
  SDL_Surface* s = PayloadOf<box::Surface>(surface);
  if (!IsLive(Live::Surface, s)) {
    RefuseDead(Live::Surface, s);
    lua_pushnumber(L, -1);
    return 1;
  }
  int r = BenchFillRect(s, rect ? PayloadOf<box::Rect>(rect) : nullptr, FromNumber<Uint32>(lua_tonumber(L, 3)));
  lua_pushnumber(L, r);
  return 1;
}

const luaL_Reg kHandRows[] = {{"HAND_Ticks", HandTicks},
                              {"HAND_MapRGB", HandMapRGB},
                              {"HAND_FillRect", HandFillRect},
                              {nullptr, nullptr}};

// Hand-written accessors of an SDL_Rect box.
const char* RectKey(lua_State* L) {
  return lua_tostring(L, 2);
}

int HandRectIndex(lua_State* L) {
  void* block = ToBox<box::Rect>(L, 1);
  const char* key = RectKey(L);
  if (block && key) {
    const SDL_Rect* r = PayloadOf<box::Rect>(block);
    if (std::strcmp(key, "x") == 0) {
      lua_pushnumber(L, r->x);
      return 1;
    }
    if (std::strcmp(key, "y") == 0) {
      lua_pushnumber(L, r->y);
      return 1;
    }
    if (std::strcmp(key, "w") == 0) {
      lua_pushnumber(L, r->w);
      return 1;
    }
    if (std::strcmp(key, "h") == 0) {
      lua_pushnumber(L, r->h);
      return 1;
    }
  }
  lua_settop(L, 2);
  return 1;
}

template <class T>
void StoreNumber(lua_State* L, T* member, const char* message) {
  if (!lua_isnumber(L, 3)) RaiseScriptError(L, message);
  *member = FromNumber<T>(lua_tonumber(L, 3));
}

int HandRectNewIndex(lua_State* L) {
  void* block = ToBox<box::Rect>(L, 1);
  const char* key = RectKey(L);
  if (!block || !key) return 0;
  SDL_Rect* r = PayloadOf<box::Rect>(block);
  if (std::strcmp(key, "x") == 0) {
    StoreNumber(L, &r->x, "Attemp to assign a non-number to SDL_Rect.x");
  } else if (std::strcmp(key, "y") == 0) {
    StoreNumber(L, &r->y, "Attemp to assign a non-number to SDL_Rect.y");
  } else if (std::strcmp(key, "w") == 0) {
    StoreNumber(L, &r->w, "Attemp to assign a non-number to SDL_Rect.w");
  } else if (std::strcmp(key, "h") == 0) {
    StoreNumber(L, &r->h, "Attemp to assign a non-number to SDL_Rect.h");
  }
  return 0;
}

// One measured pair: the loop body is `code` with %s replaced by the
// layer's or the hand-written function (or box).
struct Case {
  const char* label;
  const char* code;
  const char* layer;
  const char* hand;
};

const Case kCases[] = {
    {"no arguments", "local f = %s\nfor i = 1, n do f() end", "BENCH_Ticks", "HAND_Ticks"},
    {"three numbers", "local f, a, b, c = %s, 10, 20, 30\nfor i = 1, n do f(a, b, c) end", "BENCH_MapRGB",
     "HAND_MapRGB"},
    {"box, box, number",
     "local f, s, r, c = %s, bench_surface, bench_rect, 7\nfor i = 1, n do f(s, r, c) end", "BENCH_FillRect",
     "HAND_FillRect"},
    {"box, nil, number", "local f, s, c = %s, bench_surface, 7\nfor i = 1, n do f(s, nil, c) end",
     "BENCH_FillRect", "HAND_FillRect"},
    {"field read r.x", "local r, v = %s\nfor i = 1, n do v = r.x end", "bench_rect", "hand_rect"},
    {"field write r.x = v", "local r, v = %s, 5\nfor i = 1, n do r.x = v end", "bench_rect", "hand_rect"},
    // Not a layer/hand pair: the guarded layer row against the same row
    // without the liveness test of its one surface argument.
    {"liveness test", "local f, s, r, c = %s, bench_surface, bench_rect, 7\nfor i = 1, n do f(s, r, c) end",
     "BENCH_FillRect", "BENCH_FillRectUnguarded"},
};
constexpr int kGuardCase = sizeof kCases / sizeof kCases[0] - 1;

// Same results and same error texts from both contenders.
const char kSameBehaviour[] = R"(
local function run(f, ...)
  local r = {pcall(f, ...)}
  for i = 1, #r do r[i] = tostring(r[i]) end
  return (table.concat(r, "|"):gsub("HAND_", "BENCH_"))
end
local bad, count = {}, 0
local function cmp(label, a, b, ...)
  local x, y = run(a, ...), run(b, ...)
  count = count + 1
  if x ~= y then bad[#bad + 1] = label .. ": " .. x .. " / " .. y end
end
cmp("ticks", BENCH_Ticks, HAND_Ticks)
cmp("ticks count", BENCH_Ticks, HAND_Ticks, 1)
cmp("rgb", BENCH_MapRGB, HAND_MapRGB, 300, -1, "12")
cmp("rgb 40000", BENCH_MapRGB, HAND_MapRGB, 40000, 3.9, -3.9)
cmp("rgb kind", BENCH_MapRGB, HAND_MapRGB, 1, true, {})
cmp("rgb count", BENCH_MapRGB, HAND_MapRGB, 1, 2)
cmp("fill", BENCH_FillRect, HAND_FillRect, bench_surface, bench_rect, -1)
cmp("fill nil", BENCH_FillRect, HAND_FillRect, bench_surface, nil, 4294967295)
cmp("fill kind 1", BENCH_FillRect, HAND_FillRect, bench_rect, nil, 1)
cmp("fill kind 2", BENCH_FillRect, HAND_FillRect, bench_surface, bench_surface, 1)
cmp("fill kind 3", BENCH_FillRect, HAND_FillRect, bench_surface, nil, "x")
cmp("fill count", BENCH_FillRect, HAND_FillRect, bench_surface, nil)
cmp("fill dead", BENCH_FillRect, HAND_FillRect, bench_dead, nil, 1)
local function access(r, k, v) return function() if v ~= nil then r[k] = v end; return r[k] end end
for _, k in ipairs({"x", "y", "w", "h", "z", 1}) do
  for _, v in ipairs({false, 70000, -5.7, "12", true}) do
    cmp("field " .. k .. " " .. tostring(v), access(bench_rect, k, v or nil), access(hand_rect, k, v or nil))
  end
end
return table.concat(bad, "\n"), count
)";

bool RunChunk(lua_State* L, const std::string& code, int results) {
  if (luaL_loadbuffer(L, code.data(), code.size(), "=bench") != 0 || lua_pcall(L, 0, results, 0) != 0) {
    std::fprintf(stderr, "calls: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
    return false;
  }
  return true;
}

// Compiles a loop function `function(n) <code> end`; returns its registry reference.
int LoopRef(lua_State* L, const std::string& body) {
  std::string code = "return function(n)\n" + body + "\nend";
  if (!RunChunk(L, code, 1)) return LUA_NOREF;
  return luaL_ref(L, LUA_REGISTRYINDEX);
}

double TimeLoop(lua_State* L, int ref, double n) {
  lua_rawgeti(L, LUA_REGISTRYINDEX, ref);
  lua_pushnumber(L, n);
  double t0 = bench::ThreadCpu();
  int rc = lua_pcall(L, 1, 0, 0);
  double t = bench::ThreadCpu() - t0;
  if (rc != 0) {
    std::fprintf(stderr, "calls: %s\n", lua_tostring(L, -1));
    lua_pop(L, 1);
  }
  return t;
}

bool SetUp(lua_State* L, SDL_Surface* surface) {
  luaL_openlibs(L);
  if (lua_cpcall(
          L, [](lua_State* s) { return RegisterApi(s); }, nullptr) != 0) {
    std::fprintf(stderr, "calls: RegisterApi failed: %s\n", lua_tostring(L, -1));
    return false;
  }
  lua_pushvalue(L, LUA_GLOBALSINDEX);
  luaL_register(L, nullptr, kLayerRows);
  luaL_register(L, nullptr, kHandRows);
  lua_pop(L, 1);

  SDL_Rect rect = {3, 4, 5, 6};
  PushLive<box::Surface>(L, surface);  // as if a binding had made it
  lua_setglobal(L, "bench_surface");
  PushBox<box::Surface>(L, reinterpret_cast<SDL_Surface*>(0x1000));  // never made by kavro
  lua_setglobal(L, "bench_dead");
  PushBox<box::Rect>(L, rect);
  // The layer's box must carry the metatable RegisterApi made for SDL_Rect.
  lua_getmetatable(L, -1);
  luaL_getmetatable(L, "lua_SDL_Rect_mt");
  bool real = lua_rawequal(L, -1, -2) && !lua_isnil(L, -1);
  lua_pop(L, 2);
  lua_setglobal(L, "bench_rect");
  if (!real) {
    std::fprintf(stderr, "calls: the SDL_Rect box does not carry lua_SDL_Rect_mt\n");
    return false;
  }

  static const luaL_Reg handAccess[] = {
      {"__index", HandRectIndex}, {"__newindex", HandRectNewIndex}, {nullptr, nullptr}};
  auto* block = NewBlock<box::Rect>(L);
  block->payload = rect;
  luaL_newmetatable(L, "bench_hand_rect_mt");
  luaL_register(L, nullptr, handAccess);
  lua_setmetatable(L, -2);
  lua_setglobal(L, "hand_rect");
  return true;
}

}  // namespace

namespace bench {

int RunCalls() {
  const double kIterations = std::max(1e3, std::floor(5e5 * Scale()));
  constexpr int kRounds = 31;

  SDL_Surface* surface = SDL_CreateRGBSurface(SDL_SWSURFACE, 8, 8, 32, 0xff0000, 0xff00, 0xff, 0);
  lua_State* L = luaL_newstate();
  if (!surface || !L || !SetUp(L, surface)) {
    if (L) lua_close(L);
    if (surface) SDL_FreeSurface(surface);
    return 1;
  }

  int status = 0;
  if (!RunChunk(L, kSameBehaviour, 2)) {
    status = 1;
  } else {
    const char* diff = lua_tostring(L, -2);
    if (diff && *diff) {
      std::fprintf(stderr, "calls: the contenders behave differently:\n%s\n", diff);
      status = 1;
    } else {
      std::printf("layer and hand-written bindings agree on %d calls (results and error texts)\n",
                  int(lua_tonumber(L, -1)));
    }
    lua_pop(L, 2);
  }

  constexpr int kCount = sizeof kCases / sizeof kCases[0];
  int empty = LoopRef(L, "for i = 1, n do end");
  int refs[kCount][2];
  for (int c = 0; c < kCount; ++c) {
    refs[c][0] = LoopRef(L, Format(kCases[c].code, kCases[c].layer));
    refs[c][1] = LoopRef(L, Format(kCases[c].code, kCases[c].hand));
  }

  // A short warm-up, then rounds that run every contender once, the two
  // sides of a pair in alternating order.
  TimeLoop(L, empty, kIterations / 10);
  for (auto& r : refs) TimeLoop(L, r[0], kIterations / 10), TimeLoop(L, r[1], kIterations / 10);
  std::vector<double> emptyTimes;
  std::vector<double> times[kCount][2];
  for (int round = 0; round < kRounds; ++round) {
    emptyTimes.push_back(TimeLoop(L, empty, kIterations));
    for (int c = 0; c < kCount; ++c) {
      int first = round % 2;
      times[c][first].push_back(TimeLoop(L, refs[c][first], kIterations));
      times[c][1 - first].push_back(TimeLoop(L, refs[c][1 - first], kIterations));
    }
  }

  double base = Median(emptyTimes);
  std::printf(
      "binding call cost: %.0f calls x %d rounds, thread CPU time, medians; the empty loop (%.2f "
      "ns/iteration)\n"
      "is subtracted; the ratio is the median of each round's layer/hand\n",
      kIterations, kRounds, base / kIterations * 1e9);
  Table table({"case", "layer ns/call", "hand ns/call", "layer/hand", "target"});
  for (int c = 0; c < kGuardCase; ++c) {
    double layer = (Median(times[c][0]) - base) / kIterations * 1e9;
    double hand = (Median(times[c][1]) - base) / kIterations * 1e9;
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
      double h = times[c][1][round] - emptyTimes[round];
      if (h > 0) ratios.push_back((times[c][0][round] - emptyTimes[round]) / h);
    }
    double ratio = Median(ratios);
    table.Add({kCases[c].label, Format("%.2f", layer), Format("%.2f", hand), Format("%.3f", ratio),
               ratio <= 1.10 ? "<= 1.10 ok" : "<= 1.10 MISSED"});
  }
  table.Print();
  std::vector<double> guard;
  for (int round = 0; round < kRounds; ++round)
    guard.push_back((times[kGuardCase][0][round] - times[kGuardCase][1][round]) / kIterations * 1e9);
  double perArg = Median(guard);
  std::printf("liveness test of a guarded argument: %.2f ns (median of each round's guarded - unguarded); "
              "target <= 5 ns %s\n",
              perArg, perArg <= 5 ? "ok" : "MISSED");

  lua_close(L);
  SDL_FreeSurface(surface);
  return status;
}

}  // namespace bench
