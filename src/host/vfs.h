// The virtual file system: PhysicsFS with the base directory at the head of
// the search path and resource archives appended after it. Read-only: no
// write directory is ever set.
#pragma once

// Starts PhysicsFS and puts its base directory first in the search path.
// 1 on success (also when already started), 0 when PhysicsFS cannot start.
int VfsStart(const char* programPath);
// Stops PhysicsFS when it is running.
void VfsStop();
// The directory of the running executable, with a trailing separator. Never
// null: when PhysicsFS is not running it is derived from /proc/self/exe, or
// is "" when that cannot be read either.
const char* VfsBaseDir();
// 1 when the name is in the base directory or in a mounted archive.
int VfsExists(const char* name);
// Appends a directory or archive to the search path; non-zero on success.
int VfsMount(const char* path);
// PhysicsFS's text for its last error (clears it); never null.
const char* VfsLastError();
