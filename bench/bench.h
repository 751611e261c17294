// Shared pieces of the benchmark runner: clock, medians, table printing and
// the sections it runs.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Seconds on a monotonic clock.
double Now();
// CPU seconds used by the calling thread (steadier than wall time on a busy
// machine for work that neither sleeps nor waits).
double ThreadCpu();

// A scale factor for iteration counts from KAVRO_BENCH_SCALE (default 1),
// for quick runs and for running under valgrind.
double Scale();

// The median of the values (0 for none).
double Median(std::vector<double> values);

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A text table: the first column is left-aligned, the others right-aligned.
class Table {
 public:
  explicit Table(std::vector<std::string> header) : header_(std::move(header)) {}
  void Add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
  void Print() const;

 private:
  std::vector<std::string> header_;
  std::vector<std::vector<std::string>> rows_;
};

// The sections; each prints its own tables and returns 0, or 1 when it
// could not run.
int RunCalls();
int RunStartup();
int RunSprites();
int RunGuardCost();

}  // namespace bench
