#include "anonymize/earlier_run.h"

#include <strings.h>

#include "anonymize/anonymous_name.h"
#include "anonymize/element_value.h"
#include "anonymize/record_file.h"
#include "anonymize/same_dataset.h"
#include "anonymize/verified_save.h"
#include "dcmtk/dcmdata/dcdeftag.h"
#include "platform/delete_file.h"
#include "platform/durable_file.h"
#include "platform/large_stack.h"

namespace {

// Names a record gives are input like any other: only a plain ".ima" name
// of the folder itself is ever looked at.
bool PlainImageName(const CString& name) {
  const std::string& text = name.str();
  return UsableAsFileName(name) && text != "." && text != ".." &&
         text.size() > 4 &&
         strcasecmp(text.c_str() + text.size() - 4, ".ima") == 0;
}

bool Usable(const RecordEntry& entry) {
  return entry.parsed && PlainImageName(entry.oldFile) &&
         PlainImageName(entry.newFile);
}

class Finisher {
 public:
  Finisher(const CString& folder, CFile* record, bool dryRun)
      : folder_(folder), record_(record), dryRun_(dryRun) {}

  EarlierRun Finish() {
    std::vector<RecordEntry> entries;
    std::string error;
    if (!ReadRecordEntries(*record_, &entries, &error)) {
      Error("Couldn't read anonymous_record.csv: %s", error.c_str());
      return std::move(result_);
    }
    CutUnnamed(&entries);
    std::vector<const RecordEntry*> candidates;
    for (const RecordEntry& entry : entries) {
      if (Usable(entry) && IsRegularFile(Path(entry.oldFile)) &&
          IsRegularFile(Path(entry.newFile))) {
        candidates.push_back(&entry);
      }
    }
    if (candidates.empty()) return std::move(result_);
    // Loading runs DCMTK, which needs a deep stack for deep files.
    LargeStackThread thread;
    if (!thread.Start([&] { FinishCopied(candidates); }, &error)) {
      Error("Couldn't finish earlier run: %s", error.c_str());
    }
    thread.Join();
    return std::move(result_);
  }

 private:
  std::string Path(const CString& name) const {
    return folder_.str() + "/" + name.str();
  }

  void Error(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    va_list args;
    va_start(args, format);
    CString message;
    message.FormatV(format, args);
    va_end(args);
    result_.lines.push_back({true, message});
  }

  // The record's last lines whose copies never got their names, when the
  // run that wrote them left temporary files: it was stopped after them.
  void CutUnnamed(std::vector<RecordEntry>* entries) {
    if (entries->empty() || !HasLeftoverTempFiles(folder_.str())) return;
    size_t keep = entries->size();
    while (keep > 0) {
      const RecordEntry& entry = (*entries)[keep - 1];
      if (!Usable(entry) ||
          ProbeName(Path(entry.newFile)) != PublishResult::kDone ||
          !IsRegularFile(Path(entry.oldFile))) {
        break;
      }
      --keep;
    }
    if (keep == entries->size()) return;
    std::string error;
    if (!dryRun_ && !CutRecord(record_, (*entries)[keep].begin, &error)) {
      Error("Couldn't write to anonymous_record.csv: %s", error.c_str());
    }
    entries->resize(keep);
  }

  // True when `original` holds the dataset of `entry`'s copy with the
  // patient name the entry gives.
  bool IsOriginalOf(const RecordEntry& entry, SourceFile* original) {
    std::string originalBytes, copyBytes, reason;
    SourceFile copy;
    DcmFileFormat originalFile, copyFile;
    CString originalName, copyName;
    return OpenAndLoad(Path(entry.oldFile), original, &originalBytes,
                       &originalFile, &reason) &&
           OpenAndLoad(Path(entry.newFile), &copy, &copyBytes, &copyFile,
                       &reason) &&
           ReadFirstValue(originalFile.getDataset(), DCM_PatientName,
                          &originalName) &&
           ReadFirstValue(copyFile.getDataset(), DCM_PatientName, &copyName) &&
           // The record keeps a name up to its first zero byte.
           std::string(static_cast<LPCTSTR>(originalName)) ==
               entry.oldName.str() &&
           copyName.str() == entry.newName.str() &&
           SameButPatientName(&originalFile, &copyFile);
  }

  void FinishCopied(const std::vector<const RecordEntry*>& candidates) {
    for (const RecordEntry* entry : candidates) {
      const std::string& name = entry->oldFile.str();
      if (result_.deleted.count(name) || result_.kept.count(name)) continue;
      SourceFile original;
      if (!IsOriginalOf(*entry, &original)) continue;
      const std::string path = Path(entry->oldFile);
      const bool deleted =
          original.UnchangedAt(path) &&
          (dryRun_ ? DeletableFile(path.c_str()) : DeleteFileA(path.c_str()));
      original.Close();
      if (!deleted) {
        Error("Couldn't delete old file: %s", path.c_str());
        result_.kept.insert(name);
        continue;
      }
      CString line;
      line.Format("Finishing earlier run: deleted %s (kept as %s)",
                  static_cast<LPCTSTR>(entry->oldFile),
                  static_cast<LPCTSTR>(entry->newFile));
      result_.lines.push_back({false, line});
      result_.deleted.insert(name);
    }
  }

  CString folder_;
  CFile* record_;
  bool dryRun_;
  EarlierRun result_;
};

}  // namespace

EarlierRun FinishEarlierRun(const CString& folder, CFile* record, bool dryRun) {
  return Finisher(folder, record, dryRun).Finish();
}
