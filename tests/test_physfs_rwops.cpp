// SDL streams over PhysicsFS files, read from a real zip made by `zip`.
#include <gtest/gtest.h>
#include <physfs.h>
#include <unistd.h>

#include <SDL.h>
#include <string>

#include "host/host.h"
#include "host/physfs_rwops.h"
#include "host/vfs.h"
#include "support/e2e.h"

namespace {

// 250 bytes that differ from position to position.
std::string Pattern250() {
  std::string s;
  for (int i = 0; i < 250; ++i) s.push_back(static_cast<char>((i * 7 + 3) & 0xFF));
  return s;
}

// Highly compressible, so zip deflates it.
std::string Text4k() {
  std::string s;
  for (int i = 0; i < 200; ++i) s += "line " + std::to_string(i) + " of the deflated member\n";
  return s;
}

std::string Err() {
  return SDL_GetError();
}

class PhysfsStream : public ::testing::Test {
 protected:
  void SetUp() override {
    VfsStop();
    dir.Write("src/rwtest/stored.bin", Pattern250());
    dir.Write("src/rwtest/deflated.txt", Text4k());
    ASSERT_TRUE(dir.Zip("pack.zip", {"rwtest/stored.bin", "rwtest/deflated.txt"}, "src"));
    zipPath = dir / "pack.zip";
    ASSERT_EQ(VfsStart(nullptr), 1);
    ASSERT_NE(VfsMount(zipPath.c_str()), 0) << VfsLastError();
  }
  void TearDown() override { VfsStop(); }

  e2e::TempDir dir;
  std::string zipPath;
};

TEST_F(PhysfsStream, SeekRulesAndTheirErrorTexts) {
  SDL_RWops* rw = PHYSFSRWOPS_openForRead("rwtest/stored.bin");
  ASSERT_NE(rw, nullptr) << Err();
  std::string data = Pattern250();

  EXPECT_EQ(SDL_RWseek(rw, 0, RW_SEEK_END), 250);
  EXPECT_EQ(SDL_RWtell(rw), 250);
  EXPECT_EQ(SDL_RWseek(rw, -10, RW_SEEK_END), 240);
  EXPECT_EQ(SDL_RWseek(rw, 10, RW_SEEK_SET), 10);
  EXPECT_EQ(SDL_RWseek(rw, 5, RW_SEEK_CUR), 15);
  unsigned char byte = 0;
  EXPECT_EQ(SDL_RWread(rw, &byte, 1, 1), 1);
  EXPECT_EQ(byte, static_cast<unsigned char>(data[15]));
  EXPECT_EQ(SDL_RWtell(rw), 16);
  EXPECT_EQ(SDL_RWseek(rw, -16, RW_SEEK_CUR), 0);

  SDL_ClearError();
  EXPECT_EQ(SDL_RWseek(rw, -1, RW_SEEK_SET), -1);
  EXPECT_EQ(Err(), "Attempt to seek past start of file.");
  SDL_ClearError();
  EXPECT_EQ(SDL_RWseek(rw, -1, RW_SEEK_CUR), -1);
  EXPECT_EQ(Err(), "Attempt to seek past start of file.");
  SDL_ClearError();
  EXPECT_EQ(SDL_RWseek(rw, -251, RW_SEEK_END), -1);
  EXPECT_EQ(Err(), "Attempt to seek past start of file.");
  SDL_ClearError();
  EXPECT_EQ(SDL_RWseek(rw, 0, 3), -1);
  EXPECT_EQ(Err(), "Invalid 'whence' parameter.");
  EXPECT_EQ(SDL_RWtell(rw), 0);  // failed seeks leave the position

  // Past the end of an archive member PhysicsFS itself refuses.
  SDL_ClearError();
  EXPECT_EQ(SDL_RWseek(rw, 1000, RW_SEEK_SET), -1);
  EXPECT_EQ(Err(), std::string("PhysicsFS error: ") + PHYSFS_getErrorByCode(PHYSFS_ERR_PAST_EOF));

  EXPECT_EQ(SDL_RWclose(rw), 0);
}

TEST_F(PhysfsStream, ShortReadAtEndLeavesSdlErrorAlone) {
  SDL_RWops* rw = PHYSFSRWOPS_openForRead("rwtest/stored.bin");
  ASSERT_NE(rw, nullptr) << Err();
  SDL_SetError("untouched");
  std::string buf(400, '\0');
  EXPECT_EQ(SDL_RWread(rw, buf.data(), 100, 4), 2);
  EXPECT_EQ(Err(), "untouched");
  EXPECT_EQ(buf.substr(0, 250), Pattern250());
  EXPECT_EQ(SDL_RWread(rw, buf.data(), 1, 10), 0);
  EXPECT_EQ(Err(), "untouched");
  EXPECT_EQ(SDL_RWclose(rw), 0);
}

TEST_F(PhysfsStream, DeflatedMemberReadsAndSeeksBack) {
  SDL_RWops* rw = PHYSFSRWOPS_openForRead("rwtest/deflated.txt");
  ASSERT_NE(rw, nullptr) << Err();
  std::string text = Text4k();
  EXPECT_EQ(SDL_RWseek(rw, 0, RW_SEEK_END), static_cast<int>(text.size()));
  EXPECT_EQ(SDL_RWseek(rw, 100, RW_SEEK_SET), 100);
  std::string part(50, '\0');
  EXPECT_EQ(SDL_RWread(rw, part.data(), 10, 5), 5);
  EXPECT_EQ(part, text.substr(100, 50));
  EXPECT_EQ(SDL_RWseek(rw, -120, RW_SEEK_CUR), 30);
  EXPECT_EQ(SDL_RWread(rw, part.data(), 50, 1), 1);
  EXPECT_EQ(part, text.substr(30, 50));
  EXPECT_EQ(SDL_RWclose(rw), 0);
}

TEST_F(PhysfsStream, WriteAndAppendFailWithoutAWriteDirectory) {
  const std::string expected =
      std::string("PhysicsFS error: ") + PHYSFS_getErrorByCode(PHYSFS_ERR_NO_WRITE_DIR);
  SDL_ClearError();
  EXPECT_EQ(PHYSFSRWOPS_openForWrite("rwtest/stored.bin"), nullptr);
  EXPECT_EQ(Err(), expected);
  SDL_ClearError();
  EXPECT_EQ(PHYSFSRWOPS_openForAppend("rwtest/stored.bin"), nullptr);
  EXPECT_EQ(Err(), expected);
  SDL_ClearError();
  EXPECT_EQ(PHYSFSRWOPS_openForWrite("new.txt"), nullptr);
  EXPECT_EQ(Err(), expected);
}

// A failed read away from the end of the file, and a failed write, report
// PhysicsFS's message; a handle opened for writing (through a write directory
// set only by this test) is never at its end.
TEST_F(PhysfsStream, FailedReadAndWriteSetPhysfsError) {
  dir.Write("wdir/.keep", "");
  ASSERT_NE(PHYSFS_setWriteDir((dir / "wdir").c_str()), 0) << VfsLastError();
  PHYSFS_File* out = PHYSFS_openWrite("out.bin");
  ASSERT_NE(out, nullptr) << VfsLastError();
  SDL_RWops* w = PHYSFSRWOPS_makeRWops(out);
  ASSERT_NE(w, nullptr);
  SDL_SetError("untouched");
  EXPECT_EQ(SDL_RWwrite(w, "abcdef", 2, 3), 3);
  EXPECT_EQ(Err(), "untouched");
  char buf[8] = {};
  EXPECT_EQ(SDL_RWread(w, buf, 2, 2), -1);
  EXPECT_EQ(Err(), std::string("PhysicsFS error: ") + PHYSFS_getErrorByCode(PHYSFS_ERR_OPEN_FOR_WRITING));
  EXPECT_EQ(SDL_RWclose(w), 0);
  ASSERT_NE(PHYSFS_setWriteDir(nullptr), 0);
  EXPECT_EQ(dir.Read("wdir/out.bin"), "abcdef");

  SDL_RWops* r = PHYSFSRWOPS_openForRead("rwtest/stored.bin");
  ASSERT_NE(r, nullptr) << Err();
  SDL_SetError("untouched");
  EXPECT_LT(SDL_RWwrite(r, "xy", 1, 2), 2);
  EXPECT_EQ(Err(), std::string("PhysicsFS error: ") + PHYSFS_getErrorByCode(PHYSFS_ERR_OPEN_FOR_READING));
  EXPECT_EQ(SDL_RWclose(r), 0);
}

TEST_F(PhysfsStream, MissingNamesAndNullHandles) {
  SDL_ClearError();
  EXPECT_EQ(PHYSFSRWOPS_openForRead("rwtest/absent.bin"), nullptr);
  EXPECT_EQ(Err(), std::string("PhysicsFS error: ") + PHYSFS_getErrorByCode(PHYSFS_ERR_NOT_FOUND));
  SDL_ClearError();
  EXPECT_EQ(PHYSFSRWOPS_makeRWops(nullptr), nullptr);
  EXPECT_EQ(Err(), "NULL pointer passed to PHYSFSRWOPS_makeRWops().");
}

TEST_F(PhysfsStream, CloseReleasesTheFileOnce) {
  PHYSFS_File* handle = PHYSFS_openRead("rwtest/stored.bin");
  ASSERT_NE(handle, nullptr);
  SDL_RWops* rw = PHYSFSRWOPS_makeRWops(handle);
  ASSERT_NE(rw, nullptr);
  EXPECT_EQ(rw->hidden.unknown.data1, handle);
  // An open member keeps its archive mounted.
  EXPECT_EQ(PHYSFS_unmount(zipPath.c_str()), 0);
  EXPECT_EQ(PHYSFS_getLastErrorCode(), PHYSFS_ERR_FILES_STILL_OPEN);
  EXPECT_EQ(SDL_RWclose(rw), 0);
  EXPECT_NE(PHYSFS_unmount(zipPath.c_str()), 0);
}

TEST_F(PhysfsStream, VfsSeesArchiveMembers) {
  EXPECT_EQ(VfsExists("rwtest/stored.bin"), 1);
  EXPECT_EQ(VfsExists("rwtest"), 1);
  EXPECT_EQ(VfsExists("rwtest/absent.bin"), 0);
  // A host path outside the search path is not in the virtual file system.
  EXPECT_EQ(VfsExists(zipPath.c_str()), 0);
  EXPECT_EQ(VfsMount((dir / "no-such.zip").c_str()), 0);
  EXPECT_EQ(VfsStart(nullptr), 1);  // already started
}

TEST(VfsStopped, BaseDirFallsBackToTheExecutableDirectory) {
  VfsStop();
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string path(exe, static_cast<size_t>(n));
  std::string expected = path.substr(0, path.rfind('/') + 1);
  ASSERT_NE(VfsBaseDir(), nullptr);
  EXPECT_EQ(std::string(VfsBaseDir()), expected);
  EXPECT_EQ(VfsExists("anything"), 0);
  EXPECT_EQ(VfsMount("/tmp"), 0);
}

}  // namespace
