#include "Platform/Linux/ThreadSignalStack.hpp"

#include <algorithm>
#include <csignal>

#include <sys/mman.h>
#include <unistd.h>

namespace velvix::platform {
namespace {

// The calling thread's stack, removed and unmapped when the thread ends.
class OwnStack {
 public:
  bool install() {
    if (installed_) return true;
    stack_t current{};
    if (::sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return true;
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    long wanted = ::sysconf(_SC_SIGSTKSZ);
    const std::size_t size =
        std::max<std::size_t>(ThreadSignalStack::kMinimumSize, wanted > 0 ? wanted * 4 : 0);
    length_ = (size + page - 1) / page * page + page;  // one guard page below the stack
    void* memory =
        ::mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) return false;
    ::mprotect(memory, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = length_ - page;
    if (::sigaltstack(&stack, nullptr) != 0) {
      ::munmap(memory, length_);
      return false;
    }
    memory_ = memory;
    installed_ = true;
    return true;
  }
  ~OwnStack() {
    if (!installed_) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    ::sigaltstack(&off, nullptr);
    ::munmap(memory_, length_);
  }

 private:
  void* memory_ = nullptr;
  std::size_t length_ = 0;
  bool installed_ = false;
};

}  // namespace

bool ThreadSignalStack::ensureForThisThread() {
  thread_local OwnStack stack;
  return stack.install();
}

}  // namespace velvix::platform
