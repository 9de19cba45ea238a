#include "services/memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

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

void prepare_for_writing(void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
  if (bytes < (std::size_t{1} << 20)) return;
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  // Only whole pages inside the array: a page it shares with other memory is left alone.
  const auto mask = static_cast<std::uintptr_t>(page) - 1;
  const auto begin = (reinterpret_cast<std::uintptr_t>(data) + mask) & ~mask;
  const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~mask;
  if (end <= begin) return;
#ifdef MADV_HUGEPAGE
  // Where the system offers huge pages on request, the whole ones inside the array are asked
  // for: each is entered and cleared at once, instead of 512 small pages one by one.
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto huge_begin = (begin + kHuge - 1) & ~(kHuge - 1);
  const auto huge_end = end & ~(kHuge - 1);
  if (huge_end > huge_begin)
    ::madvise(reinterpret_cast<void*>(huge_begin), huge_end - huge_begin, MADV_HUGEPAGE);
#endif
  ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace quorin
