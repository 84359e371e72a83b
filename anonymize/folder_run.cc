#include "anonymize/folder_run.h"

#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>

#include "anonymize/dry_run.h"
#include "anonymize/earlier_run.h"
#include "anonymize/group_commit.h"
#include "anonymize/prepared_file.h"
#include "key/listed_names.h"
#include "key/record_file.h"
#include "key/recorded_files.h"
#include "pipeline/pipeline.h"
#include "platform/framework/find_file.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"
#include "text/unicode_text.h"
#include "undo/earlier_undo.h"
#include "undo/folder_undo.h"
#include "undo/undo_evidence.h"

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

bool FolderRun::TakeFolder(RecordContents* contents) {
  const CString recordPath = folder_ + kPathSeparator + "anonymous_record.csv";
  std::string reason;
  if (options_.restore && !EntryExists(recordPath.str())) {
    Error("No anonymous_record.csv to restore from in: %s",
          static_cast<LPCTSTR>(folder_));
    return false;
  }
  // An undo's evidence is read before anything changes: a file of ours, or
  // no evidence at all.
  const std::string evidence = EvidencePath(folder_);
  if (EntryExists(evidence) && !IsRegularFile(evidence)) {
    Error("anonymous_record.undo is not a regular file: %s", evidence.c_str());
    return false;
  }
  // An undo takes the record that is there; a dry run keeps no lock.
  const RecordOpen opened =
      options_.dryRun ? ProbeRecordFile(recordPath, folder_, contents, &reason)
      : options_.restore
          ? OpenExistingRecord(&record_, recordPath, contents, &reason)
          : OpenRecordFile(&record_, recordPath, contents, &reason);
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
    case RecordOpen::kUnreadable:
      Error("Couldn't read anonymous_record.csv: %s", reason.c_str());
      return false;
    case RecordOpen::kFailed:
      Error("Couldn't write to anonymous_record.csv: %s", reason.c_str());
      return false;
  }
  if (contents->cutLine > 0) {
    Progress(
        "Finishing earlier run: cut line %d of anonymous_record.csv, which "
        "was never written whole",
        contents->cutLine);
  }
  // A run relies on every line to know the copies earlier runs made: one
  // it cannot read would have it take them up again. An undo refuses that
  // line alone.
  const RecordEntry* unreadable = FirstUnreadable(contents->entries);
  if (!options_.restore && unreadable) {
    Error("%s, so no file was taken up: %s",
          static_cast<LPCTSTR>(UnreadableLine(*unreadable)),
          static_cast<LPCTSTR>(folder_));
    CloseRecordFile(&record_);
    return false;
  }
  return true;
}

void FolderRun::SayOthersLeft() {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder_ + kPathSeparator + "*", &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    const std::string path = folder_.str() + kPathSeparator + name;
    // Hidden files and the key's own are no one's data to hand over.
    if (name[0] == '.' || name == "anonymous_record.csv" ||
        name == "anonymous_record.undo" || name == "anonymous_record.keys" ||
        (name.size() >= 4 &&
         strcasecmp(name.c_str() + name.size() - 4, ".ima") == 0)) {
      continue;
    }
    if (IsFolder(path)) {
      Progress("Left as it was, a folder: %s", name.c_str());
    } else if (IsRegularFile(path)) {
      Progress("Left as it was, not an .ima file: %s", name.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool FolderRun::TakeKey(const RecordContents& contents) {
  FolderKey key;
  std::string error;
  const FolderKey::Result read = key.Read(folder_.str(), &error);
  if (read == FolderKey::kFailed) {
    Error("Couldn't read the folder's key: %s", error.c_str());
    return false;
  }
  bool lines = false;
  for (const RecordEntry& entry : contents.entries) {
    lines = lines || entry.Usable();
  }
  const ProfileOptions& wanted = options_.profile;
  if (options_.restore || (!wanted.basic && read == FolderKey::kMissing)) {
    if (read == FolderKey::kRead) key_.reset(new FolderKey(key));
    return true;
  }
  if (!wanted.basic) {
    Error("This folder is anonymized with the %s: run it with that profile: %s",
          key.options().Describe().c_str(), static_cast<LPCTSTR>(folder_));
    return false;
  }
  if (lines && read == FolderKey::kMissing) {
    Error(
        "This folder holds copies made without the DICOM Basic Profile: undo "
        "them (--restore) before a run with it: %s",
        static_cast<LPCTSTR>(folder_));
    return false;
  }
  if (lines && !(key.options() == wanted)) {
    Error(
        "This folder is anonymized with the %s: run it with the same "
        "options: %s",
        key.options().Describe().c_str(), static_cast<LPCTSTR>(folder_));
    return false;
  }
  // A folder's first run with the profile, or the first with these
  // options: its secret stays the folder's.
  if ((read == FolderKey::kMissing || !(key.options() == wanted)) &&
      !key.Make(folder_.str(), wanted, !options_.dryRun, &error)) {
    Error("Couldn't write the folder's key: %s", error.c_str());
    return false;
  }
  key_.reset(new FolderKey(key));
  return true;
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
  if (options_.profile.basic && !options_.restore) {
    Progress("Anonymizing with the %s.", options_.profile.Describe().c_str());
  }
  RecordContents contents;
  if (!TakeFolder(&contents)) return result_;
  if (!TakeKey(contents)) {
    CloseRecordFile(&record_);
    return result_;
  }
  // The record's lock keeps other runs out: what the folder holds half done
  // was left by a run or an undo that was stopped short.
  std::vector<LogLine> lines;
  const bool finished = FinishEarlierUndo(folder_, &record_, options_.dryRun,
                                          key(), &contents, &lines, &reason);
  CutUnnamedLines(folder_, &record_, options_.dryRun, key(), &contents, &lines);
  for (const LogLine& line : lines) Add(line);
  if (!finished) {
    Error("Couldn't write to anonymous_record.csv: %s", reason.c_str());
    CloseRecordFile(&record_);
    return result_;
  }
  if (options_.restore) {
    UndoFolder(this, &folderHandle, contents);
  } else {
    Anonymize(&folderHandle, contents);
  }
  if (!result_.started) {
    CloseRecordFile(&record_);
    return result_;
  }

  if (!options_.restore) SayOthersLeft();
  if (result_.leftAlone > 0) {
    Progress("Left %d file(s) that an earlier run anonymized.",
             result_.leftAlone);
  }
  if (result_.mayShowText > 0) {
    Progress(
        "%d file(s) may show text in their pixels, which the profile does "
        "not remove.",
        result_.mayShowText);
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
                          const RecordContents& contents) {
  const std::vector<RecordEntry>& entries = contents.entries;
  std::vector<CString> names;
  if (!List(&names)) return;
  const ListedNames listed(names);
  EarlierRun earlier =
      FinishEarlierRun(folder_, entries, listed, options_.dryRun, key());
  for (const LogLine& line : earlier.lines) Add(line);
  result_.failed += static_cast<int>(earlier.kept.size());
  if (!options_.dryRun) {
    RemoveLeftoverTempFiles(folder_.str());
    if (key()) RemoveLeftoverTempFiles(KeysFolder(folder_.str()));
  }
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
    if (!allSeen && entry.Usable()) {
      unseen[CanonicalText(entry.newFile.str())] = &entry;
    }
  }
  StartCount(names.size());
  GroupCommit commit(folder_, &record_, contents, folderHandle);
  DryRunCommit dryCommit(folder_, entries, earlier.deleted);
  Pipeline pipeline(names.size(), Workers(names.size()), stopped_);
  size_t sayChangedAfter = 0;  // files of the group that noticed it
  RunPipeline(
      &pipeline,
      [&](size_t i, FileJob* job) {
        job->fileName = names[i];
        StartFile(folder_, job);
        return true;
      },
      [&](size_t, FileJob* job) {
        const auto copy = unseen.find(CanonicalText(job->fileName.str()));
        if (copy != unseen.end() &&
            IsCopyOf(job->fullPath.str(), *copy->second)) {
          job->lines.clear();
          job->leftAlone = true;
          return;
        }
        PrepareFile(folder_, options_.dryRun, key(), job);
      },
      [&](FileJob* const* jobs, size_t count) {
        if (options_.dryRun) {
          return dryCommit.Commit(jobs, count, &result_.modified);
        }
        const bool changed = commit.RecordChanged();
        count = commit.Commit(jobs, count, &result_.modified);
        // Said after the group's files; whoever changed the record may
        // still be at work on it, so no more are taken up.
        if (commit.RecordChanged() && !changed) {
          sayChangedAfter = count;
          Stop();
        }
        return count;
      },
      [&](FileJob* job) {
        result_.leftAlone += job->leftAlone;
        result_.mayShowText += job->mayShowText;
        if (sayChangedAfter > 0 && --sayChangedAfter == 0) {
          Error(
              "anonymous_record.csv was changed by another program during "
              "the run; this run's lines were written to it again, and the "
              "run stopped: %s",
              (folder_ + kPathSeparator + "anonymous_record.csv")
                  .str()
                  .c_str());
        }
      });
}
