// veilmark-cli stopped in every window of a group's commit, by SIGKILL and
// by the signals that ask it to stop: the promise holds at once, and after
// a second run, which the stopped one never blocks, each original dataset
// is in the folder exactly once, no original is left and no temporary file.
// The same for an undo, finished by a second undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

#include "profile/folder_key.h"
#include "tests/faults.h"
#include "tests/promise.h"
#include "tests/test_folder.h"

namespace {

// About a hundred files: a few patients, so new names collide; most small,
// some too large to be read whole. Memory-backed folders keep the test
// quick; what is checked is the order of the steps, the same anywhere.
void WriteOriginals(ScratchFolder* folder) {
  PreferMemoryFolders();
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
    folder->Write(name, fixture);
  }
}

// The program over `folder` at four jobs, stopped as `faults` says; its
// output goes to `log` when given. It may open 136 files, so that at most
// 40 prepared files wait (64 + 8 per job are kept for other files): the 100
// files are put in place in three groups or more, however fast the workers
// (where the system limits open files; Windows does not).
int Stopped(const ScratchFolder& folder, const std::string& faults,
            bool restore = false, std::string* log = nullptr,
            bool profile = false) {
  const std::string out = folder.path() + ".out";
  std::vector<std::string> arguments = {"--jobs", "4"};
  if (profile) arguments.insert(arguments.end(), {"--profile", "basic"});
  arguments.insert(arguments.end(),
                   {restore ? "--restore" : "--", folder.path()});
  Process process;
  {
    // The program takes the limit with it.
    OpenFilesLimit limit(136);
    process = StartCli(arguments, faults, out);
  }
  const int status = Finish(process);
  if (log) *log = ReadBytes(out);
  RemoveEntry(out);
  return status;
}

const int kKilled = -faults::kKill;

// Moves every copy out of `folder` into `elsewhere`, as a user hands copies
// on; returns the record's lines of them.
Rows HandOn(const ScratchFolder& folder, const ScratchFolder& elsewhere) {
  std::set<std::string> moved;
  for (const std::string& name : Names(folder.path(), true)) {
    if (name.compare(0, 4, "ANON") != 0) continue;
    std::filesystem::rename(FsPath(folder / name), FsPath(elsewhere / name));
    moved.insert(name);
  }
  Rows handedOn;
  for (const auto& row : ReadRecord(folder)) {
    if (!row.empty() && moved.count(row[1])) handedOn.push_back(row);
  }
  return handedOn;
}

}  // namespace

TEST(Kill, EveryWindowOfTheCommitIsFinishedByTheNextRun) {
  ScratchFolder original;
  WriteOriginals(&original);
  // Each stops just before the call named: the record's first write is its
  // header, its first flush the header's. A signal stops at a safe point.
  const struct {
    const char* faults;
    int status;
  } kSteps[] = {
      {"kill:flushall:1", kKilled},  // copies written, not flushed
      {"kill:write@anonymous_record.csv:2", kKilled},      // no record line
      {"kill:flushfile@anonymous_record.csv:2", kKilled},  // not flushed
      {"kill:rename:1", kKilled},       // lines on disk, no name given
      {"kill:rename:3", kKilled},       // some names given
      {"kill:flushfolder:1", kKilled},  // names given, not flushed
      {"kill:unlink:1", kKilled},       // all on disk, no original gone
      {"kill:unlink:4", kKilled},       // some originals gone
      {"kill:flushall:2", kKilled},     // a group done, the next begun
      {"kill:rename:60", kKilled},
      {"kill:unlink:90", kKilled},
      {"signal:temp:5:2", 128 + faults::kInterrupt},
      {"signal:temp:20:15", 128 + faults::kTerminate},
      {"signal:temp:40:1", 128 + faults::kHangUp},
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.faults);
    ScratchFolder folder;
    folder.CopyFrom(original);
    Promise promise(folder.path());
    std::string log;
    EXPECT_EQ(Stopped(folder, step.faults, false, &log), step.status);
    EXPECT_EQ(promise.Broken(step.status > 0), std::vector<std::string>{});
    if (step.status > 0) {
      // The files under way were put in place, the others left as they
      // were, and the log says so.
      int notTakenUp = -1, modified = -1;
      const size_t stopped = log.find("\nStopped: ");
      ASSERT_NE(stopped, std::string::npos) << log;
      EXPECT_EQ(std::sscanf(&log[stopped],
                            "\nStopped: %d file(s) not taken up.\nDone. %d "
                            "file(s) modified.\n",
                            &notTakenUp, &modified),
                2);
      EXPECT_GT(notTakenUp, 0);
      EXPECT_EQ(notTakenUp + modified, 100);
      EXPECT_EQ(promise.UntouchedOriginals().size(),
                static_cast<size_t>(notTakenUp));
    }
    EXPECT_EQ(Stopped(folder, ""), 0);
    EXPECT_EQ(promise.Broken(), std::vector<std::string>{});
    EXPECT_EQ(promise.NotExactlyOnce(), std::vector<std::string>{});
    EXPECT_EQ(promise.UntouchedOriginals(), std::vector<std::string>{});
  }
}

// A run with the profile stopped in windows of its commit, among its copies'
// keys taking their names too: the next run leaves each dataset in the
// folder once, with its key, and an undo gives every original back.
TEST(Kill, AProfileRunIsFinishedByTheNextRun) {
  ScratchFolder original;
  WriteOriginals(&original);
  const auto before = Datasets(original.path());
  const struct {
    const char* faults;
    int status;
  } kSteps[] = {
      {"kill:rename@.ima.key:1", kKilled},  // lines on disk, no name given
      {"kill:rename@.ima.key:3", kKilled},  // some keys and copies named
      {"kill:unlink:5", kKilled},           // some originals gone
      {"signal:temp:20:2", 128 + faults::kInterrupt},
  };
  for (const auto& step : kSteps) {
    SCOPED_TRACE(step.faults);
    ScratchFolder folder;
    folder.CopyFrom(original);
    EXPECT_EQ(Stopped(folder, step.faults, false, nullptr, true), step.status);
    EXPECT_EQ(Stopped(folder, "", false, nullptr, true), 0);
    const auto copies = Datasets(folder.path());
    EXPECT_EQ(copies.size(), before.size());
    for (const auto& copy : copies) {
      EXPECT_EQ(copy.first.compare(0, 4, "ANON"), 0) << copy.first;
    }
    EXPECT_EQ(Stopped(folder, "", true), 0);
    EXPECT_TRUE(Datasets(folder.path()) == before);
    EXPECT_EQ(Names(KeysFolder(folder.path())),
              std::vector<std::string>{"profile"});
  }
}

// Every dataset is in the folder whole at once, as the anonymized file or
// put back, and a second undo puts each original back once, under its
// name, and empties the record.
TEST(Kill, AnUndoIsFinishedByTheNextUndo) {
  ScratchFolder original;
  WriteOriginals(&original);
  const auto before = Datasets(original.path());
  std::set<std::string> datasets;
  for (const std::string& name : original.Names()) {
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
    ScratchFolder folder;
    folder.CopyFrom(original);
    ASSERT_EQ(Stopped(folder, ""), 0);
    EXPECT_EQ(Stopped(folder, step, true),
              step[0] == 's' ? 128 + faults::kInterrupt : kKilled);
    std::set<std::string> held;
    for (const std::string& name : Names(folder.path(), true)) {
      const std::string dataset = DatasetWithoutPatientName(folder / name);
      EXPECT_TRUE(datasets.count(dataset)) << "partial: " << name;
      held.insert(dataset);
    }
    EXPECT_EQ(held, datasets);

    EXPECT_EQ(Stopped(folder, "", true), 0);
    EXPECT_TRUE(Datasets(folder.path()) == before);
    EXPECT_EQ(ReadRecord(folder).size(), 0u);
    EXPECT_EQ(folder.Names().size(), before.size() + 1);
  }
}

// An undo stopped before it put any copy aside, or after it put some,
// then, or after a run, every copy left in the folder handed on: a line
// goes only for a copy the stopped undo put aside itself, and whatever
// runs next finishes that undo and keeps no evidence of it.
TEST(Kill, AnUndoStoppedShortDropsOnlyTheLinesOfCopiesItTookAway) {
  ScratchFolder original;
  WriteOriginals(&original);
  for (const char* step :
       {"kill:write@anonymous_record.undo:1", "kill:rename@.undone:3"}) {
    for (bool runFirst : {false, true}) {
      SCOPED_TRACE(std::string(step) + (runFirst ? ", then a run" : ""));
      ScratchFolder folder, elsewhere;
      folder.CopyFrom(original);
      ASSERT_EQ(Stopped(folder, ""), 0);
      EXPECT_EQ(Stopped(folder, step, true), kKilled);
      if (runFirst) {
        EXPECT_EQ(Stopped(folder, ""), 0);
      }
      const Rows handedOn = HandOn(folder, elsewhere);
      ASSERT_FALSE(handedOn.empty());
      EXPECT_EQ(Stopped(folder, "", true), 1);
      const Rows after = ReadRecord(folder);
      EXPECT_EQ(after, handedOn);
      for (const std::string& name : folder.Names()) {
        EXPECT_TRUE(name.compare(0, 4, "ANON") != 0 &&
                    name.find("undo") == std::string::npos)
            << name;
      }
    }
  }
}

// Copies handed on (moved out of the folder) after a kill: the next run
// keeps their lines, the only key to them, however many temporary files
// the kill left, and takes up again the originals still there.
TEST(Kill, ARerunKeepsTheLinesOfCopiesHandedOn) {
  ScratchFolder original;
  WriteOriginals(&original);
  for (const char* step :
       {"kill:rename:3", "kill:unlink:4", "kill:rename:60"}) {
    SCOPED_TRACE(step);
    ScratchFolder folder, elsewhere;
    folder.CopyFrom(original);
    EXPECT_EQ(Stopped(folder, step), kKilled);
    const Rows handedOn = HandOn(folder, elsewhere);
    ASSERT_FALSE(handedOn.empty());
    EXPECT_EQ(Stopped(folder, ""), 0);
    Rows after = ReadRecord(folder);
    for (const auto& row : handedOn) {
      EXPECT_NE(std::find(after.begin(), after.end(), row), after.end())
          << row[0] << " > " << row[1];
    }
    // Every original still there is taken up.
    for (const std::string& name : Names(folder.path(), true)) {
      EXPECT_EQ(name.compare(0, 4, "ANON"), 0) << name;
    }
  }
}
