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

// Undoes the lines of `contents`, the record `work` holds locked as it was
// read, in the folder `folderHandle` was opened on before anything was
// written to it. Two different lines that name one anonymous file are
// refused both: neither can tell which original that file is.
void UndoFolder(FolderWork* work, FolderHandle* folderHandle,
                const RecordContents& contents);

#endif  // VEILMARK_UNDO_FOLDER_UNDO_H_
