// DeleteFileA: removes a file. A file whose permission bits grant nobody
// write access counts as read-only and is left in place, for every user.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_
#define VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_

#include "platform/framework/win_types.h"
#include "platform/system/durable_file.h"

BOOL DeleteFileA(LPCSTR path);

// True when DeleteFileA would not refuse the entry at `path`.
bool DeletableFile(LPCSTR path);

// Puts the file at `path` aside under the name `to`, in the same folder,
// where DeleteFileA would remove it, in one step that never replaces a
// file: kNameTaken when `to` exists, kFailed for a file DeleteFileA
// refuses. A file this process holds open as an original goes with it.
PublishResult SetFileAside(LPCSTR path, LPCSTR to);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_
