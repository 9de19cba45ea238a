#include "services/memory.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace quorin {

void pool_large_arrays() {
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
  // A fixed threshold also stops the allocator from moving it after each large free, which is
  // what otherwise alternates large arrays between the pool and fresh mappings.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

}  // namespace quorin
