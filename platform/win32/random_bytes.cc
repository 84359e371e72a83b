#include "platform/system/random_bytes.h"

#include "platform/win32/windows_api.h"

// RtlGenRandom, exported by advapi32 as SystemFunction036.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

bool RandomBytes(void* buffer, size_t size) {
  return SystemFunction036(buffer, static_cast<ULONG>(size)) != 0;
}
