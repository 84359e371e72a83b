// The commit of a dry run: works out what a run would do with each
// prepared file, in listing order, and changes nothing. Each file that
// would be anonymized gets the name a run would give it, collisions with
// the folder's files and with the run's own copies included, and a log
// line "  -> NEWNAME"; originals a run would delete count as gone for the
// names that follow.
#ifndef VEILMARK_ANONYMIZE_DRY_RUN_H_
#define VEILMARK_ANONYMIZE_DRY_RUN_H_

#include <set>
#include <string>
#include <vector>

#include "anonymize/prepared_file.h"
#include "key/name_numbers.h"
#include "key/record_text.h"

class DryRunCommit {
 public:
  // `entries`: the record's lines; `gone`: originals a run would have
  // deleted before it lists the folder.
  DryRunCommit(const CString& folder, const std::vector<RecordEntry>& entries,
               const std::set<std::string>& gone);

  // As GroupCommit::Commit, for a run that writes nothing: takes them all.
  size_t Commit(FileJob* const* jobs, size_t count, int* modified);

 private:
  bool Taken(const std::string& name) const;
  void Name(FileJob* job);

  CString folder_;
  bool writable_;  // a run could create files in the folder
  NameNumbers names_;
  std::set<std::string> written_;  // names the run would have given
  std::set<std::string> deleted_;  // originals it would have deleted
};

#endif  // VEILMARK_ANONYMIZE_DRY_RUN_H_
