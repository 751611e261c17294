// Video and surface bindings, checked by reading pixels back from the
// surfaces in C++ (dummy video driver).
#include <gtest/gtest.h>
#include <physfs.h>
#include <unistd.h>

#include <SDL.h>
#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <string>

#include "binding/boxes.h"
#include "host/vfs.h"
#include "support/e2e.h"
#include "support/lua_state.h"

namespace {

class Video : public LuaTest {
 protected:
  void SetUp() override {
    LuaTest::SetUp();
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    // 32-bit surfaces with a known layout: 0x00RRGGBB.
    Exec("function rgb32(w, h) return SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0) end");
  }
  void TearDown() override {
    LuaTest::TearDown();
    SDL_Quit();
  }

  SDL_Surface* Surface(const char* global) {
    lua_getglobal(L, global);
    void* block = kv::ToBox<kv::box::Surface>(L, -1);
    lua_pop(L, 1);
    return block ? kv::PayloadOf<kv::box::Surface>(block) : nullptr;
  }
  // A rectangle box as a global; its address inside the box.
  SDL_Rect* NewRect(const char* global, Sint16 x, Sint16 y, Uint16 w, Uint16 h) {
    kv::PushBox<kv::box::Rect>(L, SDL_Rect{x, y, w, h});
    SDL_Rect* r = kv::PayloadOf<kv::box::Rect>(lua_touserdata(L, -1));
    lua_setglobal(L, global);
    return r;
  }
  static Uint32 Pixel(SDL_Surface* s, int x, int y) {
    auto* row = static_cast<Uint8*>(s->pixels) + y * s->pitch;
    switch (s->format->BytesPerPixel) {
      case 1:
        return row[x];
      case 2:
        return reinterpret_cast<Uint16*>(row)[x];
      case 3:
        return row[x * 3] | row[x * 3 + 1] << 8 | row[x * 3 + 2] << 16;
      default:
        return reinterpret_cast<Uint32*>(row)[x];
    }
  }
  // Every pixel of the surface against expected(x, y).
  template <class F>
  static void ExpectPixels(SDL_Surface* s, F expected) {
    for (int y = 0; y < s->h; ++y)
      for (int x = 0; x < s->w; ++x)
        EXPECT_EQ(Pixel(s, x, y), Uint32(expected(x, y))) << "at " << x << "," << y;
  }
  static std::string Text(const SDL_Rect* r) {
    return std::to_string(r->x) + "," + std::to_string(r->y) + " " + std::to_string(r->w) + "x" +
           std::to_string(r->h);
  }
  static Uint32 Rgb(SDL_Surface* s, int x, int y) {
    Uint8 r, g, b;
    SDL_GetRGB(Pixel(s, x, y), s->format, &r, &g, &b);
    return Uint32(r) << 16 | Uint32(g) << 8 | b;
  }
};

TEST_F(Video, BlitWithNilRectanglesCopiesToTheTopLeft) {
  Exec(
      "src = rgb32(4, 3); dst = rgb32(8, 8); SDL_FillRect(src, nil, 0xFF0000); SDL_FillRect(dst, nil, "
      "0x0000FF)");
  EXPECT_EQ(Num("SDL_BlitSurface(src, nil, dst, nil)"), 0);
  SDL_Surface* d = Surface("dst");
  ExpectPixels(d, [](int x, int y) { return (x < 4 && y < 3) ? 0xFF0000u : 0x0000FFu; });
}

TEST_F(Video, BlitLeavesTheClippedAreaInTheDestinationRectangle) {
  Exec("src = rgb32(4, 4); dst = rgb32(8, 8); SDL_FillRect(src, nil, 0x00FF00); SDL_FillRect(dst, nil, 0)");
  SDL_Rect* r = NewRect("r", 6, -2, 4, 4);
  EXPECT_EQ(Num("SDL_BlitSurface(src, nil, dst, r)"), 0);
  EXPECT_EQ(Text(r), "6,0 2x2");
  SDL_Surface* d = Surface("dst");
  ExpectPixels(d, [](int x, int y) { return (x >= 6 && y < 2) ? 0x00FF00u : 0u; });
}

TEST_F(Video, FillRectColoursConvertAsUnsigned32Bit) {
  Exec("s = SDL_CreateRGBSurface(0, 3, 3, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)");
  SDL_Surface* s = Surface("s");
  EXPECT_EQ(Num("SDL_FillRect(s, nil, 4294967295)"), 0);
  EXPECT_EQ(Pixel(s, 2, 2), 0xFFFFFFFFu);
  EXPECT_EQ(Num("SDL_FillRect(s, nil, 0)"), 0);
  EXPECT_EQ(Pixel(s, 0, 0), 0u);
  EXPECT_EQ(Pixel(s, 2, 2), 0u);
  EXPECT_EQ(Num("SDL_FillRect(s, nil, -1)"), 0);
  EXPECT_EQ(Pixel(s, 1, 1), 0xFFFFFFFFu);
  // A rectangle reaching outside is clipped and written back.
  SDL_Rect* r = NewRect("r", -1, 1, 3, 5);
  EXPECT_EQ(Num("SDL_FillRect(s, r, 0)"), 0);
  EXPECT_EQ(Text(r), "0,1 2x2");
  EXPECT_EQ(Pixel(s, 1, 2), 0u);
  EXPECT_EQ(Pixel(s, 2, 2), 0xFFFFFFFFu);
}

TEST_F(Video, ByteComponentsKeepTheLow8BitsOfA16BitTruncation) {
  Exec("s = rgb32(1, 1); f = s.format");
  EXPECT_EQ(Num("SDL_MapRGB(f, 256, 0, 0)"), 0);
  EXPECT_EQ(Num("SDL_MapRGB(f, 255, 0, 0)"), 0xFF0000);
  EXPECT_EQ(Num("SDL_MapRGB(f, 300, 1.9, -1)"), (44 << 16) | (1 << 8) | 0xFF);
  EXPECT_EQ(Num("SDL_MapRGB(f, 40000, 0, 0)"), 0);
  EXPECT_EQ(Num("SDL_MapRGBA(f, 1, 2, 3, 4)"), 0x010203);
  EXPECT_EQ(Num("SDL_MapRGB(f, '16', 0, 0)"), 16 << 16);
}

TEST_F(Video, ClipRectangles) {
  Exec("s = rgb32(8, 8)");
  NewRect("clip", 2, 2, 3, 3);
  SDL_Rect* got = NewRect("got", 0, 0, 0, 0);
  EXPECT_TRUE(Bool("SDL_SetClipRect(s, clip)"));
  Exec("SDL_GetClipRect(s, got); SDL_FillRect(s, nil, 0xFFFFFF)");
  EXPECT_EQ(Text(got), "2,2 3x3");
  SDL_Surface* s = Surface("s");
  ExpectPixels(s, [](int x, int y) { return (x >= 2 && x < 5 && y >= 2 && y < 5) ? 0xFFFFFFu : 0u; });
  NewRect("away", 20, 20, 3, 3);
  EXPECT_FALSE(Bool("SDL_SetClipRect(s, away)"));
  EXPECT_TRUE(Bool("SDL_SetClipRect(s, nil)"));
  Exec("SDL_GetClipRect(s, got)");
  EXPECT_EQ(Text(got), "0,0 8x8");
  EXPECT_EQ(Run("SDL_GetClipRect(s, nil)"), "test:1: SDL_GetClipRect: Argument 2 should be of type SDL_Rect");
}

TEST_F(Video, ColourKeyAndSurfaceAlpha) {
  Exec("src = rgb32(2, 1); dst = rgb32(2, 1); SDL_FillRect(dst, nil, 0x0000FF)");
  SDL_Surface* src = Surface("src");
  SDL_Surface* dst = Surface("dst");
  static_cast<Uint32*>(src->pixels)[0] = 0xFF00FF;  // the key
  static_cast<Uint32*>(src->pixels)[1] = 0xFF0000;
  EXPECT_EQ(Num("SDL_SetColorKey(src, SDL_SRCCOLORKEY, 0xFF00FF)"), 0);
  EXPECT_EQ(Num("SDL_BlitSurface(src, nil, dst, nil)"), 0);
  EXPECT_EQ(Pixel(dst, 0, 0), 0x0000FFu);
  EXPECT_EQ(Pixel(dst, 1, 0), 0xFF0000u);

  // Alpha 384 arrives as 128: half red over blue.
  Exec("SDL_SetColorKey(src, 0, 0); SDL_FillRect(src, nil, 0xFF0000); SDL_FillRect(dst, nil, 0x0000FF)");
  EXPECT_EQ(Num("SDL_SetAlpha(src, SDL_SRCALPHA, 384)"), 0);
  EXPECT_EQ(src->format->alpha, 128);
  EXPECT_EQ(Num("SDL_BlitSurface(src, nil, dst, nil)"), 0);
  Uint32 p = Pixel(dst, 0, 0);
  EXPECT_NEAR(double((p >> 16) & 0xFF), 128, 2);
  EXPECT_EQ((p >> 8) & 0xFF, 0u);
  EXPECT_NEAR(double(p & 0xFF), 127, 2);
}

TEST_F(Video, ConvertSurfaceToAnotherFormat) {
  Exec("src = rgb32(2, 2); SDL_FillRect(src, nil, 0xFF8000)");
  Exec("fmt16 = SDL_CreateRGBSurface(0, 1, 1, 16, 0xF800, 0x07E0, 0x001F, 0)");
  Exec("out = SDL_ConvertSurface(src, fmt16.format, 0)");
  SDL_Surface* out = Surface("out");
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(out->format->BitsPerPixel, 16);
  EXPECT_EQ(Pixel(out, 1, 1), (0x1Fu << 11) | (0x20u << 5));
  EXPECT_EQ(Type("SDL_ConvertSurface(src, SDL_CreateRGBSurface(0, 1, 1, 77, 0, 0, 0, 0).format, 0)"),
            "userdata");
}

TEST_F(Video, SoftStretchScalesSameFormatSurfaces) {
  Exec("src = rgb32(2, 2); dst = rgb32(4, 4)");
  SDL_Surface* src = Surface("src");
  const Uint32 colours[4] = {0x110000, 0x002200, 0x000033, 0x444444};
  for (int i = 0; i < 4; ++i)
    static_cast<Uint32*>(src->pixels)[(i / 2) * src->pitch / 4 + i % 2] = colours[i];
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, dst, nil)"), 0);
  SDL_Surface* dst = Surface("dst");
  ExpectPixels(dst, [&](int x, int y) { return colours[(y / 2) * 2 + x / 2]; });
  NewRect("outside", 3, 3, 4, 4);
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, dst, outside)"), -1);
}

TEST_F(Video, LowerBlitNeverLeavesTheSurfaces) {
  Exec("src = rgb32(4, 4); dst = rgb32(3, 3); SDL_FillRect(src, nil, 0xABCDEF); SDL_FillRect(dst, nil, 0)");
  EXPECT_EQ(Num("SDL_LowerBlit(src, nil, dst, nil)"), 0);  // nil: whole source, at the origin, cut to fit
  EXPECT_EQ(Pixel(Surface("dst"), 2, 2), 0xABCDEFu);
  Exec("SDL_FillRect(dst, nil, 0)");
  NewRect("off", 2, 2, 3, 3);
  EXPECT_EQ(Num("SDL_LowerBlit(src, nil, dst, off)"), -1);
  EXPECT_EQ(Pixel(Surface("dst"), 2, 2), 0u);
}

TEST_F(Video, SaveThenLoadBmpRoundTrip) {
  e2e::TempDir dir;
  Exec("s = rgb32(3, 2); SDL_FillRect(s, nil, 0x123456)");
  SDL_Surface* s = Surface("s");
  static_cast<Uint32*>(s->pixels)[0] = 0xFEDCBA;
  lua_pushstring(L, (dir / "out.bmp").c_str());
  lua_setglobal(L, "path");
  EXPECT_EQ(Num("SDL_SaveBMP(s, path)"), 0);
  EXPECT_EQ(dir.Read("out.bmp").substr(0, 2), "BM");
  Exec("back = SDL_LoadBMP(path)");
  SDL_Surface* back = Surface("back");
  ASSERT_NE(back, nullptr) << SDL_GetError();
  EXPECT_EQ(back->w, 3);
  EXPECT_EQ(back->h, 2);
  EXPECT_EQ(Rgb(back, 0, 0), 0xFEDCBAu);
  EXPECT_EQ(Rgb(back, 2, 1), 0x123456u);
  EXPECT_EQ(Num("SDL_SaveBMP(s, path .. '/no/such/dir/x.bmp')"), -1);
  EXPECT_EQ(Type("SDL_LoadBMP(path .. '.missing')"), "nil");
}

// Loading by name with the virtual file system running: a base directory
// at the head of the search path and an archive behind it.
class VideoArchive : public Video {
 protected:
  void SetUp() override {
    Video::SetUp();
    // Each copy of a name has its own width, to tell where it was read.
    Bmp("zipsrc/only_zip.bmp", 32);
    Bmp("zipsrc/both.bmp", 2);
    Bmp("zipsrc/zip_and_cwd.bmp", 2);
    Bmp("base/both.bmp", 3);
    Bmp("cwd/zip_and_cwd.bmp", 3);
    Bmp("cwd/only_cwd.bmp", 16);
    dir.Write("zipsrc/broken.bmp", "BM not really a bitmap");
    ASSERT_TRUE(dir.Zip("game.zip", {"only_zip.bmp", "both.bmp", "zip_and_cwd.bmp", "broken.bmp"}, "zipsrc"));
    VfsStop();
    ASSERT_EQ(VfsStart(nullptr), 1);
    PHYSFS_unmount(PHYSFS_getBaseDir());
    ASSERT_NE(PHYSFS_mount((dir / "base").c_str(), nullptr, 0), 0);
    ASSERT_NE(VfsMount((dir / "game.zip").c_str()), 0) << VfsLastError();
    ASSERT_NE(getcwd(oldCwd, sizeof oldCwd), nullptr);
    ASSERT_EQ(chdir((dir / "cwd").c_str()), 0);
  }
  void TearDown() override {
    if (oldCwd[0]) {
      EXPECT_EQ(chdir(oldCwd), 0);
    }
    VfsStop();
    Video::TearDown();
  }
  // A BMP file `width` pixels wide written by SDL.
  void Bmp(const std::string& rel, int width) {
    dir.Write(rel, "");
    SDL_Surface* s = SDL_CreateRGBSurface(0, width, 1, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SDL_SaveBMP(s, (dir / rel).c_str()), 0);
    SDL_FreeSurface(s);
  }
  int Width(const char* name) {
    lua_pushstring(L, name);
    lua_setglobal(L, "name");
    Exec("img = SDL_LoadBMP(name)");
    SDL_Surface* s = Surface("img");
    return s ? s->w : -1;
  }

  e2e::TempDir dir;
  char oldCwd[PATH_MAX] = {};
};

TEST_F(VideoArchive, LoadBmpReadsTheVirtualFileSystemFirst) {
  EXPECT_EQ(Width("only_zip.bmp"), 32);    // from the archive
  EXPECT_EQ(Width("both.bmp"), 3);         // the base directory comes before the archive
  EXPECT_EQ(Width("zip_and_cwd.bmp"), 2);  // the working directory's copy is not consulted
  EXPECT_EQ(Width("only_cwd.bmp"), 16);    // only the working directory holds it
  EXPECT_EQ(Width("broken.bmp"), -1);
  EXPECT_EQ(Width("nowhere.bmp"), -1);
}

TEST_F(Video, ArgumentErrors) {
  Exec("s = rgb32(2, 2)");
  NewRect("r", 0, 0, 1, 1);
  EXPECT_EQ(Run("SDL_BlitSurface(r, nil, s, nil)"),
            "test:1: SDL_BlitSurface: Argument 1 should be of type SDL_Surface");
  EXPECT_EQ(Run("SDL_BlitSurface(r, nil, r, nil)"),
            "test:1: SDL_BlitSurface: Argument 1 should be of type SDL_Surface");
  EXPECT_EQ(Run("SDL_FillRect(s, 0)"), "test:1: SDL_FillRect: Got 2 arguments instead of 3");
  EXPECT_EQ(Run("SDL_FreeSurface(r)"), "test:1: SDL_FreeSurface: Argument 1 should be of type SDL_Surface");
  EXPECT_EQ(Run("SDL_WM_SetCaption({}, nil)"),
            "test:1: SDL_WM_SetCaption: Argument 1 should be of type string");
  EXPECT_EQ(Run("SDL_MapRGB(s.format, true, 0, 0)"),
            "test:1: SDL_MapRGB: Argument 2 should be of type number");
  EXPECT_EQ(Run("SDL_CreateRGBSurfaceFrom(1, 1, 1, 32, 4, 0, 0, 0, 0)"),
            "test:1: SDL_CreateRGBSurfaceFrom: Argument 1 should be of type userdata");
  // The value form of SDL_Color holds one colour, no array.
  kv::PushBox<kv::box::Color>(L, SDL_Color{1, 2, 3, 0});
  lua_setglobal(L, "c");
  Exec("p = SDL_CreateRGBSurface(0, 2, 2, 8, 0, 0, 0, 0)");
  EXPECT_EQ(Run("SDL_SetColors(p, c, 0, 1)"),
            "test:1: SDL_SetColors: Argument 2 should be of type SDL_Color");
  EXPECT_EQ(Run("SDL_SetPalette(p, 1, c, 0, 1)"),
            "test:1: SDL_SetPalette: Argument 3 should be of type SDL_Color");
}

TEST_F(Video, WindowCaptionAndVideoSurface) {
  Exec("SDL_WM_SetCaption('kavro title', 'icon')");
  char* title = nullptr;
  char* icon = nullptr;
  SDL_WM_GetCaption(&title, &icon);
  EXPECT_STREQ(title, "kavro title");
  EXPECT_STREQ(icon, "icon");
  EXPECT_EQ(Run("SDL_WM_SetCaption(nil, nil)"), "");

  EXPECT_EQ(Type("SDL_GetVideoSurface()"), "nil");
  Exec("screen = SDL_SetVideoMode(64, 48, 32, 0)");
  ASSERT_NE(Surface("screen"), nullptr);
  Exec("a = SDL_GetVideoSurface(); b = SDL_GetVideoSurface()");
  EXPECT_FALSE(Bool("rawequal(a, b)"));
  EXPECT_EQ(Surface("a"), Surface("b"));
  EXPECT_EQ(Num("SDL_FillRect(a, nil, 7)"), 0);
  EXPECT_EQ(Num("SDL_FillRect(b, nil, 7)"), 0);
  EXPECT_EQ(Num("SDL_Flip(a)"), 0);
  EXPECT_EQ(Num("SDL_VideoModeOK(64, 48, 32, 0)"), 32);
  EXPECT_EQ(Num("SDL_GetVideoInfo().current_w"), 64);
  // Update rectangles are clipped to the screen; only the one rectangle is read.
  NewRect("r", -100, -100, 65535, 65535);
  Exec("SDL_UpdateRect(a, 10, 20, 30, 40); SDL_UpdateRect(a, 0, 0, 0, 0); SDL_UpdateRect(a, -5, -5, -1, -1)");
  Exec("SDL_UpdateRects(a, 5, r); SDL_UpdateRects(a, 3, nil); SDL_UpdateRects(a, -1, r)");
  EXPECT_EQ(Num("r.x"), -100);  // the script's rectangle is left as it was
}

// An 8-bit palette screen on the dummy driver is a shadow surface: SDL's
// updates copy the shadow to the real screen, so the real screen shows
// which area an update covered.  The real screen is the destination of the
// shadow's blit mapping after the first update.
TEST_F(Video, UpdateRectCoversWhatSdlCovers) {
  Exec("screen = SDL_SetVideoMode(64, 48, 8, SDL_HWPALETTE)");
  SDL_ShowCursor(SDL_DISABLE);  // the cursor is drawn into the copies
  SDL_Surface* shadow = Surface("screen");
  ASSERT_NE(shadow, nullptr);
  Exec("SDL_UpdateRect(screen, 0, 0, 0, 0)");
  SDL_Surface* real = *reinterpret_cast<SDL_Surface**>(shadow->map);
  if (real == nullptr || real == shadow) GTEST_SKIP() << "no shadow surface";
  auto covered = [&](const char* call) {
    SDL_FillRect(real, nullptr, 0);
    SDL_FillRect(shadow, nullptr, 0x0F);
    Exec(call);
    std::string area;
    int n = 0, x0 = 99, y0 = 99, x1 = -1, y1 = -1;
    for (int y = 0; y < real->h; ++y)
      for (int x = 0; x < real->w; ++x)
        if (Pixel(real, x, y) != 0) {
          ++n;
          x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
        }
    if (n == 0) return std::string("none");
    EXPECT_EQ(n, (x1 - x0 + 1) * (y1 - y0 + 1)) << call;
    return std::to_string(x0) + "," + std::to_string(y0) + " " + std::to_string(x1 - x0 + 1) + "x" +
           std::to_string(y1 - y0 + 1);
  };
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 10, 20, 30, 40)"), "none");  // reaches row 60 of 48
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 10, 20, 30, 28)"), "10,20 30x28");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 0, 0, 0, 0)"), "0,0 64x48");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 5, 0, 0, 10)"), "none");  // width 0 is the screen's: 5 + 64 > 64
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 0, 3, 10, 0)"), "none");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 0, 0, 10, 0)"), "0,0 10x48");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, 60, 0, 5, 5)"), "none");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, '59', 43.9, 5, 5)"), "59,43 5x5");
  EXPECT_EQ(covered("SDL_UpdateRect(screen, -5, -5, 10, 10)"), "0,0 5x5");  // clipped, not copied from outside
  NewRect("r", 60, 40, 10, 10);
  EXPECT_EQ(covered("SDL_UpdateRects(screen, 1, r)"), "60,40 4x8");
  EXPECT_EQ(covered("SDL_UpdateRects(screen, 0, r)"), "none");
}

TEST_F(Video, EmptyStretchAndOverlayAreasDrawNothing) {
  Exec("src = rgb32(4, 4); dst = rgb32(4, 4); SDL_FillRect(src, nil, 0xFFFFFF); SDL_FillRect(dst, nil, 0)");
  NewRect("flat", 0, 0, 4, 0);
  NewRect("thin", 1, 1, 0, 2);
  NewRect("corner", 4, 4, 0, 0);
  NewRect("column", 0, 0, 0, 4);
  NewRect("outside", -1, 0, 0, 4);
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, dst, flat)"), 0);
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, dst, thin)"), 0);
  EXPECT_EQ(Num("SDL_SoftStretch(src, corner, dst, nil)"), 0);
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, rgb32(0, 0), nil)"), 0);
  EXPECT_EQ(Num("SDL_SoftStretch(rgb32(0, 0), nil, dst, nil)"), 0);
  ExpectPixels(Surface("dst"), [](int, int) { return 0u; });
  EXPECT_EQ(Num("SDL_SoftStretch(src, nil, dst, outside)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Invalid destination blit rectangle");
  EXPECT_EQ(Num("SDL_SoftStretch(src, outside, dst, flat)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Invalid source blit rectangle");
  EXPECT_EQ(Num("SDL_SoftStretch(SDL_CreateRGBSurface(0, 4, 4, 8, 0, 0, 0, 0), nil, dst, flat)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Only works with same format surfaces");
  // An empty source column inside the surface is SDL's to stretch.
  EXPECT_EQ(Num("SDL_SoftStretch(src, column, dst, nil)"), 0);
  EXPECT_EQ(Pixel(Surface("dst"), 3, 3), 0xFFFFFFu);

  Exec("screen = SDL_SetVideoMode(64, 48, 32, 0); o = SDL_CreateYUVOverlay(16, 16, SDL_YV12_OVERLAY, screen)");
  ASSERT_EQ(Type("o"), "userdata");
  NewRect("nowidth", -1, 0, 0, 10);
  NewRect("noheight", 0, -1, 10, 0);
  NewRect("inside", 10, 10, 0, 5);
  EXPECT_EQ(Num("SDL_DisplayYUVOverlay(o, nowidth)"), 0);
  EXPECT_EQ(Num("SDL_DisplayYUVOverlay(o, noheight)"), 0);
  EXPECT_EQ(Num("SDL_DisplayYUVOverlay(o, inside)"), 0);
  Exec("SDL_FreeYUVOverlay(o)");
}

TEST_F(Video, NegativeSurfaceSizesGiveNil) {
  EXPECT_EQ(Type("SDL_CreateRGBSurface(0, -5, 10, 32, 0, 0, 0, 0)"), "nil");
  EXPECT_EQ(Type("SDL_AllocSurface(0, 5, -1, 32, 0, 0, 0, 0)"), "nil");
  EXPECT_EQ(Type("SDL_CreateRGBSurface(0, 0, 0, 32, 0, 0, 0, 0)"), "userdata");
  static Uint32 pixels[4];
  lua_pushlightuserdata(L, pixels);
  lua_setglobal(L, "light");
  EXPECT_EQ(Type("SDL_CreateRGBSurfaceFrom(light, -2, 2, 32, 8, 0, 0, 0, 0)"), "nil");
}

TEST_F(Video, CallsThatNeedVideoAnswerFailureWithoutIt) {
  Exec("s = rgb32(2, 2)");
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  NewRect("r", 0, 0, 1, 1);
  EXPECT_EQ(Num("SDL_Flip(s)"), -1);
  EXPECT_EQ(Type("SDL_DisplayFormat(s)"), "nil");
  EXPECT_EQ(Type("SDL_DisplayFormatAlpha(s)"), "nil");
  EXPECT_EQ(Num("SDL_VideoModeOK(64, 48, 32, 0)"), 0);
  EXPECT_EQ(Num("SDL_SetGamma(1, 1, 1)"), -1);
  EXPECT_EQ(Num("SDL_WM_IconifyWindow()"), 0);
  EXPECT_EQ(Num("SDL_WM_ToggleFullScreen(s)"), 0);
  EXPECT_EQ(Type("SDL_CreateYUVOverlay(8, 8, SDL_YV12_OVERLAY, s)"), "nil");
  Exec("SDL_UpdateRect(s, 0, 0, 0, 0); SDL_UpdateRects(s, 1, r)");
  EXPECT_STREQ(SDL_GetError(), "Video subsystem has not been initialized");
}

TEST_F(Video, YuvOverlaysDisplayOnTheScreenOnly) {
  Exec("screen = SDL_SetVideoMode(64, 48, 32, 0); other = rgb32(8, 8)");
  EXPECT_EQ(Type("SDL_CreateYUVOverlay(16, 16, SDL_YV12_OVERLAY, other)"), "nil");
  EXPECT_EQ(Type("SDL_CreateYUVOverlay(0, 16, SDL_YV12_OVERLAY, screen)"), "nil");
  Exec("o = SDL_CreateYUVOverlay(16, 16, SDL_YV12_OVERLAY, screen)");
  EXPECT_EQ(Type("o"), "userdata");
  NewRect("r", -10, -10, 200, 200);
  EXPECT_EQ(Num("SDL_LockYUVOverlay(o)"), 0);
  Exec("SDL_UnlockYUVOverlay(o)");
  EXPECT_EQ(Num("SDL_DisplayYUVOverlay(o, r)"), 0);
  EXPECT_EQ(Num("SDL_DisplayYUVOverlay(o, nil)"), -1);
  Exec("SDL_FreeYUVOverlay(o)");
}

TEST_F(Video, PaletteCopiesStayInsideThePalettes) {
  Exec("a = SDL_CreateRGBSurface(0, 1, 1, 8, 0, 0, 0, 0); b = SDL_CreateRGBSurface(0, 1, 1, 8, 0, 0, 0, 0)");
  SDL_Palette* pa = Surface("a")->format->palette;
  SDL_Palette* pb = Surface("b")->format->palette;
  ASSERT_EQ(pa->ncolors, 256);
  for (int i = 0; i < 256; ++i) pa->colors[i] = SDL_Color{Uint8(i), Uint8(255 - i), 7, 0};
  for (int i = 0; i < 256; ++i) pb->colors[i] = SDL_Color{0, 0, 0, 0};
  Exec("colors = a.format.palette.colors");
  EXPECT_EQ(Num("SDL_SetColors(b, colors, 0, 4)"), 1);
  EXPECT_EQ(pb->colors[3].r, 3);
  EXPECT_EQ(pb->colors[4].b, 0);
  EXPECT_EQ(Num("SDL_SetColors(b, colors, -1, 4)"), 0);
  EXPECT_EQ(Num("SDL_SetColors(b, colors, 10, -5)"), 0);
  EXPECT_EQ(Num("SDL_SetColors(b, colors, 300, 1)"), 0);
  EXPECT_EQ(pb->colors[10].b, 0);
  EXPECT_EQ(Num("SDL_SetPalette(b, SDL_LOGPAL, colors, 250, 10)"), 0);  // cut to 6
  EXPECT_EQ(pb->colors[255].r, 5);                                      // copied from a's colours 0..5
  EXPECT_EQ(pb->colors[250].r, 0);
  EXPECT_EQ(pb->colors[250].b, 7);
  EXPECT_EQ(Num("SDL_SetColors(rgb32(1, 1), colors, 0, 1)"), 0);  // no palette
}

TEST_F(Video, SurfaceFromScriptMemoryFitsTheBlock) {
  auto* block = static_cast<Uint8*>(lua_newuserdata(L, 64));
  lua_setglobal(L, "mem");
  Exec("s = SDL_CreateRGBSurfaceFrom(mem, 4, 4, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0)");
  ASSERT_NE(Surface("s"), nullptr);
  EXPECT_EQ(Surface("s")->pixels, block);
  Exec("SDL_FillRect(s, nil, 0x010203)");
  EXPECT_EQ(block[63], 0);
  EXPECT_EQ(block[60], 3);
  EXPECT_EQ(Type("SDL_CreateRGBSurfaceFrom(mem, 4, 5, 32, 16, 0, 0, 0, 0)"), "nil");
  EXPECT_EQ(Type("SDL_CreateRGBSurfaceFrom(mem, 8, 2, 32, 16, 0, 0, 0, 0)"),
            "nil");  // rows longer than pitch
  EXPECT_EQ(Type("SDL_CreateRGBSurfaceFrom(mem, 4, 4, 32, -16, 0, 0, 0, 0)"), "nil");
  Exec("u = SDL_CreateRGBSurfaceFrom(mem, 4, 2, 32, 32, 0, 0, 0, 0)");
  EXPECT_EQ(Type("u"), "userdata");
  // The surface keeps the memory alive until it is freed.
  Exec("weak = setmetatable({mem}, {__mode = 'v'}); mem = nil; collectgarbage(); collectgarbage()");
  EXPECT_EQ(Type("weak[1]"), "userdata");
  Exec("SDL_FreeSurface(s); collectgarbage(); collectgarbage()");
  EXPECT_EQ(Type("weak[1]"), "userdata");  // u still reads it
  Exec("SDL_FreeSurface(u); collectgarbage(); collectgarbage()");
  EXPECT_EQ(Type("weak[1]"), "nil");
}

TEST_F(Video, SurfaceOverAnotherSurfacesPixelsKeepsItsSourceUntilFreed) {
  Exec("big = rgb32(4, 4) t = SDL_CreateRGBSurfaceFrom(big.pixels, 2, 2, 32, 16, 0xFF0000, 0xFF00, 0xFF, 0)");
  ASSERT_EQ(Type("t"), "userdata");
  EXPECT_EQ(Type("SDL_CreateRGBSurfaceFrom(big.pixels, 4, 5, 32, 16, 0, 0, 0, 0)"), "nil");  // past its end
  SDL_Surface* big = Surface("big");
  Exec("SDL_FillRect(t, nil, 9)");
  EXPECT_EQ(Pixel(big, 1, 1), 9u);
  EXPECT_EQ(Pixel(big, 2, 1), 0u);
  // Freeing the source while t reads it: the source is refused from then
  // on, its memory stays until t is freed.
  Exec("SDL_FreeSurface(big)");
  EXPECT_EQ(Num("SDL_FillRect(big, nil, 1)"), -1);
  EXPECT_STREQ(SDL_GetError(), "SDL_Surface has been released");
  EXPECT_EQ(Num("SDL_FillRect(t, nil, 5)"), 0);
  EXPECT_EQ(Pixel(big, 0, 0), 5u);
  Exec("SDL_FreeSurface(t)");
  EXPECT_EQ(Num("SDL_FillRect(t, nil, 1)"), -1);
}

}  // namespace

namespace {

// Faults inside SDL that scripts could reach with live objects.
TEST_F(Video, SdlFaultsAreNotReached) {
  // The dummy driver sizes its buffer for whole bytes per pixel: depths
  // between are rounded up, and the mode check agrees.
  for (int depth : {12, 15, 17, 25}) {
    SCOPED_TRACE(depth);
    int rounded = (depth + 7) / 8 * 8;
    std::string d = std::to_string(depth);
    EXPECT_EQ(Num("SDL_VideoModeOK(64, 48, " + d + ", 0)"), rounded);
    Exec("screen = SDL_SetVideoMode(64, 48, " + d + ", 0)");
    EXPECT_EQ(Num("screen.format.BitsPerPixel"), rounded);
    EXPECT_EQ(Num("SDL_FillRect(screen, nil, 0xFFFFFFFF)"), 0);
  }
  // Its buffer size is an int and its pitch 16 bits.
  for (const char* mode : {"32768, 32768, 32", "16384, 4, 32", "46341, 46341, 8", "16383, 4097, 32"}) {
    EXPECT_EQ(Num(std::string("SDL_VideoModeOK(") + mode + ", 0)"), 0) << mode;
    EXPECT_EQ(Type(std::string("SDL_SetVideoMode(") + mode + ", 0)"), "nil") << mode;
    EXPECT_STREQ(SDL_GetError(), "Video mode too large for the dummy driver");
  }
  EXPECT_EQ(Num("SDL_VideoModeOK(16383, 4, 32, 0)"), 32);
  // A colour-keyed surface with RLE acceleration blitted onto itself.
  Exec("s = rgb32(8, 8) SDL_SetColorKey(s, SDL_SRCCOLORKEY + SDL_RLEACCEL, 0)");
  for (const char* blit : {"SDL_BlitSurface", "SDL_UpperBlit", "SDL_LowerBlit"}) {
    EXPECT_EQ(Num(std::string(blit) + "(s, nil, s, nil)"), -1) << blit;
    EXPECT_STREQ(SDL_GetError(), "An RLE-accelerated surface cannot be blitted onto itself");
  }
  // Its first blit encodes it and frees its pixels: a stream over them dies.
  Exec("t = rgb32(8, 8) rw = SDL_RWFromConstMem(s.pixels, 256)");
  EXPECT_EQ(Num("SDL_RWtell(rw)"), 0);
  EXPECT_EQ(Num("SDL_BlitSurface(s, nil, t, nil)"), 0);
  EXPECT_EQ(Num("SDL_RWtell(rw)"), -1);
  EXPECT_STREQ(SDL_GetError(), "SDL_RWops has been released");
  // Surfaces of 1 or 4 bits per pixel are never blitted.
  Exec("one = SDL_CreateRGBSurface(0, 64, 4, 1, 0, 0, 0, 0) four = SDL_CreateRGBSurface(0, 64, 4, 4, 0, 0, 0, 0)");
  for (const char* call : {"SDL_BlitSurface(one, nil, one, nil)", "SDL_BlitSurface(four, nil, four, nil)",
                           "SDL_BlitSurface(t, nil, one, nil)", "SDL_BlitSurface(one, nil, t, nil)",
                           "SDL_SoftStretch(one, nil, one, nil)"}) {
    EXPECT_EQ(Num(call), -1) << call;
    EXPECT_STREQ(SDL_GetError(), "Surfaces of fewer than 8 bits per pixel cannot be blitted");
  }
  EXPECT_EQ(Type("SDL_ConvertSurface(one, t.format, 0)"), "nil");
  // A palette copied onto itself, shifted by one colour.
  Exec("p = SDL_CreateRGBSurface(0, 4, 4, 8, 0, 0, 0, 0) colors = p.format.palette.colors");
  SDL_Palette* pal = Surface("p")->format->palette;
  for (int i = 0; i < 4; ++i) pal->colors[i] = SDL_Color{Uint8(10 * i), Uint8(i), 0, 0};
  EXPECT_EQ(Num("SDL_SetColors(p, colors, 1, 3)"), 1);
  for (int i = 1; i < 4; ++i) EXPECT_EQ(pal->colors[i].r, 10 * (i - 1)) << i;
  // The value form of SDL_Color is not a colour array.
  EXPECT_EQ(Run("SDL_SetColors(p, KAVRO_CreateColor(1, 2, 3), 0, 1)"),
            "test:1: SDL_SetColors: Argument 2 should be of type SDL_Color");
  EXPECT_EQ(Run("p.format.palette.colors = KAVRO_CreateColor(1, 2, 3)"),
            "test:1: Attemp to assign a non-userdata to SDL_Palette.colors");
}

}  // namespace
