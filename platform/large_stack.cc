#include "platform/large_stack.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>

namespace {

// One thread with one large stack, kept for the life of the process and
// handed one piece of work at a time. Starting a thread for every file would
// cost more than most files take.
class Worker {
 public:
  bool Run(const std::function<void()>& work, std::string* error) {
    pthread_mutex_lock(&mutex_);
    bool ready = Start(error);
    if (ready) {
      work_ = &work;
      pthread_cond_broadcast(&changed_);
      while (work_) pthread_cond_wait(&changed_, &mutex_);
    }
    pthread_mutex_unlock(&mutex_);
    return ready;
  }

 private:
  bool Start(std::string* error) {
    if (started_) return true;
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
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    int rc = pthread_attr_setstack(&attributes, stack, kLargeStackBytes);
    pthread_t thread;
    if (rc == 0) rc = pthread_create(&thread, &attributes, Loop, this);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
      munmap(stack, kLargeStackBytes);
      *error = strerror(rc);
      return false;
    }
    pthread_detach(thread);
    started_ = true;
    return true;
  }

  static void* Loop(void* self) {
    Worker* worker = static_cast<Worker*>(self);
    pthread_mutex_lock(&worker->mutex_);
    for (;;) {
      while (!worker->work_)
        pthread_cond_wait(&worker->changed_, &worker->mutex_);
      pthread_mutex_unlock(&worker->mutex_);
      (*worker->work_)();
      pthread_mutex_lock(&worker->mutex_);
      worker->work_ = nullptr;
      pthread_cond_broadcast(&worker->changed_);
    }
    return nullptr;
  }

  pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
  pthread_cond_t changed_ = PTHREAD_COND_INITIALIZER;
  const std::function<void()>* work_ = nullptr;
  bool started_ = false;
};

}  // namespace

bool RunOnLargeStack(const std::function<void()>& work, std::string* error) {
  // Never destroyed: the thread waits on it until the process ends.
  static Worker* worker = new Worker;
  return worker->Run(work, error);
}

std::size_t CallingStackBytes() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
      limit.rlim_cur > (std::size_t{64} << 20)) {
    return std::size_t{8} << 20;  // the usual main thread's stack
  }
  return static_cast<std::size_t>(limit.rlim_cur);
}
