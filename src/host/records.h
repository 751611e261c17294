// Host records: a kind, a reference count and a destroy function at the
// head of every record, and the log record embedded in the runtime state.
#pragma once

#include <cstdint>

#include "binding/records.h"

void AddRef(void* record);
void Release(void* record);

struct LogRecord {
  RecordHeader header;
  char* fileName;
  char* lastErrorText;
  int32_t lastErrorCode;
};

void LogStart();
int LogOpen();
void LogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogError(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
