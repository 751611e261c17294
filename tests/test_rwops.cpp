// Stream and byte-order bindings driven from Lua: files through the virtual
// file system (a real zip made by `zip`) and the host file system, memory
// streams with their bounds, io files, integer readers and writers checked
// against the bytes on disk, byte swaps.
#include <gtest/gtest.h>
#include <physfs.h>
#include <unistd.h>

#include <SDL.h>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "host/vfs.h"
#include "support/e2e.h"
#include "support/lua_state.h"

namespace {

std::string Bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s.push_back(static_cast<char>(b));
  return s;
}

// LE16 0x0201, BE16 0x0102, LE32 0x01020304, BE32 0x01020304, LE64 and BE64
// 0x0002030405060708, BE32 of FF FF FF FF, LE64 of eight FF, one spare byte.
const std::string kInts = Bytes({1,    2,    1,    2,    4,    3,    2,    1,    1,    2,    3,    4,    8,    7,
                                 6,    5,    4,    3,    2,    0,    0,    2,    3,    4,    5,    6,    7,    8,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x5A});

class RwopsTest : public LuaTest {
 protected:
  void SetUp() override {
    LuaTest::SetUp();
    VfsStop();
    dir.Write("base/loose.bin", "loose in the base directory");
    dir.Write("src/arc/member.bin", "from the archive");
    dir.Write("src/arc/ints.bin", kInts);
    ASSERT_TRUE(dir.Zip("pack.zip", {"arc/member.bin", "arc/ints.bin"}, "src"));
    // The working directory: host names are relative to it.  It also holds
    // a host copy of an archive member's name with other content.
    dir.Write("work/host.bin", kInts);
    dir.Write("work/arc/member.bin", "host copy");
    ASSERT_EQ(VfsStart(nullptr), 1);
    ASSERT_NE(PHYSFS_mount((dir / "base").c_str(), nullptr, 0), 0);
    ASSERT_NE(VfsMount((dir / "pack.zip").c_str()), 0) << VfsLastError();
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    oldCwd = cwd;
    ASSERT_EQ(chdir((dir / "work").c_str()), 0);
  }
  void TearDown() override {
    LuaTest::TearDown();
    VfsStop();
    if (!oldCwd.empty()) {
      EXPECT_EQ(chdir(oldCwd.c_str()), 0);
    }
  }

  // A full userdata of n bytes, all `fill`, as the global `name`.
  unsigned char* Block(const char* name, size_t n, int fill = 0) {
    auto* p = static_cast<unsigned char*>(lua_newuserdata(L, n));
    std::memset(p, fill, n);
    lua_setglobal(L, name);
    return p;
  }
  void Light(const char* name, void* p) {
    lua_pushlightuserdata(L, p);
    lua_setglobal(L, name);
  }
  // The first `n` bytes of a full userdata block.
  static std::string Head(const unsigned char* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

  e2e::TempDir dir;
  std::string oldCwd;
};

TEST_F(RwopsTest, ReadingModesServeTheVirtualFileSystemFirst) {
  unsigned char* buf = Block("buf", 32);
  for (const char* mode : {"rb", "r"}) {
    SCOPED_TRACE(mode);
    std::memset(buf, 0, 32);
    Exec(std::string("s = SDL_RWFromFile('arc/member.bin', '") + mode + "')");
    ASSERT_EQ(Type("s"), "userdata");
    EXPECT_EQ(Num("SDL_RWread(s, buf, 1, 32)"), 16);  // the archive's member, not the host copy
    EXPECT_EQ(Head(buf, 16), "from the archive");
    EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
  }
  // A loose file of the base directory is served from there too.
  Exec("s = SDL_RWFromFile('loose.bin', 'rb')");
  ASSERT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_RWread(s, buf, 1, 32)"), 27);
  EXPECT_EQ(Head(buf, 27), "loose in the base directory");
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);

  // Modes are compared case-sensitively, r+ is not served for virtual
  // names, and there is no fallback to the host copy.
  for (const char* mode : {"RB", "R", "r+", "rb+", "r+b", "rt", ""}) {
    SCOPED_TRACE(mode);
    EXPECT_EQ(Type(std::string("SDL_RWFromFile('arc/member.bin', '") + mode + "')"), "nil");
  }
  EXPECT_EQ(Type("SDL_RWFromFile('nowhere.bin', 'rb')"), "nil");
}

TEST_F(RwopsTest, WritingModesOnVirtualNamesGiveNoStream) {
  for (const char* mode : {"w", "wb", "a", "ab", "a+", "a+b", "ab+", "w+", "w+b", "wb+"}) {
    SCOPED_TRACE(mode);
    SDL_ClearError();
    EXPECT_EQ(Type(std::string("SDL_RWFromFile('arc/member.bin', '") + mode + "')"), "nil");
    EXPECT_EQ(std::string(SDL_GetError()).rfind("PhysicsFS error: ", 0), 0u) << SDL_GetError();
    EXPECT_EQ(Type(std::string("SDL_RWFromFile('loose.bin', '") + mode + "')"), "nil");
  }
  // Neither the host copy nor the loose file was touched.
  EXPECT_EQ(dir.Read("work/arc/member.bin"), "host copy");
  EXPECT_EQ(dir.Read("base/loose.bin"), "loose in the base directory");
}

TEST_F(RwopsTest, HostFilesTakeTheModeUnchanged) {
  // r+ on a host file: SDL's read-write stream.
  Exec("s = SDL_RWFromFile('host.bin', 'r+')");
  ASSERT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_RWseek(s, 2, 0)"), 2);
  EXPECT_EQ(Num("SDL_WriteBE16(s, 0xABCD)"), 1);
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
  std::string expect = kInts;
  expect[2] = char(0xAB);
  expect[3] = char(0xCD);
  EXPECT_EQ(dir.Read("work/host.bin"), expect);

  // a appends.
  Exec("s = SDL_RWFromFile('host.bin', 'a') SDL_WriteLE16(s, 0x4443) SDL_RWclose(s)");
  EXPECT_EQ(dir.Read("work/host.bin"), expect + "CD");

  // wb on a new name creates the file.
  bool ok = false;
  Exec("s = SDL_RWFromFile('new.bin', 'wb') SDL_WriteBE32(s, 0x6E657721) SDL_RWclose(s)");
  EXPECT_EQ(dir.Read("work/new.bin", &ok), "new!");
  EXPECT_TRUE(ok);

  // w+ on a new name: write, then read back through the same stream.
  unsigned char* buf = Block("buf", 8);
  Exec("s = SDL_RWFromFile('plus.bin', 'w+')");
  ASSERT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_WriteLE32(s, 0x64636261)"), 1);
  EXPECT_EQ(Num("SDL_RWseek(s, 0, 0)"), 0);
  EXPECT_EQ(Num("SDL_RWread(s, buf, 4, 2)"), 1);
  EXPECT_EQ(Head(buf, 4), "abcd");
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);

  EXPECT_EQ(Type("SDL_RWFromFile('missing.bin', 'rb')"), "nil");
  EXPECT_EQ(Type("SDL_RWFromFile('missing.bin', 'r+')"), "nil");
}

TEST_F(RwopsTest, SeekAndTell) {
  for (const char* name : {"arc/ints.bin", "host.bin"}) {
    SCOPED_TRACE(name);
    Exec(std::string("s = SDL_RWFromFile('") + name + "', 'rb')");
    ASSERT_EQ(Type("s"), "userdata");
    EXPECT_EQ(Num("SDL_RWtell(s)"), 0);
    EXPECT_EQ(Num("SDL_RWseek(s, 0, 2)"), double(kInts.size()));
    EXPECT_EQ(Num("SDL_RWtell(s)"), double(kInts.size()));
    EXPECT_EQ(Num("SDL_RWseek(s, -2, 1)"), double(kInts.size() - 2));
    EXPECT_EQ(Num("SDL_RWseek(s, 4, RW_SEEK_SET or 0)"), 4);
    EXPECT_EQ(Num("SDL_ReadBE32(s)"), 0x04030201);
    EXPECT_EQ(Num("SDL_RWtell(s)"), 8);
    EXPECT_EQ(Num("SDL_RWseek(s, -1, 0)"), -1);
    EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
  }
  SDL_ClearError();
  Exec("s = SDL_RWFromFile('arc/ints.bin', 'rb')");
  EXPECT_EQ(Num("SDL_RWseek(s, -1, 0)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Attempt to seek past start of file.");
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
}

TEST_F(RwopsTest, IntegerWritersLayOutKnownBytes) {
  Exec(R"(
    s = SDL_RWFromFile('out.bin', 'wb')
    results = {
      SDL_WriteLE16(s, 0x1234), SDL_WriteBE16(s, 0x1234), SDL_WriteLE16(s, 70000),
      SDL_WriteLE32(s, 0x89ABCDEF), SDL_WriteBE32(s, 0x89ABCDEF), SDL_WriteLE32(s, -1),
      SDL_WriteLE64(s, 0x0002030405060708), SDL_WriteBE64(s, 0x0002030405060708),
      SDL_WriteBE64(s, 2^63 + 2^40), SDL_WriteLE64(s, -2), SDL_WriteLE64(s, 4294967296 * 3 + 5.9),
    }
    closed = SDL_RWclose(s))");
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(Num("results[" + std::to_string(i) + "]"), 1) << i;
  EXPECT_EQ(Num("closed"), 0);
  std::string expect =
      Bytes({0x34, 0x12, 0x12, 0x34, 0x70, 0x11}) + Bytes({0xEF, 0xCD, 0xAB, 0x89, 0x89, 0xAB, 0xCD, 0xEF}) +
      Bytes({0xFF, 0xFF, 0xFF, 0xFF}) + Bytes({8, 7, 6, 5, 4, 3, 2, 0, 0, 2, 3, 4, 5, 6, 7, 8}) +
      Bytes({0x80, 0, 1, 0, 0, 0, 0, 0}) + Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}) +
      Bytes({5, 0, 0, 0, 3, 0, 0, 0});
  EXPECT_EQ(dir.Read("work/out.bin"), expect);
}

TEST_F(RwopsTest, IntegerReadersOnKnownBytes) {
  for (const char* name : {"arc/ints.bin", "host.bin"}) {
    SCOPED_TRACE(name);
    Exec(std::string("s = SDL_RWFromFile('") + name + "', 'rb')");
    ASSERT_EQ(Type("s"), "userdata");
    EXPECT_EQ(Num("SDL_ReadLE16(s)"), 0x0201);
    EXPECT_EQ(Num("SDL_ReadBE16(s)"), 0x0102);
    EXPECT_EQ(Num("SDL_ReadLE32(s)"), 0x01020304);
    EXPECT_EQ(Num("SDL_ReadBE32(s)"), 0x01020304);
    EXPECT_EQ(Num("SDL_ReadLE64(s)"), 0x0002030405060708LL);
    EXPECT_EQ(Num("SDL_ReadBE64(s)"), 0x0002030405060708LL);
    EXPECT_EQ(Num("SDL_ReadBE32(s)"), 4294967295.0);
    EXPECT_EQ(Num("SDL_ReadLE64(s)"), 18446744073709551615.0);
    SDL_ClearError();
    EXPECT_EQ(Num("SDL_ReadLE16(s)"), 0);  // one byte left: a short read gives 0
    EXPECT_STRNE(SDL_GetError(), "");       // and an error text
    EXPECT_EQ(Num("SDL_RWtell(s)"), double(kInts.size()));
    EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
  }
}

TEST_F(RwopsTest, IntegerReadsPastTheEndGiveZeroAndAnError) {
  SDL_Error(SDL_EFREAD);
  const std::string readError = SDL_GetError();
  Block("buf", 3, 0xFF);
  Exec("m = SDL_RWFromConstMem(buf, 3)");
  EXPECT_EQ(Num("SDL_ReadBE16(m)"), 65535);
  for (const char* reader : {"SDL_ReadLE16", "SDL_ReadBE16", "SDL_ReadLE32", "SDL_ReadBE32", "SDL_ReadLE64",
                             "SDL_ReadBE64"}) {
    SCOPED_TRACE(reader);
    SDL_ClearError();
    EXPECT_EQ(Num(std::string(reader) + "(m)"), 0);
    EXPECT_EQ(SDL_GetError(), readError);
  }
  EXPECT_EQ(Num("SDL_RWclose(m)"), 0);
}

TEST_F(RwopsTest, MemoryStreamsOverFullUserdata) {
  unsigned char* buf = Block("buf", 16, 0);
  std::memcpy(buf, kInts.data(), 16);
  Exec("c = SDL_RWFromConstMem(buf, 16)");
  EXPECT_EQ(Num("SDL_ReadLE16(c)"), 0x0201);
  EXPECT_EQ(Num("SDL_RWseek(c, 4, 0)"), 4);
  EXPECT_EQ(Num("SDL_ReadLE32(c)"), 0x01020304);
  EXPECT_EQ(Num("SDL_RWwrite(c, buf, 1, 1)"), -1);  // read-only memory
  EXPECT_EQ(Num("SDL_RWclose(c)"), 0);

  Exec("m = SDL_RWFromMem(buf, 16)");
  EXPECT_EQ(Num("SDL_RWseek(m, 12, 0)"), 12);
  EXPECT_EQ(Num("SDL_WriteBE32(m, 0xDEADBEEF)"), 1);
  EXPECT_EQ(Head(buf + 12, 4), Bytes({0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(Num("SDL_WriteLE32(m, 1)"), 0);
  EXPECT_EQ(Num("SDL_RWclose(m)"), 0);

  // A box is a full userdata too: its block starts with the tag.
  Exec("r = KAVRO_CreateRect(7, 8, 9, 10)");
  lua_getglobal(L, "r");
  int blockSize = int(lua_objlen(L, -1));
  lua_pop(L, 1);
  Exec("m = SDL_RWFromConstMem(r, " + std::to_string(blockSize) + ")");
  EXPECT_EQ(Num("SDL_RWseek(m, 0, 2)"), blockSize);
  EXPECT_EQ(Num("SDL_RWseek(m, 0, 0)"), 0);
  EXPECT_EQ(Num("SDL_ReadLE32(m)"), 35);
}

// Memory arguments are bounded by the sizes of their own call: a full
// userdata by its block, a light userdata by the rest of the live buffer it
// points into; anything else, a negative size, or memory too small answers
// the call's failure value and reaches nothing.
TEST_F(RwopsTest, MemoryIsBoundedByTheSizesOfItsCall) {
  Block("buf", 16, 0xAA);
  ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0);
  Exec("surf = SDL_CreateRGBSurface(0, 4, 4, 32, 0xFF0000, 0xFF00, 0xFF, 0) pixels = surf.pixels");
  ASSERT_EQ(Num("surf.pitch * surf.h"), 64);
  lua_getglobal(L, "pixels");
  auto* pixels = static_cast<unsigned char*>(lua_touserdata(L, -1));
  lua_pop(L, 1);
  Light("tail", pixels + 60);  // four bytes before the end of the pixels
  unsigned char outside[64] = {};
  Light("outside", outside);
  Exec("src = SDL_RWFromConstMem(pixels, 64)");

  const struct {
    const char* call;
    double result;
    const char* error;
  } cases[] = {
      {"SDL_RWread(src, buf, 4, 4)", 4, ""},
      {"SDL_RWread(src, buf, 1, 17)", -1, "Memory of 16 bytes is smaller than 17 bytes"},
      {"SDL_RWread(src, buf, -1, 4)", -1, "Negative size"},
      {"SDL_RWread(src, buf, 4, -1)", -1, "Negative size"},
      {"SDL_RWread(src, buf, 0, 0)", 0, ""},
      {"SDL_RWread(src, tail, 1, 4)", 4, ""},
      {"SDL_RWread(src, tail, 1, 5)", -1, "Memory of 4 bytes is smaller than 5 bytes"},
      {"SDL_RWread(src, outside, 1, 1)", -1, "Memory is not a buffer kavro knows"},
      {"SDL_RWread(src, io.stdout, 1, 1)", -1, "Memory holds pointers and cannot be written"},
      {"SDL_RWwrite(SDL_RWFromMem(pixels, 64), buf, 16, 1)", 1, ""},
      {"SDL_RWwrite(SDL_RWFromMem(pixels, 64), buf, 17, 1)", -1, "Memory of 16 bytes is smaller than 17 bytes"},
      {"type(SDL_RWFromMem(buf, 17)) == 'nil' and 1 or 0", 1, "Memory of 16 bytes is smaller than 17 bytes"},
      {"type(SDL_RWFromMem(buf, -5)) == 'nil' and 1 or 0", 1, "Negative size"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    SDL_ClearError();
    EXPECT_EQ(Num(c.call), c.result);
    EXPECT_STREQ(SDL_GetError(), c.error);
  }
  // Nothing past the block was touched; a freed surface's pixels are no
  // longer memory anyone may use.
  EXPECT_EQ(Num("SDL_RWseek(src, 0, 0)"), 0);
  Exec("SDL_FreeSurface(surf)");
  EXPECT_EQ(Num("SDL_RWread(src, pixels, 1, 1)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Memory is not a buffer kavro knows");
  SDL_Quit();
}

TEST_F(RwopsTest, StreamsKeepTheirMemoryAndFileAlive) {
  // A block that records its collection.
  lua_newuserdata(L, 16);
  lua_newtable(L);
  Exec("function onGc() collected = true end");
  lua_pushcfunction(L, [](lua_State* s) {
    lua_getglobal(s, "onGc");
    lua_call(s, 0, 0);
    return 0;
  });
  lua_setfield(L, -2, "__gc");
  lua_setmetatable(L, -2);
  lua_setglobal(L, "mem");

  Exec("m = SDL_RWFromMem(mem, 16) mem = nil collectgarbage('collect') collectgarbage('collect')");
  EXPECT_EQ(Type("collected"), "nil");
  EXPECT_EQ(Num("SDL_WriteLE32(m, 7)"), 1);
  Exec("SDL_RWclose(m) m = nil collectgarbage('collect') collectgarbage('collect')");
  EXPECT_TRUE(Bool("collected"));

  // A file reachable only through the stream is not closed by the collector.
  Exec("s = SDL_RWFromFP(io.open('host.bin', 'rb'), 1) collectgarbage('collect') collectgarbage('collect')");
  ASSERT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_ReadLE16(s)"), 0x0201);
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
}

TEST_F(RwopsTest, FromFPTakesOnlyOpenIoFiles) {
  Exec("f = io.open('host.bin', 'rb') s = SDL_RWFromFP(f, 1)");
  ASSERT_EQ(Type("s"), "userdata");
  EXPECT_EQ(Num("SDL_ReadLE16(s)"), 0x0201);
  EXPECT_EQ(Num("SDL_RWseek(s, 0, 2)"), double(kInts.size()));
  EXPECT_EQ(Num("SDL_RWseek(s, -1, 2)"), double(kInts.size() - 1));
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
  // The autoclose flag is ignored: the Lua file stays open and usable.
  EXPECT_EQ(Str("f:read(1)"), "Z");
  EXPECT_TRUE(Bool("f:close()"));

  EXPECT_EQ(Type("SDL_RWFromFP(f, 0)"), "nil");  // closed
  Block("plain", sizeof(FILE*), 0);
  EXPECT_EQ(Type("SDL_RWFromFP(plain, 0)"), "nil");
  EXPECT_EQ(Type("SDL_RWFromFP(KAVRO_CreateRect(0, 0, 1, 1), 0)"), "nil");
  int dummy = 0;
  Light("light", &dummy);
  EXPECT_EQ(Type("SDL_RWFromFP(light, 0)"), "nil");
  EXPECT_EQ(Run("SDL_RWFromFP('host.bin', 0)"), "test:1: SDL_RWFromFP: Argument 1 should be of type userdata");
}

TEST_F(RwopsTest, EmptyStreamRefusesEveryOperation) {
  Block("buf", 8);
  Exec("e = SDL_AllocRW()");
  ASSERT_EQ(Type("e"), "userdata");
  SDL_ClearError();
  EXPECT_EQ(Num("SDL_RWseek(e, 0, 0)"), -1);
  EXPECT_STREQ(SDL_GetError(), "Stream has no data source");
  EXPECT_EQ(Num("SDL_RWtell(e)"), -1);
  EXPECT_EQ(Num("SDL_RWread(e, buf, 1, 8)"), -1);
  EXPECT_EQ(Num("SDL_RWwrite(e, buf, 1, 8)"), -1);
  EXPECT_EQ(Num("SDL_ReadBE32(e)"), 0);
  EXPECT_EQ(Num("SDL_WriteBE32(e, 1)"), -1);
  EXPECT_EQ(Num("SDL_RWclose(e)"), 0);
  Exec("SDL_FreeRW(SDL_AllocRW())");
}

TEST_F(RwopsTest, ArgumentErrors) {
  Exec("s = SDL_RWFromFile('host.bin', 'rb')");
  EXPECT_EQ(Run("SDL_RWFromFile('host.bin')"), "test:1: SDL_RWFromFile: Got 1 arguments instead of 2");
  EXPECT_EQ(Run("SDL_RWFromFile('host.bin', nil)"), "test:1: SDL_RWFromFile: Argument 2 should be of type string");
  EXPECT_EQ(Run("SDL_RWread(s, 5, 1, 1)"), "test:1: SDL_RWread: Argument 2 should be of type userdata");
  EXPECT_EQ(Run("SDL_RWread(s, s, 1)"), "test:1: SDL_RWread: Got 3 arguments instead of 4");
  EXPECT_EQ(Run("SDL_RWseek(KAVRO_CreateRect(0, 0, 1, 1), 0, 0)"),
            "test:1: SDL_RWseek: Argument 1 should be of type SDL_RWops");
  EXPECT_EQ(Run("SDL_RWtell(nil)"), "test:1: SDL_RWtell: Argument 1 should be of type SDL_RWops");
  EXPECT_EQ(Run("SDL_RWFromMem(1, 1)"), "test:1: SDL_RWFromMem: Argument 1 should be of type userdata");
  EXPECT_EQ(Run("SDL_WriteLE64(s, 'many')"), "test:1: SDL_WriteLE64: Argument 2 should be of type number");
  EXPECT_EQ(Run("SDL_Swap64({})"), "test:1: SDL_Swap64: Argument 1 should be of type number");
  EXPECT_EQ(Run("SDL_AllocRW(1)"), "test:1: SDL_AllocRW: Got 1 arguments instead of 0");
  EXPECT_EQ(Num("SDL_RWclose(s)"), 0);
}

using ByteSwapTest = LuaTest;

TEST_F(ByteSwapTest, SixteenBit) {
  EXPECT_EQ(Num("SDL_Swap16(0x1234)"), 0x3412);
  EXPECT_EQ(Num("SDL_Swap16(4660)"), 13330);
  EXPECT_EQ(Num("SDL_Swap16(65536 + 1)"), 256);
  EXPECT_EQ(Num("SDL_Swap16(-1)"), 65535);
  EXPECT_EQ(Num("SDL_Swap16('4660')"), 13330);
  EXPECT_EQ(Num("SDL_SwapBE16(0x1234)"), 0x3412);
  EXPECT_EQ(Num("SDL_SwapLE16(70000)"), 4464);
  EXPECT_EQ(Num("SDL_SwapLE16(0x1234)"), 0x1234);
}

TEST_F(ByteSwapTest, ThirtyTwoBit) {
  EXPECT_EQ(Num("SDL_Swap32(1)"), 16777216);
  EXPECT_EQ(Num("SDL_Swap32(-1)"), 4294967295.0);
  EXPECT_EQ(Num("SDL_Swap32(0x12345678)"), 0x78563412);
  EXPECT_EQ(Num("SDL_Swap32(0x80)"), 2147483648.0);  // never negative
  EXPECT_EQ(Num("SDL_SwapBE32(0x12345678)"), 0x78563412);
  EXPECT_EQ(Num("SDL_SwapLE32(-1)"), 4294967295.0);
  EXPECT_EQ(Num("SDL_SwapLE32(0x12345678)"), 0x12345678);
}

TEST_F(ByteSwapTest, SixtyFourBit) {
  EXPECT_EQ(Num("SDL_Swap64(1)"), 72057594037927936.0);  // 2^56
  EXPECT_EQ(Num("SDL_Swap64(4294967296)"), 16777216);
  EXPECT_EQ(Num("SDL_Swap64(0x12345678)"), 8671175384462524416.0);  // 0x7856341200000000
  EXPECT_EQ(Num("SDL_Swap64(255)"), 18374686479671623680.0);        // top bit set: unsigned
  EXPECT_EQ(Num("SDL_SwapBE64(1)"), 72057594037927936.0);
  EXPECT_EQ(Num("SDL_SwapLE64(4294967296 * 3 + 5)"), 4294967296.0 * 3 + 5);
  EXPECT_EQ(Num("SDL_SwapLE64(2^63 + 2^40)"), 9223373136366403584.0);
  EXPECT_EQ(Num("SDL_SwapLE64(12.9)"), 12);
  // Negative values wrap modulo 2^64; NaN and values of 2^64 and more give 0.
  EXPECT_EQ(Num("SDL_SwapLE64(-1)"), 18446744073709551615.0);
  EXPECT_EQ(Num("SDL_Swap64(-1)"), 18446744073709551615.0);
  EXPECT_EQ(Num("SDL_SwapLE64(-4294967301)"), double(uint64_t(0) - 4294967301ULL));
  EXPECT_EQ(Num("SDL_Swap64(-2)"), double(0xFEFFFFFFFFFFFFFFULL));
  EXPECT_EQ(Num("SDL_SwapLE64(0/0)"), 0);
  EXPECT_EQ(Num("SDL_SwapLE64(2^64)"), 0);
  EXPECT_EQ(Num("SDL_SwapLE64(-2^64)"), 0);
  EXPECT_EQ(Num("SDL_SwapLE64(1/0)"), 0);
}

}  // namespace
