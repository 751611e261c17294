// Byte-string and path utilities used by the host.
//
// Operations that produce a new string allocate it on the heap. When the
// optional last argument `holder` is given, the holder's previous result is
// freed and the new string becomes the holder's result (the holder owns it);
// without a holder the caller owns the string and gives it back with
// StrRelease. Case folding touches only the ASCII letters.
#pragma once

#include <cstddef>

#include "host/records.h"

inline constexpr int kStringHolderKind = 23;

struct StringHolder {
  RecordHeader header;
  char* result;
};

// A holder with no result, kind 23, reference count 0, destroyed by
// StringHolderFree. Null when the allocation fails.
StringHolder* StringHolderNew();
// Releases the holder's result and frees the holder; null is ignored.
void StringHolderFree(StringHolder* holder);

// Frees *str (if any) and sets it to null; a null address is ignored.
void StrRelease(char** str);

size_t StrLength(const char* str);

// Copies at most `limit` characters of `src` into `dst` and terminates it;
// `dst` must hold limit + 1 bytes. A limit of 0 copies the whole source.
char* StrBoundedCopy(char* dst, const char* src, size_t limit);

// An exact copy, owned by the caller; null for a null argument.
char* StrDuplicate(const char* str);

char* StrLower(const char* str, StringHolder* holder = nullptr);
char* StrUpper(const char* str, StringHolder* holder = nullptr);

// `length` bytes from `start`; a length of 0 means up to the end. A start
// beyond the end or a range past the end gives the empty string.
char* StrSubstring(const char* str, size_t start, size_t length, StringHolder* holder = nullptr);

// Searches backwards for `ch`, starting `distance` characters before the
// last one. Returns the position, or -1.
int StrFindLast(const char* str, char ch, bool caseSensitive, size_t distance = 0);

// The text after the last "." (empty when the "." is last); null, holder
// untouched, when there is no ".".
char* StrExtension(const char* str, StringHolder* holder = nullptr);

// A copy cut after the last "/" (if any), then after the last "\\" (if any).
char* StrDirectoryPart(const char* str, StringHolder* holder = nullptr);

// Looks for the first occurrence of `pattern` at or after `start`. On
// success stores its position in *pos and returns the pattern's length;
// returns 0 when there is none. An empty pattern is never found.
size_t StrFind(const char* text, const char* pattern, int* pos, bool caseSensitive, size_t start = 0);

// Replaces every (non-overlapping) occurrence of `pattern` with
// `replacement`. Null, holder untouched, when the pattern does not occur.
char* StrReplaceAll(const char* text, const char* pattern, const char* replacement, bool caseSensitive,
                    StringHolder* holder = nullptr);

// The number of equal leading characters; 0 when either string is empty.
size_t StrPrefixLength(const char* a, const char* b, bool caseSensitive);

// 1 when both strings have the same length and all characters match.
int StrEquals(const char* a, const char* b, bool caseSensitive);
