#include "undo/folder_undo.h"

#include <algorithm>
#include <set>
#include <string>

#include "pipeline/pipeline.h"
#include "platform/system/durable_file.h"
#include "undo/restore_commit.h"
#include "undo/restored_file.h"
#include "undo/undo_evidence.h"

void UndoFolder(FolderWork* work, FolderHandle* folderHandle,
                const std::vector<RecordEntry>& entries) {
  const CString& folder = work->folder();
  const RunOptions& options = work->options();
  RunResult& result = work->result();
  if (!options.dryRun) RemoveLeftoverTempFiles(folder.str());
  result.started = true;
  UndoEvidence evidence(folder);
  evidence.Read();
  // A line the record holds more than once is taken back once, from the
  // last of them: the others are the same line and go with it.
  std::vector<size_t> sameAs(entries.size());
  for (size_t k = entries.size(); k-- > 0;) {
    sameAs[k] = k;
    for (size_t later = k + 1; later < entries.size(); ++later) {
      if (sameAs[later] == later && entries[later].SameLine(entries[k])) {
        sameAs[k] = later;
        break;
      }
    }
  }
  // Lines are undone from the last to the first, in passes: a line whose
  // file an earlier one of its pass would put back or take away waits for
  // the next pass.
  std::vector<std::vector<size_t>> passes(1);
  std::set<std::string> names;
  for (size_t k = entries.size(); k-- > 0;) {
    const RecordEntry& entry = entries[k];
    if (sameAs[k] != k) continue;
    if (entry.Usable()) {
      if (names.count(entry.oldFile.str()) ||
          names.count(entry.newFile.str())) {
        passes.emplace_back();
        names.clear();
      }
      names.insert(entry.oldFile.str());
      names.insert(entry.newFile.str());
    }
    passes.back().push_back(k);
  }
  size_t total = 0;
  for (const std::vector<size_t>& pass : passes) total += pass.size();
  work->StartCount(total);
  UndoState dryState;
  RestoreCommit commit(folder, folderHandle, &evidence,
                       options.dryRun ? &dryState : nullptr);
  std::vector<bool> done(entries.size(), false);
  for (const std::vector<size_t>& pass : passes) {
    if (work->stopped()) {
      result.notTakenUp += static_cast<int>(pass.size());
      continue;
    }
    Pipeline pipeline(pass.size(), work->Workers(pass.size()), work->stopped());
    size_t committed = 0;
    work->RunPipeline(
        &pipeline,
        [&](size_t i, FileJob* job) {
          return StartRestore(folder, entries[pass[i]], job);
        },
        [&](size_t i, FileJob* job) {
          PrepareRestore(folder, options.dryRun ? &dryState : nullptr, evidence,
                         entries[pass[i]], job);
        },
        [&](FileJob* const* jobs, size_t count) {
          return commit.Commit(jobs, count, &result.modified);
        },
        [&](FileJob* job) { done[pass[committed++]] = job->lineDone; });
  }
  for (size_t k = 0; k < entries.size(); ++k) done[k] = done[sameAs[k]];
  if (options.dryRun) return;
  std::string error;
  if (std::count(done.begin(), done.end(), true) > 0 &&
      !RewriteRecord(folder, work->record(), entries, done, &error)) {
    work->Error("Couldn't write to anonymous_record.csv: %s", error.c_str());
    return;
  }
  // The record no longer holds what the evidence tells of.
  evidence.Remove();
}
