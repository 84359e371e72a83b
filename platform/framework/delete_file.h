// DeleteFileA: removes a file. A file whose permission bits grant nobody
// write access counts as read-only and is left in place, for every user.
#ifndef VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_
#define VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_

#include "platform/framework/win_types.h"

BOOL DeleteFileA(LPCSTR path);

// True when DeleteFileA would not refuse the entry at `path`.
bool DeletableFile(LPCSTR path);

#endif  // VEILMARK_PLATFORM_FRAMEWORK_DELETE_FILE_H_
