#include "anonymize/dry_run.h"

#include "platform/framework/delete_file.h"
#include "platform/system/durable_file.h"
#include "platform/system/path_separator.h"

namespace {

constexpr size_t kMaxNameBytes = 255;  // what a folder entry can hold

}  // namespace

DryRunCommit::DryRunCommit(const CString& folder,
                           const std::vector<RecordEntry>& entries,
                           const std::set<std::string>& gone)
    : folder_(folder),
      writable_(CanCreateFilesIn(folder.str())),
      deleted_(gone) {
  names_.Reserve(entries);
}

bool DryRunCommit::Taken(const std::string& name) const {
  if (written_.count(name)) return true;
  return !deleted_.count(name) &&
         EntryExists(folder_.str() + kPathSeparator + name);
}

void DryRunCommit::Name(FileJob* job) {
  // What publishing the copy would do, as the folder would be by then.
  auto claim = [&](const CString& name) {
    if (name.str().size() > kMaxNameBytes) return PublishResult::kFailed;
    if (Taken(name.str())) return PublishResult::kNameTaken;
    written_.insert(name.str());
    return PublishResult::kDone;
  };
  if (writable_ && names_.ClaimFirstFree(job->anonymousName, job->extension,
                                         claim, &job->newName)) {
    CString line;
    line.Format("  -> %s", static_cast<LPCTSTR>(job->newName));
    job->lines.push_back({false, line});
    return;
  }
  job->SaveFailed(folder_);
  job->ready = false;
}

size_t DryRunCommit::Commit(FileJob* const* jobs, size_t count, int* modified) {
  for (size_t i = 0; i < count; ++i) {
    FileJob* job = jobs[i];
    if (!job->ready) continue;
    Name(job);
    if (!job->ready) continue;
    ++*modified;
    job->ready = false;
    if (job->source.UnchangedAt(job->fullPath.str()) &&
        DeletableFile(job->fullPath)) {
      deleted_.insert(job->fileName.str());
      names_.Gone(job->fileName.str());
    } else {
      job->AddError("Couldn't delete old file: %s",
                    static_cast<LPCTSTR>(job->fullPath));
    }
  }
  return count;
}
