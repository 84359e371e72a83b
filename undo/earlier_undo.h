// Finishing what an undo stopped short left (undo_evidence.h), before any
// other run or undo of the folder takes it up. A copy it put aside, whose
// original is back under its old name, was taken back: its line goes from
// the record ("Finishing earlier restore: OLDNAME is back") and the copy
// is deleted. One whose original is not back (someone removed it since)
// gets its name again. A copy that was never put aside is in the folder
// or was handed on: its line stays. Then the evidence goes, so that it is
// never read again against lines a later run writes.
#ifndef VEILMARK_UNDO_EARLIER_UNDO_H_
#define VEILMARK_UNDO_EARLIER_UNDO_H_

#include <string>
#include <vector>

#include "key/record_file.h"
#include "pipeline/run_log.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"
#include "profile/folder_key.h"

// Takes the lines an undo stopped short took back out of `contents`, read
// from `record` (locked), and out of the record itself unless `dryRun`,
// then removes the evidence. False, the reason in `error`, when the record
// cannot be written anew; the evidence then stays.
bool FinishEarlierUndo(const CString& folder, CFile* record, bool dryRun,
                       const FolderKey* key, RecordContents* contents,
                       std::vector<LogLine>* lines, std::string* error);

#endif  // VEILMARK_UNDO_EARLIER_UNDO_H_
