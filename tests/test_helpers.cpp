// The helper library's keyboard tracker and small value functions, through
// their Lua bindings and natives, against SDL's own answers.
#include <SDL.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "binding/boxes.h"
#include "helpers/kavro.h"
#include "helpers/modes.h"
#include "support/e2e.h"
#include "support/lua_state.h"

namespace {

class HelpersTest : public LuaTest {
 protected:
  void TearDown() override {
    LuaTest::TearDown();
    SDL_Quit();
  }

  // The block of the userdata that `expr` evaluates to (kept alive in a
  // global so the memory stays valid for the test).
  void* Block(const std::string& expr) {
    Exec("__held = " + expr);
    lua_getglobal(L, "__held");
    void* p = lua_type(L, -1) == LUA_TUSERDATA ? lua_touserdata(L, -1) : nullptr;
    lua_pop(L, 1);
    return p;
  }
  int32_t Tag(const std::string& expr) {
    void* b = Block(expr);
    return b ? static_cast<int32_t*>(b)[0] : -1;
  }
  // The four bytes of the colour box that `expr` evaluates to; all -1 when
  // it is not a value box of type D.
  template <class D>
  std::array<int, 4> ColourBytes(const std::string& expr) {
    static_assert(sizeof(kv::PayloadT<D>) == 4);
    Block(expr);
    lua_getglobal(L, "__held");
    void* b = kv::ToBox<D>(L, -1);
    lua_pop(L, 1);
    if (!b) return {-1, -1, -1, -1};
    auto* bytes = reinterpret_cast<const Uint8*>(kv::PayloadOf<D>(b));
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
  }
  template <class D>
  void SetGlobalBox(const char* name, const kv::PayloadT<D>* object) {
    kv::PushLive<D>(L, object);
    lua_setglobal(L, name);
  }
};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) setenv(name_, old_->c_str(), 1); else unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

SDL_Surface* NewSurface(int bpp, Uint32 r, Uint32 g, Uint32 b, Uint32 a) {
  return SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 4, bpp, r, g, b, a);
}

// ---- keyboard tracker ----

TEST_F(HelpersTest, KeyQueriesBeforeStartUpAnswerFalseWithoutTouchingMemory) {
  // The tracker is taken once per process; under ctest every case runs in a
  // process of its own.
  if (KAVRO_IsKeyUp(SDLK_a)) GTEST_SKIP() << "key array already taken in this process";
  EXPECT_FALSE(Bool("KAVRO_HasKeyPressed()"));
  EXPECT_TRUE(Bool("KAVRO_HasKeyReleased()"));
  for (const char* key : {"0", "SDLK_a or 97", "-1", "100000", "2^40", "0/0"}) {
    EXPECT_FALSE(Bool(std::string("KAVRO_IsKeyDown(") + key + ")")) << key;
    EXPECT_FALSE(Bool(std::string("KAVRO_IsKeyUp(") + key + ")")) << key;
  }
  // SDL's own array can be read without start-up, but only inside its count.
  int count = 0;
  Uint8* keys = SDL_GetKeyState(&count);
  keys[SDLK_b] = 1;
  EXPECT_TRUE(Bool("KAVRO_GetKeyState(nil, 98)"));
  EXPECT_FALSE(Bool("KAVRO_IsKeyDown(98)"));
  keys[SDLK_b] = 0;
  EXPECT_FALSE(Bool("KAVRO_GetKeyState(nil, 98)"));
  EXPECT_FALSE(Bool("KAVRO_GetKeyState(nil, -1)"));
  EXPECT_FALSE(Bool("KAVRO_GetKeyState(nil, " + std::to_string(count) + ")"));
  EXPECT_FALSE(Bool("KAVRO_GetKeyState(nil, 1e12)"));
}

TEST_F(HelpersTest, TrackerFollowsSdlKeyArrayAfterInit) {
  ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  int count = 0;
  Uint8* keys = SDL_GetKeyState(&count);
  ASSERT_GT(count, 0);
  std::string last = std::to_string(count - 1);
  std::string past = std::to_string(count);

  EXPECT_FALSE(Bool("KAVRO_HasKeyPressed()"));
  EXPECT_TRUE(Bool("KAVRO_HasKeyReleased()"));
  EXPECT_TRUE(Bool("KAVRO_IsKeyUp(97)"));
  EXPECT_FALSE(Bool("KAVRO_IsKeyDown(97)"));

  keys[SDLK_a] = 1;
  EXPECT_TRUE(Bool("KAVRO_IsKeyDown(97)"));
  EXPECT_TRUE(Bool("KAVRO_IsKeyDown(97.9)"));
  EXPECT_FALSE(Bool("KAVRO_IsKeyUp(97)"));
  EXPECT_TRUE(Bool("KAVRO_GetKeyState(nil, 97)"));
  // A state, not an edge: it stays true on every call.
  EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
  EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
  EXPECT_FALSE(Bool("KAVRO_HasKeyReleased()"));
  keys[SDLK_a] = 0;

  // Both ends of the array are scanned.
  keys[count - 1] = 1;
  EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
  EXPECT_TRUE(Bool("KAVRO_IsKeyDown(" + last + ")"));
  keys[count - 1] = 0;
  keys[0] = 1;
  EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
  keys[0] = 0;
  EXPECT_FALSE(Bool("KAVRO_HasKeyPressed()"));

  // Outside the array both questions answer false.
  for (const std::string& key : {std::string("-1"), past, std::string("1e10")}) {
    EXPECT_FALSE(Bool("KAVRO_IsKeyDown(" + key + ")")) << key;
    EXPECT_FALSE(Bool("KAVRO_IsKeyUp(" + key + ")")) << key;
    EXPECT_FALSE(Bool("KAVRO_GetKeyState(nil, " + key + ")")) << key;
  }

  // A second start-up keeps the array it took.
  SDL_Quit();
  ASSERT_EQ(KAVRO_InitSubSystem(SDL_INIT_VIDEO), 0);
  keys[SDLK_z] = 1;
  EXPECT_TRUE(Bool("KAVRO_IsKeyDown(122)"));
  keys[SDLK_z] = 0;
}

TEST_F(HelpersTest, KeyboardRecordSnapshotsRepeatAndKeyCount) {
  int sdlDelay = 0, sdlInterval = 0;
  SDL_GetKeyRepeat(&sdlDelay, &sdlInterval);
  ASSERT_EQ(SDL_EnableKeyRepeat(123, 45), 0);
  int count = 0;
  SDL_GetKeyState(&count);

  Exec("k = KAVRO_CreateKeyboard()");
  EXPECT_EQ(Tag("k"), 66);
  EXPECT_EQ(Num("k.delay"), 123);
  EXPECT_EQ(Num("k.interval"), 45);
  EXPECT_EQ(Num("k.numkeys"), count);

  // Writing the record changes only the record.
  Exec("k.delay = 7");
  int d = 0, i = 0;
  SDL_GetKeyRepeat(&d, &i);
  EXPECT_EQ(d, 123);

  ASSERT_EQ(SDL_EnableKeyRepeat(500, 30), 0);
  EXPECT_EQ(Num("select('#', KAVRO_GetKeyRepeat(k))"), 0);
  EXPECT_EQ(Num("k.delay"), 500);
  EXPECT_EQ(Num("k.interval"), 30);

  // KAVRO_GetKeyState refreshes numkeys even after the script changed it.
  Exec("k.numkeys = 5");
  EXPECT_FALSE(Bool("KAVRO_GetKeyState(k, 97)"));
  EXPECT_EQ(Num("k.numkeys"), count);

  EXPECT_EQ(Run("KAVRO_GetKeyRepeat(nil)"), "test:1: KAVRO_GetKeyRepeat: Argument 1 should be of type KAVRO_Keyboard");
  EXPECT_EQ(Run("KAVRO_GetKeyState(5, 1)"), "test:1: KAVRO_GetKeyState: Argument 1 should be of type KAVRO_Keyboard");
  EXPECT_EQ(Run("KAVRO_IsKeyDown()"), "test:1: KAVRO_IsKeyDown: Got 0 arguments instead of 1");
  EXPECT_EQ(Run("KAVRO_HasKeyPressed(1)"), "test:1: KAVRO_HasKeyPressed: Got 1 arguments instead of 0");

  SDL_EnableKeyRepeat(sdlDelay, sdlInterval);
}

// ---- version check ----

TEST_F(HelpersTest, RequiredVersion) {
  const std::string refused = "This version is not supported";
  SDL_ClearError();
  EXPECT_TRUE(Bool("KAVRO_RequiredVersion(1, 6, 1)"));
  EXPECT_TRUE(Bool("KAVRO_RequiredVersion(1, 0, 2)"));
  EXPECT_TRUE(Bool("KAVRO_RequiredVersion(1, 6, 255)"));
  EXPECT_EQ(std::string(SDL_GetError()), "");

  EXPECT_FALSE(Bool("KAVRO_RequiredVersion(1, 0, 1)"));
  EXPECT_EQ(std::string(SDL_GetError()), refused);
  SDL_ClearError();
  EXPECT_FALSE(Bool("KAVRO_RequiredVersion(2, 0, 0)"));
  EXPECT_EQ(std::string(SDL_GetError()), refused);
  SDL_ClearError();
  // 257 keeps its low byte: major 1.
  EXPECT_TRUE(Bool("KAVRO_RequiredVersion(257, 2, 0)"));

  SDL_SetError("untouched");
  EXPECT_FALSE(Bool("KAVRO_RequiredVersion(1, 7, 0)"));
  EXPECT_EQ(std::string(SDL_GetError()), "untouched");

  EXPECT_EQ(Run("KAVRO_RequiredVersion(1, 6)"), "test:1: KAVRO_RequiredVersion: Got 2 arguments instead of 3");
  EXPECT_EQ(Run("KAVRO_RequiredVersion(1, 'x', 0)"),
            "test:1: KAVRO_RequiredVersion: Argument 2 should be of type number");
}

// ---- rectangles and colours ----

TEST_F(HelpersTest, CreateRectTakesFieldWidths) {
  Exec("r = KAVRO_CreateRect(-5, 10, 70000, 20)");
  EXPECT_EQ(Tag("r"), 35);
  EXPECT_EQ(Num("r.x"), -5);
  EXPECT_EQ(Num("r.y"), 10);
  EXPECT_EQ(Num("r.w"), Uint16(70000));
  EXPECT_EQ(Num("r.h"), 20);

  Exec("r = KAVRO_CreateRect(3.9, -3.9, -40000, '7')");
  EXPECT_EQ(Num("r.x"), 3);
  EXPECT_EQ(Num("r.y"), -3);
  EXPECT_EQ(Num("r.w"), Uint16(int32_t(-40000)));
  EXPECT_EQ(Num("r.h"), 7);

  // Signed 16-bit fields go through a 16-bit intermediate: out of range is its minimum.
  Exec("r = KAVRO_CreateRect(-40000, 40000, 65535, 65536)");
  EXPECT_EQ(Num("r.x"), -32768);
  EXPECT_EQ(Num("r.y"), -32768);
  EXPECT_EQ(Num("r.w"), 65535);
  EXPECT_EQ(Num("r.h"), 0);

  EXPECT_EQ(Run("KAVRO_CreateRect(1, 2, 3)"), "test:1: KAVRO_CreateRect: Got 3 arguments instead of 4");
  EXPECT_EQ(Run("KAVRO_CreateRect(1, 2, 3, true)"), "test:1: KAVRO_CreateRect: Argument 4 should be of type number");
}

TEST_F(HelpersTest, ColourConstructorsMakeTheirOwnBoxTypes) {
  using Bytes = std::array<int, 4>;
  EXPECT_EQ(ColourBytes<kv::box::Color>("KAVRO_CreateColor(300, -1, 40000)"), (Bytes{44, 255, 0, 0}));
  EXPECT_EQ(ColourBytes<kv::box::KColor>("KAVRO_CreateColorRGB(1, 2, 3)"), (Bytes{1, 2, 3, 0}));
  EXPECT_EQ(ColourBytes<kv::box::KColor>("KAVRO_CreateColorRGBA(10, 20, 30, 511)"), (Bytes{10, 20, 30, 255}));
  EXPECT_EQ(ColourBytes<kv::box::KColor>("KAVRO_CreateColor(1, 2, 3)"), (Bytes{-1, -1, -1, -1}));

  // The two colour records are not interchangeable.
  EXPECT_EQ(Run("KAVRO_GetRGB(0, KAVRO_CreateColor(1, 2, 3), KAVRO_CreateColor(1, 2, 3))"),
            "test:1: KAVRO_GetRGB: Argument 2 should be of type SDL_PixelFormat");
}

TEST_F(HelpersTest, GetRgbAndRgbaMatchSdl) {
  SDL_Surface* s565 = NewSurface(16, 0xF800, 0x07E0, 0x001F, 0);
  SDL_Surface* s8888 = NewSurface(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
  SDL_Surface* s8 = NewSurface(8, 0, 0, 0, 0);
  ASSERT_TRUE(s565 && s8888 && s8);
  SDL_Color pal[3] = {{9, 8, 7, 0}, {200, 100, 50, 0}, {1, 2, 3, 0}};
  SDL_SetColors(s8, pal, 0, 3);

  for (SDL_Surface* s : {s565, s8888, s8}) {
    SetGlobalBox<kv::box::PixelFormat>("fmt", s->format);
    for (Uint32 pixel : {0u, 1u, 2u, 255u, 0x1234u, 0xFFFFu, 0x80402010u, 0xFFFFFFFFu}) {
      // A palette index past the palette reads as opaque black.
      Uint8 r = 0, g = 0, b = 0, a = SDL_ALPHA_OPAQUE;
      if (s != s8 || pixel < Uint32(s->format->palette->ncolors)) SDL_GetRGBA(pixel, s->format, &r, &g, &b, &a);
      std::string p = std::to_string(pixel);
      Exec("c = KAVRO_CreateColorRGBA(0, 0, 0, 77); KAVRO_GetRGB(" + p + ", fmt, c)");
      EXPECT_EQ(Num("c.r"), r) << p;
      EXPECT_EQ(Num("c.g"), g) << p;
      EXPECT_EQ(Num("c.b"), b) << p;
      EXPECT_EQ(Num("c.a"), 77) << p;  // RGB leaves alpha alone
      EXPECT_EQ(Num("select('#', KAVRO_GetRGBA(" + p + ", fmt, c))"), 0);
      EXPECT_EQ(Num("c.r"), r) << p;
      EXPECT_EQ(Num("c.g"), g) << p;
      EXPECT_EQ(Num("c.b"), b) << p;
      EXPECT_EQ(Num("c.a"), a) << p;
    }
  }
  Exec("fmt = nil");
  SDL_FreeSurface(s565);
  SDL_FreeSurface(s8888);
  SDL_FreeSurface(s8);
}

// ---- driver names, window manager, GL ----

TEST_F(HelpersTest, DriverNames) {
  SDL_Quit();
  EXPECT_EQ(Str("KAVRO_VideoDriverName()"), "");
  EXPECT_EQ(Str("KAVRO_AudioDriverName()"), "");
  ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  EXPECT_EQ(Str("KAVRO_VideoDriverName()"), "dummy");
  ScopedEnv audio("SDL_AUDIODRIVER", "dummy");
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO), 0) << SDL_GetError();
  EXPECT_EQ(Str("KAVRO_AudioDriverName()"), "dummy");
  EXPECT_EQ(Run("KAVRO_VideoDriverName(1)"), "test:1: KAVRO_VideoDriverName: Got 1 arguments instead of 0");
}

TEST_F(HelpersTest, VideoCallsBeforeVideoStartUpDoNotCrash) {
  SDL_Quit();
  SDL_Surface* icon = NewSurface(32, 0xFF0000, 0xFF00, 0xFF, 0);
  ASSERT_NE(icon, nullptr);
  SetGlobalBox<kv::box::Surface>("icon", icon);
  // SDL 1.2 itself dereferences its absent video device in these three.
  EXPECT_EQ(Num("KAVRO_GL_GetAttribute(SDL_GL_RED_SIZE or 0)"), 0);
  EXPECT_EQ(Num("select('#', KAVRO_WM_SetIcon(icon))"), 0);
  EXPECT_EQ(Num("KAVRO_SetListModes(nil, 0)"), 0);
  EXPECT_EQ(Str("KAVRO_WM_GetCaption()"), "");
  EXPECT_EQ(Str("KAVRO_WM_GetIconName()"), "");

  ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0);
  ASSERT_NE(SDL_SetVideoMode(32, 32, 32, SDL_SWSURFACE), nullptr);
  // The dummy driver has no GL: the failed query gives 0.
  EXPECT_EQ(Num("KAVRO_GL_GetAttribute(0)"), 0);
  Exec("KAVRO_WM_SetIcon(icon)");
  SDL_WM_SetCaption("title text", "icon text");
  EXPECT_EQ(Str("KAVRO_WM_GetCaption()"), "title text");
  EXPECT_EQ(Str("KAVRO_WM_GetIconName()"), "icon text");
  EXPECT_EQ(Run("KAVRO_WM_SetIcon(nil)"), "test:1: KAVRO_WM_SetIcon: Argument 1 should be of type SDL_Surface");
  Exec("icon = nil");
  SDL_FreeSurface(icon);
}

// ---- mouse and joystick into rectangles ----

TEST_F(HelpersTest, MouseStateIntoRectangle) {
  ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0);
  int x = 0, y = 0;
  Uint8 buttons = SDL_GetMouseState(&x, &y);
  Exec("r = KAVRO_CreateRect(-7, -8, 9, 10)");
  EXPECT_EQ(Num("KAVRO_GetMouseState(nil)"), buttons);
  EXPECT_EQ(Num("r.x"), -7);  // nil stores nothing anywhere
  EXPECT_EQ(Num("KAVRO_GetMouseState(r)"), buttons);
  EXPECT_EQ(Num("r.x"), x);
  EXPECT_EQ(Num("r.y"), y);
  EXPECT_EQ(Num("r.w"), 9);
  EXPECT_EQ(Num("r.h"), 10);
  EXPECT_EQ(Type("KAVRO_GetRelativeMouseState(r)"), "number");
  EXPECT_EQ(Run("KAVRO_GetMouseState(1)"), "test:1: KAVRO_GetMouseState: Argument 1 should be of type SDL_Rect");
}

TEST_F(HelpersTest, JoystickBallRefusesWhatIsNotAnOpenJoystick) {
  Exec("r = KAVRO_CreateRect(1, 2, 3, 4)");
  EXPECT_EQ(Num("KAVRO_JoystickGetBall(KAVRO_CreateRect(0, 0, 0, 0), 0, r)"), 255);
  lua_pushlightuserdata(L, reinterpret_cast<void*>(uintptr_t{0x1234}));
  lua_setglobal(L, "bogus");
  EXPECT_EQ(Num("KAVRO_JoystickGetBall(bogus, 0, r)"), 255);
  SDL_InitSubSystem(SDL_INIT_JOYSTICK);
  EXPECT_EQ(Num("KAVRO_JoystickGetBall(bogus, 0, r)"), 255);
  EXPECT_EQ(Num("r.x"), 1);
  EXPECT_EQ(Num("r.y"), 2);
  EXPECT_EQ(Run("KAVRO_JoystickGetBall(1, 0, r)"),
            "test:1: KAVRO_JoystickGetBall: Argument 1 should be of type userdata");
  EXPECT_EQ(Run("KAVRO_JoystickGetBall(bogus, 0, nil)"),
            "test:1: KAVRO_JoystickGetBall: Argument 3 should be of type SDL_Rect");
}

// ---- full-screen mode list ----

TEST_F(HelpersTest, ModeListUnderDummyDriverIsAnySize) {
  if (!kavro::ModeListTaken()) {
    EXPECT_EQ(Num("KAVRO_GetModesCount()"), 1);
    Exec("r = KAVRO_CreateRect(0, 0, 11, 12)");
    EXPECT_FALSE(Bool("KAVRO_GetModeSize(0, r)"));
    EXPECT_EQ(Num("r.w"), 11);
  }
  ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0);
  // The dummy driver accepts any size: SDL answers (SDL_Rect**)-1.
  SDL_Rect** sdl = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
  ASSERT_EQ(sdl, reinterpret_cast<SDL_Rect**>(-1));
  Uint32 before = KAVRO_GetModesCount();
  bool taken = kavro::ModeListTaken();
  // "Any size" is not a list: count 0, the stored list stays as it was.
  EXPECT_EQ(Num("KAVRO_SetListModes(nil, SDL_FULLSCREEN or 0x80000000)"), 0);
  EXPECT_EQ(Num("KAVRO_SetListModes(nil, 0)"), 0);
  EXPECT_EQ(Num("KAVRO_GetModesCount()"), before);
  EXPECT_EQ(kavro::ModeListTaken(), taken);
  EXPECT_FALSE(Bool("KAVRO_GetModeSize(4294967295, nil)"));
  EXPECT_FALSE(Bool("KAVRO_GetModeSize(-1, nil)"));
  EXPECT_EQ(Run("KAVRO_SetListModes(0)"), "test:1: KAVRO_SetListModes: Got 1 arguments instead of 2");
  EXPECT_EQ(Run("KAVRO_SetListModes(1, 0)"), "test:1: KAVRO_SetListModes: Argument 1 should be of type SDL_PixelFormat");
}

// ---- a real window under Xvfb ----

// Pumps SDL's events until `done` answers true or two seconds pass.
bool PumpUntil(const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (std::chrono::steady_clock::now() < end) {
    SDL_PumpEvents();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// SDL's x11 video on a fresh Xvfb server, started with KAVRO_Init.
class HelpersX11Test : public HelpersTest {
 protected:
  void SetUp() override {
    HelpersTest::SetUp();
    if (!e2e::HaveXTools()) GTEST_SKIP() << "Xvfb or xdotool missing";
    ASSERT_TRUE(x.Start());
    display_.emplace("DISPLAY", x.display());
    driver_.emplace("SDL_VIDEODRIVER", "x11");
    SDL_Quit();
    ASSERT_EQ(KAVRO_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
  }

  e2e::Xvfb x;

 private:
  std::optional<ScopedEnv> display_;
  std::optional<ScopedEnv> driver_;
};

TEST_F(HelpersX11Test, KeysMouseCaptionAndModesOnARealWindow) {
  {
    ASSERT_NE(SDL_SetVideoMode(160, 120, 32, SDL_SWSURFACE), nullptr) << SDL_GetError();
    EXPECT_EQ(Str("KAVRO_VideoDriverName()"), "x11");

    SDL_WM_SetCaption("kavro helper keys", "kavro icon");
    EXPECT_EQ(Str("KAVRO_WM_GetCaption()"), "kavro helper keys");
    EXPECT_EQ(Str("KAVRO_WM_GetIconName()"), "kavro icon");
    std::string win = x.WaitForWindow("kavro helper keys");
    ASSERT_NE(win, "");
    ASSERT_EQ(x.XDoTool({"windowfocus", "--sync", win}).status, 0);

    // A held key is seen after an event pump, and stays seen until released.
    ASSERT_EQ(x.XDoTool({"keydown", "a"}).status, 0);
    EXPECT_TRUE(PumpUntil([&] { return Bool("KAVRO_IsKeyDown(SDLK_a or 97)"); }));
    EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
    EXPECT_TRUE(Bool("KAVRO_HasKeyPressed()"));
    EXPECT_FALSE(Bool("KAVRO_HasKeyReleased()"));
    EXPECT_FALSE(Bool("KAVRO_IsKeyUp(97)"));
    EXPECT_TRUE(Bool("KAVRO_GetKeyState(nil, 97)"));
    ASSERT_EQ(x.XDoTool({"keyup", "a"}).status, 0);
    EXPECT_TRUE(PumpUntil([&] { return Bool("KAVRO_IsKeyUp(97)"); }));
    EXPECT_TRUE(PumpUntil([&] { return Bool("KAVRO_HasKeyReleased()"); }));

    // Mouse position into a rectangle.
    ASSERT_EQ(x.XDoTool({"mousemove", "--window", win, "37", "42"}).status, 0);
    Exec("m = KAVRO_CreateRect(0, 0, 5, 6)");
    EXPECT_TRUE(PumpUntil([&] {
      Exec("KAVRO_GetMouseState(m)");
      return Num("m.x") == 37 && Num("m.y") == 42;
    }));
    EXPECT_EQ(Num("m.w"), 5);

    // The mode list: what SDL lists for full screen, copied so that it
    // outlives SDL's own array.
    SDL_Rect** sdl = SDL_ListModes(nullptr, SDL_FULLSCREEN | SDL_HWSURFACE);
    if (sdl != nullptr && sdl != reinterpret_cast<SDL_Rect**>(-1)) {
      int n = 0;
      std::vector<SDL_Rect> expected;
      for (; sdl[n]; ++n) expected.push_back(*sdl[n]);
      EXPECT_EQ(Num("KAVRO_SetListModes(nil, SDL_FULLSCREEN or 0x80000000)"), n);
      EXPECT_EQ(Num("KAVRO_GetModesCount()"), n);
      SDL_Quit();
      for (int i = 0; i < n; ++i) {
        std::string idx = std::to_string(i);
        Exec("r = KAVRO_CreateRect(3, 4, 0, 0)");
        EXPECT_TRUE(Bool("KAVRO_GetModeSize(" + idx + ", r)")) << i;
        EXPECT_EQ(Num("r.w"), expected[i].w) << i;
        EXPECT_EQ(Num("r.h"), expected[i].h) << i;
        EXPECT_EQ(Num("r.x"), 3);
      }
      EXPECT_FALSE(Bool("KAVRO_GetModeSize(" + std::to_string(n) + ", r)"));
      EXPECT_TRUE(Bool("KAVRO_GetModeSize(0, nil)"));
    } else {
      ADD_FAILURE() << "SDL lists no full-screen modes under Xvfb";
    }
    SDL_Quit();
  }
}

}  // namespace

namespace {

// X11's attribute query reaches GLX state that only an OpenGL mode creates.
TEST_F(HelpersX11Test, GLAttributeIsReadOnlyInAnOpenGLMode) {
  EXPECT_EQ(Num("KAVRO_GL_GetAttribute(SDL_GL_DOUBLEBUFFER or 5)"), 0);
  ASSERT_NE(SDL_SetVideoMode(64, 48, 32, SDL_SWSURFACE), nullptr) << SDL_GetError();
  EXPECT_EQ(Num("KAVRO_GL_GetAttribute(SDL_GL_DOUBLEBUFFER or 5)"), 0);
  if (SDL_SetVideoMode(64, 48, 0, SDL_OPENGL) != nullptr) {
    int value = -1;
    ASSERT_EQ(SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &value), 0);
    EXPECT_EQ(Num("KAVRO_GL_GetAttribute(SDL_GL_DOUBLEBUFFER or 5)"), value);
  }
  SDL_Quit();
}

}  // namespace
