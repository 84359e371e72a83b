#include "anonymize/folder_run.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>
#include <thread>

#include "anonymize/dry_run.h"
#include "anonymize/earlier_run.h"
#include "anonymize/group_commit.h"
#include "anonymize/pipeline.h"
#include "anonymize/prepared_file.h"
#include "anonymize/record_file.h"
#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "platform/durable_file.h"
#include "platform/find_file.h"

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
  HANDLE search = FindFirstFileA(folder_ + "/*.ima", &found);
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

bool FolderRun::TakeFolder() {
  const CString recordPath = folder_ + "/anonymous_record.csv";
  std::string reason;
  RecordOpen opened = options_.dryRun
                          ? ProbeRecordFile(recordPath, folder_)
                          : OpenRecordFile(&record_, recordPath, &reason);
  switch (opened) {
    case RecordOpen::kOpened:
      // A dry run reads what earlier runs recorded, if anything.
      if (options_.dryRun) record_.Open(recordPath, CFile::modeRead);
      return true;
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
  return false;
}

void FolderRun::Stop() {
  stopped_ = true;
  std::lock_guard<std::mutex> lock(wakeMutex_);
  if (wake_) wake_();
}

RunResult FolderRun::Run() {
  result_ = RunResult();
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
  if (folderHandle.Open(folder_.str(), &reason) == FolderHandle::kFailed) {
    ListFailed(reason.c_str());
    return result_;
  }
  if (!TakeFolder()) return result_;
  // The record's lock keeps other runs out: what the folder holds half done
  // was left by a run that was stopped short.
  EarlierRun earlier;
  if (record_.IsOpen()) {
    earlier = FinishEarlierRun(folder_, &record_, options_.dryRun);
    for (const LogLine& line : earlier.lines) Add(line);
  }
  if (!options_.dryRun) RemoveLeftoverTempFiles(folder_.str());
  std::vector<CString> names;
  if (!List(&names)) {
    CloseRecordFile(&record_, &reason);
    return result_;
  }
  names.erase(std::remove_if(names.begin(), names.end(),
                             [&](const CString& name) {
                               return earlier.deleted.count(name.str()) ||
                                      earlier.kept.count(name.str());
                             }),
              names.end());
  result_.started = true;
  if (!names.empty()) {
    // DCMTK's dictionary is loaded once, here, and only read by the
    // workers.
    dcmDataDict.isDictionaryLoaded();
    GroupCommit commit(folder_, &record_, &folderHandle);
    DryRunCommit dryCommit(folder_, earlier.deleted);
    Pipeline pipeline(names.size(), Workers(names.size()), stopped_);
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      wake_ = [&pipeline] { pipeline.Wake(); };
    }
    pipeline.Run(
        [&](size_t i, FileJob* job) {
          job->fileName = names[i];
          PrepareFile(folder_, options_.dryRun, job);
        },
        [&](FileJob* const* jobs, size_t count) {
          return options_.dryRun
                     ? dryCommit.Commit(jobs, count, &result_.modified)
                     : commit.Commit(jobs, count, &result_.modified);
        },
        [&](size_t i, FileJob* job, const std::string& error) {
          job->fileName = names[i];
          StartFile(folder_, job);
          job->AddError("Couldn't load file: %s (%s)",
                        static_cast<LPCTSTR>(job->fullPath), error.c_str());
        },
        [&](FileJob* job) {
          for (const LogLine& line : job->lines) Add(line);
          if (job->failed) ++result_.failed;
        });
    {
      std::lock_guard<std::mutex> lock(wakeMutex_);
      wake_ = nullptr;
    }
    result_.notTakenUp = static_cast<int>(pipeline.NotTakenUp());
  }
  result_.failed += static_cast<int>(earlier.kept.size());

  if (stopped_) {
    result_.stopped = true;
    Progress("Stopped: %d file(s) not taken up.", result_.notTakenUp);
  }
  std::string closeError;
  const bool closed = CloseRecordFile(&record_, &closeError);
  if (options_.dryRun) {
    Progress("Dry run: %d file(s) would be modified.", result_.modified);
    return result_;
  }
  if (!closed) {
    Error("Couldn't close anonymous_record.csv: %s", closeError.c_str());
  }
  Progress("Done. %d file(s) modified.", result_.modified);
  return result_;
}
