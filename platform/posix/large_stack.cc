#include "platform/system/large_stack.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <sys/mman.h>

namespace {

struct Start {
  void (*run)(void*);
  void* argument;
};

void* Run(void* start) {
  const Start what = *static_cast<Start*>(start);
  delete static_cast<Start*>(start);
  what.run(what.argument);
  return nullptr;
}

}  // namespace

bool StartLargeStackThread(void (*run)(void*), void* argument,
                           std::string* error) {
  // Address space only: pages are taken as the stack grows into them.
  // The lowest page stays inaccessible, as a guard.
  void* stack =
      mmap(nullptr, kLargeStackBytes, PROT_READ | PROT_WRITE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) {
    *error = strerror(errno);
    return false;
  }
  mprotect(stack, 4096, PROT_NONE);
  auto* start = new Start{run, argument};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  int rc = pthread_attr_setstack(&attributes, stack, kLargeStackBytes);
  pthread_t id;
  if (rc == 0) rc = pthread_create(&id, &attributes, Run, start);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    delete start;
    munmap(stack, kLargeStackBytes);
    *error = strerror(rc);
    return false;
  }
  pthread_detach(id);
  return true;
}
