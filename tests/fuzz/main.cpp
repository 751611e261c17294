// kavro_fuzz: calls every function of every registered family, and writes
// every field of every box type, with hostile values.
//
// The C++ side sets the process up (dummy SDL drivers, a fresh working
// directory, the Lua state with the whole API), walks the registration and
// field tables, and hands the script side (fuzz.lua) a few hooks: the
// random series, the box maker, the note printed when the process dies,
// and the restoring of SDL's subsystems.  The script side makes the values
// and drives the calls.
//
// Settings (environment; the seed also as --seed N):
//   KAVRO_FUZZ_SEED   seed of the random series (default 1)
//   KAVRO_FUZZ_CALLS  calls per function (default 400)
//   KAVRO_FUZZ_SKIP   patterns of calls not to make, see fuzz.lua
//   KAVRO_FUZZ_ONLY   globs of the function and field names to fuzz
//   KAVRO_FUZZ_TRACE  1: print each function's argument kinds and counts,
//                     2: also every call before it is made
// `kavro_fuzz --script FILE` runs FILE in the same set-up instead (to replay
// a reproduction).
#include <SDL.h>
#include <ftw.h>
#include <lua.hpp>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "binding/api.h"
#include "binding/boxes.h"
#include "binding/fields.h"
#include "binding/payload_gfx.h"
#include "binding/payload_mixer.h"
#include "binding/payload_net.h"
#include "binding/payload_zip.h"
#include "binding/registry.h"
#include "host/vfs.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/common_interface_defs.h>
#define KAVRO_FUZZ_ASAN 1
// The harness leaks what it makes on purpose, and a script may ask for
// sizes no allocator grants: a refused allocation is SDL's to handle.
extern "C" const char* __asan_default_options() {
  return "detect_leaks=0:allocator_may_return_null=1:max_allocation_size_mb=1024";
}
extern "C" const char* __ubsan_default_options() {
  return "print_stacktrace=1:halt_on_error=1";
}
#endif

extern const char kFuzzLua[];  // fuzz.lua, embedded at build time
#ifdef KAVRO_FUZZ_CANARY
extern const luaL_Reg kCanaryApi[];  // canary.cpp
#endif

namespace {

// ---- The call in progress, printed when the process dies -----------------

char gNote[8192] = "starting";
volatile sig_atomic_t gNotePrinted = 0;

void WriteAll(const char* s) {
  size_t n = std::strlen(s);
  while (n > 0) {
    ssize_t w = write(2, s, n);
    if (w <= 0) return;
    s += w;
    n -= size_t(w);
  }
}

void RemoveWorkDir();

void PrintNote() {
  if (gNotePrinted) return;
  gNotePrinted = 1;
  WriteAll("\nkavro_fuzz: died during: ");
  WriteAll(gNote);
  WriteAll("\n");
}

void OnFatalSignal(int sig) {
  PrintNote();
  signal(sig, SIG_DFL);
  raise(sig);
}

#ifdef KAVRO_FUZZ_ASAN
// The sanitizer's own handlers for the faults it reports.  The note goes
// out before their report: a jump through a garbage pointer can make the
// report itself fault, and then no death callback runs.
struct sigaction gSanitizerHandler[NSIG];

void OnSanitizedSignal(int sig, siginfo_t* info, void* context) {
  PrintNote();
  const struct sigaction& next = gSanitizerHandler[sig];
  if (next.sa_flags & SA_SIGINFO) {
    next.sa_sigaction(sig, info, context);
  } else if (next.sa_handler != SIG_DFL && next.sa_handler != SIG_IGN) {
    next.sa_handler(sig);
  } else {
    signal(sig, SIG_DFL);
    raise(sig);
  }
}
#endif

// Installed before SDL starts, so that SDL's own handlers stay out.
void InstallDeathReport() {
#ifdef KAVRO_FUZZ_ASAN
  // After a report, the working directory goes too.
  __sanitizer_set_death_callback([] {
    PrintNote();
    RemoveWorkDir();
  });
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE}) {
    struct sigaction mine;
    std::memset(&mine, 0, sizeof mine);
    if (sigaction(sig, nullptr, &gSanitizerHandler[sig]) != 0) continue;
    mine.sa_sigaction = OnSanitizedSignal;
    mine.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigaction(sig, &mine, nullptr);
  }
  const int signals[] = {SIGILL, SIGABRT, SIGTERM, SIGINT, SIGALRM};
#else
  const int signals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGINT, SIGALRM};
#endif
  for (int sig : signals) signal(sig, OnFatalSignal);
}

int Panic(lua_State* L) {
  const char* msg = lua_tostring(L, -1);
  WriteAll("kavro_fuzz: unprotected Lua error: ");
  WriteAll(msg ? msg : "?");
  PrintNote();
  std::abort();
}

// ---- Random series: splitmix64, restarted per function from the seed -----

uint64_t gSeed = 1;
uint64_t gState = 1;

uint64_t Next() {
  uint64_t z = (gState += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// reseed(name): the series for `name` depends on the seed and the name only,
// so skipping one function leaves every other function's series as it was.
int HookReseed(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
  uint64_t h = 1469598103934665603ull;
  for (const char* p = name; *p; ++p) h = (h ^ uint8_t(*p)) * 1099511628211ull;
  gState = gSeed ^ h;
  return 0;
}

// random(n): 1..n
int HookRandom(lua_State* L) {
  lua_Integer n = luaL_checkinteger(L, 1);
  luaL_argcheck(L, n > 0, 1, "empty range");
  lua_pushinteger(L, lua_Integer(Next() % uint64_t(n)) + 1);
  return 1;
}

int HookNote(lua_State* L) {
  const char* s = luaL_checkstring(L, 1);
  std::snprintf(gNote, sizeof gNote, "%s", s);
  return 0;
}

// ---- Boxes ---------------------------------------------------------------

// A pointer box's stand-in object: zeroed memory of the type's size that no
// binding made, and that is not the start of an allocation.
template <class T>
T* FakeObject() {
  auto* bytes = static_cast<unsigned char*>(std::calloc(1, sizeof(T) + 16));
  return reinterpret_cast<T*>(bytes + 16);
}

template <class D>
void PushMadeBox(lua_State* L) {
  using T = kv::PayloadT<D>;
  if constexpr (!D::isPointer) {
    kv::PushBox<D>(L, T{});
  } else if constexpr (D::index == kv::box::Object::index) {
    // A record that outlives its boxes: collecting one drops a reference.
    T* record = FakeObject<T>();
    record->refs = 1 << 30;
    kv::PushBox<D>(L, record);
  } else {
    kv::PushBox<D>(L, FakeObject<T>());
  }
}

// FUZZ_Box(name): a box of the type named (type name or row name, e.g.
// "SDL_AudioSpec" or "ColorArray"), zeroed for a value box, over a stand-in
// object for a pointer box.
int FuzzBox(lua_State* L) {
  const char* name = luaL_checkstring(L, 1);
#define KV_FUZZ_MAKE(Id, tag, typeName, mt, repr, live, raw)                     \
  if (std::strcmp(name, typeName) == 0 || std::strcmp(name, #Id) == 0) { \
    PushMadeBox<kv::box::Id>(L);                                         \
    return 1;                                                            \
  }
  KAVRO_BOX_TYPES(KV_FUZZ_MAKE)
#undef KV_FUZZ_MAKE
  return luaL_error(L, "FUZZ_Box: no box type %s", name);
}

// payload(v): the payload address of a box as a light userdata, nil for
// anything else; two boxes of one object give equal values.
int HookPayload(lua_State* L) {
#define KV_FUZZ_PAYLOAD(Id, tag, typeName, mt, repr, live, raw)                              \
  if (void* block = kv::ToBox<kv::box::Id>(L, 1)) {                                  \
    lua_pushlightuserdata(L, static_cast<void*>(kv::PayloadOf<kv::box::Id>(block))); \
    return 1;                                                                        \
  }
  KAVRO_BOX_TYPES(KV_FUZZ_PAYLOAD)
#undef KV_FUZZ_PAYLOAD
  lua_pushnil(L);
  return 1;
}

template <class D>
void PushFieldList(lua_State* L, const char* id) {
  lua_createtable(L, 0, 4);
  lua_pushstring(L, id);
  lua_setfield(L, -2, "id");
  lua_pushstring(L, D::name);
  lua_setfield(L, -2, "name");
  lua_pushboolean(L, D::isPointer);
  lua_setfield(L, -2, "pointer");
  const kv::FieldTable& t = kv::FieldsOf<D>::table;
  lua_createtable(L, t.count, 0);
  int n = 0;
  for (int i = 0; i < t.count; ++i) {
    if (t.rows[i].len == 0) continue;
    lua_createtable(L, 0, 2);
    lua_pushstring(L, t.rows[i].name);
    lua_setfield(L, -2, "name");
    lua_pushboolean(L, t.rows[i].set != nullptr);
    lua_setfield(L, -2, "writable");
    lua_rawseti(L, -2, ++n);
  }
  lua_setfield(L, -2, "fields");
}

// fields(): every box type with its field names, in table order:
// { {id = "Surface", name = "SDL_Surface", pointer = true,
//    fields = { {name = "flags", writable = true}, ... } }, ... }
int HookFields(lua_State* L) {
  lua_createtable(L, kv::kBoxTypeCount, 0);
  int n = 0;
#define KV_FUZZ_FIELDS(Id, tag, typeName, mt, repr, live, raw) \
  PushFieldList<kv::box::Id>(L, #Id);                  \
  lua_rawseti(L, -2, ++n);
  KAVRO_BOX_TYPES(KV_FUZZ_FIELDS)
#undef KV_FUZZ_FIELDS
  return 1;
}

// ---- Families --------------------------------------------------------------

struct Family {
  const char* name;
  const luaL_Reg* rows;
};

// The layer's families, then the harness's own test-only ones.
int HookFamilies(lua_State* L) {
  lua_newtable(L);
  int n = 0;
  auto add = [&](const char* name, const luaL_Reg* rows) {
    lua_createtable(L, 0, 2);
    lua_pushstring(L, name);
    lua_setfield(L, -2, "name");
    lua_newtable(L);
    int k = 0;
    for (const luaL_Reg* r = rows; r->name; ++r) {
      lua_createtable(L, 0, 2);
      lua_pushstring(L, r->name);
      lua_setfield(L, -2, "name");
      lua_pushcfunction(L, r->func);
      lua_setfield(L, -2, "f");
      lua_rawseti(L, -2, ++k);
    }
    lua_setfield(L, -2, "rows");
    lua_rawseti(L, -2, ++n);
  };
  for (size_t i = 0; i < kApiFamilyCount; ++i) add(kApiFamilies[i].name, kApiFamilies[i].rows);
#ifdef KAVRO_FUZZ_CANARY
  add("canary", kCanaryApi);
#endif
  return 1;
}

// ---- SDL state -------------------------------------------------------------

constexpr int kScreenW = 64, kScreenH = 48, kScreenBpp = 32;

bool AudioUp() {
  char name[32];
  return SDL_AudioDriverName(name, sizeof name) != nullptr;
}

// Calls the binding registered as `name` (from the registration tables, not
// the globals a fuzzed call may have replaced) with the `nargs` values on
// the stack.
void CallApi(lua_State* L, const char* name, int nargs, int nresults) {
  for (size_t i = 0; i < kApiFamilyCount; ++i)
    for (const luaL_Reg* r = kApiFamilies[i].rows; r->name; ++r)
      if (std::strcmp(r->name, name) == 0) {
        lua_pushcfunction(L, r->func);
        lua_insert(L, -nargs - 1);
        lua_call(L, nargs, nresults);
        return;
      }
  luaL_error(L, "no binding %s", name);
}

// SDL's subsystems are stopped and started through the bindings, so that
// what SDL frees on the way is known to be gone.
int Subsystem(lua_State* L, const char* call, Uint32 flags) {
  lua_pushnumber(L, flags);
  CallApi(L, call, 1, LUA_MULTRET);
  int result = lua_gettop(L) > 0 && lua_isnumber(L, -1) ? int(lua_tonumber(L, -1)) : 0;
  lua_settop(L, 0);
  return result;
}

// restore(setMode): brings video and audio back when a call shut them
// down (SDL_WasInit keeps answering yes after SDL_VideoQuit or
// SDL_AudioQuit, so the drivers themselves are asked), and sets the
// harness's video mode when there is no screen, when setMode is true, or,
// for the string "if changed", when the screen is not in that mode.
int HookRestore(lua_State* L) {
  bool setMode = lua_toboolean(L, 1);
  if (lua_type(L, 1) == LUA_TSTRING) {
    const SDL_Surface* screen = SDL_GetVideoSurface();
    setMode = screen &&
              (screen->w != kScreenW || screen->h != kScreenH || screen->format->BitsPerPixel != kScreenBpp);
  }
  lua_settop(L, 0);
  if (!SDL_GetVideoInfo()) {
    Subsystem(L, "SDL_QuitSubSystem", SDL_INIT_VIDEO);
    if (Subsystem(L, "SDL_InitSubSystem", SDL_INIT_VIDEO) != 0) return luaL_error(L, "video: %s", SDL_GetError());
    setMode = true;
  }
  if (!AudioUp()) {
    Subsystem(L, "SDL_QuitSubSystem", SDL_INIT_AUDIO);
    if (Subsystem(L, "SDL_InitSubSystem", SDL_INIT_AUDIO) != 0) return luaL_error(L, "audio: %s", SDL_GetError());
  }
  if (setMode || !SDL_GetVideoSurface()) {
    lua_pushnumber(L, kScreenW);
    lua_pushnumber(L, kScreenH);
    lua_pushnumber(L, kScreenBpp);
    lua_pushnumber(L, SDL_SWSURFACE);
    CallApi(L, "SDL_SetVideoMode", 4, 1);
    if (lua_isnil(L, -1)) return luaL_error(L, "video mode: %s", SDL_GetError());
    lua_settop(L, 0);
  }
  return 0;
}

// video(): the video subsystem is up.
int HookVideoUp(lua_State* L) {
  lua_pushboolean(L, SDL_GetVideoInfo() != nullptr);
  return 1;
}

// pushevent(): queues a user event; true when SDL_WaitEvent will not
// block (an event is queued, or the queue is off and it fails at once).
int HookPushEvent(lua_State* L) {
  SDL_Event e;
  std::memset(&e, 0, sizeof e);
  e.type = SDL_USEREVENT;
  SDL_PushEvent(&e);
  int n = SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_ALLEVENTS);
  lua_pushboolean(L, n != 0);
  return 1;
}

// files(): (re)writes the working directory's files: fuzz.bmp (8-bit,
// palettized), fuzz32.bmp, junk.bin (not an image), the folder dir, and
// vfs/pack.bmp, which the virtual file system serves as pack.bmp.
int HookFiles(lua_State* L) {
  SDL_Surface* s8 = SDL_CreateRGBSurface(0, 7, 5, 8, 0, 0, 0, 0);
  SDL_Surface* s32 = SDL_CreateRGBSurface(0, 7, 5, 32, 0xFF0000, 0xFF00, 0xFF, 0);
  bool ok = s8 && s32 && SDL_SaveBMP(s8, "fuzz.bmp") == 0 && SDL_SaveBMP(s32, "fuzz32.bmp") == 0 &&
            SDL_SaveBMP(s8, "vfs/pack.bmp") == 0;
  SDL_FreeSurface(s8);
  SDL_FreeSurface(s32);
  FILE* junk = std::fopen("junk.bin", "wb");
  if (junk) {
    std::fputs("BMjunk that is no image\n", junk);
    std::fclose(junk);
  }
  mkdir("dir", 0755);
  if (!ok || !junk) return luaL_error(L, "cannot write the working directory's files");
  return 0;
}

const luaL_Reg kHooks[] = {{"reseed", HookReseed},   {"random", HookRandom},   {"note", HookNote},
                           {"payload", HookPayload}, {"fields", HookFields},   {"families", HookFamilies},
                           {"restore", HookRestore}, {"videoup", HookVideoUp}, {"pushevent", HookPushEvent},
                           {"files", HookFiles},     {nullptr, nullptr}};

// ---- Working directory -----------------------------------------------------

char gWorkDir[4096] = "";

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return std::remove(path);
}

bool MakeWorkDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::snprintf(gWorkDir, sizeof gWorkDir, "%s/kavro-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
  return mkdtemp(gWorkDir) && chdir(gWorkDir) == 0 && mkdir("vfs", 0755) == 0;
}

void RemoveWorkDir() {
  if (gWorkDir[0] && chdir("/") == 0) nftw(gWorkDir, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  gWorkDir[0] = '\0';
}

// ---- Settings --------------------------------------------------------------

const char* Env(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

int Fail(lua_State* L, const char* what) {
  std::fprintf(stderr, "kavro_fuzz: %s: %s\n", what, lua_tostring(L, -1));
  return 1;
}

// Runs the driver (or the script of --script) on a prepared state; returns
// the process's exit status.
int Run(lua_State* L, const char* script, int calls, const char* skip, const char* only, int trace) {
  if (script) {
    std::snprintf(gNote, sizeof gNote, "running %s", script);
    lua_pushcfunction(L, HookFiles);
    if (lua_pcall(L, 0, 0, 0) != 0 || luaL_loadfile(L, script) != 0 || lua_pcall(L, 0, 0, 0) != 0)
      return Fail(L, script);
    return 0;
  }
  if (luaL_loadbuffer(L, kFuzzLua, std::strlen(kFuzzLua), "=fuzz.lua") != 0) return Fail(L, "fuzz.lua");
  lua_newtable(L);
  luaL_register(L, nullptr, kHooks);
  lua_createtable(L, 0, 4);
  lua_pushinteger(L, calls);
  lua_setfield(L, -2, "calls");
  lua_pushstring(L, skip);
  lua_setfield(L, -2, "skip");
  lua_pushstring(L, only);
  lua_setfield(L, -2, "only");
  lua_pushinteger(L, trace);
  lua_setfield(L, -2, "trace");
  if (lua_pcall(L, 2, 0, 0) != 0) return Fail(L, "harness");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* script = nullptr;
  const char* seedText = Env("KAVRO_FUZZ_SEED", "1");
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seed") == 0) {
      seedText = argv[i + 1];
    } else if (std::strcmp(argv[i], "--script") == 0) {
      script = argv[i + 1];
    } else {
      std::fprintf(stderr, "usage: %s [--seed N] [--script FILE]\n", argv[0]);
      return 2;
    }
  }
  gSeed = std::strtoull(seedText, nullptr, 0);
  int calls = std::atoi(Env("KAVRO_FUZZ_CALLS", "400"));
  const char* skip = Env("KAVRO_FUZZ_SKIP", "");
  const char* only = Env("KAVRO_FUZZ_ONLY", "");
  int trace = std::atoi(Env("KAVRO_FUZZ_TRACE", "0"));

  setenv("SDL_VIDEODRIVER", "dummy", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  InstallDeathReport();
  // Streams over files are made by the thousand and left open.
  rlimit files;
  if (getrlimit(RLIMIT_NOFILE, &files) == 0) {
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
  }
  // Both paths are taken before the working directory changes.
  char program[4096], scriptPath[4096];
  if (!realpath(argv[0], program)) std::snprintf(program, sizeof program, "%s", argv[0]);
  if (script && !realpath(script, scriptPath)) std::snprintf(scriptPath, sizeof scriptPath, "%s", script);
  if (!MakeWorkDir()) {
    std::perror("kavro_fuzz: working directory");
    return 1;
  }
  std::printf("kavro_fuzz: seed %llu (KAVRO_FUZZ_SEED or --seed), %d calls per function, working in %s\n",
              static_cast<unsigned long long>(gSeed), calls, gWorkDir);
  std::fflush(stdout);

  // The virtual file system serves vfs/ of the working directory, so that
  // some names are read through its streams and the others from files.
  char vfsDir[sizeof gWorkDir + 8];
  std::snprintf(vfsDir, sizeof vfsDir, "%s/vfs", gWorkDir);
  VfsStart(program);
  VfsMount(vfsDir);
  int status = 1;
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_AUDIO) != 0 ||
      !SDL_SetVideoMode(kScreenW, kScreenH, kScreenBpp, 0)) {
    std::fprintf(stderr, "kavro_fuzz: SDL: %s\n", SDL_GetError());
  } else if (lua_State* L = luaL_newstate()) {
    lua_atpanic(L, Panic);
    luaL_openlibs(L);
    if (lua_cpcall(
            L, [](lua_State* s) { return RegisterApi(s); }, nullptr) != 0) {
      Fail(L, "RegisterApi");
    } else {
      lua_register(L, "FUZZ_Box", FuzzBox);
#ifdef KAVRO_FUZZ_CANARY
      lua_pushvalue(L, LUA_GLOBALSINDEX);
      luaL_register(L, nullptr, kCanaryApi);
      lua_pop(L, 1);
#endif
      status = Run(L, script ? scriptPath : nullptr, calls, skip, only, trace);
    }
    std::snprintf(gNote, sizeof gNote, "closing the Lua state");
    lua_close(L);
  }
  std::snprintf(gNote, sizeof gNote, "SDL_Quit");
  SDL_Quit();
  VfsStop();
  RemoveWorkDir();
  return status;
}
