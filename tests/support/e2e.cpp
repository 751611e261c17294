#include "support/e2e.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

// Last: Xlib defines short macro names (None, Bool, Status).
#include <X11/Xlib.h>

extern char** environ;

namespace e2e {
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

long MsLeft(Clock::time_point deadline) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
}

// The environment for a child: ours, then the headless SDL drivers, then
// the caller's entries ("NAME=value" sets, "NAME" removes).
std::vector<std::string> ChildEnv(const std::vector<std::string>& extra) {
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) env.emplace_back(*e);
  auto apply = [&env](const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    std::erase_if(env,
                  [&name](const std::string& e) { return e.compare(0, name.size() + 1, name + "=") == 0; });
    if (entry.find('=') != std::string::npos) env.push_back(entry);
  };
  apply("SDL_VIDEODRIVER=dummy");
  apply("SDL_AUDIODRIVER=dummy");
  for (const auto& entry : extra) apply(entry);
  return env;
}

}  // namespace

// ---- TempDir ----------------------------------------------------------

TempDir::TempDir() {
  char tmpl[] = "/tmp/kavro-e2e-XXXXXX";
  if (mkdtemp(tmpl) != nullptr) path_ = tmpl;
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& rel, const std::string& content) const {
  fs::path p = fs::path(path_) / rel;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

std::string TempDir::Read(const std::string& rel, bool* ok) const {
  std::ifstream in(fs::path(path_) / rel, std::ios::binary);
  if (ok) *ok = static_cast<bool>(in);
  if (!in) return "";
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool TempDir::Exists(const std::string& rel) const {
  std::error_code ec;
  return fs::exists(fs::path(path_) / rel, ec);
}

std::string TempDir::CopyProgram(const std::string& name) const {
  fs::path dst = fs::path(path_) / name;
  std::error_code ec;
  fs::create_directories(dst.parent_path(), ec);
  fs::copy_file(KAVRO_EXE, dst, fs::copy_options::overwrite_existing, ec);
  chmod(dst.c_str(), 0755);
  return dst.string();
}

bool TempDir::Zip(const std::string& archive, const std::vector<std::string>& files,
                  const std::string& from) const {
  // zip appends ".zip" to a name without an extension and adds to an
  // existing archive, so it writes a fresh temporary archive that is then
  // renamed to the name asked for.
  fs::path target = fs::path(path_) / archive;
  fs::path temp = fs::path(path_) / (".zip-tmp-" + std::to_string(getpid()) + ".zip");
  std::error_code ec;
  fs::remove(temp, ec);
  std::vector<std::string> args = {"-q", "-X", temp.string()};
  args.insert(args.end(), files.begin(), files.end());
  std::string cwd = from.empty() ? path_ : (fs::path(path_) / from).string();
  Result r = Run("zip", args, {}, 20000, cwd);
  if (r.status != 0) return false;
  fs::create_directories(target.parent_path(), ec);
  fs::rename(temp, target, ec);
  return !ec;
}

// ---- Process ----------------------------------------------------------

Process::~Process() {
  if (pid_ > 0) Kill();
  if (outFd_ >= 0) close(outFd_);
  if (errFd_ >= 0) close(errFd_);
}

bool Process::Start(const std::string& exe, const std::vector<std::string>& args,
                    const std::vector<std::string>& env, const std::string& cwd) {
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return false;
  }
  // Everything the child needs is built before fork.
  std::vector<std::string> envStrings = ChildEnv(env);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(exe.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) return false;
  if (pid == 0) {
    setpgid(0, 0);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    int devnull = open("/dev/null", O_RDONLY);
    if (devnull >= 0) dup2(devnull, 0);
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  setpgid(pid, pid);
  close(outPipe[1]);
  close(errPipe[1]);
  pid_ = pid;
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  result_ = Result{};
  return true;
}

void Process::Pump(int timeoutMs) {
  pollfd fds[2];
  int n = 0;
  if (outFd_ >= 0) fds[n++] = {outFd_, POLLIN, 0};
  if (errFd_ >= 0) fds[n++] = {errFd_, POLLIN, 0};
  if (n == 0) {
    if (timeoutMs > 0) usleep(static_cast<useconds_t>(timeoutMs) * 1000);
    return;
  }
  if (poll(fds, static_cast<nfds_t>(n), timeoutMs) <= 0) return;
  for (int i = 0; i < n; ++i) {
    if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
    char buf[4096];
    ssize_t got = read(fds[i].fd, buf, sizeof buf);
    bool isOut = fds[i].fd == outFd_;
    if (got > 0) {
      (isOut ? result_.out : result_.err).append(buf, static_cast<size_t>(got));
    } else {
      close(fds[i].fd);
      (isOut ? outFd_ : errFd_) = -1;
    }
  }
}

bool Process::Reap(bool block) {
  if (pid_ <= 0) return true;
  int st = 0;
  pid_t r = waitpid(pid_, &st, block ? 0 : WNOHANG);
  if (r != pid_) return false;
  result_.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  pid_ = -1;
  // Collect what is still in the pipes.
  auto deadline = Clock::now() + std::chrono::seconds(2);
  while ((outFd_ >= 0 || errFd_ >= 0) && MsLeft(deadline) > 0) Pump(static_cast<int>(MsLeft(deadline)));
  return true;
}

bool Process::Wait(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (Reap(false)) return true;
    long left = MsLeft(deadline);
    if (left <= 0) return false;
    Pump(static_cast<int>(left < 20 ? left : 20));
  }
}

bool Process::Running() {
  Pump(0);
  return !Reap(false);
}

void Process::Kill() {
  if (pid_ <= 0) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  Reap(true);
  result_.status = -1;
  result_.timedOut = true;
}

Result Run(const std::string& exe, const std::vector<std::string>& args, const std::vector<std::string>& env,
           int timeoutMs, const std::string& cwd) {
  Process p;
  if (!p.Start(exe, args, env, cwd)) return Result{};
  if (!p.Wait(timeoutMs)) p.Kill();
  return p.result();
}

// ---- Xvfb -------------------------------------------------------------

bool HaveXTools() {
  return access("/usr/bin/Xvfb", X_OK) == 0 && access("/usr/bin/xdotool", X_OK) == 0;
}

Xvfb::~Xvfb() {
  if (pid_ > 0) {
    kill(-pid_, SIGKILL);
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool Xvfb::Start(int timeoutMs) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  std::string fdArg = std::to_string(fds[1]);
  pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (pid == 0) {
    setpgid(0, 0);
    close(fds[0]);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fdArg.c_str(), "-nolisten", "tcp", "-noreset", "-screen",
          "0", "640x480x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  pid_ = pid;
  close(fds[1]);
  // Xvfb writes the display number once it accepts connections.
  std::string number;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (MsLeft(deadline) > 0) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(MsLeft(deadline))) <= 0) break;
    char c;
    if (read(fds[0], &c, 1) != 1) break;
    if (c == '\n') break;
    number.push_back(c);
  }
  close(fds[0]);
  if (number.empty()) return false;
  display_ = ":" + number;
  return true;
}

std::vector<std::string> Xvfb::Env() const {
  return {"DISPLAY=" + display_, "SDL_VIDEODRIVER=x11"};
}

Result Xvfb::XDoTool(const std::vector<std::string>& args, int timeoutMs) const {
  return Run("xdotool", args, {"DISPLAY=" + display_}, timeoutMs);
}

std::string Xvfb::WaitForWindow(const std::string& name, int timeoutMs) const {
  Result r = XDoTool({"search", "--sync", "--name", name}, timeoutMs);
  if (r.status != 0) return "";
  std::string first = r.out.substr(0, r.out.find('\n'));
  return first;
}

bool Xvfb::PressKey(const std::string& window, const std::string& keysym) const {
  // Real key presses through XTEST go to the focused window; synthetic
  // events (key --window) are not reliable with SDL's x11 driver.
  return XDoTool({"windowfocus", window, "key", keysym}).status == 0;
}

bool Xvfb::CloseWindow(const std::string& window) const {
  // libX11 is opened at run time so the tests need no link dependency on it.
  void* lib = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return false;
  auto openDisplay = reinterpret_cast<Display* (*)(const char*)>(dlsym(lib, "XOpenDisplay"));
  auto internAtom = reinterpret_cast<Atom (*)(Display*, const char*, Bool)>(dlsym(lib, "XInternAtom"));
  auto sendEvent =
      reinterpret_cast<Status (*)(Display*, Window, Bool, long, XEvent*)>(dlsym(lib, "XSendEvent"));
  auto flush = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XFlush"));
  auto closeDisplay = reinterpret_cast<int (*)(Display*)>(dlsym(lib, "XCloseDisplay"));
  bool ok = false;
  if (openDisplay && internAtom && sendEvent && flush && closeDisplay) {
    Display* dpy = openDisplay(display_.c_str());
    if (dpy != nullptr) {
      Window win = static_cast<Window>(std::strtoul(window.c_str(), nullptr, 0));
      XEvent ev;
      std::memset(&ev, 0, sizeof ev);
      ev.xclient.type = ClientMessage;
      ev.xclient.window = win;
      ev.xclient.message_type = internAtom(dpy, "WM_PROTOCOLS", False);
      ev.xclient.format = 32;
      ev.xclient.data.l[0] = static_cast<long>(internAtom(dpy, "WM_DELETE_WINDOW", False));
      ev.xclient.data.l[1] = CurrentTime;
      ok = sendEvent(dpy, win, False, NoEventMask, &ev) != 0;
      flush(dpy);
      closeDisplay(dpy);
    }
  }
  dlclose(lib);
  return ok;
}

}  // namespace e2e
