// Every test runs headless unless it asks for a real display itself: SDL's
// dummy video and audio drivers, set before any test starts.
#include <cstdlib>

namespace {
struct Headless {
  Headless() {
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
  }
} headless;
}  // namespace
