// veilmark-cli stopped in every window of a group's commit, by SIGKILL and
// by the signals that ask it to stop: the promise holds at once, and after
// a second run, which the stopped one never blocks, each original dataset
// is in the folder exactly once, no original is left and no temporary file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

// Starts veilmark-cli-faults over `folder` with VEILMARK_FAULTS=`faults`,
// its output into `out`; with `restore`, an undo.
pid_t Start(const std::string& folder, const std::string& faults,
            const std::string& out, bool restore = false) {
  // Spawned, not forked: a fork would copy this process's memory, which is
  // large and slow to copy under the sanitizers.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string cli = VEILMARK_CLI_FAULTS, jobs = "--jobs", four = "4",
              mode = restore ? "--restore" : "--";
  char* argv[] = {
      &cli[0], &jobs[0], &four[0], &mode[0], const_cast<char*>(folder.c_str()),
      nullptr};
  std::vector<std::string> variables = {"VEILMARK_FAULTS=" + faults};
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "VEILMARK_FAULTS=", 16) != 0) env.push_back(*e);
  }
  env.push_back(&variables[0][0]);
  env.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv, env.data()) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status, or minus the number of the signal that ended it.
int Finish(pid_t pid) {
  int status = 0;
  if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1000;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

// About a hundred files: a few patients, so new names collide; most small,
// some too large to be read whole.
void WriteOriginals(const ScratchFolder& folder) {
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
    folder.Write(name, fixture);
  }
}

// After a run that was stopped: a second run finishes the folder.
void ExpectFinishedBySecondRun(const ScratchFolder& folder,
                               const Promise& promise) {
  const std::string out = folder.path() + ".out";
  EXPECT_EQ(Finish(Start(folder.path(), "", out)), 0) << ReadBytes(out);
  EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
  EXPECT_EQ(promise.NotExactlyOnce(), std::vector<std::string>{});
  EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{});
}

}  // namespace

TEST(Kill, EveryWindowOfTheCommitIsFinishedByTheNextRun) {
  // Memory-backed folders keep the test quick; what is checked is the
  // order of the steps, which is the same on any file system.
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  ScratchFolder original;
  WriteOriginals(original);
  // Each kills just before the call named: the record's first write is its
  // header, its first flush the header's.
  const char* const kSteps[] = {
      "kill:flushall:1",                        // copies written, not flushed
      "kill:write@anonymous_record.csv:2",      // flushed, no record line
      "kill:flushfile@anonymous_record.csv:2",  // lines written, not flushed
      "kill:rename:1",                          // lines on disk, no name given
      "kill:rename:3",                          // some names given
      "kill:flushfolder:1",                     // names given, not flushed
      "kill:unlink:1",                          // all on disk, no original gone
      "kill:unlink:4",                          // some originals gone
      "kill:flushall:2",                        // a group done, the next begun
      "kill:rename:60",                         // further on
      "kill:unlink:90",
  };
  for (const char* step : kSteps) {
    SCOPED_TRACE(step);
    ScratchFolder folder;
    folder.CopyFrom(original);
    Promise promise(folder.path());
    EXPECT_EQ(Finish(Start(folder.path(), step, folder.path() + ".out")),
              -SIGKILL);
    EXPECT_EQ(promise.Broken(false), std::vector<std::string>{});
    ExpectFinishedBySecondRun(folder, promise);
  }
}

TEST(Kill, ASignalStopsTheRunAtASafePoint) {
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  const std::pair<int, const char*> signals[] = {
      {SIGINT, "signal:temp:5:2"},
      {SIGTERM, "signal:temp:20:15"},
      {SIGHUP, "signal:temp:40:1"},
  };
  for (const auto& [signal, faults] : signals) {
    SCOPED_TRACE(faults);
    ScratchFolder folder;
    WriteOriginals(folder);
    Promise promise(folder.path());
    const std::string out = folder.path() + ".out";
    EXPECT_EQ(Finish(Start(folder.path(), faults, out)), 128 + signal);
    // The files under way were put in place, the others left as they were.
    const std::string log = ReadBytes(out);
    const size_t stopped = log.find("\nStopped: ");
    ASSERT_NE(stopped, std::string::npos) << log;
    int notTakenUp = -1, modified = -1;
    EXPECT_EQ(std::sscanf(log.c_str() + stopped,
                          "\nStopped: %d file(s) not taken up.\nDone. %d "
                          "file(s) modified.\n",
                          &notTakenUp, &modified),
              2)
        << log.substr(stopped);
    EXPECT_GT(notTakenUp, 0);
    EXPECT_EQ(notTakenUp + modified, 100);
    EXPECT_EQ(promise.UntouchedOriginals().size(),
              static_cast<size_t>(notTakenUp));
    EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
    ExpectFinishedBySecondRun(folder, promise);
  }
}

TEST(Kill, PromiseHoldsAfterKillsAtRandomInstants) {
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  ScratchFolder original;
  WriteOriginals(original);
  std::mt19937 random(20070801);
  std::uniform_int_distribution<int> instant(0, 300);  // ms
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE("kill " + std::to_string(k));
    ScratchFolder folder;
    folder.CopyFrom(original);
    Promise promise(folder.path());
    pid_t pid = Start(folder.path(), "", folder.path() + ".out");
    std::this_thread::sleep_for(std::chrono::milliseconds(instant(random)));
    kill(pid, SIGKILL);
    Finish(pid);
    EXPECT_EQ(promise.Broken(false), std::vector<std::string>{});
    ExpectFinishedBySecondRun(folder, promise);
  }
}

// An undo stopped in every window of its commit: every dataset is in the
// folder whole at once, as the anonymized file or put back, and a second
// undo puts each original back once, under its name, and empties the
// record.
TEST(Kill, AnUndoIsFinishedByTheNextUndo) {
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  ScratchFolder original;
  WriteOriginals(original);
  std::map<std::string, std::string> before;  // name -> patient, dataset
  std::set<std::string> datasets;
  for (const std::string& name : original.Names()) {
    before[name] = StoredPatientName(original / name) + "\n" +
                   DatasetWithoutPatientName(original / name);
    datasets.insert(DatasetWithoutPatientName(original / name));
  }
  const char* const kSteps[] = {
      "kill:flushall:1",  "kill:rename:1",
      "kill:rename:3",    "kill:flushfolder:1",
      "kill:unlink:1",    "kill:unlink:4",
      "kill:flushall:2",  "kill:unlink:60",
      "kill:temp:90",     "kill:rename@anonymous_record.csv:1",
      "signal:temp:20:2",  // Ctrl-C: a stop, the record written anew
  };
  for (const char* step : kSteps) {
    SCOPED_TRACE(step);
    const bool stop = std::strncmp(step, "signal:", 7) == 0;
    ScratchFolder folder;
    folder.CopyFrom(original);
    const std::string out = folder.path() + ".out";
    ASSERT_EQ(Finish(Start(folder.path(), "", out)), 0);
    EXPECT_EQ(Finish(Start(folder.path(), step, out, true)),
              stop ? 128 + SIGINT : -SIGKILL);
    std::set<std::string> held;
    for (const std::string& name : Names(folder.path(), true)) {
      const std::string dataset = DatasetWithoutPatientName(folder / name);
      EXPECT_TRUE(datasets.count(dataset)) << "partial: " << name;
      held.insert(dataset);
    }
    EXPECT_EQ(held, datasets);

    EXPECT_EQ(Finish(Start(folder.path(), "", out, true)), 0) << ReadBytes(out);
    std::map<std::string, std::string> after;
    for (const std::string& name : Names(folder.path(), true)) {
      after[name] = StoredPatientName(folder / name) + "\n" +
                    DatasetWithoutPatientName(folder / name);
    }
    EXPECT_TRUE(after == before);
    EXPECT_EQ(ReadRecord(folder).size(), 0u);
    EXPECT_EQ(folder.Names().size(), before.size() + 1);
  }
}
