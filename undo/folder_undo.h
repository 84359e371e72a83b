// The undo of a folder's runs: every line of its record taken back, from
// the last to the first, each anonymized file written anew with its
// original patient name under its original file name, then deleted, and
// the record written anew without the lines taken back.
#ifndef VEILMARK_UNDO_FOLDER_UNDO_H_
#define VEILMARK_UNDO_FOLDER_UNDO_H_

#include <vector>

#include "key/record_file.h"
#include "pipeline/folder_work.h"
#include "platform/system/durable_file.h"

// Undoes `entries`, the lines of the record `work` holds locked, in the
// folder `folderHandle` was opened on before anything was written to it.
void UndoFolder(FolderWork* work, FolderHandle* folderHandle,
                const std::vector<RecordEntry>& entries);

#endif  // VEILMARK_UNDO_FOLDER_UNDO_H_
