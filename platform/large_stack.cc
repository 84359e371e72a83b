#include "platform/large_stack.h"

#include <errno.h>
#include <string.h>
#include <sys/mman.h>

LargeStackThread::~LargeStackThread() { Join(); }

bool LargeStackThread::Start(std::function<void()> work, std::string* error) {
  if (running_) {
    *error = "already running";
    return false;
  }
  // Address space only: pages are taken as the stack grows into them. The
  // lowest page stays inaccessible, as a guard.
  void* stack =
      mmap(nullptr, kLargeStackBytes, PROT_READ | PROT_WRITE,
           MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
  if (stack == MAP_FAILED) {
    *error = strerror(errno);
    return false;
  }
  mprotect(stack, 4096, PROT_NONE);
  work_ = std::move(work);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  int rc = pthread_attr_setstack(&attributes, stack, kLargeStackBytes);
  if (rc == 0) rc = pthread_create(&thread_, &attributes, Main, this);
  pthread_attr_destroy(&attributes);
  if (rc != 0) {
    munmap(stack, kLargeStackBytes);
    work_ = nullptr;
    *error = strerror(rc);
    return false;
  }
  stack_ = stack;
  running_ = true;
  return true;
}

void LargeStackThread::Join() {
  if (!running_) return;
  pthread_join(thread_, nullptr);
  munmap(stack_, kLargeStackBytes);
  stack_ = nullptr;
  running_ = false;
  work_ = nullptr;
}

void* LargeStackThread::Main(void* self) {
  static_cast<LargeStackThread*>(self)->work_();
  return nullptr;
}

bool RunOnLargeStack(std::function<void()> work, std::string* error) {
  LargeStackThread thread;
  if (!thread.Start(std::move(work), error)) return false;
  thread.Join();
  return true;
}
