// Stream and byte-order bindings: SDL_RWops streams made from files (the
// virtual file system first), memory and Lua io files; their seek, read,
// write and close slots; integer readers and writers in either byte order;
// byte swaps on plain numbers.
//
// A stream box does not own its stream.  A stream over a script's memory
// or io file keeps that userdata from collection for as long as the stream
// lives (an anchor of its lifetime); a stream over another object's buffer
// keeps that object from being freed.  Streams die at SDL_FreeRW,
// SDL_RWclose, and when a loader's free-source flag hands them over.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "binding/call.h"
#include "binding/registry.h"
#include "host/physfs_rwops.h"
#include "host/strings.h"
#include "host/vfs.h"

namespace {

// An unsigned 64-bit integer carried by a Lua number: high word = the
// truncation of value / 2^32, low word = the truncation of what remains.
// Negative values wrap modulo 2^64 (-1 gives 2^64 - 1, like a Uint32
// argument); NaN, infinities and magnitudes of 2^64 and above give 0.
struct U64Split {
  using type = Uint64;
  static constexpr const char* name = "number";
  static bool check(lua_State* L, int idx) { return lua_isnumber(L, idx); }
  static Uint64 get(lua_State* L, int idx) { return Convert(lua_tonumber(L, idx)); }

  static Uint64 Convert(double v) {
    constexpr double kWord = 4294967296.0;
    constexpr double kLimit = kWord * kWord;
    if (!(v > -kLimit && v < kLimit)) return 0;
    double high = std::trunc(v / kWord);         // |high| < 2^32
    double low = std::trunc(v - high * kWord);   // exact, |low| < 2^32
    return (static_cast<Uint64>(static_cast<int64_t>(high)) << 32) + static_cast<Uint64>(static_cast<int64_t>(low));
  }
};

// A Lua io file: the address of its FILE* slot, which Lua's io library
// sets to NULL when the file is closed; null for any other value (never a
// userdata taken for a FILE).
struct IoFile {
  using type = FILE**;
  static constexpr const char* name = "userdata";
  static bool check(lua_State* L, int idx) { return lua_isuserdata(L, idx); }
  static FILE** get(lua_State* L, int idx) {
    if (lua_type(L, idx) != LUA_TUSERDATA || lua_objlen(L, idx) != sizeof(FILE*)) return nullptr;
    if (!lua_getmetatable(L, idx)) return nullptr;
    lua_getfield(L, LUA_REGISTRYINDEX, LUA_FILEHANDLE);
    bool isFile = lua_rawequal(L, -1, -2) != 0;
    lua_pop(L, 2);
    return isFile ? static_cast<FILE**>(lua_touserdata(L, idx)) : nullptr;
  }
};

using Rw = kv::Box<kv::box::RWops>;

bool ModeIn(const char* mode, std::initializer_list<const char*> modes) {
  return std::any_of(modes.begin(), modes.end(), [mode](const char* m) { return StrEquals(mode, m, true) == 1; });
}

// A name the virtual file system holds is served from there by mode (no
// fallback to the host file system); any other name goes to SDL unchanged.
SDL_RWops* RWFromFile(const char* name, const char* mode) {
  if (!VfsExists(name)) return SDL_RWFromFile(name, mode);
  if (ModeIn(mode, {"r", "rb"})) return PHYSFSRWOPS_openForRead(name);
  if (ModeIn(mode, {"w", "wb"})) return PHYSFSRWOPS_openForWrite(name);
  if (ModeIn(mode, {"a", "ab", "a+", "a+b", "ab+", "w+", "w+b", "wb+"})) return PHYSFSRWOPS_openForAppend(name);
  return nullptr;
}

// A stream record of our own: these slots, everything else zero.
using SeekSlot = int(SDLCALL*)(SDL_RWops*, int, int);
using ReadSlot = int(SDLCALL*)(SDL_RWops*, void*, int, int);
using WriteSlot = int(SDLCALL*)(SDL_RWops*, const void*, int, int);
using CloseSlot = int(SDLCALL*)(SDL_RWops*);
SDL_RWops* NewStream(SeekSlot seek, ReadSlot read, WriteSlot write, CloseSlot close, void* data) {
  SDL_RWops* rw = SDL_AllocRW();
  if (rw == nullptr) return nullptr;
  *rw = SDL_RWops{};
  rw->seek = seek;
  rw->read = read;
  rw->write = write;
  rw->close = close;
  rw->hidden.unknown.data1 = data;
  return rw;
}

// A stream over a Lua io file works as SDL's stdio stream does, through
// the file's FILE* slot: once the script closes the file, every operation
// fails instead of using the closed FILE.  The stream never closes the
// file (the Lua file object owns it): the autoclose flag is ignored.
FILE* OpenFile(SDL_RWops* rw) {
  FILE* fp = *static_cast<FILE**>(rw->hidden.unknown.data1);
  if (!fp) SDL_SetError("The stream's file has been closed");
  return fp;
}
int SDLCALL FileSeek(SDL_RWops* rw, int offset, int whence) {
  FILE* fp = OpenFile(rw);
  if (!fp) return -1;
  if (std::fseek(fp, offset, whence) == 0) return static_cast<int>(std::ftell(fp));
  SDL_Error(SDL_EFSEEK);
  return -1;
}
int SDLCALL FileRead(SDL_RWops* rw, void* ptr, int size, int maxnum) {
  FILE* fp = OpenFile(rw);
  if (!fp) return -1;
  size_t n = std::fread(ptr, size_t(size), size_t(maxnum), fp);
  if (n == 0 && std::ferror(fp)) SDL_Error(SDL_EFREAD);
  return static_cast<int>(n);
}
int SDLCALL FileWrite(SDL_RWops* rw, const void* ptr, int size, int num) {
  FILE* fp = OpenFile(rw);
  if (!fp) return -1;
  size_t n = std::fwrite(ptr, size_t(size), size_t(num), fp);
  if (n == 0 && std::ferror(fp)) SDL_Error(SDL_EFWRITE);
  return static_cast<int>(n);
}
int SDLCALL FileClose(SDL_RWops* rw) {
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* RWFromFP(FILE** file, int /*autoclose*/) {
  if (!file || !*file) {
    SDL_SetError("Not an open Lua file");
    return nullptr;
  }
  return NewStream(FileSeek, FileRead, FileWrite, FileClose, file);
}

// A read or write through the stream's slot; the memory is bounded by the
// row (size x count bytes, neither negative).
template <auto Slot, class P>
int Transfer(SDL_RWops* rw, P ptr, int size, int count) {
  return (rw->*Slot)(rw, ptr, size, count);
}

int RWseek(SDL_RWops* rw, int offset, int whence) { return SDL_RWseek(rw, offset, whence); }
int RWtell(SDL_RWops* rw) { return SDL_RWtell(rw); }
int RWclose(SDL_RWops* rw) { return SDL_RWclose(rw); }

// An integer of T's width in little- or big-endian order through the read
// slot.  SDL's own readers return an uninitialised value after a short
// read; here anything short of the whole integer gives 0 and leaves an
// error text: the slot's own, or SDL's read error when the slot set none
// (memory streams and files at their end set nothing).
template <class T, bool BigEndian>
T ReadInt(SDL_RWops* rw) {
  Uint8 bytes[sizeof(T)] = {};
  if (SDL_RWread(rw, bytes, sizeof bytes, 1) != 1) {
    if (*SDL_GetError() == '\0') SDL_Error(SDL_EFREAD);
    return 0;
  }
  T v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v = T((v << 8) | bytes[BigEndian ? i : sizeof(T) - 1 - i]);
  return v;
}

// SDL_AllocRW leaves the slots uninitialised; an empty stream's slots
// refuse every operation instead, and its close frees the record.
int Refuse() {
  SDL_SetError("Stream has no data source");
  return -1;
}
int SDLCALL EmptySeek(SDL_RWops*, int, int) { return Refuse(); }
int SDLCALL EmptyRead(SDL_RWops*, void*, int, int) { return Refuse(); }
int SDLCALL EmptyWrite(SDL_RWops*, const void*, int, int) { return Refuse(); }
int SDLCALL EmptyClose(SDL_RWops* rw) {
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* AllocRW() { return NewStream(EmptySeek, EmptyRead, EmptyWrite, EmptyClose, nullptr); }

// Byte swaps on numbers; the little-endian forms leave values unchanged.
Uint16 Swap16(int v) { return static_cast<Uint16>(((v & 255) << 8) | ((v >> 8) & 255)); }
Uint32 Swap32(Uint32 v) { return SDL_Swap32(v); }
Uint64 Swap64(Uint64 v) { return SDL_Swap64(v); }
template <class T>
T Same(T v) {
  return v;
}

}  // namespace

using namespace kv;

const luaL_Reg kRwopsApi[] = {
    KV_FN(SDL_RWFromFile, &RWFromFile, Str, Str),
    KV_FNR(SDL_RWFromFP, &RWFromFP, Reads<1>, IoFile, Int),
    KV_FNR(SDL_RWFromMem, &SDL_RWFromMem, Reads<1>, Out<Arg<2>>, Int),
    KV_FNR(SDL_RWFromConstMem, &SDL_RWFromConstMem, Reads<1>, In<Arg<2>>, Int),
    KV_FN(SDL_AllocRW, &AllocRW),
    KV_FN(SDL_FreeRW, &SDL_FreeRW, Released<Rw>),
    KV_FN(SDL_RWseek, &RWseek, Rw, Int, Int),
    KV_FN(SDL_RWtell, &RWtell, Rw),
    KV_FN(SDL_RWread, (&Transfer<&SDL_RWops::read, void*>), Rw, Out<Times<Arg<3>, Arg<4>>>, Int, Int),
    KV_FN(SDL_RWwrite, (&Transfer<&SDL_RWops::write, const void*>), Rw, In<Times<Arg<3>, Arg<4>>>, Int, Int),
    KV_FN(SDL_RWclose, &RWclose, Released<Rw>),
    KV_FN(SDL_ReadLE16, (&ReadInt<Uint16, false>), Rw),
    KV_FN(SDL_ReadBE16, (&ReadInt<Uint16, true>), Rw),
    KV_FN(SDL_ReadLE32, (&ReadInt<Uint32, false>), Rw),
    KV_FN(SDL_ReadBE32, (&ReadInt<Uint32, true>), Rw),
    KV_FN(SDL_ReadLE64, (&ReadInt<Uint64, false>), Rw),
    KV_FN(SDL_ReadBE64, (&ReadInt<Uint64, true>), Rw),
    // The 16-bit writers take an int whose low 16 bits are written.
    KV_FNR(SDL_WriteLE16, &SDL_WriteLE16, FailsWith<0>, Rw, Conv<Int>),
    KV_FNR(SDL_WriteBE16, &SDL_WriteBE16, FailsWith<0>, Rw, Conv<Int>),
    KV_FNR(SDL_WriteLE32, &SDL_WriteLE32, FailsWith<0>, Rw, U32),
    KV_FNR(SDL_WriteBE32, &SDL_WriteBE32, FailsWith<0>, Rw, U32),
    KV_FNR(SDL_WriteLE64, &SDL_WriteLE64, FailsWith<0>, Rw, U64Split),
    KV_FNR(SDL_WriteBE64, &SDL_WriteBE64, FailsWith<0>, Rw, U64Split),
    KV_FN(SDL_Swap16, &Swap16, Int),
    KV_FN(SDL_Swap32, &Swap32, U32),
    KV_FN(SDL_Swap64, &Swap64, U64Split),
    KV_FN(SDL_SwapLE16, &Same<Uint16>, Conv<Int>),
    KV_FN(SDL_SwapLE32, &Same<Uint32>, U32),
    KV_FN(SDL_SwapLE64, &Same<Uint64>, U64Split),
    KV_FN(SDL_SwapBE16, &Swap16, Int),
    KV_FN(SDL_SwapBE32, &Swap32, U32),
    KV_FN(SDL_SwapBE64, &Swap64, U64Split),
    {nullptr, nullptr}};
