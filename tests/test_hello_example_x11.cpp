// The bundled example game on a real X server: it opens its window, keeps
// running under the arrow keys, and ends on Escape or the close button.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/e2e.h"

namespace {

class HelloExampleX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!e2e::HaveXTools()) GTEST_SKIP() << "Xvfb or xdotool not installed";
    ASSERT_TRUE(xvfb.Start()) << "Xvfb did not start";
    exe = dir.CopyProgram();
    // Packed the way the build ships it: the example's files in base.zip.
    std::string zip = "cd " + std::string(KAVRO_SOURCE_DIR) + "/examples/hello && zip -q -r -X " +
                      (dir / "base.zip") + " .";
    ASSERT_EQ(system(zip.c_str()), 0);
    ASSERT_TRUE(proc.Start(exe, {}, xvfb.Env(), dir.path()));
    window = xvfb.WaitForWindow("kavro hello");
    ASSERT_FALSE(window.empty()) << "no game window; output:\n" << proc.result().out << proc.result().err;
  }

  e2e::Xvfb xvfb;
  e2e::TempDir dir;
  e2e::Process proc;
  std::string exe;
  std::string window;
};

TEST_F(HelloExampleX11, ArrowKeysKeepItRunningAndEscapeEndsIt) {
  ASSERT_TRUE(xvfb.PressKey(window, "Left"));
  ASSERT_TRUE(xvfb.PressKey(window, "Down"));
  EXPECT_FALSE(proc.Wait(1000)) << proc.result().out;
  ASSERT_TRUE(xvfb.PressKey(window, "Escape"));
  ASSERT_TRUE(proc.Wait(10000)) << "still running after Escape";
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
  EXPECT_EQ(proc.result().out, "KAVRO v1.6.1\n");  // no "hello: ..." complaint
}

TEST_F(HelloExampleX11, CloseButtonEndsIt) {
  ASSERT_TRUE(xvfb.CloseWindow(window));
  ASSERT_TRUE(proc.Wait(10000)) << "still running after WM_DELETE_WINDOW";
  EXPECT_EQ(proc.result().status, 0) << proc.result().err;
  EXPECT_EQ(proc.result().out, "KAVRO v1.6.1\n");
}

}  // namespace
