// Sprite loop frame rates: fill a 640x480x32 screen, blit N 32x32 sprites
// (opaque, then with per-pixel alpha), flip; on SDL's dummy video driver.
// Contenders: the loop in C against SDL directly, the loop in Lua through
// the real bindings in two idioms, and the loop in pygame when installed.
#include <SDL.h>
#include <fcntl.h>
#include <lua.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "bench.h"
#include "binding/api.h"
#include "binding/boxes.h"
#include "binding/call.h"

extern char** environ;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kSize = 32;
constexpr int kMaxSprites = 10000;
const int kCounts[] = {100, 1000, 10000};

// Deterministic positions inside the screen (the pygame script makes the
// same ones).
std::vector<SDL_Rect> Positions(int count) {
  uint32_t state = 12345;
  auto next = [&](int range) {
    state = (state * 1103515245u + 12345u) & 0x7fffffffu;
    return int((state >> 8) % uint32_t(range));
  };
  std::vector<SDL_Rect> out;
  for (int i = 0; i < count; ++i) {
    Sint16 x = Sint16(next(kWidth - kSize + 1));
    Sint16 y = Sint16(next(kHeight - kSize + 1));
    out.push_back(SDL_Rect{x, y, kSize, kSize});
  }
  return out;
}

// An opaque sprite in the screen's format and one with per-pixel alpha;
// the same pixels as the pygame script's.
SDL_Surface* MakeSprite(const SDL_PixelFormat* screen, bool alpha) {
  SDL_Surface* s = alpha ? SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, kSize, kSize, 32, 0x00ff0000,
                                                0x0000ff00, 0x000000ff, 0xff000000)
                         : SDL_CreateRGBSurface(SDL_SWSURFACE, kSize, kSize, 32, screen->Rmask, screen->Gmask,
                                                screen->Bmask, 0);
  if (!s) return nullptr;
  SDL_LockSurface(s);
  for (int y = 0; y < kSize; ++y) {
    auto* row = reinterpret_cast<Uint32*>(static_cast<Uint8*>(s->pixels) + y * s->pitch);
    for (int x = 0; x < kSize; ++x) {
      row[x] = alpha
                   ? SDL_MapRGBA(s->format, Uint8(255 - x * 8), Uint8(y * 8), 64, Uint8(((x + y) * 4) & 255))
                   : SDL_MapRGB(s->format, Uint8(x * 8), Uint8(y * 8), 128);
    }
  }
  SDL_UnlockSurface(s);
  return s;
}

// The loop in C.
double CFrames(SDL_Surface* screen, SDL_Surface* sprite, std::vector<SDL_Rect>& rects, int n, int frames) {
  Uint32 bg = SDL_MapRGB(screen->format, 20, 40, 60);
  double t0 = bench::ThreadCpu();
  for (int f = 0; f < frames; ++f) {
    SDL_FillRect(screen, nullptr, bg);
    for (int i = 0; i < n; ++i) SDL_BlitSurface(sprite, nullptr, screen, &rects[i]);
    SDL_Flip(screen);
  }
  return bench::ThreadCpu() - t0;
}

// The surface kind without its liveness test (and the rows below without
// the self-blit and video-up tests): what the guards cost is the difference.
template <class D>
struct Unguarded {
  using type = kv::PayloadT<D>*;
  static constexpr const char* name = D::name;
  static bool check(lua_State* L, int idx) { return kv::ToBox<D>(L, idx) != nullptr; }
  static type get(lua_State* L, int idx) { return kv::PayloadOf<D>(lua_touserdata(L, idx)); }
};
}  // namespace
template <class D>
struct kv::Fetch<Unguarded<D>> : kv::Fetch<kv::Box<D>> {};
namespace {
using Surf = Unguarded<kv::box::Surface>;
using OptRect = kv::Opt<kv::Box<kv::box::Rect>>;
const luaL_Reg kUnguarded[] = {
    KV_FN(UNGUARDED_BlitSurface, &SDL_UpperBlit, Surf, OptRect, Surf, OptRect),
    KV_FN(UNGUARDED_FillRect, &SDL_FillRect, Surf, OptRect, kv::U32),
    KV_FN(UNGUARDED_Flip, &SDL_Flip, Surf),
    {nullptr, nullptr}};

// The loop in Lua: (a) one prebuilt rectangle per position, (b) one
// rectangle moved by writing its fields before each blit; each over the
// real bindings (guarded) and over the rows above (unguarded).
const char kLuaLoops[] = R"(
local screen, xs, ys = ...
local bg = SDL_MapRGB(screen.format, 20, 40, 60)
local rects = {}
for i = 1, #xs do rects[i] = KAVRO_CreateRect(xs[i], ys[i], 32, 32) end
local moving = KAVRO_CreateRect(0, 0, 32, 32)
local function make(blit, fill, flip)
  local loops = {}
  function loops.a(sprite, n, frames)
    for f = 1, frames do
      fill(screen, nil, bg)
      for i = 1, n do blit(sprite, nil, screen, rects[i]) end
      flip(screen)
    end
  end
  function loops.b(sprite, n, frames)
    local r = moving
    for f = 1, frames do
      fill(screen, nil, bg)
      for i = 1, n do
        r.x = xs[i]
        r.y = ys[i]
        blit(sprite, nil, screen, r)
      end
      flip(screen)
    end
  end
  return loops
end
return {guarded = make(SDL_BlitSurface, SDL_FillRect, SDL_Flip),
        unguarded = make(UNGUARDED_BlitSurface, UNGUARDED_FillRect, UNGUARDED_Flip)}
)";

class LuaLoops {
 public:
  bool Open(SDL_Surface* screen, const std::vector<SDL_Rect>& where) {
    L_ = luaL_newstate();
    if (!L_) return false;
    luaL_openlibs(L_);
    if (lua_cpcall(
            L_, [](lua_State* s) { return RegisterApi(s); }, nullptr) != 0)
      return Fail("RegisterApi");
    lua_pushvalue(L_, LUA_GLOBALSINDEX);
    luaL_register(L_, nullptr, kUnguarded);
    lua_pop(L_, 1);
    if (luaL_loadbuffer(L_, kLuaLoops, sizeof kLuaLoops - 1, "=sprites") != 0) return Fail("load");
    kv::PushLive<kv::box::Surface>(L_, screen);
    lua_createtable(L_, int(where.size()), 0);
    lua_createtable(L_, int(where.size()), 0);
    for (size_t i = 0; i < where.size(); ++i) {
      lua_pushnumber(L_, where[i].x);
      lua_rawseti(L_, -3, int(i + 1));
      lua_pushnumber(L_, where[i].y);
      lua_rawseti(L_, -2, int(i + 1));
    }
    if (lua_pcall(L_, 3, 1, 0) != 0) return Fail("set-up");
    loops_ = luaL_ref(L_, LUA_REGISTRYINDEX);
    return true;
  }

  // The sprites are boxed as if a binding had made them.
  void SetSprites(SDL_Surface* opaque, SDL_Surface* alpha) {
    kv::PushLive<kv::box::Surface>(L_, opaque);
    opaque_ = luaL_ref(L_, LUA_REGISTRYINDEX);
    kv::PushLive<kv::box::Surface>(L_, alpha);
    alpha_ = luaL_ref(L_, LUA_REGISTRYINDEX);
  }

  // Runs loop "a" or "b"; the thread CPU seconds, negative on error.
  double Run(const char* idiom, bool alpha, int n, int frames, bool guarded = true) {
    lua_rawgeti(L_, LUA_REGISTRYINDEX, loops_);
    lua_getfield(L_, -1, guarded ? "guarded" : "unguarded");
    lua_getfield(L_, -1, idiom);
    lua_replace(L_, -3);
    lua_pop(L_, 1);
    lua_rawgeti(L_, LUA_REGISTRYINDEX, alpha ? alpha_ : opaque_);
    lua_pushnumber(L_, n);
    lua_pushnumber(L_, frames);
    double t0 = bench::ThreadCpu();
    int rc = lua_pcall(L_, 3, 0, 0);
    double t = bench::ThreadCpu() - t0;
    if (rc != 0) {
      Fail("loop");
      return -1;
    }
    return t;
  }

  ~LuaLoops() {
    if (L_) lua_close(L_);
  }

 private:
  bool Fail(const char* what) {
    std::fprintf(stderr, "sprites: Lua %s: %s\n", what, lua_tostring(L_, -1));
    lua_pop(L_, 1);
    return false;
  }

  lua_State* L_ = nullptr;
  int loops_ = LUA_NOREF, opaque_ = LUA_NOREF, alpha_ = LUA_NOREF;
};

// The pygame script as a co-process over two pipes.
class Pygame {
 public:
  // False when python3 or pygame is missing.
  bool Start() {
    std::string script = std::string(KAVRO_SOURCE_DIR) + "/bench/sprites_pygame.py";
    // Debian's python3 (where python3-pygame installs) before any other in PATH.
    const char* python = std::getenv("KAVRO_BENCH_PYTHON");
    if (!python || !*python) python = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    int in[2], out[2];
    if (pipe(in) != 0) return false;
    if (pipe(out) != 0) {
      close(in[0]);
      close(in[1]);
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char* argv[] = {const_cast<char*>(python), const_cast<char*>(script.c_str()), nullptr};
    int rc = posix_spawnp(&pid_, python, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to_ = fdopen(in[1], "w");
    from_ = fdopen(out[0], "r");
    if (rc != 0) pid_ = -1;
    if (rc != 0 || !to_ || !from_) {
      version_ = std::string(python) + " could not be started";
      return false;
    }
    std::string hello = ReadLine();
    if (hello.rfind("pygame ", 0) != 0) {
      version_ = hello.empty() ? std::string(python) + " did not answer" : hello;
      return false;
    }
    version_ = hello;
    running_ = true;
    return true;
  }

  double Run(bool alpha, int n, int frames) {
    std::fprintf(to_, "run %s %d %d\n", alpha ? "alpha" : "opaque", n, frames);
    std::fflush(to_);
    std::string answer = ReadLine();
    return answer.empty() ? -1 : std::atof(answer.c_str());
  }

  const std::string& Version() const { return version_; }

  ~Pygame() {
    if (to_) {
      if (running_) std::fputs("quit\n", to_);
      std::fclose(to_);
    }
    if (from_) std::fclose(from_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }

 private:
  std::string ReadLine() {
    char buf[256];
    if (!from_ || !std::fgets(buf, sizeof buf, from_)) return "";
    std::string s = buf;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
  }

  pid_t pid_ = -1;
  bool running_ = false;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
  std::string version_;
};

// A checksum of the screen's pixels, to see that every loop drew the same.
uint64_t ScreenSum(SDL_Surface* screen) {
  uint64_t sum = 1469598103934665603ull;
  SDL_LockSurface(screen);
  for (int y = 0; y < screen->h; ++y) {
    const Uint8* row = static_cast<const Uint8*>(screen->pixels) + y * screen->pitch;
    for (int x = 0; x < screen->w * 4; ++x) sum = (sum ^ row[x]) * 1099511628211ull;
  }
  SDL_UnlockSurface(screen);
  return sum;
}

struct Contender {
  const char* name;
  std::function<double(bool alpha, int n, int frames)> run;
};

// The median over the rounds of each round's fps ratio to C's.
double RatioToC(const std::vector<double>& fps, const std::vector<double>& c) {
  std::vector<double> ratios;
  for (size_t i = 0; i < fps.size() && i < c.size(); ++i) ratios.push_back(fps[i] / c[i]);
  return bench::Median(ratios);
}

// What the argument guards (live surfaces, no RLE self-blit, video up) cost
// in the sprite loop: the same loops over guarded and unguarded rows,
// paired rounds in alternating order.
int RunGuards(LuaLoops& lua, SDL_Surface* screen, SDL_Surface* sprites[2], std::vector<SDL_Rect>& rects) {
  using bench::Format;
  constexpr int kPairs = 61;
  constexpr int kN = 1000;
  bench::Table table({"sprites", "blit", "idiom", "frames", "guarded fps", "unguarded fps", "slowdown",
                      "ns/guarded arg", "target"});
  for (bool alpha : {false, true}) {
    for (const char* idiom : {"a", "b"}) {
      CFrames(screen, sprites[alpha], rects, kN, 1);
      uint64_t c = ScreenSum(screen);
      lua.Run(idiom, alpha, kN, 1, false);
      if (ScreenSum(screen) != c) {
        std::fprintf(stderr, "sprites: the unguarded loop drew another picture\n");
        return 1;
      }
      // Short runs, many pairs: slow changes of the machine's speed cancel
      // within a pair, and the median leaves the disturbed pairs out.
      double probe = lua.Run(idiom, alpha, kN, 4, false) / 4;
      const int frames = std::max(3, int(std::lround(0.04 * bench::Scale() / probe)));
      lua.Run(idiom, alpha, kN, 2, true);
      std::vector<double> ratios, diffs, g, u;
      for (int pair = 0; pair < kPairs; ++pair) {
        bool guardedFirst = pair % 2 == 0;
        double t1 = lua.Run(idiom, alpha, kN, frames, guardedFirst);
        double t2 = lua.Run(idiom, alpha, kN, frames, !guardedFirst);
        double tg = guardedFirst ? t1 : t2, tu = guardedFirst ? t2 : t1;
        if (tg <= 0 || tu <= 0) return 1;
        g.push_back(frames / tg);
        u.push_back(frames / tu);
        ratios.push_back(tg / tu);
        // Per frame: the fill's and the flip's surface, two per blit.
        diffs.push_back((tg - tu) / (double(frames) * (2 * kN + 2)) * 1e9);
      }
      double slowdown = (bench::Median(ratios) - 1) * 100;
      double ns = bench::Median(diffs);
      table.Add({Format("%d", kN), alpha ? "alpha" : "opaque", idiom, Format("%d", frames), Format("%.1f", bench::Median(g)),
                 Format("%.1f", bench::Median(u)), Format("%+.2f%%", slowdown), Format("%.2f", ns),
                 Format("<=2%% %s", slowdown <= 2 ? "ok" : "MISSED")});
    }
  }
  std::printf(
      "\nargument guards in the sprite loop: the loops above over guarded and unguarded rows, %d paired\n"
      "rounds in alternating order; slowdown and ns are medians of the pairs.  The ns per guarded\n"
      "argument (2 per blit, one each for the fill and the flip) is a small difference of long frames\n"
      "and moves by several ns between runs; the calls section measures the liveness test alone\n",
      kPairs);
  table.Print();
  return 0;
}

}  // namespace

namespace bench {

int RunSprites() {
  constexpr int kRounds = 15;
  const double kBudget = 0.04 * Scale();  // seconds of the C loop per measurement

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  signal(SIGPIPE, SIG_IGN);  // a pygame process that went away must not end the run
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "sprites: SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Surface* screen = SDL_SetVideoMode(kWidth, kHeight, 32, SDL_SWSURFACE);
  SDL_Surface* sprites[2] = {nullptr, nullptr};
  if (screen) sprites[0] = MakeSprite(screen->format, false), sprites[1] = MakeSprite(screen->format, true);
  std::vector<SDL_Rect> where = Positions(kMaxSprites);
  int status = 0;
  {
    LuaLoops lua;
    Pygame pygame;
    if (!screen || !sprites[0] || !sprites[1] || !lua.Open(screen, where)) {
      std::fprintf(stderr, "sprites: set-up failed: %s\n", SDL_GetError());
      status = 1;
    } else {
      lua.SetSprites(sprites[0], sprites[1]);
      bool havePygame = pygame.Start();
      std::vector<SDL_Rect> rects = where;

      std::vector<Contender> contenders = {
          {"C", [&](bool a, int n, int f) { return CFrames(screen, sprites[a], rects, n, f); }},
          {"Lua a", [&](bool a, int n, int f) { return lua.Run("a", a, n, f); }},
          {"Lua b", [&](bool a, int n, int f) { return lua.Run("b", a, n, f); }},
      };
      if (havePygame)
        contenders.push_back({"pygame", [&](bool a, int n, int f) { return pygame.Run(a, n, f); }});

      // The Lua loops must draw exactly what the C loop draws.
      for (int n : kCounts) {
        for (bool alpha : {false, true}) {
          CFrames(screen, sprites[alpha], rects, n, 1);
          uint64_t c = ScreenSum(screen);
          for (const char* idiom : {"a", "b"}) {
            SDL_FillRect(screen, nullptr, 0);
            if (lua.Run(idiom, alpha, n, 1) < 0 || ScreenSum(screen) != c) {
              std::fprintf(stderr, "sprites: Lua %s drew another picture than C (%d %s sprites)\n", idiom, n,
                           alpha ? "alpha" : "opaque");
              status = 1;
            }
          }
        }
      }

      struct Config {
        int n;
        bool alpha;
        int frames;
        std::vector<std::vector<double>> fps;
      };
      std::vector<Config> configs;
      for (int n : kCounts) {
        for (bool alpha : {false, true}) {
          // Frames for about kBudget seconds of the C loop.
          CFrames(screen, sprites[alpha], rects, n, 2);
          int probe = 1;
          double t = 0;
          while ((t = CFrames(screen, sprites[alpha], rects, n, probe)) < 0.01) probe *= 2;
          int frames = std::max(3, int(std::lround(kBudget / (t / probe))));
          configs.push_back({n, alpha, frames, std::vector<std::vector<double>>(contenders.size())});
        }
      }

      for (int round = 0; round < kRounds && status == 0; ++round) {
        for (Config& c : configs) {
          for (size_t k = 0; k < contenders.size(); ++k) {
            size_t i = (k + round) % contenders.size();  // each round starts with another contender
            double t = contenders[i].run(c.alpha, c.n, c.frames);
            if (t <= 0) {
              std::fprintf(stderr, "sprites: %s failed\n", contenders[i].name);
              status = 1;
              break;
            }
            c.fps[i].push_back(c.frames / t);
          }
        }
      }

      std::printf(
          "sprite loop: 640x480x32 dummy video, 32x32 sprites; frames per second by thread CPU time,\n"
          "medians of %d rounds (a ratio is the median of each round's ratio to C's fps);\n"
          "Lua a: a prebuilt rectangle per position, Lua b: one rectangle moved by r.x, r.y\n",
          kRounds);
      std::printf("pygame: %s\n", havePygame ? pygame.Version().c_str()
                                             : ("not available (" + pygame.Version() + ")").c_str());
      std::vector<std::string> header = {"sprites",   "blit", "frames",    "C fps",
                                         "Lua a fps", "a/C",  "Lua b fps", "b/C"};
      if (havePygame) header.insert(header.end(), {"pygame fps", "pygame/C"});
      header.push_back("targets at N = 1000");
      Table table(header);
      for (const Config& c : configs) {
        if (c.fps[0].size() != size_t(kRounds)) continue;
        double ra = RatioToC(c.fps[1], c.fps[0]), rb = RatioToC(c.fps[2], c.fps[0]);
        double rp = havePygame ? RatioToC(c.fps[3], c.fps[0]) : 0;
        std::vector<std::string> row = {Format("%d", c.n),
                                        c.alpha ? "alpha" : "opaque",
                                        Format("%d", c.frames),
                                        Format("%.1f", Median(c.fps[0])),
                                        Format("%.1f", Median(c.fps[1])),
                                        Format("%.3f", ra),
                                        Format("%.1f", Median(c.fps[2])),
                                        Format("%.3f", rb)};
        if (havePygame) row.insert(row.end(), {Format("%.1f", Median(c.fps[3])), Format("%.3f", rp)});
        std::string verdict;
        if (c.n == 1000) {
          double ta = c.alpha ? 0.95 : 0.85, tb = c.alpha ? 0.90 : 0.80;
          verdict = Format("a>=%.2f %s, b>=%.2f %s", ta, ra >= ta ? "ok" : "MISSED", tb,
                           rb >= tb ? "ok" : "MISSED");
        }
        if (havePygame && c.n >= 1000)
          verdict += std::string(verdict.empty() ? "" : ", ") + "ahead of pygame " +
                     (ra > rp && rb > rp ? "ok" : "MISSED");
        row.push_back(verdict);
        table.Add(row);
      }
      table.Print();
    }
  }
  for (SDL_Surface* s : sprites)
    if (s) SDL_FreeSurface(s);
  SDL_Quit();
  return status;
}

int RunGuardCost() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
  SDL_Surface* screen = SDL_SetVideoMode(kWidth, kHeight, 32, SDL_SWSURFACE);
  SDL_Surface* sprites[2] = {nullptr, nullptr};
  if (screen) sprites[0] = MakeSprite(screen->format, false), sprites[1] = MakeSprite(screen->format, true);
  std::vector<SDL_Rect> rects = Positions(kMaxSprites);
  int status = 1;
  {
    LuaLoops lua;
    if (screen && sprites[0] && sprites[1] && lua.Open(screen, rects)) {
      lua.SetSprites(sprites[0], sprites[1]);
      status = RunGuards(lua, screen, sprites, rects);
    } else {
      std::fprintf(stderr, "guards: set-up failed: %s\n", SDL_GetError());
    }
  }
  for (SDL_Surface* s : sprites)
    if (s) SDL_FreeSurface(s);
  SDL_Quit();
  return status;
}

}  // namespace bench
