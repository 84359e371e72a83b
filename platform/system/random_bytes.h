// Bytes from the system's own source of randomness, fit for secrets.
#ifndef VEILMARK_PLATFORM_SYSTEM_RANDOM_BYTES_H_
#define VEILMARK_PLATFORM_SYSTEM_RANDOM_BYTES_H_

#include <cstddef>

// Fills `size` bytes at `buffer`; false when the system gives none.
bool RandomBytes(void* buffer, size_t size);

#endif  // VEILMARK_PLATFORM_SYSTEM_RANDOM_BYTES_H_
