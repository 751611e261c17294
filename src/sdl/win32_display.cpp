// Display-mode pinning for full-screen video modes on Windows.
#include "sdl/win32_display.h"

#ifdef _WIN32
#include <windows.h>

namespace {

// The settings in force before the first switch; valid while `g_saved`.
DEVMODEA g_savedMode;
bool g_saved = false;

// Bits per pixel, width and height: the fields a mode change applies.
constexpr DWORD kModeFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;

}  // namespace

void Win32PinDisplay60Hz(int width, int height, int bitsPerPixel) {
  DEVMODEA mode;
  for (DWORD i = 0;; ++i) {
    ZeroMemory(&mode, sizeof mode);
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsA(nullptr, i, &mode)) return;  // no such mode: leave the display alone
    mode.dmFields = kModeFields;
    if (static_cast<int>(mode.dmPelsWidth) == width && static_cast<int>(mode.dmPelsHeight) == height &&
        static_cast<int>(mode.dmBitsPerPel) == bitsPerPixel && mode.dmDisplayFrequency == 60 &&
        ChangeDisplaySettingsA(&mode, CDS_TEST) == DISP_CHANGE_SUCCESSFUL) {
      break;
    }
  }
  if (!g_saved) {
    ZeroMemory(&g_savedMode, sizeof g_savedMode);
    g_savedMode.dmSize = sizeof g_savedMode;
    g_saved = EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &g_savedMode) != 0;
  }
  ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN);
}

void Win32RestoreDisplay() {
  if (!g_saved) return;
  if (ChangeDisplaySettingsA(&g_savedMode, CDS_TEST) == DISP_CHANGE_SUCCESSFUL) {
    ChangeDisplaySettingsA(&g_savedMode, CDS_FULLSCREEN);
  } else {
    ChangeDisplaySettingsA(nullptr, CDS_RESET);
  }
  g_saved = false;
}
#endif
