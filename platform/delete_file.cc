#include "platform/delete_file.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

BOOL DeleteFileA(LPCSTR path) {
  struct stat st;
  if (::stat(path, &st) != 0) {
    SetLastError(errno);
    return FALSE;
  }
  if (S_ISDIR(st.st_mode)) {
    SetLastError(EISDIR);
    return FALSE;
  }
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    SetLastError(EACCES);
    return FALSE;
  }
  if (::unlink(path) != 0) {
    SetLastError(errno);
    return FALSE;
  }
  return TRUE;
}
