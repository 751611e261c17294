// kavro_bench [calls|startup|sprites|guards]...: runs the named sections, or all of
// them without arguments, and prints one table per section.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <chrono>

#include "bench.h"

namespace bench {

double Now() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double ThreadCpu() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double Scale() {
  const char* s = std::getenv("KAVRO_BENCH_SCALE");
  double v = s ? std::atof(s) : 1.0;
  return v > 0 ? v : 1.0;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

std::string Format(const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

void Table::Print() const {
  std::vector<size_t> width(header_.size(), 0);
  auto measure = [&](const std::vector<std::string>& row) {
    for (size_t i = 0; i < row.size() && i < width.size(); ++i) width[i] = std::max(width[i], row[i].size());
  };
  measure(header_);
  for (const auto& row : rows_) measure(row);
  auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < width.size(); ++i) {
      const std::string cell = i < row.size() ? row[i] : "";
      std::string pad(width[i] - cell.size(), ' ');
      if (i > 0) line += "  ";
      line += i == 0 ? cell + pad : pad + cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::printf("%s\n", line.c_str());
  };
  print(header_);
  size_t total = 0;
  for (size_t w : width) total += w;
  std::printf("%s\n", std::string(total + 2 * (width.size() - 1), '-').c_str());
  for (const auto& row : rows_) print(row);
  std::fflush(stdout);
}

}  // namespace bench

namespace {

struct Section {
  const char* name;
  int (*run)();
};

const Section kSections[] = {
    {"calls", bench::RunCalls},
    {"startup", bench::RunStartup},
    {"sprites", bench::RunSprites},
    {"guards", bench::RunGuardCost},
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<const Section*> chosen;
  for (int i = 1; i < argc; ++i) {
    const Section* found = nullptr;
    for (const Section& s : kSections)
      if (std::strcmp(argv[i], s.name) == 0) found = &s;
    if (!found) {
      std::fprintf(stderr, "usage: %s [calls|startup|sprites]...\n", argv[0]);
      return 2;
    }
    chosen.push_back(found);
  }
  if (chosen.empty())
    for (const Section& s : kSections) chosen.push_back(&s);

  int status = 0;
  double start = bench::Now();
  for (const Section* s : chosen) {
    std::printf("\n== %s ==\n", s->name);
    std::fflush(stdout);
    status |= s->run();
  }
  std::printf("\n(total %.1f s)\n", bench::Now() - start);
  return status;
}
