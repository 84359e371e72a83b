// veilmark-cli killed at random instants, within a group's commit too: the
// promise holds after every kill, and again once a second run, which the
// killed one never blocks, has finished the folder and cleared what the
// killed one left.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

pid_t Start(const std::string& folder) {
  // Spawned, not forked: a fork would copy this process's memory, which is
  // large and slow to copy under the sanitizers.
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
  std::string cli = VEILMARK_CLI;
  char* argv[] = {&cli[0], const_cast<char*>(folder.c_str()), nullptr};
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv, environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&quiet);
  return pid;
}

int Finish(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void CopyFolder(const ScratchFolder& from, const ScratchFolder& to) {
  for (const std::string& name : from.Names()) {
    WriteBytes(to / name, ReadBytes(from / name));
  }
}

}  // namespace

TEST(Kill, PromiseHoldsAfterKillsAtRandomInstants) {
  // Memory-backed folders keep the test quick; what is checked is the
  // order of the steps, which is the same on any file system.
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  // About a hundred files: a few patients, so new names collide; most
  // small, some with values far above what is loaded into memory.
  ScratchFolder original;
  static const char* const kPatients[] = {"DOE^JOHN", "SMITH^ANN", "X",
                                          "MILLER^KARL"};
  for (int i = 0; i < 100; ++i) {
    Fixture fixture = Patient(kPatients[i % 4], i % 3 ? "20070801" : "20070802",
                              i % 10 == 0 ? 2400 * 1024 : 16 * 1024);
    fixture.sequence = i % 7 == 0;
    fixture.privateBytes = i % 5 == 0 ? 6000 : 0;
    if (i % 11 == 0) fixture.xfer = EXS_LittleEndianImplicit;
    char name[32];
    std::snprintf(name, sizeof name, "IM%04d.ima", i);
    original.Write(name, fixture);
  }

  // How long a whole run takes here sets the range of the kill instants.
  double whole;
  {
    ScratchFolder folder;
    CopyFolder(original, folder);
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Finish(Start(folder.path())), 0);
    whole =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
            .count();
  }

  std::mt19937 random(20070801);
  std::uniform_real_distribution<double> instant(0.0, whole);
  const int kKills = 40;
  int midRun = 0;
  for (int k = 0; k < kKills; ++k) {
    SCOPED_TRACE("kill " + std::to_string(k));
    ScratchFolder folder;
    CopyFolder(original, folder);
    Promise promise(folder.path());
    pid_t pid = Start(folder.path());
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::duration<double>(instant(random)));
    if (kill(pid, SIGKILL) == 0) midRun += Finish(pid) == -1;
    EXPECT_EQ(promise.Broken(false), std::vector<std::string>{});

    // A second run finishes the folder: no original left, promise kept.
    EXPECT_EQ(Finish(Start(folder.path())), 0);
    EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
    EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{});
  }
  std::printf("kills: %d of %d landed mid-run (a run takes %.2f s)\n", midRun,
              kKills, whole);
  EXPECT_GE(midRun, kKills / 2);
}
