#include "anonymize/earlier_run.h"

#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <map>
#include <memory>
#include <utility>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dicom/file_head.h"
#include "dicom/same_dataset.h"
#include "dicom/verified_save.h"
#include "key/record_file.h"
#include "key/recorded_files.h"
#include "platform/framework/delete_file.h"
#include "platform/system/durable_file.h"
#include "platform/system/large_stack.h"
#include "platform/system/path_separator.h"
#include "text/dataset_text.h"

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

void CutUnnamedLines(const CString& folder, CFile* record, bool dryRun,
                     const FolderKey* key, RecordContents* contents,
                     std::vector<LogLine>* lines) {
  std::vector<RecordEntry>* entries = &contents->entries;
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
      // A copy made with the profile has a UID of its own.
      bool found = false;
      for (const std::string& uid :
           {original.instanceUid,
            key ? key->NewUid(original.instanceUid) : std::string()}) {
        const auto range = unnamed.equal_range(uid);
        for (auto copy = range.first; copy != range.second && !found; ++copy) {
          SourceFile opened;
          found = IsOriginalOf(folder, entry, &opened, copy->second, key);
        }
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
  contents->length = (*entries)[keep].begin;
  entries->resize(keep);
}

EarlierRun FinishEarlierRun(const CString& folder,
                            const std::vector<RecordEntry>& entries,
                            const ListedNames& listed, bool dryRun,
                            const FolderKey* key) {
  EarlierRun result;
  const std::string path = folder.str() + kPathSeparator;
  // Each line with its names as the folder holds them.
  std::vector<RecordEntry> candidates;
  for (const RecordEntry& entry : entries) {
    if (!entry.Usable()) continue;
    RecordEntry listedAs = entry;
    listedAs.oldFile = listed.Find(entry.oldFile.str());
    listedAs.newFile = listed.Find(entry.newFile.str());
    if (!listedAs.oldFile.IsEmpty() && !listedAs.newFile.IsEmpty() &&
        IsRegularFile(path + listedAs.oldFile.str()) &&
        IsRegularFile(path + listedAs.newFile.str())) {
      candidates.push_back(listedAs);
    }
  }
  if (candidates.empty()) return result;
  auto finish = [&] {
    for (const RecordEntry& entry : candidates) {
      const std::string& name = entry.oldFile.str();
      if (result.deleted.count(name) || result.kept.count(name)) continue;
      SourceFile original;
      if (!IsOriginalOf(folder, entry, &original, "", key)) continue;
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
                            name.c_str(), entry.newFile.str().c_str())});
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
