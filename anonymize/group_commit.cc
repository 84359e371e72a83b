#include "anonymize/group_commit.h"

#include <string>
#include <vector>

#include "anonymize/record_file.h"
#include "platform/delete_file.h"

namespace {

// True when `name` is one of the numbered names NumberedFileName gives for
// `anonymousName` and `extension`.
bool IsNumberedName(const std::string& name, const std::string& anonymousName,
                    const std::string& extension) {
  if (name.size() < anonymousName.size() + extension.size() ||
      name.compare(0, anonymousName.size(), anonymousName) != 0 ||
      name.compare(name.size() - extension.size(), extension.size(),
                   extension) != 0) {
    return false;
  }
  std::string number =
      name.substr(anonymousName.size(),
                  name.size() - anonymousName.size() - extension.size());
  if (number.empty()) return true;
  if (number.size() < 2 || number[0] != '_' || number[1] == '0') return false;
  return number.find_first_not_of("0123456789", 1) == std::string::npos;
}

}  // namespace

size_t GroupCommit::Commit(FileJob* const* jobs, size_t count, int* modified) {
  SyncCopies(jobs, count);
  // A run of one file at a time names each copy after the originals before
  // it are gone: a copy that could take the name of such an original waits
  // for the next group.
  std::vector<const FileJob*> published;
  auto waits = [&](const FileJob* job) {
    for (const FileJob* earlier : published) {
      if (IsNumberedName(earlier->fileName.str(), job->anonymousName.str(),
                         job->extension.str())) {
        return true;
      }
    }
    return false;
  };
  for (size_t i = 0; i < count; ++i) {
    if (!jobs[i]->ready) continue;
    if (waits(jobs[i])) {
      count = i;
      break;
    }
    if (Publish(jobs[i])) published.push_back(jobs[i]);
  }
  SyncNames(jobs, count);
  Record(jobs, count);
  DeleteOriginals(jobs, count, modified);
  return count;
}

void GroupCommit::SyncCopies(FileJob* const* jobs, size_t count) {
  size_t unsynced = 0;
  FileJob* only = nullptr;
  for (size_t i = 0; i < count; ++i) {
    if (jobs[i]->ready && !jobs[i]->synced) {
      ++unsynced;
      only = jobs[i];
    }
  }
  if (unsynced == 0) return;
  // One copy is flushed alone; more, with their whole file system at once,
  // which costs about as much as one.
  std::string error;
  bool synced = unsynced == 1 ? SyncFile(only->tempPath, &error)
                              : folderHandle_->SyncFileSystem(&error);
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready || job->synced) continue;
    if (synced) {
      job->synced = true;
    } else {
      job->AddError("Couldn't save new file: %s",
                    static_cast<LPCTSTR>(job->MeantPath(folder_)));
      RemoveFile(job->tempPath);
      job->ready = false;
    }
  }
}

bool GroupCommit::Publish(FileJob* job) {
  std::string error;
  auto claim = [&](const CString& name) {
    return PublishNoReplace(job->tempPath, folder_.str() + "/" + name.str(),
                            &error);
  };
  if (names_.ClaimFirstFree(job->anonymousName, job->extension, claim,
                            &job->newName)) {
    return true;
  }
  job->AddError("Couldn't save new file: %s",
                static_cast<LPCTSTR>(job->MeantPath(folder_)));
  RemoveFile(job->tempPath);
  job->ready = false;
  return false;
}

void GroupCommit::Withdraw(FileJob* job) {
  RemoveFile(folder_.str() + "/" + job->newName.str());
  names_.Gone(job->newName.str());
  job->ready = false;
}

void GroupCommit::SyncNames(FileJob* const* jobs, size_t count) {
  bool any = false;
  for (size_t i = 0; i < count; ++i) any = any || jobs[i]->ready;
  std::string error;
  if (!any || folderHandle_->SyncEntries(&error)) return;
  // Named but not known to be on disk: take them back.
  for (size_t i = 0; i < count; ++i) {
    if (!jobs[i]->ready) continue;
    Withdraw(jobs[i]);
    jobs[i]->AddError("Couldn't save new file: %s",
                      static_cast<LPCTSTR>(jobs[i]->MeantPath(folder_)));
  }
}

void GroupCommit::Record(FileJob* const* jobs, size_t count) {
  std::string lines;
  for (size_t i = 0; i < count; ++i) {
    const FileJob* job = jobs[i];
    if (job->ready) {
      lines += RecordLine(job->fileName, job->newName, job->patientName,
                          job->anonymousName);
    }
  }
  std::string error;
  if (lines.empty() || AppendRecordLines(record_, lines, &error)) return;
  // The way back is not on disk: the originals stay, their copies go.
  for (size_t i = 0; i < count; ++i) {
    if (!jobs[i]->ready) continue;
    jobs[i]->AddError("Couldn't write to anonymous_record.csv: %s",
                      error.c_str());
    Withdraw(jobs[i]);
  }
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
