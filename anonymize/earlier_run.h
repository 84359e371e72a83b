// Finishing what an interrupted run left half done, so that each dataset
// ends up in the folder exactly once. A run stopped between two steps of a
// group's commit (group_commit.h) leaves, for a file of that group:
//   - its original and its copy as a temporary file, with or without its
//     record line: a line whose copy never got its name is among the last
//     of the record, and is cut; the temporary file goes like any other, and
//     the original is taken up again;
//   - its original, its named copy and its record line: the original is
//     deleted, as the run would have done, and not taken up again.
// An original is known by its dataset, which is its copy's but for the
// patient name, never by its name alone: scanners give every series the
// same file names. Only files named in the record are looked at, so a
// folder without a record costs nothing.
#ifndef VEILMARK_ANONYMIZE_EARLIER_RUN_H_
#define VEILMARK_ANONYMIZE_EARLIER_RUN_H_

#include <set>
#include <string>
#include <vector>

#include "anonymize/run_log.h"
#include "platform/cfile.h"
#include "platform/cstring.h"

struct EarlierRun {
  std::vector<LogLine> lines;     // what it did, and what failed
  std::set<std::string> deleted;  // originals it deleted (a dry run: would)
  std::set<std::string> kept;     // originals whose copy stands but that
                                  // could not be deleted
};

// Finishes, under the lock the open `record` of `folder` holds, what an
// interrupted run left. With `dryRun` (`record` then open for reading),
// changes nothing and says what it would do.
EarlierRun FinishEarlierRun(const CString& folder, CFile* record, bool dryRun);

#endif  // VEILMARK_ANONYMIZE_EARLIER_RUN_H_
