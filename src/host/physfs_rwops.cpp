#include "host/physfs_rwops.h"

#include <cstdint>

#include "host/vfs.h"

namespace {

PHYSFS_File* HandleOf(SDL_RWops* rw) {
  return static_cast<PHYSFS_File*>(rw->hidden.unknown.data1);
}

void SetPhysfsError() {
  SDL_SetError("PhysicsFS error: %s", VfsLastError());
}

int StreamSeek(SDL_RWops* rw, int offset, int whence) {
  PHYSFS_File* handle = HandleOf(rw);
  PHYSFS_sint64 target = 0;
  if (whence == RW_SEEK_SET) {
    target = offset;
  } else if (whence == RW_SEEK_CUR) {
    PHYSFS_sint64 current = PHYSFS_tell(handle);
    if (current == -1) {
      SDL_SetError("Can't find position in file: %s", VfsLastError());
      return -1;
    }
    if (current != static_cast<PHYSFS_sint64>(static_cast<int32_t>(current))) {
      SDL_SetError("Can't fit current file position in an int!");
      return -1;
    }
    if (offset == 0) return static_cast<int>(current);
    target = current + offset;
  } else if (whence == RW_SEEK_END) {
    PHYSFS_sint64 length = PHYSFS_fileLength(handle);
    if (length == -1) {
      SDL_SetError("Can't find end of file: %s", VfsLastError());
      return -1;
    }
    if (length != static_cast<PHYSFS_sint64>(static_cast<int32_t>(length))) {
      SDL_SetError("Can't fit end-of-file position in an int!");
      return -1;
    }
    target = length + offset;
  } else {
    SDL_SetError("Invalid 'whence' parameter.");
    return -1;
  }
  if (target < 0) {
    SDL_SetError("Attempt to seek past start of file.");
    return -1;
  }
  if (!PHYSFS_seek(handle, static_cast<PHYSFS_uint64>(target))) {
    SetPhysfsError();
    return -1;
  }
  return static_cast<int>(target);
}

int StreamRead(SDL_RWops* rw, void* buffer, int size, int count) {
  if (size <= 0 || count <= 0) return 0;
  PHYSFS_File* handle = HandleOf(rw);
  PHYSFS_uint64 want = static_cast<PHYSFS_uint64>(size) * static_cast<PHYSFS_uint64>(count);
  PHYSFS_sint64 got = PHYSFS_readBytes(handle, buffer, want);
  PHYSFS_sint64 objects = got <= 0 ? got : got / size;
  if (objects < count && !PHYSFS_eof(handle)) SetPhysfsError();
  return static_cast<int>(objects);
}

int StreamWrite(SDL_RWops* rw, const void* buffer, int size, int count) {
  if (size <= 0 || count <= 0) return 0;
  PHYSFS_File* handle = HandleOf(rw);
  PHYSFS_uint64 want = static_cast<PHYSFS_uint64>(size) * static_cast<PHYSFS_uint64>(count);
  PHYSFS_sint64 put = PHYSFS_writeBytes(handle, buffer, want);
  PHYSFS_sint64 objects = put <= 0 ? put : put / size;
  if (objects < count) SetPhysfsError();
  return static_cast<int>(objects);
}

int StreamClose(SDL_RWops* rw) {
  if (!PHYSFS_close(HandleOf(rw))) {
    SetPhysfsError();
    return -1;
  }
  SDL_FreeRW(rw);
  return 0;
}

SDL_RWops* Wrap(PHYSFS_File* handle) {
  if (handle == nullptr) {
    SetPhysfsError();
    return nullptr;
  }
  SDL_RWops* rw = SDL_AllocRW();
  if (rw == nullptr) return nullptr;
  rw->seek = StreamSeek;
  rw->read = StreamRead;
  rw->write = StreamWrite;
  rw->close = StreamClose;
  rw->hidden.unknown.data1 = handle;
  return rw;
}

// Wraps a handle this module opened itself: when no stream can be made the
// file is closed again instead of leaking.
SDL_RWops* WrapOwned(PHYSFS_File* handle) {
  SDL_RWops* rw = Wrap(handle);
  if (rw == nullptr && handle != nullptr) PHYSFS_close(handle);
  return rw;
}

}  // namespace

SDL_RWops* PHYSFSRWOPS_openForRead(const char* name) {
  return WrapOwned(PHYSFS_openRead(name));
}

SDL_RWops* PHYSFSRWOPS_openForWrite(const char* name) {
  return WrapOwned(PHYSFS_openWrite(name));
}

SDL_RWops* PHYSFSRWOPS_openForAppend(const char* name) {
  return WrapOwned(PHYSFS_openAppend(name));
}

SDL_RWops* PHYSFSRWOPS_makeRWops(PHYSFS_File* handle) {
  if (handle == nullptr) {
    SDL_SetError("NULL pointer passed to PHYSFSRWOPS_makeRWops().");
    return nullptr;
  }
  return Wrap(handle);
}
