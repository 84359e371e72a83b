#include "anonymize/group_commit.h"

#include <set>
#include <string>
#include <vector>

#include "key/record_file.h"
#include "pipeline/copy_flush.h"
#include "platform/framework/delete_file.h"
#include "platform/system/path_separator.h"
#include "profile/copy_key.h"
#include "profile/folder_key.h"
#include "text/anonymous_name.h"

GroupCommit::GroupCommit(const CString& folder, CFile* record,
                         const RecordContents& contents,
                         FolderHandle* folderHandle)
    : folder_(folder),
      recordPath_(folder.str() + kPathSeparator + "anonymous_record.csv"),
      record_(record),
      format_(contents.format),
      length_(contents.length),
      folderHandle_(folderHandle) {
  names_.Reserve(contents.entries);
}

size_t GroupCommit::Commit(FileJob* const* jobs, size_t count, int* modified) {
  SyncCopies(folder_, jobs, count, folderHandle_);
  count = Name(jobs, count);
  if (Record(jobs, count)) {
    Publish(jobs, count);
    SyncNames(jobs, count);
    DeleteOriginals(jobs, count, modified);
  }
  return count;
}

void GroupCommit::Fail(FileJob* job, const std::string& recordError) {
  if (recordError.empty()) {
    job->SaveFailed(folder_);
  } else {
    job->AddError("Couldn't write to anonymous_record.csv: %s",
                  recordError.c_str());
  }
  RemoveFile(job->named ? folder_.str() + kPathSeparator + job->newName.str()
                        : job->tempPath);
  if (!job->keyPath.empty()) RemoveFile(job->keyPath);
  if (!job->newName.IsEmpty()) names_.Gone(job->newName.str());
  job->named = false;
  job->ready = false;
}

void GroupCommit::Abandon(FileJob* const* jobs, size_t count,
                          const std::string& recordError) {
  if (CutRecord(record_, lines_)) length_ = lines_;
  written_.resize(groupWritten_);
  for (size_t i = 0; i < count; ++i) {
    if (jobs[i]->ready) Fail(jobs[i], recordError);
  }
}

std::string GroupCommit::Lines(FileJob* const* jobs, size_t count) const {
  std::string lines;
  for (size_t i = 0; i < count; ++i) {
    const FileJob* job = jobs[i];
    if (job->ready) {
      lines += RecordLine(job->fileName, job->newName, job->patientName,
                          job->anonymousName, format_);
    }
  }
  return lines;
}

bool GroupCommit::Append(const std::string& lines, std::string* error) {
  if (!KeepRecord(error) ||
      !AppendRecordLines(record_, lines, &lines_, error)) {
    return false;
  }
  length_ = lines_ + lines.size();
  groupWritten_ = written_.size();
  written_ += lines;
  return true;
}

bool GroupCommit::KeepRecord(std::string* error) {
  if (RecordUnchanged(*record_, recordPath_.c_str(), length_)) return true;
  changed_ = true;
  // The lines the run wrote, each once more, unless the record as it is
  // now already holds it: in the file its name now gives, or in this one
  // as another program left it.
  CFile replacement;
  RecordContents now;
  CFile* current = record_;
  if (!record_->NamedBy(recordPath_.c_str())) {
    if (OpenExistingRecord(&replacement, recordPath_.c_str(), &now, error) !=
        RecordOpen::kOpened) {
      if (error->empty())
        *error = "another program holds the file that replaced it";
      return false;
    }
    current = &replacement;
  } else {
    std::string text;
    if (!ReadRecordText(*record_, &text, error)) return false;
    ParseRecordText(text, &now.entries, &now.format);
  }
  std::set<std::string> held;
  for (const RecordEntry& entry : now.entries) {
    if (entry.parsed) held.insert(entry.Key());
  }
  std::vector<RecordEntry> ours;
  ParseRecordText(written_, &ours);
  std::string missing;
  for (const RecordEntry& entry : ours) {
    // Written in the layout of the record as it is now.
    if (!held.count(entry.Key())) {
      missing += RecordLine(entry.oldFile, entry.newFile, entry.oldName,
                            entry.newName, now.format);
    }
  }
  std::uint64_t start = 0;
  if (!missing.empty() && !AppendRecordLines(current, missing, &start, error)) {
    return false;
  }
  if (current != record_) *record_ = std::move(replacement);
  format_ = now.format;
  written_.clear();
  for (const RecordEntry& entry : ours) {
    written_ += RecordLine(entry.oldFile, entry.newFile, entry.oldName,
                           entry.newName, format_);
  }
  return record_->SeekToEnd(&length_, error);
}

size_t GroupCommit::Name(FileJob* const* jobs, size_t count) {
  // A run of one file at a time names each copy after the originals before
  // it are gone: a copy that could take the name of such an original waits
  // for the next group.
  std::vector<const FileJob*> named;
  auto waits = [&](const FileJob* job) {
    for (const FileJob* earlier : named) {
      if (IsNumberedName(earlier->fileName, job->anonymousName,
                         job->extension)) {
        return true;
      }
    }
    return false;
  };
  auto free = [&](const CString& name) {
    return ProbeName(folder_.str() + kPathSeparator + name.str());
  };
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready) continue;
    if (waits(job)) return i;
    if (names_.ClaimFirstFree(job->anonymousName, job->extension, free,
                              &job->newName)) {
      named.push_back(job);
    } else {
      Fail(job, "");
    }
  }
  return count;
}

bool GroupCommit::Record(FileJob* const* jobs, size_t count) {
  const std::string lines = Lines(jobs, count);
  std::string error;
  if (lines.empty()) return false;
  if (Append(lines, &error)) return true;
  // The way back is not on disk: the originals stay, their copies go.
  for (size_t i = 0; i < count; ++i) {
    if (jobs[i]->ready) Fail(jobs[i], error);
  }
  return false;
}

void GroupCommit::Publish(FileJob* const* jobs, size_t count) {
  bool renamed = false;  // a copy got another name than its line's
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready) continue;
    // With the profile, the copy's key takes its name first: no named copy
    // is ever without its key.
    auto claim = [&](const CString& name) {
      if (!job->keyPath.empty()) {
        const std::string key = CopyKeyPath(folder_.str(), name.str());
        if (!ReplaceFile(job->keyPath, key, nullptr, nullptr)) {
          return PublishResult::kFailed;
        }
        job->keyPath = key;
      }
      return PublishNoReplace(job->tempPath,
                              folder_.str() + kPathSeparator + name.str());
    };
    const CString meant = job->newName;
    if (claim(meant) == PublishResult::kDone) {
      job->named = true;
      continue;
    }
    // Something outside the run took the name since it was chosen, or it
    // cannot be had.
    renamed = true;
    if (names_.ClaimFirstFree(job->anonymousName, job->extension, claim,
                              &job->newName)) {
      job->named = true;
    } else {
      job->newName = meant;
      Fail(job, "");
    }
  }
  if (!renamed) return;
  // The group's lines must name what was written.
  std::string error;
  if (!CutRecord(record_, lines_, &error)) {
    Abandon(jobs, count, error);
    return;
  }
  length_ = lines_;
  written_.resize(groupWritten_);
  if (!Append(Lines(jobs, count), &error)) Abandon(jobs, count, error);
}

void GroupCommit::SyncNames(FileJob* const* jobs, size_t count) {
  bool any = false, keys = false;
  for (size_t i = 0; i < count; ++i) {
    any = any || jobs[i]->ready;
    keys = keys || (jobs[i]->ready && !jobs[i]->keyPath.empty());
  }
  // The copies' keys have their names in the keys' folder.
  if (!any || (folderHandle_->SyncEntries() && (!keys || SyncKeysFolder()))) {
    return;
  }
  // Named but not known to be on disk: take them back, lines and all.
  Abandon(jobs, count, "");
}

bool GroupCommit::SyncKeysFolder() {
  if (!keysHandleOpen_) {
    std::string error;
    keysHandleOpen_ = keysHandle_.Open(KeysFolder(folder_.str()), &error) ==
                      FolderHandle::kOpened;
  }
  return keysHandleOpen_ && keysHandle_.SyncEntries();
}

void GroupCommit::DeleteOriginals(FileJob* const* jobs, size_t count,
                                  int* modified) {
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready) continue;
    ++*modified;
    job->ready = false;
    if (job->source.UnchangedAt(job->fullPath.str()) &&
        DeleteFileA(job->fullPath)) {
      names_.Gone(job->fileName.str());
    } else {
      job->AddError("Couldn't delete old file: %s",
                    static_cast<LPCTSTR>(job->fullPath));
    }
  }
}
