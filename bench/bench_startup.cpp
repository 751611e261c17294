// Start-up time: from process start to exit of the built program running a
// one-line main script, beside the bare Lua interpreter and /bin/true.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs argv in `dir` with stdout and stderr on /dev/null; the wall time in
// seconds, or a negative number when it did not exit with status 0.
double TimeProcess(const std::vector<std::string>& args, const std::string& dir) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  std::vector<std::string> env = {"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy"};
  for (char** e = environ; *e; ++e) {
    std::string s = *e;
    if (s.rfind("SDL_VIDEODRIVER=", 0) != 0 && s.rfind("SDL_AUDIODRIVER=", 0) != 0) env.push_back(s);
  }
  std::vector<char*> envp;
  for (const std::string& s : env) envp.push_back(const_cast<char*>(s.c_str()));
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string cwd = fs::current_path().string();
  if (chdir(dir.c_str()) != 0) return -1;

  double t0 = bench::Now();
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  int status = 0;
  if (rc == 0) waitpid(pid, &status, 0);
  double t = bench::Now() - t0;

  posix_spawn_file_actions_destroy(&actions);
  if (chdir(cwd.c_str()) != 0) return -1;
  if (rc != 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return t;
}

// The program's path in PATH, or "".
std::string FindInPath(const char* name) {
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    fs::path candidate = fs::path(p.substr(start, end - start)) / name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return "";
}

}  // namespace

namespace bench {

int RunStartup() {
  constexpr int kRuns = 20;

  char pattern[] = "/tmp/kavro_bench_XXXXXX";
  if (!mkdtemp(pattern)) {
    std::perror("startup: mkdtemp");
    return 1;
  }
  fs::path dir = pattern;
  std::error_code ec;
  fs::copy_file(KAVRO_EXE, dir / "kavro", ec);
  if (ec) {
    std::fprintf(stderr, "startup: cannot copy %s: %s\n", KAVRO_EXE, ec.message().c_str());
    fs::remove_all(dir, ec);
    return 1;
  }
  if (FILE* f = std::fopen((dir / "main.lua").c_str(), "w")) {
    std::fputs("local x = 1\n", f);
    std::fclose(f);
  }

  struct Contender {
    const char* label;
    std::vector<std::string> argv;
    const char* target;
  };
  std::vector<Contender> contenders = {
      {"kavro, main.lua = local x = 1", {(dir / "kavro").string()}, "<= 30 ms"}};
  std::string lua = FindInPath("lua5.1");
  if (!lua.empty()) contenders.push_back({"lua5.1 -e ''", {lua, "-e", ""}, ""});
  contenders.push_back({"/bin/true", {"/bin/true"}, ""});

  std::vector<std::vector<double>> times(contenders.size());
  bool failed = false;
  for (int run = -1; run < kRuns; ++run) {  // run -1 warms the caches
    for (size_t c = 0; c < contenders.size(); ++c) {
      double t = TimeProcess(contenders[c].argv, dir.string());
      if (t < 0) {
        std::fprintf(stderr, "startup: %s did not exit with status 0\n", contenders[c].label);
        failed = true;
      } else if (run >= 0) {
        times[c].push_back(t);
      }
    }
    if (failed) break;
  }

  std::printf("start-up: process start to exit, median of %d runs (SDL_VIDEODRIVER=dummy)%s\n", kRuns,
              lua.empty() ? "; lua5.1 not installed" : "");
  Table table({"program", "median ms", "min ms", "max ms", "target"});
  for (size_t c = 0; c < contenders.size(); ++c) {
    if (times[c].empty()) continue;
    double med = Median(times[c]) * 1e3;
    std::string verdict = "";
    if (*contenders[c].target)
      verdict = std::string(contenders[c].target) + (med <= 30.0 ? " ok" : " MISSED");
    double lo = times[c][0], hi = times[c][0];
    for (double t : times[c]) lo = std::min(lo, t), hi = std::max(hi, t);
    table.Add({contenders[c].label, Format("%.2f", med), Format("%.2f", lo * 1e3), Format("%.2f", hi * 1e3),
               verdict});
  }
  table.Print();
  fs::remove_all(dir, ec);
  return failed ? 1 : 0;
}

}  // namespace bench
