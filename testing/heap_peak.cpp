#include "testing/heap_peak.h"

#include <algorithm>
#include <cstdint>

#if defined(__SANITIZE_ADDRESS__)
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                              void (*onFree)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* pointer);
}
#endif

namespace tavro::testkit {

#if defined(__SANITIZE_ADDRESS__)

namespace {

bool counting = false;
std::int64_t live = 0;
std::int64_t peak = 0;

void onMalloc(const volatile void*, std::size_t size) {
  if (!counting) return;
  live += static_cast<std::int64_t>(size);
  peak = std::max(peak, live);
}

void onFree(const volatile void* pointer) {
  if (counting) live -= static_cast<std::int64_t>(__sanitizer_get_allocated_size(pointer));
}

}  // namespace

std::optional<std::size_t> peakHeapOf(const std::function<void()>& work) {
  static const bool installed = __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree) != 0;
  if (!installed) return std::nullopt;
  live = 0;
  peak = 0;
  counting = true;
  work();
  counting = false;
  return static_cast<std::size_t>(peak);
}

#else

std::optional<std::size_t> peakHeapOf(const std::function<void()>& work) {
  work();
  return std::nullopt;
}

#endif

}  // namespace tavro::testkit
