// The part of one file's anonymization that runs alongside other files':
// load it, put the anonymous patient name in place, save a verified copy
// to a temporary file. An undo's files go the same way back
// (undo/restored_file.h).
#ifndef VEILMARK_ANONYMIZE_PREPARED_FILE_H_
#define VEILMARK_ANONYMIZE_PREPARED_FILE_H_

#include "pipeline/file_job.h"
#include "platform/framework/cstring.h"
#include "profile/folder_key.h"

// Starts `job`, whose fileName is set, as a file of `folder`: its full
// path, and its first log line "Anonymizing file: NAME".
void StartFile(const CString& folder, FileJob* job);

// Takes `job`, started, as far as a verified copy in a temporary file of
// `folder`, or to the error lines that say why it gets none: its patient
// name replaced, or with `key`, the DICOM Basic Profile applied and the
// copy's key written. With `dryRun`, nothing is written. DCMTK recurses
// once per nesting level of a file's sequences: call it on a large stack.
void PrepareFile(const CString& folder, bool dryRun, const FolderKey* key,
                 FileJob* job);

#endif  // VEILMARK_ANONYMIZE_PREPARED_FILE_H_
