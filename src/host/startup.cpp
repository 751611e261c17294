// The program's start-up sequence: version query, runtime defaults, the
// virtual file system and the resource archive, the command line, the log,
// the script host, and the default window when no main script runs.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#define chdir _chdir
#else
#include <unistd.h>
#endif

#include "host/default_window.h"
#include "host/host.h"
#include "host/script_host.h"
#include "host/strings.h"
#include "host/vfs.h"

RuntimeState g_runtime;

namespace {

constexpr const char* kArchiveNames[] = {"base.sdl", "base.res", "base.pak", "base.dat", "base.zip"};
constexpr const char* kArchiveExtensions[] = {"sdl", "res", "pak", "dat", "zip"};

// Copies `path` into mainPath with every "\\" turned into "/".
void SetMainPathFrom(const char* path, StringHolder* holder) {
  const char* slashed = StrReplaceAll(path, "\\", "/", true, holder);
  StrBoundedCopy(g_runtime.mainPath, slashed ? slashed : path, kMainPathMax);
}

// Mounts the first of the base archives that exists; 1 when one was found.
int ProbeArchive() {
  for (const char* name : kArchiveNames) {
    if (VfsExists(name)) {
      StrBoundedCopy(g_runtime.mainPath, name, kMainPathMax);
      g_runtime.archiveMounted = VfsMount(name);
      return 1;
    }
  }
  return 0;
}

// The lower-cased extension class of a command-line argument.
struct ArgumentKind {
  bool script;
  bool archive;
};

ArgumentKind ClassifyArgument(const char* arg) {
  ArgumentKind kind{false, false};
  char* lower = StrLower(arg);
  if (lower == nullptr) return kind;
  // A name without "." is compared whole.
  char* ext = StrExtension(lower);
  const char* compared = ext ? ext : lower;
  kind.script = StrEquals(compared, "lua", true) != 0;
  for (const char* archiveExt : kArchiveExtensions) {
    if (StrEquals(compared, archiveExt, true)) kind.archive = true;
  }
  StrRelease(&ext);
  StrRelease(&lower);
  return kind;
}

void UseMainScript(const char* arg, StringHolder* holder) {
  SetMainPathFrom(arg, holder);
  std::printf("Using main script: %s\n\n", g_runtime.mainPath);
  std::fflush(stdout);
}

void UseResourceFile(const char* arg, StringHolder* holder) {
  SetMainPathFrom(arg, holder);
  std::printf("Using resource file: %s\n\n", g_runtime.mainPath);
  std::fflush(stdout);
}

#ifdef _WIN32
// Windows: the executable's directory becomes the working and base
// directory, and the argument is mounted before the probe, whatever its
// extension; the probe runs only when that mount fails.
void LocateGameWindows(int argc, char** argv, StringHolder* holder) {
  char exe[kBaseDirMax + 1] = {0};
  DWORD n = GetModuleFileNameA(nullptr, exe, kBaseDirMax);
  exe[n < kBaseDirMax ? n : kBaseDirMax] = '\0';
  char* dir = StrDirectoryPart(exe, holder);
  if (dir != nullptr) {
    int changed = chdir(dir);
    (void)changed;
    const char* slashed = StrReplaceAll(dir, "\\", "/", true, holder);
    StrBoundedCopy(g_runtime.baseDir, slashed ? slashed : dir, kBaseDirMax);
  }
  StrBoundedCopy(g_runtime.mainPath, "main.lua", kMainPathMax);
  if (argc > 1 && argv[1] != nullptr) {
    if (ClassifyArgument(argv[1]).script) UseMainScript(argv[1], holder);
    g_runtime.archiveMounted = VfsMount(argv[1]);
    if (g_runtime.archiveMounted) {
      UseResourceFile(argv[1], holder);
      return;
    }
  }
  ProbeArchive();
}
#endif

}  // namespace

void RuntimeSetDefaults() {
  RuntimeState& rt = g_runtime;
  rt.screen = nullptr;
  rt.windowWidth = 320;
  rt.windowHeight = 240;
  rt.bitsPerPixel = 16;
  rt.videoFlags = 0;
  rt.windowOpen = 0;
  rt.quitRequested = 0;
  rt.videoReady = 0;
  rt.clipRect.x = 0;
  rt.clipRect.y = 0;
  rt.clipRect.w = 320;
  rt.clipRect.h = 240;
  rt.modeList = nullptr;
  rt.fillColour = 0;
  rt.fullscreenWidth = 640;
  rt.fullscreenHeight = 480;
}

int HostInit(int argc, char** argv) {
  RuntimeState& rt = g_runtime;
  if (rt.initialised) return 1;
#ifdef _WIN32
  SetThreadAffinityMask(GetCurrentThread(), 1);
#endif
  VfsStart(argc > 0 ? argv[0] : nullptr);
  // VfsBaseDir never yields null: without PhysicsFS it falls back to the
  // executable's own directory.
  StrBoundedCopy(rt.baseDir, VfsBaseDir(), kBaseDirMax);
  // The result is ignored: a failed change leaves the start directory.
  if (rt.baseDir[0] != '\0') {
    int changed = chdir(rt.baseDir);
    (void)changed;
  }

  StringHolder* holder = StringHolderNew();
#ifdef _WIN32
  LocateGameWindows(argc, argv, holder);
#else
  StrBoundedCopy(rt.mainPath, "main.lua", kMainPathMax);
  int probed = ProbeArchive();

  const char* slashed = StrReplaceAll(rt.baseDir, "\\", "/", true, holder);
  if (slashed != nullptr) StrBoundedCopy(rt.baseDir, slashed, kBaseDirMax);

  if (argc > 1 && argv[1] != nullptr) {
    const char* arg = argv[1];
    ArgumentKind kind = ClassifyArgument(arg);
    if (kind.script) UseMainScript(arg, holder);
    if (probed || kind.archive) {
      int mounted = VfsMount(arg);
      // A failed mount of an argument that is not a script keeps the probe's
      // result, so a base archive is never read as Lua text itself.
      if (mounted || kind.script) rt.archiveMounted = mounted;
      if (mounted) UseResourceFile(arg, holder);
    }
  }
#endif
  StringHolderFree(holder);

  LogStart();
  LogOpen();
  ResourcesStart();
  ScriptingStart();
  rt.initialised = 1;
  return 1;
}

void HostShutdown() {
  if (!g_runtime.initialised) return;
  VfsStop();
  g_runtime.initialised = 0;
}

int KavroMain(int argc, char** argv) {
  if (argc > 1 && argv[1] != nullptr &&
      (std::strcmp(argv[1], "-v") == 0 || std::strcmp(argv[1], "--version") == 0)) {
    std::printf("KAVRO v%s\n", kKavroVersion);
    std::fflush(stdout);
    return 0;
  }
  RuntimeSetDefaults();
  std::atexit(SDL_Quit);

  if (HostInit(argc, argv)) LogPrint("KAVRO v%s\n", kKavroVersion);

  if (!HostRunMainScript()) {
    if (!VideoInit()) return 1;
    if (VideoSetMode(320, 240, 16, kDefaultVideoFlags) == nullptr) {
      SDL_QuitSubSystem(SDL_INIT_EVERYTHING);
      SDL_Quit();
      return 1;
    }
    IdleLoop();
    VideoCloseWindow();
    SDL_QuitSubSystem(SDL_INIT_EVERYTHING);
    SDL_Quit();
  }
  HostShutdown();
  std::fflush(stdout);
  return 0;
}
