#include "Platform/Linux/FreedMemory.hpp"

#include <malloc.h>

namespace velvix::platform {

void returnFreedMemory() {
  // Every arena's free pages, not only those at the top of the heap.
  ::malloc_trim(0);
}

}  // namespace velvix::platform
