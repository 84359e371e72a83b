#include "anonymize/dry_run.h"

#include "anonymize/anonymous_name.h"
#include "platform/delete_file.h"
#include "platform/durable_file.h"

namespace {

constexpr int kMaxNameTries = 100000;  // as a run tries
constexpr size_t kMaxNameBytes = 255;  // what a folder entry can hold

}  // namespace

DryRunCommit::DryRunCommit(const CString& folder)
    : folder_(folder), writable_(CanCreateFilesIn(folder.str())) {}

bool DryRunCommit::Taken(const std::string& name) const {
  if (written_.count(name)) return true;
  return !deleted_.count(name) && EntryExists(folder_.str() + "/" + name);
}

void DryRunCommit::Name(FileJob* job) {
  const std::string key =
      job->anonymousName.str() + '\0' + job->extension.str();
  for (int tries = 0; writable_ && tries < kMaxNameTries; ++tries) {
    int number = names_.FirstUnknown(key);
    job->newName = NumberedFileName(job->anonymousName, job->extension, number);
    const std::string& name = job->newName.str();
    if (name.size() > kMaxNameBytes) break;
    names_.Taken(key, number, name);
    if (Taken(name)) continue;
    written_.insert(name);
    CString line;
    line.Format("  -> %s", static_cast<LPCTSTR>(job->newName));
    job->lines.push_back({false, line});
    return;
  }
  job->AddError("Couldn't save new file: %s",
                static_cast<LPCTSTR>(job->MeantPath(folder_)));
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
