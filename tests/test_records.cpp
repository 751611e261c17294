// Host records (reference counts) and the log file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host.h"
#include "host/script_host.h"
#include "host/strings.h"
#include "support/e2e.h"

namespace {

struct Counted {
  RecordHeader header;
  int* destroyed;
};

void CountDestroy(void* record) {
  ++*static_cast<Counted*>(record)->destroyed;
}

TEST(RecordReferences, DestroyRunsOnceAtTheLastRelease) {
  int destroyed = 0;
  Counted rec{{99, 0, CountDestroy}, &destroyed};
  AddRef(&rec);
  AddRef(&rec);
  EXPECT_EQ(rec.header.refs, 2);
  Release(&rec);
  EXPECT_EQ(rec.header.refs, 1);
  EXPECT_EQ(destroyed, 0);
  Release(&rec);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(rec.header.refs, 0);
}

TEST(RecordReferences, ReleaseAtZeroDestroysToo) {
  // A fresh record (count 0) released without AddRef falls to -1: destroyed.
  int destroyed = 0;
  Counted rec{{99, 0, CountDestroy}, &destroyed};
  Release(&rec);
  EXPECT_EQ(destroyed, 1);
}

TEST(RecordReferences, StringHolderIsAHostRecord) {
  StringHolder* holder = StringHolderNew();
  ASSERT_NE(holder, nullptr);
  EXPECT_EQ(holder->header.kind, 23);
  StrUpper("abc", holder);
  AddRef(holder);
  Release(holder);  // frees the holder and its result (checked under ASan)
}

// The log writes kavro.log in the working directory; each case runs in a
// scratch directory and puts the runtime's log record back afterwards.
class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char buf[4096];
    ASSERT_NE(getcwd(buf, sizeof buf), nullptr);
    oldCwd = buf;
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    saved = g_runtime.log;
    savedPtr = g_runtime.logRecord;
    std::memset(&g_runtime.log, 0, sizeof g_runtime.log);
    g_runtime.logRecord = nullptr;
  }
  void TearDown() override {
    StrRelease(&g_runtime.log.fileName);
    StrRelease(&g_runtime.log.lastErrorText);
    g_runtime.log = saved;
    g_runtime.logRecord = savedPtr;
    if (!oldCwd.empty()) {
      EXPECT_EQ(chdir(oldCwd.c_str()), 0);
    }
  }

  e2e::TempDir dir;
  std::string oldCwd;
  LogRecord saved{};
  LogRecord* savedPtr = nullptr;
};

TEST_F(LogTest, StartOpenTruncateAndAppend) {
  dir.Write("kavro.log", "left over from an earlier run\n");
  LogStart();
  EXPECT_EQ(g_runtime.log.header.kind, 68);
  EXPECT_EQ(g_runtime.log.header.refs, 0);
  EXPECT_EQ(g_runtime.log.header.destroy, nullptr);
  EXPECT_STREQ(g_runtime.log.fileName, "kavro.log");
  EXPECT_EQ(g_runtime.logRecord, nullptr);
  LogOpen();
  EXPECT_EQ(g_runtime.logRecord, &g_runtime.log);
  EXPECT_EQ(dir.Read("kavro.log"), "");

  testing::internal::CaptureStdout();
  LogPrint("KAVRO v%s\n", "1.6.1");
  LogPrint("%d-%s", 42, "x");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "KAVRO v1.6.1\n42-x");
  EXPECT_EQ(dir.Read("kavro.log"), "KAVRO v1.6.1\n42-x");
}

TEST_F(LogTest, ErrorRemembersCodeAndText) {
  // Before LogOpen nothing happens at all.
  testing::internal::CaptureStdout();
  LogError(3, "lost %d\n", 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g_runtime.log.lastErrorCode, 0);

  LogStart();
  LogOpen();
  testing::internal::CaptureStdout();
  LogError(1, "Error: File not found \"%s\"\n", "main.lua");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: File not found \"main.lua\"\n");
  EXPECT_EQ(g_runtime.log.lastErrorCode, 1);
  EXPECT_STREQ(g_runtime.log.lastErrorText, "Error: File not found \"main.lua\"\n");
  EXPECT_EQ(dir.Read("kavro.log"), "Error: File not found \"main.lua\"\n");

  // A log file that cannot be opened: stdout still gets the text, the code
  // changes, the remembered text stays.
  char* name = g_runtime.log.fileName;
  g_runtime.log.fileName = StrDuplicate("no/such/dir/kavro.log");
  testing::internal::CaptureStdout();
  LogError(2, "Error: Can't open file \"%s\"\n", "x.lua");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: Can't open file \"x.lua\"\n");
  EXPECT_EQ(g_runtime.log.lastErrorCode, 2);
  EXPECT_STREQ(g_runtime.log.lastErrorText, "Error: File not found \"main.lua\"\n");
  StrRelease(&g_runtime.log.fileName);
  g_runtime.log.fileName = name;
}

TEST_F(LogTest, ReleaseWithoutDestructorIsLogged) {
  LogStart();
  LogOpen();
  RecordHeader rec{5, 1, nullptr};
  testing::internal::CaptureStdout();
  Release(&rec);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "error: no destructor specified for object\n");
  EXPECT_EQ(dir.Read("kavro.log"), "error: no destructor specified for object\n");
}

}  // namespace
