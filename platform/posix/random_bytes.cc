#include "platform/system/random_bytes.h"

#include <sys/random.h>

#include <cerrno>

bool RandomBytes(void* buffer, size_t size) {
  char* at = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t got = ::getrandom(at, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    at += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}
