#include "platform/large_stack.h"

#include <errno.h>
#include <pthread.h>
#include <string.h>
#include <sys/mman.h>

#include <condition_variable>
#include <mutex>
#include <vector>

struct LargeStackThread::Work {
  std::function<void()> run;
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
};

namespace {

// The threads, each waiting for work when idle.
class Pool {
 public:
  bool Run(const std::shared_ptr<LargeStackThread::Work>& work,
           std::string* error) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!idle_.empty()) {
      Thread* thread = idle_.back();
      idle_.pop_back();
      thread->work = work;
      lock.unlock();
      thread->changed.notify_one();
      return true;
    }
    lock.unlock();
    return Start(work, error);
  }

 private:
  struct Thread {
    Pool* pool;
    std::condition_variable changed;
    std::shared_ptr<LargeStackThread::Work> work;  // guarded by the pool's
  };

  bool Start(const std::shared_ptr<LargeStackThread::Work>& work,
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
    auto* thread = new Thread{this, {}, work};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    int rc = pthread_attr_setstack(&attributes, stack, kLargeStackBytes);
    pthread_t id;
    if (rc == 0) rc = pthread_create(&id, &attributes, Loop, thread);
    pthread_attr_destroy(&attributes);
    if (rc != 0) {
      delete thread;
      munmap(stack, kLargeStackBytes);
      *error = strerror(rc);
      return false;
    }
    pthread_detach(id);
    return true;
  }

  static void* Loop(void* argument) {
    Thread* thread = static_cast<Thread*>(argument);
    Pool* pool = thread->pool;
    std::unique_lock<std::mutex> lock(pool->mutex_);
    for (;;) {
      std::shared_ptr<LargeStackThread::Work> work = std::move(thread->work);
      thread->work = nullptr;
      lock.unlock();
      work->run();
      work->run = nullptr;
      {
        std::lock_guard<std::mutex> done(work->mutex);
        work->done = true;
      }
      work->changed.notify_all();
      work.reset();
      lock.lock();
      pool->idle_.push_back(thread);
      thread->changed.wait(lock, [&] { return thread->work != nullptr; });
    }
    return nullptr;
  }

  std::mutex mutex_;
  std::vector<Thread*> idle_;
};

Pool& ThePool() {
  // Never destroyed: its threads wait on it until the process ends.
  static Pool* pool = new Pool;
  return *pool;
}

}  // namespace

LargeStackThread::LargeStackThread() = default;

LargeStackThread::~LargeStackThread() { Join(); }

bool LargeStackThread::Start(std::function<void()> work, std::string* error) {
  Join();
  auto next = std::make_shared<Work>();
  next->run = std::move(work);
  if (!ThePool().Run(next, error)) return false;
  work_ = std::move(next);
  return true;
}

void LargeStackThread::Join() {
  if (!work_) return;
  std::unique_lock<std::mutex> lock(work_->mutex);
  work_->changed.wait(lock, [&] { return work_->done; });
  lock.unlock();
  work_.reset();
}
