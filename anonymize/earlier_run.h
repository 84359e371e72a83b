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

#include "key/listed_names.h"
#include "key/record_file.h"
#include "pipeline/run_log.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "platform/system/source_file.h"
#include "profile/folder_key.h"

struct EarlierRun {
  std::vector<LogLine> lines;     // what it did, and what failed
  std::set<std::string> deleted;  // originals it deleted (a dry run: would)
  std::set<std::string> kept;     // originals whose copy stands but that
                                  // could not be deleted
};

// Cuts the record's last lines whose copies never got their names, left by
// a run stopped after writing them, and takes them out of `entries`, the
// record's lines as read. A line is cut only when its copy is found among
// the temporary files that run left, known by its dataset: a line whose
// copy has simply left the folder stays. Their originals are then taken up
// again. With `dryRun`, cuts nothing from the file. Copies made with the
// profile are known with the folder's `key`.
void CutUnnamedLines(const CString& folder, CFile* record, bool dryRun,
                     const FolderKey* key, RecordContents* contents,
                     std::vector<LogLine>* lines);

// Deletes the originals whose copy and record line stand, under the lock of
// the record that `entries` were read from; `listed` holds the names of
// the folder's "*.ima" entries, the only ones looked at. The names in
// `deleted` and `kept` are as listed. With `dryRun`,
// deletes nothing and says what it would do.
EarlierRun FinishEarlierRun(const CString& folder,
                            const std::vector<RecordEntry>& entries,
                            const ListedNames& listed, bool dryRun,
                            const FolderKey* key);

#endif  // VEILMARK_ANONYMIZE_EARLIER_RUN_H_
