// Part of the program alone (not of the library the tests link): every thread started in the
// process, by this program's code or by a library it uses (Qt's pool threads, which scale and
// paint pictures), first gets its own alternate signal stack. A stack overflow on any thread then
// still reaches the handlers that give the system its Command-Tab back.
//
// It stands in front of the C library's thread start: the program's own definition is found
// before the C library's, and passes every call on to the next one (a sanitizer's, or the C
// library's).

#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <new>

#include "Platform/Linux/ThreadSignalStack.hpp"

namespace {

using Start = void* (*)(void*);
using Create = int (*)(pthread_t*, const pthread_attr_t*, Start, void*);

struct Launch {
  Start start;
  void* argument;
};

void* startWithSignalStack(void* raw) {
  const Launch launch = *static_cast<Launch*>(raw);
  delete static_cast<Launch*>(raw);
  velvix::platform::ThreadSignalStack::ensureForThisThread();
  return launch.start(launch.argument);
}

Create nextCreate() {
  static const Create next = reinterpret_cast<Create>(::dlsym(RTLD_NEXT, "pthread_create"));
  return next;
}

}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, Start start,
                              void* argument) noexcept {
  const Create next = nextCreate();
  if (!next) return EAGAIN;
  auto* launch = new (std::nothrow) Launch{start, argument};
  if (!launch) return next(thread, attributes, start, argument);
  const int result = next(thread, attributes, startWithSignalStack, launch);
  if (result != 0) delete launch;
  return result;
}
