#include "anonymize/folder_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "anonymize/dry_run.h"
#include "anonymize/earlier_run.h"
#include "anonymize/group_commit.h"
#include "anonymize/pipeline.h"
#include "anonymize/prepared_file.h"
#include "anonymize/record_file.h"
#include "anonymize/restore_commit.h"
#include "anonymize/restored_file.h"
#include "anonymize/toolkit_messages.h"
#include "anonymize/undo_evidence.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "platform/system/durable_file.h"
#include "platform/framework/find_file.h"
#include "platform/system/path_separator.h"

void FolderRun::Add(const LogLine& line) {
  if (line.error) ++result_.errorLines;
  log_->Add(line);
}

void FolderRun::AddV(bool error, const char* format, va_list args) {
  LogLine line{error, CString()};
  line.message.FormatV(format, args);
  Add(line);
}

void FolderRun::Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(false, format, args);
  va_end(args);
}

void FolderRun::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(true, format, args);
  va_end(args);
}

bool FolderRun::List(std::vector<CString>* names) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder_ + kPathSeparator + "*.ima", &found);
  if (search == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return true;
    ListFailed(strerror(errno));
    return false;
  }
  do {
    names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

void FolderRun::ListFailed(const char* reason) {
  Error("Couldn't list folder: %s (%s)", static_cast<LPCTSTR>(folder_), reason);
}

int FolderRun::Workers(size_t files) const {
  int workers = options_.jobs;
  if (workers <= 0) {
    workers =
        static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  return static_cast<int>(
      std::min<size_t>(workers, std::max<size_t>(files, 1)));
}

bool FolderRun::TakeFolder(std::vector<RecordEntry>* entries) {
  const CString recordPath = folder_ + kPathSeparator + "anonymous_record.csv";
  std::string reason;
  if (options_.restore && !EntryExists(recordPath.str())) {
    Error("No anonymous_record.csv to restore from in: %s",
          static_cast<LPCTSTR>(folder_));
    return false;
  }
  // An undo takes the record that is there; a dry run keeps no lock.
  const RecordOpen opened =
      options_.dryRun    ? ProbeRecordFile(recordPath, folder_)
      : options_.restore ? OpenExistingRecord(&record_, recordPath)
                         : OpenRecordFile(&record_, recordPath, &reason);
  switch (opened) {
    case RecordOpen::kOpened:
      break;
    case RecordOpen::kOpenFailed:
      Error(
          "Couldn't create/open anonymous_record.csv to store original "
          "patient names in.\nCheck folder permissions in: %s\nQuitting...",
          static_cast<LPCTSTR>(folder_));
      return false;
    case RecordOpen::kBusy:
      Error("Another run is using this folder: %s",
            static_cast<LPCTSTR>(folder_));
      return false;
    case RecordOpen::kFailed:
      Error("Couldn't write to anonymous_record.csv: %s", reason.c_str());
      return false;
  }
  // A dry run reads what earlier runs recorded, if anything, unlocked.
  if (options_.dryRun && !record_.IsOpen()) {
    record_.Open(recordPath, CFile::modeRead);
  }
  if (record_.IsOpen() && !ReadRecordEntries(record_, entries, &reason)) {
    Error("Couldn't read anonymous_record.csv: %s", reason.c_str());
    CloseRecordFile(&record_);
    return false;
  }
  return true;
}

void FolderRun::Stop() {
  stopped_ = true;
  std::lock_guard<std::mutex> lock(wakeMutex_);
  if (wake_) wake_();
}

void FolderRun::RunPipeline(
    Pipeline* pipeline, const std::function<bool(size_t, FileJob*)>& start,
    const std::function<void(size_t, FileJob*)>& prepare,
    const std::function<size_t(FileJob* const*, size_t)>& commit,
    const std::function<void(FileJob*)>& done) {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    wake_ = [pipeline] { pipeline->Wake(); };
  }
  // DCMTK's dictionary is loaded once, here, and only read by the workers.
  dcmDataDict.isDictionaryLoaded();
  pipeline->Run(
      [&](size_t i, FileJob* job) {
        ToolkitMessages messages;
        if (start(i, job)) prepare(i, job);
        for (const ToolkitMessages::Message& message : messages.Take()) {
          CString line;
          line.Format(
              "%s in file: %s (%s)", message.error ? "Error" : "Warning",
              static_cast<LPCTSTR>(job->fullPath), message.text.c_str());
          job->toolkitLines.push_back(line);
        }
      },
      commit,
      [&](size_t i, FileJob* job, const std::string& error) {
        if (start(i, job)) {
          job->AddError("Couldn't load file: %s (%s)",
                        static_cast<LPCTSTR>(job->fullPath), error.c_str());
        }
      },
      [&](FileJob* job) {
        for (const LogLine& line : job->lines) Add(line);
        for (const CString& line : job->toolkitLines) log_->Toolkit(line);
        if (job->failed) ++result_.failed;
        done(job);
        log_->Count(++through_, total_);
      });
  std::lock_guard<std::mutex> lock(wakeMutex_);
  wake_ = nullptr;
  result_.notTakenUp += static_cast<int>(pipeline->NotTakenUp());
}

RunResult FolderRun::Run() {
  result_ = RunResult();
  through_ = total_ = 0;
  if (folder_.GetLength() < 2) {
    Error("No folder selected.");
    return result_;
  }
  // Opened before any copy is written, so that a flush of the whole file
  // system reports every write that failed since; and before the record,
  // so that a folder that cannot be read gains nothing. A missing folder
  // is told by the record, which cannot be created in it.
  FolderHandle folderHandle;
  std::string reason;
  const FolderHandle::OpenResult opened =
      folderHandle.Open(folder_.str(), &reason);
  if (opened == FolderHandle::kFailed ||
      (opened == FolderHandle::kMissing && options_.restore)) {
    ListFailed(opened == FolderHandle::kFailed ? reason.c_str()
                                               : "No such file or directory");
    return result_;
  }
  std::vector<RecordEntry> entries;
  if (!TakeFolder(&entries)) return result_;
  // The record's lock keeps other runs out: what the folder holds half done
  // was left by a run that was stopped short.
  std::vector<LogLine> lines;
  CutUnnamedLines(folder_, &record_, options_.dryRun, &entries, &lines);
  for (const LogLine& line : lines) Add(line);
  if (options_.restore) {
    Restore(&folderHandle, entries);
  } else {
    Anonymize(&folderHandle, entries);
  }
  if (!result_.started) {
    CloseRecordFile(&record_);
    return result_;
  }

  if (result_.leftAlone > 0) {
    Progress("Left %d file(s) that an earlier run anonymized.",
             result_.leftAlone);
  }
  if (stopped_) {
    result_.stopped = true;
    Progress("Stopped: %d file(s) not taken up.", result_.notTakenUp);
  }
  std::string closeError;
  const bool closed = CloseRecordFile(&record_, &closeError);
  const char* done = options_.restore ? "restored" : "modified";
  if (options_.dryRun) {
    Progress("Dry run: %d file(s) would be %s.", result_.modified, done);
    return result_;
  }
  if (!closed) {
    Error("Couldn't close anonymous_record.csv: %s", closeError.c_str());
  }
  Progress("Done. %d file(s) %s.", result_.modified, done);
  return result_;
}

void FolderRun::Anonymize(FolderHandle* folderHandle,
                          const std::vector<RecordEntry>& entries) {
  std::vector<CString> names;
  if (!List(&names)) return;
  std::set<std::string> listed;
  for (const CString& name : names) listed.insert(name.str());
  EarlierRun earlier =
      FinishEarlierRun(folder_, entries, listed, options_.dryRun);
  for (const LogLine& line : earlier.lines) Add(line);
  result_.failed += static_cast<int>(earlier.kept.size());
  if (!options_.dryRun) RemoveLeftoverTempFiles(folder_.str());
  result_.started = true;
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const CString& name) {
                               return earlier.deleted.count(name.str()) ||
                                      earlier.kept.count(name.str());
                             }),
              names.end());
  // Copies earlier runs recorded, still as their lines say, are left alone:
  // looked at ahead of the others, a few at a time, and taken out.
  std::vector<char> copies;
  const bool allSeen = FindRecordedCopies(folder_, names, entries,
                                          Workers(names.size()), &copies);
  std::vector<CString> others;
  for (size_t i = 0; i < names.size(); ++i) {
    if (copies[i]) {
      ++result_.leftAlone;
    } else {
      others.push_back(names[i]);
    }
  }
  names.swap(others);
  if (names.empty()) return;
  // Where not all could be looked at, each is looked at as it comes.
  std::map<std::string, const RecordEntry*> unseen;
  for (const RecordEntry& entry : entries) {
    if (!allSeen && entry.Usable()) unseen[entry.newFile.str()] = &entry;
  }
  total_ = names.size();
  log_->Count(0, total_);
  GroupCommit commit(folder_, &record_, folderHandle);
  DryRunCommit dryCommit(folder_, earlier.deleted);
  Pipeline pipeline(names.size(), Workers(names.size()), stopped_);
  RunPipeline(
      &pipeline,
      [&](size_t i, FileJob* job) {
        job->fileName = names[i];
        StartFile(folder_, job);
        return true;
      },
      [&](size_t, FileJob* job) {
        const auto copy = unseen.find(job->fileName.str());
        if (copy != unseen.end() &&
            IsCopyOf(job->fullPath.str(), *copy->second)) {
          job->lines.clear();
          job->leftAlone = true;
          return;
        }
        PrepareFile(folder_, options_.dryRun, job);
      },
      [&](FileJob* const* jobs, size_t count) {
        return options_.dryRun
                   ? dryCommit.Commit(jobs, count, &result_.modified)
                   : commit.Commit(jobs, count, &result_.modified);
      },
      [&](FileJob* job) { result_.leftAlone += job->leftAlone; });
}

void FolderRun::Restore(FolderHandle* folderHandle,
                        const std::vector<RecordEntry>& entries) {
  if (!options_.dryRun) RemoveLeftoverTempFiles(folder_.str());
  result_.started = true;
  UndoEvidence evidence(folder_);
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
  total_ = 0;
  for (const std::vector<size_t>& pass : passes) total_ += pass.size();
  log_->Count(0, total_);
  UndoState dryState;
  RestoreCommit commit(folder_, folderHandle, &evidence,
                       options_.dryRun ? &dryState : nullptr);
  std::vector<bool> done(entries.size(), false);
  for (const std::vector<size_t>& pass : passes) {
    if (stopped_) {
      result_.notTakenUp += static_cast<int>(pass.size());
      continue;
    }
    Pipeline pipeline(pass.size(), Workers(pass.size()), stopped_);
    size_t committed = 0;
    RunPipeline(
        &pipeline,
        [&](size_t i, FileJob* job) {
          return StartRestore(folder_, entries[pass[i]], job);
        },
        [&](size_t i, FileJob* job) {
          PrepareRestore(folder_, options_.dryRun ? &dryState : nullptr,
                         evidence, entries[pass[i]], job);
        },
        [&](FileJob* const* jobs, size_t count) {
          return commit.Commit(jobs, count, &result_.modified);
        },
        [&](FileJob* job) { done[pass[committed++]] = job->lineDone; });
  }
  for (size_t k = 0; k < entries.size(); ++k) done[k] = done[sameAs[k]];
  if (options_.dryRun) return;
  std::string error;
  if (std::count(done.begin(), done.end(), true) > 0 &&
      !RewriteRecord(folder_, &record_, entries, done, &error)) {
    Error("Couldn't write to anonymous_record.csv: %s", error.c_str());
    return;
  }
  // The record no longer holds what the evidence tells of.
  evidence.Remove();
}
