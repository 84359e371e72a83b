#include "platform/large_stack.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <sys/mman.h>

namespace {

void* Run(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  return nullptr;
}

// One stack for the life of the process: address space only, reserved
// once, with an inaccessible guard page at its far end.
void* Stack(std::string* error) {
  static void* stack = nullptr;
  static int failure = 0;
  if (!stack && !failure) {
    void* mapped =
        mmap(nullptr, kLargeStackBytes, PROT_READ | PROT_WRITE,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (mapped == MAP_FAILED) {
      failure = errno;
    } else {
      mprotect(mapped, 4096, PROT_NONE);
      stack = mapped;
    }
  }
  if (!stack) *error = strerror(failure);
  return stack;
}

}  // namespace

bool RunOnLargeStack(const std::function<void()>& work, std::string* error) {
  void* stack = Stack(error);
  if (!stack) return false;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  int rc = pthread_attr_setstack(&attributes, stack, kLargeStackBytes);
  pthread_t thread;
  if (rc == 0) {
    rc = pthread_create(&thread, &attributes, Run,
                        const_cast<std::function<void()>*>(&work));
  }
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    *error = strerror(rc);
    return false;
  }
  pthread_join(thread, nullptr);
  return true;
}
