// The file system calls of a real run at four jobs, as the fault harness
// keeps them: a copy takes its name only once its data and its record line
// are on disk, and an original is removed only once its copy's name is on
// disk too; whether each is flushed on its own or a whole group at once.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "key/record_file.h"
#include "platform/system/path_separator.h"
#include "tests/faults.h"
#include "tests/test_folder.h"

using faults::Op;

TEST(FlushOrder, OriginalsAreRemovedOnlyAfterTheirCopyAndRecordAreOnDisk) {
  ScratchFolder folder;
  const int kFiles = 40;
  for (int i = 0; i < kFiles; ++i) {
    folder.Write("IM" + std::to_string(i) + ".ima",
                 Patient("DOE^JOHN", "20070801", 8192));
  }
  std::vector<faults::Call> calls;
  {
    faults::Scope scope;
    RunOptions options;
    options.jobs = 4;
    const LoggedRun run = RunLogged(folder.path(), options);
    ASSERT_EQ(run.result.failed, 0) << run.log;
    calls = scope.Calls();
  }
  // Where each original's line ends in the record, and its copy's name.
  const std::string record = folder / "anonymous_record.csv";
  std::vector<RecordEntry> entries;
  ParseRecordText(ReadBytes(record), &entries);
  std::map<std::string, const RecordEntry*> lineOf;  // by copy, by original
  for (const RecordEntry& entry : entries) {
    lineOf[folder / entry.newFile.str()] = &entry;
    lineOf[folder / entry.oldFile.str()] = &entry;
  }

  std::set<std::string> dirty, flushed;  // copies, by their temporary name
  std::set<std::string> named, namesOnDisk;
  std::uint64_t written = 0, onDisk = 0;  // bytes of the record
  int removed = 0;
  const std::string temporary = std::string(kPathSeparator) + ".veilmark-";
  for (const faults::Call& call : calls) {
    const bool copy = call.path.find(temporary) != std::string::npos;
    switch (call.op) {
      case Op::kWrite:
        if (copy) {
          dirty.insert(call.path);
          flushed.erase(call.path);
        } else if (call.path == record) {
          written += call.size;
        }
        break;
      case Op::kFlushAll:
        flushed.insert(dirty.begin(), dirty.end());
        namesOnDisk = named;
        onDisk = written;
        break;
      case Op::kFlushFile:
        if (copy) flushed.insert(call.path);
        if (call.path == record) onDisk = written;
        break;
      case Op::kFlushFolder:
        namesOnDisk = named;
        break;
      case Op::kRename:
      case Op::kLink:
        EXPECT_TRUE(flushed.count(call.path))
            << "named before its data was flushed: " << call.target;
        ASSERT_TRUE(lineOf.count(call.target)) << call.target;
        EXPECT_LE(lineOf[call.target]->end, onDisk)
            << "named before its record line was flushed: " << call.target;
        named.insert(call.target);
        break;
      case Op::kUnlink:
        if (copy || !lineOf.count(call.path)) break;
        ++removed;
        EXPECT_TRUE(
            namesOnDisk.count(folder / lineOf[call.path]->newFile.str()))
            << "removed before its copy's name was flushed: " << call.path;
        break;
      default:
        break;
    }
  }
  EXPECT_EQ(removed, kFiles);
}
