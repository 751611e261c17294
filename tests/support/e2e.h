// End-to-end helpers: run the built program in a scratch directory, and a
// private X server (Xvfb) for real-window cases driven with xdotool.
//
// Typical use:
//   e2e::TempDir dir;                       // /tmp/kavro-e2e-XXXXXX, removed at scope end
//   std::string exe = dir.CopyProgram();    // real copy of KAVRO_EXE as <dir>/kavro
//   dir.Write("main.lua", "print('hi')");
//   dir.Zip("base.zip", {"main.lua"}, "src"); // zip run from <dir>/src
//   e2e::Result r = e2e::Run(exe, {"game.lua"});
//   EXPECT_EQ(r.status, 0); EXPECT_EQ(r.out, "...");
//
// Every run has a timeout after which the program (its whole process group)
// is killed with SIGKILL; SDL catches SIGTERM, so nothing gentler is used.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace e2e {

// A fresh directory under /tmp, removed recursively by the destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // `rel` joined to the directory.
  std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }
  // Writes a file (creating parent directories); binary-safe.
  void Write(const std::string& rel, const std::string& content) const;
  // The whole file, or "" when it cannot be read. `ok` tells which.
  std::string Read(const std::string& rel, bool* ok = nullptr) const;
  bool Exists(const std::string& rel) const;
  // Copies the program under test (KAVRO_EXE) to <dir>/<name> (parent
  // directories created), executable.
  // Returns its path.
  std::string CopyProgram(const std::string& name = "kavro") const;
  // Makes a fresh zip archive <dir>/<archive> (replacing any old file, named
  // exactly so even without an extension) with `zip -q -X`, run in
  // <dir>/<from> so that members are named relative to it. True on success.
  bool Zip(const std::string& archive, const std::vector<std::string>& files,
           const std::string& from = "") const;

 private:
  std::string path_;
};

struct Result {
  int status = -1;        // exit status; -1 when killed or not started
  bool timedOut = false;  // killed by the timeout
  std::string out;        // everything written to standard output
  std::string err;        // everything written to standard error
};

// A child process with captured output. The environment is the test's own,
// then SDL_VIDEODRIVER=dummy and SDL_AUDIODRIVER=dummy, then `env`
// ("NAME=value" sets, a bare "NAME" removes). The working directory is
// `cwd` when given.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Start(const std::string& exe, const std::vector<std::string>& args,
             const std::vector<std::string>& env = {}, const std::string& cwd = "");
  // Collects output until the process ends or `timeoutMs` passes; true when
  // it ended (result() then holds its status).
  bool Wait(int timeoutMs);
  // True while the process has not ended (collects pending output).
  bool Running();
  // SIGKILL to the process group and reap; marks the result timedOut.
  void Kill();
  const Result& result() const { return result_; }
  pid_t pid() const { return pid_; }

 private:
  void Pump(int timeoutMs);
  bool Reap(bool block);
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  Result result_;
};

// Starts, waits up to `timeoutMs`, kills on timeout; returns the result.
Result Run(const std::string& exe, const std::vector<std::string>& args,
           const std::vector<std::string>& env = {}, int timeoutMs = 20000, const std::string& cwd = "");

// A private X server on a free display number (Xvfb -displayfd), killed
// with SIGKILL by the destructor.
class Xvfb {
 public:
  Xvfb() = default;
  ~Xvfb();
  Xvfb(const Xvfb&) = delete;
  Xvfb& operator=(const Xvfb&) = delete;

  // Starts the server and waits until it accepts connections.
  bool Start(int timeoutMs = 15000);
  // ":N", or "" before Start.
  const std::string& display() const { return display_; }
  // Environment entries for a program shown on this server with SDL's x11
  // driver: {"DISPLAY=:N", "SDL_VIDEODRIVER=x11"}.
  std::vector<std::string> Env() const;
  // Runs xdotool with DISPLAY set.
  Result XDoTool(const std::vector<std::string>& args, int timeoutMs = 10000) const;
  // The id of the first window whose name matches, waiting up to
  // `timeoutMs`; "" when none appeared.
  std::string WaitForWindow(const std::string& name, int timeoutMs = 10000) const;
  // Focuses the window and presses and releases a key through XTEST (an X keysym name
  // such as "Escape", "F10", "a").
  bool PressKey(const std::string& window, const std::string& keysym) const;
  // Asks the window to close the way a window manager does: a
  // WM_PROTOCOLS / WM_DELETE_WINDOW client message (SDL turns it into
  // SDL_QUIT). Plain Xvfb runs no window manager, and `xdotool windowclose`
  // destroys the window instead, which SDL treats as a fatal X error.
  bool CloseWindow(const std::string& window) const;

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// True when the X tools needed by Xvfb cases are installed.
bool HaveXTools();

}  // namespace e2e
