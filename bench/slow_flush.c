/* Stands in for a disk or network share where forcing data to the disk is
 * slow: every flush call waits 5 ms before it runs. bench/bench.sh loads it
 * into veilmark-cli with LD_PRELOAD. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

static void Wait(void) {
  struct timespec delay = {0, 5 * 1000 * 1000};
  nanosleep(&delay, NULL);
}

#define SLOWED(name, params, args)                       \
  int name params {                                      \
    static int(*real) params;                            \
    if (!real) *(void**)&real = dlsym(RTLD_NEXT, #name); \
    Wait();                                              \
    return real args;                                    \
  }

SLOWED(fsync, (int fd), (fd))
SLOWED(fdatasync, (int fd), (fd))
SLOWED(syncfs, (int fd), (fd))
SLOWED(sync_file_range,
       (int fd, off64_t offset, off64_t nbytes, unsigned int flags),
       (fd, offset, nbytes, flags))
