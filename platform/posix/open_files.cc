#include "platform/system/open_files.h"

#include <sys/resource.h>

unsigned long long OpenFileLimit() {
  struct rlimit limit;
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 ||
      limit.rlim_cur == RLIM_INFINITY) {
    return 0;
  }
  return limit.rlim_cur;
}
