#include "tests/faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <iterator>
#include <memory>
#include <mutex>

namespace faults {

namespace {

const char* const kOpNames[] = {
    "stat",     "open",   "temp", "write",  "flushfile", "flushfolder",
    "flushall", "rename", "link", "unlink", "access"};

// VEILMARK_FAULTS: "kill:OP[@PART]:N" or "signal:OP[@PART]:N:SIG".
struct Steering {
  bool set = false;
  Op op = Op::kStat;
  std::string part;
  int nth = 0, signal = SIGKILL, seen = 0;
};

Steering ReadSteering() {
  Steering steering;
  const char* text = getenv("VEILMARK_FAULTS");
  if (!text) return steering;
  std::string steer = text;
  const size_t at = steer.find('@');
  if (at != std::string::npos) {
    const size_t end = steer.find(':', at);
    steering.part = steer.substr(at + 1, end - at - 1);
    steer.erase(at, end - at);
  }
  char op[32] = "";
  if (sscanf(steer.c_str(), "kill:%31[a-z]:%d", op, &steering.nth) != 2 &&
      sscanf(steer.c_str(), "signal:%31[a-z]:%d:%d", op, &steering.nth,
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

std::string PathOf(int fd) {
  char path[4096];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = ::readlink(link.c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : "";
}

bool Matches(const Call& call, Op op, const std::string& part) {
  return call.op == op && (call.path.find(part) != std::string::npos ||
                           call.target.find(part) != std::string::npos);
}

// 0 when the call goes on, or -1 with errno set when it fails.
int Pass(const Call& call) {
  if (!active || inside) return 0;
  std::unique_lock<std::mutex> lock(mutex);
  if (holding && call.op == heldOp && ++heldSeen >= holdFrom) {
    released.wait_for(lock, std::chrono::seconds(5), [] { return !holding; });
  }
  if (steering.set && Matches(call, steering.op, steering.part) &&
      ++steering.seen == steering.nth) {
    ::kill(::getpid(), steering.signal);
  }
  if (keeping) kept.push_back(call);
  inside = true;
  const int error = hook ? hook(call) : 0;
  inside = false;
  if (error == 0) return 0;
  errno = error;
  return -1;
}

int PassFd(Op op, int fd) {
  return active && !inside ? Pass(Call(op, PathOf(fd))) : 0;
}

template <typename Real>
Real Next(const char* name) {
  return reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
}

}  // namespace

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

using faults::Call;
using faults::Next;
using faults::Op;
using faults::Pass;
using faults::PassFd;

extern "C" {

int stat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("stat");
  return Pass(Call(Op::kStat, path)) ? -1 : real(path, st);
}

int lstat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("lstat");
  return Pass(Call(Op::kStat, path)) ? -1 : real(path, st);
}

int open(const char* path, int flags, ...) {
  static auto real = Next<int (*)(const char*, int, ...)>("open");
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  return Pass(Call(Op::kOpen, path)) ? -1 : real(path, flags, mode);
}

int mkostemps(char* name, int suffixLength, int flags) {
  static auto real = Next<int (*)(char*, int, int)>("mkostemps");
  return Pass(Call(Op::kCreateTemp, name)) ? -1
                                           : real(name, suffixLength, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (faults::active && fd > 2) {
    Call call(Op::kWrite, faults::PathOf(fd));
    call.size = size;
    if (Pass(call)) return -1;
  }
  return real(fd, data, size);
}

int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  struct stat st;
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  return PassFd(folder ? Op::kFlushFolder : Op::kFlushFile, fd) ? -1 : real(fd);
}

int fdatasync(int fd) {
  static auto real = Next<int (*)(int)>("fdatasync");
  return PassFd(Op::kFlushFile, fd) ? -1 : real(fd);
}

int syncfs(int fd) {
  static auto real = Next<int (*)(int)>("syncfs");
  return PassFd(Op::kFlushAll, fd) ? -1 : real(fd);
}

int rename(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  return Pass(Call(Op::kRename, from, to)) ? -1 : real(from, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to,
              unsigned int flags) {
  static auto real =
      Next<int (*)(int, const char*, int, const char*, unsigned int)>(
          "renameat2");
  Call call(Op::kRename, from, to, (flags & RENAME_NOREPLACE) != 0);
  return Pass(call) ? -1 : real(fromDir, from, toDir, to, flags);
}

int link(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("link");
  return Pass(Call(Op::kLink, from, to, true)) ? -1 : real(from, to);
}

int unlink(const char* path) {
  static auto real = Next<int (*)(const char*)>("unlink");
  return Pass(Call(Op::kUnlink, path)) ? -1 : real(path);
}

int fchown(int fd, uid_t owner, gid_t group) {
  static auto real = Next<int (*)(int, uid_t, gid_t)>("fchown");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, owner, group);
}

int fchmod(int fd, mode_t mode) {
  static auto real = Next<int (*)(int, mode_t)>("fchmod");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, mode);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size,
              int flags) {
  static auto real =
      Next<int (*)(int, const char*, const void*, size_t, int)>("fsetxattr");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, name, value, size, flags);
}

int fremovexattr(int fd, const char* name) {
  static auto real = Next<int (*)(int, const char*)>("fremovexattr");
  return PassFd(Op::kAccess, fd) ? -1 : real(fd, name);
}

}  // extern "C"
