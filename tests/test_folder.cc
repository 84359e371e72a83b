#include "tests/test_folder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base ? base : "/tmp") + "/veilmark-XXXXXX";
  EXPECT_NE(mkdtemp(&pattern[0]), nullptr);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  for (const auto& entry : fs::recursive_directory_iterator(path_, error)) {
    if (entry.is_directory(error) && !entry.is_symlink(error)) {
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add,
                      error);
    }
  }
  fs::remove_all(path_, error);
}

void ScratchFolder::Write(const std::string& name,
                          const Fixture& fixture) const {
  std::string error;
  ASSERT_TRUE(WriteFixture(*this / name, fixture, &error)) << name << error;
}

void ScratchFolder::CopyFrom(const ScratchFolder& from) const {
  fs::copy(from.path(), path_, fs::copy_options::recursive);
}

Fixture Patient(const std::string& name, const std::string& date,
                size_t pixelBytes) {
  Fixture fixture;
  fixture.patientName = name;
  fixture.studyDate = date;
  fixture.pixelBytes = pixelBytes;
  return fixture;
}

Rows ReadRecord(const ScratchFolder& folder) {
  return RecordRows(ReadBytes(folder / "anonymous_record.csv"));
}

std::string Folded(std::string log, const ScratchFolder& folder) {
  for (size_t at; (at = log.find(folder.path())) != std::string::npos;) {
    log.replace(at, folder.path().size(), "FOLDER");
  }
  return log;
}

pid_t StartCli(const std::vector<std::string>& arguments,
               const std::string& faults, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<std::string> strings = {VEILMARK_CLI_FAULTS};
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  strings.push_back("VEILMARK_FAULTS=" + faults);
  std::vector<char*> argv, env;
  for (std::string& text : strings) argv.push_back(&text[0]);
  env.push_back(argv.back());
  argv.back() = nullptr;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data())) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int Finish(pid_t pid) {
  // A program that hangs fails the test, and goes with it.
  const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  if (pid <= 0) return -1000;
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(pid, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "veilmark-cli still runs after a minute";
      kill(pid, SIGKILL);
      waited = waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (waited != pid) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}
