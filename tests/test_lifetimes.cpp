// Object lifetimes: a box or handle whose object is not live never reaches
// the library; releases happen once; objects that read others keep them
// (and the script memory they read) until they are released themselves.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "binding/call.h"
#include "support/lua_state.h"

using namespace kv;

namespace {

// A test-only consumer of streams, as a font is: it keeps reading its
// stream until it is closed, and owns the stream with a free-source flag.
struct Reader {
  SDL_RWops* rw;
  int owns;
};
int g_readerCloses = 0;
_TTF_Font* OpenReader(SDL_RWops* rw, int freesrc) {
  auto* r = static_cast<Reader*>(std::malloc(sizeof(Reader)));
  *r = {rw, freesrc};
  return reinterpret_cast<_TTF_Font*>(r);
}
int ReaderRead(_TTF_Font* h) {
  unsigned char byte = 0;
  auto* r = reinterpret_cast<Reader*>(h);
  return SDL_RWread(r->rw, &byte, 1, 1) == 1 ? byte : -1;
}
void CloseReader(_TTF_Font* h) {
  auto* r = reinterpret_cast<Reader*>(h);
  if (r->owns) SDL_RWclose(r->rw);
  std::free(r);
  ++g_readerCloses;
}
using ReaderHandle = Handle<_TTF_Font, kTTF_Font, Live::Font>;
const luaL_Reg kReaderApi[] = {
    KV_FNR(TEST_OpenReader, &OpenReader, Reads<1>, Box<box::RWops>, FreeSrc<1>),
    KV_FN(TEST_ReaderRead, &ReaderRead, ReaderHandle),
    KV_FN(TEST_CloseReader, &CloseReader, Released<ReaderHandle>),
    {nullptr, nullptr}};

class Lifetimes : public LuaTest {
 protected:
  void SetUp() override {
    LuaTest::SetUp();
    lua_pushvalue(L, LUA_GLOBALSINDEX);
    luaL_register(L, nullptr, kReaderApi);
    lua_pop(L, 1);
    g_readerCloses = 0;
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
    Exec("function rgb32(w, h) return SDL_CreateRGBSurface(0, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0) end");
  }
  void TearDown() override {
    LuaTest::TearDown();
    SDL_Quit();
  }
  // The result of `call` and SDL's error text after it.
  std::string Refused(const std::string& call) {
    SDL_ClearError();
    std::string r = Str("tostring(" + call + ")");
    return r + " / " + SDL_GetError();
  }
  // A second box of the object the box `global` holds.
  template <class D>
  void SecondBox(const char* global, const char* second) {
    lua_getglobal(L, global);
    void* block = ToBox<D>(L, -1);
    ASSERT_NE(block, nullptr);
    PushBox<D>(L, PayloadOf<D>(block));
    lua_setglobal(L, second);
    lua_pop(L, 1);
  }
  // A Lua memory block holding `bytes`, with a recorded collection.
  void MemoryBlock(const char* global, const std::string& bytes) {
    void* p = lua_newuserdata(L, bytes.size());
    std::memcpy(p, bytes.data(), bytes.size());
    lua_setglobal(L, global);
    Exec(std::string("weak = weak or setmetatable({}, {__mode = 'v'}) weak.") + global + " = " + global);
  }
  bool Collected(const char* global) {
    Exec("collectgarbage('collect') collectgarbage('collect')");
    return Type(std::string("weak.") + global) == "nil";
  }
};

TEST_F(Lifetimes, ReleasedObjectsAreRefusedThroughEveryBox) {
  Exec("s = rgb32(4, 4) f = s.format");
  SecondBox<box::Surface>("s", "s2");
  SecondBox<box::PixelFormat>("f", "f2");
  Exec("SDL_FreeSurface(s)");
  EXPECT_EQ(Refused("SDL_FillRect(s2, nil, 0)"), "-1 / SDL_Surface has been released");
  EXPECT_EQ(Refused("SDL_MapRGB(f2, 1, 2, 3)"), "0 / SDL_PixelFormat has been released");
  EXPECT_EQ(Refused("SDL_SetColorKey(s, SDL_SRCCOLORKEY, 0)"), "-1 / SDL_Surface has been released");
  EXPECT_EQ(Refused("SDL_DisplayFormat(s2)"), "nil / SDL_Surface has been released");
  EXPECT_EQ(Refused("s2.w"), "nil / SDL_Surface has been released");
  Exec("s2.w = 5");  // dropped
  // Releasing again does nothing, through either box.
  Exec("SDL_FreeSurface(s) SDL_FreeSurface(s2)");
  // A value kavro never handed out: a handle of another kind, or a fake.
  Exec("m = SDL_CreateMutex()");
  EXPECT_EQ(Refused("SDL_SemPost(m)"), "-1 / SDL_sem was never made by kavro");
  EXPECT_EQ(Refused("SDL_JoystickGetAxis(m, 0)"), "0 / SDL_Joystick was never made by kavro");
  Exec("SDL_DestroyMutex(m) SDL_DestroyMutex(m)");
  EXPECT_EQ(Refused("SDL_LockMutex(m)"), "-1 / SDL_mutex has been released");
}

TEST_F(Lifetimes, ARawBlockCarryingAPointerBoxTagWasNeverMadeByKavro) {
  // A value box with a pointer box's block size, overwritten as raw memory
  // with the surface tag and a pointer.
  std::string maker;
  if (sizeof(BlockOf<box::Keyboard>) == sizeof(BlockOf<box::Surface>)) maker = "KAVRO_CreateKeyboard()";
  if (sizeof(BlockOf<box::KColor>) == sizeof(BlockOf<box::Surface>)) maker = "KAVRO_CreateColorRGBA(0, 0, 0, 0)";
  ASSERT_FALSE(maker.empty());
  BlockOf<box::Surface> forged{box::Surface::tag, reinterpret_cast<SDL_Surface*>(0x1000)};
  MemoryBlock("bytes", std::string(reinterpret_cast<const char*>(&forged), sizeof forged));
  Exec(std::string("b = ") + maker + " SDL_RWread(SDL_RWFromConstMem(bytes, " + std::to_string(sizeof forged) +
       "), b, " + std::to_string(sizeof forged) + ", 1)");
  EXPECT_EQ(Refused("SDL_FillRect(b, nil, 0)"), "-1 / SDL_Surface was never made by kavro");
  // The same address becomes live once the library makes an object there.
  Track(L, Live::Surface, reinterpret_cast<void*>(0x1000));
  EXPECT_TRUE(IsLive(Live::Surface, reinterpret_cast<void*>(0x1000)));
  Forget(L, Live::Surface, reinterpret_cast<void*>(0x1000));
}

TEST_F(Lifetimes, StreamsDieWhenConsumed) {
  SDL_Surface* s = SDL_CreateRGBSurface(0, 2, 2, 24, 0xFF, 0xFF00, 0xFF0000, 0);
  ASSERT_EQ(SDL_SaveBMP(s, "lifetimes.bmp"), 0);
  SDL_FreeSurface(s);
  Exec("rw = SDL_RWFromFile('lifetimes.bmp', 'rb') a = SDL_LoadBMP_RW(rw, 0)");
  EXPECT_EQ(Num("SDL_RWseek(rw, 0, 0)"), 0);  // still the script's
  Exec("b = SDL_LoadBMP_RW(rw, 1)");
  EXPECT_EQ(Type("b"), "userdata");
  EXPECT_EQ(Refused("SDL_RWtell(rw)"), "-1 / SDL_RWops has been released");
  Exec("SDL_RWclose(rw) SDL_FreeRW(rw)");
  // A refused call still hands its stream over, as SDL closes it on every
  // failure; a stream closed once is not closed again.
  Exec("SDL_FreeSurface(a) w = SDL_RWFromFile('out.bmp', 'wb')");
  EXPECT_EQ(Refused("SDL_SaveBMP_RW(a, w, 1)"), "-1 / SDL_Surface has been released");
  EXPECT_EQ(Refused("SDL_RWtell(w)"), "-1 / SDL_RWops has been released");
  Exec("c = SDL_RWFromFile('lifetimes.bmp', 'rb') SDL_RWclose(c) SDL_RWclose(c) SDL_FreeRW(c)");
  std::remove("lifetimes.bmp");
  std::remove("out.bmp");
}

TEST_F(Lifetimes, TheScreenAndWhatLivesWithVideo) {
  Exec("s = SDL_SetVideoMode(32, 24, 32, 0) f = s.format info = SDL_GetVideoInfo() vf = info.vfmt");
  SecondBox<box::Surface>("s", "s2");
  ASSERT_EQ(Num("SDL_MapRGB(f, 255, 0, 0)"), 0xFF0000);
  // A new mode keeps the screen (this driver reuses it) but not its format.
  Exec("t = SDL_SetVideoMode(16, 16, 16, 0)");
  EXPECT_EQ(Refused("SDL_MapRGB(f, 255, 0, 0)"), "0 / SDL_PixelFormat has been released");
  EXPECT_EQ(Refused("SDL_MapRGB(vf, 255, 0, 0)"), "0 / SDL_PixelFormat has been released");
  EXPECT_EQ(Num("SDL_MapRGB(s2.format, 255, 0, 0)"), 0xF800);
  EXPECT_EQ(Num("SDL_FillRect(s, nil, 0)"), 0);
  Exec("SDL_FreeSurface(s)");  // SDL ignores the screen
  EXPECT_EQ(Num("SDL_FillRect(s2, nil, 0)"), 0);
  // Video stops: screen, formats, video information, cursors go.
  Exec("c = SDL_GetCursor() SDL_Quit()");
  EXPECT_EQ(Refused("SDL_FillRect(s2, nil, 0)"), "-1 / SDL_Surface has been released");
  EXPECT_EQ(Refused("info.current_w"), "nil / SDL_VideoInfo has been released");
  Exec("SDL_SetCursor(c) SDL_FreeCursor(c)");
  EXPECT_EQ(Str("SDL_GetError()"), "SDL_Cursor has been released");
}

TEST_F(Lifetimes, ReadersKeepStreamsAndMemoryUntilReleased) {
  MemoryBlock("mem", "\x07\x08\x09");
  Exec("rw = SDL_RWFromConstMem(mem, 3) r = TEST_OpenReader(rw, 0) mem = nil");
  EXPECT_FALSE(Collected("mem"));
  // The script releases the stream the reader still reads: refused from
  // now on, closed when the reader goes.
  Exec("SDL_RWclose(rw)");
  EXPECT_EQ(Refused("SDL_RWtell(rw)"), "-1 / SDL_RWops has been released");
  EXPECT_EQ(Num("TEST_ReaderRead(r)"), 7);
  EXPECT_FALSE(Collected("mem"));
  Exec("TEST_CloseReader(r) TEST_CloseReader(r)");
  EXPECT_EQ(g_readerCloses, 1);
  EXPECT_TRUE(Collected("mem"));

  // Consumed by the reader: the reader closes it and keeps its memory.
  MemoryBlock("mem2", "\x05");
  Exec("rw = SDL_RWFromConstMem(mem2, 1) r = TEST_OpenReader(rw, 1) mem2 = nil");
  EXPECT_EQ(Refused("SDL_RWtell(rw)"), "-1 / SDL_RWops has been released");
  EXPECT_FALSE(Collected("mem2"));
  EXPECT_EQ(Num("TEST_ReaderRead(r)"), 5);
  Exec("TEST_CloseReader(r)");
  EXPECT_TRUE(Collected("mem2"));

  // A stream read by a reader is not handed to a loader that would close it.
  MemoryBlock("mem3", "\x03\x04");
  Exec("rw = SDL_RWFromConstMem(mem3, 2) r = TEST_OpenReader(rw, 0) SDL_LoadBMP_RW(rw, 1)");
  EXPECT_EQ(Refused("SDL_RWtell(rw)"), "-1 / SDL_RWops has been released");
  EXPECT_EQ(Num("SDL_RWseek(rw, 0, 0)"), -1);
  Exec("TEST_CloseReader(r)");
}

TEST_F(Lifetimes, IoFileStreamsFailOnceTheFileIsClosed) {
  Exec("f = io.tmpfile() f:write('AB') f:seek('set', 0) rw = SDL_RWFromFP(f, 1)");
  EXPECT_EQ(Num("SDL_ReadBE16(rw)"), 0x4142);
  Exec("f:close()");
  EXPECT_EQ(Refused("SDL_RWseek(rw, 0, 0)"), "-1 / The stream's file has been closed");
  EXPECT_EQ(Num("SDL_RWclose(rw)"), 0);
}

TEST_F(Lifetimes, ReleasesPutBackWhatTheScriptWroteIntoTheLibrarysMembers) {
  // Without this, SDL would free script memory, free one format twice, or
  // unlock four billion times.
  Exec("a = rgb32(2, 2) b = rgb32(2, 2) a.pixels = newproxy() a.locked = 4294967295 a.offset = 12");
  SDL_ClearError();
  Exec("a.format = b.format");
  EXPECT_STREQ(SDL_GetError(), "SDL_PixelFormat belongs to another object");
  Exec("a.format = a.format bf = b.format");
  Exec("SDL_FreeSurface(a) SDL_FreeSurface(b)");
  SDL_ClearError();
  Exec("b.format = bf");
  EXPECT_STREQ(SDL_GetError(), "SDL_Surface has been released");
  // A surface over script memory keeps SDL_PREALLOC when it is freed.
  MemoryBlock("mem", std::string(16, '\0'));
  Exec("c = SDL_CreateRGBSurfaceFrom(mem, 2, 2, 32, 8, 0, 0, 0, 0) c.flags = 0 SDL_FreeSurface(c)");
  // Dead objects are not stored into live ones.
  Exec("s = rgb32(1, 1) p = s.format SDL_FreeSurface(s) t = rgb32(1, 1)");
  SDL_ClearError();
  Exec("t.format = p");
  EXPECT_STREQ(SDL_GetError(), "SDL_PixelFormat has been released");
  EXPECT_EQ(Num("SDL_FillRect(t, nil, 0x123456)"), 0);
}

}  // namespace
