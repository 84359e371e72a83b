#include "platform/system/large_stack.h"

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
    auto* thread = new Thread{this, {}, work};
    if (StartLargeStackThread(Loop, thread, error)) return true;
    delete thread;
    return false;
  }

  static void Loop(void* argument) {
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
