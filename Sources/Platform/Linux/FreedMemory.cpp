#include "Platform/Linux/FreedMemory.hpp"

#include <malloc.h>

namespace velvix::platform {

void returnFreedMemory() {
  // A thread's arena hands back the free space at its end only when a free there finds more of it
  // than the trim threshold, and freeing one large block raises that threshold to twice the block's
  // size; malloc_trim leaves that end alone. So the threshold goes back to the allocator's default
  // and one block of 96 KiB, enough for the arena to look at its end, is freed on this thread.
  ::mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  void* volatile block = ::malloc(96 * 1024);
  ::free(block);
  // Then the free pages of every arena, not only those at the top of a heap.
  ::malloc_trim(0);
}

}  // namespace velvix::platform
