// The default window on a real X server: with no main script the program
// shows "KAVRO_app" until Escape, F10 or the window manager's close.
#include <gtest/gtest.h>

#include <SDL.h>
#include <stdlib.h>

#include "host/default_window.h"
#include "host/host.h"
#include "support/e2e.h"

namespace {

class DefaultWindowX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!e2e::HaveXTools()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
    exe = dir.CopyProgram();
    // No main.lua and no archive: the default window is shown.
    ASSERT_TRUE(proc.Start(exe, {}, xvfb.Env()));
    window = xvfb.WaitForWindow("KAVRO_app");
    ASSERT_FALSE(window.empty()) << "no KAVRO_app window; output:\n"
                                 << proc.result().out << proc.result().err;
  }

  e2e::Xvfb xvfb;
  e2e::TempDir dir;
  e2e::Process proc;
  std::string exe;
  std::string window;
};

TEST_F(DefaultWindowX11, EscapeEndsWithStatusZero) {
  ASSERT_TRUE(xvfb.PressKey(window, "Escape"));
  ASSERT_TRUE(proc.Wait(10000)) << "still running after Escape";
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
  EXPECT_EQ(proc.result().out, "KAVRO v1.6.1\nError: Can't open file \"main.lua\"\n");
  EXPECT_EQ(dir.Read("kavro.log"), "KAVRO v1.6.1\nError: Can't open file \"main.lua\"\n");
}

TEST_F(DefaultWindowX11, F10EndsWithStatusZero) {
  ASSERT_TRUE(xvfb.PressKey(window, "F10"));
  ASSERT_TRUE(proc.Wait(10000)) << "still running after F10";
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
}

TEST_F(DefaultWindowX11, WindowManagerCloseEndsWithStatusZero) {
  ASSERT_TRUE(xvfb.CloseWindow(window));
  ASSERT_TRUE(proc.Wait(10000)) << "still running after WM_DELETE_WINDOW";
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
}

TEST_F(DefaultWindowX11, OtherKeysKeepTheWindowOpen) {
  ASSERT_TRUE(xvfb.PressKey(window, "a"));
  ASSERT_TRUE(xvfb.PressKey(window, "space"));
  ASSERT_TRUE(xvfb.PressKey(window, "F9"));
  EXPECT_FALSE(proc.Wait(1500)) << "ended on a key other than Escape or F10";
  // The same window still answers Escape.
  ASSERT_TRUE(xvfb.PressKey(window, "Escape"));
  ASSERT_TRUE(proc.Wait(10000));
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
}

}  // namespace

// Mode negotiation without a display server (dummy video driver).
namespace {

class DefaultWindowHeadless : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    saved = g_runtime;
    RuntimeSetDefaults();
  }
  void TearDown() override {
    VideoCloseWindow();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    g_runtime = saved;
  }
  RuntimeState saved{};
};

TEST_F(DefaultWindowHeadless, SizesFlagsAndClipFollowTheRequest) {
  ASSERT_EQ(VideoInit(), 1);
  EXPECT_EQ(g_runtime.videoReady, 1);

  SDL_Surface* s = VideoSetMode(0, 0, 16, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s, SDL_GetVideoSurface());
  EXPECT_EQ(s->w, 320);
  EXPECT_EQ(s->h, 240);
  EXPECT_EQ(g_runtime.videoFlags,
            Uint32(SDL_DOUBLEBUF | SDL_ANYFORMAT | SDL_RLEACCEL | SDL_HWACCEL | SDL_HWSURFACE));
  EXPECT_EQ(g_runtime.windowOpen, 1);
  EXPECT_EQ(g_runtime.quitRequested, 0);
  SDL_Rect clip;
  SDL_GetClipRect(s, &clip);
  EXPECT_EQ(clip.w, 320);
  EXPECT_EQ(clip.h, 240);

  // Full screen with a zero width keeps the stored full-screen width.
  s = VideoSetMode(0, 600, 16, SDL_FULLSCREEN | SDL_ANYFORMAT);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 640);
  EXPECT_EQ(s->h, 600);
  EXPECT_EQ(g_runtime.fullscreenHeight, 600);
  EXPECT_EQ(g_runtime.windowWidth, 320);
  EXPECT_EQ(g_runtime.videoFlags, Uint32(SDL_FULLSCREEN | SDL_ANYFORMAT));

  // Flags 0 for a window: the stored flags stay, without full screen.
  s = VideoSetMode(200, 0, 32, 0);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->w, 200);
  EXPECT_EQ(s->h, 240);
  EXPECT_EQ(g_runtime.bitsPerPixel, 32);
  EXPECT_EQ(g_runtime.videoFlags, Uint32(SDL_ANYFORMAT));

  VideoCloseWindow();
  EXPECT_EQ(g_runtime.screen, nullptr);
  EXPECT_EQ(g_runtime.windowOpen, 0);
  EXPECT_EQ(g_runtime.quitRequested, 1);
}


TEST_F(DefaultWindowHeadless, PreparesVideoOnceAndReportsTheModeList) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(VideoInit(), 1);
  ASSERT_EQ(VideoInit(), 1);
  // The dummy driver allows any full-screen size; said once only.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "All resolutions available.\n");
  EXPECT_EQ(g_runtime.modeList, reinterpret_cast<SDL_Rect**>(-1));
  char* title = nullptr;
  SDL_WM_GetCaption(&title, nullptr);
  ASSERT_NE(title, nullptr);
  EXPECT_STREQ(title, "KAVRO_app");
}

TEST_F(DefaultWindowHeadless, DepthChainStartsOverAt32ForDepthsOffTheChain) {
  // The dummy driver accepts every depth from 8 to 32 and refuses others.
  EXPECT_EQ(VideoFindDepth(320, 240, 8, SDL_ANYFORMAT), 8);
  EXPECT_EQ(VideoFindDepth(320, 240, 15, SDL_ANYFORMAT), 15);
  EXPECT_EQ(VideoFindDepth(320, 240, 0, SDL_ANYFORMAT), 32);
  EXPECT_EQ(VideoFindDepth(320, 240, 40, SDL_ANYFORMAT), 32);
  // A size SDL refuses at every depth: the chain runs out.
  EXPECT_EQ(VideoFindDepth(-4, 240, 16, SDL_ANYFORMAT), 0);
}

TEST_F(DefaultWindowHeadless, ModeIsSetWithTheRequestedDepthNotTheOneFound) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(VideoInit(), 1);
  testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  SDL_Surface* s = VideoSetMode(320, 240, 0, SDL_ANYFORMAT);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(g_runtime.bitsPerPixel, 0);
  EXPECT_EQ(g_runtime.videoFlags, Uint32(SDL_ANYFORMAT));
}

TEST_F(DefaultWindowHeadless, RefusedModesFallBackToAnyFormatAndKeepTheOldWindow) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(VideoInit(), 1);
  SDL_Surface* open = VideoSetMode(320, 240, 16, kDefaultVideoFlags);
  testing::internal::GetCapturedStdout();
  ASSERT_NE(open, nullptr);

  struct Case {
    Uint32 request;
    Uint32 fallback;
  };
  // A negative width is refused at every depth and with every flag set.
  const Case cases[] = {
      {SDL_DOUBLEBUF | SDL_HWSURFACE | SDL_RESIZABLE | SDL_NOFRAME | (SDL_OPENGLBLIT & ~SDL_OPENGL),
       SDL_ANYFORMAT | SDL_RESIZABLE | SDL_NOFRAME},
      {SDL_FULLSCREEN | SDL_OPENGLBLIT | SDL_HWACCEL, SDL_ANYFORMAT | SDL_FULLSCREEN | SDL_OPENGLBLIT},
      {SDL_OPENGL | SDL_RLEACCEL, SDL_ANYFORMAT | SDL_OPENGL},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(VideoSetMode(-4, 240, 24, c.request), nullptr) << std::hex << c.request;
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "KAVRO : 24 bpp mode not available.\nKAVRO : Video mode not available.\n");
    EXPECT_EQ(g_runtime.videoFlags, c.fallback) << std::hex << c.request;
    EXPECT_EQ(g_runtime.bitsPerPixel, 24);
    // The earlier window is given up only once a mode is about to be set.
    EXPECT_EQ(g_runtime.screen, open);
    EXPECT_EQ(g_runtime.windowOpen, 1);
  }
  EXPECT_EQ(g_runtime.windowWidth, -4);
  EXPECT_EQ(g_runtime.fullscreenWidth, -4);
}

void PushKey(SDLKey sym, Uint8 type = SDL_KEYDOWN) {
  SDL_Event ev{};
  ev.type = type;
  ev.key.type = type;
  ev.key.keysym.sym = sym;
  ASSERT_EQ(SDL_PushEvent(&ev), 0);
}

TEST_F(DefaultWindowHeadless, IdleLoopEndsOnEscapeF10OrQuitOnly) {
  testing::internal::CaptureStdout();
  ASSERT_EQ(VideoInit(), 1);
  ASSERT_NE(VideoSetMode(320, 240, 16, kDefaultVideoFlags), nullptr);
  testing::internal::GetCapturedStdout();
  SDL_Event drain;
  while (SDL_PollEvent(&drain)) {
  }

  // Other keys and key releases are read and passed over.
  PushKey(SDLK_a);
  PushKey(SDLK_ESCAPE, SDL_KEYUP);
  PushKey(SDLK_F9);
  PushKey(SDLK_F10);
  PushKey(SDLK_b);
  EXPECT_EQ(IdleLoop(), 0);
  EXPECT_EQ(g_runtime.windowOpen, 0);
  EXPECT_EQ(g_runtime.quitRequested, 0);
  // The loop stopped right after F10: the next key is still queued.
  ASSERT_EQ(SDL_PollEvent(&drain), 1);
  EXPECT_EQ(drain.type, SDL_KEYDOWN);
  EXPECT_EQ(drain.key.keysym.sym, SDLK_b);

  // With the window closed the loop opens one from the stored settings.
  g_runtime.windowWidth = 200;
  PushKey(SDLK_ESCAPE);
  EXPECT_EQ(IdleLoop(), 0);
  ASSERT_NE(g_runtime.screen, nullptr);
  EXPECT_EQ(g_runtime.screen->w, 200);

  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 0);
  EXPECT_EQ(IdleLoop(), 0);
  EXPECT_EQ(SDL_PollEvent(&drain), 0);

  // A window that cannot be opened ends the loop at once with 1.
  g_runtime.windowWidth = -4;
  testing::internal::CaptureStdout();
  EXPECT_EQ(IdleLoop(), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "KAVRO : 16 bpp mode not available.\nKAVRO : Video mode not available.\n");
}

}  // namespace
