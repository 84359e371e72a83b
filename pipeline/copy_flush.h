// The first step of every commit, a run's and an undo's alike: the
// group's prepared copies forced to the disk, so that nothing names a copy
// whose bytes could still be lost.
#ifndef VEILMARK_PIPELINE_COPY_FLUSH_H_
#define VEILMARK_PIPELINE_COPY_FLUSH_H_

#include <cstddef>

#include "pipeline/file_job.h"
#include "platform/framework/cstring.h"
#include "platform/system/durable_file.h"

// Forces the group's prepared copies to the disk, one on its own and more
// with their whole file system. A copy that could not be flushed goes, its file
// with an error line.
void SyncCopies(const CString& folder, FileJob* const* jobs, size_t count,
                FolderHandle* folderHandle);

#endif  // VEILMARK_PIPELINE_COPY_FLUSH_H_
