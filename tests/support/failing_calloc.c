/* Preloaded by the robustness tests: calloc refuses every request larger
 * than KIVO_FAIL_CALLOC_ABOVE bytes, as an exhausted heap would. */
#include <stdint.h>
#include <stdlib.h>

extern void* __libc_calloc(size_t count, size_t size);

void* calloc(size_t count, size_t size) {
  static const char* text = NULL;
  if (text == NULL) text = getenv("KIVO_FAIL_CALLOC_ABOVE");
  const size_t limit = text != NULL ? (size_t)strtoull(text, NULL, 10) : SIZE_MAX;
  if ((size != 0 && count > SIZE_MAX / size) || count * size > limit) return NULL;
  return __libc_calloc(count, size);
}
