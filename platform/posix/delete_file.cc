#include "platform/framework/delete_file.h"

#include <sys/stat.h>
#include <unistd.h>

bool DeletableFile(LPCSTR path) {
  struct stat st;
  return ::stat(path, &st) == 0 && !S_ISDIR(st.st_mode) &&
         (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
}

BOOL DeleteFileA(LPCSTR path) {
  return DeletableFile(path) && ::unlink(path) == 0 ? TRUE : FALSE;
}

PublishResult SetFileAside(LPCSTR path, LPCSTR to) {
  return DeletableFile(path) ? PublishNoReplace(path, to)
                             : PublishResult::kFailed;
}
