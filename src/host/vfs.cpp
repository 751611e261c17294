#include "host/vfs.h"

#include <physfs.h>
#include <unistd.h>

#include "host/host.h"
#include "host/strings.h"

namespace {

// The executable's directory when PhysicsFS cannot tell it.
const char* FallbackBaseDir() {
  static char dir[kBaseDirMax + 1];
  static bool done = false;
  if (done) return dir;
  done = true;
  dir[0] = '\0';
#ifndef _WIN32
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n <= 0) return dir;
  exe[n] = '\0';
  int slash = StrFindLast(exe, '/', true);
  if (slash < 0) return dir;
  exe[slash + 1] = '\0';
  StrBoundedCopy(dir, exe, kBaseDirMax);
#endif
  return dir;
}

}  // namespace

int VfsStart(const char* programPath) {
  if (g_runtime.vfsReady) return 1;
  if (!PHYSFS_init(programPath)) return 0;
  const char* base = PHYSFS_getBaseDir();
  if (base != nullptr) PHYSFS_mount(base, nullptr, 0);
  g_runtime.vfsReady = 1;
  return 1;
}

void VfsStop() {
  if (!g_runtime.vfsReady) return;
  PHYSFS_deinit();
  g_runtime.vfsReady = 0;
}

const char* VfsBaseDir() {
  const char* base = g_runtime.vfsReady ? PHYSFS_getBaseDir() : nullptr;
  return base != nullptr ? base : FallbackBaseDir();
}

int VfsExists(const char* name) {
  if (!g_runtime.vfsReady || name == nullptr) return 0;
  return PHYSFS_exists(name) ? 1 : 0;
}

int VfsMount(const char* path) {
  if (!g_runtime.vfsReady || path == nullptr) return 0;
  return PHYSFS_mount(path, nullptr, 1);
}

const char* VfsLastError() {
  const char* text = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
  return text != nullptr ? text : "unknown error";
}
