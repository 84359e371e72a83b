#include "tests/faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace faults {

namespace {

// "kill:OP[@PART]:N" or "signal:OP[@PART]:N:SIG" from VEILMARK_FAULTS.
struct Steering {
  bool set = false;
  Op op = Op::kStat;
  std::string part;
  int nth = 0;
  int signal = SIGKILL;
  int seen = 0;
};

const Op kOps[] = {Op::kStat,     Op::kOpen,      Op::kCreateTemp,
                   Op::kWrite,    Op::kFlushFile, Op::kFlushFolder,
                   Op::kFlushAll, Op::kRename,    Op::kUnlink,
                   Op::kAccess};

Steering ReadSteering() {
  Steering steering;
  const char* text = getenv("VEILMARK_FAULTS");
  if (!text) return steering;
  std::string spec = text;
  char op[32] = "", part[256] = "";
  int signal = SIGKILL;
  const size_t at = spec.find('@');
  if (at != std::string::npos) {
    const size_t end = spec.find(':', at);
    sscanf(spec.substr(at + 1, end - at - 1).c_str(), "%255[^:]", part);
    spec.erase(at, end - at);
  }
  if (sscanf(spec.c_str(), "kill:%31[a-z]:%d", op, &steering.nth) != 2 &&
      sscanf(spec.c_str(), "signal:%31[a-z]:%d:%d", op, &steering.nth,
             &signal) != 3) {
    return steering;
  }
  steering.part = part;
  for (Op candidate : kOps) {
    if (strcmp(OpName(candidate), op) == 0) {
      steering.set = true;
      steering.op = candidate;
      steering.signal = signal;
    }
  }
  return steering;
}

std::mutex mutex;
std::condition_variable released;
Hook hook;
bool holding = false;
Op heldOp = Op::kStat;
int holdFrom = 0, heldSeen = 0;
bool keeping = false;
std::vector<Call> kept;
Steering steering = ReadSteering();
std::atomic<bool> active{steering.set};
thread_local bool inside = false;

std::string PathOf(int fd) {
  char path[4096];
  std::string link = "/proc/self/fd/" + std::to_string(fd);
  ssize_t length = ::readlink(link.c_str(), path, sizeof path);
  return length > 0 ? std::string(path, static_cast<size_t>(length))
                    : std::string();
}

// 0 to go on, or the errno value the call fails with.
int Pass(const Call& call) {
  std::unique_lock<std::mutex> lock(mutex);
  if (holding && call.op == heldOp && ++heldSeen >= holdFrom) {
    released.wait_for(lock, std::chrono::seconds(5), [] { return !holding; });
  }
  inside = true;
  if (steering.set && call.op == steering.op &&
      (call.path.find(steering.part) != std::string::npos ||
       call.target.find(steering.part) != std::string::npos) &&
      ++steering.seen == steering.nth) {
    ::kill(::getpid(), steering.signal);
  }
  if (keeping) kept.push_back(call);
  int error = hook ? hook(call) : 0;
  inside = false;
  return error;
}

bool Watched() { return active.load() && !inside; }

// Passes the call on; -1 with errno set when it is to fail.
int Check(Call call) {
  int error = Pass(call);
  if (error == 0) return 0;
  errno = error;
  return -1;
}

int CheckFd(Op op, int fd) {
  if (!Watched()) return 0;
  return Check({op, PathOf(fd)});
}

template <typename Real>
Real Next(const char* name) {
  return reinterpret_cast<Real>(dlsym(RTLD_NEXT, name));
}

}  // namespace

const char* OpName(Op op) {
  switch (op) {
    case Op::kStat:
      return "stat";
    case Op::kOpen:
      return "open";
    case Op::kCreateTemp:
      return "temp";
    case Op::kWrite:
      return "write";
    case Op::kFlushFile:
      return "flushfile";
    case Op::kFlushFolder:
      return "flushfolder";
    case Op::kFlushAll:
      return "flushall";
    case Op::kRename:
      return "rename";
    case Op::kUnlink:
      return "unlink";
    case Op::kAccess:
      return "access";
  }
  return "";
}

Scope::Scope(Hook newHook) {
  std::lock_guard<std::mutex> lock(mutex);
  hook = std::move(newHook);
  keeping = true;
  kept.clear();
  active = true;
}

Scope::~Scope() {
  Release();
  std::lock_guard<std::mutex> lock(mutex);
  hook = nullptr;
  keeping = false;
  kept.clear();
  active = steering.set;
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

std::vector<Call> Scope::Calls() const {
  std::lock_guard<std::mutex> lock(mutex);
  return kept;
}

Hook Fail(Op op, const std::string& part, int error, bool once) {
  auto spent = std::make_shared<bool>(false);
  return [=](const Call& call) {
    if (call.op != op || *spent || call.path.find(part) == std::string::npos) {
      return 0;
    }
    *spent = once;
    return error;
  };
}

Hook At(Op op, const std::string& part, std::function<void()> action) {
  return [op, part, action = std::move(action),
          spent = false](const Call& call) mutable {
    if (call.op == op && !spent && call.path.find(part) != std::string::npos) {
      spent = true;
      action();
    }
    return 0;
  };
}

}  // namespace faults

using faults::Call;
using faults::Check;
using faults::CheckFd;
using faults::Next;
using faults::Op;
using faults::Watched;

extern "C" {

int stat(const char* path, struct stat* st) {
  static auto real = Next<int (*)(const char*, struct stat*)>("stat");
  if (Watched() && Check({Op::kStat, path}) != 0) return -1;
  return real(path, st);
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
  if (Watched() && Check({Op::kOpen, path}) != 0) return -1;
  return real(path, flags, mode);
}

int mkostemps(char* name, int suffixLength, int flags) {
  static auto real = Next<int (*)(char*, int, int)>("mkostemps");
  if (Watched() && Check({Op::kCreateTemp, name}) != 0) return -1;
  return real(name, suffixLength, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (Watched() && fd > 2) {
    Call call(Op::kWrite, faults::PathOf(fd));
    call.size = size;
    if (Check(call) != 0) return -1;
  }
  return real(fd, data, size);
}

int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  if (Watched()) {
    struct stat st;
    Op op = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? Op::kFlushFolder
                                                         : Op::kFlushFile;
    if (CheckFd(op, fd) != 0) return -1;
  }
  return real(fd);
}

int fdatasync(int fd) {
  static auto real = Next<int (*)(int)>("fdatasync");
  if (CheckFd(Op::kFlushFile, fd) != 0) return -1;
  return real(fd);
}

int syncfs(int fd) {
  static auto real = Next<int (*)(int)>("syncfs");
  if (CheckFd(Op::kFlushAll, fd) != 0) return -1;
  return real(fd);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to,
              unsigned int flags) {
  static auto real =
      Next<int (*)(int, const char*, int, const char*, unsigned int)>(
          "renameat2");
  if (Watched()) {
    Call call(Op::kRename, from, to, (flags & RENAME_NOREPLACE) != 0);
    if (Check(call) != 0) return -1;
  }
  return real(fromDir, from, toDir, to, flags);
}

int rename(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  if (Watched() && Check({Op::kRename, from, to}) != 0) return -1;
  return real(from, to);
}

int link(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("link");
  if (Watched() && Check({Op::kRename, from, to, true}) != 0) return -1;
  return real(from, to);
}

int unlink(const char* path) {
  static auto real = Next<int (*)(const char*)>("unlink");
  if (Watched() && Check({Op::kUnlink, path}) != 0) return -1;
  return real(path);
}

int fchown(int fd, uid_t owner, gid_t group) {
  static auto real = Next<int (*)(int, uid_t, gid_t)>("fchown");
  if (CheckFd(Op::kAccess, fd) != 0) return -1;
  return real(fd, owner, group);
}

int fchmod(int fd, mode_t mode) {
  static auto real = Next<int (*)(int, mode_t)>("fchmod");
  if (CheckFd(Op::kAccess, fd) != 0) return -1;
  return real(fd, mode);
}

int fsetxattr(int fd, const char* name, const void* value, size_t size,
              int flags) {
  static auto real =
      Next<int (*)(int, const char*, const void*, size_t, int)>("fsetxattr");
  if (CheckFd(Op::kAccess, fd) != 0) return -1;
  return real(fd, name, value, size, flags);
}

int fremovexattr(int fd, const char* name) {
  static auto real = Next<int (*)(int, const char*)>("fremovexattr");
  if (CheckFd(Op::kAccess, fd) != 0) return -1;
  return real(fd, name);
}

}  // extern "C"
