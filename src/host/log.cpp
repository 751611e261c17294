// The log file and the host records' reference counts.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/host.h"
#include "host/strings.h"

namespace {

constexpr int kLogRecordKind = 68;
constexpr const char* kLogFileName = "kavro.log";

// Formats into a heap buffer; null when formatting or allocation fails.
char* FormatMessage(const char* format, va_list args) {
  va_list probe;
  va_copy(probe, args);
  int len = std::vsnprintf(nullptr, 0, format, probe);
  va_end(probe);
  if (len < 0) return nullptr;
  char* text = static_cast<char*>(std::malloc(static_cast<size_t>(len) + 1));
  if (text == nullptr) return nullptr;
  std::vsnprintf(text, static_cast<size_t>(len) + 1, format, args);
  return text;
}

// Appends the text to the log file (open, write, close); returns the number
// of bytes written, 0 when the file cannot be opened.
size_t AppendToLogFile(const char* text) {
  LogRecord* log = g_runtime.logRecord;
  if (log == nullptr || log->fileName == nullptr) return 0;
  FILE* file = std::fopen(log->fileName, "a");
  if (file == nullptr) return 0;
  size_t written = std::fwrite(text, 1, std::strlen(text), file);
  if (std::fclose(file) != 0) written = 0;
  return written;
}

void WriteToStdout(const char* text) {
  std::fputs(text, stdout);
  std::fflush(stdout);
}

}  // namespace

void LogStart() {
  LogRecord& log = g_runtime.log;
  StrRelease(&log.fileName);
  StrRelease(&log.lastErrorText);
  std::memset(&log, 0, sizeof log);
  log.header.kind = kLogRecordKind;
  log.fileName = StrDuplicate(kLogFileName);
}

int LogOpen() {
  g_runtime.logRecord = &g_runtime.log;
  if (g_runtime.log.fileName == nullptr) return 0;
  FILE* file = std::fopen(g_runtime.log.fileName, "w");
  if (file == nullptr) return 0;
  std::fclose(file);
  return 1;
}

void LogPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = FormatMessage(format, args);
  va_end(args);
  if (text == nullptr) return;
  AppendToLogFile(text);
  WriteToStdout(text);
  std::free(text);
}

void LogError(int code, const char* format, ...) {
  LogRecord* log = g_runtime.logRecord;
  if (log == nullptr) return;
  va_list args;
  va_start(args, format);
  char* text = FormatMessage(format, args);
  va_end(args);
  log->lastErrorCode = code;
  if (text == nullptr) return;
  size_t written = AppendToLogFile(text);
  WriteToStdout(text);
  if (written > 0) {
    StrRelease(&log->lastErrorText);
    log->lastErrorText = text;
  } else {
    std::free(text);
  }
}

void AddRef(void* record) {
  if (record == nullptr) return;
  static_cast<RecordHeader*>(record)->refs += 1;
}

void Release(void* record) {
  if (record == nullptr) return;
  auto* header = static_cast<RecordHeader*>(record);
  header->refs -= 1;
  if (header->refs > 0) return;
  if (header->destroy != nullptr) {
    header->destroy(record);
  } else {
    LogPrint("error: no destructor specified for object\n");
  }
}
