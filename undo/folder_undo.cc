#include "undo/folder_undo.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

#include "key/listed_names.h"
#include "pipeline/pipeline.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "text/unicode_text.h"
#include "undo/restore_commit.h"
#include "undo/restored_file.h"
#include "undo/undo_evidence.h"

namespace {

// "2 and 5", "2, 5 and 7".
std::string Listed(const std::vector<int>& numbers) {
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) {
    if (i > 0) text += i + 1 == numbers.size() ? " and " : ", ";
    text += std::to_string(numbers[i]);
  }
  return text;
}

// For each line that names the same anonymous file as another, different
// line, what its undo says instead: no line can tell which of them that
// file's original is. Earlier versions took a copy up again, giving its
// name to another file: a line whose original is that copy, between the
// two, tells that the name changed hands, and their undo goes through
// both in turn.
std::map<size_t, CString> SharedCopies(
    const CString& folder, const std::vector<RecordEntry>& entries) {
  std::unordered_map<std::string, std::vector<size_t>> byCopy, byOriginal;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].Usable()) continue;
    byCopy[CanonicalText(entries[k].newFile.str())].push_back(k);
    byOriginal[CanonicalText(entries[k].oldFile.str())].push_back(k);
  }
  std::map<size_t, CString> shared;
  for (const auto& copy : byCopy) {
    const std::vector<size_t>& named = copy.second;
    const std::vector<size_t>& taken = byOriginal[copy.first];
    std::set<size_t> refused;
    for (size_t i = 0; i + 1 < named.size(); ++i) {
      const size_t a = named[i], b = named[i + 1];
      const auto between = std::upper_bound(taken.begin(), taken.end(), a);
      if (entries[a].Key() == entries[b].Key() ||
          (between != taken.end() && *between < b)) {
        continue;
      }
      refused.insert(a);
      refused.insert(b);
    }
    if (refused.empty()) continue;
    std::vector<int> numbers;
    for (size_t k : refused) numbers.push_back(entries[k].line);
    CString message;
    message.Format(
        "Lines %s of anonymous_record.csv name the same anonymous file, so "
        "none of them is undone: %s",
        Listed(numbers).c_str(),
        static_cast<LPCTSTR>(folder + kPathSeparator +
                             entries[*refused.begin()].newFile));
    for (size_t k : refused) shared[k] = message;
  }
  return shared;
}

}  // namespace

void UndoFolder(FolderWork* work, FolderHandle* folderHandle,
                const RecordContents& contents) {
  const std::vector<RecordEntry>& entries = contents.entries;
  const CString& folder = work->folder();
  const RunOptions& options = work->options();
  RunResult& result = work->result();
  if (!options.dryRun) RemoveLeftoverTempFiles(folder.str());
  result.started = true;
  // A line the record holds more than once is taken back once, from the
  // last of them: the others are the same line and go with it.
  std::vector<size_t> sameAs(entries.size());
  std::unordered_map<std::string, size_t> last;
  for (size_t k = entries.size(); k-- > 0;) {
    sameAs[k] = k;
    if (!entries[k].parsed) continue;
    const auto found = last.emplace(entries[k].Key(), k);
    sameAs[k] = found.first->second;
  }
  const std::map<size_t, CString> shared = SharedCopies(folder, entries);
  // Each line with its anonymous file as the folder names it, and the name
  // a file of the same text holds in its original's place, if any.
  ListedNames listed;
  listed.List(folder);
  std::vector<RecordEntry> resolved = entries;
  std::map<size_t, std::string> twins;
  for (size_t k = 0; k < entries.size(); ++k) {
    if (!entries[k].Usable()) continue;
    const std::string copy = listed.Find(entries[k].newFile.str());
    if (!copy.empty()) resolved[k].newFile = copy;
    const std::string old = listed.Find(entries[k].oldFile.str());
    if (!old.empty() && old != entries[k].oldFile.str()) twins[k] = old;
  }
  // Lines are undone from the last to the first, in passes: a line whose
  // file an earlier one of its pass would put back or take away waits for
  // the next pass.
  std::vector<std::vector<size_t>> passes(1);
  std::set<std::string> names;
  for (size_t k = entries.size(); k-- > 0;) {
    const RecordEntry& entry = entries[k];
    if (sameAs[k] != k) continue;
    if (entry.Usable() && !shared.count(k)) {
      const std::string oldText = CanonicalText(entry.oldFile.str());
      const std::string newText = CanonicalText(entry.newFile.str());
      if (names.count(oldText) || names.count(newText)) {
        passes.emplace_back();
        names.clear();
      }
      names.insert(oldText);
      names.insert(newText);
    }
    passes.back().push_back(k);
  }
  size_t total = 0;
  for (const std::vector<size_t>& pass : passes) total += pass.size();
  work->StartCount(total);
  UndoState dryState;
  UndoEvidence evidence(folder);
  RestoreCommit commit(folder, folderHandle, &evidence,
                       options.dryRun ? &dryState : nullptr);
  std::vector<bool> done(entries.size(), false);
  std::vector<std::string> usedKeys;  // of the copies made with the profile
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
          if (!StartRestore(folder, resolved[pass[i]], job)) return false;
          const auto refused = shared.find(pass[i]);
          const auto twin = twins.find(pass[i]);
          if (refused != shared.end()) {
            job->AddError("%s", static_cast<LPCTSTR>(refused->second));
          } else if (twin != twins.end()) {
            job->AddError(
                "Old file name is taken by another file: %s",
                (folder.str() + kPathSeparator + twin->second).c_str());
          }
          return !job->failed;
        },
        [&](size_t i, FileJob* job) {
          PrepareRestore(folder, options.dryRun ? &dryState : nullptr,
                         work->key(), resolved[pass[i]], job);
        },
        [&](FileJob* const* jobs, size_t count) {
          return commit.Commit(jobs, count, &result.modified);
        },
        [&](FileJob* job) {
          done[pass[committed++]] = job->lineDone;
          if (job->lineDone && !job->usedKey.empty()) {
            usedKeys.push_back(job->usedKey);
          }
        });
  }
  for (size_t k = 0; k < entries.size(); ++k) done[k] = done[sameAs[k]];
  if (options.dryRun) return;
  const std::string recordPath =
      folder.str() + kPathSeparator + "anonymous_record.csv";
  if (std::count(done.begin(), done.end(), true) == 0) {
    evidence.Remove();
    return;
  }
  // The lines taken back go, but nothing a user or another program wrote
  // to the record meanwhile: then the evidence stays, and the next run
  // takes them out of the record as it then is.
  std::string error;
  if (!RecordUnchanged(*work->record(), recordPath.c_str(), contents.length)) {
    work->Error(
        "anonymous_record.csv was changed by another program during the "
        "undo; the next run takes out the lines undone: %s",
        recordPath.c_str());
    return;
  }
  if (!RewriteRecord(folder, work->record(), entries, done, &error)) {
    work->Error("Couldn't write to anonymous_record.csv: %s", error.c_str());
    return;
  }
  // The record no longer holds what the evidence tells of, nor the lines
  // of the keys used.
  evidence.Remove();
  for (const std::string& used : usedKeys) RemoveFile(used);
}
