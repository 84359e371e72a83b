#include "tests/faults.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <mutex>

#include "tests/fault_calls.h"

namespace faults {

namespace {

const char* const kOpNames[] = {
    "stat",     "open",   "temp", "write",  "flushfile", "flushfolder",
    "flushall", "rename", "link", "unlink", "access",    "read"};

// VEILMARK_FAULTS: "kill:OP[@PART]:N" or "signal:OP[@PART]:N:SIG".
struct Steering {
  bool set = false;
  Op op = Op::kStat;
  std::string part;
  int nth = 0, signal = kKill, seen = 0;
};

Steering ReadSteering() {
  Steering steering;
  const char* text = std::getenv("VEILMARK_FAULTS");
  if (!text) return steering;
  std::string steer = text;
  const size_t at = steer.find('@');
  if (at != std::string::npos) {
    const size_t end = steer.find(':', at);
    steering.part = steer.substr(at + 1, end - at - 1);
    steer.erase(at, end - at);
  }
  char op[32] = "";
  if (std::sscanf(steer.c_str(), "kill:%31[a-z]:%d", op, &steering.nth) != 2 &&
      std::sscanf(steer.c_str(), "signal:%31[a-z]:%d:%d", op, &steering.nth,
                  &steering.signal) != 3) {
    return steering;
  }
  for (int i = 0; i < static_cast<int>(std::size(kOpNames)); ++i) {
    if (std::string(op) == kOpNames[i]) {
      steering.set = true;
      steering.op = static_cast<Op>(i);
    }
  }
  return steering;
}

std::mutex mutex;
std::condition_variable released;
Hook hook;
bool keeping = false, holding = false;
std::vector<Call> kept;
Op heldOp = Op::kStat;
int holdFrom = 0, heldSeen = 0;
Steering steering = ReadSteering();
std::atomic<bool> active{steering.set};
thread_local bool inside = false;  // in the hook: calls pass straight through

bool Matches(const Call& call, Op op, const std::string& part) {
  return call.op == op && (call.path.find(part) != std::string::npos ||
                           call.target.find(part) != std::string::npos);
}

}  // namespace

bool Watching() { return active && !inside; }

int Check(const Call& call) {
  if (!Watching()) return 0;
  std::unique_lock<std::mutex> lock(mutex);
  if (holding && call.op == heldOp && ++heldSeen >= holdFrom) {
    released.wait_for(lock, std::chrono::seconds(5), [] { return !holding; });
  }
  if (steering.set && Matches(call, steering.op, steering.part) &&
      ++steering.seen == steering.nth) {
    Deliver(steering.signal);
  }
  if (keeping) kept.push_back(call);
  inside = true;
  const int error = hook ? hook(call) : 0;
  inside = false;
  return error;
}

const char* OpName(Op op) { return kOpNames[static_cast<int>(op)]; }

Scope::Scope(Hook newHook) {
  std::lock_guard<std::mutex> lock(mutex);
  hook = std::move(newHook);
  keeping = active = true;
  kept.clear();
}

Scope::~Scope() {
  Release();
  std::lock_guard<std::mutex> lock(mutex);
  hook = nullptr;
  keeping = false;
  kept.clear();
  active = steering.set;
}

std::vector<Call> Scope::Calls() const {
  std::lock_guard<std::mutex> lock(mutex);
  return kept;
}

void Scope::HoldFrom(Op op, int nth) {
  std::lock_guard<std::mutex> lock(mutex);
  holding = true;
  heldOp = op;
  holdFrom = nth;
  heldSeen = 0;
}

void Scope::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex);
    holding = false;
  }
  released.notify_all();
}

Hook Fail(Op op, const std::string& part, int error, bool once) {
  auto spent = std::make_shared<bool>(false);
  return [=](const Call& call) {
    if (*spent || !Matches(call, op, part)) return 0;
    *spent = once;
    return error;
  };
}

Hook At(Op op, const std::string& part, std::function<void()> action) {
  auto spent = std::make_shared<bool>(false);
  return [=](const Call& call) {
    if (!*spent && Matches(call, op, part)) {
      *spent = true;
      action();
    }
    return 0;
  };
}

Hook RenameCannotRefuse() {
  return [](const Call& call) {
    return call.op == Op::kRename && call.noReplace ? EINVAL : 0;
  };
}

}  // namespace faults
