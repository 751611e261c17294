// The archive-first open rule shared by every loader that takes a file
// name: a name the virtual file system holds is read from there (base
// directory or resource archive) through a PhysicsFS stream, with no
// fallback when that open fails; any other name goes to the library's own
// loader on the host file system.
#pragma once

#include <SDL.h>

#include "host/physfs_rwops.h"
#include "host/vfs.h"

// rwLoad(stream) loads from a stream it then owns (frees it); fileLoad(name)
// loads from the host file system.  Returns null when nothing was loaded.
template <class RwLoad, class FileLoad>
inline auto LoadArchiveFirst(const char* name, RwLoad rwLoad, FileLoad fileLoad) -> decltype(fileLoad(name)) {
  if (VfsExists(name)) {
    SDL_RWops* stream = PHYSFSRWOPS_openForRead(name);
    if (!stream) return nullptr;
    return rwLoad(stream);
  }
  return fileLoad(name);
}
