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

}  // namespace
