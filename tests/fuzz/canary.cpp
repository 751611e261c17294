// A deliberately faulty binding, built only into kavro_fuzz_canary: the
// sanitized build checks that the harness finds it.
#include <cstdlib>
#include <cstring>

#include "binding/call.h"

namespace {

// The byte at `index` of a copy of the text, made in a buffer of exactly
// the text's length.  The bound check lets index == length through, one
// byte past the buffer.
int CanaryPeek(const char* text, int index) {
  size_t length = std::strlen(text);
  if (index < 0 || size_t(index) > length) return -1;
  auto* copy = static_cast<char*>(std::malloc(length));
  if (!copy) return -1;
  std::memcpy(copy, text, length);
  int byte = static_cast<unsigned char>(copy[index]);
  std::free(copy);
  return byte;
}

}  // namespace

using namespace kv;

extern const luaL_Reg kCanaryApi[] = {KV_FN(FUZZ_CanaryPeek, &CanaryPeek, Str, Int), {nullptr, nullptr}};
