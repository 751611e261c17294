// SDL_RWops streams over PhysicsFS files, so that SDL and its companion
// libraries can read from the virtual file system.
//
// The stream owns the PhysicsFS handle: closing the stream (SDL_RWclose)
// closes the file and, on success, frees the stream. Every failure sets
// SDL's error text ("PhysicsFS error: %s" with PhysicsFS's message, or the
// seek messages) and nothing is printed.
#pragma once

#include <SDL.h>
#include <physfs.h>

SDL_RWops* PHYSFSRWOPS_openForRead(const char* name);
// No write directory is ever set, so these two fail with PhysicsFS's message.
SDL_RWops* PHYSFSRWOPS_openForWrite(const char* name);
SDL_RWops* PHYSFSRWOPS_openForAppend(const char* name);
// Wraps an open handle; a null handle sets
// "NULL pointer passed to PHYSFSRWOPS_makeRWops()." and yields null.
SDL_RWops* PHYSFSRWOPS_makeRWops(PHYSFS_File* handle);
