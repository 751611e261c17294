#include "host/strings.h"

#include <cstdlib>
#include <cstring>

namespace {

char FoldLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char FoldUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Hands a freshly made string out: to the holder (which frees its previous
// result) or, without one, to the caller.
char* HandOut(char* made, StringHolder* holder) {
  if (made == nullptr) return nullptr;
  if (holder != nullptr) {
    StrRelease(&holder->result);
    holder->result = made;
  }
  return made;
}

char* AllocCopy(const char* src, size_t len) {
  char* out = static_cast<char*>(std::malloc(len + 1));
  if (out == nullptr) return nullptr;
  std::memcpy(out, src, len);
  out[len] = '\0';
  return out;
}

void HolderDestroy(void* record) {
  StringHolderFree(static_cast<StringHolder*>(record));
}

}  // namespace

StringHolder* StringHolderNew() {
  auto* holder = static_cast<StringHolder*>(std::calloc(1, sizeof(StringHolder)));
  if (holder == nullptr) return nullptr;
  holder->header.kind = kStringHolderKind;
  holder->header.refs = 0;
  holder->header.destroy = HolderDestroy;
  holder->result = nullptr;
  return holder;
}

void StringHolderFree(StringHolder* holder) {
  if (holder == nullptr) return;
  StrRelease(&holder->result);
  std::free(holder);
}

void StrRelease(char** str) {
  if (str == nullptr) return;
  std::free(*str);
  *str = nullptr;
}

size_t StrLength(const char* str) {
  return str ? std::strlen(str) : 0;
}

char* StrBoundedCopy(char* dst, const char* src, size_t limit) {
  if (dst == nullptr) return nullptr;
  size_t len = StrLength(src);
  if (limit != 0 && len > limit) len = limit;
  if (len > 0) std::memcpy(dst, src, len);
  dst[len] = '\0';
  return dst;
}

char* StrDuplicate(const char* str) {
  if (str == nullptr) return nullptr;
  return AllocCopy(str, std::strlen(str));
}

char* StrLower(const char* str, StringHolder* holder) {
  if (str == nullptr) return nullptr;
  char* out = StrDuplicate(str);
  if (out == nullptr) return nullptr;
  for (char* p = out; *p; ++p) *p = FoldLower(*p);
  return HandOut(out, holder);
}

char* StrUpper(const char* str, StringHolder* holder) {
  if (str == nullptr) return nullptr;
  char* out = StrDuplicate(str);
  if (out == nullptr) return nullptr;
  for (char* p = out; *p; ++p) *p = FoldUpper(*p);
  return HandOut(out, holder);
}

char* StrSubstring(const char* str, size_t start, size_t length, StringHolder* holder) {
  size_t len = StrLength(str);
  const char* from = "";
  size_t count = 0;
  if (start <= len) {
    if (length == 0) {
      from = str + start;
      count = len - start;
    } else if (length <= len - start) {
      from = str + start;
      count = length;
    }
  }
  return HandOut(AllocCopy(from, count), holder);
}

int StrFindLast(const char* str, char ch, bool caseSensitive, size_t distance) {
  size_t len = StrLength(str);
  if (len == 0 || distance >= len) return -1;
  char want = caseSensitive ? ch : FoldLower(ch);
  for (size_t i = len - distance; i-- > 0;) {
    char c = caseSensitive ? str[i] : FoldLower(str[i]);
    if (c == want) return static_cast<int>(i);
  }
  return -1;
}

char* StrExtension(const char* str, StringHolder* holder) {
  int dot = StrFindLast(str, '.', true);
  if (dot < 0) return nullptr;
  return StrSubstring(str, static_cast<size_t>(dot) + 1, 0, holder);
}

char* StrDirectoryPart(const char* str, StringHolder* holder) {
  if (str == nullptr) return nullptr;
  size_t len = std::strlen(str);
  int slash = StrFindLast(str, '/', true);
  if (slash >= 0) len = static_cast<size_t>(slash) + 1;
  for (size_t i = len; i-- > 0;) {
    if (str[i] == '\\') {
      len = i + 1;
      break;
    }
  }
  return HandOut(AllocCopy(str, len), holder);
}

size_t StrFind(const char* text, const char* pattern, int* pos, bool caseSensitive, size_t start) {
  size_t textLen = StrLength(text);
  size_t patLen = StrLength(pattern);
  if (patLen == 0 || start > textLen || patLen > textLen - start) return 0;
  for (size_t i = start; i + patLen <= textLen; ++i) {
    size_t k = 0;
    if (caseSensitive) {
      while (k < patLen && text[i + k] == pattern[k]) ++k;
    } else {
      while (k < patLen && FoldUpper(text[i + k]) == FoldUpper(pattern[k])) ++k;
    }
    if (k == patLen) {
      if (pos) *pos = static_cast<int>(i);
      return patLen;
    }
  }
  return 0;
}

char* StrReplaceAll(const char* text, const char* pattern, const char* replacement, bool caseSensitive,
                    StringHolder* holder) {
  int pos = 0;
  size_t n = StrFind(text, pattern, &pos, caseSensitive, 0);
  if (n == 0) return nullptr;

  size_t textLen = std::strlen(text);
  size_t repLen = StrLength(replacement);
  size_t count = 0;
  for (size_t from = 0; StrFind(text, pattern, &pos, caseSensitive, from) != 0;) {
    ++count;
    from = static_cast<size_t>(pos) + n;
  }

  size_t outLen = textLen - count * n + count * repLen;
  char* out = static_cast<char*>(std::malloc(outLen + 1));
  if (out == nullptr) return nullptr;

  size_t w = 0;
  size_t r = 0;
  while (r < textLen) {
    if (StrFind(text, pattern, &pos, caseSensitive, r) == 0) {
      std::memcpy(out + w, text + r, textLen - r);
      w += textLen - r;
      break;
    }
    size_t at = static_cast<size_t>(pos);
    std::memcpy(out + w, text + r, at - r);
    w += at - r;
    if (repLen > 0) std::memcpy(out + w, replacement, repLen);
    w += repLen;
    r = at + n;
  }
  out[w] = '\0';
  return HandOut(out, holder);
}

size_t StrPrefixLength(const char* a, const char* b, bool caseSensitive) {
  if (a == nullptr || b == nullptr) return 0;
  size_t i = 0;
  while (a[i] != '\0' && b[i] != '\0') {
    char x = caseSensitive ? a[i] : FoldUpper(a[i]);
    char y = caseSensitive ? b[i] : FoldUpper(b[i]);
    if (x != y) break;
    ++i;
  }
  return i;
}

int StrEquals(const char* a, const char* b, bool caseSensitive) {
  size_t la = StrLength(a);
  if (la != StrLength(b)) return 0;
  return StrPrefixLength(a, b, caseSensitive) == la ? 1 : 0;
}
