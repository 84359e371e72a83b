#include "tests/test_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

std::string MakeScratchFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/veilmark-XXXXXX";
  return mkdtemp(&pattern[0]) ? pattern : "";
}

void PreferMemoryFolders() {
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
}

void RemoveTree(const std::string& path) {
  std::error_code error;
  fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
  for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add,
                      error);
    }
  }
  fs::remove_all(path, error);
}

void SetReadOnly(const std::string& path, bool readOnly) {
  ::chmod(path.c_str(), readOnly ? 0444 : 0644);
}

std::string Stamp(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  return std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec) +
         "." + std::to_string(st.st_mtim.tv_nsec);
}

std::string AccessOf(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return "missing";
  char text[64];
  std::snprintf(text, sizeof text, "%u:%u %04o", st.st_uid, st.st_gid,
                st.st_mode & 07777);
  return text;
}

bool ShareWithGroup(const std::string& path) {
  return ::chmod(path.c_str(), 0640) == 0;
}

bool IsPossibleName(const std::string& name) {
  return name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

bool HasSymbolicLinks() { return true; }

bool MakeSymbolicLink(const std::string& target, const std::string& link) {
  return ::symlink(target.c_str(), link.c_str()) == 0;
}

bool HasFifos() { return true; }

bool MakeFifo(const std::string& path) {
  return ::mkfifo(path.c_str(), 0666) == 0;
}

bool OpenFilesCanBeChanged() { return true; }

std::vector<std::string> FilesHeldOpen(const std::string& folder) {
  std::vector<std::string> held;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
    const std::string path = fs::read_symlink(entry.path(), error).string();
    if (!error && (path == folder ||
                   path.compare(0, folder.size() + 1, folder + "/") == 0)) {
      held.push_back(path);
    }
  }
  return held;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
  signal(SIGXFSZ, SIG_IGN);
  auto saved = std::make_shared<struct rlimit>();
  getrlimit(RLIMIT_FSIZE, saved.get());
  struct rlimit limit = *saved;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
  state_ = saved;
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, static_cast<struct rlimit*>(state_.get()));
}

std::string FileSizeLimit::Reason() { return "File too large"; }

OpenFilesLimit::OpenFilesLimit(unsigned long long files) {
  struct rlimit limit;
  getrlimit(RLIMIT_NOFILE, &limit);
  saved_ = limit.rlim_cur;
  limit.rlim_cur = files;
  setrlimit(RLIMIT_NOFILE, &limit);
}

OpenFilesLimit::~OpenFilesLimit() {
  struct rlimit limit;
  getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = saved_;
  setrlimit(RLIMIT_NOFILE, &limit);
}

std::string Program(const std::string& built) { return built; }

// Spawned, not forked: a fork would copy this process's memory, slowly
// under the sanitizers.
Process StartProgram(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment,
                     const std::string& out, const std::string& err,
                     const std::string& where) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2,
                                   err.empty() ? "/dev/null" : err.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!where.empty()) {
    posix_spawn_file_actions_addchdir_np(&actions, where.c_str());
  }
  std::vector<std::string> strings = {program};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  strings.insert(strings.end(), environment.begin(), environment.end());
  std::vector<char*> argv, env;
  for (size_t i = 0; i <= arguments.size(); ++i) argv.push_back(&strings[i][0]);
  argv.push_back(nullptr);
  // The variables given come first, and so stand before any of the same
  // name.
  for (size_t i = arguments.size() + 1; i < strings.size(); ++i) {
    env.push_back(&strings[i][0]);
  }
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data())) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  Process process;
  process.id = pid;
  return process;
}

int Finish(const Process& process) {
  // A program that hangs fails the test, and goes with it.
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  const pid_t pid = static_cast<pid_t>(process.id);
  if (pid <= 0) return -1000;
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(pid, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "the program still runs after a minute";
      kill(pid, SIGKILL);
      waited = waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (waited != pid) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

void Kill(const Process& process) {
  if (process.id > 0) kill(static_cast<pid_t>(process.id), SIGKILL);
}

bool WaitStopped(const Process& process) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  const pid_t pid = static_cast<pid_t>(process.id);
  int status = 0;
  while (pid > 0 && std::chrono::steady_clock::now() < end) {
    const pid_t waited = waitpid(pid, &status, WNOHANG | WUNTRACED);
    if (waited == pid) return WIFSTOPPED(status);
    if (waited != 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void GoOn(const Process& process) {
  if (process.id > 0) kill(static_cast<pid_t>(process.id), SIGCONT);
}
