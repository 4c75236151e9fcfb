#include "RKDecodeHelpers.h"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace RKSDK {

void adviseLargePages(void* data, int64_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  const uintptr_t huge = uintptr_t(1) << 21;
  if (!data || bytes < int64_t(4 * huge)) return;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + huge - 1) & ~(huge - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + uintptr_t(bytes)) & ~(huge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace RKSDK
