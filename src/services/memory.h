// How the program keeps the memory of its large arrays: dyno channels, imported curves and
// resampled curves of several megabytes are taken from and given back to one pool that the
// next read reuses, instead of being mapped in and handed back to the system each time.
#pragma once

#include <cstddef>

namespace quorin {

// Sets the allocator of this process to pool arrays up to 32 MB and to keep up to 64 MB of
// freed memory for reuse. Called once, first thing, by each executable. Without it a file
// read after file read makes the system supply fresh zeroed pages every time (thousands of
// page faults per dyno file).
void pool_large_arrays();

// Enters the pages of a large array about to be filled all at once, before its first write:
// one call to the system instead of a fault per page, in huge pages where the system offers
// them on request. The contents are unchanged; small arrays and systems without the call are
// left as they are.
void prepare_for_writing(void* data, std::size_t bytes);

}  // namespace quorin
