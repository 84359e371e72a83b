#include "anonymize/earlier_run.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <map>
#include <memory>
#include <utility>

#include "anonymize/dataset_text.h"
#include "anonymize/file_head.h"
#include "anonymize/record_file.h"
#include "anonymize/same_dataset.h"
#include "anonymize/verified_save.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "platform/framework/delete_file.h"
#include "platform/system/durable_file.h"
#include "platform/system/large_stack.h"
#include "platform/system/path_separator.h"

bool IsOriginalOf(const CString& folder, const RecordEntry& entry,
                  SourceFile* original, const std::string& copyPath) {
  std::string originalBytes, copyBytes, reason;
  SourceFile copy;
  DcmFileFormat originalFile, copyFile;
  const bool same =
      OpenAndLoad(folder.str() + kPathSeparator + entry.oldFile.str(), original,
                  &originalBytes, &originalFile, &reason) &&
      OpenAndLoad(copyPath.empty()
                      ? folder.str() + kPathSeparator + entry.newFile.str()
                      : copyPath,
                  &copy, &copyBytes, &copyFile, &reason) &&
      HoldsRecordedName(originalFile.getDataset(), entry.oldName.str()) &&
      HoldsRecordedName(copyFile.getDataset(), entry.newName.str()) &&
      SameButPatientName(&originalFile, &copyFile);
  original->ForgetBytes();
  return same;
}

bool IsCopyOf(const std::string& path, const RecordEntry& entry) {
  FileHead head;
  return ReadHead(path, &head) &&
         IsRecordedName(entry.newName.str(), head.nameBytes, head.name);
}

namespace {

CString Formatted(const char* format, ...)
    __attribute__((format(printf, 1, 2)));
CString Formatted(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString message;
  message.FormatV(format, args);
  va_end(args);
  return message;
}

}  // namespace

bool FindRecordedCopies(const CString& folder,
                        const std::vector<CString>& names,
                        const std::vector<RecordEntry>& entries, int workers,
                        std::vector<char>* copies) {
  copies->assign(names.size(), 0);
  // The last line of each copy's name.
  std::map<std::string, const RecordEntry*> recorded;
  for (const RecordEntry& entry : entries) {
    if (entry.Usable()) recorded[entry.newFile.str()] = &entry;
  }
  std::vector<std::pair<size_t, const RecordEntry*>> candidates;
  for (size_t i = 0; i < names.size(); ++i) {
    const auto found = recorded.find(names[i].str());
    if (found != recorded.end()) candidates.emplace_back(i, found->second);
  }
  if (candidates.empty()) return true;
  // Loading runs DCMTK, which needs a deep stack for deep files.
  std::atomic<size_t> next{0};
  auto look = [&] {
    for (size_t k; (k = next++) < candidates.size();) {
      const size_t i = candidates[k].first;
      (*copies)[i] = IsCopyOf(folder.str() + kPathSeparator + names[i].str(),
                              *candidates[k].second);
    }
  };
  std::vector<std::unique_ptr<LargeStackThread>> threads;
  bool started = true;
  for (int t = 0; t < std::max(workers, 1) && started; ++t) {
    threads.push_back(std::make_unique<LargeStackThread>());
    std::string error;
    started = threads.back()->Start(look, &error);
  }
  for (const auto& thread : threads) thread->Join();
  return started || next >= candidates.size();
}

void CutUnnamedLines(const CString& folder, CFile* record, bool dryRun,
                     std::vector<RecordEntry>* entries,
                     std::vector<LogLine>* lines) {
  if (entries->empty()) return;
  const std::vector<std::string> temps = LeftoverTempFiles(folder.str());
  if (temps.empty()) return;
  const std::string path = folder.str() + kPathSeparator;
  size_t keep = entries->size();
  auto cut = [&] {
    // The copies the stopped run never named, by the image they hold.
    std::multimap<std::string, std::string> unnamed;
    for (const std::string& temp : temps) {
      FileHead head;
      if (ReadHead(path + temp, &head)) {
        unnamed.emplace(head.instanceUid, path + temp);
      }
    }
    while (keep > 0) {
      const RecordEntry& entry = (*entries)[keep - 1];
      FileHead original;
      if (!entry.Usable() ||
          ProbeName(path + entry.newFile.str()) != PublishResult::kDone ||
          !ReadHead(path + entry.oldFile.str(), &original)) {
        return;
      }
      bool found = false;
      const auto range = unnamed.equal_range(original.instanceUid);
      for (auto copy = range.first; copy != range.second && !found; ++copy) {
        SourceFile opened;
        found = IsOriginalOf(folder, entry, &opened, copy->second);
      }
      if (!found) return;
      --keep;
    }
  };
  // Loading runs DCMTK, which needs a deep stack for deep files.
  LargeStackThread thread;
  std::string error;
  if (!thread.Start(cut, &error)) keep = entries->size();
  thread.Join();
  if (keep == entries->size()) return;
  if (!dryRun && !CutRecord(record, (*entries)[keep].begin, &error)) {
    lines->push_back(
        {true, Formatted("Couldn't write to anonymous_record.csv: %s",
                         error.c_str())});
  }
  entries->resize(keep);
}

EarlierRun FinishEarlierRun(const CString& folder,
                            const std::vector<RecordEntry>& entries,
                            const std::set<std::string>& listed, bool dryRun) {
  EarlierRun result;
  const std::string path = folder.str() + kPathSeparator;
  std::vector<const RecordEntry*> candidates;
  for (const RecordEntry& entry : entries) {
    if (entry.Usable() && listed.count(entry.oldFile.str()) &&
        listed.count(entry.newFile.str()) &&
        IsRegularFile(path + entry.oldFile.str()) &&
        IsRegularFile(path + entry.newFile.str())) {
      candidates.push_back(&entry);
    }
  }
  if (candidates.empty()) return result;
  auto finish = [&] {
    for (const RecordEntry* entry : candidates) {
      const std::string& name = entry->oldFile.str();
      if (result.deleted.count(name) || result.kept.count(name)) continue;
      SourceFile original;
      if (!IsOriginalOf(folder, *entry, &original)) continue;
      const std::string file = path + name;
      const bool deleted =
          original.UnchangedAt(file) &&
          (dryRun ? DeletableFile(file.c_str()) : DeleteFileA(file.c_str()));
      if (!deleted) {
        result.lines.push_back(
            {true, Formatted("Couldn't delete old file: %s", file.c_str())});
        result.kept.insert(name);
        continue;
      }
      result.lines.push_back(
          {false, Formatted("Finishing earlier run: deleted %s (kept as %s)",
                            name.c_str(), entry->newFile.str().c_str())});
      result.deleted.insert(name);
    }
  };
  // Loading runs DCMTK, which needs a deep stack for deep files.
  LargeStackThread thread;
  std::string error;
  if (!thread.Start(finish, &error)) {
    result.lines.push_back(
        {true, Formatted("Couldn't finish earlier run: %s", error.c_str())});
  }
  thread.Join();
  return result;
}
